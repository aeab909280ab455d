// Whole pages replayed onto images: scaling, every kind's drawing, clip objects, clean-up after
// drawing. The clip state is each drawing's own; two threads drawing are BackgroundRun tests'.
#include <kelmora/pagestore/RLCanvas.h>
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include "DrawingTestSupport.h"

#include <QPaintEngine>
#include <QPainter>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Kelmora;

using namespace drawtest;

namespace {

TRLMetaBrush SolidBrush(uint8_t r, uint8_t g, uint8_t b) {
    return {{r, g, b}, 1};
}

TRLMetaBrush ClearBrush() {
    return {{}, 2};
}

TRLMetaPen MetaPen(uint8_t style, int32_t width, TRLMetaColor color = {}, uint8_t mode = 5) {
    return {color, mode, style, width};
}

struct TPage : TRLGraphicSurface {
    TPage(int32_t width, int32_t height) {
        SetWidth(width);
        SetHeight(height);
    }
};

// An object of kind T with the given pen and, for kinds that fill, brush (by default solid black).
template <class T> T& Add(TRLGraphicSurface& page, TRLMetaPen pen, TRLMetaBrush brush = {}) {
    auto& object = page.Append<T>();
    object.Pen = pen;
    if constexpr (requires { object.Brush; })
        object.Brush = brush;
    return object;
}

TRLLineObject& AddLine(TRLGraphicSurface& page, TRLPoint from, TRLPoint to, TRLMetaPen pen,
                       TRLMetaBrush brush = {}) {
    auto& line = Add<TRLLineObject>(page, pen, brush);
    line.FromPoint = from;
    line.ToPoint = to;
    return line;
}

TRLFillRectObject& AddFill(TRLGraphicSurface& page, const TRLRect& bounds, TRLMetaBrush brush) {
    auto& fill = page.Append<TRLFillRectObject>();
    fill.BoundsRect = bounds;
    fill.Brush = brush;
    return fill;
}

TRLTextObject& AddText(TRLGraphicSurface& page, const TRLRect& bounds, const QString& text,
                       TRLMetaTextFlags flags) {
    auto& object = page.Append<TRLTextObject>();
    object.BoundsRect = bounds;
    object.Origin = {bounds.Left, bounds.Top};
    object.Text = text;
    object.TextFlags = flags;
    object.Brush = ClearBrush();
    object.Font.Size = 10;
    object.Font.PixelsPerInch = 96;
    object.SetFontName("Arial");
    return object;
}

QImage Render(const TRLGraphicSurface& page, const QRect& target, QSize size = {200, 200}) {
    QImage image = WhiteImage(size.width(), size.height());
    QPainter painter(&image);
    page.PaintTo(painter, target);
    EXPECT_FALSE(painter.hasClipping());
    return image;
}

// An object whose drawing fails, standing for a canvas that raises an error halfway.
class TFailingObject : public TRLGraphicObject {
public:
    explicit TFailingObject(TRLGraphicSurface& surface) : TRLGraphicObject(surface) {}
    TRLObjectKind Kind() const override { return TRLObjectKind::FillRect; }
    void PaintTo(TRLCanvas&, TRLPaintContext& context) const override {
        EXPECT_FALSE(context.ClipStack.empty());
        throw std::runtime_error("canvas failure");
    }
};

} // namespace

TEST(DrawingPage, ScalingRuleAndZeroSizedPages) {
    // A page without a size is drawn at scale 1, only moved to the target's corner.
    TRLGraphicSurface empty;
    AddFill(empty, {0, 0, 5, 5}, SolidBrush(0, 0, 0));
    AddFill(empty, {40, 60, 41, 61}, SolidBrush(0, 0, 0));
    QImage image = Render(empty, QRect(10, 10, 100, 100));
    EXPECT_EQ(InkBounds(image, QRect(0, 0, 30, 30)), QRect(10, 10, 5, 5));
    EXPECT_EQ(CountInk(image, image.rect()), 26);
    EXPECT_TRUE(IsInk(image, 50, 70));

    // 200 x 400 page into 100 x 100: X halves, Y quarters; each coordinate rounded half-even.
    TPage page(200, 400);
    AddFill(page, {20, 20, 40, 40}, SolidBrush(0, 0, 0));
    // 50.5 -> 50, 52.5 -> 52, 25.5 -> 26, 27.5 -> 28.
    AddFill(page, {101, 102, 105, 110}, SolidBrush(0, 0, 0));
    image = Render(page, QRect(10, 20, 100, 100));
    EXPECT_EQ(InkBounds(image, QRect(0, 0, 50, 50)), QRect(20, 25, 10, 5));
    EXPECT_EQ(InkBounds(image, QRect(50, 40, 50, 50)), QRect(60, 46, 2, 2));
}

