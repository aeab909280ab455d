// Interim: the output layer's dialogs are not in the tree yet.
#include "RLPreviewOutput.h"

#include "RLCore.h"

bool PrinterSetupEnabled() {
    return true;
}

void ExecutePrinterSetup(QWidget*) {
    throw TRLException(QStringLiteral("The printer setup dialog is not available yet"));
}

bool PrintPreviewPages(TRLGraphicStorage&, QWidget*) {
    throw TRLException(QStringLiteral("The print dialog is not available yet"));
}

bool SavePreviewPages(TRLGraphicStorage&, const QString&, QWidget*) {
    throw TRLException(QStringLiteral("The save dialog is not available yet"));
}
