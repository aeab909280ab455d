#include <kelmora/report/RLReport.h>

#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLReportHooks.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLThreads.h>
#include <kelmora/support/RLUtils.h>

#include <kelmora/parser/RLExpressionParser.h>
#include <kelmora/report/RLPropertyExpressions.h>
#include <kelmora/report/RLTextExpression.h>

#include <QImage>

namespace Kelmora {

// ---- TRLPageSetup ----------------------------------------------------------------------------

void TRLPageSetup::SetPaperSize(TRLPaperSize v) {
    if (v == paperSize_ || v > fpCustom)
        return;
    paperSize_ = v;
    if (v != fpCustom) {
        paperWidth_ = PaperInfo[v].Width;
        paperHeight_ = PaperInfo[v].Height;
    }
    Changed();
}

void TRLPageSetup::SetOrientation(TRLPageOrientation v) {
    if (v == orientation_ || v > poLandscape)
        return;
    orientation_ = v;
    Changed();
}

void TRLPageSetup::SetPaperWidth(double v) {
    if (paperSize_ != fpCustom || v == paperWidth_ || v == 0)
        return;
    paperWidth_ = v;
    Changed();
}

void TRLPageSetup::SetPaperHeight(double v) {
    if (paperSize_ != fpCustom || v == paperHeight_ || v == 0)
        return;
    paperHeight_ = v;
    Changed();
}

void TRLPageSetup::SetForceEmulation(bool v) {
    if (v == forceEmulation_)
        return;
    forceEmulation_ = v;
    Changed();
}

void TRLPageSetup::Assign(const TRLPageSetup& source) {
    paperSize_ = source.paperSize_;
    orientation_ = source.orientation_;
    if (paperSize_ == fpCustom) {
        paperWidth_ = source.paperWidth_;
        paperHeight_ = source.paperHeight_;
    } else {
        paperWidth_ = PaperInfo[paperSize_].Width;
        paperHeight_ = PaperInfo[paperSize_].Height;
    }
    forceEmulation_ = source.forceEmulation_;
    Changed();
}

void TRLPageSetup::Changed() {
    if (owner_)
        owner_->PageSetupChanged();
}

// ---- TRLPreviewOptions -----------------------------------------------------------------------

TRLPreviewOptions::TRLPreviewOptions() : caption_(RLMessages[mkPreview]) {}

// ---- TRLCustomReport -------------------------------------------------------------------------

TRLCustomReport::TRLCustomReport(TRLCustomControl* parent)
    : TRLCustomSkipper(parent), storage_(new TRLGraphicStorage(nullptr)) {
    JoinFamily(TRLControlFamily::Report);
    storage_->Link(this);
    Margins().SetDefaults(10, 10, 10, 10);
    SetParentFont(false);
    SetFont(TRLFont{});
    SetColor(Qt::white);
    SetPrintEmpty(true);
    SetAutoSizeDirection(asHeightDir);
    metrics_ = CurrentPrinterMetrics();
    PageSetupChanged();
}

TRLCustomReport::~TRLCustomReport() {
    if (expressionParser_)
        expressionParser_->Components = {};
    if (nextReport_)
        nextReport_->priorReport_ = nullptr;
    if (priorReport_)
        priorReport_->nextReport_ = nullptr;
    pagination_.DropPage();
    if (storage_)
        storage_->Unlink(this);
}

void TRLCustomReport::SetAdjustableMargins(bool v) {
    if (v == adjustableMargins_)
        return;
    adjustableMargins_ = v;
    AlignControls();
}

void TRLCustomReport::SetNextReport(TRLCustomReport* next) {
    if (next == nextReport_)
        return;
    // Refuse anything that would close a loop (a report following itself included).
    for (TRLCustomReport* r = this; r; r = r->priorReport_)
        if (r == next)
            return;
    if (nextReport_)
        nextReport_->priorReport_ = nullptr;
    nextReport_ = next;
    if (next) {
        if (next->priorReport_)
            next->priorReport_->nextReport_ = nullptr;
        next->priorReport_ = this;
    }
}

void TRLCustomReport::SetExpressionParser(TRLExpressionParser* parser) {
    if (parser == expressionParser_)
        return;
    if (expressionParser_)
        expressionParser_->Components = {};
    expressionParser_ = parser;
    if (parser)
        InstallComponentAccess(*parser);
}

TRLExpressionParser& TRLCustomReport::ActiveExpressionParser() {
    if (expressionParser_)
        return *expressionParser_;
    if (!ownParser_) {
        ownParser_ = std::make_unique<TRLExpressionParser>();
        InstallComponentAccess(*ownParser_);
    }
    return *ownParser_;
}

namespace {

TRLValue ToParserValue(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Bool:
        return TRLValue(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return TRLValue(v.toDouble());
    case QMetaType::QStringList:
        return TRLValue(v.toStringList().join(QLatin1Char(',')));
    case QMetaType::QColor:
        return TRLValue(v.value<QColor>().name());
    default:
        return TRLValue(v.toString());
    }
}

QVariant ToVariant(const TRLValue& v) {
    switch (v.Type()) {
    case TRLValueType::Boolean:
        return v.ToBoolean();
    case TRLValueType::Number:
        return v.ToNumber();
    case TRLValueType::String:
        return v.ToString();
    default:
        return QVariant();
    }
}

} // namespace

void TRLCustomReport::InstallComponentAccess(TRLExpressionParser& parser) {
    // The page numbers: the page being filled, and the report's last page, which is known only
    // once every page is made and so is printed as the macro the page store fills in when the
    // page is drawn ("Página 2 de 7"); it can be printed, not computed with.
    parser.DefineCall(QStringLiteral("page"), 0, 0,
                      [this](const TRLValueList&) { return TRLValue(PageNumber()); });
    parser.DefineCall(QStringLiteral("pages"), 0, 0, [](const TRLValueList&) {
        return TRLValue(QStringLiteral("{LastPageNumber}"));
    });
    // "RLLabel1.Caption" reads a published property of a control of this report's tree; a
    // name without a dot reads a field of the current record.
    auto locate = [this](const QString& name, qsizetype dot, QString& path) -> TRLCustomControl* {
        if (dot <= 0)
            return nullptr;
        path = name.mid(dot + 1);
        return Owner()->FindControl(name.left(dot));
    };
    parser.Components.Read = [this, locate](const QString& name, TRLValue& value) {
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        QString path;
        if (TRLCustomControl* c = locate(name, dot, path)) {
            QVariant v;
            if (!TRLClassRegistry::Instance().ReadProperty(*c, path, v, true))
                return false;
            value = ToParserValue(v);
            return true;
        }
        if (dot >= 0)
            return false;
        // A subdetail's record, then its master's, out to the report's own.
        const auto read = [&](const TRLCustomSkipper& skipper) {
            // Looked up once: every field of every record comes this way.
            const int column = skipper.FindField(name);
            if (column < 0)
                return false;
            // A null text is a NULL of the records (or a field the record lacks): null, as in
            // SQL.
            const QString text = skipper.ColumnText(column);
            value = text.isNull() ? TRLValue::Null() : TRLValue(text);
            return true;
        };
        // A subdetail that stands on no record (its summary, or it has none) leaves a name to its
        // master; a field that only it has then reads as null.
        const auto onRecord = [](const TRLCustomSkipper& skipper) {
            return !skipper.Eof() || skipper.ReadingPreviousRecord();
        };
        for (auto scope = fieldScopes_.rbegin(); scope != fieldScopes_.rend(); ++scope)
            if (onRecord(**scope) && read(**scope))
                return true;
        if (read(*this))
            return true;
        for (auto scope = fieldScopes_.rbegin(); scope != fieldScopes_.rend(); ++scope)
            if (read(**scope))
                return true;
        return false;
    };
    parser.Components.Write = [locate](const QString& name, const TRLValue& value) {
        QString path;
        TRLCustomControl* c = locate(name, name.indexOf(QLatin1Char('.')), path);
        return c && TRLClassRegistry::Instance().WriteProperty(*c, path, ToVariant(value));
    };
}

TRLCustomReport& TRLCustomReport::RootReport() {
    TRLCustomReport* r = this;
    while (r->priorReport_)
        r = r->priorReport_;
    return *r;
}

const TRLCustomReport& TRLCustomReport::RootReport() const {
    const TRLCustomReport* r = this;
    while (r->priorReport_)
        r = r->priorReport_;
    return *r;
}

bool TRLCustomReport::Canceled() const {
    return RootReport().canceled_;
}

void TRLCustomReport::Cancel() {
    RootReport().canceled_ = true;
}

void TRLCustomReport::SetCanceled(bool v) {
    RootReport().canceled_ = v;
}

int TRLCustomReport::PageNumber() const {
    const TRLCustomReport& root = RootReport();
    return root.firstPageNumber_ + root.pagination_.PagesClosed();
}

void TRLCustomReport::RefreshPrinterMetrics() {
    metrics_ = CurrentPrinterMetrics();
}

TRLSize TRLCustomReport::PageSize() const {
    return {MillimetersToPixels(pageSetup_.OrientedWidth()),
            MillimetersToPixels(pageSetup_.OrientedHeight())};
}

TRLRect TRLCustomReport::PageMargins() const {
    TRLRect m = Margins().Pixels();
    if (!adjustableMargins_)
        return m;
    auto convert = [](int pixels, int ppi) {
        return ppi > 0 ? RoundHalfEven(pixels * 96.0 / ppi) : 0;
    };
    TRLRect printer{convert(metrics_.MarginLeft, metrics_.PPIX),
                    convert(metrics_.MarginTop, metrics_.PPIY),
                    convert(metrics_.MarginRight, metrics_.PPIX),
                    convert(metrics_.MarginBottom, metrics_.PPIY)};
    if (metrics_.PPIX <= 0 || metrics_.PPIY <= 0)
        printer = {0, 0, 0, 0};
    if (pageSetup_.Orientation() == poLandscape)
        printer = {printer.Top, printer.Right, printer.Bottom, printer.Left};
    m.Left = std::max(m.Left, printer.Left);
    m.Top = std::max(m.Top, printer.Top);
    m.Right = std::max(m.Right, printer.Right);
    m.Bottom = std::max(m.Bottom, printer.Bottom);
    return m;
}

void TRLCustomReport::PageSetupChanged() {
    RefreshPrinterMetrics();
    const TRLSize size = PageSize();
    SetFixedSize(size.Width, size.Height, true);
    AlignControls();
}

TRLRect TRLCustomReport::ClientRect() const {
    TRLRect r = ShrinkRect({0, 0, Width(), Height()}, PageMargins());
    r = Borders().Shrink(r);
    return ShrinkRect(r, InsideMargins().Pixels());
}

// ---- pages -----------------------------------------------------------------------------------

void TRLCustomReport::EnsurePage() {
    if (pagination_.Page())
        return;
    auto page = std::make_shared<TRLGraphicSurface>();
    page->ReserveObjects(RootReport().pagination_.ObjectsOnLastPage());
    page->SetWidth(Width());
    page->SetHeight(Height());
    page->SetOrientation(pageSetup_.Orientation() == poLandscape ? MetaOrientationLandscape
                                                                 : MetaOrientationPortrait);
    page->SetPaperWidth(pageSetup_.PaperWidth());
    page->SetPaperHeight(pageSetup_.PaperHeight());
    page->Open();
    pagination_.SetPage(std::move(page));
}

TRLGraphicSurface& TRLCustomReport::RequestParentSurface() {
    EnsurePage();
    return *pagination_.Page();
}

void TRLCustomReport::SurfaceOpening() {
    EnsurePage();
    pagination_.PageOpening();
    TRLCustomSkipper::SurfaceOpening();
}

void TRLCustomReport::ComputePrintRect() {
    SetPrintPosition(0, 0);
    SetPrintSize(Width(), Height());
}

void TRLCustomReport::SurfaceOpened() {
    TRLCustomSkipper::SurfaceOpened();
    FirePageStarting();
}

void TRLCustomReport::FirePageStarting() {
    if (pagination_.TakePageStart())
        emit OnPageStarting(*this);
}

void TRLCustomReport::SurfaceClosing() {
    FirePageStarting();
    emit OnPageEnding(*this);
    TRLCustomSkipper::SurfaceClosing();
    // The page's footers have printed its totals; the next page starts its own.
    ResetAggregates(AggregateScope::Page);
}

void TRLCustomReport::TransferSurface() {
    TRLGraphicSurface& page = RequestParentSurface();
    DrawFrame(page, PrintRect());
    // The report's surface is cleared before it records again.
    page.Take(0, 0, Surface());
}

void TRLCustomReport::SurfaceClosed() {
    TRLCustomReport& root = RootReport();
    int objects = 0;
    if (std::shared_ptr<TRLGraphicSurface> page = pagination_.TakePage()) {
        page->Close();
        objects = page->ObjectCount();
        root.Storage().Add(std::move(page));
    }
    root.pagination_.CountClosedPage(objects);
}

// ---- runs ------------------------------------------------------------------------------------

namespace {

// Drops whatever a broken run left open, without filing anything.
void CloseSurfaces(TRLCustomControl& control) {
    if (auto* site = ControlCast<TRLCustomSite>(&control))
        site->Surface().Close();
    for (TRLCustomControl* c : control.Controls())
        CloseSurfaces(*c);
}

int ChainLength(const TRLCustomReport& root) {
    int n = 0;
    for (const TRLCustomReport* r = &root; r && n < 1000; r = r->NextReport())
        ++n;
    return n;
}

} // namespace

void TRLCustomReport::Clear() {
    const bool root = &RootReport() == this;
    pagination_.Restart(root);
    CloseSurfaces(*this);
    if (root) {
        storage_->Clear();
        canceled_ = false;
    }
    state_ = rsIdle;
}

void TRLCustomReport::BeginRun() {
    TRLCustomSkipper::BeginRun();
    pagination_.ForgetBreakRequest();
    ComputePrintRect();
    CollectAggregates();
}

namespace {

// Every control of the report's own tree (a report inside it keeps its own).
void ForEachOwnControl(TRLCustomControl& parent, const std::function<void(TRLCustomControl&)>& fn) {
    for (TRLCustomControl* child : parent.Controls()) {
        if (ControlCast<TRLCustomReport>(child))
            continue;
        fn(*child);
        ForEachOwnControl(*child, fn);
    }
}

} // namespace

TRLCustomReport::FieldScope::FieldScope(TRLCustomReport& report, const TRLCustomSkipper& skipper)
    : report_(report) {
    report_.fieldScopes_.push_back(&skipper);
}

TRLCustomReport::FieldScope::~FieldScope() {
    report_.fieldScopes_.pop_back();
}

void TRLCustomReport::CollectAggregates() {
    aggregateSites_.clear();
    ForEachOwnControl(*this, [this](TRLCustomControl& control) {
        // The scope follows the band: a group's bands count the group's records, footers of
        // the page count the page's, the rest the report's.
        const TRLCustomBand* band = control.ParentBand();
        TRLCustomPager* pager = band ? band->ParentPager() : nullptr;
        auto* group = qobject_cast<TRLCustomGroup*>(pager);
        const AggregateScope scope =
            group ? AggregateScope::Group
            : band && (band->BandType() == btColumnFooter || band->BandType() == btFooter)
                ? AggregateScope::Page
                : AggregateScope::Report;
        const auto take = [&](TRLTextExpression* expression, const QString& property) {
            if (!expression || expression->Aggregates().empty())
                return;
            expression->ResetAggregates();
            aggregateSites_.push_back(
                {&control, expression, property, scope, group, control.ParentSkipper()});
        };
        take(control.TextExpression(), QStringLiteral("Expression"));
        if (control.PropertyExpressionsIfAny()) {
            TRLPropertyExpressions& properties = control.PropertyExpressions();
            for (int i = 0; i < TRLPropertyExpressions::PropertyCount; ++i) {
                const auto property = static_cast<TRLPropertyExpressions::Property>(i);
                take(&properties.Expression(property),
                     QStringLiteral("Expressions.") +
                         TRLPropertyExpressions::PropertyName(property));
            }
        }
    });
}

void TRLCustomReport::ResetAggregates(AggregateScope scope, const TRLCustomPager* group) {
    for (const AggregateSite& site : aggregateSites_)
        if (site.Scope == scope && (scope != AggregateScope::Group || site.Group == group))
            site.Expression->ResetAggregates();
}

void TRLCustomReport::ResetAggregates(const TRLCustomSkipper& skipper) {
    for (const AggregateSite& site : aggregateSites_)
        if (site.Skipper == &skipper)
            site.Expression->ResetAggregates();
}

void TRLCustomReport::AddRecordToAggregates(TRLCustomSkipper& skipper) {
    // Every detail band of a record asks; the record counts once.
    if (aggregateSites_.empty() || !skipper.TakeRecordForTotals())
        return;
    TRLExpressionParser& parser = ActiveExpressionParser();
    for (const AggregateSite& site : aggregateSites_) {
        if (site.Skipper != &skipper)
            continue;
        try {
            site.Expression->AddRecord(parser);
        } catch (const TRLException& e) {
            throw site.Control->ExpressionError(e, site.Property);
        }
    }
}

bool TRLCustomReport::Prepare() {
    SaveBounds();
    Clear();
    state_ = rsPreparing;
    reportDate_ = QDateTime::currentDateTime();
    const bool root = &RootReport() == this;
    bool ok = false;
    try {
        ok = PrepareSteps();
    } catch (...) {
        pagination_.DropPage();
        CloseSurfaces(*this);
        state_ = rsIdle;
        if (root)
            progress_.reset();
        RestoreBounds();
        throw;
    }
    if (root)
        progress_.reset();
    RestoreBounds();
    return ok;
}

bool TRLCustomReport::PrepareSteps() {
    TRLCustomReport& root = RootReport();
    if (&root == this) {
        if (showProgress_)
            if (TRLProgressFactory factory = ReportProgressFactory()) {
                progress_ = factory(title_, RLMessages[mkPreparingReport]);
                if (progress_)
                    progress_->SetMaximum(ChainLength(root));
            }
    } else if (root.progress_)
        root.progress_->StepIt();

    bool printIt = true;
    emit BeforePrint(*this, printIt);
    if (!printIt) {
        state_ = rsIdle;
        return false;
    }

    RefreshPrinterMetrics();
    BeginRun();

    OpenRecords();
    if (root.progress_)
        root.progress_->SetMaximum(RecordCount());
    // A record at a time; with a progress window, in slices between which the window stays live
    // and its Cancel is heard.
    const auto printRecord = [this, &root] {
        if (Eof())
            return false;
        if (root.progress_ && root.progress_->Canceled())
            root.canceled_ = true;
        if (root.canceled_)
            return false;
        PrintDetail();
        if (!detailAdvanced_)
            NextRecord();
        if (root.progress_) {
            root.progress_->SetText(RLMessages[mkPage] + QLatin1Char(' ') +
                                    QString::number(PageNumber()));
            root.progress_->StepIt();
        }
        return true;
    };
    RunInSlices(printRecord, root.progress_ != nullptr);

    state_ = rsFinishing;
    if (PrintEmpty() && !SurfaceIsOpen() && !root.canceled_)
        OpenSurface();
    if (SurfaceIsOpen()) {
        CompletePage();
        PrintFooters(true);
        CloseSurface();
    }
    state_ = rsPrepared;

    if (root.canceled_) {
        state_ = rsIdle;
        return false;
    }
    emit AfterPrint(*this);
    if (nextReport_ && !nextReport_->Prepare())
        return false;
    WriteStoreValues();
    return true;
}

void TRLCustomReport::WriteStoreValues() {
    const TRLCustomReport& root = RootReport();
    TRLGraphicStorage& store = root.Storage();
    store.SetFirstPageNumber(root.firstPageNumber_);
    store.SetLastPageNumber(store.PageCount() + root.firstPageNumber_ - 1);
    store.SetTitle(root.title_);
    store.SetOrientation(root.pageSetup_.Orientation() == poLandscape ? MetaOrientationLandscape
                                                                      : MetaOrientationPortrait);
    store.SetPaperWidth(root.pageSetup_.PaperWidth());
    store.SetPaperHeight(root.pageSetup_.PaperHeight());
}

bool TRLCustomReport::Preview(QObject* dest) {
    if (forcePrepare_)
        Clear();
    if (state_ == rsIdle && !Prepare())
        return false;
    if (TRLPreviewHandler handler = ReportPreviewHandler())
        return handler(*this, dest);
    return true;
}

void TRLCustomReport::Print() {
    if (TRLPrintHandler handler = ReportPrintHandler()) {
        handler(*this);
        return;
    }
    if (state_ == rsIdle && !Prepare())
        return;
    throw TRLException(RLMessages[mkPrinterNotFound]);
}

} // namespace Kelmora
