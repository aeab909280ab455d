// Page records: exact bytes, every object kind's round trip, damaged records refused.
#include "PageStoreTestSupport.h"
#include "TestSupport.h"
#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <gtest/gtest.h>

using namespace Kelmora;

using pagestoretest::ErrorOf;
using pagestoretest::Int32At;
using testsupport::Hex;

namespace {

const QByteArray Signature = QByteArrayLiteral("RLGraphicSurface3\x1A");

// An empty A4 page at 96 pixels per inch.
struct TEmptyA4 : TRLGraphicSurface {
    TEmptyA4() {
        SetWidth(794);
        SetHeight(1123);
    }
};

// Offset of the first object's data in a record without settings or fonts.
constexpr int FirstObjectData = 18 + 4 + 4 + 4 + 4 + 4 + 1 + 4;

void ExpectCorrupted(const QByteArray& bytes) {
    TRLGraphicSurface page;
    EXPECT_EQ(ErrorOf([&] { page.LoadFromBytes(bytes); }), "File is corrupted!")
        << bytes.toHex(' ').constData();
    EXPECT_EQ(page.ObjectCount(), 0) << "a refused record leaves the page empty";
}

} // namespace

TEST(PageRecord, FilledRectangleRecordIsByteExact) {
    TEmptyA4 page;
    auto& fill = page.Append<TRLFillRectObject>();
    fill.BoundsRect = {0, 0, 10, 10};
    fill.GroupId = 1;
    fill.Brush.Color = {0xFF, 0xFF, 0xFF};
    fill.Brush.Style = 1;

    const QByteArray expected = Signature + Hex("1A030000 63040000 00000000 00000000 01000000"
                                                "05 1C000000"
                                                "00000000 00000000 0A000000 0A000000"
                                                "01000000 00000000 FFFFFF01");
    EXPECT_EQ(page.SaveToBytes().toHex(' '), expected.toHex(' '));
}

TEST(PageRecord, ObjectLengthsFollowTheirKinds) {
    TEmptyA4 page;
    auto& polygon = page.Append<TRLPolygonObject>();
    polygon.Points = {{1, 2}, {3, 4}, {5, 6}};
    QByteArray bytes = page.SaveToBytes();
    EXPECT_EQ(Int32At(bytes, FirstObjectData - 4), 24 + 9 + 4 + 4 + 24);
    EXPECT_EQ(Int32At(bytes, FirstObjectData + 24 + 13), 3) << "point count";

    TEmptyA4 textPage;
    textPage.TextRectEx({0, 0, 10, 10}, 0, 0, QString(), 1, 1, 5);
    bytes = textPage.SaveToBytes();
    // After the font list ("Arial", 9 bytes): common part, alignment, layout, origin, flags, text.
    const int textData = FirstObjectData + 9;
    EXPECT_EQ(Int32At(bytes, textData - 4), 24 + 1 + 1 + 8 + 2 + 4 + 4 + 22);
    EXPECT_EQ(Int32At(bytes, textData + 36), 0) << "an empty text has no bytes";
}

namespace {

// Records one object of every kind onto an open page, each with values of its own.
void RecordEveryKind(TRLGraphicSurface& page, const TRLPen& pen, const TRLBrush& brush) {
    page.SetPen(pen);
    page.SetBrush(brush);
    page.SetFont({.Name = "Courier New",
                  .Size = 12,
                  .Style = fsBold | fsUnderline,
                  .Color = QColor(7, 8, 9),
                  .Pitch = TRLFontPitch::Fixed});
    auto& pixel = page.Append<TRLPixelObject>();
    pixel.BoundsRect = {5, 6, 6, 7};
    pixel.Color = {10, 20, 30};
    page.MoveTo(1, 2);
    page.LineTo(30, 40);
    page.Rectangle(1, 2, 3, 4);
    page.TextRectEx({10, 20, 300, 40}, 12, 22, "Año €uro {Title} 日本", 4, 3, 4);
    page.FillRect({0, 0, 7, 7});
    page.Ellipse({5, 5, 50, 60});
    page.Polygon({{0, 0}, {10, 0}, {5, 8}});
    page.Polyline({{-3, 4}, {6, -7}});
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    page.Draw(100, 200, picture, true);
    page.SetClipRect({1, 1, 9, 9});
    page.ResetClipRect();
}

} // namespace

