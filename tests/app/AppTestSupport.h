#pragma once

#include <kelmora/app/DatosSolicitud.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace apptest {

// The named child of a window, failing the test when it is missing or of another kind.
template <typename T> T* Child(const QWidget& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << "no " << name;
    return child;
}

// Shown and active, so that focus and activation behave as on a desktop.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// Unlike QTest::keyClicks, takes accented characters, each with the key code a keyboard gives.
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

// Types into whatever widget holds the focus once widget is given it.
inline void TypeInto(QWidget* widget, const QString& text) {
    widget->setFocus(Qt::OtherFocusReason);
    Type(QApplication::focusWidget(), text);
}

inline void PressEnter() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

// Every field in use: accents, quotes, line breaks and a tab in the reason, a leap day, midnight.
inline TDatosSolicitud FullRequest() {
    return {.Persona = QStringLiteral("Muñoz, María José"),
            .DNI = QStringLiteral("27.456.789"),
            .Categoria = QStringLiteral("JTP"),
            .Dedicacion = QStringLiteral("SEMI EXCLUSIVA"),
            .Motivo = QStringLiteral("Congreso de Ingeniería\nPonencia: \"Redes\"\n\ttabulada"),
            .Destino = QStringLiteral("Córdoba"),
            .Medio = QStringLiteral("Vehículo Particular"),
            .MedioIndice = 3,
            .Patente = QStringLiteral("AB123CD"),
            .Salida = QDate(2024, 2, 29),
            .HoraSalida = QTime(9, 5),
            .Regreso = QDate(2024, 3, 2),
            .HoraRegreso = QTime(0, 0),
            .SolicitaPasajes = true,
            .MontoPasaje = QStringLiteral("1500,50"),
            .SolicitaKelmora = true,
            .DiasKelmora = QStringLiteral("3 Y MEDIO"),
            .SolicitaInscripcion = false,
            .MontoInscripcion = QString()};
}

// Makes locale the default until the returned guard goes.
[[nodiscard]] inline auto DefaultLocale(const QLocale& locale) {
    const QLocale saved;
    QLocale::setDefault(locale);
    return qScopeGuard([saved] { QLocale::setDefault(saved); });
}

} // namespace apptest
