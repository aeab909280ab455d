/// @file
/// The report: root of one printed document. It fixes the paper and its margins, owns the page
/// store that receives the prepared pages, runs page generation (Prepare) and offers Preview and
/// Print, which reach the window layers through the hooks of RLReportHooks.h.
#pragma once

#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLPagination.h>
#include <kelmora/report/RLPaperInfo.h>
#include <kelmora/report/RLPrinterMetrics.h>

#include <QDateTime>
#include <QPointer>

#include <memory>
#include <utility>

namespace Kelmora {

class TRLExpressionParser;
class TRLReportProgress;

class TRLPageSetup : public TRLPersistent {
public:
    explicit TRLPageSetup(TRLCustomReport* owner) : owner_(owner) {}
    QString ClassName() const override { return QStringLiteral("TRLPageSetup"); }

    TRLPaperSize PaperSize() const { return paperSize_; }
    /// Any value but fpCustom takes that paper's width and height.
    void SetPaperSize(TRLPaperSize v);
    TRLPageOrientation Orientation() const { return orientation_; }
    void SetOrientation(TRLPageOrientation v);
    /// Millimetres, portrait sense. Accepted only for fpCustom, and never 0.
    double PaperWidth() const { return paperWidth_; }
    void SetPaperWidth(double v);
    double PaperHeight() const { return paperHeight_; }
    void SetPaperHeight(double v);
    bool ForceEmulation() const { return forceEmulation_; }
    void SetForceEmulation(bool v);

    double OrientedWidth() const { return orientation_ == poPortrait ? paperWidth_ : paperHeight_; }
    double OrientedHeight() const {
        return orientation_ == poPortrait ? paperHeight_ : paperWidth_;
    }

    void Assign(const TRLPageSetup& source);

private:
    void Changed();
    TRLCustomReport* owner_;
    TRLPaperSize paperSize_ = fpA4;
    TRLPageOrientation orientation_ = poPortrait;
    double paperWidth_ = 210;
    double paperHeight_ = 297;
    bool forceEmulation_ = false;
};

/// How Preview shows its window. The preview window layer keeps a process-wide copy too.
class TRLPreviewOptions : public TRLPersistent {
public:
    TRLPreviewOptions();
    QString ClassName() const override { return QStringLiteral("TRLPreviewOptions"); }

    TRLPreviewOptionsDefaults Defaults() const { return defaults_; }
    void SetDefaults(TRLPreviewOptionsDefaults v) { defaults_ = v; }
    bool ShowModal() const { return showModal_; }
    void SetShowModal(bool v) { showModal_ = v; }
    TRLFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TRLFormStyle v) { formStyle_ = v; }
    TRLFormPosition Position() const { return position_; }
    void SetPosition(TRLFormPosition v) { position_ = v; }
    TRLWindowState WindowState() const { return windowState_; }
    void SetWindowState(TRLWindowState v) { windowState_ = v; }
    TRLBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TRLBorderIcons v) { borderIcons_ = v; }
    QString HelpFile() const { return helpFile_; }
    void SetHelpFile(const QString& v) { helpFile_ = v; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int v) { helpContext_ = v; }
    /// "Preview" from the message table until set.
    QString Caption() const { return caption_; }
    void SetCaption(const QString& v) { caption_ = v; }

    void Assign(const TRLPreviewOptions& source) { *this = source; }

private:
    TRLPreviewOptionsDefaults defaults_ = pdUseDefaults;
    bool showModal_ = false;
    TRLFormStyle formStyle_ = fsNormal;
    TRLFormPosition position_ = poScreenCenter;
    TRLWindowState windowState_ = wsMaximized;
    TRLBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
    QString helpFile_;
    int helpContext_ = 0;
    QString caption_;
};

/// Report states.
enum TRLReportState : uint8_t { rsIdle = 0, rsPreparing = 1, rsFinishing = 2, rsPrepared = 3 };

class TRLCustomReport : public TRLCustomSkipper {
    Q_OBJECT

public:
    explicit TRLCustomReport(TRLCustomControl* parent = nullptr);
    ~TRLCustomReport() override;