TEST(PageRecord, EveryKindSurvivesARoundTrip) {
    TEmptyA4 page;
    page.Macros().SetValue("Orientation", "2");
    page.Open();
    const TRLPen pen{QColor(1, 2, 3), TRLPenMode::Xor, TRLPenStyle::DashDot, 3};
    const TRLBrush brush{QColor(4, 5, 6), TRLBrushStyle::Cross};
    RecordEveryKind(page, pen, brush);

    const QByteArray bytes = page.SaveToBytes();
    TRLGraphicSurface copy;
    copy.LoadFromBytes(bytes);
    EXPECT_FALSE(copy.Modified());
    EXPECT_EQ(copy.SaveToBytes(), bytes) << "reading and writing again gives the same bytes";
    ASSERT_EQ(copy.ObjectCount(), 11);
    EXPECT_EQ(copy.Macros().Value("orientation"), "2");

    const auto& line = static_cast<const TRLLineObject&>(copy.Object(1));
    EXPECT_EQ(std::tuple(line.FromPoint, line.ToPoint, line.Pen.ToPen(), line.Brush.ToBrush()),
              std::tuple(TRLPoint{1, 2}, TRLPoint{30, 40}, pen, brush));

    const auto& text = static_cast<const TRLTextObject&>(copy.Object(3));
    EXPECT_EQ(text.Text, "Año €uro {Title} 日本");
    EXPECT_EQ(std::tuple(text.FontName(), text.Font.Size, text.Font.Style, text.Font.Pitch,
                         text.Font.Height),
              std::tuple(QString("Courier New"), 12, fsBold | fsUnderline, 3, -16));
    EXPECT_EQ(std::tuple(text.Origin, text.Alignment, text.Layout, text.TextFlags),
              std::tuple(TRLPoint{12, 22}, 4, 3, 4));

    const auto& polygon = static_cast<const TRLPolygonObject&>(copy.Object(6));
    EXPECT_EQ(polygon.Points, (TRLPointArray{{0, 0}, {10, 0}, {5, 8}}));
    EXPECT_EQ(polygon.BoundsRect, (TRLRect{-1, -1, 11, 9}));
    const auto& image = static_cast<const TRLImageObject&>(copy.Object(8));
    EXPECT_TRUE(image.Parity);
    EXPECT_EQ(image.BoundsRect, (TRLRect{100, 200, 103, 202}));
    EXPECT_TRUE(image.Data.startsWith("BMP"));
    EXPECT_EQ(copy.Object(10).BoundsRect, (TRLRect{1, 1, 9, 9}));
}

// A page drawn onto another clones every object there and moves it: every point moves, nothing
// else changes, and the text's font is entered in the target page's own font list.
TEST(PageRecord, DrawingAPageCopiesEveryFieldAndMovesEveryPoint) {
    TEmptyA4 page;
    page.Open();
    RecordEveryKind(page, {QColor(1, 2, 3), TRLPenMode::Xor, TRLPenStyle::DashDot, 3},
                    {QColor(4, 5, 6), TRLBrushStyle::Cross});
    TEmptyA4 moved;
    moved.FontIndex("Arial");
    moved.Draw(7, -3, page);
    ASSERT_EQ(moved.ObjectCount(), 11);

    const auto& line = static_cast<const TRLLineObject&>(moved.Object(1));
    EXPECT_EQ(std::tuple(line.FromPoint, line.ToPoint, line.Pen.Width),
              std::tuple(TRLPoint{8, -1}, TRLPoint{37, 37}, 3));
    auto& text = static_cast<TRLTextObject&>(moved.Object(3));
    EXPECT_EQ(std::tuple(text.Origin, text.BoundsRect, text.Font.NameIndex, text.FontName()),
              std::tuple(TRLPoint{19, 19}, TRLRect{17, 17, 307, 37}, 1, QString("Courier New")));
    const auto& polyline = static_cast<const TRLPolylineObject&>(moved.Object(7));
    EXPECT_EQ(polyline.Points, (TRLPointArray{{4, 1}, {13, -10}}));

    // Moved back, the objects write what the source wrote, but for the font's place.
    for (const auto& object : moved.Objects())
        object->Offset(-7, 3);
    moved.Fonts().removeFirst();
    text.Font.NameIndex = 0;
    EXPECT_EQ(moved.SaveToBytes().toHex(' '), page.SaveToBytes().toHex(' '));
}

