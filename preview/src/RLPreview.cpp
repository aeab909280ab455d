#include <kelmora/preview/RLPreview.h>

#include "RLPreviewAccessible.h"
#include "RLTextSearch.h"
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/support/RLCore.h>
#include <kelmora/support/RLMessages.h>

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Kelmora {

namespace {

const QColor kGrey(128, 128, 128);
const QColor kSilver(192, 192, 192);

// A rectangle in the old (left, top, right, bottom) form, right and bottom excluded.
QRect SpanRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Outlines with the pen inside the rectangle and fills the rest with the brush, as the old
// canvas's Rectangle did: QPainter would stroke one pixel past the right and bottom edges.
void OutlineRect(QPainter& painter, const QRect& r) {
    painter.drawRect(r.left(), r.top(), r.width() - 1, r.height() - 1);
}

} // namespace

// ---- TRLPreviewBox ----------------------------------------------------------------------------

TRLPreviewBox::TRLPreviewBox(TRLPreview& preview, int position, QWidget* parent)
    : QWidget(parent), preview_(&preview), position_(position) {
    setGeometry(0, 0, 1, 1);
    setVisible(position == 0);
    setMouseTracking(true);
    // Each box paints all of its area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

std::shared_ptr<TRLGraphicSurface> TRLPreviewBox::Page() const {
    TRLGraphicStorage* pages = preview_->Pages();
    if (!pages || preview_->PageIndex() < 0)
        return nullptr;
    return pages->Pages(preview_->PageIndex() + position_);
}

const TRLGraphicObject* TRLPreviewBox::SelectedObject() const {
    if (!selectedPage_ || selectedIndex_ < 0 || selectedIndex_ >= selectedPage_->ObjectCount())
        return nullptr;
    return &selectedPage_->Object(selectedIndex_);
}

void TRLPreviewBox::ClearSelectedObject() {
    selectedPage_.reset();
    selectedIndex_ = -1;
}

int TRLPreviewBox::ToBox(int pageCoordinate) const {
    return RoundHalfEven(pageCoordinate * (preview_->Zoom() / 100));
}

int TRLPreviewBox::ToPage(int boxCoordinate) const {
    return RoundHalfEven(boxCoordinate / (preview_->Zoom() / 100));
}

void TRLPreviewBox::SelectObjectAt(const QPoint& boxPoint) {
    const auto page = Page();
    int pick = -1;
    if (page) {
        const int x = ToPage(boxPoint.x());
        const int y = ToPage(boxPoint.y());
        int64_t smallest = std::numeric_limits<int64_t>::max();
        for (int i = 0; i < page->ObjectCount(); ++i) {
            const TRLRect& b = page->Object(i).BoundsRect;
            if (x < b.Left || x > b.Right || y < b.Top || y > b.Bottom)
                continue;
            const int64_t area = int64_t(b.Right - b.Left) * int64_t(b.Bottom - b.Top);
            if (area < smallest) {
                smallest = area;
                pick = i;
            }
        }
    }
    const bool samePage = selectedPage_ && page && selectedPage_->PageIndex() == page->PageIndex();
    const bool same = pick < 0 ? selectedIndex_ < 0 : (samePage && selectedIndex_ == pick);
    if (same)
        return;
    if (pick < 0) {
        ClearSelectedObject();
    } else {
        selectedPage_ = page;
        selectedIndex_ = pick;
    }
    update();
}

void TRLPreviewBox::PaintBox(QPainter& painter) const {
    const auto page = Page();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(page ? QColor(Qt::white) : kGrey);
    painter.setPen(QPen(preview_->Active() ? QColor(Qt::black) : kSilver, 1));

    int left = 0, top = 0;
    int right = width() - FrameAndShadow;
    int bottom = height() - FrameAndShadow;
    const QRect rightShadow = SpanRect(right, top + 5, right + 5, bottom + 5);
    const QRect bottomShadow = SpanRect(left + 5, bottom, right, bottom + 5);

    // Whatever the box does not cover (around the shadow) shows the area behind the pages.
    const QColor background = palette().color(QPalette::Window);
    painter.fillRect(SpanRect(right, 0, width(), top + 5), background);
    painter.fillRect(SpanRect(right + 5, 0, width(), height()), background);
    painter.fillRect(SpanRect(0, bottom, left + 5, height()), background);
    painter.fillRect(SpanRect(0, bottom + 5, width(), height()), background);

    if (right > left && bottom > top)
        OutlineRect(painter, SpanRect(left, top, right, bottom));
    ++left, ++top, --right, --bottom;
    if (right > left && bottom > top) {
        if (page) {
            painter.save();
            page->PaintTo(painter, SpanRect(left, top, right, bottom));
            painter.restore();
        } else {
            painter.drawLine(left, top, right, bottom);
            painter.drawLine(right, top, left, bottom);
        }
    }
    painter.fillRect(rightShadow, kGrey);
    painter.fillRect(bottomShadow, kGrey);

    const TRLGraphicObject* selected = SelectedObject();
    if (page && preview_->Editing() && selected && selected->GroupId != 0) {
        std::vector<const TRLGraphicObject*> group;
        for (const auto& object : page->Objects())
            if (object->GroupId == selected->GroupId)
                group.push_back(object.get());
        // A lone object's handles are black; a control drawn as several objects gets silver ones.
        const QColor handleColour = group.size() == 1 ? QColor(Qt::black) : kSilver;
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(handleColour);
        for (const TRLGraphicObject* object : group) {
            const int l = ToBox(object->BoundsRect.Left), t = ToBox(object->BoundsRect.Top);
            const int r = ToBox(object->BoundsRect.Right), b = ToBox(object->BoundsRect.Bottom);
            const QPoint handles[] = {{l, t}, {(l + r) / 2, t}, {r, t}, {r, (t + b) / 2},
                                      {r, b}, {(l + r) / 2, b}, {l, b}, {l, (t + b) / 2}};
            for (const QPoint& h : handles)
                OutlineRect(painter, SpanRect(h.x() - 3, h.y() - 3, h.x() + 3, h.y() + 3));
        }
    }

    if (page && preview_->ShowFound() && page->PageIndex() == preview_->FoundPageIndex() &&
        preview_->FoundObjectIndex() >= 0 && preview_->FoundObjectIndex() < page->ObjectCount()) {
        const TRLRect& b = page->Object(preview_->FoundObjectIndex()).BoundsRect;
        const QRect r =
            SpanRect(ToBox(b.Left) - 3, ToBox(b.Top) - 3, ToBox(b.Right) + 3, ToBox(b.Bottom) + 3);
        // Inverting what lies under the outline keeps it visible on any colour.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        OutlineRect(painter, r);
    }
    painter.restore();
}

void TRLPreviewBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBox(painter);
}

void TRLPreviewBox::mousePressEvent(QMouseEvent* event) {
    event->accept();
    preview_->NotifyEnter();
}

void TRLPreviewBox::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    preview_->ToggleMultiplePages(preview_->PageNumber() + position_);
}

