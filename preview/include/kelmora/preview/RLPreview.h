/// @file
/// The on-screen view of a page store: a scrolling area holding up to three page boxes side by
/// side at one zoom factor. It moves through the pages, scrolls, searches the recorded texts and
/// marks what it found, and in edit mode marks the objects that one report control produced.
#pragma once

#include <kelmora/pagestore/RLReadingText.h>

#include <QAbstractScrollArea>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QAction;
class QMenu;

namespace Kelmora {

class TRLGraphicObject;
class TRLGraphicStorage;
class TRLGraphicSurface;
class TRLPreview;

/// One page box: paints the page at its preview's PageIndex plus its own position, with a frame
/// and a drop shadow, or a grey crossed box when that index is past the store's pages.
class TRLPreviewBox : public QWidget {
    Q_OBJECT
public:
    /// Extra pixels of every box beyond the scaled page: the frame and the shadow.
    static constexpr int FrameAndShadow = 7;

    TRLPreviewBox(TRLPreview& preview, int position, QWidget* parent);

    TRLPreview& Preview() const { return *preview_; }
    /// Position in the preview's PageBoxes (0, 1 or 2).
    int Position() const { return position_; }
    /// The page shown, fetched from the store on each call; null when there is none.
    std::shared_ptr<TRLGraphicSurface> Page() const;

    /// The object marked in edit mode (null when none).
    const TRLGraphicObject* SelectedObject() const;
    int SelectedObjectIndex() const { return selectedIndex_; }
    void ClearSelectedObject();
    /// Picks the smallest object under a point given in the box's pixels, as hovering does.
    void SelectObjectAt(const QPoint& boxPoint);

    /// Page coordinate to box pixels and back at the preview's zoom.
    int ToBox(int pageCoordinate) const;
    int ToPage(int boxCoordinate) const;

    /// Draws the box as the screen shows it, onto any painter (the box's own rectangle).
    void PaintBox(QPainter& painter) const;

    /// What a screen reader reads of the box: its name ("Page 2 of 3" in the message table's
    /// language, "No page" for a box past the last page, empty while the box is hidden) and the
    /// page's texts in reading order, read from the store once for each page shown.
    QString PageName() const;
    const TRLReadingText& Reading() const;
    /// A rectangle of the page in the box's pixels at the current zoom.
    QRect BoxRectOf(const TRLRect& pageRect) const;
    /// Tells assistive technology what changed since it was last told: the page's name and text,
    /// and the box's place. Does nothing (and reads no page) while no assistive technology runs.
    void AnnouncePage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TRLPreview* preview_;
    int position_;
    /// The marked object is kept as its page and index: the store may evict the page from its
    /// cache at any time, and the shared page keeps the object alive for as long as it is marked.
    std::shared_ptr<TRLGraphicSurface> selectedPage_;
    int selectedIndex_ = -1;
    /// The reading text of the page at readingIndex_ of readingStore_.
    mutable TRLReadingText reading_;
    mutable QPointer<TRLGraphicStorage> readingStore_;
    mutable int readingIndex_ = -1;
    /// What assistive technology was last told.
    QString announcedName_;
    QString announcedText_;
};

class TRLPreview : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int MaxPageBoxes = 3;
    static constexpr double MinimumZoom = 10;
    /// Pixels moved by one line step of the scroll commands.
    static constexpr int LineStep = 10;

    explicit TRLPreview(QWidget* parent = nullptr);
    ~TRLPreview() override;

    /// The store is shared, never owned: the control links itself to it while it shows it.
    TRLGraphicStorage* Pages() const;
    void SetPages(TRLGraphicStorage* pages);

    double Zoom() const { return zoom_; }
    void SetZoom(double zoom);
    int PageIndex() const { return pageIndex_; }
    int PageNumber() const;
    int PageBoxCount() const { return pageBoxCount_; }
    TRLPreviewBox& PageBoxes(int position) const { return *boxes_[position]; }

    bool Editing() const { return editing_; }
    void SetEditing(bool editing);
    bool Active() const { return active_; }
    void SetActive(bool active);

    int FoundPageIndex() const { return foundPageIndex_; }
    int FoundObjectIndex() const { return foundObjectIndex_; }
    bool ShowFound() const { return showFound_; }

    /// Paging. Out-of-range targets are ignored, never clamped.
    void GotoPageIndex(int index);
    void GotoPageNumber(int number);
    void FirstPage();
    void LastPage();
    void NextPage();
    void PriorPage();

    /// Display modes: one page at a fitted zoom, or three pages side by side.
    void ZoomFullPage();
    void ZoomFullWidth();
    void ZoomMultiplePages();
    void ToggleMultiplePages(int pageNumber);
    double FitPageZoom() const;
    double FitWidthZoom() const;
    double MultiplePagesZoom() const;

    void ScrollToTop();
    void ScrollToBottom();
    void ScrollToLeft();
    void ScrollToRight();
    void ScrollPageUp();
    void ScrollPageDown();
    void ScrollPageLeft();
    void ScrollPageRight();
    void ScrollLineUp();
    void ScrollLineDown();
    void ScrollLineLeft();
    void ScrollLineRight();

    /// Searches the stored texts from the first shown page onwards (or backwards), continuing
    /// after the last hit when it starts on that hit's page. No wrap-around; an empty text never
    /// matches. With wholeWords a hit must not touch a letter or digit on either side.
    bool FindText(const QString& text, bool wholeWords, bool matchCase, bool backward);

    /// The context menu's action: copies the page of a box to the clipboard as a bitmap of the
    /// page's own size. Returns false (and copies nothing) when the box has no page.
    bool CopyPageToClipboard(int boxPosition);
    QMenu* ContextMenu() const { return menu_; }

    /// How many times the boxes were laid out; lets callers see that nothing was redone.
    int LayoutCount() const { return layoutCount_; }

signals:
    /// After every layout (page, zoom or size change).
    void OnChangeView();
    /// The control or one of its boxes was clicked.
    void OnEnter();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    friend class TRLPreviewBox;
    void CheckSize();
    void SetPageBoxCount(int count);
    void ChooseMode(int boxCount, double zoom);
    void Layout();
    int FitZoom(bool toHeight, int boxes) const;
    void UpdateScrollRanges();
    void RepaintVisibleBoxes();
    void ClearSelectedObjects();
    void ShowContextMenu(TRLPreviewBox& box, const QPoint& globalPos);
    void NotifyEnter();
    void ReleasePages();
    QSize PageSizeOfBox(int position) const;

    QPointer<TRLGraphicStorage> pages_;
    double zoom_ = 100;
    int pageIndex_ = -1;
    std::array<TRLPreviewBox*, MaxPageBoxes> boxes_{};
    int pageBoxCount_ = 1;
    bool editing_ = false;
    bool active_ = false;
    int foundPageIndex_ = -1;
    int foundObjectIndex_ = 0;
    bool showFound_ = false;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    /// Extent of the placed boxes in content coordinates, for the scroll ranges.
    QSize contentSize_;
    int layoutCount_ = 0;
    QMenu* menu_ = nullptr;
    QAction* copyAction_ = nullptr;
    int menuBoxPosition_ = -1;
};

} // namespace Kelmora
