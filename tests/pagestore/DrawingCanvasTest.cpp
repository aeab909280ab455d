// The canvas routines on their own. Raster modes and barcode pictures are checked through whole
// pages (DrawingPage tests), hatched brushes in a PDF read back (PdfWriter tests).
#include <kelmora/pagestore/RLCanvas.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/support/RLTextMetrics.h>
#include <kelmora/support/RLUtils.h>

#include "DrawingTestSupport.h"
#include "TestSupport.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <thread>
#include <vector>

using namespace Kelmora;

using namespace drawtest;

namespace {

TRLPen MakePen(QColor color, TRLPenStyle style, int width, TRLPenMode mode = TRLPenMode::Copy) {
    return {color, mode, style, width};
}

const TRLBrush kClearBrush{Qt::white, TRLBrushStyle::Clear};

// A white image with what draw(canvas) or draw(canvas, painter) puts on it, in Arial 10.
template <typename Draw> QImage Drawn(int width, int height, Draw draw) {
    QImage image = WhiteImage(width, height);
    QPainter painter(&image);
    TRLCanvas canvas(painter);
    if constexpr (std::is_invocable_v<Draw, TRLCanvas&, QPainter&>)
        draw(canvas, painter);
    else
        draw(canvas);
    painter.end();
    return image;
}

void LineEx(TRLCanvas& canvas, int x1, int y1, int x2, int y2) {
    canvas.MoveTo(x1, y1);
    CanvasLineToEx(canvas, x2, y2);
}

// A canvas for measuring only.
struct TMeasuring {
    QImage image = WhiteImage(10, 10);
    QPainter painter{&image};
    TRLCanvas canvas{painter};
};

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Widens the gap before position (1-based, going left past trailing blanks, a word and the
// blanks before it) by one space; from the end again once the start is reached. False when the
// line has no gap.
bool AddOneSpace(QString& text, int& position) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        qsizetype i = std::min<qsizetype>(position, text.size());
        while (i >= 1 && IsBlank(text[i - 1]))
            --i;
        while (i >= 1 && !IsBlank(text[i - 1]))
            --i;
        while (i >= 1 && IsBlank(text[i - 1]))
            --i;
        if (i >= 1) {
            text.insert(i, u' ');
            position = static_cast<int>(i);
            return true;
        }
        position = static_cast<int>(text.size());
    }
    return false;
}

// Justification as one space at a time: widen a gap, measure again, until the text and one
// space no longer fit. JustifyTextPart must give the same text without re-measuring per space.
QString JustifiedOneByOne(const TRLCanvas& canvas, QString text, int available) {
    int position = static_cast<int>(text.size());
    while (canvas.TextWidth(text + u' ') <= available && AddOneSpace(text, position))
        ;
    return text;
}

QString JustifyText(const TRLCanvas& canvas, const QString& text, int available,
                    int visibleWidth = std::numeric_limits<int>::max()) {
    return JustifyTextPart(canvas, text, available, std::numeric_limits<long long>::min(),
                           visibleWidth)
        .Text;
}

} // namespace