void TRLPreviewBox::mouseMoveEvent(QMouseEvent* event) {
    if (preview_->Editing())
        SelectObjectAt(event->position().toPoint());
}

QString TRLPreviewBox::PageName() const {
    TRLGraphicStorage* pages = preview_->Pages();
    if (isHidden())
        return {};
    // The grey crossed box past the last page.
    if (!pages || preview_->PageIndex() < 0 ||
        preview_->PageIndex() + position_ >= pages->PageCount())
        return RLMessages[mkNoPage];
    return QStringLiteral("%1 %2 %3 %4")
        .arg(RLMessages[mkPage])
        .arg(preview_->PageNumber() + position_)
        .arg(RLMessages[mkOf])
        .arg(pages->FirstPageNumber() + pages->PageCount() - 1);
}

const TRLReadingText& TRLPreviewBox::Reading() const {
    TRLGraphicStorage* pages = preview_->Pages();
    const int index = isHidden() || !pages ? -1 : preview_->PageIndex() + position_;
    if (readingStore_.data() != pages || readingIndex_ != index) {
        const auto page = index >= 0 ? Page() : nullptr;
        reading_ = page ? ReadingText(*page) : TRLReadingText();
        readingStore_ = pages;
        readingIndex_ = index;
    }
    return reading_;
}

