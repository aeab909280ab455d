// The filter run loop, the registry of filters and the progress window.
#include "OutputTestSupport.h"

#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

using namespace Kelmora;

using namespace outputtest;

namespace {

class FilterRun : public ::testing::Test {
protected:
    void SetUp() override { FillStore(store, 3); }
    void TearDown() override { RLPrinter().SetCopies(1); }

    ProgressWindows windows;
    QObject owner;
    TRLGraphicStorage store{&owner};
};

} // namespace

TEST_F(FilterRun, RangesAreClampedToTheStore) {
    const struct {
        int First, Last;
        QStringList Calls;
    } cases[] = {
        {0, -1, QStringList({"begin", "page 1", "new", "page 2", "new", "page 3", "end"})},
        {2, 10, QStringList({"begin", "page 2", "new", "page 3", "end"})},
        {2, 2, QStringList({"begin", "page 2", "end"})},
    };
    for (const auto& c : cases) {
        RecordingFilter filter;
        filter.Run(&store, c.First, false, c.Last);
        EXPECT_EQ(filter.Calls, c.Calls) << c.First << ".." << c.Last;
        EXPECT_EQ(filter.Copies(), 1);
    }
    // A range without pages opens no document, which a printer would put out as a blank sheet.
    for (const auto& [first, last] : {std::pair{3, 2}, std::pair{-5, 0}, std::pair{4, 9}}) {
        RecordingFilter filter;
        EXPECT_EQ(ErrorOf([&] { filter.Run(&store, first, false, last); }),
                  RLMessages[mkNoPageInRange])
            << first << ".." << last;
        EXPECT_TRUE(filter.Calls.isEmpty()) << first << ".." << last;
        EXPECT_FALSE(filter.Running());
    }
}

// With the copy option the bar counts the range once per printer copy.
TEST_F(FilterRun, CancelStopsAfterThePageBeingDrawn) {
    RLPrinter().SetCopies(2);
    RecordingFilter filter;
    filter.SetShowProgress(true);
    filter.SetRepeatForCopies(true);
    QString caption;
    QList<int> positions;
    filter.Hook = [&](TRLGraphicSurface& page) {
        TfrmRLFeedBack* window = ProgressWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(window->ProgressBar->maximum(), 6);
        positions << window->ProgressBar->value();
        if (page.PageIndex() == 1) {
            caption = window->windowTitle();
            window->BitBtnCancel->click();
        }
    };
    filter.Run(&store, 1, false, -1);
    EXPECT_EQ(filter.Calls, QStringList({"begin", "page 1", "new", "page 2", "end"}));
    EXPECT_TRUE(filter.Canceled());
    EXPECT_EQ(caption, RLMessages[mkPrintingInProgress]);
    EXPECT_EQ(positions, (QList<int>{0, 1})) << "the bar steps after each page";
    EXPECT_EQ(ProgressWindow(), nullptr) << "the progress window outlived the run";

    filter.Calls.clear(); // the next run starts uncancelled
    filter.Hook = nullptr;
    filter.SetRepeatForCopies(false);
    filter.Run(&store, 3, false, 3);
    EXPECT_EQ(filter.Calls, QStringList({"begin", "page 3", "end"}));
    EXPECT_FALSE(filter.Canceled());
}

// A run in the foreground keeps its progress window live between pages: a click that waits in
// the event loop is heard while pages remain, and the run stops after the page being drawn.
TEST_F(FilterRun, AForegroundRunHearsItsWindowBetweenPages) {
    QObject owner;
    TRLGraphicStorage many(&owner);
    FillStore(many, 40);
    RecordingFilter filter;
    filter.SetShowProgress(true);
    filter.Hook = [&](TRLGraphicSurface& page) {
        // Slow pages, so that the run takes several slices.
        QThread::msleep(15);
        if (page.PageIndex() == 0)
            QTimer::singleShot(0, [] {
                if (TfrmRLFeedBack* window = ProgressWindow())
                    window->BitBtnCancel->click();
            });
    };
    filter.Run(&many, 1, false, -1);
    EXPECT_TRUE(filter.Canceled());
    const qsizetype drawn = filter.Calls.filter(QStringLiteral("page ")).size();
    EXPECT_GT(drawn, 1);
    EXPECT_LT(drawn, 20) << "the click waited for the run to end";
    EXPECT_EQ(filter.Calls.last(), "end");
}

