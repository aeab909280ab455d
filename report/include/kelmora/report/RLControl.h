/// @file
/// The report control: a rectangle in its parent's coordinates with alignment rules, borders,
/// colour, font, a caption and print events. Every element of a report (the report itself, its
/// bands, labels, memos, pictures, shapes, barcodes) derives from TRLCustomControl; controls
/// that hold other controls and own a drawing surface derive from TRLCustomSite (RLSite.h).
///
/// Writing a control class (labels, images, barcodes ...):
///   - constructor: set the creation size with SetBounds, the auto-size direction with
///     SetAutoSizeDirection, AutoSize and Behavior defaults; a text control then calls
///     CaptionChanged() so that Caption holds MakeCaption's text from the start;
///   - CalcSize(): the natural size (the base returns the current size); AdjustBounds() turns
///     it into bounds keeping the edges that Alignment and Layout name;
///   - MakeCaption(): the text to print (the base returns Caption); call CaptionChanged() when
///     one of its inputs changes;
///   - Print(): call the base first (fill and borders), then record onto RequestParentSurface()
///     inside CalcPrintClientRect(), after making the control the surface's Generator
///     (BeginRecording does both);
///   - text controls override DoBeforeText to raise their own BeforePrint signal, the one that
///     carries the text, so that CanPrint runs the chain in order (the control's BeforePrint,
///     the text control's BeforePrint, the report's OnFilterText);
///   - declare Q_OBJECT (the class name and the kind tests come from the meta-object) and
///     register the class with TRLClassRegistry from the library's start-up function.
///
/// Ownership: a control is owned by its parent's list of children (constructed with it, or moved
/// by SetParent), which keeps their creation order (the order they lay out, print and are
/// written in); deleting a control deletes its children. That list is the only owner: the QObject
/// part has no parent, and serves names, kind tests and QPointer guards.
#pragma once

