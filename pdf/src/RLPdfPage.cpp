#include "RLPdfPage_p.h"

#include <QFontInfo>
#include <QPixmap>
#include <QTextItem>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace Kelmora {

using namespace rlpdf;

namespace {

// The largest pixel size the toolkit makes a font at (its font engines keep sizes in 16 bits).
constexpr double kLargestPixelSize = 65535;

// The most drawing one page's content stream may hold. An ordinary page takes tens of
// kilobytes, a dense one a few megabytes; a hostile page store can ask for one long text
// thousands of times in glyphs that go as outlines, kilobytes each.
constexpr qsizetype kLargestPageContent = qsizetype(256) << 20;

// PDF's numbers for a pen's ends and corners: butt and miter are 0, round 1, square and bevel 2.
int LineCap(Qt::PenCapStyle cap) {
    return cap == Qt::RoundCap ? 1 : cap == Qt::SquareCap ? 2 : 0;
}

int LineJoin(Qt::PenJoinStyle join) {
    return join == Qt::RoundJoin ? 1 : join == Qt::BevelJoin ? 2 : 0;
}

} // namespace

TRLPdfPageEngine::TRLPdfPageEngine(TRLPdfPageSink& document, const QSizeF& points,
                                   TRLPdfPagePart part)
    : QPaintEngine(PrimitiveTransform | PatternTransform | PixmapTransform | PainterPaths |
                   PatternBrush),
      document_(document), points_(points), part_(part) {}

bool TRLPdfPageEngine::begin(QPaintDevice* device) {
    Q_UNUSED(device);
    // A page is painted once; a second painter would start its content again.
    content_.resize(0);
    packed_.clear();
    ended_ = false;
    glyphs_.clear();
    ForgetShownGlyphs();
    hatches_.clear();
    matrix_ = QTransform();
    pen_ = QPen();
    brush_ = QBrush();
    clipEnabled_ = false;
    clips_.clear();
    clipChanged_ = false;
    wantedClip_.clear();
    appliedClip_.clear();
    state_ = StreamState();
    inText_ = false;
    textFont_ = -1;
    announced_.reset();
    content_.reserve(1 << 15);
    // An early part leaves the state as it found it, for the late part that follows it.
    if (part_ == TRLPdfPagePart::Early) {
        AppendText(content_, "q\n");
    }
    // Device pixels, from the top-left corner down, are the page's coordinates from here on.
    const double scale = 72.0 / document_.PixelsPerInch();
    AppendNumbers(content_, scale, 0, 0, -scale, 0, points_.height());
    AppendText(content_, "cm\n");
    return true;
}

bool TRLPdfPageEngine::end() {
    EndText();
    if (!appliedClip_.isEmpty()) {
        AppendText(content_, "Q\n");
    }
    if (part_ == TRLPdfPagePart::Early) {
        AppendText(content_, "Q\n");
    }
    // Compressed here, on the thread that painted the page; its raw fonts stay with it.
    packed_ = Deflated(content_, kContentCompression);
    recentFonts_ = {};
    announced_.reset();
    content_ = QByteArray();
    ended_ = true;
    return !packed_.isEmpty();
}

bool TRLPdfPageEngine::AddToDocument() {
    if (!ended_) {
        // A page nobody painted is a blank sheet.
        begin(nullptr);
        end();
    }
    if (packed_.isEmpty()) {
        document_.Fail(QStringLiteral("a page could not be compressed"));
        return false;
    }
    ForgetShownGlyphs();
    glyphsSeen_ = {};
    return document_.AddPage({part_, points_, std::exchange(packed_, {}),
                              std::exchange(glyphs_, {}), hatches_, std::exchange(images_, {})});
}

void TRLPdfPageEngine::updateState(const QPaintEngineState& state) {
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) {
        matrix_ = state.transform();
    }
    if (flags & DirtyPen) {
        pen_ = state.pen();
    }
    if (flags & DirtyBrush) {
        brush_ = state.brush();
    }
    if (flags & DirtyClipPath) {
        ClipTo(state.clipPath(), state.clipOperation());
    }
    if (flags & DirtyClipRegion) {
        QPainterPath path;
        for (const QRect& rect : state.clipRegion()) {
            path.addRect(rect);
        }
        ClipTo(path, state.clipOperation());
    }
    if (flags & DirtyClipEnabled) {
        clipEnabled_ = state.isClipEnabled();
        clipChanged_ = true;
    }
}