QRect TRLPreviewBox::BoxRectOf(const TRLRect& pageRect) const {
    const QRect page(0, 0, width() - FrameAndShadow, height() - FrameAndShadow);
    return QRect(QPoint(ToBox(pageRect.Left), ToBox(pageRect.Top)),
                 QPoint(ToBox(pageRect.Right) - 1, ToBox(pageRect.Bottom) - 1))
        .intersected(page);
}

void TRLPreviewBox::AnnouncePage() {
    if (!QAccessible::isActive())
        return;
    const QString name = PageName();
    if (name != announcedName_) {
        announcedName_ = name;
        QAccessibleEvent renamed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&renamed);
    }
    const QString& text = Reading().Text;
    if (text != announcedText_) {
        QAccessibleTextUpdateEvent changed(this, 0, announcedText_, text);
        announcedText_ = text;
        QAccessible::updateAccessibility(&changed);
    }
    // The texts' places on the screen move with the zoom and the scrolling.
    QAccessibleEvent moved(this, QAccessible::LocationChanged);
    QAccessible::updateAccessibility(&moved);
}

void TRLPreviewBox::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    preview_->ShowContextMenu(*this, event->globalPos());
}

// ---- TRLPreview -------------------------------------------------------------------------------

TRLPreview::TRLPreview(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallPreviewAccessibility();
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(LineStep);
    verticalScrollBar()->setSingleStep(LineStep);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    for (int i = 0; i < MaxPageBoxes; ++i)
        boxes_[i] = new TRLPreviewBox(*this, i, viewport());
    horizontalScrollBar()->setAccessibleName(RLMessages[mkHorizontalScrollBar]);
    verticalScrollBar()->setAccessibleName(RLMessages[mkVerticalScrollBar]);

    menu_ = new QMenu(this);
    copyAction_ = menu_->addAction(RLMessages[mkCopy]);
    copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copyAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // The shortcut also works while the control has the focus, on the box last menu'd (or the
    // first one).
    addAction(copyAction_);
    connect(copyAction_, &QAction::triggered, this,
            [this] { CopyPageToClipboard(std::max(menuBoxPosition_, 0)); });
}

TRLPreview::~TRLPreview() {
    ReleasePages();
}

void TRLPreview::ReleasePages() {
    // The store may free itself here when this was its last link.
    if (TRLGraphicStorage* old = pages_.data()) {
        pages_.clear();
        old->Unlink(this);
    }
}

TRLGraphicStorage* TRLPreview::Pages() const {
    return pages_.data();
}

void TRLPreview::SetPages(TRLGraphicStorage* pages) {
    if (pages != pages_.data()) {
        ReleasePages();
        pages_ = pages;
        if (pages)
            pages->Link(this);
    }
    foundPageIndex_ = -1;
    showFound_ = false;
    ClearSelectedObjects();
    Layout();
    FirstPage();
}

int TRLPreview::PageNumber() const {
    if (!pages_)
        return 0;
    return pages_->FirstPageNumber() + pageIndex_;
}

void TRLPreview::GotoPageIndex(int index) {
    if (!pages_ || index < 0 || index >= pages_->PageCount() || index == pageIndex_)
        return;
    pageIndex_ = index;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    Layout();
}

void TRLPreview::GotoPageNumber(int number) {
    if (!pages_)
        return;
    GotoPageIndex(number - pages_->FirstPageNumber());
}

void TRLPreview::FirstPage() {
    if (pages_)
        GotoPageNumber(pages_->FirstPageNumber());
}

