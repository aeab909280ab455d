// The preview control on its own: layout, paging, painting, search, edit mode and copying.
#include "PreviewTestSupport.h"
#include "RLTextSearch.h"
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/support/RLCore.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace Kelmora;

using namespace previewtest;

namespace {

const QColor kGrey(128, 128, 128);
const QColor kSilver(192, 192, 192);

// The diagonals are rasterised by the toolkit; a pixel either side of the ideal line will do.
bool HasColourNear(const QImage& image, QPoint at, const QColor& colour) {
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (image.pixelColor(at + QPoint(dx, dy)) == colour)
                return true;
    return false;
}

int LongestDarkRun(const QImage& image, const QRect& area) {
    int longest = 0;
    for (int y = area.top(); y <= area.bottom() && y < image.height(); ++y)
        for (int x = area.left(), run = 0; x <= area.right() && x < image.width(); ++x)
            longest = std::max(longest, run = qGray(image.pixel(x, y)) < 128 ? run + 1 : 0);
    return longest;
}

using Hit = std::pair<int, int>;
const Hit kMiss{-1, -1};
enum { kWholeWords = 1, kMatchCase = 2, kBackward = 4 };

class PreviewControl : public ::testing::Test {
protected:
    QObject owner;
    TRLPreview preview;

    void ShowAt(int width, int height, TRLGraphicStorage* store = nullptr) {
        preview.resize(width, height);
        preview.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
        if (store)
            preview.SetPages(store);
    }

    void ShowPage(std::shared_ptr<TRLGraphicSurface> page) {
        auto* store = new TRLGraphicStorage(&owner);
        store->Add(std::move(page));
        store->SetPaperWidth(210);
        store->SetPaperHeight(297);
        preview.SetPages(store);
    }

    Hit Find(const QString& text, int options = 0) {
        if (!preview.FindText(text, options & kWholeWords, options & kMatchCase,
                              options & kBackward))
            return kMiss;
        return {preview.FoundPageIndex(), preview.FoundObjectIndex()};
    }

