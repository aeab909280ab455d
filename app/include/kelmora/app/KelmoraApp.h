/// @file
/// The program's windows and its start-up order.
#pragma once

#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FAcercaDe.h>
#include <kelmora/app/FKelmora.h>
#include <kelmora/app/FPrincipal.h>

#include <QIcon>

#include <memory>

namespace Kelmora {

/// The six windows, one instance each, alive from start to end.
struct TKelmoraWindows {
    std::unique_ptr<TFPrincipal> FPrincipal;
    std::unique_ptr<TFKelmora> FKelmora;
    std::unique_ptr<TDocumentForms> DocumentForms;
    std::unique_ptr<TFAcercaDe> FAcercaDe;

    TKelmoraWindows() = default;
    TKelmoraWindows(TKelmoraWindows&&) = default;
    TKelmoraWindows& operator=(TKelmoraWindows&&) = default;
    /// The dialogs go before the main window they sit over; the document forms last of all.
    ~TKelmoraWindows();
};

/// Creates the windows in the program's order: the main window, the request form, the three
/// document forms (through makeDocumentForms) and the About box, and wires the menu to them.
TKelmoraWindows
CreateKelmoraWindows(const TDocumentFormsFactory& makeDocumentForms = CreateDocumentForms);

/// The program's name, version, maker, desktop entry id and window icon, set on the running
/// QApplication before any window exists, so that every window, the desktop's task list and the
/// session manager see the same ones. Needs a QApplication.
void SetKelmoraIdentity();

/// The program's icon in every size that the desktop's icon theme gets.
QIcon KelmoraIcon();

/// The whole program: engine start-up, the windows, the main window shown maximised, the
/// message loop until the main window closes, then the windows and the engine's state let go.
/// Needs a QApplication; returns the loop's exit code.
int RunKelmora();

} // namespace Kelmora
