// The report: paper, margins, preparation states, chains, cancelling and the entry points.
#include "ReportTestSupport.h"

#include <kelmora/report/RLReportHooks.h>

using namespace Kelmora;

using namespace reporttest;

TEST(PageSetup, PaperRules) {
    TRLReport report;
    TRLPageSetup& setup = report.PageSetup();
    setup.SetPaperWidth(100); // ignored while the paper is a standard one
    EXPECT_EQ(setup.PaperWidth(), 210);
    setup.SetPaperSize(fpA5);
    EXPECT_EQ(setup.PaperWidth(), 148);
    setup.SetPaperSize(fpCustom); // keeps the size it had
    EXPECT_EQ(std::pair(setup.PaperWidth(), setup.PaperHeight()), std::pair(148.0, 210.0));
    setup.SetPaperWidth(0); // never 0
    EXPECT_EQ(setup.PaperWidth(), 148);
    setup.SetPaperWidth(100);
    EXPECT_EQ(report.Width(), 378);
}

TEST(PageSetup, LandscapePagesAreRecordedWithTheirPaper) {
    TRLReport report;
    report.PageSetup().SetOrientation(poLandscape);
    new FixedLabel(AddBand(&report, "H", btHeader, 38, 20), "x");
    ASSERT_TRUE(report.Prepare());
    const auto page = Page(report);
    EXPECT_EQ(std::tuple(page->Width(), page->Height(), page->Orientation()),
              std::tuple(1123, 794, 2));
    const TRLGraphicStorage& store = report.Storage();
    EXPECT_EQ(std::tuple(store.Orientation(), store.PaperWidth(), store.PaperHeight()),
              std::tuple(2, 210, 297));
}

TEST(PageSetup, AdjustableMarginsFollowThePrinter) {
    // The fallback printer's 75 pixels at 300 per inch are 24 report pixels: under 38.
    TRLReport report;
    report.SetAdjustableMargins(true);
    EXPECT_EQ(report.PageMargins(), (TRLRect{38, 38, 38, 38}));

    // At 600 per inch: left 48 report pixels, top 24, right 0, bottom 96.
    SetPrinterMetricsProvider([] {
        return TRLPrinterMetrics{.PPIX = 600,
                                 .PPIY = 600,
                                 .MarginLeft = 300,
                                 .MarginTop = 150,
                                 .MarginRight = 0,
                                 .MarginBottom = 600};
    });
    report.RefreshPrinterMetrics();
    EXPECT_EQ(report.PageMargins(), (TRLRect{48, 38, 38, 96}));
    report.PageSetup().SetOrientation(poLandscape); // left takes top, top right, ...
    EXPECT_EQ(report.PageMargins(), (TRLRect{38, 38, 96, 48}));
    SetPrinterMetricsProvider([] { return TRLPrinterMetrics{.PPIX = 0, .PPIY = 0}; });
    report.SetAdjustableMargins(true);
    report.RefreshPrinterMetrics();
    EXPECT_EQ(report.PageMargins(), (TRLRect{38, 38, 38, 38}));
    SetPrinterMetricsProvider(nullptr);
}

TEST(Prepare, EmptyReportAndPrintEmpty) {
    TRLReport report;
    new FixedLabel(AddBand(&report, "H", btHeader, 38, 20), "h");
    for (bool printEmpty : {false, true}) {
        report.SetPrintEmpty(printEmpty);
        EXPECT_EQ(PreparedPages(report), printEmpty ? 1 : 0);
    }
}

TEST(Prepare, StatesBeforePrintCancelAndReportDate) {
    TRLReport report;
    new FixedLabel(AddBand(&report, "H", btHeader, 38, 20), "x");
    std::vector<int> states;
    QObject::connect(&report, &TRLCustomControl::BeforePrint,
                     [&](TRLCustomControl&, bool&) { states.push_back(report.ReportState()); });
    QObject::connect(&report, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl&) { states.push_back(report.ReportState()); });
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(states, (std::vector<int>{rsPreparing, rsPrepared}));
    EXPECT_TRUE(report.ReportDate().isValid());

    QObject::connect(&report, &TRLCustomControl::BeforePrint,
                     [](TRLCustomControl&, bool& printIt) { printIt = false; });
    states.clear();
    EXPECT_FALSE(report.Prepare());
    // The run stopped before its end: no AfterPrint.
    EXPECT_EQ(states, std::vector<int>{rsPreparing});
    EXPECT_EQ(std::pair(report.Storage().PageCount(), report.ReportState()), std::pair(0, rsIdle));
    EXPECT_FALSE(report.Preview());
}