#include <kelmora/pagestore/RLGraphicTypes.h>
#include <kelmora/report/RLRegistry.h>
#include <kelmora/report/RLReportTypes.h>
#include <kelmora/support/RLCore.h>

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace Kelmora {

class TRLCustomControl;
class TRLPropertyExpressions;
class TRLCustomSite;
class TRLCustomBandSet;
class TRLCustomBand;
class TRLCustomPager;
class TRLCustomSkipper;
class TRLCustomGroup;
class TRLCustomReport;
class TRLTextExpression;
class TRLGraphicSurface;

/// The engine's own families of controls: the sites that carry a surface, bands, pagers,
/// skippers and reports. The printing walks ask which family a control and its ancestors
/// belong to several times for every control of every record.
enum class TRLControlFamily : uint8_t {
    None = 0,
    Site = 1,
    Band = 2,
    Pager = 4,
    Skipper = 8,
    Report = 16
};

/// The family a class stands for; None for classes that are no family of their own (such as
/// groups, which are pagers but not every pager is a group).
template <class T> inline constexpr TRLControlFamily ControlFamilyOf = TRLControlFamily::None;
template <>
inline constexpr TRLControlFamily ControlFamilyOf<TRLCustomSite> = TRLControlFamily::Site;
template <>
inline constexpr TRLControlFamily ControlFamilyOf<TRLCustomBand> = TRLControlFamily::Band;
template <>
inline constexpr TRLControlFamily ControlFamilyOf<TRLCustomPager> = TRLControlFamily::Pager;
template <>
inline constexpr TRLControlFamily ControlFamilyOf<TRLCustomSkipper> = TRLControlFamily::Skipper;
template <>
inline constexpr TRLControlFamily ControlFamilyOf<TRLCustomReport> = TRLControlFamily::Report;

/// Frame lines drawn inside a control's rectangle. Owned by one control.
class TRLBorders : public TRLPersistent {
public:
    explicit TRLBorders(TRLCustomControl* owner) : owner_(owner) {}
    QString ClassName() const override { return QStringLiteral("TRLBorders"); }

    TRLBorderSides Sides() const { return sides_; }
    /// sdNone clears the four draw flags, sdAll sets them, sdCustom leaves them.
    void SetSides(TRLBorderSides sides);
    bool DrawLeft() const { return drawLeft_; }
    bool DrawTop() const { return drawTop_; }
    bool DrawRight() const { return drawRight_; }
    bool DrawBottom() const { return drawBottom_; }
    /// Clearing a draw flag clears its fixed flag; Sides then follows the four flags.
    void SetDrawLeft(bool v);
    void SetDrawTop(bool v);
    void SetDrawRight(bool v);
    void SetDrawBottom(bool v);
    int Width() const { return width_; }
    void SetWidth(int width); // negative widths are refused
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);
    TRLBrushStyle Style() const { return style_; }
    void SetStyle(TRLBrushStyle style) { style_ = style; }
    bool FixedLeft() const { return fixedLeft_; }
    bool FixedTop() const { return fixedTop_; }
    bool FixedRight() const { return fixedRight_; }
    bool FixedBottom() const { return fixedBottom_; }
    /// Setting a fixed flag also sets its draw flag.
    void SetFixedLeft(bool v);
    void SetFixedTop(bool v);
    void SetFixedRight(bool v);
    void SetFixedBottom(bool v);

    /// Whether a side is drawn: its flag is set and it is fixed or the owner's report prints
    /// with full features (a control outside any report draws fixed sides only).
    bool CanDrawLeft() const;
    bool CanDrawTop() const;
    bool CanDrawRight() const;
    bool CanDrawBottom() const;
    bool Visible() const {
        return CanDrawLeft() || CanDrawTop() || CanDrawRight() || CanDrawBottom();
    }

    /// Records the drawable sides as filled rectangles inside rect (nothing for width 0).
    void Record(TRLGraphicSurface& surface, const TRLRect& rect) const;
    /// rect shrunk by the width on every drawable side (delta more per side when given).
    TRLRect Shrink(const TRLRect& rect, int delta = 0) const;

    void Assign(const TRLBorders& source);

private:
    void DrawFlagChanged();
    void Changed();
    bool FullFeature() const;

    TRLCustomControl* owner_;
    TRLBorderSides sides_ = sdNone;
    bool drawLeft_ = false, drawTop_ = false, drawRight_ = false, drawBottom_ = false;
    bool fixedLeft_ = false, fixedTop_ = false, fixedRight_ = false, fixedBottom_ = false;
    int width_ = 1;
    QColor color_ = Qt::black;
    TRLBrushStyle style_ = TRLBrushStyle::Solid;
};

/// Four margins in millimetres with a default for each (a margin is stored only when it differs
/// from its default). Owned by one control.
class TRLMargins : public TRLPersistent {
public:
    explicit TRLMargins(TRLCustomControl* owner) : owner_(owner) {}
    QString ClassName() const override { return QStringLiteral("TRLMargins"); }

    double LeftMargin() const { return left_; }
    double TopMargin() const { return top_; }
    double RightMargin() const { return right_; }
    double BottomMargin() const { return bottom_; }
    void SetLeftMargin(double v);
    void SetTopMargin(double v);
    void SetRightMargin(double v);
    void SetBottomMargin(double v);
    /// Sets values and defaults together (a report's page margins start at 10 mm).
    void SetDefaults(double left, double top, double right, double bottom);
    bool LeftStored() const { return left_ != defLeft_; }
    /// The four values in report pixels (mm * 96 / 25.4, rounded), as left/top/right/bottom.
    TRLRect Pixels() const;
    /// Copies the four values.
    void Assign(const TRLMargins& source);

private:
    void Changed();
    TRLCustomControl* owner_;
    double left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
    double defLeft_ = 0;
    /// Pixels(), worked out at every change: the layout asks for it many times for every band.
    TRLRect pixels_{};
};