void TRLPdfPageEngine::ClipTo(const QPainterPath& path, Qt::ClipOperation operation) {
    // The clip is kept in device coordinates: it stays where it was set when the matrix changes.
    switch (operation) {
    case Qt::NoClip:
        clipEnabled_ = false;
        clips_.clear();
        break;
    case Qt::ReplaceClip:
        clips_.assign(1, matrix_.map(path));
        break;
    case Qt::IntersectClip:
        clips_.push_back(matrix_.map(path));
        break;
    }
    clipChanged_ = true;
}

// Writes the clip the painter holds, if it differs from the one in effect. A clip can only ever
// narrow within a saved graphics state, so changing it means restoring the state saved before the
// last one and saving it again.
void TRLPdfPageEngine::ApplyClip() {
    if (clipChanged_) {
        clipChanged_ = false;
        wantedClip_.clear();
        if (clipEnabled_) {
            for (const QPainterPath& path : clips_) {
                if (path.isEmpty()) {
                    wantedClip_.append("0 0 0 0 re\n");
                } else {
                    AppendPath(wantedClip_, path);
                }
                wantedClip_.append(path.fillRule() == Qt::OddEvenFill ? "W* n\n" : "W n\n");
            }
        }
    }
    if (wantedClip_ == appliedClip_) {
        return;
    }
    EndText();
    if (!appliedClip_.isEmpty()) {
        AppendText(content_, "Q\n");
        state_ = unclippedState_;
        // The text font is part of the state just restored.
        textFont_ = -1;
    }
    if (!wantedClip_.isEmpty()) {
        AppendText(content_, "q\n");
        unclippedState_ = state_;
        content_.append(wantedClip_);
    }
    appliedClip_ = wantedClip_;
}

void TRLPdfPageEngine::EndText() {
    if (inText_) {
        AppendText(content_, "ET\n");
        inText_ = false;
    }
}

void TRLPdfPageEngine::AppendPoint(QByteArray& out, const QPointF& point) const {
    AppendNumbers(out, point.x(), point.y());
}

void TRLPdfPageEngine::AppendPath(QByteArray& out, const QPainterPath& path) const {
    // A rectangle, the commonest clip and shape, in its short form.
    if (path.elementCount() == 5) {
        const auto e = [&path](int i) { return QPointF(path.elementAt(i)); };
        const bool lines = path.elementAt(0).isMoveTo() && path.elementAt(1).isLineTo() &&
                           path.elementAt(2).isLineTo() && path.elementAt(3).isLineTo() &&
                           path.elementAt(4).isLineTo();
        if (lines && e(0) == e(4) && e(0).y() == e(1).y() && e(1).x() == e(2).x() &&
            e(2).y() == e(3).y() && e(3).x() == e(0).x()) {
            AppendNumbers(out, e(0).x(), e(0).y(), e(2).x() - e(0).x(), e(2).y() - e(0).y());
            out.append("re\n");
            return;
        }
    }
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            start = element;
            AppendPoint(out, element);
            out.append("m\n");
            break;
        case QPainterPath::LineToElement:
            AppendPoint(out, element);
            out.append("l\n");
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                AppendPoint(out, element);
                AppendPoint(out, path.elementAt(i + 1));
                AppendPoint(out, path.elementAt(i + 2));
                out.append("c\n");
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
        const bool subpathEnds = i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo();
        if (subpathEnds && element.type != QPainterPath::MoveToElement &&
            QPointF(path.elementAt(i)) == start) {
            out.append("h\n");
        }
    }
}

bool TRLPdfPageEngine::Strokes() const {
    return pen_.style() != Qt::NoPen && pen_.brush().style() != Qt::NoBrush &&
           pen_.color().alpha() != 0;
}

