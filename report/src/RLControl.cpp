#include <kelmora/report/RLControl.h>

#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLPropertyExpressions.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLSite.h>
#include <kelmora/report/RLTextExpression.h>
#include <kelmora/support/RLMessages.h>

#include <QMetaMethod>
#include <QRegularExpression>
#include <QScopedValueRollback>

#include <algorithm>

namespace Kelmora {

namespace {

TRLPoint AbsolutePosition(const TRLCustomControl* c) {
    TRLPoint p;
    for (; c; c = c->Parent()) {
        p.X += c->Left();
        p.Y += c->Top();
    }
    return p;
}

bool IsIdentifier(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

[[noreturn]] void ThrowNotFound(const TRLCustomControl& c, const char* what) {
    throw TRLException(RLMessages[mkNotFound] + QStringLiteral(": ") + c.Name() + QLatin1Char('.') +
                       QLatin1String(what));
}

template <class T> T* FindAncestor(const TRLCustomControl* c) {
    for (TRLCustomControl* p = c->Parent(); p; p = p->Parent())
        if (auto* t = ControlCast<T>(p))
            return t;
    return nullptr;
}

} // namespace

// ---- TRLCustomControl: tree ------------------------------------------------------------------

QString TRLCustomControl::ClassName() const {
    // The meta-object names the class with its namespace; layouts and the registry know the
    // class by its own name.
    const QString qualified = QString::fromLatin1(metaObject()->className());
    return qualified.mid(qualified.lastIndexOf(QLatin1Char(':')) + 1);
}

TRLCustomControl::TRLCustomControl(TRLCustomControl* parent) : parent_(parent) {
    if (parent) {
        parent->controls_.push_back(this);
        loading_ = parent->loading_;
    }
}

TRLCustomControl::~TRLCustomControl() {
    destroying_ = true;
    while (!controls_.empty())
        delete controls_.back(); // each child takes itself out of the list
    Unhold(holder_);
    Unhold(secondHolder_);
    for (TRLCustomControl* h : std::vector<TRLCustomControl*>(holdeds_)) {
        if (h->holder_ == this)
            h->holder_ = nullptr;
        if (h->secondHolder_ == this)
            h->secondHolder_ = nullptr;
    }
    holdeds_.clear();
    if (parent_) {
        auto& siblings = parent_->controls_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        if (!parent_->destroying_)
            parent_->ControlsChanged();
    }
}

void TRLCustomControl::SetParent(TRLCustomControl* parent) {
    if (parent == parent_)
        return;
    for (TRLCustomControl* p = parent; p; p = p->parent_)
        if (p == this)
            return; // a control cannot go inside itself
    TRLCustomControl* old = parent_;
    if (old) {
        auto& siblings = old->controls_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    parent_ = parent;
    if (parent)
        parent->controls_.push_back(this);
    if (old) {
        old->ControlsChanged();
        if (auto* site = ControlCast<TRLCustomSite>(old))
            site->AlignControls();
    }
    if (parent) {
        parent->ControlsChanged();
        if (auto* site = ControlCast<TRLCustomSite>(parent))
            site->AlignControls();
    }
}

TRLCustomControl* TRLCustomControl::FindControl(const QString& name) {
    if (Name().compare(name, Qt::CaseInsensitive) == 0)
        return this;
    for (TRLCustomControl* c : controls_)
        if (TRLCustomControl* found = c->FindControl(name))
            return found;
    return nullptr;
}

TRLCustomControl* TRLCustomControl::Owner() {
    TRLCustomControl* c = this;
    while (c->parent_)
        c = c->parent_;
    return c;
}

// ---- geometry --------------------------------------------------------------------------------

void TRLCustomControl::SetBounds(int left, int top, int width, int height) {
    TRLRect r{left, top, left + width, top + height};
    if (fixedActive_) {
        r.Right = r.Left + fixedWidth_;
        r.Bottom = r.Top + fixedHeight_;
    }
    ApplyHolders(r);
    if (r == bounds_)
        return;
    previousBounds_ = bounds_;
    const int dw = (r.Right - r.Left) - Width();
    // A text that grows inside the room the control keeps for it leaves the parent as it is.
    const int reserved = ReservedHeight();
    const int dh = std::max(r.Bottom - r.Top, reserved) - std::max(Height(), reserved);
    // A control that had no size yet (just created) has not grown: its parent stays.
    const bool sized = previousBounds_.Right != previousBounds_.Left ||
                       previousBounds_.Bottom != previousBounds_.Top;
    bounds_ = r;
    // While a layout loads, a control settling to its natural size (a memo measuring less
    // than its stored height) must not move its parent away from the parent's stored size:
    // children finish loading before their parent does, so the parent's flag decides.
    const bool parentLoading = parent_ && parent_->loading_;
    if (!loading_ && !parentLoading && !restoringBounds_ && sized && (dw != 0 || dh != 0))
        ExpandParent(dw, dh);
    if (!loading_)
        if (TRLCustomSite* site = ControlCast<TRLCustomSite>(parent_))
            site->AlignControls();
    BoundsChanged();
    NotifyHoldeds();
}

TRLRect TRLCustomControl::AbsoluteBounds() const {
    TRLRect r = bounds_;
    for (TRLCustomControl* p = parent_; p && !ControlCast<TRLCustomSite>(p); p = p->parent_) {
        r.Left += p->Left();
        r.Right += p->Left();
        r.Top += p->Top();
        r.Bottom += p->Top();
    }
    return r;
}

void TRLCustomControl::ExpandParent(int dw, int dh) {
    if (expandingParent_)
        return;
    const QScopedValueRollback<bool> scope(expandingParent_, true);
    auto grow = [this](bool horizontal, int delta) {
        for (TRLCustomSite* s = ParentSite(); s; s = s->ParentSite()) {
            const bool given =
                horizontal ? AlignGivesWidth(s->Align()) : AlignGivesHeight(s->Align());
            if (given)
                continue;
            if (s->AutoSizeDirection() & (horizontal ? asWidthDir : asHeightDir)) {
                if (s->AutoSize())
                    s->AdjustBounds();
                else if (s->CanAutoExpand() && behavior_.Contains(beSiteExpander)) {
                    if (horizontal)
                        s->SetWidth(s->Width() + delta);
                    else
                        s->SetHeight(s->Height() + delta);
                }
            }
            return;
        }
    };
    if (dw != 0 && !AlignGivesWidth(align_))
        grow(true, dw);
    if (dh != 0 && !AlignGivesHeight(align_))
        grow(false, dh);
}

void TRLCustomControl::SetAlign(TRLControlAlign align) {
    if (align == align_)
        return;
    align_ = align;
    if (align != faNone)
        anchors_ = {};
    if (!loading_)
        if (auto* site = ControlCast<TRLCustomSite>(parent_))
            site->AlignControls();
}

void TRLCustomControl::SetAnchors(TRLControlAnchors anchors) {
    if (anchors == anchors_)
        return;
    anchors_ = anchors;
    if (!anchors.IsEmpty())
        SetAlign(faNone);
}

void TRLCustomControl::SetAlignment(TRLTextAlignment v) {
    alignment_ = v;
}

void TRLCustomControl::SetLayout(TRLTextLayout v) {
    layout_ = v;
}

void TRLCustomControl::SetAutoSize(bool v) {
    if (v == autoSize_)
        return;
    autoSize_ = v;
    if (v && !loading_)
        AdjustBounds();
}

void TRLCustomControl::SetVisible(bool v) {
    if (v == visible_)
        return;
    visible_ = v;
    if (!loading_)
        if (auto* site = ControlCast<TRLCustomSite>(parent_))
            site->AlignControls();
}

void TRLCustomControl::SetFixedSize(int width, int height, bool active) {
    fixedWidth_ = width;
    fixedHeight_ = height;
    fixedActive_ = active;
    if (active)
        SetBounds(Left(), Top(), width, height);
}

void TRLCustomControl::AdjustBounds() {
    if (adjusting_)
        return;
    const QScopedValueRollback<bool> scope(adjusting_, true);
    const TRLSize natural = CalcSize();
    int w = natural.Width;
    int h = natural.Height;
    int left = Left();
    int top = Top();
    switch (alignment_) {
    case taRightJustify:
        left = Left() + Width() - w;
        break;
    case taCenter:
        if (w % 2 != 0)
            ++w;
        left = Left() + (Width() - w) / 2;
        break;
    default:
        break;
    }
    switch (layout_) {
    case tlBottom:
        top = Top() + Height() - h;
        break;
    case tlCenter:
        if (h % 2 != 0)
            ++h;
        top = Top() + (Height() - h) / 2;
        break;
    default:
        break;
    }
    SetBounds(left, top, w, h);
}

TRLSize TRLCustomControl::CalcSize() {
    return {Width(), Height()};
}

// ---- holders ---------------------------------------------------------------------------------

void TRLCustomControl::SetHolder(TRLCustomControl* holder) {
    if (holder == holder_ || holder == this)
        return;
    Unhold(holder_);
    holder_ = holder;
    if (holder) {
        holder->holdeds_.push_back(this);
        const TRLPoint mine = AbsolutePosition(this);
        const TRLPoint theirs = AbsolutePosition(holder);
        holderOffset_ = {mine.X - theirs.X, mine.Y - theirs.Y};
    }
}

void TRLCustomControl::SetSecondHolder(TRLCustomControl* holder) {
    if (holder == secondHolder_ || holder == this)
        return;
    Unhold(secondHolder_);
    secondHolder_ = holder;
    if (holder) {
        holder->holdeds_.push_back(this);
        const TRLPoint mine = AbsolutePosition(this);
        const TRLPoint theirs = AbsolutePosition(holder);
        secondHolderOffset_ = {mine.X - theirs.X, mine.Y - theirs.Y};
    }
}

void TRLCustomControl::SetHoldStyle(TRLHoldStyle v) {
    if (v == holdStyle_)
        return;
    holdStyle_ = v;
    if (holder_ && !loading_)
        AdjustBounds();
}

void TRLCustomControl::SetSecondHoldStyle(TRLHoldStyle v) {
    if (v == secondHoldStyle_)
        return;
    secondHoldStyle_ = v;
    if (secondHolder_ && !loading_)
        AdjustBounds();
}

void TRLCustomControl::Unhold(TRLCustomControl*& slot) {
    if (!slot)
        return;
    TRLCustomControl* old = slot;
    slot = nullptr;
    // The other slot may hold to the same control: keep one registration for it.
    if (holder_ != old && secondHolder_ != old)
        old->RemoveHolded(this);
}

void TRLCustomControl::RemoveHolded(TRLCustomControl* control) {
    holdeds_.erase(std::remove(holdeds_.begin(), holdeds_.end(), control), holdeds_.end());
}

void TRLCustomControl::ApplyHolders(TRLRect& r) {
    const TRLPoint parentPos = AbsolutePosition(parent_);
    const bool widthFree = !AlignGivesWidth(align_) && !(autoSize_ && (autoSizeDir_ & asWidthDir));
    const bool heightFree =
        !AlignGivesHeight(align_) && !(autoSize_ && (autoSizeDir_ & asHeightDir));
    auto apply = [&](TRLCustomControl* holder, TRLHoldStyle style, TRLPoint offset) {
        if (!holder)
            return;
        const TRLPoint hp = AbsolutePosition(holder);
        int w = r.Right - r.Left;
        int h = r.Bottom - r.Top;
        const bool copyWidth = style == hsAsColumn || style == hsCopyWidth || style == hsCopySize;
        const bool copyHeight = style == hsCopyHeight || style == hsCopySize;
        if (copyWidth && widthFree)
            w = holder->Width();
        if (copyHeight && heightFree)
            h = holder->Height();
        int alignOffset = 0;
        if (alignment_ == taRightJustify)
            alignOffset = holder->Width() - w;
        else if (alignment_ == taCenter)
            alignOffset = (holder->Width() - w) / 2;
        int layoutOffset = 0;
        if (layout_ == tlBottom)
            layoutOffset = holder->Height() - h;
        else if (layout_ == tlCenter)
            layoutOffset = (holder->Height() - h) / 2;
        int absLeft = r.Left + parentPos.X;
        int absTop = r.Top + parentPos.Y;
        switch (style) {
        case hsAsColumn:
            absLeft = hp.X + alignOffset;
            break;
        case hsHorizontally:
            absLeft = hp.X + offset.X + alignOffset;
            break;
        case hsVertically:
            absTop = hp.Y + offset.Y + layoutOffset;
            break;
        case hsRelatively:
            absLeft = hp.X + offset.X + alignOffset;
            absTop = hp.Y + offset.Y + layoutOffset;
            break;
        default:
            break;
        }
        r.Left = absLeft - parentPos.X;
        r.Top = absTop - parentPos.Y;
        r.Right = r.Left + w;
        r.Bottom = r.Top + h;
    };
    apply(holder_, holdStyle_, holderOffset_);
    apply(secondHolder_, secondHoldStyle_, secondHolderOffset_);
}

void TRLCustomControl::NotifyHoldeds() {
    if (notifyingHoldeds_ || holdeds_.empty() || loading_)
        return;
    const QScopedValueRollback<bool> scope(notifyingHoldeds_, true);
    for (TRLCustomControl* c : std::vector<TRLCustomControl*>(holdeds_))
        c->AdjustBounds();
}

// ---- colour and font -------------------------------------------------------------------------

QColor TRLCustomControl::Color() const {
    if (parentColor_ && parent_)
        return parent_->Color();
    return color_;
}

void TRLCustomControl::SetColor(const QColor& color) {
    if (color == color_ && !parentColor_)
        return;
    color_ = color;
    parentColor_ = false;
    if (!loading_ && color != QColor(Qt::white))
        transparent_ = false;
    ColorChanged();
}

void TRLCustomControl::SetParentColor(bool v) {
    if (v == parentColor_)
        return;
    if (!v)
        color_ = Color();
    parentColor_ = v;
    ColorChanged();
}

void TRLCustomControl::SetTransparent(bool v) {
    if (v == transparent_)
        return;
    transparent_ = v;
    if (!v)
        return;
    if (ControlCast<TRLCustomReport>(this)) {
        color_ = Qt::white;
        parentColor_ = false;
        ColorChanged();
    } else
        SetParentColor(true);
}

const TRLFont& TRLCustomControl::Font() const {
    if (parentFont_ && parent_)
        return parent_->Font();
    return font_;
}

void TRLCustomControl::SetFont(const TRLFont& font) {
    if (font == font_ && !parentFont_)
        return;
    font_ = font;
    parentFont_ = false;
    FontChanged();
}

void TRLCustomControl::SetParentFont(bool v) {
    if (v == parentFont_)
        return;
    if (!v)
        font_ = Font();
    parentFont_ = v;
    FontChanged();
}

void TRLCustomControl::FontChanged() {
    if (loading_)
        return;
    AdjustBounds();
    for (TRLCustomControl* c : controls_)
        if (c->parentFont_)
            c->FontChanged();
}

// ---- names -----------------------------------------------------------------------------------

void TRLCustomControl::SetFriendlyName(const QString& name) {
    if (name == friendlyName_)
        return;
    if (name.isEmpty() || name == Name()) {
        friendlyName_.clear();
        return;
    }
    if (!IsIdentifier(name)) {
        if (loading_)
            return;
        throw TRLException(RLMessages[mkInvalidName] + QStringLiteral(" \"") + name +
                           QLatin1Char('"'));
    }
    std::function<bool(TRLCustomControl*)> used = [&](TRLCustomControl* c) {
        if (c != this && (c->friendlyName_.compare(name, Qt::CaseInsensitive) == 0 ||
                          c->Name().compare(name, Qt::CaseInsensitive) == 0))
            return true;
        for (TRLCustomControl* child : c->controls_)
            if (used(child))
                return true;
        return false;
    };
    if (used(Owner()))
        throw TRLException(RLMessages[mkNameInUse] + QStringLiteral(" \"") + name +
                           QLatin1Char('"'));
    friendlyName_ = name;
}

QString TRLCustomControl::DisplayName() const {
    return friendlyName_.isEmpty() ? Name() : friendlyName_;
}

// ---- caption ---------------------------------------------------------------------------------

QString TRLCustomControl::Caption() const {
    return IsPreparing() ? runtimeCaption_ : storedCaption_;
}

void TRLCustomControl::SetCaption(const QString& caption) {
    runtimeCaption_ = caption;
    if (!IsPreparing())
        storedCaption_ = caption;
    if (!loading_)
        AdjustBounds();
}

QString TRLCustomControl::MakeCaption() {
    return Caption();
}

void TRLCustomControl::CaptionChanged() {
    SetCaption(MakeCaption());
}

// ---- lookups ---------------------------------------------------------------------------------

TRLCustomSite* TRLCustomControl::ParentSite() const {
    return FindAncestor<TRLCustomSite>(this);
}

TRLCustomBand* TRLCustomControl::ParentBand() const {
    return FindAncestor<TRLCustomBand>(this);
}

TRLCustomPager* TRLCustomControl::ParentPager() const {
    return FindAncestor<TRLCustomPager>(this);
}

TRLCustomSkipper* TRLCustomControl::ParentSkipper() const {
    return FindAncestor<TRLCustomSkipper>(this);
}

TRLCustomReport* TRLCustomControl::ParentReport() const {
    for (const TRLCustomControl* c = this; c; c = c->parent_)
        if (auto* r = ControlCast<TRLCustomReport>(c))
            return const_cast<TRLCustomReport*>(r);
    return nullptr;
}

TRLCustomPager& TRLCustomControl::RequireParentPager() const {
    if (TRLCustomPager* p = ParentPager())
        return *p;
    ThrowNotFound(*this, "ParentPager");
}

TRLCustomSkipper& TRLCustomControl::RequireParentSkipper() const {
    if (TRLCustomSkipper* s = ParentSkipper())
        return *s;
    ThrowNotFound(*this, "ParentSkipper");
}

TRLCustomReport& TRLCustomControl::RequireParentReport() const {
    if (TRLCustomReport* r = ParentReport())
        return *r;
    ThrowNotFound(*this, "ParentReport");
}

// ---- printing --------------------------------------------------------------------------------

TRLGraphicSurface& TRLCustomControl::RequestParentSurface() {
    TRLCustomSite* site = ParentSite();
    if (!site)
        ThrowNotFound(*this, "ParentSurface");
    return site->Surface();
}

void TRLCustomControl::BeginRecording(TRLGraphicSurface& surface) {
    surface.SetGenerator(this);
    TRLGraphicStorage::NewGroupId();
}

void TRLCustomControl::Print() {
    const TRLRect r = CalcPrintBoundsRect();
    TRLGraphicSurface& surface = RequestParentSurface();
    BeginRecording(surface);
    if (!Transparent()) {
        surface.SetBrush(TRLBrush{Color(), TRLBrushStyle::Solid});
        surface.FillRect(r);
    }
    borders_.Record(surface, r);
}

void TRLCustomControl::DoBeforeText(QString& /*text*/, bool& /*printIt*/) {}

namespace {

// The events raised for every control printed, by name: a text control's BeforePrint with the
// text shares its name with every control's.
bool IsPrintEvent(const QMetaMethod& signal) {
    const QByteArray name = signal.name();
    return name == "BeforePrint" || name == "AfterPrint" || name == "OnFilterText";
}

} // namespace

void TRLCustomControl::connectNotify(const QMetaMethod& signal) {
    if (IsPrintEvent(signal))
        printListeners_.fetch_add(1, std::memory_order_relaxed);
}

void TRLCustomControl::disconnectNotify(const QMetaMethod& signal) {
    // An invalid method stands for all the signals of a disconnect that named none: the count
    // stays, which costs only emissions.
    if (signal.isValid() && IsPrintEvent(signal))
        printListeners_.fetch_sub(1, std::memory_order_relaxed);
}

bool TRLCustomControl::CanPrint() {
    printVisible_ = visible_ && ApplyPropertyExpressions();
    if (!printVisible_)
        return false;
    bool printIt = true;
    if (PrintEventsHeard())
        emit BeforePrint(*this, printIt);
    if (printIt) {
        QString text = IsBlankRecord() ? QString() : MakeCaption();
        DoBeforeText(text, printIt);
        if (printIt) {
            TRLCustomReport* report = ParentReport();
            if (report != nullptr && report->PrintEventsHeard())
                emit report->OnFilterText(*report, text, printIt);
        }
        if (printIt)
            SetCaption(text);
    }
    printVisible_ = printIt;
    return printVisible_;
}

TRLRect TRLCustomControl::CalcPrintBoundsRect() {
    return AbsoluteBounds();
}

TRLRect TRLCustomControl::CalcPrintClientRect() {
    return borders_.Shrink(CalcPrintBoundsRect());
}

TRLRect TRLCustomControl::ClientRect() const {
    return borders_.Shrink({0, 0, Width(), Height()}, 1);
}

void TRLCustomControl::MeasureHeight() {
    if (measuring_)
        return;
    const QScopedValueRollback<bool> scope(measuring_, true);
    emit OnMeasureHeight(*this);
}

void TRLCustomControl::SaveBounds() {
    savedBounds_ = bounds_;
    boundsSaved_ = true;
    for (TRLCustomControl* c : controls_)
        c->SaveBounds();
}

void TRLCustomControl::RestoreBounds() {
    RestoreDesignLook();
    for (TRLCustomControl* c : controls_)
        c->RestoreBounds();
    if (!boundsSaved_)
        return;
    const QScopedValueRollback<bool> scope(restoringBounds_, true);
    SetBoundsRect(savedBounds_);
}

void TRLCustomControl::DoPrint() {
    const QScopedValueRollback<bool> scope(printing_, true);
    Print();
}

void TRLCustomControl::DoAfterPrint() {
    if (PrintEventsHeard())
        emit AfterPrint(*this);
}

bool TRLCustomControl::IsPreparing() const {
    const TRLCustomReport* report = ParentReport();
    if (!report)
        return false;
    const TRLReportState state = report->ReportState();
    return state == rsPreparing || state == rsFinishing;
}

TRLException TRLCustomControl::ExpressionError(const TRLException& error,
                                               const QString& property) const {
    const TRLCustomReport* report = ParentReport();
    const QString layout = report ? report->RootReport().LayoutName() : QString();
    const QString where = layout.isEmpty() ? Name() : layout + QStringLiteral(": ") + Name();
    return TRLException(QStringLiteral("%1.%2: %3").arg(where, property, error.Message()));
}

// ---- property expressions --------------------------------------------------------------------

TRLPropertyExpressions& TRLCustomControl::PropertyExpressions() {
    if (!propertyExpressions_)
        propertyExpressions_ = std::make_unique<TRLPropertyExpressions>();
    return *propertyExpressions_;
}

bool TRLCustomControl::ApplyPropertyExpressions() {
    TRLPropertyExpressions* expressions = propertyExpressions_.get();
    if (!expressions || expressions->IsEmpty() || !IsPreparing())
        return true;
    if (IsBlankRecord()) {
        RestoreDesignLook();
        return true;
    }
    const TRLPropertyValues values =
        expressions->Evaluate(*this, RequireParentReport().ActiveExpressionParser());

    std::optional<TRLPropertyExpressions::Look>& design = expressions->DesignLook();
    if (!design)
        design =
            TRLPropertyExpressions::Look{font_, color_, parentFont_, parentColor_, transparent_};
    // Every print starts from the layout's look, whatever the record before asked for.
    if (values.FontColor || values.FontStyle) {
        TRLFont font = design->ParentFont && parent_ ? parent_->Font() : design->Font;
        if (values.FontColor)
            font.Color = *values.FontColor;
        if (values.FontStyle)
            font.Style = *values.FontStyle;
        SetFont(font);
    } else if (font_ != design->Font || parentFont_ != design->ParentFont) {
        font_ = design->Font;
        parentFont_ = design->ParentFont;
        FontChanged();
    }
    color_ = design->Color;
    parentColor_ = design->ParentColor;
    transparent_ = design->Transparent;
    if (values.Color) {
        color_ = *values.Color;
        parentColor_ = false;
        transparent_ = false;
    }
    if (values.Transparent)
        SetTransparent(*values.Transparent);
    ColorChanged();
    return values.Visible;
}

void TRLCustomControl::RestoreDesignLook() {
    if (!propertyExpressions_)
        return;
    std::optional<TRLPropertyExpressions::Look>& design = propertyExpressions_->DesignLook();
    if (!design)
        return;
    font_ = design->Font;
    parentFont_ = design->ParentFont;
    color_ = design->Color;
    parentColor_ = design->ParentColor;
    transparent_ = design->Transparent;
    design.reset();
    ColorChanged();
}

QString TRLCustomControl::ExpressionText(const TRLTextExpression& expression) {
    TRLCustomReport& report = RequireParentReport();
    try {
        return expression.Evaluate(report.ActiveExpressionParser());
    } catch (const TRLException& e) {
        throw ExpressionError(e);
    }
}

bool TRLCustomControl::IsBlankRecord() const {
    for (TRLCustomPager* p = ParentPager(); p; p = p->ParentPager())
        if (p->Completing())
            return true;
    if (TRLCustomSkipper* s = ParentSkipper())
        return s->BlankRecord();
    return false;
}

QString TRLCustomControl::FieldText(const QString& fieldName) const {
    if (IsBlankRecord())
        return QString();
    const TRLCustomSkipper* skipper = ControlCast<TRLCustomSkipper>(this);
    if (!skipper)
        skipper = ParentSkipper();
    return skipper ? skipper->FieldText(fieldName) : QString();
}

// ---- loading ---------------------------------------------------------------------------------

void TRLCustomControl::BeginLoad() {
    loading_ = true;
    for (TRLCustomControl* c : controls_)
        c->BeginLoad();
}

void TRLCustomControl::EndLoad() {
    // Children first: a site aligns them once their own sizes are final.
    for (TRLCustomControl* c : controls_)
        c->EndLoad();
    loading_ = false;
    Loaded();
}

void TRLCustomControl::Loaded() {
    AdjustBounds();
}

} // namespace Kelmora
