// Helpers for driving the program's windows from tests.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace apptest {

// The named child of a window, failing the test when it is missing or of another kind.
template <typename T> T* Child(const QWidget& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no " << name;
    return child;
}

// Shows a window and waits until it is the active one, so that focus and activation behave as
// on a desktop.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// Types text into a widget one key at a time. Unlike QTest::keyClicks it takes any character,
// accented ones included, sending each with the key code a keyboard would give it.
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        const Qt::KeyboardModifiers modifiers = c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Gives a widget the focus and types text into whatever widget then holds it, as the operator's
// keyboard would.
inline void TypeInto(QWidget* widget, const QString& text) {
    widget->setFocus(Qt::OtherFocusReason);
    Type(QApplication::focusWidget(), text);
}

inline void PressEnter() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

// Makes locale the default until the returned guard goes.
[[nodiscard]] inline auto DefaultLocale(const QLocale& locale) {
    const QLocale saved;
    QLocale::setDefault(locale);
    return qScopeGuard([saved] { QLocale::setDefault(saved); });
}

} // namespace apptest
