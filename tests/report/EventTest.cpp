// The events a run raises: their order, and what their handlers write back.
#include "ReportTestSupport.h"

#include <kelmora/report/RLReportHooks.h>

using namespace Kelmora;

using namespace reporttest;

namespace {

// A report over two records: a header band with a title, a detail band with a label; every
// event of the run is written down as "Sender.Event", with what it carries.
struct LoggedReport {
    RecordsReport report{2};
    TRLBand* header = AddBand(&report, QStringLiteral("Header"), btHeader, 38, 20);
    TRLBand* detail = AddBand(&report, QStringLiteral("Detail"), btDetail, 58, 20);
    TRLLabel* title = new TRLLabel(header);
    TRLLabel* name = new TRLLabel(detail);
    QStringList log;

    LoggedReport() {
        report.SetName(QStringLiteral("Report"));
        report.SetShowProgress(false);
        title->SetName(QStringLiteral("Title"));
        title->SetCaption(QStringLiteral("Viajes"));
        name->SetName(QStringLiteral("Name"));
        name->SetCaption(QStringLiteral("x"));
    }

    void Add(const TRLCustomControl& sender, const QString& event) {
        log << sender.Name() + QLatin1Char('.') + event;
    }
};

} // namespace

TEST(Events, ARunRaisesItsEventsInOrder) {
    LoggedReport doc;
    auto notify = [&doc](const QString& event) {
        return [&doc, event](TRLCustomControl& sender) { doc.Add(sender, event); };
    };
    auto printing = [&doc](TRLCustomControl& sender, bool&) { doc.Add(sender, "BeforePrint"); };
    auto text = [&doc](TRLCustomControl& sender, QString& text, bool&) {
        doc.Add(sender, "BeforePrint " + text);
    };
    TRLCustomControl* const controls[] = {&doc.report, doc.header, doc.detail, doc.title, doc.name};
    for (TRLCustomControl* c : controls) {
        QObject::connect(c, &TRLCustomControl::BeforePrint, printing);
        QObject::connect(c, &TRLCustomControl::AfterPrint, notify("AfterPrint"));
    }
    for (TRLCustomLabel* label : {doc.title, doc.name})
        QObject::connect(label, &TRLCustomLabel::BeforePrint, text);
    QObject::connect(&doc.report, &TRLCustomReport::OnPageStarting, notify("OnPageStarting"));
    QObject::connect(&doc.report, &TRLCustomReport::OnPageEnding, notify("OnPageEnding"));
    QObject::connect(
        &doc.report, &TRLCustomSkipper::OnDataRecord,
        [&doc](TRLCustomSkipper& sender, int recNo, int copyNo, TRLRecordAction&, bool&) {
            doc.Add(sender, QStringLiteral("OnDataRecord %1.%2").arg(recNo).arg(copyNo));
        });
    QObject::connect(&doc.report, &TRLCustomReport::OnFilterText,
                     [&doc](TRLCustomReport& sender, QString& text, bool&) {
                         doc.Add(sender, "OnFilterText " + text);
                     });
    ASSERT_TRUE(doc.report.Prepare());
    EXPECT_EQ(doc.log, (QStringList{
                           "Report.BeforePrint",
                           "Report.OnDataRecord 1.1",
                           // The detail band is asked first; the page then opens with its
                           // header, and only then is it said to start.
                           "Detail.BeforePrint",
                           "Header.BeforePrint",
                           "Title.BeforePrint",
                           "Title.BeforePrint Viajes",
                           "Report.OnFilterText Viajes",
                           "Title.AfterPrint",
                           "Header.AfterPrint",
                           "Report.OnPageStarting",
                           "Name.BeforePrint",
                           "Name.BeforePrint x",
                           "Report.OnFilterText x",
                           "Name.AfterPrint",
                           "Detail.AfterPrint",
                           "Report.OnDataRecord 2.1",
                           "Detail.BeforePrint",
                           "Name.BeforePrint",
                           "Name.BeforePrint x",
                           "Report.OnFilterText x",
                           "Name.AfterPrint",
                           "Detail.AfterPrint",
                           // No OnDataRecord past the last record.
                           "Report.OnPageEnding",
                           "Report.AfterPrint",
                       }));
}

