#include <kelmora/app/FAcercaDe.h>

#include "AppResources.h"
#include "KelmoraVersion.h"
#include "ui_FAcercaDe.h"
#include <kelmora/support/RLCore.h>
#include <kelmora/support/RLUtils.h>

namespace Kelmora {

namespace {

// The bold captions form a column whose right edge is here; the values start 16 px further on.
constexpr int kCaptionRight = 104;

} // namespace

TFAcercaDe::TFAcercaDe(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TFAcercaDe>()) {
    PrepareAppResources();
    ui_->setupUi(this);
    FixDialogFrame(*this);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setFont(DesignFont());

    ui_->Label6->setText(QStringLiteral(KELMORA_VERSION));

    // Labels take the width of their text, so the captions read as a right-aligned column.
    for (QLabel* caption : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4}) {
        caption->adjustSize();
        caption->move(kCaptionRight - caption->width(), caption->y());
    }
    for (QLabel* value : {ui_->Label5, ui_->Label6, ui_->Label7, ui_->Label8}) {
        value->adjustSize();
    }

    // The logo is shrunk to fit its box keeping its proportions, at the box's top-left corner.
    const QPixmap logo = AppPicture(QStringLiteral(":/kelmora/acercade.jpg"));
    if (!logo.isNull()) {
        const TRLRect fitted =
            FitRectKeepAspect(TRLRect{0, 0, logo.width(), logo.height()},
                              TRLRect{0, 0, ui_->Image1->width(), ui_->Image1->height()}, false);
        ui_->Image1->setPixmap(logo.scaled(WidthOfRect(fitted), HeightOfRect(fitted),
                                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

    ui_->Image1->setAccessibleName(QStringLiteral("Logotipo de Kelmora"));
    ui_->CerrIniSes->setIcon(AppGlyphIcon(QStringLiteral(":/kelmora/cerrar.bmp")));
    connect(ui_->CerrIniSes, &QPushButton::clicked, this, &TFAcercaDe::CerrIniSesClick);
}

TFAcercaDe::~TFAcercaDe() = default;

void TFAcercaDe::CerrIniSesClick() {
    close();
}

void TFAcercaDe::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    ui_->CerrIniSes->setFocus(Qt::ActiveWindowFocusReason);
    QDialog::showEvent(event);
}

} // namespace Kelmora
