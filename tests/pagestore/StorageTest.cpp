// The page store: the temporary file, the five-page cache, re-storing changed pages, links and
// failures of the disk. Two threads reading one store are the BackgroundRun tests'.
#include "PageStoreTestSupport.h"
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/support/RLUtils.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

using namespace Kelmora;

namespace {

// A page whose content tells which page it is.
std::shared_ptr<TRLGraphicSurface> NumberedPage(int number) {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(794);
    page->SetHeight(1123);
    page->TextRectEx({0, 0, 100, 20}, 0, 0, QStringLiteral("page %1").arg(number), 1, 1, 5);
    for (int i = 0; i < number % 7; ++i)
        page->FillRect({i, i, i + 10, i + 10});
    page->Close();
    return page;
}

QString FirstText(TRLGraphicSurface& page) {
    return static_cast<const TRLTextObject&>(page.Object(0)).Text;
}

class PageStorage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.isValid());
        qputenv("TMPDIR", scratch_.path().toLocal8Bit());
        InitEngineSupport();
    }
    void TearDown() override {
        FinishEngineSupport();
        qunsetenv("TMPDIR");
    }
    QStringList ScratchFiles() const { return QDir(scratch_.path()).entryList(QDir::Files); }

    QTemporaryDir scratch_;
};

} // namespace

TEST_F(PageStorage, TheTemporaryFileAppearsWithTheFirstPageAndGoesWithTheStore) {
    auto* storage = new TRLGraphicStorage;
    EXPECT_TRUE(ScratchFiles().isEmpty());

    storage->Add(NumberedPage(0));
    const QString name = storage->TempFileName();
    ASSERT_EQ(ScratchFiles().size(), 1);
    EXPECT_EQ(QFileInfo(name).absolutePath(), QFileInfo(scratch_.path()).absoluteFilePath());
    EXPECT_EQ(QFileInfo(name).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0)
        << "other users cannot read the pages";

    delete storage;
    EXPECT_TRUE(ScratchFiles().isEmpty());
    // The store gave up its registration: a new file of that name outlives the end.
    QFile reused(name);
    ASSERT_TRUE(reused.open(QIODevice::WriteOnly));
    reused.close();
    FinishEngineSupport();
    EXPECT_TRUE(QFileInfo::exists(name));
}

// As when the program is ended before its windows close.
TEST_F(PageStorage, TheEndDeletesTheTemporaryFileOfAStoreStillAlive) {
    TRLGraphicStorage storage;
    storage.Add(NumberedPage(0));
    FinishEngineSupport();
    EXPECT_TRUE(ScratchFiles().isEmpty());
}

TEST_F(PageStorage, TheCacheHoldsFivePagesAndReloadsTheRest) {
    TRLGraphicStorage storage;
    auto page = NumberedPage(0);
    const std::weak_ptr<TRLGraphicSurface> first = page;
    storage.Add(std::move(page));
    for (int i = 1; i < 6; ++i)
        storage.Add(NumberedPage(i));
    EXPECT_EQ(storage.CachedPageCount(), 5);
    EXPECT_TRUE(first.expired()) << "the sixth page pushed the first out of memory";

    auto reloaded = storage.Pages(0);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->PageIndex(), 0);
    EXPECT_FALSE(reloaded->Modified());
    EXPECT_EQ(storage.Pages(0), reloaded) << "a cached page is found again, not reloaded";
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(FirstText(*storage.Pages(i)), QStringLiteral("page %1").arg(i));
    EXPECT_EQ(storage.Pages(-1), nullptr);
    EXPECT_EQ(storage.Pages(6), nullptr);

    // A page still in use outlives its eviction whole.
    for (int i = 6; i <= 12; ++i)
        storage.Add(NumberedPage(i));
    EXPECT_EQ(FirstText(*reloaded), "page 0");
    EXPECT_EQ(reloaded->ObjectCount(), 1);
}

