#include <kelmora/pagestore/RLCanvas.h>

#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/support/RLTextMetrics.h>
#include <kelmora/support/RLUtils.h>

#include <QGlyphRun>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygon>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <limits>
#include <mutex>

namespace Kelmora {

// What is learnt of a font's face at one resolution, once for the whole process: each page of a
// run draws on a canvas of its own, and every one of them used to look up the glyph, advance and
// ink of each character of its fonts again. Known values never change, so they are read without
// the lock; whoever learns one first writes it.
struct TRLFaceFacts {
    static constexpr int kUnknown = std::numeric_limits<int>::min();
    static constexpr quint32 kInkByNumber = 512;

    TRLFaceFacts() {
        for (std::atomic<int>& advance : LatinAdvances)
            advance.store(kUnknown, std::memory_order_relaxed);
        for (std::atomic<qint64>& glyph : LatinGlyphs)
            glyph.store(-1, std::memory_order_relaxed);
        for (std::atomic<bool>& known : InkKnown)
            known.store(false, std::memory_order_relaxed);
    }

    /// Each Latin-1 character's advance and glyph (-1 before it is known, 0 for none).
    std::array<std::atomic<int>, 256> LatinAdvances;
    std::array<std::atomic<qint64>, 256> LatinGlyphs;
    /// The ink of the low glyph numbers most texts use, once InkKnown says so.
    std::mutex Mutex;
    std::array<QRectF, kInkByNumber> Ink;
    std::array<std::atomic<bool>, kInkByNumber> InkKnown;
};

namespace {

constexpr int kDefaultPixelsPerInch = 96;

// The facts of font's face, shared with every canvas that drew in it at the same resolution; the
// colour has no part in them.
std::shared_ptr<TRLFaceFacts> FactsOf(const TRLFont& font) {
    static std::mutex mutex;
    static std::vector<std::pair<TRLFont, std::shared_ptr<TRLFaceFacts>>> known;
    TRLFont face = font;
    face.Color = Qt::black;
    const std::lock_guard lock(mutex);
    for (const auto& [kept, facts] : known) {
        if (kept == face)
            return facts;
    }
    // Reports use a handful of fonts; a runaway caller must not grow this for ever. The canvases
    // keep what they hold.
    if (known.size() >= 64)
        known.clear();
    return known.emplace_back(face, std::make_shared<TRLFaceFacts>()).second;
}

// Coordinates of a damaged or hugely scaled page can lie anywhere in the 32-bit range, where a
// rectangle's width no longer fits in an integer. No device is anywhere near this far across,
// so pulling such edges in to it changes nothing on the device.
constexpr int32_t kFarAway = 1 << 29;

// Past this many pixels a text's glyphs are not left to the painter's glyph cache, which may keep
// each glyph as a picture of its size: a text in a font tens of thousands of pixels high, which
// only a damaged or hostile page holds, asked it for gigabytes through the toolkit's own font
// fallback. Such glyphs are filled as their outlines, which costs what the device shows of them;
// the toolkit draws most glyphs of that size as outlines anyway. The PDF engine keeps texts as
// texts and refuses fonts too large to make.
constexpr int kLargestCachedGlyphPixels = 2048;

int32_t NotTooFar(int32_t v) {
    return std::clamp(v, -kFarAway, kFarAway);
}

QRect ToQRect(const TRLRect& r) {
    const int32_t left = NotTooFar(r.Left);
    const int32_t top = NotTooFar(r.Top);
    return QRect(left, top, NotTooFar(r.Right) - left, NotTooFar(r.Bottom) - top);
}

QPolygon ToQPolygon(const TRLPointArray& points) {
    QPolygon polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const TRLPoint& p : points) {
        polygon.append(QPoint(p.X, p.Y));
    }
    return polygon;
}

Qt::BrushStyle ToQtBrushStyle(TRLBrushStyle style) {
    // In the order of TRLBrushStyle.
    constexpr Qt::BrushStyle styles[] = {Qt::SolidPattern, Qt::NoBrush,         Qt::HorPattern,
                                         Qt::VerPattern,   Qt::FDiagPattern,    Qt::BDiagPattern,
                                         Qt::CrossPattern, Qt::DiagCrossPattern};
    static_assert(std::size(styles) == static_cast<size_t>(TRLBrushStyle::DiagCross) + 1);
    const auto index = static_cast<size_t>(style);
    return index < std::size(styles) ? styles[index] : Qt::SolidPattern;
}

// How one pen raster mode is carried out: whether anything is drawn at all, the composition
// mode, and for the black and white modes the colour that replaces pen and brush colours.
struct RasterMode {
    bool Draws = true;
    QPainter::CompositionMode Mode = QPainter::CompositionMode_SourceOver;
    bool ForceColor = false;
    QColor Color;
};

RasterMode ToRasterMode(TRLPenMode mode, bool rasterOpsAvailable) {
    RasterMode result;
    switch (mode) {
    case TRLPenMode::Black:
        result.ForceColor = true;
        result.Color = Qt::black;
        return result;
    case TRLPenMode::White:
        result.ForceColor = true;
        result.Color = Qt::white;
        return result;
    case TRLPenMode::Nop:
        result.Draws = false;
        return result;
    case TRLPenMode::Copy:
        return result;
    default:
        break;
    }
    // Vector devices (PDF, printers) have no raster operations; they draw those modes as copy.
    if (!rasterOpsAvailable) {
        return result;
    }
    switch (mode) {
    case TRLPenMode::Not:
        result.Mode = QPainter::RasterOp_NotDestination;
        break;
    case TRLPenMode::NotCopy:
        result.Mode = QPainter::RasterOp_NotSource;
        break;
    case TRLPenMode::MergePenNot:
        result.Mode = QPainter::RasterOp_SourceOrNotDestination;
        break;
    case TRLPenMode::MaskPenNot:
        result.Mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case TRLPenMode::MergeNotPen:
        result.Mode = QPainter::RasterOp_NotSourceOrDestination;
        break;
    case TRLPenMode::MaskNotPen:
        result.Mode = QPainter::RasterOp_NotSourceAndDestination;
        break;
    case TRLPenMode::Merge:
        result.Mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case TRLPenMode::NotMerge:
        result.Mode = QPainter::RasterOp_NotSourceAndNotDestination;
        break;
    case TRLPenMode::Mask:
        result.Mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case TRLPenMode::NotMask:
        result.Mode = QPainter::RasterOp_NotSourceOrNotDestination;
        break;
    case TRLPenMode::Xor:
        result.Mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case TRLPenMode::NotXor:
        result.Mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    default:
        break;
    }
    return result;
}

bool HasRasterOps(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    return engine != nullptr && engine->hasFeature(QPaintEngine::RasterOpModes);
}

// Thin pens keep the old platform's cosmetic dash patterns, in device pixels; wide styled pens
// draw solid here (CanvasLineToEx draws their dashes itself).
QVector<qreal> ThinDashPattern(TRLPenStyle style) {
    switch (style) {
    case TRLPenStyle::Dash:
        return {18, 6};
    case TRLPenStyle::Dot:
        return {3, 3};
    case TRLPenStyle::DashDot:
        return {9, 6, 3, 6};
    case TRLPenStyle::DashDotDot:
        return {9, 3, 3, 3, 3, 3};
    default:
        return {};
    }
}

// Sets the painter up for one pen-and-brush drawing call. Returns whether the pen's raster mode
// draws at all and the colour the outline takes (black and white modes replace it).
struct PenSetup {
    bool Draws = true;
    QColor PenColor;
};

PenSetup SetUpPen(QPainter& painter, const TRLPen& pen, const TRLBrush* brush) {
    const RasterMode raster = ToRasterMode(pen.Mode, HasRasterOps(painter));
    painter.setCompositionMode(raster.Mode);
    const QColor penColor = raster.ForceColor ? raster.Color : pen.Color;
    if (pen.Style == TRLPenStyle::Clear) {
        painter.setPen(Qt::NoPen);
    } else {
        QPen qpen(penColor, DevicePenWidth(pen), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        if (pen.Width <= 1) {
            const QVector<qreal> dashes = ThinDashPattern(pen.Style);
            if (!dashes.isEmpty()) {
                qpen.setDashPattern(dashes);
            }
        }
        painter.setPen(qpen);
    }
    if (brush == nullptr || brush->Style == TRLBrushStyle::Clear) {
        painter.setBrush(Qt::NoBrush);
    } else {
        const QColor brushColor = raster.ForceColor ? raster.Color : brush->Color;
        painter.setBrush(QBrush(brushColor, ToQtBrushStyle(brush->Style)));
    }
    return {raster.Draws, penColor};
}

// Puts the painter back to plain copying without pen or brush when the scope ends, so that
// whatever is drawn afterwards is not affected by a raster mode.
auto PlainPainterAfterwards(QPainter& painter) {
    return qScopeGuard([&painter] {
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::NoBrush);
    });
}

} // namespace

