#include <kelmora/support/RLUtils.h>

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

TEST(SupportText, FieldOfSplitsAtEveryDelimiter) {
    struct Case {
        const char* text;
        int index;
        char delimiter;
        const char* field;
    };
    const Case cases[] = {
        {"a,b,c", 1, ',', "a"},          {"a,b,c", 3, ',', "c"}, {"a,b,c", 4, ',', ""},
        {"a,b,c", 0, ',', ""},           {"a,,c", 2, ',', ""},   {"", 1, ',', ""},
        {"HP|lpt1:|x", 2, '|', "lpt1:"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FieldOf(QString::fromLatin1(c.text), c.index, QChar::fromLatin1(c.delimiter)),
                  QString::fromLatin1(c.field))
            << c.text << " #" << c.index;
}

TEST(SupportText, NextComponentNameCountsPastTheLargestSibling) {
    EXPECT_EQ(NextComponentName("TRLLabel", {}), "RLLabel1");
    EXPECT_EQ(NextComponentName("TRLLabel", {"RLLabel1", "RLLabel7", "RLLabel3", "RLBand12"}),
              "RLLabel8");
    // Prefixes match regardless of case; suffixes that are no number count as 0.
    EXPECT_EQ(NextComponentName("TRLLabel", {"rllabel9"}), "RLLabel10");
    EXPECT_EQ(NextComponentName("TRLLabel", {"RLLabel", "RLLabelX2", "aux_persona", "RLLabel-4"}),
              "RLLabel1");
    // Only a leading T goes, whatever its case; other names keep their first letter.
    EXPECT_EQ(NextComponentName("tpanel", {"panel2"}), "panel3");
    // The largest number a name can hold still gets a successor.
    EXPECT_EQ(NextComponentName("TRLDraw", {"RLDraw2147483647"}), "RLDraw2147483648");
}

// The picture's file in the given format, as hexadecimal text.
QString HexOf(const QImage& image, const char* format) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return QString::fromLatin1(buffer.data().toHex());
}

// The preview's glyphs, bitmap files as hexadecimal text, are decoded in every preview window.
TEST(SupportText, BitmapFromHexTextLoadsBitmapFileImagesOnly) {
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    picture.setPixel(2, 1, qRgb(200, 100, 50));
    // Lower-case digits are read as upper case, and a trailing odd digit is ignored.
    EXPECT_EQ(BitmapFromHexText(HexOf(picture, "BMP") + QStringLiteral("f"))
                  .convertToFormat(QImage::Format_RGB32),
              picture);
    // Nothing, a bitmap header alone, and a picture that is no bitmap file (PNG) are refused.
    EXPECT_THROW(BitmapFromHexText(QString()), TRLException);
    EXPECT_THROW(BitmapFromHexText(QStringLiteral("424D00")), TRLException);
    EXPECT_THROW(BitmapFromHexText(HexOf(picture, "PNG")), TRLException);
}

} // namespace
