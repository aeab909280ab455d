// Records: iteration over a data model, ranges, record actions, groups and field texts.
#include "ReportTestSupport.h"

#include <kelmora/parser/RLExpressionParser.h>
#include <kelmora/support/RLMessages.h>

using namespace Kelmora;

using namespace reporttest;

TEST(Records, RangesAndRecordActions) {
    RecordsReport report(10);
    auto* detail = AddBand(&report, "D", btDetail, 38, 20);
    QStringList printed;
    auto* label = FieldLabel(detail, "Name");
    QObject::connect(label, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& c) { printed << c.Caption(); });

    report.SetRangeCount(3);
    const std::tuple<TRLRecordRange, int, QStringList> ranges[] = {
        {rrNextN, 4, {"row 4", "row 5", "row 6"}},
        {rrCurrentOnly, 2, {"row 2"}},
        {rrUntilEof, 8, {"row 8", "row 9"}}};
    for (const auto& [range, row, want] : ranges) {
        printed.clear();
        report.SetRecordRange(range);
        report.SetCurrentRow(row);
        ASSERT_TRUE(report.Prepare());
        EXPECT_EQ(printed, want);
    }

    // All records rewind; even record numbers are skipped, record 3 (row 2) prints twice
    // (copies 1 and 2) and record 5 (row 4) prints blank before its real copy.
    printed.clear();
    report.SetRecordRange(rrAllRecords);
    std::vector<std::pair<int, int>> seen;
    QObject::connect(&report, &TRLCustomSkipper::OnDataRecord,
                     [&](TRLCustomSkipper&, int recNo, int copyNo, TRLRecordAction& action, bool&) {
                         seen.emplace_back(recNo, copyNo);
                         if (recNo % 2 == 0)
                             action = raIgnoreIt;
                         else if (recNo == 3 && copyNo == 1)
                             action = raUseAndRetain;
                         else if (recNo == 5 && copyNo == 1)
                             action = raBlankAndRetain;
                     });
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(printed, (QStringList{"row 0", "row 2", "row 2", "", "row 4", "row 6", "row 8"}));
    EXPECT_EQ(report.DetailCount(), 6); // the blank copy is not a record
    EXPECT_EQ(seen[3], (std::pair<int, int>{3, 2}));
}

TEST(Records, NeedDataEventSuppliesRecords) {
    TRLReport report;
    auto* detail = AddBand(&report, "D", btDetail, 38, 20);
    auto* label = new FixedLabel(detail, QString());
    label->OnText = [&](TRLCustomControl&, QString& text, bool&) {
        text = QStringLiteral("%1.%2").arg(report.RecNo()).arg(report.CopyNo());
    };
    int supplied = 0;
    QObject::connect(&report, &TRLCustomSkipper::OnNeedData,
                     [&](TRLCustomSkipper&, bool& more) { more = ++supplied <= 3; });
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(PageTexts(report), (QStringList{"1.1", "2.1", "3.1"}));
    EXPECT_TRUE(report.Eof());
}