TEST(DrawingPage, HostilePagesDrawInReasonableTime) {
    // A one-pixel page drawn into 200 x 200: the objects, times 200, lie far beyond the integer
    // range (the scaled coordinates saturate). Drawing must finish and show what lies on the image.
    TPage page(1, 1);
    AddFill(page, {-2'000'000'000, -2'000'000'000, 2'000'000'000, 2'000'000'000},
            SolidBrush(0, 0, 255));
    // Dashed, two pixels wide before scaling: 400 after.
    AddLine(page, {0, 0}, {2'000'000'000, 0}, MetaPen(2, 2, {255, 0, 0}), ClearBrush());
    auto& text = AddText(page, {0, 0, 2'000'000'000, 1}, "uno dos tres", 0);
    text.Alignment = MetaTextAlignmentJustify;
    text.Brush = SolidBrush(0, 255, 0);
    auto& pixel = page.Append<TRLPixelObject>();
    pixel.BoundsRect = {2'000'000'000, 2'000'000'000, 2'000'000'001, 2'000'000'001};
    pixel.Color = {0, 0, 0};
    const QImage image = Render(page, QRect(0, 0, 200, 200));
    // The text's green cell covers the image; nothing beyond the integer range wraps onto it.
    EXPECT_EQ(image.pixel(199, 199), qRgb(0, 255, 0));
    EXPECT_EQ(CountInk(image, image.rect()), 200 * 200);
}

TEST(DrawingPage, RectanglesAndPixelsKeepAtLeastOnePixel) {
    TPage page(1000, 1000);
    // 10 to 10.4: rounds to no width at all.
    Add<TRLRectangleObject>(page, MetaPen(1, 0)).BoundsRect = {100, 100, 104, 300};
    auto& pixel = page.Append<TRLPixelObject>();
    pixel.BoundsRect = {500, 500, 501, 501};
    pixel.Color = {255, 0, 0};
    const QImage image = Render(page, QRect(0, 0, 100, 100));
    EXPECT_EQ(InkBounds(image, QRect(0, 0, 40, 40)), QRect(10, 10, 1, 20));
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 0, 0));
    EXPECT_EQ(CountInk(image, QRect(40, 40, 60, 60)), 1);
}

TEST(DrawingPage, EveryKindDrawsAtItsScaledPlace) {
    // Lines are the zoomed pens' test.
    TPage page(100, 100);
    Add<TRLEllipseObject>(page, MetaPen(1, 1, {0, 0, 255}), SolidBrush(0, 0, 255)).BoundsRect = {
        50, 0, 60, 10};
    Add<TRLPolygonObject>(page, MetaPen(1, 1), SolidBrush(0, 255, 0)).Points = {
        {10, 50}, {40, 50}, {40, 80}, {10, 80}};
    Add<TRLPolylineObject>(page, MetaPen(1, 1)).Points = {
        {60, 50}, {90, 50}, {90, 80}, {60, 80}, {60, 50}};

    const QImage image = Render(page, QRect(0, 0, 200, 200));
    EXPECT_EQ(InkBounds(image, QRect(95, 0, 40, 40)), QRect(100, 0, 20, 20));
    EXPECT_EQ(image.pixel(110, 10), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(50, 130), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(20, 100), qRgb(0, 0, 0));
    // A polyline never fills, whatever brush the canvas had from the object before it.
    EXPECT_EQ(image.pixel(150, 130), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(120, 130), qRgb(0, 0, 0));
}

TEST(DrawingPage, PenWidthsScaleWithTheZoom) {
    TPage page(100, 100);
    AddLine(page, {0, 10}, {80, 10}, MetaPen(2, 2), ClearBrush()); // dash, two pixels wide
    AddLine(page, {0, 50}, {80, 50}, MetaPen(1, 0));               // hairline

    const QImage image = Render(page, QRect(0, 0, 200, 200));
    // Drawn twice as large: a pen 4 wide, so dashes of 48 and gaps of 16.
    EXPECT_EQ(Runs(image, qRgb(0, 0, 0), 20, true), (TRuns{{0, 48}, {64, 48}, {128, 32}}));
    EXPECT_EQ(CountInk(image, QRect(0, 15, 200, 10)), (48 + 48 + 32) * 4);
    // A hairline stays one device pixel.
    EXPECT_EQ(CountInk(image, QRect(0, 90, 200, 20)), 160);
}

// A clipped text's cell is the canvas's and the PDF writer's tests'.
TEST(DrawingPage, TextsThatMayOverflowAreNotClipped) {
    TPage page(200, 100);
    AddText(page, {10, 10, 40, 30}, "WWWWWWWWWWWWWWWWWWWW", 5);
    // Drawn at scale 2: the bounds become (20, 20, 80, 60).
    EXPECT_GT(InkBounds(Render(page, QRect(0, 0, 400, 200), {400, 200})).right(), 200);
}

TEST(DrawingPage, ClipObjectsNest) {
    TPage page(100, 100);
    page.Append<TRLSetClipRectObject>().BoundsRect = {10, 10, 50, 50};
    page.Append<TRLSetClipRectObject>().BoundsRect = {20, 20, 30, 30};
    AddFill(page, {0, 0, 100, 100}, SolidBrush(255, 0, 0));
    page.Append<TRLResetClipRectObject>();
    AddFill(page, {40, 0, 100, 100}, SolidBrush(0, 0, 255));
    page.Append<TRLResetClipRectObject>();
    AddFill(page, {90, 90, 200, 200}, SolidBrush(0, 255, 0));

    // Target (50, 50, 150, 150) in a 200 x 200 image, scale 1.
    const QImage image = Render(page, QRect(50, 50, 100, 100));
    EXPECT_EQ(InkBounds(image, QRect(0, 0, 90, 90)), QRect(70, 70, 10, 10));
    EXPECT_EQ(image.pixel(70, 70), qRgb(255, 0, 0));
    // Back to the outer clip: blue from page x 40 to its clip's right edge at 50.
    EXPECT_EQ(Runs(image, qRgb(0, 0, 255), 65, true), (TRuns{{90, 10}}));
    // Back to the page's own rectangle: green stops at the target's edge.
    EXPECT_EQ(InkBounds(image, QRect(130, 130, 70, 70)), QRect(140, 140, 10, 10));
}

// An image whose painting goes to an engine that only counts the clip changes and the texts.
class TClipCounter : public QImage {
public:
    TClipCounter() : QImage(1000, 1000, QImage::Format_RGB32) {}
    int ClipChanges() const { return engine_.ClipChanges; }
    int Texts() const { return engine_.Texts; }
    QPaintEngine* paintEngine() const override { return &engine_; }

private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& state) override {
            if (state.state() & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled))
                ++ClipChanges;
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF&, const QTextItem&) override { ++Texts; }
        Type type() const override { return User; }
        int ClipChanges = 0;
        int Texts = 0;
    };
    mutable Engine engine_;
};