    // --- published ---
    TRLPageSetup& PageSetup() { return pageSetup_; }
    const TRLPageSetup& PageSetup() const { return pageSetup_; }
    bool AdjustableMargins() const { return adjustableMargins_; }
    void SetAdjustableMargins(bool v);
    int FirstPageNumber() const { return firstPageNumber_; }
    void SetFirstPageNumber(int v) { firstPageNumber_ = v; }
    QString Title() const { return title_; }
    void SetTitle(const QString& v) { title_ = v; }
    bool ForcePrepare() const { return forcePrepare_; }
    void SetForcePrepare(bool v) { forcePrepare_ = v; }
    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool v) { showProgress_ = v; }
    bool PrintDialog() const { return printDialog_; }
    void SetPrintDialog(bool v) { printDialog_ = v; }
    TRLPrintQuality PrintQuality() const { return printQuality_; }
    void SetPrintQuality(TRLPrintQuality v) { printQuality_ = v; }
    TRLPreviewOptions& PreviewOptions() { return previewOptions_; }
    /// The output filter that Preview and Print hand to the print parameters (output layer).
    QObject* DefaultFilter() const { return defaultFilter_; }
    void SetDefaultFilter(QObject* filter) { defaultFilter_ = filter; }
    TRLCustomReport* NextReport() const { return nextReport_; }
    /// Links both ways; a report cannot follow itself.
    void SetNextReport(TRLCustomReport* next);
    /// The parser for expressions (group keys, expression fields). Not owned. Setting it makes
    /// the parser resolve dotted component names ("RLLabel1.Caption") in this report.
    TRLExpressionParser* ExpressionParser() const { return expressionParser_; }
    void SetExpressionParser(TRLExpressionParser* parser);
    /// The parser that text expressions and group keys use: ExpressionParser, or, without one, a
    /// parser of the report's own that resolves the same names.
    TRLExpressionParser& ActiveExpressionParser();
    bool ShowDesigners() const { return showDesigners_; }
    void SetShowDesigners(bool v) { showDesigners_ = v; }
    bool ShowTracks() const { return showTracks_; }
    void SetShowTracks(bool v) { showTracks_ = v; }
    bool ShowExplosion() const { return showExplosion_; }
    void SetShowExplosion(bool v) { showExplosion_ = v; }

    // The events (see TRLCustomControl for how to connect them).
signals:
    /// Once a page has opened and its headers printed, before the rest of it prints.
    void OnPageStarting(TRLCustomControl& sender);
    /// As the page closes; every page gets one OnPageStarting before it.
    void OnPageEnding(TRLCustomControl& sender);
    /// For every control of the report but its bands and other sites, with the text it is about
    /// to print, after the control's own events: a handler may change the text, or clear printIt
    /// to leave the control out.
    void OnFilterText(TRLCustomReport& sender, QString& text, bool& printIt);