TEST(Prepare, PreviewAndForcePrepare) {
    TRLReport report;
    new FixedLabel(AddBand(&report, "H", btHeader, 38, 20), "x");
    int runs = 0;
    QObject::connect(&report, &TRLCustomControl::BeforePrint,
                     [&](TRLCustomControl&, bool&) { ++runs; });
    EXPECT_TRUE(report.Preview() && report.Preview());
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(report.Storage().PageCount(), 1); // only the second run's page
    report.SetForcePrepare(false);
    EXPECT_TRUE(report.Preview());
    EXPECT_EQ(runs, 2);

    // Without a print handler, printing prepares when needed and then says it cannot print.
    report.Clear();
    EXPECT_THROW(report.Print(), TRLException);
    EXPECT_EQ(runs, 3);
}

TEST(Prepare, ChainedReportsShareStoreAndNumbering) {
    TRLReport first;
    TRLReport second;
    new FixedLabel(AddBand(&first, "H", btHeader, 38, 20), "one");
    second.BeginLoad();
    new FixedLabel(AddBand(&second, "A", btHeader, 38, 600), "two");
    new FixedLabel(AddBand(&second, "B", btHeader, 638, 600), "three");
    second.EndLoad();
    first.SetNextReport(&second);
    EXPECT_EQ(&second.RootReport(), &first);
    second.SetNextReport(&first); // would close a loop
    EXPECT_EQ(second.NextReport(), nullptr);
    // The page events of the second report see the chain's numbers (an end as minus the number).
    std::vector<int> numbers;
    QObject::connect(&second, &TRLCustomReport::OnPageStarting,
                     [&](TRLCustomControl&) { numbers.push_back(second.PageNumber()); });
    QObject::connect(&second, &TRLCustomReport::OnPageEnding,
                     [&](TRLCustomControl&) { numbers.push_back(-second.PageNumber()); });
    ASSERT_TRUE(first.Prepare());
    EXPECT_EQ(numbers, (std::vector<int>{2, -2, 3, -3}));
    EXPECT_EQ(std::pair(first.Storage().PageCount(), second.Storage().PageCount()),
              std::pair(3, 0));
    EXPECT_EQ(first.Storage().LastPageNumber(), 3);
    // The second report's header bands repeat on its second page.
    EXPECT_EQ(PageTexts(first, 2), (QStringList{"two", "three"}));

    // A failing next report fails the chain and leaves the page values unwritten.
    QObject::connect(&second, &TRLCustomControl::BeforePrint,
                     [](TRLCustomControl&, bool& printIt) { printIt = false; });
    EXPECT_FALSE(first.Prepare());
    EXPECT_FALSE(first.Storage().Macros().Contains("LastPageNumber"));
}

namespace {

struct FakeProgress : TRLReportProgress {
    static inline int steps = 0;
    static inline int cancelAfter = 0;
    void SetText(const QString&) override {}
    void SetMaximum(int) override {}
    void StepIt() override { ++steps; }
    bool Canceled() const override { return cancelAfter > 0 && steps >= cancelAfter; }
};

std::unique_ptr<TRLReportProgress> MakeFakeProgress(const QString&, const QString&) {
    return std::make_unique<FakeProgress>();
}

} // namespace

TEST(Prepare, CancelFromTheProgressWindowStopsTheRun) {
    RecordsReport report(100);
    AddBand(&report, "D", btDetail, 38, 20);
    SetReportProgressFactory(&MakeFakeProgress);
    FakeProgress::steps = 0;
    FakeProgress::cancelAfter = 3; // three records
    EXPECT_FALSE(report.Prepare());
    EXPECT_EQ(std::tuple(report.ReportState(), report.Canceled(), report.DetailCount()),
              std::tuple(rsIdle, true, 3));
    EXPECT_FALSE(report.Storage().Macros().Contains("LastPageNumber"));

    // No progress window: Cancel from an event does the same; the next run starts afresh.
    report.SetShowProgress(false);
    const auto cancel =
        QObject::connect(&report, &TRLCustomSkipper::OnDataRecord,
                         [&](TRLCustomSkipper&, int recNo, int, TRLRecordAction&, bool&) {
                             if (recNo == 10)
                                 report.Cancel();
                         });
    EXPECT_FALSE(report.Prepare());
    EXPECT_EQ(report.DetailCount(), 9);
    QObject::disconnect(cancel);
    EXPECT_TRUE(report.Prepare());
    EXPECT_FALSE(report.Canceled());
    SetReportProgressFactory(nullptr);
}
