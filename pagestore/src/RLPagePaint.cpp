// Replaying a stored page onto a canvas: each object kind's PaintTo and the page's own PaintTo.
#include <kelmora/pagestore/RLCanvas.h>
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/support/RLCore.h>

#include <QPainter>
#include <QScopeGuard>

#include <algorithm>

namespace Kelmora {

namespace {

void SetScaledPen(TRLCanvas& canvas, const TRLMetaPen& pen, const TRLPaintContext& context) {
    CanvasSetMetaPen(canvas, pen);
    ScalePenWidth(canvas, context.XFactor);
}

// Scaled corners of a rectangle that still covers at least one device pixel each way, so that
// hairlines and dots recorded at 96 per inch survive a small zoom.
TRLRect AtLeastOnePixel(const TRLRect& bounds, const TRLPaintContext& context) {
    const int x1 = context.X(bounds.Left);
    const int y1 = context.Y(bounds.Top);
    // A corner scaled to the end of the integer range has no pixel past it to reach.
    return {x1, y1, std::max(SaturatedAdd(x1, 1), context.X(bounds.Right)),
            std::max(SaturatedAdd(y1, 1), context.Y(bounds.Bottom))};
}

TRLPointArray ScaledPoints(const TRLPointArray& points, const TRLPaintContext& context) {
    TRLPointArray scaled;
    scaled.reserve(points.size());
    for (const TRLPoint& p : points) {
        scaled.push_back(context.Point(p));
    }
    return scaled;
}

bool RectWithin(const TRLRect& rect, const TRLRect& area) {
    return rect.Left >= area.Left && rect.Right <= area.Right && rect.Top >= area.Top &&
           rect.Bottom <= area.Bottom;
}

// Whether a line one device pixel wide from a to b, with flat ends, lies within area on any
// device: a raster takes the pixels from its first point to its last inclusive, a page
// description half a pixel to either side of it. A wider pen is left out: its corners reach past
// the ends, by as far as the device's miter limit lets them.
bool ThinLineWithin(const TRLPoint& a, const TRLPoint& b, const TRLRect& area) {
    const double across = 0.5;
    const double left = std::min(a.X, b.X) - (a.Y == b.Y ? 0.0 : across);
    const double top = std::min(a.Y, b.Y) - (a.X == b.X ? 0.0 : across);
    const double right = static_cast<double>(std::max(a.X, b.X)) + 1;
    const double bottom = static_cast<double>(std::max(a.Y, b.Y)) + 1;
    return left >= area.Left && top >= area.Top && right <= area.Right && bottom <= area.Bottom;
}

bool DrawsThin(const TRLMetaPen& pen, const TRLPaintContext& context) {
    return DevicePenWidth(ScaledPen(pen.ToPen(), context.XFactor)) == 1;
}

} // namespace

bool TRLGraphicObject::DrawsWithin(const TRLRect& /*area*/,
                                   const TRLPaintContext& /*context*/) const {
    return false;
}

bool TRLLineObject::DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const {
    return DrawsThin(Pen, context) &&
           ThinLineWithin(context.Point(FromPoint), context.Point(ToPoint), area);
}

bool TRLTextObject::DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const {
    // A text kept to its rectangle fills and draws nothing outside it (TRLCanvas::TextRect).
    return (TextFlags & MetaTextFlagNoClipping) == 0 &&
           RectWithin(NormalizedCanvasRect(context.Rect(BoundsRect)), area);
}

bool TRLFillRectObject::DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const {
    return RectWithin(NormalizedCanvasRect(context.Rect(BoundsRect)), area);
}

bool TRLPolygonObject::DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const {
    // Two points close around nothing: only their line shows, as a rule drawn as a shape does.
    return Points.size() == 2 && DrawsThin(Pen, context) &&
           ThinLineWithin(context.Point(Points[0]), context.Point(Points[1]), area);
}

void TRLPixelObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    canvas.SetBrush({Color.ToColor(), TRLBrushStyle::Solid});
    canvas.FillRect(AtLeastOnePixel(BoundsRect, context));
}

void TRLLineObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    SetScaledPen(canvas, Pen, context);
    CanvasSetMetaBrush(canvas, Brush);
    const TRLPoint from = context.Point(FromPoint);
    const TRLPoint to = context.Point(ToPoint);
    canvas.MoveTo(from.X, from.Y);
    CanvasLineToEx(canvas, to.X, to.Y);
}

void TRLRectangleObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    SetScaledPen(canvas, Pen, context);
    CanvasSetMetaBrush(canvas, Brush);
    canvas.Rectangle(AtLeastOnePixel(BoundsRect, context));
}

void TRLTextObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    CanvasSetMetaBrush(canvas, Brush);
    CanvasSetMetaFont(canvas, Font, FontName(), context.YFactor);
    const TRLPoint origin = context.Point(Origin);
    CanvasTextRectEx(canvas, context.Rect(BoundsRect), origin.X, origin.Y, DisplayText(), Alignment,
                     Layout, TextFlags);
}

void TRLFillRectObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    CanvasSetMetaBrush(canvas, Brush);
    canvas.FillRect(context.Rect(BoundsRect));
}

void TRLEllipseObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    SetScaledPen(canvas, Pen, context);
    CanvasSetMetaBrush(canvas, Brush);
    canvas.Ellipse(context.Rect(BoundsRect));
}

void TRLPolygonObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    SetScaledPen(canvas, Pen, context);
    CanvasSetMetaBrush(canvas, Brush);
    canvas.Polygon(ScaledPoints(Points, context));
}

void TRLPolylineObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    SetScaledPen(canvas, Pen, context);
    TRLBrush brush = canvas.Brush();
    brush.Style = TRLBrushStyle::Clear;
    canvas.SetBrush(brush);
    canvas.Polyline(ScaledPoints(Points, context));
}

void TRLImageObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    CanvasStretchDraw(canvas, context.Rect(BoundsRect), Data, Parity);
}

void TRLSetClipRectObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    context.ClipStack.push_back(context.ClipRect);
    context.ClipRect = context.Rect(BoundsRect);
    static_cast<void>(canvas); // applied before the next drawing (TRLGraphicSurface::PaintTo)
}

void TRLResetClipRectObject::PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const {
    // A damaged page may reset more often than it set; the outermost clip then stays.
    if (!context.ClipStack.empty()) {
        context.ClipRect = context.ClipStack.back();
        context.ClipStack.pop_back();
    }
    static_cast<void>(canvas); // as for setting one
}

void TRLGraphicSurface::PaintTo(QPainter& painter, const QRect& target,
                                const TRLPagePaintOptions& options) const {
    TRLCanvas canvas(painter);
    // The painter is handed back without a pen, as the canvas's other drawing calls leave it.
    const auto plain = qScopeGuard([&painter] { painter.setPen(Qt::NoPen); });
    PaintTo(canvas,
            {target.left(), target.top(), target.left() + target.width(),
             target.top() + target.height()},
            options);
}

void TRLGraphicSurface::PaintTo(TRLCanvas& canvas, const TRLRect& target,
                                const TRLPagePaintOptions& options) const {
    TRLPaintContext context;
    context.Page = this;
    context.XFactor = width_ != 0 ? static_cast<double>(target.Right - target.Left) / width_ : 1.0;
    context.YFactor =
        height_ != 0 ? static_cast<double>(target.Bottom - target.Top) / height_ : 1.0;
    context.XOffset = target.Left;
    context.YOffset = target.Top;
    context.KeepRectsVisible = options.KeepRectsVisible;
    context.ClipRect = target;
    context.AppliedClip = target;
    canvas.RemoveClip();
    canvas.IntersectClip(target);
    const TRLRect page = NormalizedCanvasRect(target);

    // The clip must come off whatever a drawing call throws, or the caller's next drawing on the
    // same painter would be cut to this page.
    const auto removeClip = qScopeGuard([&canvas] { canvas.RemoveClip(); });
    const std::vector<bool>* leaveOut = options.LeaveOut;
    for (size_t i = 0; i < objects_.size(); ++i) {
        const TRLGraphicObject* object = objects_[i].get();
        const TRLObjectKind kind = object->Kind();
        const bool clipChange =
            kind == TRLObjectKind::SetClipRect || kind == TRLObjectKind::ResetClipRect;
        if (!clipChange && leaveOut != nullptr && i < leaveOut->size() && (*leaveOut)[i])
            continue;
        if (!clipChange && context.AppliedClip != context.ClipRect) {
            // What lies within both the clip asked for and the page is cut by neither, and is
            // drawn under the page's own clip: a page of bands that keep to their rectangles,
            // each clipped to its own, then costs the output no clip at all.
            const TRLRect& wanted = context.ClipRect;
            const TRLRect both{std::max(wanted.Left, page.Left), std::max(wanted.Top, page.Top),
                               std::min(wanted.Right, page.Right),
                               std::min(wanted.Bottom, page.Bottom)};
            const bool bothIsArea = both.Left < both.Right && both.Top < both.Bottom &&
                                    wanted.Left < wanted.Right && wanted.Top < wanted.Bottom;
            const TRLRect& clip =
                bothIsArea && object->DrawsWithin(both, context) ? target : wanted;
            if (context.AppliedClip != clip) {
                CanvasSetClipRect(canvas, clip);
                context.AppliedClip = clip;
            }
        }
        object->PaintTo(canvas, context);
    }
}

} // namespace Kelmora
