// Background runs against the windows that show the same store, which both read through a cache
// of five pages over its temporary file. scripts/test --tsan runs these under ThreadSanitizer.
#include "../output/OutputTestSupport.h"

#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace Kelmora;

using namespace outputtest;

namespace {

constexpr int kDeadlineMs = 240000; // sanitizer builds are slow; a hang still ends the test

// Pages whose drawing takes real work on both threads.
TRLGraphicStorage* MakeStore(int pageCount, QObject* owner) {
    auto* store = new TRLGraphicStorage(owner);
    for (int n = 1; n <= pageCount; ++n) {
        auto page = OpenPage();
        for (int row = 0; row < 40; ++row) {
            const int y = 60 + row * 25;
            page->TextOut(60, y, QStringLiteral("Página %1, renglón %2 — ñandú").arg(n).arg(row));
            page->MoveTo(60, y + 20);
            page->LineTo(730, y + 20);
        }
        page->Rectangle(600, 40, 730, 60);
        page->Close();
        store->Add(std::move(page));
    }
    return store;
}

class BackgroundRun : public ::testing::Test {
protected:
    void TearDown() override {
        // A failed test must not leave a run that outlives the objects it reads.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !filter.Running(); }, kDeadlineMs));
    }

    void Start(TRLGraphicStorage* store, const QString& name) {
        filter.SetShowProgress(true);
        filter.SetFileName(dir.filePath(name));
        filter.Run(store, 1, true);
    }
    qsizetype PagesAtTheEnd(const QString& name) {
        EXPECT_TRUE(
            WaitFor([this] { return finished.Finished() && !filter.Running(); }, kDeadlineMs));
        return PdfPageSizes(dir.filePath(name)).size();
    }

    ProgressWindows windows;
    QTemporaryDir dir;
    QObject owner;
    TRLPDFFilter filter;
    FinishListener finished{filter};
};

TEST_F(BackgroundRun, WritesEveryPageWhileThePreviewPagesAndPaintsTheSameStore) {
    constexpr int kPages = 60;
    TRLGraphicStorage* store = MakeStore(kPages, &owner);
    TRLPreviewForm form;
    form.resize(900, 700);
    form.show();
    TRLPreview& view = *form.Views().front();
    view.SetPages(store);
    Start(store, "whole.pdf");
    int paintedWhileRunning = 0;
    while (filter.Running()) {
        if (view.PageIndex() + 1 >= kPages)
            view.FirstPage();
        else
            view.NextPage();
        EXPECT_FALSE(form.grab().isNull());
        ++paintedWhileRunning;
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(PagesAtTheEnd("whole.pdf"), kPages);
    EXPECT_EQ(finished.Error, QString());
    EXPECT_GT(paintedWhileRunning, 0) << "the run ended before the preview painted once";
    EXPECT_LE(store->CachedPageCount(), TRLGraphicStorage::CacheSize);
}

TEST_F(BackgroundRun, CancelledInTheMiddleLeavesNoFile) {
    Start(MakeStore(400, &owner), "cancelled.pdf");
    TfrmRLFeedBack* progress = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            progress = ProgressWindow();
            return progress && progress->ProgressBar->value() >= 3;
        },
        kDeadlineMs));
    progress->BitBtnCancel->click();
    EXPECT_EQ(PagesAtTheEnd("cancelled.pdf"), 0);
    EXPECT_EQ(finished.Error, QString()) << "a cancel is no failure";
    EXPECT_TRUE(filter.Canceled());
    EXPECT_FALSE(QFile::exists(dir.filePath("cancelled.pdf")));
    EXPECT_EQ(ProgressWindow(), nullptr) << "the progress window closes with the run";
}

// A second run of the same output while the first is still going would share its pages, range
// and progress window: it is refused with a message, and the first run ends whole.
TEST_F(BackgroundRun, ASecondRunWhileTheFirstIsGoingIsRefused) {
    TRLGraphicStorage* store = MakeStore(300, &owner);
    Start(store, "first.pdf");
    for (const bool background : {true, false})
        EXPECT_EQ(ErrorOf([&] { filter.Run(store, 1, background); }),
                  RLMessages[mkOutputStillRunning])
            << "a second run, in the background: " << background;
    EXPECT_EQ(PagesAtTheEnd("first.pdf"), 300);
    EXPECT_EQ(finished.Error, QString());
}

// Saved in the background from the preview, whose window is closed at once: the run keeps the
// ownerless store alive to the last page, and it is freed once the run lets go of it.
TEST_F(BackgroundRun, OutlivesThePreviewWindowItWasStartedFrom) {
    filter.SetDisplayName("PDF of this test");
    QPointer<TRLGraphicStorage> store = MakeStore(80, nullptr);
    QPointer<TRLPreviewForm> form = new TRLPreviewForm();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form->Views().front()->SetPages(store);
    QObject::connect(form, &TRLPreviewForm::SaveDialogShown, [&](TRLSaveDialog* dialog) {
        dialog->ComboBoxFilters->setCurrentIndex(
            dialog->ComboBoxFilters->findText(filter.GetDisplayName(), Qt::MatchStartsWith));
        dialog->EditFileName->setText(dir.filePath("after-close.pdf"));
        dialog->CheckBoxSaveInBackground->setChecked(true);
        dialog->ButtonSave->click();
    });
    form->Save();
    ASSERT_TRUE(filter.Running()) << "the save did not start in the background";
    form->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isNull(); }, 5000));
    EXPECT_EQ(PagesAtTheEnd("after-close.pdf"), 80);
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.isNull(); }, 5000))
        << "the store outlived both its window and its run";
}

// A filter whose document fails to end while a flag says so; what it keeps of a run is written
// on the run's thread only.
class TEndingFilter : public TRLCustomSaveFilter {
public:
    std::atomic<bool> FailAtEnd{false};
    int Drawn = 0;
    bool DocOpen = false;

protected:
    void BeginDoc() override {
        Drawn = 0;
        DocOpen = true;
    }
    void EndDoc() override {
        DocOpen = false;
        if (FailAtEnd)
            throw TRLException(QStringLiteral("the document would not close"));
    }
    void NewPage() override {}
    void DrawPage(TRLGraphicSurface&) override { ++Drawn; }
};

// A background run that failed as its document ended has handed everything it wrote back before
// the next run starts, which begins from a clean document (under ThreadSanitizer, the two runs'
// threads meet only through the filter's running flag).
TEST(BackgroundRunAfterFailure, TheNextRunStartsFromWhatTheFailedOneLeft) {
    QObject owner;
    TRLGraphicStorage* store = MakeStore(3, &owner);
    TEndingFilter filter;
    filter.SetShowProgress(false);
    FinishListener finished(filter);
    for (const bool fail : {true, false, true, false}) {
        finished.Reset();
        filter.FailAtEnd = fail;
        filter.Run(store, 1, true);
        ASSERT_TRUE(WaitFor([&] { return finished.Finished() && !filter.Running(); }, kDeadlineMs));
        EXPECT_EQ(finished.Error,
                  fail ? QStringLiteral("the document would not close") : QString());
        EXPECT_EQ(filter.Drawn, 3);
        EXPECT_FALSE(filter.DocOpen);
    }
}

} // namespace