bool TRLPdfPageEngine::Fills() const {
    return brush_.style() != Qt::NoBrush && brush_.color().alpha() != 0;
}

void TRLPdfPageEngine::SetStroke() {
    if (const QByteArray& stroke = strokeColor_.For(pen_.color(), "RG\n");
        stroke != state_.Stroke) {
        content_.append(stroke);
        state_.Stroke = stroke;
    }
    // A cosmetic pen is as wide on the page as on the device, whatever the matrix; a zero width
    // is one device pixel.
    const double penWidth = pen_.widthF() > 0 ? pen_.widthF() : 1;
    const double width =
        pen_.isCosmetic() ? penWidth : penWidth * std::sqrt(std::abs(matrix_.determinant()));
    if (width != state_.LineWidth) {
        AppendReal(content_, width);
        AppendText(content_, " w\n");
        state_.LineWidth = width;
    }
    const int cap = LineCap(pen_.capStyle());
    if (cap != state_.Cap) {
        AppendInt(content_, cap);
        AppendText(content_, " J\n");
        state_.Cap = cap;
    }
    const int join = LineJoin(pen_.joinStyle());
    if (join != state_.Join) {
        AppendInt(content_, join);
        AppendText(content_, " j\n");
        state_.Join = join;
    }
    if (pen_.style() == Qt::SolidLine) {
        // The commonest pattern, compared without being made again.
        if (state_.Dash != "[] 0") {
            AppendText(content_, "[] 0 d\n");
            state_.Dash = QByteArrayLiteral("[] 0");
        }
        return;
    }
    QByteArray dash = "[";
    // Qt measures dashes in pen widths.
    const double unit = pen_.widthF() > 0 ? width : 1;
    for (const qreal length : pen_.dashPattern()) {
        AppendNumbers(dash, length * unit);
    }
    dash.append("] ");
    AppendReal(dash, pen_.dashOffset() * unit);
    if (dash != state_.Dash) {
        content_.append(dash);
        AppendText(content_, " d\n");
        state_.Dash = dash;
    }
}

void TRLPdfPageEngine::SetFill(const QBrush& brush) {
    QByteArray fill;
    const char* cell = HatchCell(brush.style());
    if (cell != nullptr) {
        const int height = static_cast<int>(std::lround(points_.height() * 100));
        hatches_.emplace(brush.style(), height);
        fill.append("/Hatch cs ");
        AppendColor(fill, brush.color());
        fill.append(HatchName(brush.style(), height));
        fill.append(" scn\n");
    } else {
        AppendColor(fill, brush.color());
        fill.append("rg\n");
    }
    if (fill != state_.Fill) {
        content_.append(fill);
        state_.Fill = fill;
    }
}

const QByteArray& TRLPdfPageEngine::ColorOperator::For(const QColor& color, QByteArrayView name) {
    const QRgba64 rgb = color.rgba64();
    if (operator_.isEmpty() || rgb != rgb_) {
        operator_.clear();
        AppendColor(operator_, color);
        operator_.append(name);
        rgb_ = rgb;
    }
    return operator_;
}

void TRLPdfPageEngine::SetTextColor(const QColor& color) {
    if (const QByteArray& fill = textColor_.For(color, "rg\n"); fill != state_.Fill) {
        content_.append(fill);
        state_.Fill = fill;
    }
}

void TRLPdfPageEngine::PaintShape(const QByteArray& pathOperators, bool closed, bool oddEven) {
    const bool stroke = Strokes();
    const bool fill = closed && Fills();
    announced_.reset();
    if ((!stroke && !fill) || pathOperators.isEmpty() || Overfull(pathOperators.size())) {
        return;
    }
    ApplyClip();
    EndText();
    if (stroke) {
        SetStroke();
    }
    if (fill) {
        SetFill(brush_);
    }
    AppendBytes(content_, pathOperators.constData(), pathOperators.size());
    if (stroke && fill) {
        content_.append(oddEven ? "B*\n" : "B\n");
    } else if (fill) {
        content_.append(oddEven ? "f*\n" : "f\n");
    } else {
        AppendText(content_, "S\n");
    }
}