// Texts inside their rectangles are drawn without a clip, and a band's reset followed by the next
// band's clip is one change: a PDF repeats the clip path at each change, once per text doubling it.
TEST(DrawingPage, ClipsReachTheOutputOnlyWhereTheyCanCut) {
    constexpr int kBands = 10;
    const auto clipChanges = [](int textsPerBand, bool overflowing) {
        TPage page(800, 1000);
        for (int b = 0; b < kBands; ++b) {
            const int top = b * 20;
            // A band's reset and the next band's clip, with nothing drawn between them.
            page.Append<TRLSetClipRectObject>().BoundsRect = {0, 0, 800, 1000};
            page.Append<TRLResetClipRectObject>();
            page.Append<TRLSetClipRectObject>().BoundsRect = {0, top, 800, top + 20};
            for (int i = 0; i < textsPerBand; ++i)
                AddText(page, {i * 20, top, i * 20 + 150, top + 20}, "Núñez 12,50", 4);
            page.Append<TRLResetClipRectObject>();
        }
        if (overflowing)
            AddText(page, {0, 900, 40, 920}, "WWWWWWWWWWWWWWWWWWWW", 4);
        TClipCounter device;
        {
            QPainter painter(&device);
            page.PaintTo(painter, QRect(0, 0, 800, 1000));
        }
        EXPECT_EQ(device.Texts(), kBands * textsPerBand + (overflowing ? 1 : 0));
        return device.ClipChanges();
    };
    const int few = clipChanges(2, false);
    EXPECT_LE(few, 2 * kBands + 2);
    EXPECT_EQ(clipChanges(30, false), few) << "fitting texts add no clip";
    EXPECT_GT(clipChanges(2, true), few) << "a text wider than its rectangle is still cut";
}