    const TRLTextObject& TextOn(int pageIndex, int objectIndex) {
        // Keep the page alive for the test's use of the object.
        pinned = preview.Pages()->Pages(pageIndex);
        return static_cast<const TRLTextObject&>(pinned->Object(objectIndex));
    }
    std::shared_ptr<TRLGraphicSurface> pinned;
};

// A fit is the largest whole percentage at which the pages lie inside the viewport, the scroll
// bars it calls for included: nothing hides under a bar and no horizontal bar appears.
TEST_F(PreviewControl, FitZoomsShowWholePagesInsideTheViewport) {
    EXPECT_EQ(preview.FitWidthZoom(), 100) << "without pages every fit is 100";
    ShowAt(807, 600, MakeBlankStore(4, &owner));
    const auto boxFor = [](double zoom, int pixels) {
        return RoundHalfEven(pixels * zoom / 100) + TRLPreviewBox::FrameAndShadow;
    };
    const auto fit = [&](void (TRLPreview::*zoom)(), int boxes) {
        (preview.*zoom)();
        QCoreApplication::processEvents();
        EXPECT_EQ(preview.PageBoxCount(), boxes);
        EXPECT_EQ(preview.horizontalScrollBar()->maximum(), 0);
    };

    fit(&TRLPreview::ZoomFullWidth, 1);
    EXPECT_TRUE(preview.verticalScrollBar()->isVisible()) << "a fitted A4 page is taller";
    const QRect box = preview.PageBoxes(0).geometry();
    EXPECT_LE(box.right(), preview.viewport()->width() - 1) << "the edge is not under the bar";
    EXPECT_GT(boxFor(preview.Zoom() + 1, 794), preview.viewport()->width())
        << "one percent more would not fit: " << preview.Zoom();

    fit(&TRLPreview::ZoomFullPage, 1);
    EXPECT_EQ(preview.verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(preview.viewport()->rect().contains(preview.PageBoxes(0).geometry()));
    EXPECT_TRUE(boxFor(preview.Zoom() + 1, 794) > preview.viewport()->width() ||
                boxFor(preview.Zoom() + 1, 1123) > preview.viewport()->height());

    fit(&TRLPreview::ZoomMultiplePages, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(preview.viewport()->rect().contains(preview.PageBoxes(i).geometry())) << i;
    const double multiple = preview.Zoom();

    // A resize re-centres but keeps the fitted zoom.
    preview.resize(1200, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(preview.Zoom(), multiple);
}

TEST_F(PreviewControl, BoxesAreSizedWithHalvesToEvenAndCentredWhileTheyFit) {
    ShowAt(1000, 1300, MakeBlankStore(2, &owner));
    preview.SetZoom(25);
    // 794 * 0.25 = 198.5 goes to 198, 1123 * 0.25 = 280.75 to 281; plus the frame and shadow.
    const QRect box = preview.PageBoxes(0).geometry();
    EXPECT_EQ(box.size(), QSize(205, 288));
    EXPECT_EQ(box.topLeft(), QPoint((1000 - 205) / 2, (1300 - 288) / 2));
    EXPECT_EQ(preview.horizontalScrollBar()->maximum(), 0);
}

TEST_F(PreviewControl, MultiplePagesShowGreyCrossedBoxesPastTheEndInFramesThatBlackenWhenActive) {
    ShowAt(1200, 600, MakeBlankStore(5, &owner, 10));
    preview.ZoomMultiplePages();

    preview.LastPage();
    EXPECT_EQ(preview.PageIndex(), 2) << "the last three pages";

    preview.GotoPageNumber(13); // numbers follow the store's first one
    preview.NextPage();
    EXPECT_EQ(preview.PageNumber(), 14);
    EXPECT_NE(preview.PageBoxes(0).Page(), nullptr);
    EXPECT_EQ(preview.PageBoxes(1).Page(), nullptr);
    EXPECT_EQ(preview.PageBoxes(1).size(), preview.PageBoxes(0).size());

    const QImage missing = Shot(preview.PageBoxes(1));
    const int inner = missing.width() - 7;
    // White paper against a grey box crossed by its diagonals in the silver frame colour.
    EXPECT_EQ(missing.pixelColor(inner / 2, 3 * inner / 4), kGrey);
    const int innerHeight = missing.height() - 7;
    for (const QPoint& p : {QPoint(inner / 2, innerHeight / 2), QPoint(inner / 4, innerHeight / 4),
                            QPoint(3 * inner / 4, innerHeight / 4)})
        EXPECT_TRUE(HasColourNear(missing, p, kSilver)) << p.x() << "," << p.y();
    // The frame is silver, and black while the control is the active view.
    EXPECT_EQ(Shot(preview.PageBoxes(0)).pixelColor(0, 100), kSilver);
    preview.SetActive(true);
    EXPECT_EQ(Shot(preview.PageBoxes(0)).pixelColor(0, 100), QColor(Qt::black));

    // Stepping past either end, or to a page not in the store, leaves the view as it is.
    const int layouts = preview.LayoutCount();
    preview.NextPage();
    preview.GotoPageNumber(15);
    preview.FirstPage();
    preview.PriorPage();
    preview.GotoPageNumber(9);
    preview.GotoPageIndex(-1);
    EXPECT_EQ(preview.PageIndex(), 0);
    EXPECT_EQ(preview.LayoutCount(), layouts + 1);
}

TEST_F(PreviewControl, LaysOutOnlyOnRealChanges) {
    ShowAt(800, 600);
    preview.NextPage(); // no pages: nothing at all
    EXPECT_EQ(QList<int>({preview.PageNumber(), preview.PageIndex()}), QList<int>({0, -1}));
    int changes = 0;
    QObject::connect(&preview, &TRLPreview::OnChangeView, [&] { ++changes; });
    preview.SetPages(MakeBlankStore(3, &owner));
    // The scroll bars that the page calls for narrow the viewport once more.
    QCoreApplication::processEvents();
    const int afterSetPages = changes;
    EXPECT_GE(afterSetPages, 1);
    const int layouts = preview.LayoutCount();

    preview.SetZoom(100);
    preview.GotoPageIndex(0);
    preview.resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, afterSetPages);

    // The zoom lays out, and so does the viewport narrowed by the scroll bars it brings.
    preview.SetZoom(1000);
    QCoreApplication::processEvents();
    const int zoomed = preview.LayoutCount();
    const int changesZoomed = changes;
    EXPECT_GT(zoomed, layouts);
    preview.resize(801, 600);
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview.LayoutCount() == zoomed + 1; }, 2000));
    QCoreApplication::processEvents();
    EXPECT_EQ(preview.LayoutCount(), zoomed + 1);
    EXPECT_EQ(changes, changesZoomed + 1);
}

