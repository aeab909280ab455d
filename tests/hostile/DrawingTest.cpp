// Backgrounds repeated over bands far taller than their page: tiles and gradient strips stop at
// what the page shows, and what would still be too large is refused naming the band.
#include "HostileCase.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HostileDrawing : public HostileCase {
protected:
    // A title band a million pixels tall with the given background and degrade, on the given
    // paper ("" for the default).
    void WriteLayout(const QByteArray& band, const QByteArray& pageSetup = {}) const {
        Write(QStringLiteral("layout.json"), R"({"class": "TRLReport", "name": "R", )" + pageSetup +
                                                 R"("children": [
                {"class": "TRLBand", "name": "Fondo", "BandType": "btTitle", "Height": 1000000, )" +
                                                 band + "}]}");
    }

    void WritePicture(const QString& name, const QImage& image) const {
        ASSERT_TRUE(image.save(Path(name), "PNG"));
    }
};

QImage Checkered(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

// A million pixels of one-pixel tiles once never ended; it is one stretched picture now.
TEST_F(HostileDrawing, OnePixelTilesOverAMillionPixelBand) {
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(qRgb(0, 128, 0));
    WritePicture(QStringLiteral("dot.png"), dot);
    WriteLayout(R"("Background": {"Arrange": "baSidebySide", "Picture": "dot.png"})");
    ExpectPrepared(Prepare(), 64 * 1024);
}

// Tiles that differ from their neighbours go as one picture of the page's part of the band:
// about 718 x 1085 pixels at three bytes each.
TEST_F(HostileDrawing, CheckeredTilesOverAMillionPixelBand) {
    WritePicture(QStringLiteral("checks.png"), Checkered(2));
    WriteLayout(R"("Background": {"Arrange": "baSidebySide", "Picture": "checks.png"})");
    ExpectPrepared(Prepare(), 4 * 1024 * 1024);
}

// One strip a pixel across a million pixels, down and across.
TEST_F(HostileDrawing, FineGradientsOverAMillionPixelBand) {
    for (const QByteArray& direction : {QByteArray("ddVertical"), QByteArray("ddHorizontal")}) {
        SCOPED_TRACE(direction.constData());
        WriteLayout(R"("Color": "#FF0000", "Transparent": false, "Degrade": {"Direction": ")" +
                    direction + R"(", "OppositeColor": "#0000FF", "Granularity": 1})");
        ExpectPrepared(Prepare(), 64 * 1024);
    }
}

// A paper five metres square shows 350 million pixels of the band: too many to tile.
TEST_F(HostileDrawing, TilesOverAHugePaperAreRefusedNamingTheBand) {
    WritePicture(QStringLiteral("checks.png"), Checkered(2));
    WriteLayout(R"("Background": {"Arrange": "baSidebySide", "Picture": "checks.png"})",
                R"("PageSetup": {"PaperSize": "fpCustom", "PaperWidth": 5000, )"
                R"("PaperHeight": 5000}, )");
    ExpectRefused(Prepare(), QStringLiteral("Fondo.Background: "),
                  QStringLiteral("more than 16777216 pixels"));
}

} // namespace