void TRLPreview::LastPage() {
    if (pages_)
        GotoPageNumber(
            std::max(pages_->FirstPageNumber(), pages_->LastPageNumber() + 1 - pageBoxCount_));
}

void TRLPreview::NextPage() {
    if (pages_)
        GotoPageNumber(std::min(pages_->LastPageNumber(), PageNumber() + pageBoxCount_));
}

void TRLPreview::PriorPage() {
    if (pages_)
        GotoPageNumber(std::max(pages_->FirstPageNumber(), PageNumber() - pageBoxCount_));
}

void TRLPreview::SetZoom(double zoom) {
    if (zoom < MinimumZoom || zoom == zoom_)
        return;
    zoom_ = zoom;
    Layout();
}

void TRLPreview::SetPageBoxCount(int count) {
    if (count == pageBoxCount_)
        return;
    pageBoxCount_ = count;
    for (int i = 0; i < MaxPageBoxes; ++i)
        boxes_[i]->setVisible(i < count);
}

void TRLPreview::ChooseMode(int boxCount, double zoom) {
    const int before = pageBoxCount_;
    SetPageBoxCount(boxCount);
    // Boxes just shown must be placed even when the zoom stays, or they would sit wherever
    // they were last.
    if (zoom == zoom_ && before != pageBoxCount_)
        Layout();
    else
        SetZoom(zoom);
}

void TRLPreview::ZoomFullPage() {
    ChooseMode(1, FitPageZoom());
}

void TRLPreview::ZoomFullWidth() {
    ChooseMode(1, FitWidthZoom());
}

void TRLPreview::ZoomMultiplePages() {
    ChooseMode(MaxPageBoxes, MultiplePagesZoom());
}

void TRLPreview::ToggleMultiplePages(int pageNumber) {
    if (pageNumber != PageNumber())
        GotoPageNumber(pageNumber);
    if (pageBoxCount_ == 1)
        ZoomMultiplePages();
    else
        ZoomFullWidth();
}

namespace {

// The store's oriented paper size in pixels; a store that never got a paper size falls back to
// its first page, so that the fits stay finite.
QSize FitSize(const TRLGraphicStorage& pages) {
    QSize size(pages.OrientedWidth(), pages.OrientedHeight());
    if (size.width() <= 0 || size.height() <= 0) {
        if (const auto first = const_cast<TRLGraphicStorage&>(pages).Pages(0))
            size = QSize(first->Width(), first->Height());
    }
    return size;
}

} // namespace

// The fits take the largest whole percentage at which the boxes lie inside the viewport: the
// area within the control's frame, less the vertical scroll bar when the fitted pages are taller
// than that area. A zoom rounded to the nearest would let a fitted page stick out by a pixel or
// two and call for a horizontal scroll bar; the three boxes of several pages each have their own
// frame and shadow.
int TRLPreview::FitZoom(bool toHeight, int boxes) const {
    const QSize page = pages_ ? FitSize(*pages_) : QSize();
    if (page.width() <= 0 || page.height() <= 0)
        return 100;
    const QSize area = maximumViewportSize();
    constexpr int frame = TRLPreviewBox::FrameAndShadow;
    // The largest zoom whose box, sized as the layout sizes it, takes at most room pixels.
    const auto fit = [](int room, int pageSize) {
        int zoom = static_cast<int>(std::max(0.0, std::floor((room - frame) * 100.0 / pageSize)));
        while (RoundHalfEven(pageSize * (zoom + 1) / 100.0) + frame <= room)
            ++zoom;
        return zoom;
    };
    const auto zoomFor = [&](int width) {
        const int acrossZoom = fit(width / boxes, page.width());
        return toHeight ? std::min(acrossZoom, fit(area.height(), page.height())) : acrossZoom;
    };
    int zoom = zoomFor(area.width());
    // Only a fit to the width can leave the pages taller than the viewport.
    const int height = RoundHalfEven(page.height() * zoom / 100.0) + frame;
    if (height > area.height()) {
        const int bar = verticalScrollBar()->sizeHint().width();
        zoom = zoomFor(area.width() - bar);
    }
    return std::max(zoom, static_cast<int>(MinimumZoom));
}

