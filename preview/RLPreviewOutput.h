// The output half of the preview window's commands: the print and save dialogs with their
// shared parameters, the output filters and the printer's own setup dialog.
#pragma once

#include <QString>

class QWidget;
class TRLGraphicStorage;

bool PrinterSetupEnabled();
void ExecutePrinterSetup(QWidget* parent);

// Resets the shared print parameters for this store, runs the print dialog and, unless it is
// cancelled, prints the chosen pages. Returns false when the dialog was cancelled.
bool PrintPreviewPages(TRLGraphicStorage& pages, QWidget* parent);

// Resets the shared save parameters (proposing fileName), runs the save dialog and, unless it is
// cancelled, writes the file. Returns false when the dialog was cancelled.
bool SavePreviewPages(TRLGraphicStorage& pages, const QString& fileName, QWidget* parent);
