// The printer's one window, the page set-up dialog, kept apart from the printer wrapper so that
// printing itself needs no widgets.
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/output/RLPrinters.h>

#include <QPageSetupDialog>
#include <QPrinter>

namespace Kelmora {

void ExecutePrinterSetup(TRLPrinterWrapper& printers, QWidget* parent) {
    const std::unique_ptr<QPrinter> printer = printers.SetupPrinter();
    if (!printer)
        return;
    QPageSetupDialog dialog(printer.get(), parent);
    dialog.exec();
}

} // namespace Kelmora
