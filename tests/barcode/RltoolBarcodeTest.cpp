// rltool barcode, run as the built program.
#include "BarcodeTestSupport.h"
#include "RLBarcodeTool.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

ToolRun Rltool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(KELMORA_BINARY_DIR "/tools/rltool"),
                  QStringList{QStringLiteral("barcode")} + arguments);
    ToolRun run;
    if (!process.waitForFinished(60000)) {
        run.err = QStringLiteral("rltool did not finish: ") + process.errorString();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class RltoolBarcode : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(KELMORA_BINARY_DIR "/tools/rltool"))) {
            GTEST_SKIP() << "rltool is not built";
        }
        ASSERT_TRUE(dir_.isValid());
    }
    QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    QTemporaryDir dir_;
};

} // namespace

TEST_F(RltoolBarcode, PrintsTheElementString) {
    ToolRun run = Rltool({"--type", "bcCode2OF5Interleaved", "--elements", "12"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("50506051505061605\n"));
    EXPECT_TRUE(run.err.isEmpty());

    // The check digit flag reaches the encoder: 12 digits in, 13 out.
    run = Rltool({"--type", "EAN13", "--checksum", "--elements", "400638133393"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    TRLBarcodeToolOptions full;
    full.Type = QStringLiteral("bcEAN13");
    EXPECT_EQ(run.out.trimmed(), BarcodeElementString(full, "4006381333931"));
}

TEST_F(RltoolBarcode, WritesThePictureWithTheOptionsGiven) {
    const QString out = Path("ean.png");
    ToolRun run =
        Rltool({"--type", "bcEAN13", "--module", "2", "--checksum", "400638133393", "-o", out});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage written(out);
    ASSERT_FALSE(written.isNull());
    // 95 modules of 2 pixels and 10 narrow elements of quiet zone each side, 34 high.
    EXPECT_EQ(written.size(), QSize(2 * 95 + 2 * 20, 34));

    TRLBarcodeToolOptions options;
    options.Type = QStringLiteral("bcEAN13");
    options.Module = 2;
    options.CheckSum = true;
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32),
              BarcodeImage(options, "400638133393").convertToFormat(QImage::Format_RGB32));

    // Ten narrow elements of quiet zone on each side, the bars in between.
    const QString row = barcodetest::RowPattern(written.convertToFormat(QImage::Format_RGB32), 17);
    EXPECT_TRUE(row.startsWith(QString(20, u'.') + u'#')) << row.toStdString();
    EXPECT_TRUE(row.endsWith(u'#' + QString(20, u'.'))) << row.toStdString();

    // The ratio reaches the encoder.
    const QString wide = Path("c39-3.png");
    ASSERT_EQ(Rltool({"--type", "bcCode39", "--ratio", "3", "KELMORA", "-o", wide}).status, 0);
    TRLBarcodeToolOptions code39;
    code39.Type = QStringLiteral("bcCode39");
    code39.Ratio = 3;
    EXPECT_EQ(QImage(wide).convertToFormat(QImage::Format_RGB32),
              BarcodeImage(code39, "KELMORA").convertToFormat(QImage::Format_RGB32));

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
        {{"--type", "bcEAN13", "--module", "two", "1", "-o", out}, "--module"},
        {{"--type", "bcEAN13", "--ratio", "-1", "1", "-o", out}, "ratio"},
        {{"--type", "bcEAN13", "1"}, "-o"},
        {{"--elements", "1"}, "--type"},
        {{"--type", "bcEAN13", "-o", out}, "VALUE"},
        {{"--type", "bcEAN13", "--colour", "red", "1", "-o", out}, "--colour"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ToolRun run = Rltool(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.named))) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST_F(RltoolBarcode, AnInvalidValueIsWrittenCrossedOutButFails) {
    const QString out = Path("invalid.png");
    const ToolRun run = Rltool({"--type", "bcCode2OF5Interleaved", "12A4", "-o", out});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QLatin1String("12A4"))) << run.err.toStdString();
    const QImage written(out);
    ASSERT_FALSE(written.isNull());
    EXPECT_GT(barcodetest::RedPixels(written), 0);
}
