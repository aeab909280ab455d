// A page split for drawing before its run has ended: which objects wait, and what a late part
// keeps of its page.
#include "PageStoreTestSupport.h"
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <QImage>
#include <QPainter>

#include <limits>

#include <gtest/gtest.h>

namespace {

// An A4 page as a report leaves it: each band under a clip of its own.
std::shared_ptr<TRLGraphicSurface> BandedPage() {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(794);
    page->SetHeight(1123);
    page->Macros().SetValue(QStringLiteral("PageNumber"), QStringLiteral("3"));
    page->Open();
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    page->SetFont({.Name = QStringLiteral("Liberation Sans"), .Size = 9});
    return page;
}

// The places of the objects that are true in flags.
std::vector<int> Places(const std::vector<bool>& flags) {
    std::vector<int> places;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            places.push_back(static_cast<int>(i));
    return places;
}

QStringList Kinds(const TRLGraphicSurface& page) {
    QStringList kinds;
    for (const auto& object : page.Objects()) {
        switch (object->Kind()) {
        case TRLObjectKind::Text:
            kinds << QStringLiteral("text:") + static_cast<const TRLTextObject&>(*object).Text;
            break;
        case TRLObjectKind::SetClipRect:
            kinds << QStringLiteral("clip:%1,%2")
                         .arg(object->BoundsRect.Top)
                         .arg(object->BoundsRect.Bottom);
            break;
        case TRLObjectKind::ResetClipRect:
            kinds << QStringLiteral("unclip");
            break;
        default:
            kinds << QStringLiteral("shape");
            break;
        }
    }
    return kinds;
}

} // namespace

// A text that names a setting the page does not hold waits for the run's end, and so does what
// is drawn over it afterwards; what it does not touch, and texts the page can fill in itself, are
// drawn at once.
TEST(PageParts, TextsNamingTheRunWaitWithWhatIsDrawnOverThem) {
    auto page = BandedPage();
    EXPECT_TRUE(page->LateObjects().empty()) << "an empty page has nothing to wait for";

    page->SetClipRect({38, 38, 756, 74}); // 0
    page->TextRectEx({38, 38, 756, 74}, 42, 40, QStringLiteral("Página {PageNumber}"),
                     MetaTextAlignmentLeft, MetaTextLayoutTop, 0); // 1: the page fills it in
    page->ResetClipRect();                                         // 2
    EXPECT_TRUE(page->LateObjects().empty());

    page->SetClipRect({38, 1000, 756, 1040}); // 3
    page->TextRectEx({400, 1000, 756, 1040}, 400, 1004,
                     QStringLiteral("Σελίδα {PageNumber} από {LastPageNumber}"),
                     MetaTextAlignmentRight, MetaTextLayoutTop, 0); // 4: late
    page->SetBrush({QColor(200, 0, 0), TRLBrushStyle::Solid});
    page->FillRect({700, 1010, 740, 1030}); // 5: over the late text
    page->FillRect({40, 1010, 80, 1030});   // 6: in the band, not over the text
    page->ResetClipRect();                  // 7
    page->SetPen({.Width = 1});
    page->MoveTo(38, 200);
    page->LineTo(756, 200); // 8: far above
    page->SetBrush({QColor(0, 0, 200), TRLBrushStyle::Solid});
    page->FillRect({90, 1015, 120, 1020});  // 9: beside the band's red box, over nothing late
    page->FillRect({730, 1020, 760, 1060}); // 10: over box 5, which waits
    EXPECT_EQ(Places(page->LateObjects()), (std::vector<int>{4, 5, 10}));

    // A text not cut to its cell may run across the page at its height.
    auto wide = BandedPage();
    wide->TextRectEx({600, 500, 700, 520}, 600, 500, QStringLiteral("{LastPageNumber}"),
                     MetaTextAlignmentLeft, MetaTextLayoutTop, MetaTextFlagNoClipping);
    wide->FillRect({0, 505, 10, 515});    // same height, far to the left: may be under its ink
    wide->FillRect({0, 900, 10, 910});    // far below
    wide->FillRect({650, 250, 660, 260}); // far above
    EXPECT_EQ(Places(wide->LateObjects()), (std::vector<int>{0, 1}));

    // A clip of no width or height cuts nothing when drawn: what is under it overlaps freely.
    auto open = BandedPage();
    open->SetClipRect({500, 500, 500, 500});
    open->TextOut(10, 10, QStringLiteral("{LastPageNumber}"));
    open->FillRect({12, 12, 30, 20});
    open->ResetClipRect();
    EXPECT_EQ(Places(open->LateObjects()), (std::vector<int>{1, 2}));

    // A name in braces that no one sets may yet be set by the run's end; one the page sets in
    // another letter case is the page's.
    auto named = BandedPage();
    named->TextOut(10, 10, QStringLiteral("{pagenumber} {Desconocido}"));
    named->TextOut(10, 400, QStringLiteral("{PAGENUMBER} y {llave sin cerrar"));
    EXPECT_EQ(Places(named->LateObjects()), (std::vector<int>{0}));
}

