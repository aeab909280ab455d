#include "RLFindDialog.h"

#include <kelmora/dialogs/RLDialogKit.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/support/RLMessages.h>

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include <utility>

namespace Kelmora {

namespace {

using enum rldialogkit::TRLCaption;
using D = TfrmRLFindDialog;
using Row = rldialogkit::TRLControlRow<D>;
constexpr QGroupBox* D::*kOnDialog = nullptr;
constexpr QGroupBox* D::*kDirection = &D::RadioGroupDirection;

const Row kRows[] = {
    Row(&D::LabelTextToFind, kOnDialog, "LabelTextToFind", Colon, mkText, {8, 16, 30, 13}),
    Row(&D::EditTextToFind, kOnDialog, "EditTextToFind", NoCaption, mkText, {48, 12, 229, 21}),
    Row(&D::BitBtnFindNext, kOnDialog, "BitBtnFindNext", Plain, mkFindNext, {284, 12, 75, 21}),
    Row(&D::BitBtnCancel, kOnDialog, "BitBtnCancel", Plain, mkCancel, {284, 36, 75, 21}),
    Row(&D::CheckBoxWholeWords, kOnDialog, "CheckBoxWholeWords", Plain, mkWholeWords,
        {8, 44, 133, 17}),
    Row(&D::CheckBoxMatchCase, kOnDialog, "CheckBoxMatchCase", Plain, mkMatchCase,
        {8, 64, 193, 17}),
    Row(&D::RadioGroupDirection, kOnDialog, "RadioGroupDirection", Group, mkDirection,
        {204, 36, 73, 49}),
    Row(&D::RadioButtonUp, kDirection, "RadioButtonUp", Plain, mkUp, {8, 14, 60, 15}),
    Row(&D::RadioButtonDown, kDirection, "RadioButtonDown", Plain, mkDown, {8, 30, 60, 15}),
};

} // namespace

TfrmRLFindDialog::TfrmRLFindDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(RLMessages[mkFind]);
    setModal(false);
    setFixedSize(367, 94);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(EngineDialogFont());

    rldialogkit::BuildControls<TfrmRLFindDialog>(*this, kRows);
    LabelTextToFind->setBuddy(EditTextToFind);
    BitBtnFindNext->setDefault(true);
    RadioButtonDown->setChecked(true);

    rldialogkit::SetTabChain({EditTextToFind, BitBtnFindNext, BitBtnCancel, CheckBoxWholeWords,
                              CheckBoxMatchCase, RadioButtonUp, RadioButtonDown});

    connect(BitBtnFindNext, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(BitBtnCancel, &QPushButton::clicked, this, &TfrmRLFindDialog::reject);

    // Names for assistive technology: each control's caption, the text box its label's.
    const std::pair<QWidget*, TRLMessageKey> spoken[] = {
        {EditTextToFind, mkText},         {BitBtnFindNext, mkFindNext},
        {BitBtnCancel, mkCancel},         {CheckBoxWholeWords, mkWholeWords},
        {CheckBoxMatchCase, mkMatchCase}, {RadioButtonUp, mkUp},
        {RadioButtonDown, mkDown},
    };
    for (const auto& [widget, key] : spoken)
        widget->setAccessibleName(rldialogkit::PlainCaption(RLMessages[key]));
    FitTextsToControls(*this);
    CentreOnItsScreen(*this);
}

void TfrmRLFindDialog::Open() {
    EditTextToFind->setFocus();
    show();
    raise();
    activateWindow();
}

TRLFindOptions TfrmRLFindDialog::Options() const {
    TRLFindOptions options = 0;
    if (CheckBoxWholeWords->isChecked())
        options |= foWholeWords;
    if (CheckBoxMatchCase->isChecked())
        options |= foMatchCase;
    if (RadioButtonUp->isChecked())
        options |= foBackward;
    return options;
}

bool TfrmRLFindDialog::FindNext() {
    bool found = false;
    if (isSignalConnected(QMetaMethod::fromSignal(&TfrmRLFindDialog::OnFind))) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        // The pointer comes back however the search ends.
        const auto restorePointer = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        emit OnFind(EditTextToFind->text(), Options(), &found);
    }
    if (!found) {
        const QScopedValueRollback showing(showingMessage_, true);
        QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                        RLMessages[mkNotFound], QMessageBox::Ok, this);
        box.exec();
    }
    return found;
}

void TfrmRLFindDialog::reject() {
    hide();
}

bool TfrmRLFindDialog::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && !showingMessage_ && isVisible())
        hide();
    return QDialog::event(event);
}

} // namespace Kelmora