/// Bounds in real units, kept with the layout only.
class TRLRealBounds : public TRLPersistent {
public:
    QString ClassName() const override { return QStringLiteral("TRLRealBounds"); }
    TRLRealBoundsUnit UsedUnit() const { return unit_; }
    void SetUsedUnit(TRLRealBoundsUnit u) { unit_ = u; }
    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void SetLeft(double v) { left_ = v; }
    void SetTop(double v) { top_ = v; }
    void SetWidth(double v) { width_ = v; }
    void SetHeight(double v) { height_ = v; }

private:
    TRLRealBoundsUnit unit_ = buNone;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

/// Millimetres to report pixels: mm * 96 / 25.4, rounded.
int MillimetersToPixels(double mm);

enum TRLAutoSizeDirection : uint8_t { asWidthDir = 1, asHeightDir = 2, asBothDirs = 3 };

/// Every control class declares Q_OBJECT: its class name, which the layouts and the class
/// registry use, is the meta-object's, and its kind is told by qobject_cast, or for the engine's
/// own families by ControlCast (the lookups up the tree run several times for every control of
/// every record: dynamic_cast, which compares type names, made up a fifth of preparing a report,
/// and the meta-object walk still a tenth).
class TRLCustomControl : public QObject, public TRLPersistent {
    Q_OBJECT

public:
    explicit TRLCustomControl(TRLCustomControl* parent = nullptr);
    ~TRLCustomControl() override;
    TRLCustomControl(const TRLCustomControl&) = delete;
    TRLCustomControl& operator=(const TRLCustomControl&) = delete;

    QString ClassName() const override;

    // --- tree ---
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }
    TRLCustomControl* Parent() const { return parent_; }
    /// Moves the control (and ownership of it) to the end of another parent's children.
    void SetParent(TRLCustomControl* parent);
    /// Children in creation order.
    const std::vector<TRLCustomControl*>& Controls() const { return controls_; }
    /// This control or a descendant of that name (case-insensitive); null when none.
    TRLCustomControl* FindControl(const QString& name);
    /// The top of the tree: the owner whose report controls share one FriendlyName space.
    TRLCustomControl* Owner();

    // --- geometry (report pixels, relative to the parent) ---
    int Left() const { return bounds_.Left; }
    int Top() const { return bounds_.Top; }
    int Width() const { return bounds_.Right - bounds_.Left; }
    int Height() const { return bounds_.Bottom - bounds_.Top; }
    TRLRect BoundsRect() const { return bounds_; }
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
    void SetBoundsRect(const TRLRect& r) {
        SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    }
    /// The bounds change: fixed size, holders, parent expansion and re-alignment.
    virtual void SetBounds(int left, int top, int width, int height);
    /// Bounds relative to the nearest site (adding the offsets of non-site parents).
    TRLRect AbsoluteBounds() const;

    TRLControlAlign Align() const { return align_; }
    void SetAlign(TRLControlAlign align); // anything but faNone clears Anchors
    TRLControlAnchors Anchors() const { return anchors_; }
    void SetAnchors(TRLControlAnchors anchors); // non-empty anchors make Align faNone
    TRLTextAlignment Alignment() const { return alignment_; }
    void SetAlignment(TRLTextAlignment v);
    TRLTextLayout Layout() const { return layout_; }
    void SetLayout(TRLTextLayout v);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    TRLControlBehavior Behavior() const { return behavior_; }
    void SetBehavior(TRLControlBehavior v) { behavior_ = v; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v);

    TRLBorders& Borders() { return borders_; }
    const TRLBorders& Borders() const { return borders_; }
    TRLRealBounds& RealBounds() { return realBounds_; }

