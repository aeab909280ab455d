// A page split for drawing before its run has ended: what names a setting of the whole run
// ("Página 3 de {LastPageNumber}") waits, with whatever overlaps it, and the rest can be drawn at
// once.
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace Kelmora {

namespace {

// Areas in page pixels, wide enough for any sum of a page's coordinates and margins.
struct TArea {
    long long Left;
    long long Top;
    long long Right;
    long long Bottom;

    static TArea Everywhere() {
        constexpr long long far = std::numeric_limits<int32_t>::max() * 4LL;
        return {-far, -far, far, far};
    }
    static TArea Of(const TRLRect& r) {
        return {std::min<long long>(r.Left, r.Right), std::min<long long>(r.Top, r.Bottom),
                std::max<long long>(r.Left, r.Right), std::max<long long>(r.Top, r.Bottom)};
    }
    void Add(const TRLPoint& p) {
        Left = std::min<long long>(Left, p.X);
        Top = std::min<long long>(Top, p.Y);
        Right = std::max<long long>(Right, p.X);
        Bottom = std::max<long long>(Bottom, p.Y);
    }
    void Grow(long long across, long long down) {
        Left -= across;
        Right += across;
        Top -= down;
        Bottom += down;
    }
    TArea Within(const TArea& clip) const {
        return {std::max(Left, clip.Left), std::max(Top, clip.Top), std::min(Right, clip.Right),
                std::min(Bottom, clip.Bottom)};
    }
    bool Empty() const { return Left >= Right || Top >= Bottom; }
    bool Meets(const TArea& other) const {
        return !Empty() && !other.Empty() && Left < other.Right && other.Left < Right &&
               Top < other.Bottom && other.Top < Bottom;
    }
};

// Room around an object's geometry for what its drawing adds: half a wide pen, a rounded
// pixel, a glyph's ink past its cell.
constexpr long long kSlack = 4;

long long PenReach(const TRLMetaPen& pen) {
    return kSlack + std::clamp<long long>(pen.Width, 0, std::numeric_limits<int32_t>::max());
}

// The points a shape is drawn through, with room for its pen.
template <class Shape> void AddPoints(TArea& area, const Shape& shape) {
    for (const TRLPoint& p : shape.Points)
        area.Add(p);
    area.Grow(PenReach(shape.Pen), PenReach(shape.Pen));
}

// Where an object may leave ink, before its clip: its bounds and the points it is drawn through,
// with room for its pen. A text that is not cut to its rectangle may run past it on either side,
// and its glyphs reach above and below their line.
TArea InkArea(const TRLGraphicObject& object) {
    TArea area = TArea::Of(object.BoundsRect);
    switch (object.Kind()) {
    case TRLObjectKind::Line: {
        const auto& line = static_cast<const TRLLineObject&>(object);
        area.Add(line.FromPoint);
        area.Add(line.ToPoint);
        area.Grow(PenReach(line.Pen), PenReach(line.Pen));
        break;
    }
    case TRLObjectKind::Polygon:
        AddPoints(area, static_cast<const TRLPolygonObject&>(object));
        break;
    case TRLObjectKind::Polyline:
        AddPoints(area, static_cast<const TRLPolylineObject&>(object));
        break;
    case TRLObjectKind::Rectangle:
        area.Grow(PenReach(static_cast<const TRLRectangleObject&>(object).Pen),
                  PenReach(static_cast<const TRLRectangleObject&>(object).Pen));
        break;
    case TRLObjectKind::Ellipse:
        area.Grow(PenReach(static_cast<const TRLEllipseObject&>(object).Pen),
                  PenReach(static_cast<const TRLEllipseObject&>(object).Pen));
        break;
    case TRLObjectKind::Text: {
        const auto& text = static_cast<const TRLTextObject&>(object);
        area.Add(text.Origin);
        // Points at up to 2.5 pixels each, twice over for ink above and below the line.
        const long long size =
            std::min<long long>(std::abs(static_cast<long long>(text.Font.Size)), 1 << 20);
        area.Grow(kSlack, 5 * size + kSlack);
        if ((text.TextFlags & MetaTextFlagNoClipping) != 0) {
            area.Left = TArea::Everywhere().Left;
            area.Right = TArea::Everywhere().Right;
        }
        break;
    }
    default:
        area.Grow(kSlack, kSlack);
        break;
    }
    return area;
}

// Whether a text names a setting that neither the page nor anything before the run's end knows:
// any name in braces the page does not set itself, as the page's expansion reads them.
bool NamesARunSetting(const QString& text, const TRLMacroList& pageSettings) {
    qsizetype open = text.indexOf(QLatin1Char('{'));
    while (open >= 0) {
        const qsizetype close = text.indexOf(QLatin1Char('}'), open + 1);
        if (close < 0)
            return false;
        if (!pageSettings.Contains(text.mid(open + 1, close - open - 1)))
            return true;
        open = text.indexOf(QLatin1Char('{'), close + 1);
    }
    return false;
}

// Past this many late areas, whatever follows waits too: a page of hundreds of late texts gains
// nothing from the split, and comparing each object with each would grow with their square.
constexpr size_t kMostLateAreas = 64;

} // namespace

std::vector<bool> TRLGraphicSurface::LateObjects() const {
    std::vector<bool> late;
    std::vector<TArea> lateAreas;
    // The clip each object is drawn under, as painting follows it: set replaces, reset goes back.
    TArea clip = TArea::Everywhere();
    std::vector<TArea> clips;
    for (size_t i = 0; i < objects_.size(); ++i) {
        const TRLGraphicObject& object = *objects_[i];
        const TRLObjectKind kind = object.Kind();
        if (kind == TRLObjectKind::SetClipRect) {
            clips.push_back(clip);
            // A clip of no width or height is no clip at all when drawn (CanvasSetClipRect).
            const TRLRect& r = object.BoundsRect;
            clip = r.Right == r.Left || r.Bottom == r.Top ? TArea::Everywhere() : TArea::Of(r);
            continue;
        }
        if (kind == TRLObjectKind::ResetClipRect) {
            if (!clips.empty()) {
                clip = clips.back();
                clips.pop_back();
            }
            continue;
        }
        const bool named =
            kind == TRLObjectKind::Text &&
            NamesARunSetting(static_cast<const TRLTextObject&>(object).Text, macros_);
        if (!named && lateAreas.empty())
            continue;
        const TArea area = InkArea(object).Within(clip);
        const bool overlaps =
            named || lateAreas.size() >= kMostLateAreas ||
            std::any_of(lateAreas.begin(), lateAreas.end(),
                        [&area](const TArea& other) { return area.Meets(other); });
        if (!overlaps)
            continue;
        if (late.empty())
            late.resize(objects_.size(), false);
        late[i] = true;
        if (lateAreas.size() < kMostLateAreas)
            lateAreas.push_back(area);
    }
    return late;
}

std::shared_ptr<TRLGraphicSurface>
TRLGraphicSurface::PartOf(const std::vector<bool>& objects) const {
    auto part = std::make_shared<TRLGraphicSurface>();
    part->width_ = width_;
    part->height_ = height_;
    part->macros_ = macros_;
    part->margins_ = margins_;
    // Each object keeps the clip it was drawn under, and only those clips are copied: a page
    // sets one for every band, and its part of a text or two would otherwise carry them all.
    std::optional<TRLRect> clip;
    std::vector<std::optional<TRLRect>> clips;
    std::optional<TRLRect> partClip;
    for (size_t i = 0; i < objects_.size(); ++i) {
        const TRLGraphicObject& object = *objects_[i];
        if (object.Kind() == TRLObjectKind::SetClipRect) {
            clips.push_back(clip);
            clip = object.BoundsRect;
            continue;
        }
        if (object.Kind() == TRLObjectKind::ResetClipRect) {
            if (!clips.empty()) {
                clip = clips.back();
                clips.pop_back();
            }
            continue;
        }
        if (i >= objects.size() || !objects[i])
            continue;
        if (clip != partClip) {
            if (partClip)
                part->ResetClipRect();
            if (clip)
                part->SetClipRect(*clip);
            partClip = clip;
        }
        object.Clone(*part);
    }
    return part;
}

} // namespace Kelmora