TRLRect NormalizedCanvasRect(const TRLRect& rect) {
    // Reversed edges are swapped, as the drawing calls of the old platform did before drawing.
    const TRLRect r{NotTooFar(rect.Left), NotTooFar(rect.Top), NotTooFar(rect.Right),
                    NotTooFar(rect.Bottom)};
    return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
            std::max(r.Top, r.Bottom)};
}

// --- TRLCanvas -----------------------------------------------------------------------------------

TRLCanvas::TRLCanvas(QPainter& painter)
    : TRLCanvas(painter, painter.device() != nullptr ? painter.device()->logicalDpiY()
                                                     : kDefaultPixelsPerInch) {}

TRLCanvas::TRLCanvas(QPainter& painter, int pixelsPerInch)
    : painter_(painter), textSink_(dynamic_cast<TRLTextRunSink*>(painter.paintEngine())),
      pixelsPerInch_(pixelsPerInch > 0 ? pixelsPerInch : kDefaultPixelsPerInch) {
    SetFont(TRLFont());
}

void TRLCanvas::SetPen(const TRLPen& pen) {
    pen_ = pen;
}

void TRLCanvas::SetBrush(const TRLBrush& brush) {
    brush_ = brush;
}

void TRLCanvas::SetMetaFont(const TRLMetaFont& font, const QString& name, double yFactor) {
    if (metaFont_ && metaFont_->Font == font && metaFont_->YFactor == yFactor &&
        metaFont_->Name == name)
        return;
    const int sourcePpi = font.PixelsPerInch != 0 ? font.PixelsPerInch : kDefaultPixelsPerInch;
    TRLFont result;
    result.Name = name;
    result.Size = RoundHalfEven(font.Size * yFactor * sourcePpi / pixelsPerInch_);
    result.Style = font.Style & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
    result.Color = font.Color.ToColor();
    result.Charset = font.Charset;
    result.Pitch = MetaToFontPitch(font.Pitch);
    result.PixelsPerInch = pixelsPerInch_;
    SetFont(result);
    metaFont_ = MetaFontSet{font, name, yFactor};
}

