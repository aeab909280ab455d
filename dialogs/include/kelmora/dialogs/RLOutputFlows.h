/// @file
/// The print and save commands as the preview window and the report run them: shared parameters
/// reset, the dialog, then the output. The preview window restores its own focus around them.
#pragma once

#include <QString>

#include <functional>

namespace Kelmora {

class TRLCustomReport;
class TRLGraphicStorage;
class TRLPrintDialog;
class TRLSaveDialog;

/// The preview window's print: PrintParams cleared, MaxPage = page count, Orientation from the
/// store; the print dialog; on OK FilterPages(pages, Filter, FromPage, PrintInBackground,
/// ToPage). Returns false when the dialog was cancelled. Output errors propagate; a background
/// run's failure, which comes after this returns, is shown in a message box (object name
/// "BackgroundOutputFailure") over the active window. driver replaces the dialog's modal loop.
bool ExecutePrintFlow(TRLGraphicStorage& pages,
                      const std::function<void(TRLPrintDialog&)>& driver = {});

/// The preview window's save: SaveParams cleared, MaxPage = page count, FileName = the proposal
/// (or, when that is empty and a save filter is chosen, the filter's own file name); the save
/// dialog; on OK the chosen save filter runs over FromPage..ToPage, or, without one, the whole
/// store is written as a page-store file (the store's LastSavedFileVersion() then tells whether
/// it became version 3 or, for texts outside Windows-1252, 4). Returns false when the dialog was
/// cancelled.
bool ExecuteSaveFlow(TRLGraphicStorage& pages, const QString& proposedFileName,
                     const std::function<void(TRLSaveDialog&)>& driver = {});

/// Writes every page to a file in the format its name says: through the active save filter of
/// the name's extension (".pdf" is the PDF filter's, once RegisterPdfFilter has run), else as a
/// page-store file in the current version (4 when a text needs it). Either way the file appears
/// whole or not at all. Returns the page-store file version written, 0 for a filter's file. For
/// programs without windows: no dialog, no progress window, in the calling thread.
int SavePagesToFile(TRLGraphicStorage& pages, const QString& fileName);

/// The file name proposed for a document title: blanks trimmed, control characters and
/// " * / : < > ? \ | removed, made absolute against the current directory; empty stays empty.
QString ProposedSaveFileName(const QString& title);

/// The report's Print: paper to the printer, the report's default filter, PrintParams cleared
/// (pages 1 to the largest), the print dialog when the report asks for it (a cancel marks the
/// report cancelled and ends quietly), preparation when needed, then FilterPages with the chosen
/// filter or the printer filter, showing progress as the report says. driver as above.
void PrintReport(TRLCustomReport& report, const std::function<void(TRLPrintDialog&)>& driver = {});

/// Registers the report's print command, the printer metrics and the progress window with the
/// report layer. Run once at start-up.
void RegisterOutputHooks();

} // namespace Kelmora