// Handlers of one event run in the order they were connected on the same out-parameters: each
// sees what the one before it wrote, and the engine reads what the last one left.
TEST(Events, HandlersOfOneEventShareItsOutParameters) {
    OneBandReport doc(40);
    auto* kept = new TRLLabel(doc.band);
    kept->SetCaption(QStringLiteral("Persona"));
    auto* dropped = new TRLLabel(doc.band);
    dropped->SetTop(20);
    dropped->SetCaption(QStringLiteral("Oculto"));
    QStringList seen;
    auto printIt = [](bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); };
    QObject::connect(kept, &TRLCustomControl::BeforePrint, [&](TRLCustomControl&, bool& print) {
        seen << "kept first " + printIt(print);
        print = false;
    });
    QObject::connect(kept, &TRLCustomControl::BeforePrint, [&](TRLCustomControl&, bool& print) {
        seen << "kept second " + printIt(print);
        print = true;
    });
    QObject::connect(dropped, &TRLCustomControl::BeforePrint,
                     [&](TRLCustomControl&, bool& print) { seen << "dropped " + printIt(print); });
    QObject::connect(dropped, &TRLCustomLabel::BeforePrint,
                     [](TRLCustomControl&, QString&, bool& print) { print = false; });
    QObject::connect(kept, &TRLCustomLabel::BeforePrint,
                     [](TRLCustomControl&, QString& text, bool&) { text = text.toUpper(); });
    QObject::connect(kept, &TRLCustomLabel::BeforePrint,
                     [&](TRLCustomControl&, QString& text, bool&) {
                         seen << "text " + text;
                         text += QStringLiteral(" Ruiz");
                     });
    QObject::connect(&doc.report, &TRLCustomReport::OnFilterText,
                     [](TRLCustomReport&, QString& text, bool&) { text.prepend('['); });
    QObject::connect(&doc.report, &TRLCustomReport::OnFilterText,
                     [](TRLCustomReport&, QString& text, bool&) { text.append(']'); });
    const auto page = doc.Prepare();
    EXPECT_EQ(seen,
              (QStringList{"kept first yes", "kept second no", "text PERSONA", "dropped yes"}));
    EXPECT_EQ(TextsOf(*page), QStringList{"[PERSONA Ruiz]"});
}

namespace {

// The progress window's length, as the run gave it.
struct LengthProgress : TRLReportProgress {
    static inline int maximum = -1;
    void SetText(const QString&) override {}
    void SetMaximum(int steps) override { maximum = steps; }
    void StepIt() override {}
    bool Canceled() const override { return false; }
};

std::unique_ptr<TRLReportProgress> MakeLengthProgress(const QString&, const QString&) {
    return std::make_unique<LengthProgress>();
}

} // namespace

// The print events are raised only to controls something listens to; a listener connected
// between runs, or to one control only, is heard all the same, and one disconnected is not.
TEST(Events, PrintEventsReachListenersConnectedBetweenRunsAndNoLongerThoseDisconnected) {
    LoggedReport doc;
    ASSERT_TRUE(doc.report.Prepare());
    EXPECT_EQ(PageTexts(doc.report), (QStringList{"Viajes", "x", "x"}));

    const auto hide = QObject::connect(doc.name, &TRLCustomControl::BeforePrint,
                                       [](TRLCustomControl&, bool& printIt) { printIt = false; });
    const auto shout =
        QObject::connect(&doc.report, &TRLCustomReport::OnFilterText,
                         [](TRLCustomReport&, QString& text, bool&) { text = text.toUpper(); });
    const auto after =
        QObject::connect(doc.title, &TRLCustomControl::AfterPrint,
                         [&doc](TRLCustomControl& sender) { doc.Add(sender, "after"); });
    ASSERT_TRUE(doc.report.Prepare());
    EXPECT_EQ(PageTexts(doc.report), (QStringList{"VIAJES"}));
    EXPECT_EQ(doc.log, (QStringList{"Title.after"}));

    QObject::disconnect(hide);
    QObject::disconnect(shout);
    QObject::disconnect(after);
    doc.title->SetCaption(QStringLiteral("Viajes")); // a filtered text stays the caption
    const auto renamed = QObject::connect(
        doc.name, &TRLCustomLabel::BeforePrint,
        [](TRLCustomControl&, QString& text, bool&) { text = QStringLiteral("ñandú"); });
    ASSERT_TRUE(doc.report.Prepare());
    EXPECT_EQ(PageTexts(doc.report), (QStringList{"Viajes", "ñandú", "ñandú"}));
    EXPECT_EQ(doc.log, (QStringList{"Title.after"}));
    QObject::disconnect(renamed);
}

// The count arrives as the data source's row count, which is the answer without a handler.
TEST(Events, DataCountStartsFromTheDataSourceAndHandlersChangeIt) {
    EXPECT_EQ(TRLReport().RecordCount(), 0);
    RecordsReport report(8);
    EXPECT_EQ(report.RecordCount(), 8);
    QList<int> arrived;
    const auto fixed = QObject::connect(&report, &TRLCustomSkipper::OnDataCount,
                                        [&](TRLCustomSkipper&, int& count) {
                                            arrived << count;
                                            count = 42;
                                        });
    EXPECT_EQ(report.RecordCount(), 42);
    QObject::connect(&report, &TRLCustomSkipper::OnDataCount, [&](TRLCustomSkipper&, int& count) {
        arrived << count;
        ++count;
    });
    EXPECT_EQ(report.RecordCount(), 43);
    QObject::disconnect(fixed);
    EXPECT_EQ(report.RecordCount(), 9);
    EXPECT_EQ(arrived, (QList<int>{8, 8, 42, 8}));

    // A run sizes its progress window by it.
    AddBand(&report, QStringLiteral("Detail"), btDetail, 38, 20);
    SetReportProgressFactory(&MakeLengthProgress);
    ASSERT_TRUE(report.Prepare());
    SetReportProgressFactory(nullptr);
    EXPECT_EQ(LengthProgress::maximum, 9);
}