double TRLPreview::FitPageZoom() const {
    return FitZoom(true, 1);
}

double TRLPreview::FitWidthZoom() const {
    return FitZoom(false, 1);
}

double TRLPreview::MultiplePagesZoom() const {
    return FitZoom(true, MaxPageBoxes);
}

QSize TRLPreview::PageSizeOfBox(int position) const {
    if (const auto page = boxes_[position]->Page())
        return QSize(page->Width(), page->Height());
    return QSize(pages_->OrientedWidth(), pages_->OrientedHeight());
}

void TRLPreview::Layout() {
    if (!pages_)
        return;
    std::array<QSize, MaxPageBoxes> sizes;
    int totalWidth = 0;
    int tallest = 0;
    for (int i = 0; i < pageBoxCount_; ++i) {
        const QSize page = PageSizeOfBox(i);
        sizes[i] =
            QSize(RoundHalfEven(page.width() * zoom_ / 100) + TRLPreviewBox::FrameAndShadow,
                  RoundHalfEven(page.height() * zoom_ / 100) + TRLPreviewBox::FrameAndShadow);
        totalWidth += sizes[i].width();
        tallest = std::max(tallest, sizes[i].height());
    }
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    // The boxes are centred in the viewport, the area that shows them (within the frame and the
    // scroll bars).
    const QSize view = viewport()->size();
    int x, y;
    if (totalWidth < view.width()) {
        hbar->setValue(0);
        x = (view.width() - totalWidth) / 2;
    } else {
        x = -hbar->value();
    }
    if (tallest < view.height()) {
        vbar->setValue(0);
        y = (view.height() - tallest) / 2;
    } else {
        y = -vbar->value();
    }
    contentSize_ = QSize(x + hbar->value() + totalWidth, y + vbar->value() + tallest);
    for (int i = 0; i < pageBoxCount_; ++i) {
        boxes_[i]->setGeometry(x, y + (tallest - sizes[i].height()) / 2, sizes[i].width(),
                               sizes[i].height());
        boxes_[i]->update();
        x += sizes[i].width();
    }
    ++layoutCount_;
    UpdateScrollRanges();
    for (TRLPreviewBox* box : boxes_)
        box->AnnouncePage();
    emit OnChangeView();
}

void TRLPreview::UpdateScrollRanges() {
    const QSize view = viewport()->size();
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    hbar->setPageStep(std::max(1, view.width()));
    vbar->setPageStep(std::max(1, view.height()));
    // Showing one bar narrows the viewport and may call for the other; the viewport's resize
    // brings us back here until both agree.
    hbar->setRange(0, std::max(0, contentSize_.width() - view.width()));
    vbar->setRange(0, std::max(0, contentSize_.height() - view.height()));
}

void TRLPreview::scrollContentsBy(int dx, int dy) {
    for (TRLPreviewBox* box : boxes_)
        box->move(box->pos() + QPoint(dx, dy));
}

void TRLPreview::CheckSize() {
    const QSize view = viewport()->size();
    const bool changed = view.width() != lastWidth_ || view.height() != lastHeight_;
    lastWidth_ = view.width();
    lastHeight_ = view.height();
    if (changed)
        Layout();
}

bool TRLPreview::event(QEvent* event) {
    // The scroll area consumes its own resize (to place the bars and the viewport) without
    // passing it on, so the size is checked here.
    const bool result = QAbstractScrollArea::event(event);
    if (event->type() == QEvent::Resize)
        CheckSize();
    return result;
}

