#include "RLFindDialog.h"

#include "RLDialogKit_p.h"
#include "RLDialogLayout.h"
#include "RLMessages.h"

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

TfrmRLFindDialog::TfrmRLFindDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(RLMessages[mkFind]);
    setModal(false);
    setFixedSize(367, 94);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(EngineDialogFont());

    LabelTextToFind = new QLabel(RLMessages[mkText] + QLatin1Char(':'), this);
    LabelTextToFind->setGeometry(8, 16, 30, 13);
    EditTextToFind = new QLineEdit(this);
    EditTextToFind->setGeometry(48, 12, 229, 21);
    LabelTextToFind->setBuddy(EditTextToFind);

    BitBtnFindNext = new QPushButton(RLMessages[mkFindNext], this);
    BitBtnFindNext->setGeometry(284, 12, 75, 21);
    BitBtnFindNext->setDefault(true);
    BitBtnCancel = new QPushButton(RLMessages[mkCancel], this);
    BitBtnCancel->setGeometry(284, 36, 75, 21);

    CheckBoxWholeWords = new QCheckBox(RLMessages[mkWholeWords], this);
    CheckBoxWholeWords->setGeometry(8, 44, 133, 17);
    CheckBoxMatchCase = new QCheckBox(RLMessages[mkMatchCase], this);
    CheckBoxMatchCase->setGeometry(8, 64, 193, 17);

    RadioGroupDirection =
        new QGroupBox(QLatin1Char(' ') + RLMessages[mkDirection] + QLatin1Char(' '), this);
    RadioGroupDirection->setGeometry(204, 36, 73, 49);
    RadioButtonUp = new QRadioButton(RLMessages[mkUp], RadioGroupDirection);
    RadioButtonUp->setGeometry(8, 14, 60, 15);
    RadioButtonDown = new QRadioButton(RLMessages[mkDown], RadioGroupDirection);
    RadioButtonDown->setGeometry(8, 30, 60, 15);
    RadioButtonDown->setChecked(true);

    setTabOrder(EditTextToFind, BitBtnFindNext);
    setTabOrder(BitBtnFindNext, BitBtnCancel);
    setTabOrder(BitBtnCancel, CheckBoxWholeWords);
    setTabOrder(CheckBoxWholeWords, CheckBoxMatchCase);
    setTabOrder(CheckBoxMatchCase, RadioButtonUp);
    setTabOrder(RadioButtonUp, RadioButtonDown);

    connect(BitBtnFindNext, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(BitBtnCancel, &QPushButton::clicked, this, &TfrmRLFindDialog::reject);

    const std::pair<QWidget*, const char*> named[] = {
        {LabelTextToFind, "LabelTextToFind"},         {EditTextToFind, "EditTextToFind"},
        {BitBtnFindNext, "BitBtnFindNext"},           {BitBtnCancel, "BitBtnCancel"},
        {CheckBoxWholeWords, "CheckBoxWholeWords"},   {CheckBoxMatchCase, "CheckBoxMatchCase"},
        {RadioGroupDirection, "RadioGroupDirection"}, {RadioButtonUp, "RadioButtonUp"},
        {RadioButtonDown, "RadioButtonDown"},
    };
    for (const auto& [widget, name] : named)
        widget->setObjectName(QString::fromLatin1(name));
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
