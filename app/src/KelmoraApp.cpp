#include <kelmora/app/KelmoraApp.h>

#include "KelmoraVersion.h"
#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/app/ToolkitTranslations.h>
#include <kelmora/support/TerminationSignals.h>

#include <kelmora/dialogs/RLOutputFlows.h>
#include <kelmora/preview/RLReportPreview.h>
#include <kelmora/support/RLUtils.h>

#include <QApplication>

// Outside any namespace: Q_INIT_RESOURCE names a global function.
static void InitIconQrc() {
    Q_INIT_RESOURCE(icon);
}

namespace Kelmora {

TKelmoraWindows::~TKelmoraWindows() {
    FAcercaDe.reset();
    FKelmora.reset();
    FPrincipal.reset();
    DocumentForms.reset();
}

TKelmoraWindows CreateKelmoraWindows(const TDocumentFormsFactory& makeDocumentForms) {
    TKelmoraWindows windows;
    // Created first, the main window is the one that the modal forms sit over.
    windows.FPrincipal = std::make_unique<TFPrincipal>();
    windows.FKelmora = std::make_unique<TFKelmora>(windows.FPrincipal.get());
    if (makeDocumentForms) {
        windows.DocumentForms = makeDocumentForms();
    }
    windows.FAcercaDe = std::make_unique<TFAcercaDe>(windows.FPrincipal.get());
    windows.FPrincipal->SetMenuWindows(windows.FKelmora.get(), windows.FAcercaDe.get());
    return windows;
}

QIcon KelmoraIcon() {
    InitIconQrc();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/kelmora/icon/%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void SetKelmoraIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral(KELMORA_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELMORA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral(KELMORA_ORGANIZATION));
    QGuiApplication::setDesktopFileName(QStringLiteral(KELMORA_APP_ID));
    QApplication::setWindowIcon(KelmoraIcon());
}

int RunKelmora() {
    SetKelmoraIdentity();
    InitEngineSupport();
    // The reports reach their preview windows, print command and progress window through
    // these; the engine below knows nothing of windows.
    RegisterPreviewHandler();
    RegisterOutputHooks();
    // The save dialog offers the save filters that exist: the page-store format, PDF and PDF/A.
    RegisterDocumentSaveFilters();
    UseDocumentDatesLocale();
    int exitCode = 0;
    {
        // The toolkit's words (edit menus, standard buttons, the file dialog) in the desktop's
        // language; without an installed translation they stay English.
        TToolkitTranslations toolkitTexts;
        toolkitTexts.Install();
        // Logging out ends the program as "Salir" does: scratch files are deleted on the way.
        const TTerminationSignals termination;
        // Every running loop ends, a modal form's included, and the program ends as on "Salir".
        QObject::connect(&termination, &TTerminationSignals::Terminated, qApp,
                         [] { QCoreApplication::exit(0); });
        TKelmoraWindows windows = CreateKelmoraWindows();
        // Closing the main window ends the program even while preview windows are still open.
        QObject::connect(windows.FPrincipal.get(), &TFPrincipal::Closed, qApp,
                         &QCoreApplication::quit, Qt::QueuedConnection);
        windows.FPrincipal->showMaximized();
        exitCode = QApplication::exec();
    }
    FinishEngineSupport();
    return exitCode;
}

} // namespace Kelmora
