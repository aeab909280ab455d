#include "KeyFilters.h"

#include <QKeyEvent>
#include <QLocale>

namespace Kelmora {

QChar TypedCharacter(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kCharEnter;
    case Qt::Key_Backspace:
        return kCharBackspace;
    case Qt::Key_Escape:
        return QChar(27);
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool control =
        modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier);
    if (control && event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
        return QChar(event.key() - Qt::Key_A + 1);
    }
    const QString text = event.text();
    if (text.isEmpty() || text.at(0).category() == QChar::Other_Control) {
        return {};
    }
    return text.at(0);
}

QString UserDecimalSeparator() {
    const QString separator = QLocale().decimalPoint();
    return separator.isEmpty() ? QStringLiteral(".") : separator;
}

QString MonedaCharacter(QChar typed, const QString& decimalSeparator) {
    if (typed == u'.' || typed == u',') {
        return decimalSeparator;
    }
    if (typed == kCharBackspace || typed == kCharEnter || (typed >= u'0' && typed <= u'9')) {
        return QString(typed);
    }
    return {};
}

} // namespace Kelmora