// Records come from the need-data handlers only to a skipper without a data source.
TEST(Events, NeedDataSuppliesTheRecordsOfASkipperWithoutDataSource) {
    TRLReport report;
    report.SetShowProgress(false);
    auto* detail = AddBand(&report, QStringLiteral("Detail"), btDetail, 38, 20);
    auto* label = new FixedLabel(detail, QString());
    label->OnText = [&](TRLCustomControl& sender, QString& text, bool&) {
        text = sender.FieldText(QStringLiteral("Name"));
        if (text.isEmpty())
            text = QString::number(report.RecNo());
    };
    int asked = 0;
    // The first handler always offers a record, the second ends after three.
    const auto offer = QObject::connect(&report, &TRLCustomSkipper::OnNeedData,
                                        [&](TRLCustomSkipper&, bool& more) {
                                            EXPECT_FALSE(more);
                                            more = true;
                                        });
    const auto stop = QObject::connect(&report, &TRLCustomSkipper::OnNeedData,
                                       [&](TRLCustomSkipper&, bool& more) {
                                           EXPECT_TRUE(more);
                                           more = ++asked <= 3;
                                       });
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(PageTexts(report), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(asked, 4);

    // A data source is read instead, and the handlers are not asked.
    RecordsHolder records(2);
    report.SetDataSource(&records.records);
    asked = 0;
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(PageTexts(report), (QStringList{"row 0", "row 1"}));
    EXPECT_EQ(asked, 0);

    // With neither there are no records (the report prints its empty page).
    report.SetDataSource(nullptr);
    QObject::disconnect(offer);
    QObject::disconnect(stop);
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(report.DetailCount(), 0);
    EXPECT_TRUE(report.Eof());
}

// The action and the end of the records are what the handlers leave.
TEST(Events, DataRecordHandlersDecideTheActionAndTheEnd) {
    RecordsReport report(6);
    report.SetShowProgress(false);
    FieldLabel(AddBand(&report, QStringLiteral("Detail"), btDetail, 38, 20),
               QStringLiteral("Name"));
    QObject::connect(&report, &TRLCustomSkipper::OnDataRecord,
                     [](TRLCustomSkipper&, int recNo, int, TRLRecordAction& action, bool&) {
                         if (recNo == 2)
                             action = raIgnoreIt;
                     });
    QStringList seen;
    QObject::connect(
        &report, &TRLCustomSkipper::OnDataRecord,
        [&](TRLCustomSkipper&, int recNo, int copyNo, TRLRecordAction& action, bool& eof) {
            seen << QStringLiteral("%1.%2 %3").arg(recNo).arg(copyNo).arg(int(action));
            eof = recNo == 4;
        });
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(seen, (QStringList{"1.1 0", "2.1 1", "3.1 0", "4.1 0"}));
    EXPECT_EQ(PageTexts(report), (QStringList{"row 0", "row 2"}));
    EXPECT_EQ(report.DetailCount(), 2);
}

// Footer bands are measured once a page's headers printed, or before every record, or never;
// a handler may give them the height that the room left for the records then counts on.
TEST(Events, MeasuringFootersRaisesTheirEventAndTheirHeightCounts) {
    RecordsReport report(40);
    report.SetShowProgress(false);
    AddBand(&report, QStringLiteral("Detail"), btDetail, 38, 20);
    auto* footer = AddBand(&report, QStringLiteral("Footer"), btFooter, 58, 20);
    int measured = 0;
    int tallFooter = 0;
    QObject::connect(footer, &TRLCustomControl::OnMeasureHeight, [&](TRLCustomControl& sender) {
        EXPECT_EQ(&sender, footer);
        ++measured;
        if (tallFooter)
            sender.SetHeight(tallFooter);
    });
    const std::pair<TRLFooterMeasuring, int> cases[] = {
        {fmNone, 0}, {fmAfterHeader, 1}, {fmBeforeDetail, 40}};
    for (const auto& [measuring, times] : cases) {
        SCOPED_TRACE(int(measuring));
        report.SetFooterMeasuring(measuring);
        measured = 0;
        EXPECT_EQ(PreparedPages(report), 1);
        EXPECT_EQ(measured, times);
    }
    tallFooter = 800;
    EXPECT_GT(PreparedPages(report), 1);
}