    // --- colour and font ---
    /// The effective colour (the parent's while ParentColor is set).
    QColor Color() const;
    /// Any colour other than white also clears Transparent; clears ParentColor.
    void SetColor(const QColor& color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v);
    bool Transparent() const { return transparent_; }
    /// True: a report turns white, other controls take the parent's colour.
    void SetTransparent(bool v);
    /// The effective font (the parent's while ParentFont is set); it lasts until this control's
    /// or the parent's font changes.
    const TRLFont& Font() const;
    /// Clears ParentFont and re-runs AdjustBounds.
    void SetFont(const TRLFont& font);
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);

    // --- names ---
    QString FriendlyName() const { return friendlyName_; }
    /// Must be an identifier unique among the owner's report controls ("Invalid name",
    /// "Name already in use"); empty or the control's own name clears it.
    void SetFriendlyName(const QString& name);
    /// FriendlyName, or Name when there is none.
    QString DisplayName() const;

    // --- holders ---
    TRLCustomControl* Holder() const { return holder_; }
    void SetHolder(TRLCustomControl* holder);
    TRLCustomControl* SecondHolder() const { return secondHolder_; }
    void SetSecondHolder(TRLCustomControl* holder);
    TRLHoldStyle HoldStyle() const { return holdStyle_; }
    void SetHoldStyle(TRLHoldStyle v);
    TRLHoldStyle SecondHoldStyle() const { return secondHoldStyle_; }
    void SetSecondHoldStyle(TRLHoldStyle v);

    // --- caption ---
    /// The run-time caption while the parent report prepares, the stored one otherwise.
    QString Caption() const;
    /// Sets the run-time caption (and outside preparation the stored one), then AdjustBounds.
    void SetCaption(const QString& caption);

    // --- properties that follow the records (kelmora/report/RLPropertyExpressions.h) ---
    /// The control's property expressions ("Expressions" in a layout), made when first asked for.
    TRLPropertyExpressions& PropertyExpressions();
    /// Null while none were asked for.
    const TRLPropertyExpressions* PropertyExpressionsIfAny() const {
        return propertyExpressions_.get();
    }
    /// Gives the properties their values for the record being printed, starting from the
    /// layout's; false when the Visible expression leaves the control out. Does nothing (and
    /// answers true) outside preparation, without expressions, and on a blank record. What it
    /// changes lasts until RestoreBounds.
    bool ApplyPropertyExpressions();

    // --- events ---
    // The events of controls, skippers and reports are signals that hand the sender along and
    // take out-parameters by reference (printIt, text, count ...), which the engine reads as soon
    // as the signal returns. Their handlers therefore run synchronously, on the thread that
    // prepares the report, in the middle of its work: connect a function or a lambda without a
    // context object, or pass Qt::DirectConnection with one. A queued connection would run the
    // handler too late, and cannot carry the references at all. Several handlers of one event
    // run in the order they were connected, each seeing what the ones before it wrote.
signals:
    /// Before the control prints, for every kind of control (a text control raises it before
    /// its own BeforePrint with the text); clearing printIt leaves the control out of this print,
    /// and a band or other site that is left out takes no room.
    void BeforePrint(TRLCustomControl& sender, bool& printIt);
    /// After the control printed (a site: after its children).
    void AfterPrint(TRLCustomControl& sender);
    /// When the control measures its height ahead of printing: the footer bands of a pager that
    /// measures its footers, so a handler may resize them before the room for the details is
    /// worked out.
    void OnMeasureHeight(TRLCustomControl& sender);

