#include "AppResources.h"
#include "AppTestSupport.h"
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

// The JPEG frame type: 0xC0 baseline, 0xC2 progressive; 0 when no frame header is found.
int JpegFrameMarker(const QByteArray& data) {
    for (qsizetype i = 2; i + 1 < data.size();) {
        if (static_cast<unsigned char>(data[i]) != 0xFF)
            return 0;
        const int marker = static_cast<unsigned char>(data[i + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            return marker;
        }
        const int length = (static_cast<unsigned char>(data[i + 2]) << 8) |
                           static_cast<unsigned char>(data[i + 3]);
        i += 2 + length;
    }
    return 0;
}

TEST(Artwork, PicturesHaveTheirSizesAndDecodeThroughLibjpeg) {
    PrepareAppResources();
    struct TPicture {
        QString path;
        QSize size;
        int frame;
    };
    const TPicture pictures[] = {
        {QStringLiteral(":/kelmora/principal.jpg"), QSize(650, 332), 0xC0},
        {QStringLiteral(":/kelmora/acercade.jpg"), QSize(109, 164), 0xC2},
        {testsupport::SourceDir() + QStringLiteral("/assets/crest.jpg"), QSize(99, 144), 0xC0},
    };
    for (const TPicture& p : pictures) {
        const QByteArray data = ReadAll(p.path);
        EXPECT_EQ(JpegFrameMarker(data), p.frame) << p.path.toStdString();
        EXPECT_EQ(DecodeJpeg(data).size(), p.size) << p.path.toStdString();
    }
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
        int keyed = 0;
        int drawn = 0;
        for (int y = 0; y < 17; ++y) {
            for (int x = 0; x < 74; ++x) {
                const bool isKey = raw.pixel(x, y) == key;
                EXPECT_EQ(qAlpha(glyph.pixel(x, y)) == 0, isKey) << name << " at " << x << "," << y;
                (isKey ? keyed : drawn) += 1;
            }
        }
        EXPECT_GT(drawn, 100) << name << ": nearly empty";
        EXPECT_GT(keyed, 600) << name << ": hardly any background";
    }
}

} // namespace