void TRLPdfPageEngine::drawRects(const QRectF* rects, int count) {
    QByteArray operators;
    const bool straight = matrix_.type() <= QTransform::TxScale;
    for (int i = 0; i < count; ++i) {
        if (straight) {
            const QRectF r = matrix_.mapRect(rects[i]);
            AppendNumbers(operators, r.x(), r.y(), r.width(), r.height());
            operators.append("re\n");
        } else {
            QPainterPath path;
            path.addRect(rects[i]);
            AppendPath(operators, matrix_.map(path));
        }
    }
    PaintShape(operators, true, false);
}

void TRLPdfPageEngine::drawLines(const QLineF* lines, int count) {
    QByteArray operators;
    for (int i = 0; i < count; ++i) {
        AppendPoint(operators, matrix_.map(lines[i].p1()));
        operators.append("m ");
        AppendPoint(operators, matrix_.map(lines[i].p2()));
        operators.append("l\n");
    }
    PaintShape(operators, false, false);
}

void TRLPdfPageEngine::drawPath(const QPainterPath& path) {
    QByteArray operators;
    AppendPath(operators, matrix_.map(path));
    PaintShape(operators, true, path.fillRule() == Qt::OddEvenFill);
}

void TRLPdfPageEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) {
    if (count < 1) {
        return;
    }
    QByteArray operators;
    for (int i = 0; i < count; ++i) {
        AppendPoint(operators, matrix_.map(points[i]));
        if (i == 0) {
            AppendText(operators, "m\n");
        } else {
            AppendText(operators, "l\n");
        }
    }
    const bool closed = mode != PolylineMode;
    if (closed) {
        AppendText(operators, "h\n");
    }
    // One or two points close around nothing: filling them would paint no pixel on the screen,
    // and a hairline or nothing on paper, as the printer pleases. A rule drawn as a shape is
    // such a polygon, under every row of a listing.
    PaintShape(operators, closed && count > 2, mode == OddEvenMode);
}

void TRLPdfPageEngine::drawPixmap(const QRectF& target, const QPixmap& pixmap,
                                  const QRectF& source) {
    drawImage(target, pixmap.toImage(), source, Qt::AutoColor);
}

void TRLPdfPageEngine::drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                                 Qt::ImageConversionFlags flags) {
    Q_UNUSED(flags);
    if (image.isNull() || target.isEmpty()) {
        return;
    }
    const QRect part = source.toAlignedRect().intersected(image.rect());
    if (part.isEmpty()) {
        return;
    }
    int index = 0;
    const QByteArray name =
        document_.ImageOf(part == image.rect() ? image : image.copy(part), index);
    if (name.isEmpty()) {
        return;
    }
    if (std::find(images_.begin(), images_.end(), index) == images_.end()) {
        images_.push_back(index);
    }
    ApplyClip();
    EndText();
    // The image's unit square, its first row at the top, onto the target.
    const QPointF origin = matrix_.map(target.bottomLeft());
    const QPointF across = matrix_.map(target.bottomRight()) - origin;
    const QPointF up = matrix_.map(target.topLeft()) - origin;
    AppendText(content_, "q\n");
    AppendNumbers(content_, across.x(), across.y(), up.x(), up.y(), origin.x(), origin.y());
    AppendText(content_, "cm\n");
    content_.append(name);
    AppendText(content_, " Do\nQ\n");
}

void TRLPdfPageEngine::drawTextItem(const QPointF& at, const QTextItem& item) {
    if (announced_) {
        const Run run = std::move(*announced_);
        announced_.reset();
        DrawRun(run);
        return;
    }
    // A text QPainter laid out itself (one with characters its font lacks): in the item's own
    // font where it has the glyphs, otherwise as outlines with the font's fallbacks.
    const QString text = item.text();
    if (text.isEmpty()) {
        return;
    }
    Run run;
    run.Font = QRawFont::fromFont(item.font());
    run.Baseline = at;
    run.Text = text;
    run.Glyphs = run.Font.glyphIndexesForString(text);
    if (run.Glyphs.size() == text.size() && !run.Glyphs.contains(0u)) {
        const QList<QPointF> advances = run.Font.advancesForGlyphIndexes(run.Glyphs);
        QPointF position;
        for (const QPointF& advance : advances) {
            run.Positions.append(position);
            position += advance;
        }
        DrawRun(run);
        return;
    }
    if (Overfull()) {
        return;
    }
    // Far beyond the page's edges nothing shows; it would only make the page larger.
    const double pixelSize = QFontInfo(item.font()).pixelSize();
    if (!MayShow(at, 2 * pixelSize * double(text.size()), pixelSize)) {
        return;
    }
    QPainterPath outline;
    outline.addText(at, item.font(), text);
    FillOutline(outline);
}

