// (The name and version from the build are checked with the program's run and the About box.)
#include <kelmora/app/KelmoraApp.h>

#include <QImage>

#include <gtest/gtest.h>

using namespace Kelmora;

TEST(AboutVersionTest, WindowIconIsTheThemeIconInEverySize) {
    const QIcon icon = KelmoraIcon();
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path =
            QStringLiteral(KELMORA_SOURCE_DIR "/data/icons/hicolor/%1x%1/apps/" KELMORA_APP_ID_TEXT
                                              ".png")
                .arg(size);
        const QImage installed(path);
        ASSERT_EQ(installed.size(), QSize(size, size)) << path.toStdString();
        // Compared premultiplied, as a pixmap holds them: the way back loses precision.
        const QImage shown = icon.pixmap(QSize(size, size), 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(shown == installed.convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << size;
    }
}
