// The small non-modal dialog with which the user searches the text of the previewed pages. It
// holds no search state of its own: each Find Next asks its receiver, which continues after
// its last hit.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Kelmora {

enum TRLFindOption : uint8_t { foWholeWords = 1, foMatchCase = 2, foBackward = 4 };
using TRLFindOptions = uint8_t;

class TfrmRLFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRLFindDialog(QWidget* owner = nullptr);

    // Shows the dialog (not modally) with the focus in the text box, as the preview window does
    // on each find command; text and options are kept from the last time.
    void Open();

    // What a Find Next click does: asks the receiver and tells the user when nothing was found.
    // Returns whether something was found.
    bool FindNext();
    TRLFindOptions Options() const;

    QLabel* LabelTextToFind;
    QLineEdit* EditTextToFind;
    QPushButton* BitBtnFindNext;
    QPushButton* BitBtnCancel;
    QCheckBox* CheckBoxWholeWords;
    QCheckBox* CheckBoxMatchCase;
    QGroupBox* RadioGroupDirection;
    QRadioButton* RadioButtonUp;
    QRadioButton* RadioButtonDown;

signals:
    // Asks the receiver (connected directly) to search for text with the options (foWholeWords,
    // foMatchCase, foBackward) and to set *found when it found something.
    void OnFind(const QString& text, TRLFindOptions options, bool* found);

public slots:
    // Cancel and Esc hide the dialog; nothing is lost.
    void reject() override;

protected:
    bool event(QEvent* event) override;

private:
    // While our own "Not found" box is up the dialog is inactive but must stay.
    bool showingMessage_ = false;
};

} // namespace Kelmora