// A record keeps its strings in Windows-1252 while every one of them fits (the record older
// readers know), and in UTF-8 under a signature of its own as soon as one does not.
TEST(PageRecord, StringsStayInTheCodePageUnlessOneDoesNotFit) {
    const QString accents = QStringLiteral("Año €uro ‰ Œ ÿ") + QChar(0x81);
    const struct {
        const char* what;
        QString text, font, setting;
        bool utf8;
    } cases[] = {
        {"accents, the euro and an unassigned byte", accents, "Arial", "Página", false},
        {"a Greek text", QStringLiteral("Ελληνικά"), "Arial", "", true},
        {"a Polish text", QStringLiteral("Zażółć gęślą jaźń"), "Arial", "", true},
        {"a character beyond 16 bits", QStringLiteral("a😀b"), "Arial", "", true},
        {"a font named in Greek", accents, QStringLiteral("Γραμματοσειρά"), "", true},
        {"a page setting in Cyrillic", accents, "Arial", QStringLiteral("Страница"), true},
        {"a byte-order mark first", QChar(0xFEFF) + QStringLiteral("汉字"), "Arial", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TEmptyA4 page;
        if (!c.setting.isEmpty())
            page.Macros().SetValue("Title", c.setting);
        page.SetFont({.Name = c.font});
        page.TextRectEx({0, 0, 10, 10}, 0, 0, c.text, 1, 1, 5);
        const QByteArray bytes = page.SaveToBytes();
        EXPECT_TRUE(bytes.startsWith(c.utf8 ? "RLGraphicSurface4\x1A" : "RLGraphicSurface3\x1A"));
        EXPECT_TRUE(bytes.contains(c.utf8 ? c.text.toUtf8()
                                          : QByteArray("A\xF1o \x80uro \x89 "
                                                       "\x8C \xFF\x81")));

        TRLGraphicSurface copy;
        EXPECT_EQ(copy.LoadFromBytes(bytes),
                  c.utf8 ? TRLTextEncoding::Utf8 : TRLTextEncoding::Windows1252);
        const auto& text = static_cast<const TRLTextObject&>(copy.Object(0));
        EXPECT_EQ(text.Text.toStdU16String(), c.text.toStdU16String());
        EXPECT_EQ(text.FontName(), c.font);
        EXPECT_EQ(copy.Macros().Value("Title"), c.setting);
        EXPECT_EQ(copy.SaveToBytes(), bytes);

        // UTF-8 asked for: the same page under the other signature, read back the same.
        TRLPageWriter writer;
        EXPECT_EQ(page.SaveToWriter(writer, TRLPageText::Utf8), TRLTextEncoding::Utf8);
        const QByteArray utf8 = writer.Take();
        EXPECT_TRUE(utf8.startsWith("RLGraphicSurface4\x1A"));
        TRLGraphicSurface again;
        again.LoadFromBytes(utf8);
        EXPECT_EQ(static_cast<const TRLTextObject&>(again.Object(0)).Text, c.text);
        EXPECT_EQ(again.SaveToBytes(), bytes) << "written back in the form that fits";
    }
}

TEST(PageRecord, UnknownKindsAreSkippedByTheirLength) {
    TEmptyA4 page;
    page.FillRect({1, 2, 3, 4});
    QByteArray bytes = page.SaveToBytes();
    // An object of kind 12 with 6 bytes of data before the filled rectangle.
    const int countAt = FirstObjectData - 9;
    bytes.replace(countAt, 4, Hex("02000000"));
    bytes.insert(countAt + 4, Hex("0C 06000000 AABBCCDDEEFF"));

    TRLGraphicSurface copy;
    copy.LoadFromBytes(bytes);
    ASSERT_EQ(copy.ObjectCount(), 1);
    EXPECT_EQ(copy.Object(0).Kind(), TRLObjectKind::FillRect);
    EXPECT_EQ(copy.Object(0).BoundsRect, (TRLRect{1, 2, 3, 4}));
}

TEST(PageRecord, DamagedRecordsAreRefused) {
    // No 0x1A among the first 20 bytes.
    ExpectCorrupted(QByteArray(20, 'A') + Hex("1A"));
    ExpectCorrupted(QByteArray());
    ExpectCorrupted(QByteArrayLiteral("RLGraphicSurface2\x1A") + QByteArray(16, '\0'));

    TEmptyA4 page;
    page.FillRect({1, 2, 3, 4});
    page.Polygon({{1, 1}, {2, 2}});
    const QByteArray good = page.SaveToBytes();
    TRLGraphicSurface withText;
    withText.TextRectEx({}, 0, 0, "text", 1, 1, 5);
    withText.Polygon({{1, 1}, {2, 2}});
    const QByteArray goodText = withText.SaveToBytes();
    for (int size = 0; size < goodText.size(); ++size)
        ExpectCorrupted(goodText.left(size));

    // A filled rectangle whose record claims one byte more, or one byte less, than it holds.
    const int lengthAt = FirstObjectData - 4;
    ASSERT_EQ(Int32At(good, lengthAt), 28);
    for (const char* length : {"1D000000", "1B000000"}) {
        QByteArray wrong = good;
        ExpectCorrupted(wrong.replace(lengthAt, 4, Hex(length)));
    }

    // A UTF-8 record cut anywhere, or holding bytes that are not UTF-8 in a string.
    TRLGraphicSurface greek;
    greek.TextRectEx({}, 0, 0, QStringLiteral("Ελληνικά"), 1, 1, 5);
    const QByteArray goodUtf8 = greek.SaveToBytes();
    ASSERT_TRUE(goodUtf8.startsWith("RLGraphicSurface4\x1A"));
    for (int size = 0; size < goodUtf8.size(); ++size)
        ExpectCorrupted(goodUtf8.left(size));
    const qsizetype text = goodUtf8.indexOf(QStringLiteral("Ελληνικά").toUtf8());
    ASSERT_GT(text, 0);
    for (const char* bad : {"\xCE", "\xC0\xAF", "\xED\xA0\x80", "\xFF", "\x80"}) {
        QByteArray wrong = goodUtf8;
        // The string keeps its length: a bad sequence padded with letters.
        const QByteArray replacement = QByteArray(bad).leftJustified(4, 'x');
        ExpectCorrupted(wrong.replace(text + 12, replacement.size(), replacement));
    }

    // Counts far beyond the data never allocate: a huge font list and a huge point count.
    ExpectCorrupted(Signature + Hex("00000000 00000000 00000000 FFFFFF7F"));
    ExpectCorrupted(Signature + Hex("00000000 00000000 FFFFFFFF"));
}

TEST(PageRecord, MacrosExpandFromThePageThenTheStore) {
    TRLGraphicStorage storage;
    auto page = std::make_shared<TRLGraphicSurface>();
    page->Macros().SetValue("Title", "Page title");
    storage.Macros().SetValue("LastPageNumber", "3");
    storage.Macros().SetValue("Title", "Store title");
    storage.Add(page);

    EXPECT_EQ(page->ExpandMacros("Page 1 of {lastpagenumber}."), "Page 1 of 3.");
    EXPECT_EQ(page->ExpandMacros("{Title}"), "Page title") << "the page's settings come first";
    EXPECT_EQ(page->ExpandMacros("{Unknown} {LastPageNumber}"), "{Unknown} 3");
    EXPECT_EQ(page->ExpandMacros("{LastPageNumber}{"), "3{");
    // A value holding braces is not expanded again.
    storage.Macros().SetValue("Loop", "{Loop}");
    EXPECT_EQ(page->ExpandMacros("{Loop}!"), "{Loop}!");
}

// Cuts between whole lines and at the margin are the report's (Pagination tests).
TEST(PageRecord, FindFreeRowStepsAboveKeepWholeTexts) {
    TRLGraphicSurface page;
    page.TextRectEx({0, 100, 50, 120}, 0, 100, "a", 1, 1, 4);
    page.TextRectEx({60, 110, 90, 130}, 60, 110, "b", 1, 1, 4);
    page.TextRectEx({0, 200, 50, 220}, 0, 200, "free", 1, 1, 1); // not keep-whole
    page.FillRect({0, 0, 500, 500});
    int32_t row = 0;
    EXPECT_TRUE(page.FindFreeRow(210, row));
    EXPECT_EQ(row, 210) << "only keep-whole texts hold the cut back";
    EXPECT_TRUE(page.FindFreeRow(125, row));
    EXPECT_EQ(row, 100) << "a cut inside b moves into a, then above it";
    EXPECT_TRUE(page.FindFreeRow(100, row));
    EXPECT_EQ(row, 100) << "a text's top edge is a free row";
}

TEST(PageRecord, InflateScalesEveryCoordinate) {
    TRLGraphicSurface page;
    page.SetPen({Qt::black, TRLPenMode::Copy, TRLPenStyle::Solid, 3});
    auto& polygon = page.Polygon({{15, 5}, {25, 25}});
    polygon.Inflate(0.5, 0.1);
    // 15 * 0.5 = 7.5 -> 8 and 25 * 0.5 = 12.5 -> 12: halves go to the even neighbour.
    EXPECT_EQ(polygon.Points, (TRLPointArray{{8, 0}, {12, 2}}));
    EXPECT_EQ(polygon.Pen.Width, 2);

    auto& text = page.TextRectEx({0, 0, 10, 10}, 3, 4, "t", 1, 1, 5);
    text.Font.Size = 10;
    text.Inflate(2, 0.25);
    EXPECT_EQ(text.Font.Size, 2);
    EXPECT_EQ(text.Origin, (TRLPoint{6, 1}));

    TRLMetaPen pen;
    pen.Inflate(10);
    EXPECT_EQ(pen.Width, 0) << "a hairline stays a hairline";
    pen.Width = 2;
    pen.Inflate(0.01);
    EXPECT_EQ(pen.Width, 1) << "a real pen never shrinks to nothing";
}

// Unscaled copies are the pagination tests' (a band cut over pages).
TEST(PageRecord, CopyRectScalesThePartIntoTheTarget) {
    TRLGraphicSurface source;
    source.TextRectEx({10, 10, 20, 20}, 10, 10, "in", 1, 1, 5);
    source.FillRect({100, 100, 120, 120});
    TRLGraphicSurface scaled;
    scaled.CopyRect({0, 0, 50, 50}, source, {0, 0, 100, 100});
    // Clip set, the overlapping text only, clip reset.
    ASSERT_EQ(scaled.ObjectCount(), 3);
    EXPECT_EQ(scaled.Object(0).Kind(), TRLObjectKind::SetClipRect);
    EXPECT_EQ(scaled.Object(1).BoundsRect, (TRLRect{5, 5, 10, 10}));
    EXPECT_EQ(scaled.Object(2).Kind(), TRLObjectKind::ResetClipRect);
    EXPECT_EQ(scaled.Object(2).BoundsRect, (TRLRect{0, 0, 50, 50}));
}

// A band's objects move onto the page instead of being copied when the band is done with them:
// the page must come out byte for byte as the copy makes it, with each text's font found again
// in the page's own font list (which orders the names differently) and what the copy would
// leave out dropped.
TEST(PageRecord, TakingObjectsGivesThePageTheCopyWouldGive) {
    auto record = [](TRLGraphicSurface& band) {
        band.SetWidth(300);
        band.SetHeight(40);
        band.SetFont({.Name = "Liberation Serif"});
        band.TextRectEx({0, 0, 100, 20}, 0, 0, "Ñandú", 1, 1, 5);
        band.SetFont({.Name = "Liberation Sans"});
        band.TextRectEx({100, 0, 200, 20}, 100, 0, "Ωmega", 1, 1, 5);
        band.FillRect({0, 20, 300, 21});
        band.FillRect({0, 500, 10, 510}); // outside the slice: the copy leaves it out
    };
    auto page = [] {
        auto p = std::make_unique<TEmptyA4>();
        p->SetFont({.Name = "Liberation Sans"}); // the page knows the second font first
        p->TextRectEx({0, 0, 50, 10}, 0, 0, "cabecera", 1, 1, 5);
        return p;
    };
    const TRLRect slice{0, 0, 300, 40};
    const TRLRect dest{38, 100, 338, 140};

    TRLGraphicSurface copied;
    record(copied);
    auto byCopy = page();
    byCopy->CopyRect(dest, copied, slice);
    byCopy->Draw(5, 7, copied);

    TRLGraphicSurface taken;
    record(taken);
    auto byTaking = page();
    byTaking->TakeRect(dest, taken, slice);
    EXPECT_EQ(taken.ObjectCount(), 0);
    record(taken);
    byTaking->Take(5, 7, taken);
    EXPECT_EQ(taken.ObjectCount(), 0);

    EXPECT_EQ(Hex(byTaking->SaveToBytes()), Hex(byCopy->SaveToBytes()));
    ASSERT_EQ(byTaking->ObjectCount(), 10);
    const auto& serif = static_cast<const TRLTextObject&>(byTaking->Object(2));
    EXPECT_EQ(serif.FontName(), "Liberation Serif");
    EXPECT_EQ(&serif.Surface(), byTaking.get());
    EXPECT_EQ(static_cast<const TRLTextObject&>(byTaking->Object(3)).FontName(), "Liberation Sans");
}
