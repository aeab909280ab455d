// Background runs against the windows that show the same store. A run reads pages on its own
// thread while the preview pages through them and paints them, through a cache of five pages over
// the store's temporary file; a run is cancelled in the middle from its progress window; a run
// outlives the preview window it was started from. scripts/test --tsan runs these under
// ThreadSanitizer; every build checks that each run ends whole, or leaves nothing when cancelled.
#include "../e2e/ProgramRunner.h"

#include "RLFeedBack.h"
#include "RLFilters.h"
#include "RLGraphicStorage.h"
#include "RLGraphicSurface.h"
#include "RLMessages.h"
#include "RLOutputFlows.h"
#include "RLPdfFilter.h"
#include "RLPreview.h"
#include "RLPreviewForm.h"
#include "RLSaveDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kDeadlineMs = 240000; // sanitizer builds are slow; a hang still ends the test

// A store of A4 pages that each carry texts, rules and a filled box, so that drawing a page
// takes real work on both threads.
TRLGraphicStorage* MakeStore(int pageCount, QObject* owner) {
    auto* store = new TRLGraphicStorage(owner);
    for (int n = 1; n <= pageCount; ++n) {
        auto page = std::make_shared<TRLGraphicSurface>();
        page->SetWidth(794);
        page->SetHeight(1123);
        page->Open();
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
    store->SetFirstPageNumber(1);
    store->SetLastPageNumber(pageCount);
    store->SetOrientation(MetaOrientationPortrait);
    store->SetPaperWidth(210);
    store->SetPaperHeight(297);
    return store;
}

int PdfPageCount(const QString& pdf) {
    const QString info = RunProgram(QStringLiteral("pdfinfo"), {pdf}).Out;
    const qsizetype at = info.indexOf(QLatin1String("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6).section(u'\n', 0, 0).trimmed().toInt();
}

// The progress window a background run opened, once it shows.
TfrmRLFeedBack* ProgressWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* feedback = qobject_cast<TfrmRLFeedBack*>(w); feedback && feedback->isVisible())
            return feedback;
    return nullptr;
}

class BackgroundRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override {
        // A failed test must not leave a run that outlives the objects it reads.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !filter.Running(); }, kDeadlineMs));
    }

    // Starts a background run of the whole store and records how it ended.
    void Start(TRLGraphicStorage* store, const QString& name) {
        filter.SetShowProgress(true);
        filter.SetFileName(dir.filePath(name));
        QObject::connect(
            &filter, &TRLCustomFilter::RunFinished, &receiver,
            [this](const QString& e) {
                failure = e;
                finished = true;
            },
            Qt::QueuedConnection);
        filter.Run(store, 1, true);
    }
    bool WaitForTheEnd() {
        return QTest::qWaitFor([this] { return finished && !filter.Running(); }, kDeadlineMs);
    }

    QTemporaryDir dir;
    QObject owner;
    QObject receiver;
    TRLPDFFilter filter;
    QString failure;
    bool finished = false;
};

TEST_F(BackgroundRun, WritesEveryPageWhileThePreviewPagesAndPaintsTheSameStore) {
    constexpr int kPages = 60;
    TRLGraphicStorage* store = MakeStore(kPages, &owner);
    TRLPreviewForm form;
    form.resize(900, 700);
    form.show();
    TRLPreview& view = *form.Views().front();
    view.SetPages(store);
    Start(store, QStringLiteral("whole.pdf"));
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
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_EQ(failure, QString());
    EXPECT_GT(paintedWhileRunning, 0) << "the run ended before the preview painted once";
    EXPECT_EQ(PdfPageCount(dir.filePath(QStringLiteral("whole.pdf"))), kPages);
    EXPECT_LE(store->CachedPageCount(), TRLGraphicStorage::CacheSize);
}

TEST_F(BackgroundRun, CancelledInTheMiddleLeavesNoFile) {
    constexpr int kPages = 400;
    TRLGraphicStorage* store = MakeStore(kPages, &owner);
    Start(store, QStringLiteral("cancelled.pdf"));
    TfrmRLFeedBack* progress = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            progress = ProgressWindow();
            return progress && progress->ProgressBar->value() >= 3;
        },
        kDeadlineMs));
    progress->BitBtnCancel->click();
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_EQ(failure, QString()) << "a cancel is no failure";
    EXPECT_TRUE(filter.Canceled());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("cancelled.pdf"))));
    EXPECT_EQ(ProgressWindow(), nullptr) << "the progress window closes with the run";
}

// A second run of the same output while the first is still going would share its pages, range
// and progress window: it is refused with a message, and the first run ends whole.
TEST_F(BackgroundRun, ASecondRunWhileTheFirstIsGoingIsRefused) {
    constexpr int kPages = 300;
    TRLGraphicStorage* store = MakeStore(kPages, &owner);
    Start(store, QStringLiteral("first.pdf"));
    for (const bool background : {true, false}) {
        try {
            filter.Run(store, 1, background);
            ADD_FAILURE() << "a second run started, in the background: " << background;
        } catch (const TRLException& e) {
            EXPECT_EQ(e.Message(), RLMessages[mkOutputStillRunning]);
        }
    }
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(PdfPageCount(dir.filePath(QStringLiteral("first.pdf"))), kPages);
}

// Saved from the preview's own button, in the background, and the window closed at once: the
// run keeps the store it was given alive to the last page, and the store, which nobody owns, is
// freed once the run lets go of it.
TEST_F(BackgroundRun, OutlivesThePreviewWindowItWasStartedFrom) {
    constexpr int kPages = 80;
    filter.SetDisplayName(QStringLiteral("PDF of this test"));
    QPointer<TRLGraphicStorage> store = MakeStore(kPages, nullptr);
    QPointer<TRLPreviewForm> form = new TRLPreviewForm();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form->Views().front()->SetPages(store);
    const QString target = dir.filePath(QStringLiteral("after-close.pdf"));
    QObject::connect(form, &TRLPreviewForm::SaveDialogShown, [&](TRLSaveDialog* dialog) {
        dialog->ComboBoxFilters->setCurrentIndex(
            dialog->ComboBoxFilters->findText(filter.GetDisplayName(), Qt::MatchStartsWith));
        dialog->EditFileName->setText(target);
        dialog->CheckBoxSaveInBackground->setChecked(true);
        dialog->ButtonSave->click();
    });
    form->Save();
    ASSERT_TRUE(filter.Running()) << "the save did not start in the background";
    form->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isNull(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !filter.Running(); }, kDeadlineMs));
    EXPECT_EQ(PdfPageCount(target), kPages);
    EXPECT_TRUE(QTest::qWaitFor([&] { return store.isNull(); }, 5000))
        << "the store outlived both its window and its run";
}

} // namespace
