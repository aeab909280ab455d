/// @file
/// The toolkit's own words — the line edits' context menu, the standard buttons of message boxes,
/// the file dialog — in the desktop's language, from the translations the system installs for Qt.
/// The program's own texts and the engine's message table do not come from here.
#pragma once

#include <QLocale>
#include <QTranslator>

namespace Kelmora {

class TToolkitTranslations {
public:
    TToolkitTranslations() = default;
    /// Takes the translation back out of the application.
    ~TToolkitTranslations();
    TToolkitTranslations(const TToolkitTranslations&) = delete;
    TToolkitTranslations& operator=(const TToolkitTranslations&) = delete;

    /// Loads the toolkit's translation for the locale's languages and installs it in the
    /// application. False when the system has none for them (the words then stay English).
    bool Install(const QLocale& locale = QLocale::system());

private:
    QTranslator translator_;
    bool installed_ = false;
};

} // namespace Kelmora
