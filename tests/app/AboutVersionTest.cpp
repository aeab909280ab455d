// The program's one name and version: the application properties take them from the build, and
// the window icon is the icon that the desktop theme gets. The About box's version is checked
// with the main window.
#include "AppTestSupport.h"
#include "FAcercaDe.h"
#include "KelmoraApp.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QString InstalledIconPath(int size) {
    return QStringLiteral(KELMORA_SOURCE_DIR "/data/icons/hicolor/%1x%1/apps/" KELMORA_APP_ID_TEXT
                                             ".png")
        .arg(size);
}

} // namespace

TEST(AboutVersionTest, StartUpSetsTheApplicationIdentityFromTheBuild) {
    // The test process's application properties come back whatever the test sets.
    const auto restore = qScopeGuard([name = QCoreApplication::applicationName(),
                                      version = QCoreApplication::applicationVersion(),
                                      organization = QCoreApplication::organizationName(),
                                      desktopFile = QGuiApplication::desktopFileName(),
                                      icon = QApplication::windowIcon()] {
        QCoreApplication::setApplicationName(name);
        QCoreApplication::setApplicationVersion(version);
        QCoreApplication::setOrganizationName(organization);
        QGuiApplication::setDesktopFileName(desktopFile);
        QApplication::setWindowIcon(icon);
    });
    QCoreApplication::setApplicationName(QStringLiteral("other"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.0"));
    QCoreApplication::setOrganizationName(QStringLiteral("other"));
    QGuiApplication::setDesktopFileName(QStringLiteral("other"));
    QApplication::setWindowIcon(QIcon());

    SetKelmoraIdentity();

    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Kelmora"));
    EXPECT_EQ(QCoreApplication::applicationVersion(), QStringLiteral(KELMORA_PROJECT_VERSION));
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("Facultad de Corvath"));
    // The desktop entry's file name without ".desktop", so that the desktop matches the running
    // window to its menu entry and icon.
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral(KELMORA_APP_ID_TEXT));
    EXPECT_FALSE(QApplication::windowIcon().pixmap(QSize(48, 48)).isNull());

    // A window made after start-up carries the icon without setting one of its own.
    TFAcercaDe about;
    EXPECT_EQ(about.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}

TEST(AboutVersionTest, WindowIconIsTheThemeIconInEverySize) {
    const QIcon icon = KelmoraIcon();
    for (const int size : kIconSizes) {
        SCOPED_TRACE(size);
        const QImage installed(InstalledIconPath(size));
        ASSERT_FALSE(installed.isNull()) << "no " << InstalledIconPath(size).toStdString();
        ASSERT_EQ(installed.size(), QSize(size, size));
        // Compared premultiplied, as a pixmap holds them: the way back loses precision.
        const QImage shown = icon.pixmap(QSize(size, size), 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(shown == installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}
