/// @file
/// The printer filter: every page becomes a printed page through the printer wrapper, drawn at
/// its true paper size from the sheet's physical edge. A page whose paper differs from the
/// previous page's starts a new printer document.
#pragma once

#include <kelmora/output/RLFilters.h>
#include <kelmora/support/RLCore.h>

namespace Kelmora {

struct TRLPrinterMetrics;

class TRLSpoolFilter : public TRLCustomPrintFilter {
    Q_OBJECT
public:
    explicit TRLSpoolFilter(QObject* owner = nullptr);

    /// Where pages land on the printer canvas, in printer pixels.
    TRLRect PrintRect() const { return printRect_; }
    bool DocStarted() const { return docStarted_; }
    /// Paper (millimetres, portrait sense) and orientation of the open document.
    double PaperWidth() const { return paperWidth_; }
    double PaperHeight() const { return paperHeight_; }
    int Orientation() const { return orientation_; }
    /// Printer documents started by the current (or last) run.
    int DocumentCount() const { return documentCount_; }

    /// Opens a printer document for this paper unless the open one already has it.
    void SetPage(int orientation, double paperWidth, double paperHeight);

    /// The print rectangle for a paper on a printer: the page's true size in printer pixels,
    /// moved so that it starts at the sheet's physical edge rather than the printable area's.
    static TRLRect PrintRectFor(const TRLPrinterMetrics& metrics, bool landscape, double paperWidth,
                                double paperHeight);

protected:
    void BeginDoc() override;
    void EndDoc() override;
    void NewPage() override;
    void DrawPage(TRLGraphicSurface& page) override;

private:
    TRLRect printRect_;
    bool docStarted_ = false;
    double paperWidth_ = 0;
    double paperHeight_ = 0;
    int orientation_ = 0;
    int documentCount_ = 0;
    int jobCopies_ = 1;
    bool newPagePending_ = false;
};

/// The process-wide printer filter, created on first use and used whenever no filter is given.
TRLSpoolFilter& SpoolFilter();

} // namespace Kelmora