// A run whose pages only pass through (straight to a PDF) files nothing: each page goes with its
// follower, the count and the settings stay, and what would need the pages says so.
TEST_F(PageStorage, AStoreThatKeepsNoPagesOnlyCountsThem) {
    TRLGraphicStorage storage;
    storage.SetKeepingPages(false);
    storage.SetTitle(QStringLiteral("Σελίδες"));
    std::vector<std::weak_ptr<TRLGraphicSurface>> filed;
    QStringList followed;
    storage.SetPageFiled([&](const std::shared_ptr<TRLGraphicSurface>& page) {
        filed.push_back(page);
        followed.append(QStringLiteral("%1: %2").arg(page->PageIndex()).arg(FirstText(*page)));
    });
    for (int i = 0; i < 8; ++i)
        storage.Add(NumberedPage(i));

    EXPECT_EQ(storage.PageCount(), 8);
    EXPECT_EQ(followed.size(), 8);
    EXPECT_EQ(followed.last(), "7: page 7");
    EXPECT_TRUE(std::all_of(filed.begin(), filed.end(), [](const auto& p) { return p.expired(); }))
        << "no page is held once its follower let go of it";
    EXPECT_TRUE(ScratchFiles().isEmpty()) << "nothing is written to disk";
    EXPECT_EQ(storage.Pages(0), nullptr);
    EXPECT_EQ(storage.Pages(7), nullptr);
    EXPECT_EQ(storage.Title(), QStringLiteral("Σελίδες"));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(pagestoretest::ErrorOf([&] { storage.SaveToStream(out); }),
              "The pages were passed on as they were prepared, not kept: there is nothing to save");
    EXPECT_TRUE(out.data().isEmpty());

    // Kept again, the next pages are the store's as before, numbered on from the count.
    storage.SetKeepingPages(true);
    storage.Add(NumberedPage(8));
    ASSERT_NE(storage.Pages(8), nullptr);
    EXPECT_EQ(storage.Pages(8)->PageIndex(), 8);
    EXPECT_EQ(FirstText(*storage.Pages(8)), "page 8");
}

// Texts the Windows code page lacks (Greek, Polish, Chinese), a font named in Greek and a page
// setting in Greek come back whole from every page: those read again from the temporary file as
// much as those still cached.
TEST_F(PageStorage, EveryCharacterSurvivesTheTemporaryFile) {
    const QString font = QStringLiteral("Ελληνική Γραμματοσειρά");
    const QStringList texts = {QStringLiteral("Ελληνικά κείμενα"),
                               QStringLiteral("Zażółć gęślą jaźń"), QStringLiteral("汉字 日本語 😀"),
                               QStringLiteral("Año €uro ‰ \u0081")};
    constexpr int pages = TRLGraphicStorage::CacheSize + 3;
    TRLGraphicStorage storage;
    for (int i = 0; i < pages; ++i) {
        auto page = std::make_shared<TRLGraphicSurface>();
        page->Macros().SetValue("Τίτλος", QStringLiteral("Σελίδα %1").arg(i));
        page->SetFont({.Name = i % 2 ? font : QStringLiteral("Arial")});
        for (int t = 0; t < texts.size(); ++t)
            page->TextRectEx({0, 20 * t, 400, 20 * t + 20}, 0, 20 * t,
                             texts[t] + QStringLiteral(" %1").arg(i), 1, 1, 5);
        storage.Add(page);
    }
    ASSERT_EQ(storage.PageCount(), pages);
    for (int i = 0; i < pages; ++i) {
        SCOPED_TRACE(i);
        const auto page = storage.Pages(i);
        ASSERT_EQ(page->ObjectCount(), texts.size());
        for (int t = 0; t < texts.size(); ++t) {
            const auto& text = static_cast<const TRLTextObject&>(page->Object(t));
            EXPECT_EQ(text.Text, texts[t] + QStringLiteral(" %1").arg(i));
            EXPECT_EQ(text.FontName(), i % 2 ? font : QStringLiteral("Arial"));
        }
        EXPECT_EQ(page->Macros().Value("Τίτλος"), QStringLiteral("Σελίδα %1").arg(i));
    }
}

// Pages read again one after another share one buffer for their bytes: each still comes back
// whole, after a page of several megabytes and before one, and a page a caller still holds keeps
// its objects while others are read.
TEST_F(PageStorage, PagesOfVeryDifferentSizesReadBackEachWhole) {
    TRLGraphicStorage storage;
    const QString long_ = QString(5'000'000, u'x') + QStringLiteral(" largo");
    for (int i = 0; i < 12; ++i) {
        auto page = NumberedPage(i);
        if (i == 3) {
            page->Open();
            page->TextRectEx({0, 40, 100, 60}, 0, 40, long_, 1, 1, 5);
            page->Close();
        }
        storage.Add(page);
    }
    const auto held = storage.Pages(3);
    // Forwards, backwards and across the large page, each read from the temporary file.
    for (const int i : {0, 3, 1, 11, 3, 2, 10, 4, 5, 6, 7, 8, 9, 3, 0}) {
        SCOPED_TRACE(i);
        for (int other = 0; other < TRLGraphicStorage::CacheSize; ++other)
            storage.Pages((i + 6 + other) % 12); // pushes page i out of the cache
        const auto page = storage.Pages(i);
        EXPECT_EQ(FirstText(*page), QStringLiteral("page %1").arg(i));
        EXPECT_EQ(page->ObjectCount(), 1 + i % 7 + (i == 3 ? 1 : 0));
    }
    ASSERT_EQ(held->ObjectCount(), 1 + 3 + 1);
    EXPECT_EQ(static_cast<const TRLTextObject&>(held->Object(4)).Text, long_);
}

