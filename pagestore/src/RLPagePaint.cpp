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

} // namespace

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
            CanvasSetClipRect(canvas, context.ClipRect);
            context.AppliedClip = context.ClipRect;
        }
        object->PaintTo(canvas, context);
    }
}

} // namespace Kelmora
