// Walking a window's widgets as assistive technology reaches them, and running code under one of
// the message table's languages: shared by the tests of the engine's and the program's windows.
#pragma once

#include <kelmora/support/RLMessages.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSet>
#include <QWidget>

#include <string>
#include <vector>

using namespace Kelmora;

namespace testsupport {

// Loads a language into the message table and restores the one before however a test ends.
class LanguageScope {
public:
    explicit LanguageScope(TRLLanguage language) : previous_(RLMessages.Language()) {
        LoadMessages(language);
    }
    ~LanguageScope() { LoadMessages(previous_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    TRLLanguage previous_;
};

inline bool IsInteractive(const QWidget& widget) {
    return qobject_cast<const QAbstractButton*>(&widget) ||
           qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QComboBox*>(&widget) ||
           qobject_cast<const QAbstractSpinBox*>(&widget) ||
           qobject_cast<const QAbstractScrollArea*>(&widget);
}

struct Walk {
    int interactive = 0;
    std::vector<std::string> faults;
    std::vector<const QWidget*> widgets;
};

// Walks a window's own widgets: other windows (dialogs owned by it) are walked on their own,
// hidden widgets are out of everybody's reach, and the inside of an interactive widget (the line
// edit of a combo box, the scroll bars of a view) is the toolkit's.
inline void WalkChildren(const QWidget& parent, Walk& walk, QSet<QString>& names) {
    for (QObject* object : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (!widget || widget->isWindow() || widget->isHidden() ||
            widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (!IsInteractive(*widget)) {
            WalkChildren(*widget, walk, names);
            continue;
        }
        ++walk.interactive;
        walk.widgets.push_back(widget);
        const std::string what = std::string(widget->metaObject()->className()) + " \"" +
                                 widget->objectName().toStdString() + "\"";
        if (widget->objectName().isEmpty())
            walk.faults.push_back(what + " has no object name");
        else if (names.contains(widget->objectName()))
            walk.faults.push_back(what + " shares its object name");
        names.insert(widget->objectName());
        if (widget->accessibleName().trimmed().isEmpty())
            walk.faults.push_back(what + " has no accessible name");
        else if (widget->accessibleName().contains(u'&'))
            walk.faults.push_back(what + " keeps the accelerator mark in \"" +
                                  widget->accessibleName().toStdString() + "\"");
    }
}

inline Walk WalkWindow(const QWidget& window) {
    Walk walk;
    QSet<QString> names;
    WalkChildren(window, walk, names);
    return walk;
}

inline std::string Faults(const Walk& walk) {
    std::string text;
    for (const std::string& fault : walk.faults)
        text += "\n  " + fault;
    return text;
}

} // namespace testsupport
