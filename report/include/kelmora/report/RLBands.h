/// @file
/// Bands and band sets. A band is a horizontal strip that prints as a unit at the print cursor
/// of its pager; pagers paginate (cursor, headers at page start, footers at page end, new pages
/// when a band does not fit); skippers iterate records; groups sub-divide the records of their
/// skipper by a key. The report (RLReport.h) is a skipper.
#pragma once

#include <kelmora/report/RLRecordStream.h>
#include <kelmora/report/RLSite.h>

#include <QAbstractItemModel>
#include <QHash>
#include <QPointer>

#include <array>
#include <optional>
#include <vector>

namespace Kelmora {

/// Bands of one pager by type, each list in ascending Top (equal tops keep their order), with
/// a printed mark per type.
class TRLSortedBands {
public:
    void Clear();
    void Add(TRLCustomBand* band);
    const std::vector<TRLCustomBand*>& List(TRLBandType type) const {
        return lists_[static_cast<size_t>(type)];
    }
    bool Printed(TRLBandType type) const { return printed_[static_cast<size_t>(type)]; }
    void SetPrinted(TRLBandType type, bool v) { printed_[static_cast<size_t>(type)] = v; }
    void ResetPrinted();
    /// Every mark but the title's (titles print on the first page only).
    void ResetPrintedButTitle();

private:
    std::array<std::vector<TRLCustomBand*>, BandTypeCount> lists_;
    std::array<bool, BandTypeCount> printed_{};
};

/// A site that holds bands.
class TRLCustomBandSet : public TRLCustomSite {
    Q_OBJECT

public:
    explicit TRLCustomBandSet(TRLCustomControl* parent = nullptr);
};

class TRLCustomBand : public TRLCustomBandSet {
    Q_OBJECT

public:
    explicit TRLCustomBand(TRLCustomControl* parent = nullptr);

    TRLBandType BandType() const { return bandType_; }
    void SetBandType(TRLBandType type); // re-aligns the parent
    bool AutoExpand() const { return autoExpand_; }
    void SetAutoExpand(bool v) { autoExpand_ = v; }
    bool IntegralHeight() const { return integralHeight_; }
    void SetIntegralHeight(bool v) { integralHeight_ = v; }
    TRLPageBreaking PageBreaking() const { return pageBreaking_; }
    void SetPageBreaking(TRLPageBreaking v) { pageBreaking_ = v; }
    bool AlignToBottom() const { return alignToBottom_; }
    void SetAlignToBottom(bool v) { alignToBottom_ = v; }
    TRLCompletionType Completion() const { return completion_; }
    void SetCompletion(TRLCompletionType v) { completion_ = v; }
    bool Computable() const { return computable_; }
    void SetComputable(bool v) { computable_ = v; }
    int CarbonCopies() const { return carbonCopies_; }
    void SetCarbonCopies(int v) { carbonCopies_ = v < 1 ? 1 : v; }
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int v); // negative becomes 0
    TRLBandOptions Options() const { return options_; }
    void SetOptions(TRLBandOptions v) { options_ = v; }

    /// The carbon copy being printed (0-based).
    int CarbonCopy() const { return carbonCopy_; }
    void SetCarbonCopy(int v) { carbonCopy_ = v; }

    /// A detail band that counts as a record band and prints a real (not blank) record.
    bool IsDataBand() const;
    /// Whether h fits below the pager's cursor; available gets the room left, which keeps back
    /// the room of the column footers still to print on the page.
    bool HeightFits(int h, int& available) const;
    /// Run by the pager before the band prints: starts a new page when the band does not fit
    /// below the cursor (unless it is a footer, breaks optimistically, or may be split and
    /// still has room).
    void StartPageIfTooTall(TRLCustomPager& pager);