// Glyphs that cannot be text are filled outlines in the text's colour.
void TRLPdfPageEngine::FillOutline(const QPainterPath& outline) {
    const QBrush brush = std::exchange(brush_, QBrush(pen_.color()));
    const QPen pen = std::exchange(pen_, QPen(Qt::NoPen));
    drawPath(outline);
    brush_ = brush;
    pen_ = pen;
}

bool TRLPdfPageEngine::Overfull(qsizetype more) {
    if (!refusal_.isEmpty()) {
        return true;
    }
    if (content_.size() + more <= kLargestPageContent) {
        return false;
    }
    refusal_ = QStringLiteral("its drawing takes more than %1 MB, the most a page may hold")
                   .arg(kLargestPageContent >> 20);
    return true;
}

bool TRLPdfPageEngine::MayShow(const QPointF& at, double width, double pixelSize) const {
    const double reach = 2 * pixelSize;
    const QRectF ink =
        matrix_.mapRect(QRectF(at.x() - reach, at.y() - reach, width + 2 * reach, 2 * reach));
    const double scale = document_.PixelsPerInch() / 72.0;
    return ink.intersects(QRectF(0, 0, points_.width() * scale, points_.height() * scale));
}

const TRLPdfPageEngine::RecentFont& TRLPdfPageEngine::FontOf(const QRawFont& raw) {
    for (const RecentFont& known : recentFonts_) {
        if (known.Raw.isValid() && known.Raw == raw) {
            return known;
        }
    }
    RecentFont& font = recentFonts_[nextRecent_];
    nextRecent_ = (nextRecent_ + 1) % recentFonts_.size();
    font = {raw, document_.FontOf(raw, font.Index), font.Index, QRawFont()};
    if (font.Font != nullptr && !font.Font->OpenTypeFile.isEmpty()) {
        font.OpenType = QRawFont(font.Font->OpenTypeFile, 12);
    }
    return font;
}

bool TRLPdfPageEngine::Refused(const Run& run, qsizetype count) {
    // The toolkit makes fonts of up to kLargestPixelSize pixels. Asked for more, it hands out a
    // stand-in that draws boxes and knows no family, whose very name must not be asked for; its
    // glyphs are not the text's, so the page refuses the text instead of showing boxes.
    if (run.Font.isValid() && run.Font.pixelSize() > 0 &&
        run.Font.pixelSize() <= kLargestPixelSize) {
        return false;
    }
    if (refusal_.isEmpty()) {
        QString text = run.Text.left(count);
        if (text.size() > 40) {
            text = text.left(40) + QChar(0x2026);
        }
        refusal_ = QStringLiteral("the text \"%1\" is in a font too large to draw (at most %2 "
                                  "pixels high)")
                       .arg(text, QString::number(kLargestPixelSize));
    }
    return true;
}