// An error ends the document at once and releases the store and the progress window, whose
// caption says what was being made and whose bar counts the range.
TEST_F(FilterRun, ErrorsEndTheDocumentAndReleaseEverything) {
    RecordingSaveFilter filter;
    filter.SetShowProgress(true);
    QString caption;
    int maximum = -1;
    filter.Hook = [&](TRLGraphicSurface&) {
        TfrmRLFeedBack* window = ProgressWindow();
        ASSERT_NE(window, nullptr);
        caption = window->windowTitle();
        maximum = window->ProgressBar->maximum();
        throw TRLException("disk full");
    };
    FinishListener finished(filter);
    EXPECT_EQ(ErrorOf([&] { filter.Run(&store, 2, false, 3); }), "disk full");
    EXPECT_EQ(filter.Calls, QStringList({"begin", "page 2", "end"}));
    EXPECT_EQ(finished.Error, "disk full");
    EXPECT_EQ(caption, RLMessages[mkSavingReport]);
    EXPECT_EQ(maximum, 2);
    EXPECT_EQ(store.LinkCount(), 0);
    EXPECT_EQ(filter.Pages(), nullptr);
    EXPECT_FALSE(filter.Running());
    EXPECT_EQ(ProgressWindow(), nullptr);
}

// A store destroyed by its owner during the run: the filter forgets it and ends.
TEST_F(FilterRun, ForgetsAStoreThatGoesAway) {
    auto doomedOwner = std::make_unique<QObject>();
    auto* doomed = new TRLGraphicStorage(doomedOwner.get());
    FillStore(*doomed, 3);
    RecordingFilter filter;
    filter.Hook = [&](TRLGraphicSurface& page) {
        if (page.PageIndex() == 0)
            doomedOwner.reset();
    };
    filter.Run(doomed, 1, false, -1);
    EXPECT_EQ(filter.Calls, QStringList({"begin", "page 1", "end"}));
    EXPECT_EQ(filter.Pages(), nullptr);
}

namespace {

// A progress that writes down what it is told and on which thread, and asks to cancel after a
// given number of steps.
struct ProgressLog {
    QStringList Calls;
    bool OffTheInterfaceThread = false;
    int CancelAfter = 0;
};
ProgressLog* theLog = nullptr;

class LoggedProgress : public TRLReportProgress {
public:
    explicit LoggedProgress(const QString& caption) { Note("open " + caption); }
    ~LoggedProgress() override { Note("close"); }
    void SetText(const QString& text) override { Note("text " + text); }
    void SetMaximum(int steps) override { Note(QStringLiteral("max %1").arg(steps)); }
    void StepIt() override {
        Note("step");
        ++steps_;
    }
    bool Canceled() const override {
        return theLog->CancelAfter > 0 && steps_ >= theLog->CancelAfter;
    }

private:
    static void Note(const QString& call) {
        theLog->Calls << call;
        if (QThread::currentThread() != qApp->thread())
            theLog->OffTheInterfaceThread = true;
    }
    int steps_ = 0;
};

std::unique_ptr<TRLReportProgress> MakeLoggedProgress(const QString& caption, const QString& text) {
    auto progress = std::make_unique<LoggedProgress>(caption);
    progress->SetText(text);
    return progress;
}

} // namespace

