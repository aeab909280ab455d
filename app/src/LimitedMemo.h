// A plain-text memo with a length limit, the one thing QPlainTextEdit lacks that a single-line
// edit has. Typing, pasting and dropping all stop at the limit; a line break counts as one
// character.
#pragma once

#include <QPlainTextEdit>

namespace Kelmora {

class TLimitedMemo : public QPlainTextEdit {
public:
    explicit TLimitedMemo(QWidget* parent = nullptr);

    int maxLength() const { return maxLength_; }
    void setMaxLength(int maxLength) { maxLength_ = maxLength; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // How many characters may still go in, counting those that the selection would give back.
    int Room() const;

    int maxLength_ = -1;
};

} // namespace Kelmora