void TRLCanvas::SetFont(const TRLFont& font) {
    metaFont_.reset();
    // Most texts of a page share a font; making its raw font again costs more than drawing, and
    // even copying the wanted one costs more than comparing it. The canvas font always belongs to
    // the canvas's own resolution.
    if (rawFont_.isValid() && font.SameFaceAs(font_))
        return;
    TRLFont wanted = font;
    wanted.PixelsPerInch = pixelsPerInch_;
    // The others take turns among a few (a title's, the headings', the rows'): the last ones are
    // kept, with what was measured of them.
    for (KeptFont& kept : keptFonts_) {
        if (kept.Raw.isValid() && kept.Font == wanted) {
            SwapFont(kept);
            return;
        }
    }
    if (rawFont_.isValid()) {
        SwapFont(keptFonts_[nextKept_]);
        nextKept_ = (nextKept_ + 1) % keptFonts_.size();
    }
    font_ = wanted;
    facts_ = FactsOf(font_);
    glyphInk_.clear();
    // The same font the page measured its texts with, made for this canvas's resolution.
    qfont_ = ToQFont(font_, pixelsPerInch_);
    qfont_.setFixedPitch(font_.Pitch == TRLFontPitch::Fixed);
    ascent_ = RLFontAscent(qfont_);
    textHeight_ = RLTextHeight(qfont_);
    textPen_ = QPen(font_.Color);
    rawFont_ = QRawFont::fromFont(qfont_);
}

void TRLCanvas::SwapFont(KeptFont& kept) {
    std::swap(font_, kept.Font);
    std::swap(qfont_, kept.QtFont);
    std::swap(ascent_, kept.Ascent);
    std::swap(textHeight_, kept.TextHeight);
    std::swap(textPen_, kept.TextPen);
    std::swap(rawFont_, kept.Raw);
    std::swap(facts_, kept.Facts);
    std::swap(glyphInk_, kept.GlyphInk);
}