TEST(DrawingTextPlacement, StartFollowsAlignmentAndLayout) {
    // Right: the text and its trailing space end at the right edge, moved by half a space.
    EXPECT_EQ(TextRectStart({0, 0, 200, 20}, 0, 0, 50, 16, 6, MetaTextAlignmentRight, 1).X, 153);
    // Centre: (0 + 100 - 41) div 2 = 29, plus half of a 5-pixel space (2).
    EXPECT_EQ(TextRectStart({0, 0, 100, 20}, 0, 0, 41, 16, 5, MetaTextAlignmentCenter, 1).X, 31);
    // Left, justify and unknown values start at the origin plus half a space.
    for (uint8_t alignment : {uint8_t{1}, uint8_t{4}, uint8_t{0}, uint8_t{9}})
        EXPECT_EQ(TextRectStart({0, 0, 100, 20}, 17, 40, 30, 16, 7, alignment, 1).X, 20);
    // Vertical: top (and unknown) keep the origin's Y; bottom and centre use the rectangle.
    EXPECT_EQ(TextRectStart({0, 10, 100, 41}, 0, 12, 30, 16, 6, 1, 7).Y, 12);
    EXPECT_EQ(TextRectStart({0, 10, 100, 41}, 0, 12, 30, 16, 6, 1, MetaTextLayoutBottom).Y, 25);
    EXPECT_EQ(TextRectStart({0, 10, 100, 41}, 0, 12, 30, 16, 6, 1, MetaTextLayoutCenter).Y, 17);
    // Halving truncates toward zero, also left of and above the origin.
    EXPECT_EQ(TextRectStart({-101, -41, 0, 0}, 0, 0, 0, 0, 0, MetaTextAlignmentCenter,
                            MetaTextLayoutCenter),
              (TRLPoint{-50, -20}));
}

TEST(DrawingTextPlacement, CanvasTextRectExDrawsWhereTheStartRuleSays) {
    // Drawn by hand at the start computed from the canvas font's measurements: the same pixels.
    const QString text = "Importe 123,45";
    const TRLRect rect{20, 10, 260, 70};
    // Right alignment uses the text's width and the space's, centred layout its height; with the
    // two swapped the text would land elsewhere.
    const QImage routine = Drawn(300, 80, [&](TRLCanvas& canvas) {
        canvas.SetBrush(kClearBrush);
        CanvasTextRectEx(canvas, rect, 30, 15, text, MetaTextAlignmentRight, MetaTextLayoutCenter,
                         MetaTextFlagNoClipping);
    });
    const QImage manual = Drawn(300, 80, [&](TRLCanvas& canvas) {
        canvas.SetBrush(kClearBrush);
        const TRLPoint start =
            TextRectStart(rect, 30, 15, canvas.TextWidth(text + ' '), canvas.TextHeight(text + ' '),
                          canvas.TextWidth(" "), MetaTextAlignmentRight, MetaTextLayoutCenter);
        canvas.TextOut(start.X, start.Y, text);
    });
    EXPECT_FALSE(InkBounds(routine).isNull());
    EXPECT_EQ(routine, manual);
}

TEST(DrawingTextPlacement, JustifyPutsEverySpaceWhereOneAtATimeWould) {
    TMeasuring m;
    const TRLCanvas& canvas = m.canvas;
    const int space = canvas.TextWidth(" ");
    ASSERT_GT(space, 0);
    const QStringList texts{"a b c",
                            "  leading and trailing  ",
                            "tab\there, line\nfeed\r and  double",
                            "single",
                            QString(),
                            "WWW i WWW i"};
    for (const QString& text : texts) {
        const int plain = canvas.TextWidth(text);
        for (int available = plain - 2 * space; available <= plain + 40 * space + 3; ++available) {
            ASSERT_EQ(JustifyText(canvas, text, available),
                      JustifiedOneByOne(canvas, text, available))
                << text.toStdString() << " in " << available;
        }
    }
}

