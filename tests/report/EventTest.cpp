// The events a run raises: their order, and what their handlers write back.
#include "ReportTestSupport.h"

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
        doc.Add(sender, "BeforeText " + text);
    };
    TRLCustomControl* const controls[] = {&doc.report, doc.header, doc.detail, doc.title, doc.name};
    for (TRLCustomControl* c : controls) {
        QObject::connect(c, &TRLCustomControl::BeforePrint, printing);
        QObject::connect(c, &TRLCustomControl::AfterPrint, notify("AfterPrint"));
    }
    for (TRLCustomLabel* label : {doc.title, doc.name})
        QObject::connect(label, &TRLCustomLabel::BeforeText, text);
    doc.report.OnPageStarting = notify("OnPageStarting");
    doc.report.OnPageEnding = notify("OnPageEnding");
    doc.report.OnDataRecord = [&doc](TRLCustomSkipper& sender, int recNo, int copyNo,
                                     TRLRecordAction&, bool&) {
        doc.Add(sender, QStringLiteral("OnDataRecord %1.%2").arg(recNo).arg(copyNo));
    };
    doc.report.OnFilterText = [&doc](TRLCustomReport& sender, QString& text, bool&) {
        doc.Add(sender, "OnFilterText " + text);
    };
    ASSERT_TRUE(doc.report.Prepare());
    EXPECT_EQ(doc.log, (QStringList{
                           "Report.BeforePrint",
                           "Report.OnDataRecord 1.1",
                           // The detail band is asked first; the page then opens with its
                           // header, and only then is it said to start.
                           "Detail.BeforePrint",
                           "Header.BeforePrint",
                           "Title.BeforePrint",
                           "Title.BeforeText Viajes",
                           "Report.OnFilterText Viajes",
                           "Title.AfterPrint",
                           "Header.AfterPrint",
                           "Report.OnPageStarting",
                           "Name.BeforePrint",
                           "Name.BeforeText x",
                           "Report.OnFilterText x",
                           "Name.AfterPrint",
                           "Detail.AfterPrint",
                           "Report.OnDataRecord 2.1",
                           "Detail.BeforePrint",
                           "Name.BeforePrint",
                           "Name.BeforeText x",
                           "Report.OnFilterText x",
                           "Name.AfterPrint",
                           "Detail.AfterPrint",
                           // No OnDataRecord past the last record.
                           "Report.OnPageEnding",
                           "Report.AfterPrint",
                       }));
}
