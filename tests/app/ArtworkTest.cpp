#include "AppResources.h"
#include <kelmora/pagestore/RLGraphicData.h>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

// (The pictures' sizes are checked where the windows show them: the main window, the About box.)
TEST(Artwork, ButtonGlyphsAreMaskedWhereTheirTransparentColourIs) {
    PrepareAppResources();
    for (const char* name : {":/kelmora/cerrar.bmp", ":/kelmora/imprimir.bmp"}) {
        const QImage raw = LoadPictureFile(QString::fromLatin1(name));
        ASSERT_EQ(raw.size(), QSize(74, 17)) << name;
        const QRgb key = raw.pixel(0, 16);
        const QImage glyph = AppGlyph(QString::fromLatin1(name)).toImage();
        ASSERT_EQ(glyph.size(), QSize(74, 17)) << name;
        int drawn = 0;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 74; ++x) {
                EXPECT_EQ(qAlpha(glyph.pixel(x, y)) == 0, raw.pixel(x, y) == key) << name;
                drawn += raw.pixel(x, y) != key;
            }
        EXPECT_GT(drawn, 100) << name << ": nearly empty";
    }
    EXPECT_TRUE(AppPicture(QStringLiteral(":/kelmora/missing.jpg")).isNull());
}

} // namespace