TEST(DrawingTextPlacement, JustifyingIntoAHugeWidthBuildsOnlyWhatCanBeSeen) {
    TMeasuring m;
    const TRLCanvas& canvas = m.canvas;
    const int space = canvas.TextWidth(" ");
    // Two billion pixels of room, a third of a billion spaces a gap: only what is seen is built.
    const QString text = "a b c";
    const QString seen = JustifyText(canvas, text, 2'000'000'000, 500);
    EXPECT_TRUE(seen.startsWith("a  "));
    EXPECT_EQ(seen.mid(1), QString(seen.size() - 1, u' '));
    EXPECT_GE(canvas.TextWidth(seen), 500);
    EXPECT_LT(canvas.TextWidth(seen), 500 + 4 * canvas.TextHeight(seen) + space);
}

TEST(DrawingTextPlacement, JustifiedTextInAHugeRectangleDrawsWhatANarrowOneShows) {
    // Justified in a rectangle two billion pixels wide, the rest of the line lies beyond the image.
    const auto draw = [](const QString& text, uint8_t alignment) {
        return Drawn(300, 30, [&](TRLCanvas& canvas) {
            canvas.SetBrush({QColor(Qt::yellow), TRLBrushStyle::Solid});
            CanvasTextRectEx(canvas, {10, 5, 2'000'000'000, 25}, 10, 5, text, alignment,
                             MetaTextLayoutTop, 0);
        });
    };
    const QImage justified = draw("uno dos tres cuatro", MetaTextAlignmentJustify);
    EXPECT_EQ(draw("uno", MetaTextAlignmentLeft), justified);
    EXPECT_EQ(justified.pixel(299, 20), qRgb(255, 255, 0)); // the brush fills to the edge
}

TEST(DrawingTextPlacement, JustifiedTextReachesTheRightEdge) {
    const auto inkOf = [](uint8_t alignment) {
        return InkBounds(Drawn(400, 30, [&](TRLCanvas& canvas) {
            canvas.SetBrush(kClearBrush);
            CanvasTextRectEx(canvas, {10, 5, 350, 25}, 10, 5, "uno dos tres", alignment,
                             MetaTextLayoutTop, MetaTextFlagNoClipping);
        }));
    };
    const QRect plain = inkOf(MetaTextAlignmentLeft);
    const QRect wide = inkOf(MetaTextAlignmentJustify);
    EXPECT_EQ(plain.left(), wide.left());
    EXPECT_LT(plain.right(), 200);
    // The gaps are filled up to within a space (plus the half-space indent) of the edge.
    EXPECT_GT(wide.right(), 330);
    EXPECT_LE(wide.right(), 350 + 10);
}

TEST(DrawingTextPlacement, TextOutPlacesTheCellTopLeftAndFillsOnlyTheCells) {
    const QString hola = "Hola";
    TMeasuring m;
    const int width = m.canvas.TextWidth(hola);
    const int height = m.canvas.TextHeight(hola);
    const QImage image = Drawn(200, 80, [&](TRLCanvas& canvas) {
        canvas.SetBrush({QColor(0, 0, 255), TRLBrushStyle::Solid});
        canvas.TextOut(30, 20, hola);
        EXPECT_EQ(canvas.PenPos(), (TRLPoint{30 + width, 20}));
    });
    // The cell's corners show the brush; the pixels just outside it do not.
    for (const QPoint& p : {QPoint(30, 20), QPoint(30 + width - 1, 20 + height - 1)})
        EXPECT_EQ(image.pixel(p), qRgb(0, 0, 255));
    for (const QPoint& p : {QPoint(30 + width, 20), QPoint(29, 20 + height - 1), QPoint(30, 19),
                            QPoint(30, 20 + height)})
        EXPECT_EQ(image.pixel(p), qRgb(255, 255, 255));
}

TEST(DrawingFonts, SizeScalesByFactorAndResolutions) {
    // Record's size and resolution (none counts as 96), canvas resolution, factor, size drawn;
    // halves go to the even neighbour.
    const std::tuple<int32_t, int32_t, int, double, int32_t> cases[] = {
        {10, 96, 600, 6.25, 10}, {5, 96, 96, 0.5, 2},  {7, 96, 96, 0.5, 4},
        {10, 0, 96, 1.0, 10},    {12, 72, 96, 1.0, 9},
    };
    TMeasuring m;
    for (const auto& [size, pixelsPerInch, canvasPixelsPerInch, factor, expected] : cases) {
        TRLCanvas canvas(m.painter, canvasPixelsPerInch);
        TRLMetaFont meta;
        meta.Size = size;
        meta.PixelsPerInch = pixelsPerInch;
        meta.Style = 0xFF;
        CanvasSetMetaFont(canvas, meta, "Arial", factor);
        EXPECT_EQ(canvas.Font().Size, expected) << size << " at " << factor;
        EXPECT_EQ(canvas.Font().Style, fsBold | fsItalic | fsUnderline | fsStrikeOut);
    }
}

TEST(DrawingFonts, PixelHeightFollowsTheCanvasResolution) {
    TMeasuring m;
    TRLCanvas printer(m.painter, 600);
    printer.SetFont(TRLFont()); // made for 96 per inch
    EXPECT_EQ(printer.Font().PixelsPerInch, 600);
    const double ratio = static_cast<double>(printer.TextHeight("X")) / m.canvas.TextHeight("X");
    EXPECT_NEAR(ratio, 600.0 / 96.0, 0.6);
}

// What a canvas learns of a face is shared by every canvas on every thread; a canvas in one size
// or style must still measure and draw as that font alone does, on whichever thread and in
// whichever order the canvases meet it.
TEST(DrawingFonts, CanvasesOnSeveralThreadsDrawEachFaceAsItsOwnFontDoes) {
    std::vector<TRLFont> fonts(4);
    fonts[1].Size = 18;
    fonts[2].Style = fsBold;
    fonts[3].Color = Qt::red;
    const QStringList texts = {QStringLiteral("Íñigo Núñez"),
                               QStringLiteral("Mar del Plata 3838,89"),
                               QStringLiteral("Ωμέγα αβγ")};
    const auto draw = [&](const TRLFont& font, const QString& text) {
        return Drawn(240, 40, [&](TRLCanvas& canvas) {
            canvas.SetFont(font);
            canvas.TextRect({0, 0, 240, 40}, 2, 2, text);
        });
    };
    std::vector<QImage> reference;
    for (const TRLFont& font : fonts) {
        TMeasuring m;
        m.canvas.SetFont(font);
        for (const QString& text : texts) {
            EXPECT_EQ(m.canvas.TextWidth(text), RLTextWidth(ToQFont(font, 96), text))
                << font.Size << " " << text.toStdString();
            reference.push_back(draw(font, text));
        }
    }
    EXPECT_NE(reference[0], reference[3]) << "a size of its own draws larger";
    EXPECT_NE(reference[0], reference[9]) << "the colour is the canvas's own";

    std::vector<std::vector<QImage>> drawn(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < drawn.size(); ++t) {
        threads.emplace_back([&, t] {
            // Each thread meets the fonts in another order.
            for (size_t i = 0; i < fonts.size(); ++i) {
                const size_t f = (i + t) % fonts.size();
                for (int k = 0; k < texts.size(); ++k)
                    drawn[t].push_back(draw(fonts[f], texts[k]));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (size_t t = 0; t < drawn.size(); ++t) {
        for (size_t i = 0; i < fonts.size(); ++i) {
            const size_t f = (i + t) % fonts.size();
            for (int k = 0; k < texts.size(); ++k)
                EXPECT_EQ(drawn[t][i * texts.size() + k], reference[f * texts.size() + k])
                    << "thread " << t << ", font " << f << ", text " << k;
        }
    }
}

// A text in a font tens of thousands of pixels high, which only a damaged or hostile page holds,
// costs what the picture shows of it: the painter's glyph cache once asked for gigabytes to keep
// such a glyph whole. Its outline still fills what it covers.
TEST(DrawingFonts, ATextInAFontTensOfThousandsOfPixelsHighCostsWhatThePictureShows) {
    const auto peakKb = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<long long>(usage.ru_maxrss);
    };
    const long long before = peakKb();
    // Past the cache's bound, but small enough to place: the stem of an I, from a little left of
    // the picture and above it, covers it all.
    TRLFont large;
    large.Size = 1575; // 2,100 pixels at 96 per inch
    const QImage stem = Drawn(64, 48, [&](TRLCanvas& canvas) {
        canvas.SetFont(large);
        canvas.TextOut(-250, -1700, QStringLiteral("I"));
    });
    EXPECT_LT(qGray(stem.pixel(32, 24)), 64) << "the stem's outline fills the picture";
    // 44,833 pixels: the page the fuzzer found, a Greek text in a family no font has, which the
    // toolkit's own font fallback drew.
    QFile file(testsupport::SourceDir() + "/tests/fuzz/seeds/pagerecord/giant-font-text.bin");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TRLGraphicSurface page;
    page.LoadFromBytes(file.readAll());
    QImage picture = WhiteImage(64, 48);
    QPainter painter(&picture);
    page.PaintTo(painter, QRect(0, 0, 64, 48));
    painter.end();
    EXPECT_LT(peakKb() - before, 256 * 1024);
}

TEST(DrawingPens, ScalePenWidthTruncatesAndKeepsThinPens) {
    TMeasuring m;
    const auto scaled = [&](int width, double factor) {
        m.canvas.SetPen(MakePen(Qt::black, TRLPenStyle::Solid, width));
        ScalePenWidth(m.canvas, factor);
        return m.canvas.Pen().Width;
    };
    EXPECT_EQ(scaled(7, 0.5), 3);  // truncated, not rounded to 4
    EXPECT_EQ(scaled(4, 0.1), 1);  // never below one pixel
    EXPECT_EQ(scaled(1, 10.0), 1); // hairlines (0) are the page's zoomed pens
}

// Dashed lines two pixels wide: dash 3 and gap 1, each times 4 x width, so 24 drawn and 8 blank.
TEST(DrawingPens, LinesDrawTheirOwnPattern) {
    constexpr int far = 2'000'000'000;
    const TRLPen pen = MakePen(Qt::black, TRLPenStyle::Dash, 2);
    const TRLBrush red{QColor(Qt::red), TRLBrushStyle::Solid};
    const QRgb black = qRgb(0, 0, 0);
    // The pen is given back and stands at the line's end (unless beyond what a coordinate holds).
    const auto draw = [&](QLine line, const TRLBrush& brush) {
        return Drawn(200, 200, [&](TRLCanvas& canvas) {
            canvas.SetPen(pen);
            canvas.SetBrush(brush);
            LineEx(canvas, line.x1(), line.y1(), line.x2(), line.y2());
            EXPECT_EQ(canvas.Pen(), pen);
            if (line.x1() != -far) {
                EXPECT_EQ(canvas.PenPos(), (TRLPoint{line.x2(), line.y2()}));
            }
        });
    };
    // Two billion pixels of dashes: those on the image are those of a short line.
    EXPECT_EQ(Runs(draw({10, 10, far, 10}, kClearBrush), black, 10, true),
              (TRuns{{10, 24}, {42, 24}, {74, 24}, {106, 24}, {138, 24}, {170, 24}}));
    // Over the whole range the pattern starts at the far end, in phase (2e9 is a whole number of
    // 32-pixel periods); with a brush the gaps show its colour.
    const QImage whole = draw({-far, 40, far, 40}, red);
    EXPECT_EQ(Runs(whole, black, 40, true),
              (TRuns{{0, 24}, {32, 24}, {64, 24}, {96, 24}, {128, 24}, {160, 24}, {192, 8}}));
    EXPECT_EQ(Runs(whole, qRgb(255, 0, 0), 40, true).at(0), std::pair(24, 8));
    // A diagonal over five billion pixels long that only crosses a corner of the image.
    const QImage corner = Drawn(200, 60, [](TRLCanvas& canvas) {
        canvas.SetPen(MakePen(Qt::black, TRLPenStyle::Dash, 2));
        canvas.SetBrush(kClearBrush);
        LineEx(canvas, far, -far + 250, -far, far + 250);
    });
    EXPECT_GT(CountInk(corner, QRect(180, 45, 20, 15)), 0);
}

TEST(DrawingPens, ClippedDashedLinesShowWhatTheWholeLineShows) {
    // Drawn whole on a large image and, moved, on a small one that sees only a window of them.
    const struct {
        QLine line;
        TRLPenStyle style;
        int width;
    } lines[] = {{{3300, 90, -3000, 90}, TRLPenStyle::DashDotDot, 3},
                 {{-1000, -900, 1300, 1250}, TRLPenStyle::Dash, 2},
                 {{1250, -1010, -900, 1190}, TRLPenStyle::DashDot, 4},
                 {{57, -2500, 63, 2600}, TRLPenStyle::Dot, 5}};
    const auto draw = [&](QSize size, QPoint offset) {
        return Drawn(size.width(), size.height(), [&](TRLCanvas& canvas) {
            canvas.SetBrush(kClearBrush);
            for (const auto& l : lines) {
                canvas.SetPen(MakePen(Qt::black, l.style, l.width));
                const QLine moved = l.line.translated(offset);
                LineEx(canvas, moved.x1(), moved.y1(), moved.x2(), moved.y2());
            }
        });
    };
    const QPoint shift(3100, 1100);
    const QImage window = draw({200, 160}, {0, 0});
    EXPECT_GT(CountInk(window, window.rect()), 1000);
    EXPECT_EQ(draw({6500, 2500}, shift).copy(QRect(shift, window.size())), window);
}

TEST(DrawingShapes, RectanglesExcludeRightAndBottomAndOutlineInside) {
    const QImage image = Drawn(100, 60, [](TRLCanvas& canvas) {
        canvas.SetPen(MakePen(Qt::black, TRLPenStyle::Solid, 3));
        canvas.SetBrush(kClearBrush);
        canvas.Rectangle({20, 10, 40, 30});
        canvas.SetPen(MakePen(Qt::red, TRLPenStyle::Solid, 1));
        canvas.SetBrush({QColor(0, 0, 255), TRLBrushStyle::Solid});
        canvas.Rectangle({60, 40, 50, 20}); // reversed corners are put right
    });
    EXPECT_EQ(InkBounds(image, QRect(15, 0, 30, 35)), QRect(20, 10, 20, 20));
    EXPECT_EQ(image.pixel(22, 12), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(23, 13), qRgb(255, 255, 255)); // 3-pixel frame, clear inside
    EXPECT_EQ(image.pixel(37, 27), qRgb(0, 0, 0));
    EXPECT_EQ(InkBounds(image, QRect(45, 15, 55, 45)), QRect(50, 20, 10, 20));
    EXPECT_EQ(image.pixel(59, 39), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(55, 30), qRgb(0, 0, 255));
}

TEST(DrawingClip, ZeroSizeClipSwitchesClippingOff) {
    // The clips set in turn, a fill of the whole image, and the clip reset.
    const auto inked = [](std::initializer_list<TRLRect> clips) {
        return InkBounds(Drawn(60, 60, [&](TRLCanvas& canvas, QPainter& painter) {
            canvas.SetBrush({QColor(0, 0, 0), TRLBrushStyle::Solid});
            for (const TRLRect& clip : clips)
                CanvasSetClipRect(canvas, clip);
            canvas.FillRect({0, 0, 60, 60});
            CanvasResetClipRect(canvas);
            EXPECT_FALSE(painter.hasClipping());
        }));
    };
    EXPECT_EQ(inked({{10, 10, 20, 20}}), QRect(10, 10, 10, 10));
    // Zero height: clipping off, not everything hidden.
    EXPECT_EQ(inked({{10, 10, 20, 20}, {0, 30, 60, 30}}), QRect(0, 0, 60, 60));
}

// Whole columns of a barcode's picture drawn on a page are the DrawingPage tests'.
TEST(DrawingPictures, ParityRectKeepsWholeColumns) {
    EXPECT_EQ(ParityRect({0, 0, 50, 5}, 95), (TRLRect{0, 0, 1, 5}));
    EXPECT_EQ(ParityRect({0, 0, 50, 5}, 0), (TRLRect{0, 0, 50, 5}));
}