TRLRect TRLCanvas::VisibleArea() const {
    const TRLRect everywhere{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    const QPaintDevice* device = painter_.device();
    if (device == nullptr) {
        return everywhere;
    }
    bool invertible = false;
    const QTransform toLogical = painter_.deviceTransform().inverted(&invertible);
    if (!invertible) {
        return everywhere;
    }
    const QRectF area = toLogical.mapRect(QRectF(0, 0, device->width(), device->height()));
    return {RoundHalfEven(std::floor(area.left())), RoundHalfEven(std::floor(area.top())),
            RoundHalfEven(std::ceil(area.right())), RoundHalfEven(std::ceil(area.bottom()))};
}

int TRLCanvas::CharAdvance(QChar c) const {
    if (c.unicode() >= facts_->LatinAdvances.size()) {
        return RLTextWidth(qfont_, QString(c));
    }
    std::atomic<int>& known = facts_->LatinAdvances[c.unicode()];
    int advance = known.load(std::memory_order_relaxed);
    if (advance == TRLFaceFacts::kUnknown) {
        advance = RLTextWidth(qfont_, QString(c));
        known.store(advance, std::memory_order_relaxed);
    }
    return advance;
}

QRectF TRLCanvas::GlyphInk(quint32 glyph) const {
    // Asked for every glyph of every text: a low number is found at its place, not hashed.
    if (glyph < TRLFaceFacts::kInkByNumber) {
        TRLFaceFacts& facts = *facts_;
        if (facts.InkKnown[glyph].load(std::memory_order_acquire)) {
            return facts.Ink[glyph];
        }
        const QRectF ink = rawFont_.boundingRect(glyph);
        const std::lock_guard lock(facts.Mutex);
        if (!facts.InkKnown[glyph].load(std::memory_order_relaxed)) {
            facts.Ink[glyph] = ink;
            facts.InkKnown[glyph].store(true, std::memory_order_release);
        }
        return ink;
    }
    auto found = glyphInk_.constFind(glyph);
    if (found == glyphInk_.cend()) {
        found = glyphInk_.insert(glyph, rawFont_.boundingRect(glyph));
    }
    return *found;
}

int TRLCanvas::TextWidth(const QString& text) const {
    // A width is the sum of its characters' advances, so a Latin-1 text is summed from the
    // remembered ones; any other goes to the shared measure, which knows surrogate pairs.
    long long width = 0;
    for (const QChar c : text) {
        if (c.unicode() >= facts_->LatinAdvances.size()) {
            return RLTextWidth(qfont_, text);
        }
        width += CharAdvance(c);
    }
    return static_cast<int>(std::clamp<long long>(width, INT32_MIN, INT32_MAX));
}

int TRLCanvas::TextHeight(const QString& /*text*/) const {
    return textHeight_;
}

void TRLCanvas::LineTo(int x, int y) {
    const auto plain = PlainPainterAfterwards(painter_);
    const PenSetup setup = SetUpPen(painter_, pen_, nullptr);
    if (setup.Draws) {
        painter_.drawLine(QPoint(penPos_.X, penPos_.Y), QPoint(x, y));
    }
    penPos_ = {x, y};
}

void TRLCanvas::FillRect(const TRLRect& rect) {
    if (brush_.Style == TRLBrushStyle::Clear) {
        return;
    }
    const QRect r = ToQRect(NormalizedCanvasRect(rect));
    if (r.isEmpty()) {
        return;
    }
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.fillRect(r, QBrush(brush_.Color, ToQtBrushStyle(brush_.Style)));
}

void TRLCanvas::Rectangle(const TRLRect& rect) {
    const TRLRect r = NormalizedCanvasRect(rect);
    const int width = r.Right - r.Left;
    const int height = r.Bottom - r.Top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const auto plain = PlainPainterAfterwards(painter_);
    const PenSetup setup = SetUpPen(painter_, pen_, &brush_);
    if (!setup.Draws) {
        return;
    }
    const bool outlined = pen_.Style != TRLPenStyle::Clear;
    const bool filled = brush_.Style != TRLBrushStyle::Clear;
    const QVector<qreal> dashes = pen_.Width <= 1 ? ThinDashPattern(pen_.Style) : QVector<qreal>{};
    if (outlined && !dashes.isEmpty()) {
        // A dotted outline: Qt's own stroker keeps the pattern running round the corners.
        painter_.drawRect(QRect(r.Left, r.Top, width - 1, height - 1));
        return;
    }
    // The outline lies inside the rectangle, which excludes its right and bottom edges; each
    // pixel is painted once so that raster modes such as XOR stay reversible.
    const int pw =
        outlined ? std::min({DevicePenWidth(pen_), (width + 1) / 2, (height + 1) / 2}) : 0;
    const QBrush fill = painter_.brush();
    if (filled && width > 2 * pw && height > 2 * pw) {
        painter_.fillRect(QRect(r.Left + pw, r.Top + pw, width - 2 * pw, height - 2 * pw), fill);
    }
    if (pw > 0) {
        const QColor color = setup.PenColor;
        painter_.fillRect(QRect(r.Left, r.Top, width, pw), color);
        painter_.fillRect(QRect(r.Left, r.Bottom - pw, width, pw), color);
        if (height > 2 * pw) {
            painter_.fillRect(QRect(r.Left, r.Top + pw, pw, height - 2 * pw), color);
            painter_.fillRect(QRect(r.Right - pw, r.Top + pw, pw, height - 2 * pw), color);
        }
    }
}

void TRLCanvas::Ellipse(const TRLRect& rect) {
    const TRLRect r = NormalizedCanvasRect(rect);
    if (r.Right - r.Left <= 0 || r.Bottom - r.Top <= 0) {
        return;
    }
    const auto plain = PlainPainterAfterwards(painter_);
    const PenSetup setup = SetUpPen(painter_, pen_, &brush_);
    if (setup.Draws) {
        // Qt's ellipse covers one pixel more than its rectangle's size in each direction.
        painter_.drawEllipse(QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1));
    }
}

void TRLCanvas::Polygon(const TRLPointArray& points) {
    if (points.empty()) {
        return;
    }
    const auto plain = PlainPainterAfterwards(painter_);
    const PenSetup setup = SetUpPen(painter_, pen_, &brush_);
    if (setup.Draws) {
        painter_.drawPolygon(ToQPolygon(points), Qt::OddEvenFill);
    }
}

void TRLCanvas::Polyline(const TRLPointArray& points) {
    if (points.size() < 2) {
        return;
    }
    const auto plain = PlainPainterAfterwards(painter_);
    const PenSetup setup = SetUpPen(painter_, pen_, nullptr);
    if (setup.Draws) {
        painter_.drawPolyline(ToQPolygon(points));
    }
}

const TRLCanvas::GlyphPlacement& TRLCanvas::PlaceGlyphs(const QString& text) const {
    // The canvas's own lists, kept from one text to the next: a page places hundreds of texts,
    // and making two lists for each cost more than placing it.
    GlyphPlacement& placement = placement_;
    placement.Glyphs.clear();
    placement.Positions.clear();
    placement.Advance = 0;
    if (!rawFont_.isValid()) {
        return placement;
    }
    // A Latin-1 character is always the same glyph of a font: its texts, most of a report's,
    // are looked up from what is remembered instead of asking the font character by character.
    QList<quint32>& glyphs = placement.Glyphs;
    const qsizetype length = text.size();
    const QChar* characters = text.constData();
    glyphs.resize(length);
    quint32* glyph = glyphs.data();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = characters[i].unicode();
        if (c >= facts_->LatinGlyphs.size()) {
            glyphs = rawFont_.glyphIndexesForString(text);
            break;
        }
        std::atomic<qint64>& known = facts_->LatinGlyphs[c];
        qint64 number = known.load(std::memory_order_relaxed);
        if (number < 0) {
            const QList<quint32> found = rawFont_.glyphIndexesForString(QString(QChar(c)));
            number = found.size() == 1 ? found.front() : 0;
            known.store(number, std::memory_order_relaxed);
        }
        glyph[i] = static_cast<quint32>(number);
    }
    // Characters the font lacks (or surrogate pairs) go through Qt's own font fallback.
    if (glyphs.size() != length || glyphs.contains(0u)) {
        glyphs.clear();
        return placement;
    }
    placement.Positions.resize(length);
    QPointF* position = placement.Positions.data();
    int advance = 0;
    for (qsizetype i = 0; i < length; ++i) {
        position[i] = QPointF(advance, 0);
        advance += CharAdvance(characters[i]);
    }
    placement.Advance = advance;
    return placement;
}