public:
    // --- parent lookups (null when missing) ---
    TRLCustomSite* ParentSite() const;
    TRLCustomBand* ParentBand() const;
    TRLCustomPager* ParentPager() const;
    TRLCustomSkipper* ParentSkipper() const;
    /// The enclosing report (this control itself when it is one).
    TRLCustomReport* ParentReport() const;
    /// The same, raising "Not found: NAME.ParentXxx" when missing.
    TRLCustomPager& RequireParentPager() const;
    TRLCustomSkipper& RequireParentSkipper() const;
    TRLCustomReport& RequireParentReport() const;

    // --- printing ---
    /// The surface of the nearest enclosing site; the report gives its current page.
    virtual TRLGraphicSurface& RequestParentSurface();
    /// Records the control: base fill and borders. Refinements call this first.
    virtual void Print();
    /// Natural size; the base returns the current size.
    virtual TRLSize CalcSize();
    /// Re-computes the bounds from CalcSize, keeping the edges Alignment and Layout name.
    virtual void AdjustBounds();
    /// Visibility and events just before printing; the result is kept in PrintVisible.
    virtual bool CanPrint();
    /// The text the control prints; the base returns Caption.
    virtual QString MakeCaption();
    /// The expression that computes the control's text from the records, for the controls that
    /// have one (labels and memos); null for the others.
    virtual TRLTextExpression* TextExpression() { return nullptr; }
    /// The rectangle in the coordinates of the nearest enclosing site's surface.
    virtual TRLRect CalcPrintBoundsRect();
    /// CalcPrintBoundsRect shrunk by the drawn border sides.
    TRLRect CalcPrintClientRect();
    /// The area for children and content, at origin (0, 0).
    virtual TRLRect ClientRect() const;
    /// The height a control keeps for its text however short the text is: a label's one line, a
    /// memo's height in its layout; 0 for a control whose height does not follow its text. Growth
    /// inside it does not grow an expanding parent; a band moves down what stands below a control
    /// that prints taller (TRLCustomSite::MoveControlsBelowGrownOnes).
    virtual int ReservedHeight() const { return 0; }
    /// Raises OnMeasureHeight (bands re-measure their height through it); a handler that
    /// measures again meanwhile raises nothing.
    virtual void MeasureHeight();
    /// Remember and restore the design bounds of the control and its whole subtree; restoring
    /// also undoes what property expressions changed.
    virtual void SaveBounds();
    virtual void RestoreBounds();
    /// Printing flag, Print, flag cleared.
    void DoPrint();
    void DoAfterPrint();
    bool PrintVisible() const { return printVisible_; }
    bool Printing() const { return printing_; }

    /// True while the parent report is preparing or finishing (ReportState 1 or 2).
    bool IsPreparing() const;
    /// True when the enclosing skipper or pager prints a blank record (completion, or a record
    /// action of raBlankAndRetain): text controls print nothing then.
    bool IsBlankRecord() const;
    /// The current record's text of a field of the enclosing skipper's data; empty when there
    /// is no such field, no record, or the record prints blank.
    QString FieldText(const QString& fieldName) const;

    // --- loading ---
    bool Loading() const { return loading_; }
    /// A layout reader brackets setting a control's properties with these; EndLoad calls
    /// Loaded for the subtree (sites adjust their bounds and align their children then).
    void BeginLoad();
    void EndLoad();

    /// Order among controls of one align value: 0 for plain controls (bands and groups differ).
    virtual int AlignPriority() const { return 0; }
    /// Bands share GroupIndex order inside one priority.
    virtual int AlignGroupIndex() const { return 0; }
    uint8_t AutoSizeDirection() const { return autoSizeDir_; }

    /// Whether the control belongs to a family; the family's constructor says so, which answers
    /// as qobject_cast does (not yet while a base class is being constructed) with a flag test
    /// instead of a walk up the meta-object chain.
    bool InFamily(TRLControlFamily family) const {
        return (families_ & static_cast<uint8_t>(family)) != 0;
    }

    /// An error of one of this control's expressions as it is told: the layout file first, when
    /// the report was read from one, so that whoever mends it knows where to look, then the
    /// control and the property ("layout.json: Total.Expression: ...").
    TRLException ExpressionError(const TRLException& error,
                                 const QString& property = QStringLiteral("Expression")) const;