// A text is drawn without a clip only while the box around all its glyphs' ink stays inside its
// rectangle: an accent in the middle of a text reaches higher than its neighbours, a descender
// lower; spaces reach nowhere.
TEST(DrawingPage, ATextIsCutWhereAnyGlyphsInkLeavesItsRectangle) {
    const auto changes = [](const QString& text, const TRLRect& rect) {
        TPage page(800, 1000);
        AddText(page, rect, text, 4).Origin = {100, 100};
        TClipCounter device;
        {
            QPainter painter(&device);
            page.PaintTo(painter, QRect(0, 0, 800, 1000));
        }
        return device.ClipChanges();
    };
    const auto cut = [&](const QString& text, const TRLRect& rect) {
        return changes(text, rect) > changes(text, {0, 0, 800, 1000});
    };
    // The tightest edges that leave the text uncut, found by moving each in a pixel at a time.
    const auto edges = [&](const QString& text) {
        TRLRect uncut{0, 0, 800, 1000};
        while (uncut.Left < 200 && !cut(text, {uncut.Left + 1, 0, 800, 1000}))
            ++uncut.Left;
        while (uncut.Top < 200 && !cut(text, {0, uncut.Top + 1, 800, 1000}))
            ++uncut.Top;
        while (uncut.Right > 100 && !cut(text, {0, 0, uncut.Right - 1, 1000}))
            --uncut.Right;
        while (uncut.Bottom > 100 && !cut(text, {0, 0, 800, uncut.Bottom - 1}))
            --uncut.Bottom;
        return uncut;
    };
    const TRLRect plain = edges("aaa");
    EXPECT_GT(plain.Left, 90);
    EXPECT_LT(plain.Right, 160);
    EXPECT_FALSE(cut("aaa", plain));
    EXPECT_LT(edges(QStringLiteral("aÑa")).Top, plain.Top) << "the accent in the middle counts";
    EXPECT_GT(edges("aga").Bottom, plain.Bottom) << "the descender in the middle counts";
    EXPECT_TRUE(cut("aaa", {plain.Left, plain.Top, plain.Left, plain.Bottom}))
        << "a rectangle of no width holds nothing";
    EXPECT_FALSE(cut("      ", {100, 100, 101, 101})) << "spaces have no ink to cut";
}

TEST(DrawingPage, ClipIsRemovedWhenDrawingFails) {
    TPage page(100, 100);
    page.Append<TRLSetClipRectObject>().BoundsRect = {10, 10, 20, 20};
    page.Append<TFailingObject>();
    QImage image = WhiteImage(100, 100);
    QPainter painter(&image);
    EXPECT_THROW(page.PaintTo(painter, QRect(0, 0, 100, 100)), std::runtime_error);
    EXPECT_FALSE(painter.hasClipping());
    EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
}

TEST(DrawingPage, StoredPenModesDrawAsTheirRasterOperation) {
    TPage page(50, 50);
    auto& rectangle = Add<TRLRectangleObject>(page, MetaPen(1, 2, {0x80, 0x40, 0x20}, 15), // xor
                                              SolidBrush(0x0F, 0xF0, 0x33));
    rectangle.BoundsRect = {5, 5, 45, 45};
    QImage original = WhiteImage(50, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x)
            original.setPixel(x, y, qRgb(x * 5, y * 5, 128));
    QImage image = original;
    const auto paint = [&] {
        QPainter painter(&image);
        page.PaintTo(painter, QRect(0, 0, 50, 50));
    };
    paint();
    EXPECT_EQ(image.pixel(5, 5), original.pixel(5, 5) ^ 0x804020u);
    EXPECT_EQ(image.pixel(25, 25), original.pixel(25, 25) ^ 0x0FF033u);
    // An unknown stored mode draws as plain copy.
    rectangle.BoundsRect = {0, 0, 50, 50};
    rectangle.Pen.Mode = 40;
    paint();
    EXPECT_EQ(image.pixel(25, 25), qRgb(0x0F, 0xF0, 0x33));
}

TEST(DrawingPage, PicturesAndDamagedPictureData) {
    QImage picture(95, 10, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 0));
    TPage page(400, 200);
    const QByteArray bitmap = TaggedDataFromImage(picture);
    const QList<QByteArray> damaged{bitmap.left(40), QByteArrayLiteral("JPG") + bitmap.mid(3)};
    const auto add = [&](const TRLRect& bounds, const QByteArray& data, bool parity = false) {
        auto& image = page.Append<TRLImageObject>();
        image.BoundsRect = bounds;
        image.Data = data;
        image.Parity = parity;
    };
    for (const QByteArray& data : damaged)
        add({0, 0, 400, 100}, data);
    add({0, 120, 300, 150}, bitmap, true); // a barcode, kept to whole columns
    add({0, 160, 300, 190}, bitmap);

    const QImage image = Render(page, QRect(0, 0, 400, 200), {400, 200});
    EXPECT_EQ(CountInk(image, QRect(0, 0, 400, 110)), 0);
    EXPECT_EQ(InkBounds(image, QRect(0, 110, 400, 45)), QRect(0, 120, 286, 30));
    EXPECT_EQ(InkBounds(image, QRect(0, 155, 400, 45)), QRect(0, 160, 300, 30));
}