// Whether the ink of the placed glyphs, drawn from (x, y), lies within rect: a clip to rect would
// then cut nothing. Underlines and struck-out lines are not measured, and count as outside.
bool TRLCanvas::InkWithin(const GlyphPlacement& placement, const QRect& rect, int x, int y) const {
    if (placement.Glyphs.isEmpty() || qfont_.underline() || qfont_.strikeOut()) {
        return false;
    }
    // The glyphs' inks lie within the rectangle when the box around them all does: one test of
    // that box instead of one of each glyph, with each edge reckoned as a glyph's own test would.
    const QRectF area(rect);
    const QPointF baseline(x, y + ascent_);
    double left = std::numeric_limits<double>::infinity();
    double top = left;
    double right = -left;
    double bottom = -left;
    for (qsizetype i = 0; i < placement.Glyphs.size(); ++i) {
        const QRectF ink = GlyphInk(placement.Glyphs[i]);
        if (ink.isEmpty()) {
            continue;
        }
        const QPointF at = baseline + placement.Positions[i];
        const double inkLeft = ink.x() + at.x();
        const double inkRight = inkLeft + ink.width();
        const double inkTop = ink.y() + at.y();
        const double inkBottom = inkTop + ink.height();
        if (inkLeft == inkRight || inkTop == inkBottom) {
            return false; // so far off that the ink has no size left: never within
        }
        left = std::min(left, inkLeft);
        right = std::max(right, inkRight);
        top = std::min(top, inkTop);
        bottom = std::max(bottom, inkBottom);
    }
    if (left > right) {
        return true; // nothing with ink
    }
    // The area's edges as QRectF::contains takes them: one of no width or height holds nothing.
    const double areaRight = area.x() + area.width();
    const double areaBottom = area.y() + area.height();
    if (area.x() == areaRight || area.y() == areaBottom) {
        return false;
    }
    return left >= std::min(area.x(), areaRight) && right <= std::max(area.x(), areaRight) &&
           top >= std::min(area.y(), areaBottom) && bottom <= std::max(area.y(), areaBottom);
}

void TRLCanvas::DrawTextAt(int x, int y, const QString& text) {
    DrawGlyphs(x, y, text, PlaceGlyphs(text));
}

void TRLCanvas::DrawGlyphs(int x, int y, const QString& text, const GlyphPlacement& placement) {
    if (text.isEmpty()) {
        return;
    }
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The pen is made once and left set: a page's texts follow one another in runs, and each
    // change of pen costs the painter's engine a change of state. Whatever draws next with a pen
    // sets its own (SetUpPen); fills and pictures take none.
    painter_.setPen(textPen_);
    const QPointF baseline(x, y + ascent_);
    if (textSink_ == nullptr && qfont_.pixelSize() > kLargestCachedGlyphPixels) {
        QPainterPath outline;
        if (placement.Glyphs.isEmpty()) {
            outline.addText(baseline, qfont_, text);
        } else {
            for (qsizetype i = 0; i < placement.Glyphs.size(); ++i) {
                outline.addPath(rawFont_.pathForGlyph(placement.Glyphs[i])
                                    .translated(baseline + placement.Positions[i]));
            }
        }
        painter_.fillPath(outline, textPen_.color());
        return;
    }
    if (placement.Glyphs.isEmpty()) {
        painter_.setFont(qfont_);
        painter_.drawText(baseline, text);
        return;
    }
    // Each glyph goes where the sum of the measured whole-pixel advances puts it, so a text ends
    // exactly where its measured width says: right-aligned and justified lines meet their edge
    // instead of drifting by the fractions that unhinted advances carry.
    if (textSink_ != nullptr && !qfont_.underline() && !qfont_.strikeOut()) {
        // Lines under or through a text are QPainter's to draw; everything else the engine
        // draws from the run itself, in the pen, transform and clip set above.
        if (QPaintEngine* engine = painter_.paintEngine()) {
            engine->syncState();
            textSink_->DrawRunNow(
                {rawFont_, placement.Glyphs, placement.Positions, baseline, text});
            return;
        }
    }
    QGlyphRun run;
    run.setRawFont(rawFont_);
    run.setGlyphIndexes(placement.Glyphs);
    run.setPositions(placement.Positions);
    run.setUnderline(qfont_.underline());
    run.setStrikeOut(qfont_.strikeOut());
    run.setBoundingRect(QRectF(0, -ascent_, placement.Advance, textHeight_));
    if (textSink_ != nullptr) {
        textSink_->AnnounceRun({rawFont_, placement.Glyphs, placement.Positions, baseline, text});
    }
    painter_.drawGlyphRun(baseline, run);
}

