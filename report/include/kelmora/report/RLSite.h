/// @file
/// Sites: controls that hold other controls and own a page-store surface into which their
/// children record while a report prepares. A site's surface content goes into its parent's
/// surface at its print rectangle when the site closes.
#pragma once

#include <kelmora/report/RLControl.h>

#include <QImage>

#include <memory>
#include <utility>
#include <vector>

namespace Kelmora {

class TRLGraphicSurface;

/// Background picture of a site.
class TRLBackground : public TRLPersistent {
public:
    explicit TRLBackground(TRLCustomSite* owner) : owner_(owner) {}
    QString ClassName() const override { return QStringLiteral("TRLBackground"); }

    TRLControlAlign Align() const { return align_; }
    void SetAlign(TRLControlAlign v) { align_ = v; }
    TRLImageArrange Arrange() const { return arrange_; }
    void SetArrange(TRLImageArrange v) { arrange_ = v; }
    /// Width and height follow the picture.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v) { autoSize_ = v; }
    int Width() const { return width_; }
    void SetWidth(int v) { width_ = v; }
    int Height() const { return height_; }
    void SetHeight(int v) { height_ = v; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v) { stretch_ = v; }
    QImage Picture() const { return picture_; }
    void SetPicture(const QImage& picture);

    /// Records the picture inside rect (nothing for an empty picture).
    /// Only what can appear is recorded: what lies within the surface's clip, and within the
    /// surface itself when it is the page (onPage). Tiles in view beyond a few dozen go as one
    /// picture, and one that would pass 16 million pixels is refused naming the site.
    void Record(TRLGraphicSurface& surface, const TRLRect& rect, bool onPage) const;

private:
    void RecordTiles(TRLGraphicSurface& surface, const TRLRect& rect, const TRLRect& visible, int w,
                     int h) const;
    /// The picture as recorded stretched into box: reduced, once for every record, when it is
    /// more than eight times the box each way.
    const QImage& PictureFor(const TRLRect& box) const;
    TRLCustomSite* owner_;
    TRLControlAlign align_ = faClient;
    TRLImageArrange arrange_ = baAligned;
    bool autoSize_ = true;
    int width_ = 40;
    int height_ = 40;
    bool stretch_ = false;
    QImage picture_;
    /// The picture as recorded stretched into a box (PictureFor) and the limit it was reduced to.
    mutable QImage reduced_;
    mutable QSize reducedFor_;
};

/// Gradient fill of a site's background.
class TRLDegradeEffect : public TRLPersistent {
public:
    QString ClassName() const override { return QStringLiteral("TRLDegradeEffect"); }

    TRLDegradeDirection Direction() const { return direction_; }
    void SetDirection(TRLDegradeDirection v) { direction_ = v; }
    QColor OppositeColor() const { return oppositeColor_; }
    void SetOppositeColor(const QColor& v) { oppositeColor_ = v; }
    int Granularity() const { return granularity_; }
    void SetGranularity(int v) {
        if (v >= 1)
            granularity_ = v;
    }

    /// Whether a site of colour `color` records the gradient instead of its plain fill.
    bool Applies(const QColor& color) const;
    /// Records the strips from color to OppositeColor across rect, those in view only (as for
    /// the background), with neighbours of one colour as one strip.
    void Record(TRLGraphicSurface& surface, const TRLRect& rect, const QColor& color,
                bool onPage) const;

private:
    TRLDegradeDirection direction_ = ddNone;
    QColor oppositeColor_ = Qt::black;
    int granularity_ = 1;
};

class TRLCustomSite : public TRLCustomControl {
    Q_OBJECT

public:
    explicit TRLCustomSite(TRLCustomControl* parent = nullptr);
    ~TRLCustomSite() override;

    TRLBackground& Background() { return background_; }
    TRLDegradeEffect& Degrade() { return degrade_; }
    TRLMargins& Margins() { return margins_; }
    const TRLMargins& Margins() const { return margins_; }
    TRLMargins& InsideMargins() { return insideMargins_; }
    const TRLMargins& InsideMargins() const { return insideMargins_; }

    /// The site's own recording surface (created with the site).
    TRLGraphicSurface& Surface() { return *surface_; }
    const TRLGraphicSurface& Surface() const { return *surface_; }