protected:
    /// The text of expression for the current record; raises TRLException naming this control.
    QString ExpressionText(const TRLTextExpression& expression);
    /// Caption := MakeCaption(); call when MakeCaption's inputs change.
    void CaptionChanged();
    void SetAutoSizeDirection(uint8_t dirs) { autoSizeDir_ = dirs; }
    /// Keeps width and height at a fixed value whatever is asked (the report stays paper-sized).
    void SetFixedSize(int width, int height, bool active);
    /// Makes the control the surface's generator and starts a new object group.
    void BeginRecording(TRLGraphicSurface& surface);
    /// Raises the text event of a text control (its BeforePrint with the text) with the text it is
    /// about to print; the base has no text event.
    virtual void DoBeforeText(QString& text, bool& printIt);
    virtual void Loaded();
    /// A font or colour of this control or of a parent it follows changed.
    virtual void FontChanged();
    virtual void ColorChanged() {}
    /// After the bounds changed: sites re-align their children.
    virtual void BoundsChanged() {}
    /// A child was added or removed (bands keep AllowedBands in step through it).
    virtual void ControlsChanged() {}
    /// The design bounds kept by SaveBounds.
    TRLRect SavedBounds() const { return savedBounds_; }

    /// Sites decide their print visibility without the text chain of CanPrint.
    void SetPrintVisible(bool v) { printVisible_ = v; }

    /// Called by the constructor of each family's class.
    void JoinFamily(TRLControlFamily family) { families_ |= static_cast<uint8_t>(family); }

    /// Whether anything may listen to the events a report raises for every control it prints
    /// (BeforePrint, AfterPrint, OnFilterText). Mostly nothing does, and an emission that nobody
    /// hears costs more than the rest of a label's checks; a receiver that went away may still
    /// count, which only costs the emission.
    bool PrintEventsHeard() const { return printListeners_.load(std::memory_order_relaxed) > 0; }
    void connectNotify(const QMetaMethod& signal) override;
    void disconnectNotify(const QMetaMethod& signal) override;

private:
    /// Puts back the look that property expressions changed, without re-measuring (the bounds
    /// are restored next).
    void RestoreDesignLook();
    void ApplyHolders(TRLRect& r);
    void ExpandParent(int dw, int dh);
    void NotifyHoldeds();
    void Unhold(TRLCustomControl*& slot);
    void RemoveHolded(TRLCustomControl* control);

    TRLCustomControl* parent_ = nullptr;
    std::vector<TRLCustomControl*> controls_;
    bool destroying_ = false;
    uint8_t families_ = 0;
    /// Connections to the print events (PrintEventsHeard); a disconnection may come from any
    /// thread.
    std::atomic<int> printListeners_{0};

    TRLRect bounds_{0, 0, 0, 0};
    TRLRect previousBounds_{0, 0, 0, 0};
    TRLRect savedBounds_{0, 0, 0, 0};
    bool boundsSaved_ = false;
    int fixedWidth_ = 0, fixedHeight_ = 0;
    bool fixedActive_ = false;

    TRLControlAlign align_ = faNone;
    TRLControlAnchors anchors_;
    TRLTextAlignment alignment_ = taLeftJustify;
    TRLTextLayout layout_ = tlTop;
    bool autoSize_ = false;
    uint8_t autoSizeDir_ = 0;
    TRLControlBehavior behavior_;
    bool visible_ = true;
    TRLBorders borders_{this};
    TRLRealBounds realBounds_;

    QColor color_ = Qt::white;
    bool parentColor_ = true;
    bool transparent_ = true;
    TRLFont font_;
    bool parentFont_ = true;

    std::unique_ptr<TRLPropertyExpressions> propertyExpressions_;

    QString friendlyName_;
    QString storedCaption_;
    QString runtimeCaption_;

    TRLCustomControl* holder_ = nullptr;
    TRLCustomControl* secondHolder_ = nullptr;
    TRLHoldStyle holdStyle_ = hsAsColumn;
    TRLHoldStyle secondHoldStyle_ = hsAsColumn;
    TRLPoint holderOffset_;
    TRLPoint secondHolderOffset_;
    std::vector<TRLCustomControl*> holdeds_;

    bool printVisible_ = false;
    bool printing_ = false;
    bool adjusting_ = false;
    bool notifyingHoldeds_ = false;
    bool expandingParent_ = false;
    bool restoringBounds_ = false;
    bool measuring_ = false;
    bool loading_ = false;
};

/// qobject_cast for the engine's families, answered by InFamily; other classes are cast as
/// usual. The class must be complete where this is used.
template <class T> T* ControlCast(TRLCustomControl* c) {
    if constexpr (ControlFamilyOf<T> != TRLControlFamily::None)
        return c && c->InFamily(ControlFamilyOf<T>) ? static_cast<T*>(c) : nullptr;
    else
        return qobject_cast<T*>(c);
}
template <class T> const T* ControlCast(const TRLCustomControl* c) {
    return ControlCast<T>(const_cast<TRLCustomControl*>(c));
}

} // namespace Kelmora