    int AlignPriority() const override;
    int AlignGroupIndex() const override { return groupIndex_; }

protected:
    void Print() override;
    void ComputePrintRect() override;
    void TransferSurface() override;
    bool PrintsChildSites() const override { return true; }
    bool CanAutoExpand() const override { return autoExpand_; }

private:
    void MovePrintTopToCursor();
    void NewPageForBand(TRLCustomPager& pager);
    /// Starts a new page for the band where the pager may break one; otherwise only moves the
    /// band to the cursor.
    void BreakPageIfAllowed(TRLCustomPager& pager);
    /// The steps of TransferSurface: a page break the report asked for or the band demands,
    /// the move to the bottom of the page, and the copy onto the pager's page, a slice a page.
    void BreakPageBeforeTransfer(TRLCustomPager& pager);
    void PlaceAtBottom(TRLCustomPager& pager);
    /// The height of the next slice, from the band's surface row `printed` on. Sets newPage
    /// instead when the band had to move to a new page first.
    int SliceHeight(TRLCustomPager& pager, int printed, bool& newPage);
    void CopySlice(TRLCustomPager& pager, int printed, int slice);
    /// A new page was started for this band during the current print: what remains of it is
    /// copied whole, without another fit test.
    bool newPageDone_ = false;
    TRLBandType bandType_ = btDetail;
    bool autoExpand_ = true;
    bool integralHeight_ = true;
    TRLPageBreaking pageBreaking_ = pbNone;
    bool alignToBottom_ = false;
    TRLCompletionType completion_ = ctNone;
    bool computable_ = true;
    int carbonCopies_ = 1;
    int groupIndex_ = 0;
    TRLBandOptions options_;
    int carbonCopy_ = 0;
};

class TRLBand : public TRLCustomBand {
    Q_OBJECT

public:
    explicit TRLBand(TRLCustomControl* parent = nullptr) : TRLCustomBand(parent) {}
};

/// A band set that paginates.
class TRLCustomPager : public TRLCustomBandSet {
    Q_OBJECT

public:
    explicit TRLCustomPager(TRLCustomControl* parent = nullptr);

    /// The types of the bands present. Setting it creates a 20-pixel band for each added type
    /// and deletes the bands of removed types.
    TRLAllowedBands AllowedBands() const;
    void SetAllowedBands(TRLAllowedBands bands);
    int MaxBands() const { return maxBands_; }
    void SetMaxBands(int v) { maxBands_ = v < 0 ? 0 : v; }
    int MinBands() const { return minBands_; }
    void SetMinBands(int v) { minBands_ = v < 0 ? 0 : v; }
    bool ForceMinBands() const { return forceMinBands_; }
    void SetForceMinBands(bool v) { forceMinBands_ = v; }
    TRLFooterMeasuring FooterMeasuring() const { return footerMeasuring_; }
    void SetFooterMeasuring(TRLFooterMeasuring v) { footerMeasuring_ = v; }

    // --- run state ---
    /// Report pixels from the pager's top. Its bands and child groups move it as they take
    /// room on the page.
    int PrintCursor() const { return cursor_; }
    void SetPrintCursor(int y) { cursor_ = y; }
    /// Detail bands printed in the run (what a detail-count field prints) and on this page.
    int DetailCount() const { return detailCount_; }
    int PageDetailCount() const { return pageDetailCount_; }
    bool DataPrinted() const { return dataPrinted_; }
    bool Completing() const { return completing_; }