void TRLPdfPageEngine::DrawRun(const Run& run) {
    const qsizetype count = std::min(run.Glyphs.size(), run.Positions.size());
    if (count == 0 || pen_.style() == Qt::NoPen || pen_.color().alpha() == 0 ||
        Refused(run, count) || Overfull()) {
        return;
    }
    const RecentFont& recent = FontOf(run.Font);
    const int index = recent.Index;
    const TRLPdfFont* found = recent.Font;
    // Shared, not copied, when the run is whole (as the canvas makes them).
    QList<quint32> glyphs = count == run.Glyphs.size() ? run.Glyphs : run.Glyphs.first(count);
    if (recent.OpenType.isValid()) {
        // The same characters in the OpenType face; a character it lacks leaves the run to
        // outlines.
        glyphs = recent.OpenType.glyphIndexesForString(run.Text.left(count));
        if (glyphs.size() != count || glyphs.contains(0u)) {
            found = nullptr;
        }
    }
    if (found == nullptr) {
        // Glyphs off the page are left out; those on it may not outgrow what a page holds (a
        // point of an outline takes some eight bytes of the stream).
        QPainterPath outline;
        for (qsizetype i = 0; i < count; ++i) {
            const QPointF at = run.Baseline + run.Positions[i];
            if (!MayShow(at, 0, run.Font.pixelSize())) {
                continue;
            }
            outline.addPath(run.Font.pathForGlyph(run.Glyphs[i]).translated(at));
            if (Overfull(outline.elementCount() * 8)) {
                return;
            }
        }
        FillOutline(outline);
        return;
    }
    if (run.Font.pixelSize() <= 0) {
        return;
    }
    const int sizeFont = PlaceText(run, *found, index);
    ShowGlyphs(run, glyphs, *found, index, sizeFont);
}

int TRLPdfPageEngine::PlaceText(const Run& run, const TRLPdfFont& font, int index) {
    const double pixelSize = run.Font.pixelSize();
    ApplyClip();
    if (!inText_) {
        AppendText(content_, "BT\n");
        inText_ = true;
        textPlaced_ = false;
    }
    SetTextColor(pen_.color());
    const QPointF origin = matrix_.map(run.Baseline + run.Positions[0]);
    const bool upright = matrix_.type() <= QTransform::TxScale && matrix_.m11() > 0 &&
                         std::abs(matrix_.m11() - matrix_.m22()) < 1e-9;
    const double size = upright ? pixelSize * matrix_.m11() : 1.0;
    // Whole pixel sizes, the canvas's, have fonts of their own (TRLPdfFont::SizesUsed).
    const int sizeFont =
        upright && size == std::round(size) && size >= 1 && size <= 4096 ? int(size) : 0;
    if (index != textFont_ || size != textSize_) {
        content_.append(font.ResourceAt(sizeFont));
        AppendText(content_, " ");
        AppendReal(content_, size);
        AppendText(content_, " Tf\n");
        textFont_ = index;
        textSize_ = size;
    }
    if (upright && textPlaced_) {
        // Text space runs upwards, the page's coordinates downwards.
        AppendNumbers(content_, origin.x() - lineStart_.x(), lineStart_.y() - origin.y());
        AppendText(content_, "Td\n");
    } else if (upright) {
        AppendNumbers(content_, 1, 0, 0, -1, origin.x(), origin.y());
        AppendText(content_, "Tm\n");
    } else {
        AppendNumbers(content_, pixelSize * matrix_.m11(), pixelSize * matrix_.m12(),
                      -pixelSize * matrix_.m21(), -pixelSize * matrix_.m22(), origin.x(),
                      origin.y());
        AppendText(content_, "Tm\n");
    }
    lineStart_ = origin;
    textPlaced_ = upright;
    return sizeFont;
}

TRLPdfPageEngine::SizedGlyphs& TRLPdfPageEngine::SizedGlyphsOf(int index, int sizeFont) {
    for (SizedGlyphs& sized : sizedGlyphs_) {
        if (sized.Index == index && sized.Size == sizeFont) {
            return sized;
        }
    }
    SizedGlyphs& sized = sizedGlyphs_.emplace_back();
    sized.Index = index;
    sized.Size = sizeFont;
    sized.Widths.assign(kSizedGlyphs, std::numeric_limits<double>::quiet_NaN());
    sized.ShownAs.assign(kSizedGlyphs, 0);
    return sized;
}

void TRLPdfPageEngine::ForgetShownGlyphs() {
    glyphsSeen_.clear();
    // The widths hold for the whole document; which glyphs were shown, for one page.
    for (SizedGlyphs& sized : sizedGlyphs_) {
        std::fill(sized.ShownAs.begin(), sized.ShownAs.end(), 0);
    }
}

