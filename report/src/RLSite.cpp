#include <kelmora/report/RLSite.h>

#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLUtils.h>

#include <QPainter>
#include <QScopedValueRollback>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>

namespace Kelmora {

namespace {

// The order in which the align lists are laid out: the outermost kinds first.
constexpr std::array<TRLControlAlign, 27> AlignOrder{
    faLeftMost,     faRightMost,  faTop,         faBottom,     faLeft,       faRight,
    faClient,       faLeftTop,    faRightTop,    faClientTop,  faLeftBottom, faRightBottom,
    faClientBottom, faClientLeft, faClientRight, faLeftOnly,   faRightOnly,  faTopOnly,
    faBottomOnly,   faHeight,     faWidth,       faCenterLeft, faCenterTop,  faCenterRight,
    faCenterBottom, faCenter,     faNone};

enum class SortKey {
    ByLeft,
    ByLeftReverse,
    ByTop,
    ByTopReverse,
    LeftThenTop,
    RightThenTop,
    LeftThenBottom,
    RightThenBottom,
    None
};

SortKey SortKeyOf(TRLControlAlign align) {
    switch (align) {
    case faLeft:
    case faLeftMost:
    case faClient:
    case faClientLeft:
    case faLeftOnly:
    case faCenterLeft:
    case faHeight:
    case faCenter:
        return SortKey::ByLeft;
    case faRight:
    case faRightMost:
    case faClientRight:
    case faRightOnly:
    case faCenterRight:
        return SortKey::ByLeftReverse;
    case faTop:
    case faClientTop:
    case faTopOnly:
    case faCenterTop:
    case faWidth:
        return SortKey::ByTop;
    case faBottom:
    case faClientBottom:
    case faBottomOnly:
    case faCenterBottom:
        return SortKey::ByTopReverse;
    case faLeftTop:
        return SortKey::LeftThenTop;
    case faRightTop:
        return SortKey::RightThenTop;
    case faLeftBottom:
        return SortKey::LeftThenBottom;
    case faRightBottom:
        return SortKey::RightThenBottom;
    default:
        return SortKey::None;
    }
}

bool PositionBefore(SortKey key, const TRLCustomControl* a, const TRLCustomControl* b) {
    switch (key) {
    case SortKey::ByLeft:
        return a->Left() < b->Left();
    case SortKey::ByLeftReverse:
        return a->Left() > b->Left();
    case SortKey::ByTop:
        return a->Top() < b->Top();
    case SortKey::ByTopReverse:
        return a->Top() > b->Top();
    case SortKey::LeftThenTop:
        return a->Left() != b->Left() ? a->Left() < b->Left() : a->Top() < b->Top();
    case SortKey::RightThenTop:
        return a->Left() != b->Left() ? a->Left() > b->Left() : a->Top() < b->Top();
    case SortKey::LeftThenBottom:
        return a->Left() != b->Left() ? a->Left() < b->Left() : a->Top() > b->Top();
    case SortKey::RightThenBottom:
        return a->Left() != b->Left() ? a->Left() > b->Left() : a->Top() > b->Top();
    case SortKey::None:
        break;
    }
    return false;
}

void Place(TRLCustomControl* c, int left, int top, int width, int height) {
    c->SetBounds(left, top, width, height);
}

using ControlList = std::vector<TRLCustomControl*>;

// faLeft, faRight, faTop, faBottom (and the -Most kinds): one after the other against a side of
// the free area, each taking the full other extent; the free area shrinks by what they take.
void StackAlongSide(TRLControlAlign align, const ControlList& list, TRLRect& free) {
    for (TRLCustomControl* c : list) {
        switch (align) {
        case faLeft:
        case faLeftMost: {
            const int w = c->Width();
            Place(c, free.Left, free.Top, w, HeightOfRect(free));
            free.Left += w;
            break;
        }
        case faRight:
        case faRightMost: {
            const int w = c->Width();
            Place(c, free.Right - w, free.Top, w, HeightOfRect(free));
            free.Right -= w;
            break;
        }
        case faTop:
            Place(c, free.Left, free.Top, WidthOfRect(free), c->Height());
            free.Top += c->Height();
            break;
        default: // faBottom
            Place(c, free.Left, free.Bottom - c->Height(), WidthOfRect(free), c->Height());
            free.Bottom -= c->Height();
            break;
        }
    }
}

// faLeftTop, faRightTop, faLeftBottom, faRightBottom: a row in a corner at the controls' own
// size, leaving the free area as it is.
void RowInCorner(TRLControlAlign align, const ControlList& list, const TRLRect& free) {
    const bool fromLeft = align == faLeftTop || align == faLeftBottom;
    const bool atTop = align == faLeftTop || align == faRightTop;
    int x = fromLeft ? free.Left : free.Right;
    for (TRLCustomControl* c : list) {
        if (!fromLeft)
            x -= c->Width();
        Place(c, x, atTop ? free.Top : free.Bottom - c->Height(), c->Width(), c->Height());
        if (fromLeft)
            x += c->Width();
    }
}

// faClient and faClient{Top,Bottom,Left,Right}: the free width (or height) in equal shares, the
// last control taking what the division leaves over. faClient fills the whole height; the
// others keep their own height (width) and take the tallest (widest) off the free area.
void ShareFreeSpace(TRLControlAlign align, const ControlList& list, TRLRect& free) {
    const int n = static_cast<int>(list.size());
    const bool across = align != faClientLeft && align != faClientRight;
    const int share = (across ? WidthOfRect(free) : HeightOfRect(free)) / n;
    const int fh = HeightOfRect(free);
    int deepest = 0;
    for (int i = 0; i < n; ++i) {
        TRLCustomControl* c = list[i];
        const int start = (across ? free.Left : free.Top) + i * share;
        const int extent = i == n - 1 ? (across ? free.Right : free.Bottom) - start : share;
        const int h = c->Height();
        const int w = c->Width();
        switch (align) {
        case faClient:
            Place(c, start, free.Top, extent, fh);
            break;
        case faClientTop:
            Place(c, start, free.Top, extent, h);
            break;
        case faClientBottom:
            Place(c, start, free.Bottom - h, extent, h);
            break;
        case faClientLeft:
            Place(c, free.Left, start, w, extent);
            break;
        default: // faClientRight
            Place(c, free.Right - w, start, w, extent);
            break;
        }
        deepest = std::max(deepest, across ? h : w);
    }
    if (align == faClientTop)
        free.Top += deepest;
    else if (align == faClientBottom)
        free.Bottom -= deepest;
    else if (align == faClientLeft)
        free.Left += deepest;
    else if (align == faClientRight)
        free.Right -= deepest;
}

// fa{Left,Right,Top,Bottom}Only move a control against one side of the free area; faHeight and
// faWidth stretch it over the free height (width). The other coordinates stay.
void MoveToSide(TRLControlAlign align, const ControlList& list, const TRLRect& free) {
    for (TRLCustomControl* c : list) {
        int left = c->Left(), top = c->Top(), width = c->Width(), height = c->Height();
        switch (align) {
        case faLeftOnly:
            left = free.Left;
            break;
        case faRightOnly:
            left = free.Right - width;
            break;
        case faTopOnly:
            top = free.Top;
            break;
        case faBottomOnly:
            top = free.Bottom - height;
            break;
        case faHeight:
            top = free.Top;
            height = HeightOfRect(free);
            break;
        default: // faWidth
            left = free.Left;
            width = WidthOfRect(free);
            break;
        }
        Place(c, left, top, width, height);
    }
}

// faCenter{Left,Right} centre each control in an equal share of the free height against a
// side, faCenter{Top,Bottom} likewise across; faCenter centres the row of controls as a whole.
void Center(TRLControlAlign align, const ControlList& list, const TRLRect& free) {
    const int n = static_cast<int>(list.size());
    if (align == faCenter) {
        int totalW = 0;
        int totalH = 0;
        for (TRLCustomControl* c : list) {
            totalW += c->Width();
            totalH += c->Height();
        }
        int x = (free.Left + free.Right - totalW) / 2;
        const int y = (free.Top + free.Bottom - totalH) / 2;
        for (TRLCustomControl* c : list) {
            Place(c, x, y, c->Width(), c->Height());
            x += c->Width();
        }
        return;
    }
    const bool down = align == faCenterLeft || align == faCenterRight;
    const int share = (down ? HeightOfRect(free) : WidthOfRect(free)) / n;
    for (int i = 0; i < n; ++i) {
        TRLCustomControl* c = list[i];
        if (down) {
            const int top = free.Top + i * share + (share - c->Height()) / 2;
            const int left = align == faCenterLeft ? free.Left : free.Right - c->Width();
            Place(c, left, top, c->Width(), c->Height());
        } else {
            const int left = free.Left + i * share + (share - c->Width()) / 2;
            const int top = align == faCenterTop ? free.Top : free.Bottom - c->Height();
            Place(c, left, top, c->Width(), c->Height());
        }
    }
}

} // namespace

// ---- TRLBackground ---------------------------------------------------------------------------

void TRLBackground::SetPicture(const QImage& picture) {
    picture_ = picture;
    reduced_ = QImage();
    if (autoSize_ && !picture.isNull()) {
        width_ = picture.width();
        height_ = picture.height();
    }
}

namespace {

// Tiles are recorded one by one up to this many in view; past it one picture holds them all, so
// that a small picture repeated over a large band stays a handful of objects.
constexpr qint64 kMaxSeparateTiles = 64;
// The largest picture a background prepares for its tiles (64 MB in memory), about sixteen
// pages' worth: a site nested in a band as tall as a million pixels would otherwise ask for
// gigabytes.
constexpr qint64 kMaxTiledPixels = 16LL * 1024 * 1024;

bool IsEmptyRect(const TRLRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

TRLRect IntersectRects(const TRLRect& a, const TRLRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

// The part of rect that can appear: within the clip the caller set, such as the slice of a band
// that goes on this page, and within the page when the surface is one (onPage).
TRLRect VisiblePart(const TRLGraphicSurface& surface, const TRLRect& rect, bool onPage) {
    TRLRect visible = rect;
    if (onPage && surface.Width() > 0 && surface.Height() > 0)
        visible = IntersectRects(visible, {0, 0, surface.Width(), surface.Height()});
    if (TRLRect clip; surface.ClipRect(clip))
        visible = IntersectRects(visible, clip);
    return visible;
}

// One colour all over, without transparency: tiles of it are the picture stretched.
bool IsUniform(const QImage& image) {
    if (image.hasAlphaChannel())
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb first = rgb.pixel(0, 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (line[x] != first)
                return false;
    }
    return true;
}

QString PixelCount(qint64 width, qint64 height) {
    return QStringLiteral("%1 x %2 pixels").arg(width).arg(height);
}

} // namespace

void TRLBackground::Record(TRLGraphicSurface& surface, const TRLRect& rect, bool onPage) const {
    if (picture_.isNull())
        return;
    const int w = autoSize_ ? picture_.width() : width_;
    const int h = autoSize_ ? picture_.height() : height_;
    if (w <= 0 || h <= 0)
        return;
    const TRLRect visible = VisiblePart(surface, rect, onPage);
    if (IsEmptyRect(visible))
        return;
    if (stretch_ || arrange_ == baDistributed) {
        surface.StretchDraw(rect, PictureFor(rect));
        return;
    }
    if (arrange_ == baSidebySide) {
        RecordTiles(surface, rect, visible, w, h);
        return;
    }
    int x = rect.Left;
    int y = rect.Top;
    if (arrange_ == baCenter || align_ == faCenter) {
        x = (rect.Left + rect.Right - w) / 2;
        y = (rect.Top + rect.Bottom - h) / 2;
    } else {
        if (align_ == faRight || align_ == faRightTop || align_ == faRightBottom ||
            align_ == faRightMost || align_ == faRightOnly)
            x = rect.Right - w;
        if (align_ == faBottom || align_ == faLeftBottom || align_ == faRightBottom ||
            align_ == faBottomOnly)
            y = rect.Bottom - h;
    }
    const TRLRect placed{x, y, x + w, y + h};
    const TRLRect shown = IntersectRects(placed, visible);
    if (IsEmptyRect(shown))
        return;
    surface.SetClipRect(visible);
    if (picture_.size() == QSize(w, h))
        // At its own size only the part in view is recorded, on every record that shows it.
        surface.StretchDraw(shown, picture_.copy(shown.Left - x, shown.Top - y, WidthOfRect(shown),
                                                 HeightOfRect(shown)));
    else
        surface.StretchDraw(placed, PictureFor(placed));
    surface.ResetClipRect();
}

const QImage& TRLBackground::PictureFor(const TRLRect& box) const {
    // Eight pixels a report pixel are enough for any printer.
    constexpr qint64 most = 8;
    const QSize limit(static_cast<int>(std::clamp<qint64>(most * WidthOfRect(box), 1, INT_MAX)),
                      static_cast<int>(std::clamp<qint64>(most * HeightOfRect(box), 1, INT_MAX)));
    if (picture_.width() <= limit.width() && picture_.height() <= limit.height())
        return picture_;
    if (reduced_.isNull() || reducedFor_ != limit) {
        reduced_ = picture_.scaled(std::min(limit.width(), picture_.width()),
                                   std::min(limit.height(), picture_.height()),
                                   Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        reducedFor_ = limit;
    }
    return reduced_;
}

void TRLBackground::RecordTiles(TRLGraphicSurface& surface, const TRLRect& rect,
                                const TRLRect& visible, int w, int h) const {
    // Tiles run from the rectangle's top-left corner; only those that reach into view count.
    const qint64 firstColumn = (qint64(visible.Left) - rect.Left) / w;
    const qint64 endColumn = (qint64(visible.Right) - rect.Left + w - 1) / w;
    const qint64 firstRow = (qint64(visible.Top) - rect.Top) / h;
    const qint64 endRow = (qint64(visible.Bottom) - rect.Top + h - 1) / h;
    if ((endColumn - firstColumn) * (endRow - firstRow) <= kMaxSeparateTiles) {
        surface.SetClipRect(visible);
        for (qint64 row = firstRow; row < endRow; ++row)
            for (qint64 column = firstColumn; column < endColumn; ++column) {
                const int x = rect.Left + static_cast<int>(column * w);
                const int y = rect.Top + static_cast<int>(row * h);
                surface.StretchDraw({x, y, x + w, y + h}, picture_);
            }
        surface.ResetClipRect();
        return;
    }
    const QString name = owner_ ? owner_->Name() : QString();
    if (IsUniform(picture_)) {
        // Any number of tiles of one colour is that colour: one stretched picture.
        surface.StretchDraw(visible, picture_);
        return;
    }
    const qint64 width = WidthOfRect(visible);
    const qint64 height = HeightOfRect(visible);
    if (width * height > kMaxTiledPixels || qint64(w) * h > kMaxTiledPixels)
        throw TRLException(
            QStringLiteral("%1.Background: the picture of %2 tiled over %3 would take more "
                           "than %4 pixels")
                .arg(name, PixelCount(w, h), PixelCount(width, height))
                .arg(kMaxTiledPixels));
    const QImage tile =
        picture_.size() == QSize(w, h) ? picture_ : picture_.scaled(w, h, Qt::IgnoreAspectRatio);
    QImage tiled(static_cast<int>(width), static_cast<int>(height),
                 tile.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                        : QImage::Format_RGB32);
    if (tiled.isNull())
        throw TRLException(QStringLiteral("%1.Background: no memory for tiles over %2")
                               .arg(name, PixelCount(width, height)));
    tiled.fill(Qt::transparent);
    {
        QPainter painter(&tiled);
        painter.setBrushOrigin(static_cast<int>(-((qint64(visible.Left) - rect.Left) % w)),
                               static_cast<int>(-((qint64(visible.Top) - rect.Top) % h)));
        painter.fillRect(tiled.rect(), QBrush(tile));
    }
    surface.Draw(visible.Left, visible.Top, tiled);
}

// ---- TRLDegradeEffect ------------------------------------------------------------------------

bool TRLDegradeEffect::Applies(const QColor& color) const {
    return direction_ != ddNone && oppositeColor_.rgb() != color.rgb();
}

void TRLDegradeEffect::Record(TRLGraphicSurface& surface, const TRLRect& rect, const QColor& color,
                              bool onPage) const {
    const bool horizontal = direction_ == ddHorizontal;
    const int size = horizontal ? WidthOfRect(rect) : HeightOfRect(rect);
    const TRLRect visible = VisiblePart(surface, rect, onPage);
    if (size <= 0 || IsEmptyRect(visible))
        return;
    const qint64 g = granularity_; // any int: sums below are taken in 64 bits
    const qint64 steps = (size + g - 1) / g;
    auto mix = [](int c1, int c2, double t) {
        return std::clamp(c1 - RoundHalfEven(c1 * t) + RoundHalfEven(c2 * t), 0, 255);
    };
    auto colourOf = [&](qint64 i) {
        const double t = double(i) / steps;
        return QColor(mix(color.red(), oppositeColor_.red(), t),
                      mix(color.green(), oppositeColor_.green(), t),
                      mix(color.blue(), oppositeColor_.blue(), t));
    };
    // Only the strips in view are recorded, and neighbours of one colour as one: a gradient
    // takes at most one strip per colour step, however fine its granularity or long its band.
    const int origin = horizontal ? rect.Left : rect.Top;
    const int viewFrom = (horizontal ? visible.Left : visible.Top) - origin;
    const int viewTo = (horizontal ? visible.Right : visible.Bottom) - origin;
    auto fill = [&](qint64 from, qint64 to, const QColor& c) {
        const int stripFrom = origin + static_cast<int>(std::max<qint64>(from, viewFrom));
        const int stripTo = origin + static_cast<int>(std::min<qint64>(to, viewTo));
        TRLRect strip = visible;
        if (horizontal) {
            strip.Left = stripFrom;
            strip.Right = stripTo;
        } else {
            strip.Top = stripFrom;
            strip.Bottom = stripTo;
        }
        surface.SetBrush(TRLBrush{c, TRLBrushStyle::Solid});
        surface.FillRect(strip);
    };
    const qint64 first = viewFrom / g;
    const qint64 end = std::min(steps, (viewTo + g - 1) / g);
    qint64 runFrom = first * g;
    QColor runColour = colourOf(first);
    for (qint64 i = first + 1; i < end; ++i) {
        const QColor c = colourOf(i);
        if (c.rgb() == runColour.rgb())
            continue;
        fill(runFrom, i * g, runColour);
        runFrom = i * g;
        runColour = c;
    }
    fill(runFrom, std::min<qint64>(end * g, size), runColour);
}

// ---- TRLCustomSite ---------------------------------------------------------------------------

TRLCustomSite::TRLCustomSite(TRLCustomControl* parent)
    : TRLCustomControl(parent), surface_(std::make_unique<TRLGraphicSurface>()) {
    JoinFamily(TRLControlFamily::Site);
}

TRLCustomSite::~TRLCustomSite() = default;

TRLRect TRLCustomSite::FrameMargins() const {
    const TRLRect outer{0, 0, Width(), Height()};
    const TRLRect inner = ClientRect();
    return {inner.Left - outer.Left, inner.Top - outer.Top, outer.Right - inner.Right,
            outer.Bottom - inner.Bottom};
}

TRLRect TRLCustomSite::ClientRect() const {
    TRLRect r = ShrinkRect({0, 0, Width(), Height()}, margins_.Pixels());
    r = Borders().Shrink(r);
    return ShrinkRect(r, insideMargins_.Pixels());
}

TRLRect TRLCustomSite::CalcPrintBoundsRect() {
    return PrintRect();
}

bool TRLCustomSite::CanPrint() {
    if (Printing())
        return false;
    SetPrintVisible(Visible() && ApplyPropertyExpressions());
    if (!PrintVisible())
        return false;
    bool printIt = true;
    emit BeforePrint(*this, printIt);
    SetPrintVisible(printIt);
    return printIt;
}

void TRLCustomSite::Print() {
    OpenSurface();
    CloseSurface();
    for (const auto& [control, top] : std::exchange(moved_, {}))
        if (control)
            control->SetTop(top);
}

bool TRLCustomSite::SurfaceIsOpen() const {
    return surface_->Opened();
}

void TRLCustomSite::ComputePrintRect() {
    const TRLRect r = AbsoluteBounds();
    printLeft_ = r.Left;
    printTop_ = r.Top;
    printWidth_ = Width();
    printHeight_ = Height();
}

void TRLCustomSite::OpenSurface() {
    if (surface_->Opened())
        return;
    if (TRLCustomSite* parent = ParentSite(); parent && !parent->SurfaceIsOpen())
        parent->OpenSurface();
    SurfaceOpening();
    ComputePrintRect();
    surface_->Open();
    surface_->Clear();
    surface_->SetWidth(printWidth_);
    surface_->SetHeight(printHeight_);
    surface_->SetMargins(ClientRect());
    AdjustChildren();
    PrintChildren();
    SurfaceOpened();
}

void TRLCustomSite::CloseSurface() {
    if (!surface_->Opened())
        return;
    SurfaceClosing();
    TransferSurface();
    surface_->Close();
    SurfaceClosed();
}

void TRLCustomSite::TransferSurface() {
    TRLGraphicSurface& target = RequestParentSurface();
    const TRLRect rect = PrintRect();
    DrawFrame(target, rect);
    target.Draw(rect.Left, rect.Top, *surface_);
}

void TRLCustomSite::DrawFrame(TRLGraphicSurface& target, const TRLRect& rect) {
    BeginRecording(target);
    // The root report's own surface lies on the page as it is, and so does the page the report
    // draws its frame onto. A group's surface does not: its bands run on past the group's own
    // size, and it goes wherever the group prints.
    const TRLCustomControl* top = this;
    while (top->Parent())
        top = top->Parent();
    const auto* root = ControlCast<TRLCustomReport>(top);
    const bool onPage = root && (root == this || &target == &root->Surface());
    if (degrade_.Applies(Color()))
        degrade_.Record(target, rect, Color(), onPage);
    else if (!Transparent()) {
        target.SetBrush(TRLBrush{Color(), TRLBrushStyle::Solid});
        target.FillRect(rect);
    }
    const TRLRect inner = ShrinkRect(rect, margins_.Pixels());
    background_.Record(target, inner, onPage);
    Borders().Record(target, inner);
}

namespace {

void AdjustPass(TRLCustomControl& parent) {
    for (TRLCustomControl* c : parent.Controls())
        if (!ControlCast<TRLCustomSite>(c) && c->CanPrint()) {
            c->AdjustBounds();
            AdjustPass(*c);
        }
}

void PrintPass(TRLCustomControl& parent) {
    for (TRLCustomControl* c : parent.Controls())
        if (!ControlCast<TRLCustomSite>(c) && c->PrintVisible()) {
            c->DoPrint();
            c->DoAfterPrint();
            PrintPass(*c);
        }
}

} // namespace

void TRLCustomSite::AdjustChildren() {
    AdjustPass(*this);
    MoveControlsBelowGrownOnes();
    ExpandOverExpanders();
}

namespace {

bool Grown(const TRLCustomControl& c) {
    const int reserved = c.ReservedHeight();
    return reserved > 0 && c.Height() > reserved;
}

} // namespace

void TRLCustomSite::MoveControlsBelowGrownOnes() {
    if (!CanAutoExpand())
        return;
    std::vector<TRLCustomControl*> children;
    children.reserve(Controls().size());
    for (TRLCustomControl* c : Controls())
        if (!ControlCast<TRLCustomSite>(c) && c->PrintVisible() && c->Align() == faNone)
            children.push_back(c);
    // Most bands of most records have no control that grew: nothing to sort then.
    if (std::none_of(children.begin(), children.end(),
                     [](const TRLCustomControl* c) { return Grown(*c); }))
        return;
    // Top to bottom: a control moved by one above it makes its own room below its new place.
    std::stable_sort(
        children.begin(), children.end(),
        [](const TRLCustomControl* a, const TRLCustomControl* b) { return a->Top() < b->Top(); });
    auto move = [this](TRLCustomControl* c, int dy) {
        if (std::none_of(moved_.begin(), moved_.end(), [c](const auto& m) { return m.first == c; }))
            moved_.emplace_back(c, c->Top());
        c->SetTop(c->Top() + dy);
    };
    for (const TRLCustomControl* grown : children) {
        if (!Grown(*grown))
            continue;
        const int roomBottom = grown->Top() + grown->ReservedHeight();
        std::vector<TRLCustomControl*> below;
        int nearest = INT_MAX;
        for (TRLCustomControl* c : children)
            if (c != grown && c->Top() >= roomBottom) {
                below.push_back(c);
                nearest = std::min(nearest, c->Top());
            }
        // A rule drawn under a field's line (it starts in the field's room, across it, and
        // reaches below the room but not into the next row) stays under the field's last line.
        int bottom = grown->Top() + grown->Height();
        for (TRLCustomControl* c : children) {
            const TRLRect r = c->BoundsRect();
            if (c != grown && r.Top >= grown->Top() && r.Top < roomBottom &&
                r.Bottom > roomBottom && r.Bottom <= nearest &&
                r.Left < grown->Left() + grown->Width() && grown->Left() < r.Right) {
                move(c, grown->Height() - grown->ReservedHeight());
                bottom = std::max(bottom, c->Top() + c->Height());
            }
        }
        const int overlap = bottom - nearest;
        if (below.empty() || overlap <= 0)
            continue;
        for (TRLCustomControl* c : below)
            move(c, overlap);
    }
}

void TRLCustomSite::ExpandOverExpanders() {
    // Growth normally reaches the site as a change of the child's height. A child that is
    // already taller than the site holds (a memo whose text came with the layout settles to
    // its size while the layout loads, and the site keeps its stored height then) has no
    // change left to report: the site takes it in here, so that no line is cut off.
    if (!CanAutoExpand() || AlignGivesHeight(Align()) || !(AutoSizeDirection() & asHeightDir))
        return;
    int lowest = 0;
    std::function<void(const TRLCustomControl&)> visit = [&](const TRLCustomControl& parent) {
        for (const TRLCustomControl* c : parent.Controls()) {
            if (ControlCast<TRLCustomSite>(c) || !c->PrintVisible())
                continue;
            const bool moved = std::any_of(moved_.begin(), moved_.end(),
                                           [c](const auto& m) { return m.first == c; });
            if ((c->Behavior().Contains(beSiteExpander) || Grown(*c) || moved) &&
                !AlignGivesHeight(c->Align()))
                lowest = std::max(lowest, c->AbsoluteBounds().Bottom);
            visit(*c);
        }
    };
    visit(*this);
    const int overflow = lowest - ClientRect().Bottom;
    if (overflow > 0)
        SetHeight(Height() + overflow);
}

void TRLCustomSite::PrintChildren() {
    PrintPass(*this);
    if (PrintsChildSites())
        for (TRLCustomControl* c : std::vector<TRLCustomControl*>(Controls()))
            if (ControlCast<TRLCustomSite>(c) && c->CanPrint()) {
                c->DoPrint();
                c->DoAfterPrint();
            }
}

void TRLCustomSite::BoundsChanged() {
    printWidth_ = Width();
    printHeight_ = Height();
    AlignControls();
}

void TRLCustomSite::Loaded() {
    TRLCustomControl::Loaded();
    AlignControls();
}

void TRLCustomSite::AlignControls() {
    if (aligning_ || Loading())
        return;
    const QScopedValueRollback<bool> scope(aligning_, true);
    std::array<std::vector<TRLCustomControl*>, faBottomOnly + 1> lists;
    for (TRLCustomControl* c : Controls())
        if (c->Visible())
            lists[c->Align()].push_back(c);
    TRLRect free = ClientRect();
    for (TRLControlAlign align : AlignOrder) {
        auto& list = lists[align];
        if (list.empty())
            continue;
        const SortKey key = SortKeyOf(align);
        std::stable_sort(list.begin(), list.end(),
                         [key](const TRLCustomControl* a, const TRLCustomControl* b) {
                             if (a->AlignPriority() != b->AlignPriority())
                                 return a->AlignPriority() < b->AlignPriority();
                             if (a->AlignGroupIndex() != b->AlignGroupIndex())
                                 return a->AlignGroupIndex() < b->AlignGroupIndex();
                             return PositionBefore(key, a, b);
                         });
        AlignList(align, list, free);
    }
    // Anchored children keep their distances to the sides of the size the site has once the
    // whole layout has loaded: until then a site's size is not final (a band read without a
    // width gets its width from the report only when the report aligns it).
    bool layoutLoading = false;
    for (const TRLCustomControl* p = Parent(); p && !layoutLoading; p = p->Parent())
        layoutLoading = p->Loading();
    if (!layoutLoading)
        anchorSize_ = {Width(), Height()};
    for (TRLCustomControl* c : Controls())
        if (auto* site = ControlCast<TRLCustomSite>(c))
            site->AlignControls();
}

void TRLCustomSite::AlignList(TRLControlAlign align, std::vector<TRLCustomControl*>& list,
                              TRLRect& free) {
    switch (align) {
    case faLeft:
    case faLeftMost:
    case faRight:
    case faRightMost:
    case faTop:
    case faBottom:
        StackAlongSide(align, list, free);
        break;
    case faLeftTop:
    case faRightTop:
    case faLeftBottom:
    case faRightBottom:
        RowInCorner(align, list, free);
        break;
    case faClient:
    case faClientTop:
    case faClientBottom:
    case faClientLeft:
    case faClientRight:
        ShareFreeSpace(align, list, free);
        break;
    case faLeftOnly:
    case faRightOnly:
    case faTopOnly:
    case faBottomOnly:
    case faHeight:
    case faWidth:
        MoveToSide(align, list, free);
        break;
    case faCenterLeft:
    case faCenterRight:
    case faCenterTop:
    case faCenterBottom:
    case faCenter:
        Center(align, list, free);
        break;
    case faNone:
        FollowAnchors(list);
        break;
    }
}

void TRLCustomSite::FollowAnchors(const std::vector<TRLCustomControl*>& list) {
    if (anchorSize_.Width < 0)
        return; // first layout: nothing to follow yet
    const int dw = Width() - anchorSize_.Width;
    const int dh = Height() - anchorSize_.Height;
    if (dw == 0 && dh == 0)
        return;
    for (TRLCustomControl* c : list) {
        const TRLControlAnchors a = c->Anchors();
        int left = c->Left(), top = c->Top(), width = c->Width(), height = c->Height();
        if (a.Contains(fkRight)) {
            if (a.Contains(fkLeft))
                width += dw;
            else
                left += dw;
        }
        if (a.Contains(fkBottom)) {
            if (a.Contains(fkTop))
                height += dh;
            else
                top += dh;
        }
        Place(c, left, top, width, height);
    }
}

} // namespace Kelmora
