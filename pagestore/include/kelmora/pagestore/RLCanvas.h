/// @file
/// A drawing canvas with the state model the recorded pages assume (a current pen, brush and
/// font and a pen position, texts placed by the top-left of their cell, rectangles excluding
/// their right and bottom edges), implemented on a QPainter. Screens, images, PDF files and
/// printers all draw stored pages through it.
#pragma once

#include <kelmora/pagestore/RLGraphicTypes.h>
#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/support/RLCore.h>

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace Kelmora {

class TRLGraphicSurface;

/// A paint engine that writes texts as texts, such as the PDF writer, is told by the canvas which
/// characters and glyph places the glyph run it receives next stands for: QPainter hands an engine
/// a glyph run without its characters, and its glyph places only as device coordinates.
class TRLTextRunSink {
public:
    struct Run {
        QRawFont Font;
        QList<quint32> Glyphs;
        /// Each glyph's place from the baseline's start, in the painter's coordinates.
        QList<QPointF> Positions;
        QPointF Baseline;
        /// One character for each glyph.
        QString Text;
    };
    virtual void AnnounceRun(Run run) = 0;
    /// Draws the run at once, as QPainter's drawing of its glyph run would reach the engine, in
    /// the state QPainter last handed over (the canvas brings it up to date first): a page's
    /// hundreds of texts then skip building glyph runs that QPainter only takes apart again.
    virtual void DrawRunNow(const Run& run) = 0;

protected:
    ~TRLTextRunSink() = default;
};

/// What canvases learn of a font's face (RLCanvas.cpp).
struct TRLFaceFacts;

class TRLCanvas {
public:
    /// The canvas resolution is the painter device's logical resolution (96 for a new QImage).
    explicit TRLCanvas(QPainter& painter);
    TRLCanvas(QPainter& painter, int pixelsPerInch);

    int PixelsPerInch() const { return pixelsPerInch_; }

    const TRLPen& Pen() const { return pen_; }
    void SetPen(const TRLPen& pen);
    const TRLBrush& Brush() const { return brush_; }
    void SetBrush(const TRLBrush& brush);
    /// Font sizes are points; the canvas turns them into pixels for its own resolution.
    const TRLFont& Font() const { return font_; }
    void SetFont(const TRLFont& font);
    /// Sets the font a page record describes, named name and scaled down the page by yFactor;
    /// the same record again, as most texts of a page repeat their neighbour's, sets nothing.
    void SetMetaFont(const TRLMetaFont& font, const QString& name, double yFactor);
    TRLPoint PenPos() const { return penPos_; }

    /// The device's whole area in the painter's coordinates: nothing drawn outside it shows.
    TRLRect VisibleArea() const;

    int TextWidth(const QString& text) const;
    /// The width of a blank, which texts are placed by.
    int SpaceWidth() const { return CharAdvance(u' '); }
    int TextHeight(const QString& text) const;

    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    void LineTo(int x, int y);
    void FillRect(const TRLRect& rect);
    void Rectangle(const TRLRect& rect);
    void Ellipse(const TRLRect& rect);
    void Polygon(const TRLPointArray& points);
    void Polyline(const TRLPointArray& points);
    /// Unclipped text; unless the brush is clear, the text's cells are filled behind the glyphs.
    void TextOut(int x, int y, const QString& text);
    /// Text clipped to rect; unless the brush is clear, the whole rect is filled first.
    void TextRect(const TRLRect& rect, int x, int y, const QString& text);
    void StretchDraw(const TRLRect& rect, const QImage& graphic);
    void RemoveClip();
    void IntersectClip(const TRLRect& rect);

private:
    /// Where the glyphs of a text go when it is drawn from the origin, each at the sum of the
    /// measured advances before it; no glyphs when the font lacks a character.
    struct GlyphPlacement {
        QList<quint32> Glyphs;
        QList<QPointF> Positions;
        int Advance = 0;
    };
    /// The placement lasts until the next text is placed.
    const GlyphPlacement& PlaceGlyphs(const QString& text) const;
    /// A character's measured advance in the canvas font, remembered for the Latin-1 range,
    /// which nearly every text stays in.
    int CharAdvance(QChar c) const;
    /// The ink of a glyph of the canvas font from its origin.
    QRectF GlyphInk(quint32 glyph) const;
    bool InkWithin(const GlyphPlacement& placement, const QRect& rect, int x, int y) const;
    void DrawTextAt(int x, int y, const QString& text);
    void DrawGlyphs(int x, int y, const QString& text, const GlyphPlacement& placement);

    QPainter& painter_;
    /// The painter's engine, when it keeps texts as texts.
    TRLTextRunSink* textSink_ = nullptr;
    int pixelsPerInch_;
    TRLPen pen_;
    TRLBrush brush_;
    TRLFont font_;
    /// The page record the canvas font was last set from, while it still is the canvas font.
    struct MetaFontSet {
        TRLMetaFont Font;
        QString Name;
        double YFactor = 0;
    };
    std::optional<MetaFontSet> metaFont_;
    QFont qfont_;
    int ascent_ = 0;
    int textHeight_ = 0;
    /// The pen texts are drawn with, in the canvas font's colour.
    QPen textPen_;
    /// The canvas font's glyphs, for placing each character at its measured advance.
    QRawFont rawFont_;
    /// What is learnt of the canvas font's face, shared by every canvas on every thread that
    /// draws in it: the Latin-1 characters' advances and glyphs and the ink of the low glyph
    /// numbers most texts use.
    std::shared_ptr<TRLFaceFacts> facts_;
    /// The ink of the other glyphs met.
    mutable QHash<quint32, QRectF> glyphInk_;
    /// The text placed last (PlaceGlyphs).
    mutable GlyphPlacement placement_;
    TRLPoint penPos_;

    /// A font the canvas drew in lately, with what was made and measured of it.
    struct KeptFont {
        TRLFont Font;
        QFont QtFont;
        int Ascent = 0;
        int TextHeight = 0;
        QPen TextPen;
        QRawFont Raw;
        std::shared_ptr<TRLFaceFacts> Facts;
        QHash<quint32, QRectF> GlyphInk;
    };
    /// Trades the canvas font, and all that goes with it, for a kept one.
    void SwapFont(KeptFont& kept);
    std::array<KeptFont, 3> keptFonts_;
    size_t nextKept_ = 0;
};

/// The scaling rule and clip state of one page drawing.
struct TRLPaintContext {
    const TRLGraphicSurface* Page = nullptr;
    double XFactor = 1.0;
    double YFactor = 1.0;
    int XOffset = 0;
    int YOffset = 0;
    TRLRect ClipRect;
    std::vector<TRLRect> ClipStack;
    /// The clip the canvas holds. A clip change takes effect when the next object draws, so that
    /// a run of changes (a band's reset followed by the next band's clip) costs the output one.
    TRLRect AppliedClip;
    /// Printers want every scaled rectangle (texts, fills, ellipses, pictures, clips) to keep at
    /// least one device pixel each way; screens draw what the rounding gives.
    bool KeepRectsVisible = false;

    int X(int32_t x) const { return SaturatedAdd(RoundHalfEven(x * XFactor), XOffset); }
    int Y(int32_t y) const { return SaturatedAdd(RoundHalfEven(y * YFactor), YOffset); }
    TRLPoint Point(const TRLPoint& p) const { return {X(p.X), Y(p.Y)}; }
    TRLRect Rect(const TRLRect& r) const {
        TRLRect scaled{X(r.Left), Y(r.Top), X(r.Right), Y(r.Bottom)};
        if (KeepRectsVisible) {
            if (scaled.Right <= scaled.Left)
                scaled.Right = scaled.Left + 1;
            if (scaled.Bottom <= scaled.Top)
                scaled.Bottom = scaled.Top + 1;
        }
        return scaled;
    }
};

/// Canvas routines shared by page drawing and by controls that paint themselves.
void CanvasTextRectEx(TRLCanvas& canvas, const TRLRect& rect, int x, int y, QString text,
                      uint8_t alignment, uint8_t layout, TRLMetaTextFlags textFlags);
void CanvasStretchDraw(TRLCanvas& canvas, TRLRect rect, const QByteArray& data, bool parity);
/// A rectangle as the canvas fills and clips to it: reversed edges swapped, each edge brought
/// within the coordinates the canvas draws at.
TRLRect NormalizedCanvasRect(const TRLRect& rect);
void CanvasSetClipRect(TRLCanvas& canvas, const TRLRect& rect);
void CanvasResetClipRect(TRLCanvas& canvas);
void CanvasLineToEx(TRLCanvas& canvas, int x, int y);
void ScalePenWidth(TRLCanvas& canvas, double factor);
/// The pen as ScalePenWidth scales it, and the width it then draws with on the device: never
/// thinner than a pixel.
TRLPen ScaledPen(TRLPen pen, double factor);
int DevicePenWidth(const TRLPen& pen);
/// Where CanvasTextRectEx starts a text, given the width and height of the text followed by one
/// space and the width of a space alone.
TRLPoint TextRectStart(const TRLRect& rect, int x, int y, int textWidth, int textHeight,
                       int spaceWidth, uint8_t alignment, uint8_t layout);
/// A justified line, or the part of it that can be seen: Skipped is the width left out in front.
struct TRLJustifiedPart {
    QString Text;
    long long Skipped = 0;
};
/// Widens the text's word gaps (blanks with a word on both sides), last gap first and round again,
/// one space at a time while the text and one more space fit in available. Only the part between
/// from and to (pixels from the line's start) is built: characters that end before from or start
/// at or after to are left out.
TRLJustifiedPart JustifyTextPart(const TRLCanvas& canvas, const QString& text, int available,
                                 long long from = std::numeric_limits<long long>::min(),
                                 long long to = std::numeric_limits<int>::max());
/// The rectangle a picture of graphicWidth columns is stretched into so that every column covers
/// the same whole number of device columns (barcodes).
TRLRect ParityRect(TRLRect rect, int graphicWidth);
/// Sets the canvas font from a stored font, its size scaled by yFactor and by the ratio of the
/// font's resolution to the canvas's.
void CanvasSetMetaFont(TRLCanvas& canvas, const TRLMetaFont& font, const QString& name,
                       double yFactor);
/// Sets the canvas pen and brush from stored records.
void CanvasSetMetaPen(TRLCanvas& canvas, const TRLMetaPen& pen);
void CanvasSetMetaBrush(TRLCanvas& canvas, const TRLMetaBrush& brush);

} // namespace Kelmora