    /// Where the surface's content goes in the parent's surface.
    int PrintLeft() const { return printLeft_; }
    int PrintTop() const { return printTop_; }
    int PrintWidth() const { return printWidth_; }
    int PrintHeight() const { return printHeight_; }
    TRLRect PrintRect() const {
        return {printLeft_, printTop_, printLeft_ + printWidth_, printTop_ + printHeight_};
    }
    void SetPrintPosition(int left, int top) {
        printLeft_ = left;
        printTop_ = top;
    }
    void SetPrintSize(int width, int height) {
        printWidth_ = width;
        printHeight_ = height;
    }

    /// Margins, border widths and inside margins on each side, in pixels (as a margin rect).
    TRLRect FrameMargins() const;

    // --- operations ---
    TRLRect ClientRect() const override;
    TRLRect CalcPrintBoundsRect() override;
    bool CanPrint() override;
    /// Opens the surface, runs the children's passes, closes the surface (transfer).
    void Print() override;

    /// Opens the parent's surface when needed, then this one (see the hooks below).
    virtual void OpenSurface();
    /// Closing hooks, transfer into the parent, close, after-close hooks.
    virtual void CloseSurface();
    bool SurfaceIsOpen() const;
    /// Background fill or gradient, picture and borders, into target at rect.
    virtual void DrawFrame(TRLGraphicSurface& target, const TRLRect& rect);
    /// Lays the visible children out by their Align and Anchors.
    virtual void AlignControls();
    /// Whether a beSiteExpander child's growth makes this site grow (bands).
    virtual bool CanAutoExpand() const { return false; }

    /// The children's passes while the surface is open.
    void AdjustChildren();
    void PrintChildren();

    int AlignPriority() const override { return 100; }

protected:
    /// Run before the print rectangle is computed (pagers reset their cursor; the report starts
    /// a page).
    virtual void SurfaceOpening() {}
    /// Computes the print rectangle; the base puts it at the site's position relative to the
    /// parent site's surface, at its current size.
    virtual void ComputePrintRect();
    /// After the children's passes (pagers print their header bands).
    virtual void SurfaceOpened() {}
    /// Before the transfer (pagers print their footer bands).
    virtual void SurfaceClosing() {}
    /// Puts the surface's content into the parent's surface: frame then objects.
    virtual void TransferSurface();
    /// After the surface closed (the report files the page).
    virtual void SurfaceClosed() {}
    /// Bands print their child sites after the print pass.
    virtual bool PrintsChildSites() const { return false; }
    /// After the adjust pass of an auto-expanding site: a child that prints taller than its
    /// reserved height (TRLCustomControl::ReservedHeight) and reaches past the top of the nearest
    /// child below that room moves that child, and every other one below the room, down by as
    /// much; a rule under its first line goes under its last. The rows below keep their order and
    /// spacing, and a text that fits its room moves nothing. Print puts the children back.
    void MoveControlsBelowGrownOnes();
    /// After the adjust pass: grows an auto-expanding site down to the bottom of every
    /// expanding, grown or moved child that reaches below its client area.
    void ExpandOverExpanders();
    void BoundsChanged() override;
    void Loaded() override;

private:
    void AlignList(TRLControlAlign align, std::vector<TRLCustomControl*>& list, TRLRect& free);
    /// faNone: anchored controls keep their distances to the anchored sides as the site resizes.
    void FollowAnchors(const std::vector<TRLCustomControl*>& list);

    TRLBackground background_{this};
    TRLDegradeEffect degrade_;
    TRLMargins margins_{this};
    TRLMargins insideMargins_{this};
    std::unique_ptr<TRLGraphicSurface> surface_;
    int printLeft_ = 0, printTop_ = 0, printWidth_ = 0, printHeight_ = 0;
    bool aligning_ = false;
    /// The site's size when its anchored children were last placed.
    TRLSize anchorSize_{-1, -1};
    /// Children that MoveControlsBelowGrownOnes moved for the print, with their own tops.
    std::vector<std::pair<QPointer<TRLCustomControl>, int>> moved_;
};

} // namespace Kelmora
