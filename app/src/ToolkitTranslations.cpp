#include <kelmora/app/ToolkitTranslations.h>

#include <QCoreApplication>
#include <QLibraryInfo>

namespace Kelmora {

TToolkitTranslations::~TToolkitTranslations() {
    if (installed_)
        QCoreApplication::removeTranslator(&translator_);
}

bool TToolkitTranslations::Install(const QLocale& locale) {
    if (installed_) {
        QCoreApplication::removeTranslator(&translator_);
        installed_ = false;
    }
    // "qtbase" holds the widgets' words; the locale's languages are tried in order (es_AR, then
    // es), so a regional desktop finds its language's file.
    if (!translator_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed_ = QCoreApplication::installTranslator(&translator_);
    return installed_;
}

} // namespace Kelmora
