#include "LimitedMemo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>
#include <limits>

namespace Kelmora {

TLimitedMemo::TLimitedMemo(QWidget* parent) : QPlainTextEdit(parent) {}

int TLimitedMemo::Room() const {
    if (maxLength_ < 0) {
        return std::numeric_limits<int>::max();
    }
    const int length = document()->characterCount() - 1; // the document's closing separator
    return maxLength_ - length + static_cast<int>(textCursor().selectedText().size());
}

void TLimitedMemo::keyPressEvent(QKeyEvent* event) {
    if (maxLength_ >= 0 && !isReadOnly()) {
        const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const QString text = lineBreak ? QStringLiteral("\n") : event->text();
        const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        const bool inserts = lineBreak || (!text.isEmpty() && text.at(0).isPrint());
        if (inserts && !command && text.size() > Room()) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TLimitedMemo::inputMethodEvent(QInputMethodEvent* event) {
    if (maxLength_ >= 0 && event->commitString().size() > Room()) {
        QString committed = event->commitString();
        committed.truncate(std::max(0, Room()));
        QInputMethodEvent trimmed(event->preeditString(), event->attributes());
        trimmed.setCommitString(committed, event->replacementStart(), event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&trimmed);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TLimitedMemo::insertFromMimeData(const QMimeData* source) {
    if (maxLength_ < 0 || source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.truncate(std::max(0, Room()));
    if (!text.isEmpty()) {
        textCursor().insertText(text);
        ensureCursorVisible();
    }
}

} // namespace Kelmora
