// The frame every control may draw and keep inside: its borders and its margins.
#include <kelmora/report/RLControl.h>

#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLSite.h>

namespace Kelmora {

int MillimetersToPixels(double mm) {
    return RoundHalfEven(mm * 96.0 / 25.4);
}

// ---- TRLBorders ------------------------------------------------------------------------------

void TRLBorders::SetSides(TRLBorderSides sides) {
    if (sides == sides_)
        return;
    sides_ = sides;
    if (sides == sdNone) {
        drawLeft_ = drawTop_ = drawRight_ = drawBottom_ = false;
        fixedLeft_ = fixedTop_ = fixedRight_ = fixedBottom_ = false;
    } else if (sides == sdAll) {
        drawLeft_ = drawTop_ = drawRight_ = drawBottom_ = true;
    }
    Changed();
}

void TRLBorders::DrawFlagChanged() {
    const bool all = drawLeft_ && drawTop_ && drawRight_ && drawBottom_;
    const bool none = !drawLeft_ && !drawTop_ && !drawRight_ && !drawBottom_;
    if (!((all && sides_ == sdAll) || (none && sides_ == sdNone)))
        sides_ = sdCustom;
    Changed();
}

#define RL_BORDER_SIDE(Side, draw, fixed)                                                          \
    void TRLBorders::SetDraw##Side(bool v) {                                                       \
        if (v == draw)                                                                             \
            return;                                                                                \
        draw = v;                                                                                  \
        if (!v)                                                                                    \
            fixed = false;                                                                         \
        DrawFlagChanged();                                                                         \
    }                                                                                              \
    void TRLBorders::SetFixed##Side(bool v) {                                                      \
        if (v == fixed)                                                                            \
            return;                                                                                \
        fixed = v;                                                                                 \
        if (v && !draw) {                                                                          \
            draw = true;                                                                           \
            DrawFlagChanged();                                                                     \
        } else                                                                                     \
            Changed();                                                                             \
    }                                                                                              \
    bool TRLBorders::CanDraw##Side() const {                                                       \
        return draw && (fixed || FullFeature());                                                   \
    }

RL_BORDER_SIDE(Left, drawLeft_, fixedLeft_)
RL_BORDER_SIDE(Top, drawTop_, fixedTop_)
RL_BORDER_SIDE(Right, drawRight_, fixedRight_)
RL_BORDER_SIDE(Bottom, drawBottom_, fixedBottom_)
#undef RL_BORDER_SIDE

void TRLBorders::SetWidth(int width) {
    if (width < 0 || width == width_)
        return;
    width_ = width;
    Changed();
}

void TRLBorders::SetColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    Changed();
}

bool TRLBorders::FullFeature() const {
    const TRLCustomReport* report = owner_ ? owner_->ParentReport() : nullptr;
    return report && report->PrintQuality() == pqFullFeature;
}

void TRLBorders::Changed() {
    if (owner_ && !owner_->Loading())
        owner_->AdjustBounds();
}

void TRLBorders::Record(TRLGraphicSurface& surface, const TRLRect& r) const {
    if (width_ <= 0)
        return;
    TRLPen pen;
    pen.Color = color_;
    pen.Style = TRLPenStyle::Solid;
    pen.Mode = TRLPenMode::Copy;
    pen.Width = 1;
    surface.SetPen(pen);
    surface.SetBrush(TRLBrush{color_, TRLBrushStyle::Solid});
    const int w = width_;
    if (CanDrawLeft())
        surface.Rectangle(r.Left, r.Top, r.Left + w, r.Bottom);
    if (CanDrawTop())
        surface.Rectangle(r.Left, r.Top, r.Right, r.Top + w);
    if (CanDrawRight())
        surface.Rectangle(r.Right - w, r.Top, r.Right, r.Bottom);
    if (CanDrawBottom())
        surface.Rectangle(r.Left, r.Bottom - w, r.Right, r.Bottom);
}

TRLRect TRLBorders::Shrink(const TRLRect& r, int delta) const {
    TRLRect s = r;
    const int w = width_ + delta;
    if (CanDrawLeft())
        s.Left += w;
    if (CanDrawTop())
        s.Top += w;
    if (CanDrawRight())
        s.Right -= w;
    if (CanDrawBottom())
        s.Bottom -= w;
    return s;
}

void TRLBorders::Assign(const TRLBorders& source) {
    // Every setting, and so every one added later; the owner stays this frame's control.
    TRLCustomControl* const owner = owner_;
    *this = source;
    owner_ = owner;
    Changed();
}

// ---- TRLMargins ------------------------------------------------------------------------------

#define RL_MARGIN(Name, field)                                                                     \
    void TRLMargins::Set##Name(double v) {                                                         \
        if (v == field)                                                                            \
            return;                                                                                \
        field = v;                                                                                 \
        Changed();                                                                                 \
    }
RL_MARGIN(LeftMargin, left_)
RL_MARGIN(TopMargin, top_)
RL_MARGIN(RightMargin, right_)
RL_MARGIN(BottomMargin, bottom_)
#undef RL_MARGIN

void TRLMargins::SetDefaults(double left, double top, double right, double bottom) {
    left_ = defLeft_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
    Changed();
}

TRLRect TRLMargins::Pixels() const {
    return pixels_;
}

void TRLMargins::Assign(const TRLMargins& source) {
    left_ = source.left_;
    top_ = source.top_;
    right_ = source.right_;
    bottom_ = source.bottom_;
    Changed();
}

void TRLMargins::Changed() {
    pixels_ = {MillimetersToPixels(left_), MillimetersToPixels(top_), MillimetersToPixels(right_),
               MillimetersToPixels(bottom_)};
    if (!owner_ || owner_->Loading())
        return;
    owner_->AdjustBounds();
    if (auto* site = ControlCast<TRLCustomSite>(owner_))
        site->AlignControls();
}

} // namespace Kelmora