// Each glyph at its own place: the font's advance moves the text on, and where the page put a
// glyph elsewhere the difference follows it in thousandths of the size.
void TRLPdfPageEngine::ShowGlyphs(const Run& run, const QList<quint32>& glyphs,
                                  const TRLPdfFont& font, int index, int sizeFont) {
    const double pixelSize = run.Font.pixelSize();
    const qsizetype count = glyphs.size();
    // Written into a buffer of the most a text can take (a glyph's two bytes escaped, and a shift
    // before it) and added to the stream at once: byte by byte, the stream's own appends cost
    // more than the rest of the text.
    constexpr size_t kMostPerGlyph = 4 + 2 + 24;
    std::string& shown = shown_;
    shown.resize(static_cast<size_t>(count) * kMostPerGlyph + 16);
    char* out = shown.data();
    *out++ = '[';
    *out++ = '(';
    double pen = 0;
    const QPointF* positions = run.Positions.constData();
    const quint32* numbers = glyphs.constData();
    const QChar* characters = run.Text.constData();
    const qsizetype characterCount = run.Text.size();
    const double start = positions[0].x();
    const double tolerance = 500.0 / (pixelSize * std::abs(matrix_.m11() != 0 ? matrix_.m11() : 1));
    SizedGlyphs& sized = SizedGlyphsOf(index, sizeFont);
    const auto widthCount = static_cast<quint32>(font.Widths.size());
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 glyph = numbers[i];
        if (glyph >= widthCount) {
            continue;
        }
        if (i > 0) {
            // Differences below half a device pixel are the rounding of whole-pixel advances,
            // not placement, and would only lengthen the stream.
            const double wanted = (positions[i].x() - start) * 1000.0 / pixelSize;
            if (std::abs(pen - wanted) > tolerance) {
                const long long shift = std::llround(pen - wanted);
                *out++ = ')';
                out = std::to_chars(out, out + 24, shift).ptr;
                *out++ = '(';
                pen -= static_cast<double>(shift);
            }
        }
        const char16_t character = i < characterCount ? characters[i].unicode() : u'\0';
        // Fonts number in the thousands at most, glyphs and characters in 16 bits, whole sizes
        // up to 4096: one number tells them apart.
        const auto seen = [&](char16_t shownFor) {
            return quint64(quint16(index)) << 48 | quint64(quint16(glyph)) << 32 |
                   quint64(sizeFont) << 16 | shownFor;
        };
        if (glyph >= kSizedGlyphs) {
            if (glyphsSeen_.insert(seen(character)).second) {
                glyphs_.push_back({index, glyph, character, sizeFont});
            }
        } else if (quint32& shownAs = sized.ShownAs[glyph]; shownAs == 0) {
            // The glyph's first showing on the page.
            glyphs_.push_back({index, glyph, character, sizeFont});
            shownAs = quint32(character) + 1;
        } else if (shownAs != quint32(character) + 1) {
            // A glyph that stands for more than one character (as the same ligature or a
            // font's one glyph for several does) keeps them all in the set.
            glyphsSeen_.insert(seen(static_cast<char16_t>(shownAs - 1)));
            if (glyphsSeen_.insert(seen(character)).second) {
                glyphs_.push_back({index, glyph, character, sizeFont});
            }
            shownAs = quint32(character) + 1;
        }
        for (const char byte : {static_cast<char>(glyph >> 8), static_cast<char>(glyph & 0xFF)}) {
            if (byte == '(' || byte == ')' || byte == '\\') {
                *out++ = '\\';
            } else if (byte == '\r') {
                *out++ = '\\';
                *out++ = 'r';
                continue;
            }
            *out++ = byte;
        }
        if (glyph < kSizedGlyphs) {
            double& width = sized.Widths[glyph];
            if (std::isnan(width)) {
                width = font.Width(glyph, sizeFont);
            }
            pen += width;
        } else {
            pen += font.Width(glyph, sizeFont);
        }
    }
    for (const char c : std::string_view(")]TJ\n")) {
        *out++ = c;
    }
    AppendBytes(content_, shown.data(), static_cast<qsizetype>(out - shown.data()));
}

} // namespace Kelmora