void TRLCanvas::TextOut(int x, int y, const QString& text) {
    // A stored origin may lie anywhere; from far away nothing shows, and nothing overflows.
    x = NotTooFar(x);
    y = NotTooFar(y);
    const int width = NotTooFar(TextWidth(text));
    if (brush_.Style != TRLBrushStyle::Clear && width > 0) {
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter_.fillRect(QRect(x, y, width, TextHeight(text)), brush_.Color);
    }
    DrawTextAt(x, y, text);
    penPos_ = {x + width, y};
}

void TRLCanvas::TextRect(const TRLRect& rect, int x, int y, const QString& text) {
    x = NotTooFar(x);
    y = NotTooFar(y);
    const QRect r = ToQRect(NormalizedCanvasRect(rect));
    if (brush_.Style != TRLBrushStyle::Clear && !r.isEmpty()) {
        painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter_.fillRect(r, brush_.Color);
    }
    // A text that stays inside its rectangle is drawn without the clip, which costs a PDF the
    // whole clip path again for every text.
    const GlyphPlacement& placement = PlaceGlyphs(text);
    if (text.isEmpty() || InkWithin(placement, r, x, y)) {
        DrawGlyphs(x, y, text, placement);
        return;
    }
    painter_.save();
    painter_.setClipRect(r, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    DrawGlyphs(x, y, text, placement);
    painter_.restore();
}

void TRLCanvas::StretchDraw(const TRLRect& rect, const QImage& graphic) {
    if (graphic.isNull()) {
        return;
    }
    // A stored rectangle may span more than an int holds.
    const long long width = static_cast<long long>(rect.Right) - rect.Left;
    const long long height = static_cast<long long>(rect.Bottom) - rect.Top;
    if (width == 0 || height == 0) {
        return;
    }
    // Reversed edges mirror the picture, as stretching onto a reversed rectangle always did.
    const QImage source =
        (width < 0 || height < 0) ? graphic.mirrored(width < 0, height < 0) : graphic;
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.drawImage(ToQRect(NormalizedCanvasRect(rect)), source);
}

void TRLCanvas::RemoveClip() {
    painter_.setClipping(false);
}

void TRLCanvas::IntersectClip(const TRLRect& rect) {
    QRect r = ToQRect(rect);
    if (r.width() < 0 || r.height() < 0) {
        r = QRect();
    }
    painter_.setClipRect(r, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

// --- Canvas routines -----------------------------------------------------------------------------

TRLPoint TextRectStart(const TRLRect& rect, int x, int y, int textWidth, int textHeight,
                       int spaceWidth, uint8_t alignment, uint8_t layout) {
    // Worked out wide and then held to the int range: a stored rectangle may lie anywhere.
    const long long halfSpace = spaceWidth / 2;
    long long startX = 0;
    long long startY = 0;
    switch (alignment) {
    case MetaTextAlignmentRight:
        startX = static_cast<long long>(rect.Right) - textWidth + halfSpace;
        break;
    case MetaTextAlignmentCenter:
        startX = (static_cast<long long>(rect.Left) + rect.Right - textWidth) / 2 + halfSpace;
        break;
    default:
        startX = x + halfSpace;
        break;
    }
    switch (layout) {
    case MetaTextLayoutBottom:
        startY = static_cast<long long>(rect.Bottom) - textHeight;
        break;
    case MetaTextLayoutCenter:
        startY = (static_cast<long long>(rect.Top) + rect.Bottom - textHeight) / 2;
        break;
    default:
        startY = y;
        break;
    }
    TRLPoint start;
    start.X = static_cast<int32_t>(std::clamp<long long>(startX, INT32_MIN, INT32_MAX));
    start.Y = static_cast<int32_t>(std::clamp<long long>(startY, INT32_MIN, INT32_MAX));
    return start;
}

namespace {

bool IsJustifyBlank(QChar c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

} // namespace

// Widening one gap at a time and measuring the whole line again after each space takes time in
// the square of the spaces added, and a line justified into a rectangle billions of pixels wide
// gets hundreds of millions of them; here they are counted once and only those that can be seen
// are made.
TRLJustifiedPart JustifyTextPart(const TRLCanvas& canvas, const QString& text, int available,
                                 long long from, long long to) {
    TRLJustifiedPart part;
    const long long space = canvas.SpaceWidth();
    const long long width = canvas.TextWidth(text + u' ');
    // The gaps: blanks with a word on both sides. Each gap's spaces go right after the word
    // before it.
    std::vector<qsizetype> gaps;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (IsJustifyBlank(text[i]) && !IsJustifyBlank(text[i - 1])) {
            qsizetype next = i;
            while (next < text.size() && IsJustifyBlank(text[next])) {
                ++next;
            }
            if (next < text.size()) {
                gaps.push_back(i);
            }
        }
    }
    // One space is added while the text and one more space still fit, so the count is known at
    // once; the spaces go round the gaps from the last to the first.
    long long spaces = 0;
    if (!gaps.empty() && space > 0 && width <= available) {
        spaces = (available - width) / space + 1;
    }
    const long long gapCount = static_cast<long long>(gaps.size());
    const long long each = gapCount > 0 ? spaces / gapCount : 0;
    const long long extra = gapCount > 0 ? spaces % gapCount : 0;

    long long x = 0;
    size_t gap = 0;
    for (qsizetype i = 0; i < text.size() && x < to; ++i) {
        if (gap < gaps.size() && gaps[gap] == i) {
            long long count = each + (static_cast<long long>(gap) >= gapCount - extra ? 1 : 0);
            ++gap;
            if (count == 0) {
                part.Text += text[i];
                x += canvas.TextWidth(QString(text[i]));
                continue;
            }
            // Spaces that end before from are dropped with everything in front of them.
            if (x < from) {
                const long long dropped = std::min(count, (from - x) / space);
                if (dropped > 0) {
                    part.Text.clear();
                    x += dropped * space;
                    part.Skipped = x;
                    count -= dropped;
                }
            }
            // Spaces that start at or after to are never made.
            const long long shown = std::min(count, (to - x + space - 1) / space);
            part.Text += QString(static_cast<qsizetype>(shown), u' ');
            x += shown * space;
            if (shown < count) {
                break;
            }
        }
        part.Text += text[i];
        x += canvas.TextWidth(QString(text[i]));
    }
    return part;
}

void CanvasTextRectEx(TRLCanvas& canvas, const TRLRect& rect, int x, int y, QString text,
                      uint8_t alignment, uint8_t layout, TRLMetaTextFlags textFlags) {
    // A text is placed by its width with a space after it; widths add up, so the text is not
    // copied to measure it.
    const int space = canvas.SpaceWidth();
    const int withSpace = static_cast<int>(std::clamp<long long>(
        static_cast<long long>(canvas.TextWidth(text)) + space, INT32_MIN, INT32_MAX));
    TRLPoint start =
        TextRectStart(rect, x, y, withSpace, canvas.TextHeight(text), space, alignment, layout);
    if (alignment == MetaTextAlignmentJustify) {
        // Only what lands on the device is built, with a margin for glyphs that reach beyond
        // their own cell.
        const TRLRect visible = canvas.VisibleArea();
        const long long margin = 4LL * canvas.TextHeight(text) + 16;
        const long long available = int64_t(rect.Right) - start.X;
        const TRLJustifiedPart part = JustifyTextPart(
            canvas, text, static_cast<int>(std::clamp<long long>(available, INT32_MIN, INT32_MAX)),
            int64_t(visible.Left) - start.X - margin, int64_t(visible.Right) - start.X + margin);
        text = part.Text;
        start.X = SaturatedAdd(start.X,
                               static_cast<int32_t>(std::min<long long>(part.Skipped, INT32_MAX)));
    }
    if ((textFlags & MetaTextFlagNoClipping) != 0) {
        canvas.TextOut(start.X, start.Y, text);
    } else {
        canvas.TextRect(rect, start.X, start.Y, text);
    }
}

TRLRect ParityRect(TRLRect rect, int graphicWidth) {
    if (graphicWidth > 0) {
        const long long width = static_cast<long long>(rect.Right) - rect.Left;
        const long long right = rect.Left + graphicWidth * (width / graphicWidth) + 1;
        rect.Right = static_cast<int32_t>(std::clamp<long long>(right, INT32_MIN, INT32_MAX));
    }
    return rect;
}

void CanvasStretchDraw(TRLCanvas& canvas, TRLRect rect, const QByteArray& data, bool parity) {
    const QImage graphic = DecodeTaggedData(data);
    if (graphic.isNull()) {
        return;
    }
    if (parity) {
        rect = ParityRect(rect, graphic.width());
    }
    canvas.StretchDraw(rect, graphic);
}

void CanvasSetClipRect(TRLCanvas& canvas, const TRLRect& rect) {
    canvas.RemoveClip();
    if (rect.Right != rect.Left && rect.Bottom != rect.Top) {
        canvas.IntersectClip(rect);
    }
}

void CanvasResetClipRect(TRLCanvas& canvas) {
    canvas.RemoveClip();
}

namespace {

// Segment lengths (drawn, gap, drawn, ...) of a wide styled pen; empty for unbroken styles.
std::vector<long long> PenDashPattern(TRLPenStyle style, int penWidth) {
    std::vector<long long> pattern;
    switch (style) {
    case TRLPenStyle::Dash:
        pattern = {3, 1};
        break;
    case TRLPenStyle::Dot:
        pattern = {1, 1};
        break;
    case TRLPenStyle::DashDot:
        pattern = {2, 1, 1, 1};
        break;
    case TRLPenStyle::DashDotDot:
        pattern = {3, 1, 1, 1, 1, 1};
        break;
    default:
        break;
    }
    for (long long& length : pattern) {
        length *= 4LL * penWidth;
    }
    return pattern;
}

// The distances along a line from `from` in direction (cosine, sine) between which it may
// touch area; false when it never does (Liang-Barsky clipping of the infinite line).
bool VisibleStretch(const TRLPoint& from, double cosine, double sine, const TRLRect& area,
                    double& enter, double& leave) {
    enter = -std::numeric_limits<double>::infinity();
    leave = std::numeric_limits<double>::infinity();
    const double start[2] = {double(from.X), double(from.Y)};
    const double step[2] = {cosine, sine};
    const double low[2] = {double(area.Left), double(area.Top)};
    const double high[2] = {double(area.Right), double(area.Bottom)};
    for (int axis = 0; axis < 2; ++axis) {
        if (std::abs(step[axis]) < 1e-12) {
            if (start[axis] < low[axis] || start[axis] > high[axis]) {
                return false;
            }
            continue;
        }
        double t1 = (low[axis] - start[axis]) / step[axis];
        double t2 = (high[axis] - start[axis]) / step[axis];
        if (t1 > t2) {
            std::swap(t1, t2);
        }
        enter = std::max(enter, t1);
        leave = std::min(leave, t2);
    }
    return enter <= leave;
}

} // namespace

void CanvasLineToEx(TRLCanvas& canvas, int x, int y) {
    const TRLPen savedPen = canvas.Pen();
    const std::vector<long long> pattern = PenDashPattern(savedPen.Style, savedPen.Width);
    if (pattern.empty() || savedPen.Width <= 1) {
        canvas.LineTo(x, y);
        return;
    }
    const TRLPoint from = canvas.PenPos();
    const double dx = double(x) - from.X;
    const double dy = double(y) - from.Y;
    // A line across the whole coordinate range is over four billion pixels long.
    const long long length = static_cast<long long>(std::nearbyint(std::sqrt(dx * dx + dy * dy)));
    const double angle = std::atan2(dy, dx);
    const double cosine = std::cos(angle);
    const double sine = std::sin(angle);
    auto pointAt = [&](long long distance) {
        return TRLPoint{SaturatedAdd(from.X, RoundHalfEven(double(distance) * cosine)),
                        SaturatedAdd(from.Y, RoundHalfEven(double(distance) * sine))};
    };

    const auto restorePen = qScopeGuard([&canvas, savedPen] { canvas.SetPen(savedPen); });
    TRLPen solid = savedPen;
    solid.Style = TRLPenStyle::Solid;
    // The gaps show the brush colour, as the old platform's opaque background did.
    if (canvas.Brush().Style != TRLBrushStyle::Clear) {
        TRLPen background = solid;
        background.Color = canvas.Brush().Color;
        canvas.SetPen(background);
        canvas.LineTo(x, y);
    }
    canvas.SetPen(solid);
    canvas.MoveTo(from.X, from.Y);
    // Only the dashes that can touch the device are walked: the pattern is started at the last
    // whole period before the line enters the device (widened by the pen), so every dash that
    // shows is the very dash the whole walk would draw, and the walk ends once it has left.
    const TRLRect visible = canvas.VisibleArea();
    const int32_t reach = SaturatedAdd(std::max(savedPen.Width, 1), 2);
    const TRLRect area{SaturatedAdd(visible.Left, -reach), SaturatedAdd(visible.Top, -reach),
                       SaturatedAdd(visible.Right, reach), SaturatedAdd(visible.Bottom, reach)};
    double enter = 0;
    double leave = 0;
    if (length > 0 && VisibleStretch(from, cosine, sine, area, enter, leave) && leave >= 0 &&
        enter <= double(length)) {
        long long period = 0;
        for (long long part : pattern) {
            period += part;
        }
        long long distance = 0;
        if (enter > 0) {
            distance = static_cast<long long>(enter) / period * period;
            const TRLPoint start = pointAt(distance);
            canvas.MoveTo(start.X, start.Y);
        }
        const long long last = std::min<long long>(length, static_cast<long long>(leave) + 1);
        size_t segment = 0;
        while (distance < length) {
            distance = std::min(length, distance + pattern[segment]);
            const TRLPoint p = pointAt(distance);
            if (segment % 2 == 0) {
                canvas.LineTo(p.X, p.Y);
            } else {
                canvas.MoveTo(p.X, p.Y);
            }
            segment = (segment + 1) % pattern.size();
            if (distance >= last) {
                break;
            }
        }
    }
    // The pen ends where the whole walk would have left it.
    const TRLPoint end = pointAt(length);
    canvas.MoveTo(end.X, end.Y);
}

TRLPen ScaledPen(TRLPen pen, double factor) {
    if (pen.Width > 1) {
        pen.Width = std::max(1, TruncateToInt32(pen.Width * factor));
    }
    return pen;
}

int DevicePenWidth(const TRLPen& pen) {
    return std::max(1, pen.Width);
}

void ScalePenWidth(TRLCanvas& canvas, double factor) {
    if (canvas.Pen().Width > 1) {
        canvas.SetPen(ScaledPen(canvas.Pen(), factor));
    }
}

void CanvasSetMetaFont(TRLCanvas& canvas, const TRLMetaFont& font, const QString& name,
                       double yFactor) {
    canvas.SetMetaFont(font, name, yFactor);
}

void CanvasSetMetaPen(TRLCanvas& canvas, const TRLMetaPen& pen) {
    canvas.SetPen(pen.ToPen());
}

void CanvasSetMetaBrush(TRLCanvas& canvas, const TRLMetaBrush& brush) {
    canvas.SetBrush(brush.ToBrush());
}

} // namespace Kelmora