TEST_F(PreviewControl, FindTextMovesToTheHitAndContinuesAfterIt) {
    ShowAt(800, 600,
           MakeTextStore({{"concatenate", "the cat sat"},
                          {"first ABC", "filler", "second abc"},
                          {"tail", "Página 3 de {LastPageNumber}"}},
                         &owner));

    EXPECT_EQ(Find(QString()), kMiss);
    EXPECT_EQ(Find("abc", kBackward), kMiss) << "backwards from the first page looks only there";
    EXPECT_EQ(Find("cat", kWholeWords), Hit(0, 1));
    EXPECT_EQ(Find("abc"), Hit(1, 0));
    EXPECT_EQ(preview.PageIndex(), 1) << "the view moves to the hit";
    EXPECT_TRUE(preview.ShowFound());
    EXPECT_EQ(Find("abc"), Hit(1, 2)) << "continues after the last hit";
    EXPECT_EQ(Find("abc"), kMiss) << "no wrap-around";

    // Backwards starts afresh at the end of the shown page, then continues before each hit.
    EXPECT_EQ(Find("abc", kBackward), Hit(1, 2));
    EXPECT_EQ(Find("abc", kBackward), Hit(1, 0));
    // From a page shown before the last hit's, a search starts afresh there.
    preview.GotoPageIndex(0);
    EXPECT_EQ(Find("abc"), Hit(1, 0));

    // Texts are searched as recorded, braces and all.
    EXPECT_EQ(Find("{lastpagenumber}"), Hit(2, 1));
}

TEST(TextContains, WholeWordsAreBoundedByNonLettersAndNonDigits) {
    // A non-ASCII letter still joins a word. (The search test finds "cat" past "concatenate".)
    const struct {
        const char *text, *needle;
        bool whole, expected;
    } cases[] = {{"concat cat", "cat", true, true}, {"concat", "cat", false, true},
                 {"cat", "cat", true, true},        {"(cat)", "cat", true, true},
                 {"cat2", "cat", true, false},      {"ÑCAT", "CAT", true, false},
                 {"anything", "", false, false}};
    for (const auto& c : cases)
        EXPECT_EQ(TextContains(QString::fromUtf8(c.text), QString::fromUtf8(c.needle), c.whole),
                  c.expected)
            << c.text << " / " << c.needle << " whole=" << c.whole;
}

TEST_F(PreviewControl, FoundTextIsOutlinedByInvertingWhatLiesBelow) {
    ShowAt(900, 1200, MakeTextStore({{"marker text"}}, &owner));
    const QImage before = Shot(preview.PageBoxes(0));
    ASSERT_TRUE(preview.FindText("marker", false, false, false));
    const QImage after = Shot(preview.PageBoxes(0));

    const TRLRect b = TextOn(0, 0).BoundsRect;
    const int midY = (b.Top + b.Bottom) / 2;
    // Left edge of the outline, three pixels out from the text's bounds: white paper inverted.
    EXPECT_EQ(before.pixelColor(b.Left - 3, midY), QColor(Qt::white));
    EXPECT_EQ(after.pixelColor(b.Left - 3, midY), QColor(Qt::black));
    EXPECT_EQ(after.pixelColor(b.Left - 3, b.Top - 3), QColor(Qt::black));
    EXPECT_EQ(after.pixelColor(b.Left + 1, midY), before.pixelColor(b.Left + 1, midY));
}

