// rltool barcode, run as the built program.
#include "../e2e/ProgramRunner.h"
#include "BarcodeTestSupport.h"
#include <kelmora/barcode/RLBarcodeTool.h>

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

// rltool barcode with the given arguments.
ProgramResult Barcode(const QStringList& arguments) {
    return Rltool(QStringList{QStringLiteral("barcode")} + arguments);
}

QImage Rgb32(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

class RltoolBarcode : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(BuiltProgram(QStringLiteral("tools/rltool"))))
            GTEST_SKIP() << "rltool is not built";
        ASSERT_TRUE(dir_.isValid());
    }
    QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    QTemporaryDir dir_;
};

} // namespace

TEST_F(RltoolBarcode, PrintsTheElementString) {
    ProgramResult run = Barcode({"--type", "bcCode2OF5Interleaved", "--elements", "12"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, QStringLiteral("50506051505061605\n"));
    EXPECT_TRUE(run.Err.isEmpty());

    // The check digit flag reaches the encoder: 12 digits in, 13 out.
    run = Barcode({"--type", "EAN13", "--checksum", "--elements", "400638133393"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out.trimmed(), BarcodeElementString({.Type = "bcEAN13"}, "4006381333931"));
}

TEST_F(RltoolBarcode, WritesThePictureWithTheOptionsGiven) {
    const QString out = Path("ean.png");
    ProgramResult run =
        Barcode({"--type", "bcEAN13", "--module", "2", "--checksum", "400638133393", "-o", out});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QImage written = Rgb32(QImage(out));
    ASSERT_FALSE(written.isNull());
    // 95 modules of 2 pixels and 10 narrow elements of quiet zone each side, 34 high.
    EXPECT_EQ(written.size(), QSize(2 * 95 + 2 * 20, 34));
    EXPECT_EQ(written, Rgb32(BarcodeImage({.Type = "bcEAN13", .Module = 2, .CheckSum = true},
                                          "400638133393")));

    // The ratio reaches the encoder.
    const QString wide = Path("c39-3.png");
    ASSERT_EQ(Barcode({"--type", "bcCode39", "--ratio", "3", "KELMORA", "-o", wide}).ExitCode, 0);
    EXPECT_EQ(Rgb32(QImage(wide)),
              Rgb32(BarcodeImage({.Type = "bcCode39", .Ratio = 3}, "KELMORA")));

    if (!QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
        EXPECT_EQ(barcodetest::ZbarDecode(written, {"ean13"}, dir_.path()),
                  QStringLiteral("4006381333931"));
        EXPECT_EQ(barcodetest::ZbarDecode(QImage(wide), {"code39"}, dir_.path()),
                  QStringLiteral("KELMORA"));
    }
}

TEST_F(RltoolBarcode, FaultsAreOneLineAndStatusTwo) {
    struct Case {
        QStringList arguments;
        const char* named;
    };
    const QString out = Path("never.png");
    const Case cases[] = {
        {{"--type", "bcEAN14", "1", "-o", out}, "bcEAN14"},
        {{"--type", "bcEAN13", "--module", "0", "1", "-o", out}, "module"},
        {{"--type", "bcEAN13", "1"}, "-o"},
        {{"--elements", "1"}, "--type"},
        {{"--type", "bcEAN13", "-o", out}, "VALUE"},
        // Past the longest value, and past the largest picture (2158695 x 34 pixels).
        {{"--type", "bcCode128B", QString(4097, u'A'), "-o", out}, "more than the 4096"},
        {{"--type", "bcCode128B", "--elements", QString(4097, u'A')}, "more than the 4096"},
        {{"--type", "bcCode128B", "--module", "49", QString(4000, u'A'), "-o", out},
         "larger than 16777216 pixels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ProgramResult run = Barcode(c.arguments);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(run.Out.isEmpty());
        EXPECT_EQ(run.Err.count(u'\n'), 1) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QLatin1String(c.named))) << run.Err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST_F(RltoolBarcode, AnInvalidValueIsWrittenCrossedOutButFails) {
    const QString out = Path("invalid.png");
    const ProgramResult run = Barcode({"--type", "bcCode2OF5Interleaved", "12A4", "-o", out});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.contains(QLatin1String("12A4"))) << run.Err.toStdString();
    const QImage written(out);
    ASSERT_FALSE(written.isNull());
    EXPECT_GT(barcodetest::RedPixels(written), 0);
}