// A page with texts naming the run in most of its rows gains nothing from the split: past a
// bound, all that follows waits, and the work stays linear.
TEST(PageParts, PastManyLateTextsEverythingAfterWaits) {
    auto page = BandedPage();
    for (int row = 0; row < 100; ++row)
        page->TextOut(10, 10 * row, QStringLiteral("{LastPageNumber}"));
    page->FillRect({0, 5000, 10, 5010});
    const std::vector<bool> late = page->LateObjects();
    ASSERT_EQ(late.size(), 101u);
    EXPECT_TRUE(late.back()) << "far from every text, yet after the bound";
}

// A late part holds the waiting objects in their order, each under the clip it was drawn under,
// and the page's size, settings and fonts; it reads back from its record as it was written.
TEST(PageParts, ALatePartKeepsItsObjectsClipsAndSettings) {
    auto page = BandedPage();
    page->SetPaperWidth(210);
    page->SetPaperHeight(297);
    for (int band = 0; band < 10; ++band) {
        page->SetClipRect({38, 100 * band, 756, 100 * band + 50});
        page->TextOut(40, 100 * band, QStringLiteral("fila %1").arg(band));
        page->ResetClipRect();
    }
    page->SetClipRect({38, 1000, 756, 1040});
    page->SetFont({.Name = QStringLiteral("Liberation Serif"), .Size = 9});
    page->TextOut(500, 1004, QStringLiteral("Página {PageNumber} de {LastPageNumber}"));
    page->SetClipRect({600, 1000, 700, 1040});
    page->SetBrush({Qt::black, TRLBrushStyle::Solid});
    page->FillRect({600, 1000, 700, 1040});
    page->ResetClipRect();
    page->ResetClipRect();
    page->TextOut(0, 1100, QStringLiteral("{Title}")); // under no clip at all
    page->Close();

    const std::vector<bool> late = page->LateObjects();
    const auto part = page->PartOf(late);
    EXPECT_EQ(Kinds(*part),
              (QStringList{"clip:1000,1040", "text:Página {PageNumber} de {LastPageNumber}",
                           "unclip", "clip:1000,1040", "shape", "unclip", "text:{Title}"}));
    EXPECT_EQ(part->Width(), 794);
    EXPECT_EQ(part->Height(), 1123);
    EXPECT_EQ(part->PaperWidth(), 210);
    EXPECT_EQ(part->Macros().Value(QStringLiteral("PageNumber")), QStringLiteral("3"));
    const auto& text = static_cast<const TRLTextObject&>(part->Object(1));
    EXPECT_EQ(text.FontName(), QStringLiteral("Liberation Serif"));

    TRLGraphicSurface read;
    read.LoadFromBytes(part->SaveToBytes());
    EXPECT_EQ(Kinds(read), Kinds(*part));
    EXPECT_EQ(read.SaveToBytes(), part->SaveToBytes());
}

// The early part is drawn without the waiting objects and the late part with them alone: the
// two drawings together make the page's own drawing.
TEST(PageParts, TheTwoPartsDrawWhatThePageDraws) {
    TRLGraphicStorage store;
    store.SetLastPageNumber(12);
    auto page = BandedPage();
    page->SetStorage(&store);
    page->SetClipRect({38, 1000, 756, 1040});
    page->SetFont({.Name = QStringLiteral("Liberation Sans"), .Size = 14});
    page->TextOut(100, 1004, QStringLiteral("Página {PageNumber} de {LastPageNumber} — Núñez"));
    page->ResetClipRect();
    page->SetBrush({QColor(0, 120, 0), TRLBrushStyle::Solid});
    page->FillRect({150, 1010, 400, 1020}); // over the text: drawn after it either way
    page->FillRect({100, 100, 300, 200});
    page->Close();

    const auto paint = [](const TRLGraphicSurface& surface, const std::vector<bool>* leaveOut,
                          QImage& image) {
        QPainter painter(&image);
        surface.PaintTo(painter, image.rect(), {.LeaveOut = leaveOut});
    };
    QImage whole(794, 1123, QImage::Format_RGB32);
    whole.fill(Qt::white);
    paint(*page, nullptr, whole);

    const std::vector<bool> late = page->LateObjects();
    ASSERT_EQ(Places(late), (std::vector<int>{1, 3}));
    auto part = page->PartOf(late);
    part->SetStorage(&store);
    QImage split(794, 1123, QImage::Format_RGB32);
    split.fill(Qt::white);
    paint(*page, &late, split);
    EXPECT_NE(split, whole) << "the early part lacks the text";
    paint(*part, nullptr, split);
    EXPECT_EQ(split, whole);
}

// A damaged page may claim any font size, pen width or place: the areas stay in range (the
// sanitizer suite would see an overflow), and what overlaps still waits.
TEST(PageParts, ADamagedPagesExtremesStayInRange) {
    auto page = BandedPage();
    auto& text = page->TextOut(0, 0, QStringLiteral("{LastPageNumber}"));
    text.Origin = {INT32_MAX, INT32_MIN};
    text.BoundsRect = {INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX};
    text.Font.Size = std::numeric_limits<int32_t>::min();
    auto& frame = page->Rectangle(0, 0, 10, 10);
    frame.BoundsRect = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    frame.Pen.Width = std::numeric_limits<int32_t>::max();
    auto& line = page->LineTo(10, 10);
    line.FromPoint = {INT32_MIN, INT32_MAX};
    line.ToPoint = {INT32_MAX, INT32_MIN};
    line.Pen.Width = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(Places(page->LateObjects()), (std::vector<int>{0, 1, 2}));
}
