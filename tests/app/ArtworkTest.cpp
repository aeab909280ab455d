#include "AppResources.h"
#include "RLGraphicData.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

TEST(Artwork, PicturesHaveTheirSizesAndDecodeThroughLibjpeg) {
    PrepareAppResources();
    // Baseline and progressive frames alike (the decoder's own tests have both kinds).
    for (const auto& [path, size] :
         {std::pair{QStringLiteral(":/kelmora/principal.jpg"), QSize(650, 332)},
          {QStringLiteral(":/kelmora/acercade.jpg"), QSize(109, 164)},
          {testsupport::SourceDir() + QStringLiteral("/assets/crest.jpg"), QSize(99, 144)}})
        EXPECT_EQ(DecodeJpeg(ReadAll(path)).size(), size) << path.toStdString();
    EXPECT_EQ(AppPicture(QStringLiteral(":/kelmora/principal.jpg")).size(), QSize(650, 332));
    EXPECT_TRUE(AppPicture(QStringLiteral(":/kelmora/missing.jpg")).isNull());
}

TEST(Artwork, ButtonGlyphsAreMaskedWhereTheirTransparentColourIs) {
    PrepareAppResources();
    for (const char* name : {":/kelmora/cerrar.bmp", ":/kelmora/imprimir.bmp"}) {
        const QImage raw = LoadPictureFile(QString::fromLatin1(name));
        ASSERT_EQ(raw.size(), QSize(74, 17)) << name;
        const QRgb key = raw.pixel(0, 16);
        const QImage glyph = AppGlyph(QString::fromLatin1(name)).toImage();
        ASSERT_EQ(glyph.size(), QSize(74, 17)) << name;
        int keyed = 0, drawn = 0;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 74; ++x) {
                const bool isKey = raw.pixel(x, y) == key;
                EXPECT_EQ(qAlpha(glyph.pixel(x, y)) == 0, isKey) << name << " at " << x << "," << y;
                (isKey ? keyed : drawn) += 1;
            }
        EXPECT_GT(drawn, 100) << name << ": nearly empty";
        EXPECT_GT(keyed, 600) << name << ": hardly any background";
    }
}

} // namespace