// A run tells its progress to whatever the output hooks registered, on the interface thread even
// when it runs in the background, and stops when that progress says it was cancelled. With nothing
// registered a run shows no window.
TEST(FilterProgress, GoesThroughTheRegisteredFactory) {
    QObject owner;
    TRLGraphicStorage store{&owner};
    FillStore(store, 4);
    ProgressLog log;
    theLog = &log;
    const TRLProgressFactory previous = ReportProgressFactory();
    SetReportProgressFactory(&MakeLoggedProgress);
    RecordingSaveFilter filter;
    filter.SetShowProgress(true);
    log.CancelAfter = 2;
    FinishListener finished(filter);
    filter.Run(&store, 1, true, -1);
    ASSERT_TRUE(finished.Wait());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !filter.Running(); }));
    EXPECT_EQ(log.Calls,
              QStringList({"open " + RLMessages[mkSavingReport], "text " + RLMessages[mkWait],
                           "max 4", "step", "step", "close"}));
    EXPECT_FALSE(log.OffTheInterfaceThread);
    EXPECT_TRUE(filter.Canceled());
    EXPECT_EQ(filter.Calls, QStringList({"begin", "page 1", "new", "page 2", "end"}));

    // Progress off: the factory is not asked.
    log.Calls.clear();
    filter.Calls.clear();
    filter.SetShowProgress(false);
    filter.Run(&store, 1, false, 2);
    EXPECT_TRUE(log.Calls.isEmpty());

    SetReportProgressFactory(nullptr);
    filter.Calls.clear();
    filter.SetShowProgress(true);
    filter.Hook = [](TRLGraphicSurface&) { EXPECT_EQ(ProgressWindow(), nullptr); };
    filter.Run(&store, 1, false, 2);
    EXPECT_EQ(filter.Calls, QStringList({"begin", "page 1", "new", "page 2", "end"}));
    SetReportProgressFactory(previous);
    theLog = nullptr;
}

TEST(FilterRegistry, SaveFilterLookupAndDisplayName) {
    struct SaveFilter : RecordingSaveFilter {
        explicit SaveFilter(const QString& extension) { SetDefaultExt(extension); }
    };
    // The first save filter with the extension wins, whatever the case and the dot, while it lives.
    auto first = std::make_unique<SaveFilter>("pdf");
    SaveFilter second(".PDF");
    RecordingFilter printer;
    EXPECT_EQ(SaveFilterByFileName("/tmp/report.Pdf"), first.get());
    first.reset();
    EXPECT_EQ(SaveFilterByFileName("report.pdf"), &second);

    // A backslash or colon ends a folder too (the save dialog's table runs the other cases).
    EXPECT_EQ(FileExtensionOf("c:\\dir.x\\report"), QString());

    // The display name falls back to the component name, and wins over it once given.
    printer.setObjectName("RLPDFFilter1");
    EXPECT_EQ(printer.GetDisplayName(), "RLPDFFilter1");
    printer.SetDisplayName("PDF");
    EXPECT_EQ(printer.GetDisplayName(), "PDF");
}

// The window's further levels and its OK kind, which a run with more than one stage uses.
TEST(FeedBackWindow, LevelsStackBarsAndTheButtonFollows) {
    TfrmRLFeedBack one("x", 1);
    TfrmRLFeedBack three("x", 3);
    ASSERT_EQ(three.Levels(), 3);
    // Each further bar sits below the one before; the window grows by as much.
    const int step = three.Bars()[1]->y() - three.ProgressBar->y();
    EXPECT_EQ(three.Bars()[2]->y() - three.Bars()[1]->y(), step);
    EXPECT_EQ(three.height(), one.height() + 2 * step);
    EXPECT_GT(three.BitBtnCancel->y(), three.Bars()[2]->geometry().bottom());

    // Each level has its own bar; SetMax restarts only the current one.
    three.SetMax(4);
    three.StepIt();
    three.NextLevel();
    three.SetMax(10);
    three.StepIt();
    three.StepIt();
    EXPECT_EQ(std::tuple(three.Bars()[0]->value(), three.Bars()[0]->maximum(),
                         three.Bars()[1]->value(), three.Bars()[2]->value()),
              std::tuple(1, 4, 2, 0));

    // Cancel calls the handler; once turned into an OK button the click only finishes.
    int handled = 0;
    for (TfrmRLFeedBack* window : {&three, &one})
        QObject::connect(window, &TfrmRLFeedBack::CancelRequested, [&] { ++handled; });
    three.BitBtnCancel->click();
    EXPECT_TRUE(three.Canceled());
    one.SetOkKind(true);
    one.BitBtnCancel->click();
    EXPECT_TRUE(one.Finished());
    EXPECT_FALSE(one.Canceled());
    EXPECT_EQ(handled, 1);
}