    // --- operations ---
    /// Rebuilds the sorted band lists of this pager.
    void SortBands();
    /// 0 nothing to print, 1 printed, 2 stopped at the band that forced a new page.
    int PrintBands(TRLBandType type);
    void PrintBand(TRLCustomBand& band);
    void PrintHeaders();
    void PrintFooters(bool withSummary);
    /// The detail of the current record: child groups, then detail bands.
    virtual void PrintDetail();
    /// Ends the page (unless moveOnly) and starts the next one for band.
    void NewPage(TRLCustomBand& band, bool moveOnly);
    /// Room for bands below the top of this pager's print rectangle (cursor not subtracted).
    int FreeHeight() const;
    /// Heights of the visible column footers of this pager and of those above that have still
    /// to print on the current page: the room other bands leave for them.
    int ColumnFooterRoom() const;
    /// Absolute print top of the pager on the page.
    int AbsolutePrintTop() const;
    /// Bottom margin of the pager and of every pager above it.
    int BottomMargins() const;
    /// Whether a band forced to a new page may really start one now.
    bool PageMayBreak() const;
    /// Footer bands of this pager and the pagers above re-measure their height.
    void MeasureFooters();
    /// Completion with blank detail bands at the end of the run.
    void CompletePage();
    /// A band of this pager has printed: counts it among the records and details and marks the
    /// pagers from here up as having printed data. dataBand is the band's IsDataBand, taken
    /// before it printed.
    void CountPrintedBand(const TRLCustomBand& band, bool dataBand);
    /// A child group has printed the records of its key: the current record is already the
    /// next one, so the detail loop does not advance again.
    void ChildGroupAdvancedRecord() { detailAdvanced_ = true; }
    /// Heights of the visible bottom-aligned bands of a type, from `from` on in the sorted list
    /// (all of them when from is null): bottom-aligned bands stack upwards from the free height.
    int BottomAlignedHeights(TRLBandType type, const TRLCustomBand* from = nullptr) const;
    /// Resets counters, marks and cursor for a new run.
    virtual void BeginRun();

    int AlignPriority() const override { return 100; }

protected:
    void SurfaceOpening() override;
    void SurfaceOpened() override;
    void SurfaceClosing() override;
    /// Heights of the visible footers of this pager and of those above.
    int FooterHeights() const;
    /// For a pager inside another (a group, a subdetail): it prints from the parent's cursor,
    /// and hands the parent the room its bands used.
    void PlaceAtParentCursor();
    void TransferToParentCursor();

    int maxBands_ = 0;
    int minBands_ = 0;
    bool forceMinBands_ = false;
    TRLFooterMeasuring footerMeasuring_ = fmNone;

    int cursor_ = 0;
    int detailCount_ = 0;
    int pageDetailCount_ = 0;
    bool dataPrinted_ = false;
    bool completing_ = false;
    TRLCustomBand* forcingBand_ = nullptr;
    /// The column footers closed the last page of records: a page that only takes the summary
    /// does not repeat them.
    bool columnFootersDone_ = false;
    TRLSortedBands sortedBands_;
    /// Set by a group that consumed records, so the pager's loop does not advance again.
    bool detailAdvanced_ = false;
};

/// The column of a model whose horizontal header is the field's name, without regard to case;
/// -1 when there is none. How a report finds its records' fields by name.
int FieldColumnOf(const QAbstractItemModel& model, const QString& name);

/// A pager that iterates records.
class TRLCustomSkipper : public TRLCustomPager {
    Q_OBJECT

public:
    explicit TRLCustomSkipper(TRLCustomControl* parent = nullptr);

    /// Rows are records; fields are columns found by their horizontal header text. A source
    /// that reads as it goes (canFetchMore) is read further as the records advance.
    QAbstractItemModel* DataSource() const { return dataSource_; }
    void SetDataSource(QAbstractItemModel* model);
    TRLRecordRange RecordRange() const { return recordRange_; }
    void SetRecordRange(TRLRecordRange v) { recordRange_ = v; }
    int RangeCount() const { return rangeCount_; }
    void SetRangeCount(int v) { rangeCount_ = v < 0 ? 0 : v; }
    bool PrintEmpty() const { return printEmpty_; }
    void SetPrintEmpty(bool v) { printEmpty_ = v; }

    // The events (see TRLCustomControl for how to connect them).
signals:
    /// When the number of records is asked for (a progress window's length): count arrives as
    /// the data source's row count, 0 without a data source, and a handler may set it.
    void OnDataCount(TRLCustomSkipper& sender, int& count);
    /// For a skipper without a data source only: the records come from the handlers, which set
    /// moreData (it arrives false) while there is a record to print. It is raised once as the
    /// records open and again for every further record; without a handler there are none.
    void OnNeedData(TRLCustomSkipper& sender, bool& moreData);
    /// For every record before it is used (and every copy of a retained record): action (it
    /// arrives raUseIt) says what the record does, and setting eof ends the records here.
    void OnDataRecord(TRLCustomSkipper& sender, int recNo, int copyNo, TRLRecordAction& action,
                      bool& eof);

public:
    // --- records ---
    int RecNo() const { return recNo_; }
    int CopyNo() const { return copyNo_; }
    bool Eof() const { return eof_; }
    /// The data source's row the skipper stands on (kept between runs for ranges other than
    /// rrAllRecords, which rewind).
    int CurrentRow() const { return row_; }
    void SetCurrentRow(int row) { row_ = row; }