public:
    // --- entry points ---
    /// Prepares when needed (always with ForcePrepare) and shows the pages through the
    /// registered preview handler; without one, returns whether pages are there.
    bool Preview(QObject* dest = nullptr);
    /// Through the registered print handler; without one, prepares and raises an error.
    void Print() override;
    /// Generates the pages; true when every step completed.
    bool Prepare();
    /// Discards the pages and returns to the idle state.
    void Clear();

    // --- run-time state ---
    TRLReportState ReportState() const { return state_; }
    bool Canceled() const;
    /// Asks the running preparation (of the whole chain) to stop before the next record.
    void Cancel();
    /// The pagination of this report's run, which its bands share.
    TRLPagination& Pagination() { return pagination_; }
    void SetCanceled(bool v);
    /// FirstPageNumber of the chain's root plus the pages closed so far.
    int PageNumber() const;

    /// The layout file the report was read from, as its reader named it (empty for a report
    /// built in code): errors found while printing name it with the control.
    const QString& LayoutName() const { return layoutName_; }
    void SetLayoutName(const QString& name) { layoutName_ = name; }
    /// The folder that paths taken from the records (pictures) are relative to: the layout
    /// file's, as its reader gave it; empty for the working folder.
    const QString& LayoutFolder() const { return layoutFolder_; }
    void SetLayoutFolder(const QString& folder) { layoutFolder_ = folder; }
    /// Date and time taken when the preparation started.
    QDateTime ReportDate() const { return reportDate_; }
    TRLCustomReport& RootReport();
    const TRLCustomReport& RootReport() const;
    /// This report's page store (the chain's pages are in the root's).
    TRLGraphicStorage& Storage() const { return *storage_; }
    void RefreshPrinterMetrics();

    // --- page geometry in report pixels ---
    TRLSize PageSize() const;
    /// Left/top/right/bottom page margins, widened to the printer's with AdjustableMargins.
    TRLRect PageMargins() const;
    /// Applies the page size to the report's bounds (after a page setup change).
    void PageSetupChanged();

    // --- controls ---
    TRLGraphicSurface& RequestParentSurface() override;
    TRLRect ClientRect() const override;
    void BeginRun() override;

    // --- aggregates of text expressions (see TRLTextExpression) ---
    enum class AggregateScope { Report, Page, Group };
    /// Starts again the aggregates of a scope: for Group, those of that group's bands.
    void ResetAggregates(AggregateScope scope, const TRLCustomPager* group = nullptr);
    /// Starts again every aggregate that counts the records of a skipper (a subdetail, for each
    /// record of its master).
    void ResetAggregates(const TRLCustomSkipper& skipper);
    /// Takes the skipper's current record into the aggregates that count its records (those of
    /// the controls whose nearest skipper it is), once however many of its detail bands print;
    /// run as a record's detail prints.
    void AddRecordToAggregates(TRLCustomSkipper& skipper);

    /// While one lives, the names of expressions read the fields of skipper's record first, then
    /// those of the skippers entered before it, then the report's own: a subdetail's controls
    /// read the detail record and then the master's.
    class FieldScope {
    public:
        FieldScope(TRLCustomReport& report, const TRLCustomSkipper& skipper);
        ~FieldScope();
        FieldScope(const FieldScope&) = delete;
        FieldScope& operator=(const FieldScope&) = delete;

    private:
        TRLCustomReport& report_;
    };

protected:
    void SurfaceOpening() override;
    void ComputePrintRect() override;
    void SurfaceOpened() override;
    void SurfaceClosing() override;
    void TransferSurface() override;
    void SurfaceClosed() override;

private:
    QString layoutName_;
    QString layoutFolder_;
    bool PrepareSteps();
    void WriteStoreValues();
    void EnsurePage();
    void FirePageStarting();
    void InstallComponentAccess(TRLExpressionParser& parser);
    void CollectAggregates();

    TRLPageSetup pageSetup_{this};
    TRLPreviewOptions previewOptions_;
    bool adjustableMargins_ = false;
    int firstPageNumber_ = 1;
    QString title_;
    bool forcePrepare_ = true;
    bool showProgress_ = true;
    bool printDialog_ = true;
    TRLPrintQuality printQuality_ = pqFullFeature;
    QPointer<QObject> defaultFilter_;
    TRLCustomReport* nextReport_ = nullptr;
    TRLCustomReport* priorReport_ = nullptr;
    TRLExpressionParser* expressionParser_ = nullptr;
    std::unique_ptr<TRLExpressionParser> ownParser_;
    struct AggregateSite {
        TRLCustomControl* Control;
        /// The control's text expression or one of its property expressions, and its property.
        TRLTextExpression* Expression;
        QString Property;
        AggregateScope Scope;
        const TRLCustomPager* Group;
        /// The skipper whose records the control counts: its nearest.
        const TRLCustomSkipper* Skipper;
    };
    std::vector<AggregateSite> aggregateSites_;
    /// The skippers whose fields names read before the report's, innermost last.
    std::vector<const TRLCustomSkipper*> fieldScopes_;
    bool showDesigners_ = true;
    bool showTracks_ = true;
    bool showExplosion_ = false;

    TRLReportState state_ = rsIdle;
    bool canceled_ = false;
    QDateTime reportDate_;
    QPointer<TRLGraphicStorage> storage_;
    std::unique_ptr<TRLReportProgress> progress_;
    TRLPrinterMetrics metrics_;
    TRLPagination pagination_;
};

class TRLReport : public TRLCustomReport {
    Q_OBJECT

public:
    explicit TRLReport(TRLCustomControl* parent = nullptr) : TRLCustomReport(parent) {}
};

} // namespace Kelmora
