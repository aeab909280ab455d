// Small pieces shared by the engine's dialogs and windows (print, save, progress, preview, find);
// not part of the output library's interface.
#pragma once

#include <initializer_list>

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QString>
#include <QWidget>

namespace rldialogkit {

// Page and copy numbers show empty for 0.
inline QString NumberText(int value) {
    return value == 0 ? QString() : QString::number(value);
}

// A box that does not hold an integer counts as 0.
inline int NumberOf(const QLineEdit* edit) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

// The face colour of buttons for disabled boxes, the window colour for enabled ones.
inline void SetBoxEnabled(QWidget* box, bool enabled) {
    box->setEnabled(enabled);
    QPalette palette = box->palette();
    const QPalette standard = QGuiApplication::palette();
    palette.setColor(QPalette::All, QPalette::Base,
                     enabled ? standard.color(QPalette::Active, QPalette::Base)
                             : standard.color(QPalette::Active, QPalette::Button));
    box->setPalette(palette);
}

template <class W> W* Place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

// Sets the tab order through the widgets in the order given.
inline void SetTabChain(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

// Caption of a group box: the title with a blank on each side.
inline QString GroupCaption(const QString& title) {
    return QLatin1Char(' ') + title + QLatin1Char(' ');
}

// A caption as assistive technology reads it: without its accelerator mark ("&&" stands for a
// plain ampersand).
inline QString PlainCaption(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        plain.append(caption[i]);
    }
    return plain;
}

// Names a box for assistive technology by the label in front of it: the label becomes its buddy
// and its caption, without colon or accelerator mark, the box's accessible name.
inline void NameByLabel(QLabel* label, QWidget* box, const QString& caption) {
    label->setBuddy(box);
    box->setAccessibleName(PlainCaption(caption));
}

inline QString WithColon(const QString& text) {
    return text + QLatin1Char(':');
}

} // namespace rldialogkit
