#include <kelmora/report/RLBands.h>

#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLSubDetail.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>

#include <kelmora/parser/RLExpressionParser.h>

#include <QAbstractItemModel>
#include <QMetaMethod>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include <algorithm>

namespace Kelmora {

namespace {

constexpr int MaxCompletionBands = 100000;

bool IsFooterKind(TRLBandType type) {
    return type == btColumnFooter || type == btFooter;
}

// The names of every control below parent.
void CollectNames(const TRLCustomControl& parent, QStringList& names) {
    for (const TRLCustomControl* c : parent.Controls()) {
        names << c->Name();
        CollectNames(*c, names);
    }
}

} // namespace

// ---- TRLSortedBands --------------------------------------------------------------------------

void TRLSortedBands::Clear() {
    for (auto& list : lists_)
        list.clear();
    printed_.fill(false);
}

void TRLSortedBands::Add(TRLCustomBand* band) {
    auto& list = lists_[static_cast<size_t>(band->BandType())];
    const auto at = std::upper_bound(
        list.begin(), list.end(), band,
        [](const TRLCustomBand* a, const TRLCustomBand* b) { return a->Top() < b->Top(); });
    list.insert(at, band);
}

void TRLSortedBands::ResetPrinted() {
    printed_.fill(false);
}

void TRLSortedBands::ResetPrintedButTitle() {
    const bool title = printed_[btTitle];
    printed_.fill(false);
    printed_[btTitle] = title;
}

// ---- TRLCustomBandSet ------------------------------------------------------------------------

TRLCustomBandSet::TRLCustomBandSet(TRLCustomControl* parent) : TRLCustomSite(parent) {}

// ---- TRLCustomBand ---------------------------------------------------------------------------

TRLCustomBand::TRLCustomBand(TRLCustomControl* parent) : TRLCustomBandSet(parent) {
    JoinFamily(TRLControlFamily::Band);
    SetAutoSizeDirection(asHeightDir);
    SetBounds(0, 0, 185, 16);
    SetAlign(faTop);
}

void TRLCustomBand::SetBandType(TRLBandType type) {
    if (type == bandType_)
        return;
    bandType_ = type;
    if (!Loading())
        if (auto* site = ControlCast<TRLCustomSite>(Parent()))
            site->AlignControls();
}

void TRLCustomBand::SetGroupIndex(int v) {
    groupIndex_ = v < 0 ? 0 : v;
}

int TRLCustomBand::AlignPriority() const {
    static constexpr int priorities[BandTypeCount] = {10, 20, 30, 40, 50, 60, 70};
    return priorities[bandType_];
}

bool TRLCustomBand::IsDataBand() const {
    return bandType_ == btDetail && computable_ && !IsBlankRecord();
}

bool TRLCustomBand::HeightFits(int h, int& available) const {
    const TRLCustomPager& pager = RequireParentPager();
    available = pager.FreeHeight() - pager.ColumnFooterRoom() - pager.PrintCursor();
    return h <= available;
}

void TRLCustomBand::ComputePrintRect() {
    const TRLCustomPager& pager = RequireParentPager();
    SetPrintPosition(Left(), pager.PrintCursor());
    SetPrintSize(Width(), Height());
}

void TRLCustomBand::MovePrintTopToCursor() {
    SetPrintPosition(PrintLeft(), RequireParentPager().PrintCursor());
}

void TRLCustomBand::NewPageForBand(TRLCustomPager& pager) {
    pager.NewPage(*this, false);
    newPageDone_ = true;
    MovePrintTopToCursor();
}

void TRLCustomBand::StartPageIfTooTall(TRLCustomPager& pager) {
    newPageDone_ = false;
    // The fit test needs the page that the band will go on; a page that is not started yet
    // will be a fresh one.
    if (!pager.SurfaceIsOpen() || options_.Contains(boOptimisticPageBreak) ||
        IsFooterKind(bandType_))
        return;
    int available = 0;
    if (!HeightFits(Height(), available) && (integralHeight_ || available < 0)) {
        pager.NewPage(*this, false);
        newPageDone_ = true;
    }
}

void TRLCustomBand::Print() {
    // Whether the band prints a real record is decided before it prints: its own printing
    // does not change it.
    const bool data = IsDataBand();
    TRLCustomSite::Print();
    RequireParentPager().CountPrintedBand(*this, data);
    if (pageBreaking_ == pbAfterPrint)
        RequireParentReport().Pagination().RequestBreak();
}

void TRLCustomBand::BreakPageIfAllowed(TRLCustomPager& pager) {
    const bool moveOnly = !pager.PageMayBreak();
    pager.NewPage(*this, moveOnly);
    if (!moveOnly)
        newPageDone_ = true;
}

void TRLCustomBand::BreakPageBeforeTransfer(TRLCustomPager& pager) {
    TRLCustomReport& report = RequireParentReport();
    // A break asked for by a band printed before this one is taken by the next band that
    // prints a record, or by the summary of a pager that printed some.
    const bool takesRequest = IsDataBand() || (bandType_ == btSummary && pager.DetailCount() > 0);
    bool breakNow = takesRequest && report.Pagination().TakeBreakRequest();
    if (pageBreaking_ == pbBeforePrint && report.DataPrinted())
        breakNow = true;
    if (bandType_ == btDetail && pager.MaxBands() >= 1 &&
        pager.PageDetailCount() >= pager.MaxBands() && !pager.Completing())
        breakNow = true;
    if (breakNow) {
        BreakPageIfAllowed(pager);
        MovePrintTopToCursor();
    }
}

void TRLCustomBand::PlaceAtBottom(TRLCustomPager& pager) {
    if (bandType_ == btFooter) {
        pager.SetPrintCursor(std::max(pager.PrintCursor(), pager.FreeHeight()));
    } else if (bandType_ == btColumnFooter || bandType_ == btSummary) {
        // Bottom-aligned bands stack upwards from the free height: the summaries lowest, the
        // column footers above them.
        const auto target = [&] {
            if (bandType_ == btColumnFooter)
                return pager.FreeHeight() - (pager.BottomAlignedHeights(btSummary) +
                                             pager.BottomAlignedHeights(btColumnFooter, this));
            return pager.FreeHeight() - pager.BottomAlignedHeights(btSummary, this);
        };
        // Column footers close the page they belong to, which may be ending right now: they
        // never start another one. The room kept back for them makes a cursor below their
        // place rare (a band that grew past it); they then follow right below it.
        if (target() >= pager.PrintCursor())
            pager.SetPrintCursor(target());
        else if (bandType_ == btSummary) {
            BreakPageIfAllowed(pager);
            pager.SetPrintCursor(std::max(pager.PrintCursor(), target()));
        }
    }
    MovePrintTopToCursor();
}

int TRLCustomBand::SliceHeight(TRLCustomPager& pager, int printed, bool& newPage) {
    newPage = false;
    const int rest = PrintHeight() - printed;
    int available = 0;
    if (IsFooterKind(bandType_) || HeightFits(rest, available))
        return rest;
    if (!newPageDone_ && (integralHeight_ || available < 0)) {
        NewPageForBand(pager);
        newPage = true;
        return rest;
    }
    if (integralHeight_)
        return rest; // kept whole: runs past the bottom of the page
    int row = 0;
    if (available > 0 && Surface().FindFreeRow(printed + available, row) && row > printed)
        return row - printed;
    if (!newPageDone_) {
        NewPageForBand(pager);
        newPage = true;
        return rest;
    }
    return available > 0 ? available : rest; // a new page would give no more room
}

void TRLCustomBand::CopySlice(TRLCustomPager& pager, int printed, int slice) {
    const TRLRect source{0, printed, PrintWidth(), printed + slice};
    const TRLRect dest{PrintLeft(), PrintTop(), PrintLeft() + PrintWidth(), PrintTop() + slice};
    TRLGraphicSurface& target = pager.Surface();
    target.SetClipRect(dest);
    DrawFrame(target, {PrintLeft(), PrintTop() - printed, PrintLeft() + PrintWidth(),
                       PrintTop() - printed + PrintHeight()});
    target.ResetClipRect();
    // The band's objects are wanted no more once its last slice is on the page.
    if (printed + slice >= PrintHeight())
        target.TakeRect(dest, Surface(), source);
    else
        target.CopyRect(dest, Surface(), source);
}

void TRLCustomBand::TransferSurface() {
    TRLCustomPager& pager = RequireParentPager();
    BreakPageBeforeTransfer(pager);
    if (alignToBottom_ || bandType_ == btFooter)
        PlaceAtBottom(pager);
    // Slices: normally one; a band that does not fit is moved or cut at a free row. A band kept
    // whole that does not fit even on a new page runs past its bottom; a band that may be split
    // is cut on every page it reaches, at the margin itself when no row leaves the text whole.
    int printed = 0;
    int slice = 0;
    while (PrintHeight() > printed) {
        bool newPage = false;
        slice = SliceHeight(pager, printed, newPage);
        // The band moved to a new page: what remains is measured again there.
        if (newPage)
            continue;
        CopySlice(pager, printed, slice);
        printed += slice;
        if (printed < PrintHeight())
            NewPageForBand(pager);
    }
    pager.SetPrintCursor(pager.PrintCursor() + slice);
}

// ---- TRLCustomPager --------------------------------------------------------------------------

TRLCustomPager::TRLCustomPager(TRLCustomControl* parent) : TRLCustomBandSet(parent) {
    JoinFamily(TRLControlFamily::Pager);
    SetAutoSizeDirection(asHeightDir);
    SetAlign(faTop);
}

TRLAllowedBands TRLCustomPager::AllowedBands() const {
    TRLAllowedBands bands;
    for (TRLCustomControl* c : Controls())
        if (auto* band = ControlCast<TRLCustomBand>(c))
            bands.Include(band->BandType());
    return bands;
}

void TRLCustomPager::SetAllowedBands(TRLAllowedBands bands) {
    // The set always follows the bands present; a stored value read with a layout describes
    // the bands the layout brings itself, so there is nothing to create or free then.
    if (Loading())
        return;
    const TRLAllowedBands present = AllowedBands();
    for (int t = 0; t < BandTypeCount; ++t) {
        const auto type = static_cast<TRLBandType>(t);
        if (bands.Contains(type) && !present.Contains(type)) {
            QStringList names;
            CollectNames(*Owner(), names);
            auto* band = new TRLBand(this);
            band->SetName(NextComponentName(QStringLiteral("TRLBand"), names));
            band->SetBandType(type);
            band->SetHeight(20);
            band->SetAlign(faTop);
        } else if (!bands.Contains(type) && present.Contains(type)) {
            for (TRLCustomControl* c : std::vector<TRLCustomControl*>(Controls()))
                if (auto* band = ControlCast<TRLCustomBand>(c); band && band->BandType() == type)
                    delete band;
        }
    }
    AlignControls();
}

void TRLCustomPager::SortBands() {
    sortedBands_.Clear();
    for (TRLCustomControl* c : Controls()) {
        if (auto* band = ControlCast<TRLCustomBand>(c))
            sortedBands_.Add(band);
        else if (auto* pager = ControlCast<TRLCustomPager>(c))
            pager->SortBands();
    }
}

void TRLCustomPager::BeginRun() {
    SortBands();
    sortedBands_.ResetPrinted();
    detailCount_ = 0;
    pageDetailCount_ = 0;
    dataPrinted_ = false;
    completing_ = false;
    forcingBand_ = nullptr;
    columnFootersDone_ = false;
    detailAdvanced_ = false;
    cursor_ = FrameMargins().Top;
}

int TRLCustomPager::PrintBands(TRLBandType type) {
    const std::vector<TRLCustomBand*> list = sortedBands_.List(type);
    if (list.empty())
        return 0;
    std::vector<const TRLCustomBand*> done;
    for (size_t i = 0; i < list.size(); ++i) {
        TRLCustomBand* band = list[i];
        if (band == forcingBand_)
            return 2;
        if (std::find(done.begin(), done.end(), band) != done.end())
            continue;
        std::vector<TRLCustomBand*> together{band};
        if (band->GroupIndex() > 0)
            for (size_t j = i + 1; j < list.size(); ++j)
                if (list[j]->GroupIndex() == band->GroupIndex()) {
                    together.push_back(list[j]);
                    done.push_back(list[j]);
                }
        for (int copy = 0; copy < band->CarbonCopies(); ++copy)
            for (TRLCustomBand* b : together) {
                if (b == forcingBand_)
                    return 2;
                b->SetCarbonCopy(copy);
                PrintBand(*b);
            }
    }
    sortedBands_.SetPrinted(type, true);
    return 1;
}

void TRLCustomPager::PrintBand(TRLCustomBand& band) {
    band.SaveBounds();
    const auto restore = qScopeGuard([&band] { band.RestoreBounds(); });
    // A band that its Visible expression leaves out for this record asks for no new page.
    if (!band.Visible() || !band.ApplyPropertyExpressions())
        return;
    band.StartPageIfTooTall(*this);
    if (band.CanPrint()) {
        // The record counts in the aggregates once, before its own band's texts are made.
        if (band.IsDataBand() && band.CarbonCopy() == 0)
            band.RequireParentReport().AddRecordToAggregates(band.RequireParentSkipper());
        band.AdjustBounds();
        band.DoPrint();
        band.DoAfterPrint();
    }
}

void TRLCustomPager::PrintHeaders() {
    for (TRLBandType type : {btHeader, btTitle, btColumnHeader})
        if (!sortedBands_.Printed(type) && PrintBands(type) == 2)
            return;
    if (footerMeasuring_ == fmAfterHeader)
        MeasureFooters();
}

void TRLCustomPager::PrintFooters(bool withSummary) {
    if (!sortedBands_.Printed(btColumnFooter) && PrintBands(btColumnFooter) == 2)
        return;
    if (withSummary) {
        // The records are over: should the summary need a page of its own, that page closes
        // without column footers.
        columnFootersDone_ = true;
        if (!sortedBands_.Printed(btSummary) && PrintBands(btSummary) == 2)
            return;
    }
    if (!sortedBands_.Printed(btFooter))
        PrintBands(btFooter);
}

void TRLCustomPager::PrintDetail() {
    if (footerMeasuring_ == fmBeforeDetail)
        MeasureFooters();
    detailAdvanced_ = false;
    for (TRLCustomControl* c : std::vector<TRLCustomControl*>(Controls()))
        if (auto* group = qobject_cast<TRLCustomGroup*>(c); group && group->Visible()) {
            group->PrintGroup();
            // The group printed the records of its key: this record is already the next one.
            if (detailAdvanced_)
                return;
        }
    PrintBands(btDetail);
    // The records of the subdetails that belong to this one, under its detail bands.
    for (TRLCustomControl* c : std::vector<TRLCustomControl*>(Controls()))
        if (auto* subDetail = qobject_cast<TRLCustomSubDetail*>(c);
            subDetail && subDetail->Visible())
            subDetail->PrintSubDetail();
}

void TRLCustomPager::PlaceAtParentCursor() {
    const TRLCustomPager& parent = RequireParentPager();
    SetPrintPosition(Left(), parent.PrintCursor());
    SetPrintSize(Width(), Height());
}

void TRLCustomPager::TransferToParentCursor() {
    TRLCustomPager& parent = RequireParentPager();
    // The pager takes on the page the room its bands used.
    SetPrintSize(PrintWidth(), cursor_ + FrameMargins().Bottom);
    TRLCustomSite::TransferSurface();
    parent.SetPrintCursor(PrintTop() + PrintHeight());
}

void TRLCustomPager::NewPage(TRLCustomBand& band, bool moveOnly) {
    const QScopedValueRollback<TRLCustomBand*> forcing(forcingBand_, &band);
    if (moveOnly)
        return;
    CloseSurface();
    if (TRLCustomPager* parent = ParentPager())
        parent->NewPage(band, false);
    OpenSurface();
}

int TRLCustomPager::AbsolutePrintTop() const {
    int top = PrintTop();
    for (const TRLCustomPager* p = ParentPager(); p; p = p->ParentPager())
        top += p->PrintTop();
    return top;
}

int TRLCustomPager::BottomMargins() const {
    int margins = 0;
    for (const TRLCustomPager* p = this; p; p = p->ParentPager())
        margins += p->FrameMargins().Bottom;
    return margins;
}

int TRLCustomPager::FooterHeights() const {
    int heights = 0;
    for (const TRLCustomPager* p = this; p; p = p->ParentPager())
        for (const TRLCustomBand* band : p->sortedBands_.List(btFooter))
            if (band->Visible())
                heights += band->Height();
    return heights;
}

int TRLCustomPager::BottomAlignedHeights(TRLBandType type, const TRLCustomBand* from) const {
    int heights = 0;
    bool counting = from == nullptr;
    for (const TRLCustomBand* band : sortedBands_.List(type)) {
        if (band == from)
            counting = true;
        if (counting && band->Visible() && band->AlignToBottom())
            heights += band->Height();
    }
    return heights;
}

int TRLCustomPager::ColumnFooterRoom() const {
    int heights = 0;
    for (const TRLCustomPager* p = this; p; p = p->ParentPager()) {
        if (p->sortedBands_.Printed(btColumnFooter))
            continue;
        for (const TRLCustomBand* band : p->sortedBands_.List(btColumnFooter))
            if (band->Visible())
                heights += band->Height() * band->CarbonCopies();
    }
    return heights;
}

int TRLCustomPager::FreeHeight() const {
    const TRLCustomReport* report = ParentReport();
    const int bottom = report ? report->PrintTop() + report->PrintHeight() : Height();
    return bottom - AbsolutePrintTop() - BottomMargins() - FooterHeights();
}

bool TRLCustomPager::PageMayBreak() const {
    return dataPrinted_ && (!forceMinBands_ || minBands_ < 1 || pageDetailCount_ >= minBands_);
}

void TRLCustomPager::MeasureFooters() {
    for (TRLCustomPager* p = this; p; p = p->ParentPager())
        for (TRLCustomBand* band : p->sortedBands_.List(btFooter))
            band->MeasureHeight();
}

void TRLCustomPager::CompletePage() {
    if (!SurfaceIsOpen())
        return;
    TRLCustomBand* band = nullptr;
    for (TRLCustomBand* b : sortedBands_.List(btDetail))
        if (b->Completion() != ctNone && b->Computable()) {
            band = b;
            break;
        }
    if (!band)
        return;
    const QScopedValueRollback<bool> completing(completing_, true);
    for (int n = 0; n < MaxCompletionBands; ++n) {
        bool more = false;
        switch (band->Completion()) {
        case ctFullPage:
            more = cursor_ + band->Height() <=
                       FreeHeight() - ColumnFooterRoom() - BottomAlignedHeights(btSummary) &&
                   (maxBands_ < 1 || pageDetailCount_ < maxBands_);
            break;
        case ctMaxBands:
            more = maxBands_ >= 1 && pageDetailCount_ < maxBands_;
            break;
        case ctMinBands:
            more = minBands_ >= 1 && pageDetailCount_ < minBands_;
            break;
        case ctNone:
            break;
        }
        if (!more)
            break;
        PrintBand(*band);
    }
}

void TRLCustomPager::CountPrintedBand(const TRLCustomBand& band, bool dataBand) {
    if (dataBand || band.BandType() == btSummary) {
        if (dataBand)
            ++detailCount_;
        for (TRLCustomPager* p = this; p; p = p->ParentPager())
            p->dataPrinted_ = true;
    }
    if (band.BandType() == btDetail && band.Computable())
        ++pageDetailCount_;
}

void TRLCustomPager::SurfaceOpening() {
    cursor_ = FrameMargins().Top;
    pageDetailCount_ = 0;
    dataPrinted_ = false;
    sortedBands_.ResetPrintedButTitle();
    if (columnFootersDone_)
        sortedBands_.SetPrinted(btColumnFooter, true);
}

void TRLCustomPager::SurfaceOpened() {
    PrintHeaders();
}

void TRLCustomPager::SurfaceClosing() {
    PrintFooters(false);
}

// ---- TRLCustomSkipper ------------------------------------------------------------------------

namespace {

// Whether the data source has the row, reading further into a source that reads as it goes.
bool RowReachable(QAbstractItemModel& source, int row) {
    while (row >= source.rowCount() && source.canFetchMore(QModelIndex()))
        source.fetchMore(QModelIndex());
    return row < source.rowCount();
}

} // namespace

TRLCustomSkipper::TRLCustomSkipper(TRLCustomControl* parent) : TRLCustomPager(parent) {
    JoinFamily(TRLControlFamily::Skipper);
}

void TRLCustomSkipper::SetDataSource(QAbstractItemModel* model) {
    for (const QMetaObject::Connection& connection : sourceWatch_)
        QObject::disconnect(connection);
    sourceWatch_.clear();
    fieldColumns_.clear();
    dataSource_ = model;
    recordSource_ = dynamic_cast<const TRLRecordStream*>(model);
    if (!model)
        return;
    // Directly: a report prepared on another thread than the one it was made on reads its
    // records there, and the columns a read adds must be known before the next lookup.
    const auto forget = [this] { fieldColumns_.clear(); };
    using M = QAbstractItemModel;
    sourceWatch_ = {
        QObject::connect(model, &M::headerDataChanged, this, forget, Qt::DirectConnection),
        QObject::connect(model, &M::columnsInserted, this, forget, Qt::DirectConnection),
        QObject::connect(model, &M::columnsRemoved, this, forget, Qt::DirectConnection),
        QObject::connect(model, &M::columnsMoved, this, forget, Qt::DirectConnection),
        QObject::connect(model, &M::modelAboutToBeReset, this, forget, Qt::DirectConnection),
        QObject::connect(model, &M::modelReset, this, forget, Qt::DirectConnection),
        QObject::connect(model, &M::layoutChanged, this, forget, Qt::DirectConnection),
    };
}

int TRLCustomSkipper::RecordCount() {
    int count = dataSource_ ? dataSource_->rowCount() : 0;
    emit OnDataCount(*this, count);
    return count;
}

bool TRLCustomSkipper::NeedDataConnected() const {
    static const QMetaMethod needData = QMetaMethod::fromSignal(&TRLCustomSkipper::OnNeedData);
    return isSignalConnected(needData);
}

bool TRLCustomSkipper::TakeRecordForTotals() {
    // The record number and copy number only grow during a run, so the last pair taken tells
    // the record apart.
    const std::pair<int, int> record{recNo_, copyNo_};
    if (record == totalled_)
        return false;
    totalled_ = record;
    return true;
}

void TRLCustomSkipper::OpenRecords() {
    totalled_ = {-1, -1};
    recNo_ = 1;
    copyNo_ = 1;
    rowsUsed_ = 0;
    recordAction_ = raUseIt;
    if (recordRange_ == rrNextN && rangeCount_ < 1)
        eof_ = true;
    else if (dataSource_) {
        if (recordRange_ == rrAllRecords)
            row_ = 0;
        eof_ = row_ < 0 || !RowReachable(*dataSource_, row_);
    } else if (NeedDataConnected()) {
        bool more = false;
        emit OnNeedData(*this, more);
        eof_ = !more;
    } else
        eof_ = true;
    SeekUsable();
}

bool TRLCustomSkipper::FetchRow() {
    if (dataSource_) {
        if (recordRange_ == rrCurrentOnly)
            eof_ = true;
        else {
            ++row_;
            eof_ = !RowReachable(*dataSource_, row_);
        }
    } else if (NeedDataConnected()) {
        bool more = false;
        emit OnNeedData(*this, more);
        eof_ = !more;
    } else
        eof_ = true;
    if (!eof_)
        ++recNo_;
    return !eof_;
}

void TRLCustomSkipper::SeekUsable() {
    while (!eof_) {
        TRLRecordAction action = raUseIt;
        emit OnDataRecord(*this, recNo_, copyNo_, action, eof_);
        recordAction_ = action;
        if (eof_ || action != raIgnoreIt)
            return;
        copyNo_ = 1;
        FetchRow();
    }
}

void TRLCustomSkipper::NextRecord() {
    if (eof_)
        return;
    if (recordAction_ == raUseAndRetain || recordAction_ == raBlankAndRetain)
        ++copyNo_;
    else {
        ++rowsUsed_;
        if (recordRange_ == rrNextN && rowsUsed_ >= rangeCount_) {
            eof_ = true;
            return;
        }
        copyNo_ = 1;
        previousTexts_.clear();
        previousRow_.reset();
        if (dataSource_ && row_ >= 0 && row_ < dataSource_->rowCount()) {
            // Records with thousands of fields each would make a copy column by column cost
            // the fields of the whole source on every record.
            if (const auto* stream = dynamic_cast<const TRLRecordStream*>(dataSource_.data()))
                previousRow_ = stream->HeldRow(row_);
            else
                for (int c = 0; c < dataSource_->columnCount(); ++c)
                    previousTexts_ << dataSource_->index(row_, c).data().toString();
        }
        FetchRow();
    }
    SeekUsable();
}

int FieldColumnOf(const QAbstractItemModel& model, const QString& name) {
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c)
        if (model.headerData(c, Qt::Horizontal).toString().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

int TRLCustomSkipper::FindField(const QString& name) const {
    if (!dataSource_)
        return -1;
    if (const auto found = fieldColumns_.constFind(name); found != fieldColumns_.cend())
        return *found;
    const int column = FieldColumnOf(*dataSource_, name);
    fieldColumns_.insert(name, column);
    return column;
}

QString TRLCustomSkipper::FieldText(const QString& name) const {
    return ColumnText(FindField(name));
}

QString TRLCustomSkipper::ColumnText(int column) const {
    if (readingPrevious_) {
        if (previousRow_)
            return column < 0 ? QString() : previousRow_->Text(column);
        return previousTexts_.value(column);
    }
    if (column < 0 || !dataSource_ || row_ < 0)
        return QString();
    // Every field of every record comes this way.
    if (recordSource_ != nullptr && dataSource_.data() == recordSource_)
        return recordSource_->CellText(row_, column);
    if (row_ >= dataSource_->rowCount())
        return QString();
    return dataSource_->index(row_, column).data().toString();
}

// ---- TRLCustomGroup --------------------------------------------------------------------------

TRLCustomGroup::TRLCustomGroup(TRLCustomControl* parent) : TRLCustomPager(parent) {
    SetHeight(64);
}

QString TRLCustomGroup::GetKey() {
    TRLCustomSkipper& skipper = RequireParentSkipper();
    const QStringList fields = dataFields_.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (!fields.isEmpty()) {
        QString key;
        for (const QString& raw : fields) {
            const QString field = raw.trimmed();
            if (field.isEmpty())
                continue;
            if (!skipper.HasField(field))
                throw TRLException(RLMessages[mkNotFound] + QStringLiteral(": ") + Name() +
                                   QStringLiteral(".DataField \"") + field + QLatin1Char('"'));
            key += skipper.FieldText(field);
        }
        return key;
    }
    if (!expression_.isEmpty())
        return RequireParentReport().ActiveExpressionParser().Evaluate(expression_).ToString();
    return QString();
}

void TRLCustomGroup::PrintGroup() {
    TRLCustomSkipper& skipper = RequireParentSkipper();
    TRLCustomPager& parent = RequireParentPager();
    if (skipper.Eof())
        return;
    TRLCustomReport& root = RequireParentReport().RootReport();
    const QString key = GetKey();
    RequireParentReport().ResetAggregates(TRLCustomReport::AggregateScope::Group, this);
    BeginRun();
    OpenSurface();
    while (true) {
        PrintDetail();
        if (!detailAdvanced_)
            skipper.NextRecord();
        if (skipper.Eof() || root.Canceled() || GetKey() != key)
            break;
    }
    {
        skipper.SetReadingPreviousRecord(true);
        const auto current = qScopeGuard([&skipper] { skipper.SetReadingPreviousRecord(false); });
        CompletePage();
        PrintFooters(true);
        CloseSurface();
    }
    parent.ChildGroupAdvancedRecord();
}

void TRLCustomGroup::ComputePrintRect() {
    PlaceAtParentCursor();
}

void TRLCustomGroup::TransferSurface() {
    TransferToParentCursor();
}

} // namespace Kelmora