TEST_F(PageStorage, ChangedPagesAreStoredAgain) {
    TRLGraphicStorage storage;
    for (int i = 0; i < 3; ++i)
        storage.Add(NumberedPage(i));
    const int objects = storage.Pages(1)->ObjectCount();
    storage.Pages(1)->FillRect({1, 1, 2, 2});
    EXPECT_TRUE(storage.Pages(1)->Modified());

    // Push page 1 out of the cache: it is written again on its way out.
    for (int i = 3; i < 12; ++i)
        storage.Add(NumberedPage(i));
    EXPECT_EQ(storage.Pages(1)->ObjectCount(), objects + 1);

    // A change to a cached page reaches a saved file without an eviction.
    storage.Pages(11)->FillRect({1, 1, 2, 2});
    const QByteArray saved = pagestoretest::Save(storage, 3);
    EXPECT_FALSE(storage.Pages(11)->Modified());
    TRLGraphicStorage copy;
    pagestoretest::Load(copy, saved);
    EXPECT_EQ(copy.Pages(11)->ObjectCount(), NumberedPage(11)->ObjectCount() + 1);
}

TEST_F(PageStorage, ClearEmptiesPagesAndSettings) {
    TRLGraphicStorage storage;
    storage.Add(NumberedPage(0));
    storage.SetTitle("T");
    storage.Clear();
    EXPECT_EQ(storage.PageCount(), 0);
    EXPECT_TRUE(storage.Macros().Entries().isEmpty());
    EXPECT_EQ(QFileInfo(storage.TempFileName()).size(), 0);
    storage.Add(NumberedPage(4));
    EXPECT_EQ(FirstText(*storage.Pages(0)), "page 4");
}

TEST_F(PageStorage, SettingsAreKeptAsTextEntries) {
    TRLGraphicStorage storage;
    storage.SetTitle("Title");
    storage.SetOrientation(2);
    storage.SetPaperWidth(210);
    storage.SetPaperHeight(297);
    EXPECT_EQ(storage.Macros().Entries(),
              (QStringList{"Title=Title", "Orientation=2", "PaperWidth=210.0000",
                           "PaperHeight=297.0000"}));
    EXPECT_EQ(std::pair(storage.OrientedWidth(), storage.OrientedHeight()), std::pair(1123, 794));
    storage.SetTitle("");
    EXPECT_FALSE(storage.Macros().Contains("Title")) << "an empty setting leaves no entry";
    storage.Macros().SetValue("PaperWidth", "wide");
    EXPECT_EQ(storage.PaperWidth(), 0) << "text that does not parse gives the default";
}

// An ownerless store freed with its window's link, an owned one kept, are the PreviewWindows
// tests'; a store freed after its background run the BackgroundRun tests'.
TEST_F(PageStorage, EachUserLinksOnceAndTheOwnerNever) {
    QObject owner, user;
    TRLGraphicStorage* storage = new TRLGraphicStorage(&owner);
    storage->Link(&owner);
    storage->Link(&user);
    storage->Link(&user);
    EXPECT_EQ(storage->LinkCount(), 1);
}

TEST_F(PageStorage, AnUnusableTemporaryDirectoryIsReportedByName) {
    FinishEngineSupport();
    qputenv("TMPDIR", "/proc");
    InitEngineSupport();
    TRLGraphicStorage storage;
    const QString error = pagestoretest::ErrorOf([&] { storage.Add(NumberedPage(0)); });
    EXPECT_TRUE(error.contains("\"/proc\"")) << error.toStdString();
    EXPECT_EQ(storage.PageCount(), 0);
}

TEST_F(PageStorage, AFullDiskKeepsThePagesAlreadyStored) {
    TRLGraphicStorage storage;
    for (int i = 0; i < 3; ++i)
        storage.Add(NumberedPage(i));
    const qint64 size = QFileInfo(storage.TempFileName()).size();

    // The file cannot grow, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = static_cast<rlim_t>(size + 8);
    QString error;
    {
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const auto unlimit = qScopeGuard([&old] { setrlimit(RLIMIT_FSIZE, &old); });
        error = pagestoretest::ErrorOf([&] { storage.Add(NumberedPage(3)); });
    }
    EXPECT_TRUE(error.contains(storage.TempFileName())) << error.toStdString();

    EXPECT_EQ(storage.PageCount(), 3);
    EXPECT_EQ(QFileInfo(storage.TempFileName()).size(), size) << "no partial record is left";
    EXPECT_EQ(FirstText(*storage.Pages(2)), "page 2");
    storage.Add(NumberedPage(3));
    EXPECT_EQ(FirstText(*storage.Pages(3)), "page 3");
}
