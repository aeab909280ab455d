// The functions the command-line tool calls.
#include "RLBarcodeTool.h"

#include <gtest/gtest.h>

TEST(BarcodeTool, ElementStringsByTypeName) {
    TRLBarcodeToolOptions options;
    EXPECT_EQ(BarcodeElementString(options, "12"), QStringLiteral("50506051505061605"));
    options.Type = QStringLiteral("bcEAN13");
    options.CheckSum = true;
    bool invalid = true;
    EXPECT_EQ(BarcodeElementString(options, "400638133393", &invalid),
              BarcodeElementString({QStringLiteral("EAN13")}, "4006381333931"));
    EXPECT_FALSE(invalid);
    EXPECT_TRUE(BarcodeElementString(options, "40063813339312", &invalid).isEmpty());
    EXPECT_TRUE(invalid);
}

TEST(BarcodeTool, BadOptionsAreNamed) {
    auto message = [](TRLBarcodeToolOptions options) {
        try {
            BarcodeElementString(options, "1");
        } catch (const TRLException& e) {
            return e.Message();
        }
        return QString();
    };
    EXPECT_TRUE(message({QStringLiteral("bcEAN14")}).contains(QStringLiteral("bcEAN14")));
    EXPECT_TRUE(message({.Module = 0}).contains(QStringLiteral("module")));
    EXPECT_TRUE(message({.Module = 50}).contains(QStringLiteral("module")));
    EXPECT_TRUE(message({.Ratio = 0}).contains(QStringLiteral("ratio")));
    EXPECT_TRUE(message({}).isEmpty());
}

TEST(BarcodeTool, ImageHasQuietZonesAndItsHeight) {
    TRLBarcodeToolOptions options;
    options.Module = 2;
    const QImage image = BarcodeImage(options, "12");
    // 22 modules of bars and 10 narrow elements of quiet zone on each side.
    ASSERT_EQ(image.size(), QSize(2 * 22 + 2 * 20, 34));
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(image.pixelColor(x, 17), QColor(Qt::white)) << x;
        EXPECT_EQ(image.pixelColor(image.width() - 1 - x, 17), QColor(Qt::white)) << x;
    }
    EXPECT_EQ(image.pixelColor(20, 17), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(20 + 2 * 22 - 1, 17), QColor(Qt::black));
}