bool TRLPreview::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) {
        // The viewport changes with the scroll bars too: the ranges follow, and the boxes are
        // centred again in what is left.
        UpdateScrollRanges();
        CheckSize();
        return false;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TRLPreview::mousePressEvent(QMouseEvent* event) {
    QAbstractScrollArea::mousePressEvent(event);
    NotifyEnter();
}

void TRLPreview::NotifyEnter() {
    emit OnEnter();
}

void TRLPreview::ScrollToTop() {
    verticalScrollBar()->setValue(0);
}
void TRLPreview::ScrollToBottom() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
void TRLPreview::ScrollToLeft() {
    horizontalScrollBar()->setValue(0);
}
void TRLPreview::ScrollToRight() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
}
void TRLPreview::ScrollPageUp() {
    verticalScrollBar()->setValue(verticalScrollBar()->value() - height());
}
void TRLPreview::ScrollPageDown() {
    verticalScrollBar()->setValue(verticalScrollBar()->value() + height());
}
void TRLPreview::ScrollPageLeft() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - width());
}
void TRLPreview::ScrollPageRight() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + width());
}
void TRLPreview::ScrollLineUp() {
    verticalScrollBar()->setValue(verticalScrollBar()->value() - LineStep);
}
void TRLPreview::ScrollLineDown() {
    verticalScrollBar()->setValue(verticalScrollBar()->value() + LineStep);
}
void TRLPreview::ScrollLineLeft() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - LineStep);
}
void TRLPreview::ScrollLineRight() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + LineStep);
}

void TRLPreview::SetEditing(bool editing) {
    if (editing == editing_)
        return;
    editing_ = editing;
    if (!editing) {
        ClearSelectedObjects();
        RepaintVisibleBoxes();
    }
}

void TRLPreview::SetActive(bool active) {
    active_ = active;
    RepaintVisibleBoxes();
}

void TRLPreview::RepaintVisibleBoxes() {
    for (int i = 0; i < pageBoxCount_; ++i)
        boxes_[i]->update();
}

void TRLPreview::ClearSelectedObjects() {
    for (int i = 0; i < pageBoxCount_; ++i)
        boxes_[i]->ClearSelectedObject();
}

bool TRLPreview::FindText(const QString& text, bool wholeWords, bool matchCase, bool backward) {
    if (!pages_ || text.isEmpty())
        return false;
    const QLocale locale;
    const QString needle = matchCase ? text : locale.toUpper(text);
    const int pageCount = pages_->PageCount();
    for (int p = pageIndex_; p >= 0 && p < pageCount; p += backward ? -1 : 1) {
        const auto page = pages_->Pages(p);
        if (!page)
            continue;
        int i;
        if (p == foundPageIndex_) {
            i = backward ? foundObjectIndex_ - 1 : foundObjectIndex_ + 1;
        } else {
            foundPageIndex_ = -1;
            i = backward ? page->ObjectCount() - 1 : 0;
        }
        for (; i >= 0 && i < page->ObjectCount(); i += backward ? -1 : 1) {
            const auto* textObject = dynamic_cast<const TRLTextObject*>(&page->Object(i));
            if (!textObject)
                continue;
            const QString haystack =
                matchCase ? textObject->Text : locale.toUpper(textObject->Text);
            if (!TextContains(haystack, needle, wholeWords))
                continue;
            foundPageIndex_ = p;
            foundObjectIndex_ = i;
            showFound_ = true;
            ClearSelectedObjects();
            RepaintVisibleBoxes();
            GotoPageIndex(p);
            return true;
        }
    }
    return false;
}

void TRLPreview::ShowContextMenu(TRLPreviewBox& box, const QPoint& globalPos) {
    menuBoxPosition_ = box.Position();
    menu_->popup(globalPos);
}

bool TRLPreview::CopyPageToClipboard(int boxPosition) {
    if (boxPosition < 0 || boxPosition >= MaxPageBoxes)
        return false;
    const auto page = boxes_[boxPosition]->Page();
    if (!page || page->Width() <= 0 || page->Height() <= 0)
        return false;
    QImage image(page->Width(), page->Height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        page->PaintTo(painter, QRect(0, 0, page->Width(), page->Height()));
    }
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

} // namespace Kelmora