    void OpenRecords();
    void NextRecord();
    /// The data source's row count (0 without one), as OnDataCount's handlers leave it.
    int RecordCount();
    /// Column of a field (-1 when missing) and the current record's text of it. The columns
    /// found are kept until the data source says that its columns or their headers changed.
    int FindField(const QString& name) const;
    QString FieldText(const QString& name) const;
    /// The current record's text of the field in column (what FieldText gives for its name).
    QString ColumnText(int column) const;
    bool HasField(const QString& name) const { return FindField(name) >= 0; }
    /// True the first time it is asked in a run for the current record (and copy): a record
    /// counts once in the totals however many of the skipper's bands print it.
    bool TakeRecordForTotals();
    /// The current record is printed blank.
    bool BlankRecord() const { return recordAction_ == raBlankAndRetain; }
    /// While on, fields read from the record before the current one: a group's footers print
    /// after its last record, when the skipper already stands on the next group's first (or past
    /// the end), and they speak of the group they close.
    bool ReadingPreviousRecord() const { return readingPrevious_; }
    void SetReadingPreviousRecord(bool on) { readingPrevious_ = on; }

private:
    /// Moves to the first usable record at or after the current one (OnDataRecord decides).
    void SeekUsable();
    bool FetchRow();
    /// Whether OnNeedData has a handler: a skipper without a data source reads records from it.
    bool NeedDataConnected() const;

    QPointer<QAbstractItemModel> dataSource_;
    /// The data source when it is a stream of records, whose texts are read without a QVariant.
    const TRLRecordStream* recordSource_ = nullptr;
    /// FindField's answers by the name asked for: every field named in an expression is looked
    /// up for every record, through the header of every column before it.
    mutable QHash<QString, int> fieldColumns_;
    std::vector<QMetaObject::Connection> sourceWatch_;
    TRLRecordRange recordRange_ = rrAllRecords;
    int rangeCount_ = 0;
    bool printEmpty_ = false;
    int recNo_ = 0;
    int copyNo_ = 0;
    bool eof_ = true;
    TRLRecordAction recordAction_ = raUseIt;
    int row_ = 0;
    int rowsUsed_ = 0;
    bool readingPrevious_ = false;
    std::pair<int, int> totalled_{-1, -1};
    /// The record before the current one, kept for the footers that close a group after its
    /// last record: the row itself when the source is a record stream, its texts otherwise.
    QStringList previousTexts_;
    std::optional<TRLRecordRow> previousRow_;
};

/// A pager that prints the detail of its skipper's records while their key stays the same.
class TRLCustomGroup : public TRLCustomPager {
    Q_OBJECT

public:
    explicit TRLCustomGroup(TRLCustomControl* parent = nullptr);

    /// Field names separated by ";" whose texts make the key.
    QString DataFields() const { return dataFields_; }
    void SetDataFields(const QString& v) { dataFields_ = v; }
    /// An expression for the report's ExpressionParser, used when DataFields is empty.
    QString Expression() const { return expression_; }
    void SetExpression(const QString& v) { expression_ = v; }

    /// The key of the current record; raises "Not found: NAME.DataField "F"" for a missing
    /// field.
    QString GetKey();
    /// Prints the group for the run of records sharing the current record's key; the skipper
    /// stands on the first record of the next key afterwards.
    void PrintGroup();

    int AlignPriority() const override { return 32; }

protected:
    void ComputePrintRect() override;
    void TransferSurface() override;

private:
    QString dataFields_;
    QString expression_;
};

class TRLGroup : public TRLCustomGroup {
    Q_OBJECT

public:
    explicit TRLGroup(TRLCustomControl* parent = nullptr) : TRLCustomGroup(parent) {}
};

} // namespace Kelmora