TEST_F(PreviewControl, EditModeMarksTheSmallestObjectUnderThePointerWithItsGroup) {
    ShowAt(900, 1200);
    auto page = MakeA4Page();
    page->Open();
    TRLGraphicStorage::NewGroupId();
    page->Rectangle(50, 50, 400, 400); // a frame around...
    page->TextOut(100, 100, "inside"); // ...a text of the same control
    TRLGraphicStorage::NewGroupId();
    page->Rectangle(500, 500, 600, 600); // a control of its own
    page->Rectangle(500, 500, 600, 600); // equal area, later in page order
    TRLGraphicStorage::NewGroupId();
    page->TextOut(650, 100, "lone"); // a control of one object
    page->Close();
    ShowPage(page);
    TRLPreviewBox& box = preview.PageBoxes(0);

    preview.SetEditing(true);
    QTest::mouseMove(&box, QPoint(110, 105));
    EXPECT_EQ(box.SelectedObjectIndex(), 1) << "the text, not the frame around it";
    // Two objects of one group: silver handles at the corners of both.
    QImage shot = Shot(box);
    EXPECT_EQ(shot.pixelColor(50, 50), kSilver);
    EXPECT_EQ(shot.pixelColor(400, 400), kSilver);

    QTest::mouseMove(&box, QPoint(500, 600)); // on the edge: edges count
    EXPECT_EQ(box.SelectedObjectIndex(), 2) << "on equal areas the first wins";

    QTest::mouseMove(&box, QPoint(700, 900));
    EXPECT_EQ(box.SelectedObject(), nullptr);

    // A lone object gets black handles; the pointer finds it, and they are drawn, at the zoom.
    preview.SetZoom(50);
    const TRLRect b = TextOn(0, 4).BoundsRect;
    const QPoint corner(box.ToBox(b.Right), box.ToBox(b.Bottom));
    QTest::mouseMove(&box, QPoint(box.ToBox(b.Left + 2), box.ToBox(b.Top + 2)));
    ASSERT_EQ(box.SelectedObjectIndex(), 4);
    EXPECT_EQ(Shot(box).pixelColor(corner), QColor(Qt::black));

    preview.SetEditing(false);
    EXPECT_EQ(box.SelectedObject(), nullptr);
    EXPECT_NE(Shot(box).pixelColor(corner), QColor(Qt::black)) << "the handles are gone";
}

TEST_F(PreviewControl, CopyPutsThePageOnTheClipboardAtItsOwnSize) {
    ShowAt(1200, 600, MakeTextStore({{"one"}, {"two"}}, &owner));
    preview.ZoomMultiplePages();
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(preview.CopyPageToClipboard(2)) << "the third box has no page";
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());

    ASSERT_TRUE(preview.CopyPageToClipboard(1));
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(kPageWidth, kPageHeight));
    EXPECT_GT(LongestDarkRun(copied, QRect(100, 100, 40, 15)), 0);
}

TEST_F(PreviewControl, ClicksActivateAndDoubleClicksToggleMultiplePages) {
    ShowAt(1200, 600, MakeBlankStore(6, &owner));
    int entered = 0;
    QObject::connect(&preview, &TRLPreview::OnEnter, [&] { ++entered; });
    QTest::mouseClick(&preview.PageBoxes(0), Qt::LeftButton);
    QTest::mouseClick(preview.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(entered, 2);

    QTest::mouseDClick(&preview.PageBoxes(0), Qt::LeftButton);
    EXPECT_EQ(preview.PageBoxCount(), 3);
    QTest::mouseDClick(&preview.PageBoxes(2), Qt::LeftButton);
    EXPECT_EQ(preview.PageBoxCount(), 1);
    EXPECT_EQ(preview.PageNumber(), 3) << "the double-clicked box's page";
}

} // namespace

TEST_F(PreviewControl, AtFullSizeAnUnderlinedTextKeepsItsUnderline) {
    ShowAt(1000, 1300);
    auto page = MakeA4Page();
    TRLFont font;
    font.Style = fsBold | fsUnderline;
    page->SetFont(font);
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    page->TextOut(300, 200, QStringLiteral("SOLICITUD DE KELMORA"));
    const int textWidth = page->TextWidth(QStringLiteral("SOLICITUD DE KELMORA"));
    const int textHeight = page->TextHeight(QStringLiteral("SOLICITUD DE KELMORA"));
    ShowPage(page);
    preview.SetZoom(100);
    // The underline is the longest dark run of a row inside the text's cell.
    const QPoint at(preview.PageBoxes(0).ToBox(300), preview.PageBoxes(0).ToBox(200));
    EXPECT_GT(
        LongestDarkRun(Shot(preview.PageBoxes(0)), QRect(at, QSize(textWidth, textHeight + 2))),
        textWidth * 3 / 4)
        << "no underline under the text";
}
