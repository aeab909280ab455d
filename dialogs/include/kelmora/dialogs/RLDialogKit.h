/// @file
/// Small pieces shared by the engine's dialogs and windows (print, save, progress, preview, find);
/// not part of the output library's interface.
#pragma once

#include <kelmora/support/RLMessages.h>

#include <functional>
#include <initializer_list>
#include <span>
#include <type_traits>
#include <variant>

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QToolButton>
#include <QWidget>

namespace Kelmora {

namespace rldialogkit {

/// Page and copy numbers show empty for 0.
inline QString NumberText(int value) {
    return value == 0 ? QString() : QString::number(value);
}

/// A box that does not hold an integer counts as 0.
inline int NumberOf(const QLineEdit* edit) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

/// The face colour of buttons for disabled boxes, the window colour for enabled ones.
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

/// Sets the tab order through the widgets in the order given.
inline void SetTabChain(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

/// Caption of a group box: the title with a blank on each side.
inline QString GroupCaption(const QString& title) {
    return QLatin1Char(' ') + title + QLatin1Char(' ');
}

/// A caption as assistive technology reads it: without its accelerator mark ("&&" stands for a
/// plain ampersand).
inline QString PlainCaption(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        plain.append(caption[i]);
    }
    return plain;
}

/// Names every button of a window for assistive technology by its caption.
inline void NameButtonsByCaption(QWidget& window) {
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        button->setAccessibleName(PlainCaption(button->text()));
}

/// Names a box for assistive technology by the label in front of it: the label becomes its buddy
/// and its caption, without colon or accelerator mark, the box's accessible name.
inline void NameByLabel(QLabel* label, QWidget* box, const QString& caption) {
    label->setBuddy(box);
    box->setAccessibleName(PlainCaption(caption));
}

inline QString WithColon(const QString& text) {
    return text + QLatin1Char(':');
}

template <class W> W* Place(W* widget, const char* name, const QRect& place) {
    return Place(widget, name, place.left(), place.top(), place.width(), place.height());
}

/// How a control shows its caption: it has none (the message then only tells what the control is
/// for), as the message is, with a colon after it (a label in front of a box), or as a group box's
/// title.
enum class TRLCaption : uint8_t { NoCaption, Plain, Colon, Group };

inline QString CaptionText(TRLCaption style, TRLMessageKey key) {
    switch (style) {
    case TRLCaption::NoCaption:
        break;
    case TRLCaption::Plain:
        return RLMessages[key];
    case TRLCaption::Colon:
        return WithColon(RLMessages[key]);
    case TRLCaption::Group:
        return GroupCaption(RLMessages[key]);
    }
    return {};
}

/// A control of type W with the caption given, or none; a window built from design coordinates
/// places and names it.
template <class W> W* NewControl(TRLCaption style, TRLMessageKey key, QWidget* parent) {
    if constexpr (std::is_constructible_v<W, QString, QWidget*>) {
        if (style != TRLCaption::NoCaption)
            return new W(CaptionText(style, key), parent);
    }
    return new W(parent);
}

/// One control of a window built from a table: the member of the window it is kept in, the group
/// box it stands in (none: the window itself), its object name, its caption and its place in
/// design coordinates.
template <class Window> struct TRLControlRow {
    using Member =
        std::variant<QGroupBox * Window::*, QLabel * Window::*, QComboBox * Window::*,
                     QCheckBox * Window::*, QRadioButton * Window::*, QLineEdit * Window::*,
                     QPushButton * Window::*, QToolButton * Window::*>;

    template <class W>
    constexpr TRLControlRow(W* Window::*control, QGroupBox* Window::*parent, const char* name,
                            TRLCaption style, TRLMessageKey caption, QRect at)
        : Control(control), Parent(parent), Name(name), Style(style), Caption(caption), At(at) {}

    Member Control;
    QGroupBox* Window::*Parent;
    const char* Name;
    TRLCaption Style;
    TRLMessageKey Caption;
    QRect At;
};

/// Makes the rows' controls in the order given, so that a group box comes before what stands in
/// it.
template <class Window>
void BuildControls(Window& window, std::span<const TRLControlRow<Window>> rows) {
    for (const TRLControlRow<Window>& row : rows) {
        QWidget* parent = row.Parent ? static_cast<QWidget*>(window.*row.Parent) : &window;
        std::visit(
            [&](auto member) {
                using W = std::remove_pointer_t<std::remove_reference_t<decltype(window.*member)>>;
                window.*member =
                    Place(NewControl<W>(row.Style, row.Caption, parent), row.Name, row.At);
            },
            row.Control);
    }
}

/// Fills a dialog with load, gives the focus to focus and shows the dialog modally; or, with a
/// driver, shows it and lets the driver end it the way an operator would, where no accept counts
/// as cancelled. On OK runs save. True only on OK.
template <class Dialog>
bool ExecuteDialog(Dialog& dialog, QWidget* focus, const std::function<void()>& load,
                   const std::function<void()>& save,
                   const std::function<void(Dialog&)>& driver = {}) {
    load();
    focus->setFocus();
    if (driver) {
        /// A scripted run still has the dialog on screen, as the operator would.
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        driver(dialog);
        dialog.hide();
        if (dialog.result() != QDialog::Accepted)
            return false;
    } else if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    save();
    return true;
}

} // namespace rldialogkit

} // namespace Kelmora
