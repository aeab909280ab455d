/// @file
/// The report reaches the windows and printers above it only through functions that those
/// layers register at start-up: the engine below them never includes their headers and runs
/// headless when nothing is registered.
#pragma once

#include <QString>

#include <memory>

class QObject;

namespace Kelmora {

class TRLCustomReport;

/// Progress of a long run (preparing, printing, saving) as a window shows it: a text, a bar of
/// steps, and a cancel that the running loop polls between records or pages.
class TRLReportProgress {
public:
    virtual ~TRLReportProgress() = default;
    virtual void SetText(const QString& text) = 0;
    virtual void SetMaximum(int steps) = 0;
    virtual void StepIt() = 0;
    /// True once the operator asked to cancel.
    virtual bool Canceled() const = 0;
};

/// Opens a progress window with a caption and a first text; null when no window layer is there.
using TRLProgressFactory = std::unique_ptr<TRLReportProgress> (*)(const QString& caption,
                                                                  const QString& text);
/// Shows a prepared report's pages: in the given preview control (dest), or in a preview window
/// when dest is null. Returns what TRLCustomReport::Preview returns.
using TRLPreviewHandler = bool (*)(TRLCustomReport& report, QObject* dest);
/// Prints a report: print dialog, preparation when needed, the output filter.
using TRLPrintHandler = void (*)(TRLCustomReport& report);

void SetReportProgressFactory(TRLProgressFactory factory);
void SetReportPreviewHandler(TRLPreviewHandler handler);
void SetReportPrintHandler(TRLPrintHandler handler);

/// The registered functions; null when nothing is registered.
TRLProgressFactory ReportProgressFactory();
TRLPreviewHandler ReportPreviewHandler();
TRLPrintHandler ReportPrintHandler();

} // namespace Kelmora
