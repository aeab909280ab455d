#include <kelmora/app/FPrincipal.h>

#include "AppResources.h"
#include "ui_FPrincipal.h"

#include <QCloseEvent>
#include <QDialog>

namespace Kelmora {

TFPrincipal::TFPrincipal(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TFPrincipal>()) {
    PrepareAppResources();
    ui_->setupUi(this);
    setFont(DesignFont());

    // The picture sits at its natural size in the middle of a white client area, whatever the
    // window's size.
    QPalette white = ui_->Image1->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui_->Image1->setPalette(white);
    ui_->Image1->setPixmap(AppPicture(QStringLiteral(":/kelmora/principal.jpg")));
    ui_->Image1->setAccessibleName(QStringLiteral("Escudo de la Facultad"));
    ui_->MainMenu1->setAccessibleName(QStringLiteral("Menú principal"));

    connect(ui_->Kelmora1, &QAction::triggered, this, &TFPrincipal::Kelmora1Click);
    connect(ui_->Salir1, &QAction::triggered, this, &TFPrincipal::Salir1Click);
    connect(ui_->Acercade1, &QAction::triggered, this, &TFPrincipal::Acercade1Click);
}

TFPrincipal::~TFPrincipal() = default;

void TFPrincipal::SetMenuWindows(QDialog* kelmora, QDialog* acercaDe) {
    kelmora_ = kelmora;
    acercaDe_ = acercaDe;
}

void TFPrincipal::Kelmora1Click() {
    if (kelmora_ != nullptr) {
        // The form blocks this window only: the preview windows that it opens belong to it and
        // stay usable while it is open.
        kelmora_->setWindowModality(Qt::WindowModal);
        kelmora_->exec();
    }
}

void TFPrincipal::Salir1Click() {
    close();
}

void TFPrincipal::Acercade1Click() {
    if (acercaDe_ != nullptr) {
        acercaDe_->exec();
    }
}

void TFPrincipal::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        emit Closed();
    }
}

} // namespace Kelmora
