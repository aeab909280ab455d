// The report's Print through the output layer, as registered at start-up.
#include "OutputTestSupport.h"
#include <kelmora/report/RLPrinterMetrics.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLReportHooks.h>

#include <gtest/gtest.h>

using namespace Kelmora;

using outputtest::RecordingFilter;

TEST(ReportPrint, DialogRangeAndTheReportsDefaultFilter) {
    TRLReport report;
    RecordingFilter recorder;
    // Only a named filter is listed, and so survives the dialog's write-back.
    recorder.SetDisplayName("Recorder");
    recorder.SetShowProgress(true);
    report.SetDefaultFilter(&recorder);
    report.SetShowProgress(false);
    report.PageSetup().SetOrientation(poLandscape);
    PrintParams().SetFilter(nullptr);
    PrintParams().SetPrintInBackground(false);

    QString from, to;
    TRLPageOrientation told = poPortrait;
    PrintReport(report, [&](TRLPrintDialog& d) {
        from = d.EditFromPage->text();
        to = d.EditToPage->text();
        told = PrintParams().Orientation();
        d.ButtonOk->click();
    });
    // Not prepared before the dialog: the range offered is the open one, the run clamps it.
    EXPECT_EQ(from, "1");
    EXPECT_EQ(to, "2147483647");
    EXPECT_EQ(told, poLandscape);
    EXPECT_EQ(report.ReportState(), rsPrepared);
    EXPECT_EQ(recorder.Calls, (QStringList{"begin", "page 1", "end"}));
    EXPECT_FALSE(recorder.ShowProgress()) << "the report's progress setting was not passed on";
    EXPECT_EQ(PrintParams().Filter(), &recorder);

    // Prepared now: "All" means up to the page count.
    recorder.Calls.clear();
    PrintReport(report, [&](TRLPrintDialog& d) { d.ButtonOk->click(); });
    EXPECT_EQ(std::pair(PrintParams().MaxPage(), PrintParams().ToPage()), std::pair(1, 1));
    EXPECT_EQ(recorder.Calls, (QStringList{"begin", "page 1", "end"}));

    // A cancelled dialog marks the report cancelled and prints nothing.
    recorder.Calls.clear();
    PrintReport(report, [&](TRLPrintDialog& d) { d.ButtonCancel->click(); });
    EXPECT_TRUE(report.Canceled());
    EXPECT_TRUE(recorder.Calls.isEmpty());
    PrintParams().SetFilter(nullptr);
}

TEST(ReportPrint, RegisteredHooksPrintWithoutDialogAndProvideMetrics) {
    RegisterOutputHooks();
    EXPECT_EQ(outputtest::MetricsText(CurrentPrinterMetrics()),
              outputtest::MetricsText(RLPrinter().LoadMetrics()));

    TRLReport report;
    report.SetPrintDialog(false);
    report.PageSetup().SetOrientation(poLandscape);
    RecordingFilter recorder;
    report.SetDefaultFilter(&recorder);
    RLPrinter().SetCopies(2);
    PrintParams().SetFilter(nullptr);
    report.Print();
    EXPECT_EQ(recorder.Calls, (QStringList{"begin", "page 1", "end"}));
    // Without the dialog the cleared parameters' copy count (the printer's) goes back to it.
    EXPECT_EQ(RLPrinter().Copies(), 2);
    // The report's paper went to the printer (nothing ended a document since).
    if (RLPrinter().Valid()) {
        EXPECT_EQ(RLPrinter().DeviceSettings().Orientation, DeviceOrientationLandscape);
    }
    RLPrinter().SetCopies(1);
    PrintParams().SetFilter(nullptr);
}