// Whatever the data source does to its columns, during or between runs, a field reads its column.
TEST(Records, FieldsFollowTheColumnsOfTheDataSource) {
    RecordsReport report(8);
    auto* detail = AddBand(&report, "D", btDetail, 38, 20);
    auto* label = new FixedLabel(detail, QString());
    QStringList printed;
    label->OnText = [&](TRLCustomControl& c, QString& text, bool&) {
        text = c.FieldText("Name") + "|" + c.FieldText("country") + "|" + c.FieldText("Extra");
        // Expressions read fields through the same lookup.
        text += "|" + report.ActiveExpressionParser().Evaluate("NAME").ToString();
    };
    QObject::connect(label, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& c) { printed << c.Caption(); });
    QStandardItemModel& model = report.records;
    const auto changes = QObject::connect(
        &report, &TRLCustomSkipper::OnDataRecord,
        [&](TRLCustomSkipper&, int recNo, int copyNo, TRLRecordAction&, bool&) {
            if (copyNo != 1)
                return;
            if (recNo == 2) { // a header renamed
                model.setHorizontalHeaderItem(1, new QStandardItem("Extra"));
            } else if (recNo == 3) { // a column inserted before the others
                model.insertColumn(0);
                model.setHorizontalHeaderItem(0, new QStandardItem("Country"));
                for (int r = 0; r < 8; ++r)
                    model.setItem(r, 0, new QStandardItem(QString(QChar('a' + r))));
            } else if (recNo == 5) { // removed
                model.removeColumn(2);
            } else if (recNo == 6) { // a new set of records altogether
                model.clear();
                model.setHorizontalHeaderLabels({"Extra", "Name"});
                for (int r = 0; r < 8; ++r)
                    model.appendRow({new QStandardItem(QStringLiteral("x%1").arg(r)),
                                     new QStandardItem(QStringLiteral("n%1").arg(r))});
            }
        });
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(printed, (QStringList{"row 0|AR||row 0", "row 1||AR|row 1", "row 2|c|AR|row 2",
                                    "row 3|d|UY|row 3", "row 4|e||row 4", "n5||x5|n5", "n6||x6|n6",
                                    "n7||x7|n7"}));

    // Another data source between runs, its columns in another order, some names missing.
    QStandardItemModel other(1, 2);
    other.setHorizontalHeaderLabels({"COUNTRY", "Nombre"});
    other.setItem(0, 0, new QStandardItem("PY"));
    QObject::disconnect(changes);
    report.SetDataSource(&other);
    printed.clear();
    label->OnText = [&](TRLCustomControl& c, QString& text, bool&) {
        text = c.FieldText("Name") + "|" + c.FieldText("country");
    };
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(printed, QStringList{"|PY"});
    EXPECT_EQ(report.FindField("nombre"), 1);
    report.SetDataSource(nullptr);
    EXPECT_EQ(report.FindField("nombre"), -1);
}

TEST(Groups, GroupByFieldPrintsAHeaderPerKeyOnEveryPage) {
    RecordsReport report(60); // AR AR AR UY UY, then CL
    report.BeginLoad();
    new FixedLabel(AddBand(&report, "PH", btHeader, 38, 20), "page");
    auto* group = new TRLGroup(&report);
    group->SetName("RLGroup1");
    group->SetTop(58);
    group->SetDataFields("Country");
    FieldLabel(AddBand(group, "GH", btHeader, 0, 20), "Country", "H:");
    FieldLabel(AddBand(group, "GD", btDetail, 20, 20), "Name");
    auto* count = new FixedLabel(AddBand(group, "GS", btSummary, 40, 10), QString());
    report.EndLoad();
    count->OnText = [group](TRLCustomControl&, QString& text, bool&) {
        text = QStringLiteral("n=%1").arg(group->DetailCount());
    };
    auto counts = [&] {
        QStringList all;
        for (int p = 0; p < report.Storage().PageCount(); ++p)
            all << PageTexts(report, p).filter("n=");
        return all;
    };
    // Groups stack, a group's header repeats on the page it runs on to (its totals: the totals
    // test).
    ASSERT_EQ(PreparedPages(report), 2);
    EXPECT_EQ(TextBounds(*Page(report), "H:UY").Top, 58 + 20 + 60 + 10);
    EXPECT_EQ(PageTexts(report, 1).mid(0, 2), (QStringList{"page", "H:CL"}));
    EXPECT_EQ(TextBounds(*Page(report, 1), "H:CL").Top, 58);
    EXPECT_EQ(counts(), (QStringList{"n=3", "n=2", "n=55"}));

    // A key over two fields, and a field that is not there.
    group->SetDataFields("Country;Name");
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(counts(), QStringList(60, "n=1"));
    group->SetDataFields("Country;Nope");
    EXPECT_EQ(ErrorOf([&] { report.Prepare(); }),
              RLMessages[mkNotFound] + QStringLiteral(": RLGroup1.DataField \"Nope\""));
    EXPECT_EQ(report.ReportState(), rsIdle);

    // An expression key through the report's parser; a bare name reads a field.
    TRLExpressionParser parser;
    report.SetExpressionParser(&parser);
    group->SetDataFields(QString());
    group->SetExpression("Country = 'AR'");
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(counts(), (QStringList{"n=3", "n=57"}));
    report.SetExpressionParser(nullptr);
}
