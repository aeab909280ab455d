// The printer wrapper's one window, the page set-up dialog, kept apart from the wrapper so that
// printing itself needs no widgets.
#include "RLPrinters.h"

#include <QPageSetupDialog>
#include <QPrinter>

void TRLPrinterWrapper::ExecuteSetup(QWidget* parent) {
    Refresh();
    std::unique_ptr<QPrinter> printer = Valid() ? MakePrinter() : nullptr;
    if (!printer)
        return;
    QPageSetupDialog dialog(printer.get(), parent);
    dialog.exec();
}
