// The encoder's properties, sizes and the bitmaps it paints, read back pixel by pixel.
#include "BarcodeTestSupport.h"
#include <kelmora/barcode/RLBarcodeEncoder.h>
#include <kelmora/support/RLUtils.h>

#include <gtest/gtest.h>

using namespace Kelmora;

using barcodetest::ColumnPattern;
using barcodetest::RowPattern;

namespace {

// Interleaved 2 of 5 "12" at module 1, ratio 2: 5050 60 51 50 50 61 605.
const QString Bars12 = QStringLiteral("#.#.##.#..#.#.##..##.#");

QString Spaces(int n) {
    return QString(n, u'.');
}

// Leftmost and rightmost columns holding a bluish pixel within rows [top, bottom).
std::pair<int, int> BlueSpan(const QImage& image, int top, int bottom) {
    int first = image.width(), last = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y);
                c.blue() > 128 && c.red() < 100 && c.green() < 100) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

} // namespace

TEST(BarcodeEncoder, OutOfRangeSettingsAreIgnoredOrClampedAndInvalidDescribesTheLastEncoding) {
    TRLBarcodeEncoder e;
    EXPECT_FALSE(e.SetModule(0));
    EXPECT_FALSE(e.SetModule(50));
    EXPECT_TRUE(e.SetModule(49));
    EXPECT_FALSE(e.SetRatio(-2));
    // Encoding keeps the ratio clamped into the symbology's range.
    e.SetRatio(5);
    e.Encode("12");
    EXPECT_EQ(e.Ratio(), 3);

    e.Encode("1A2");
    EXPECT_TRUE(e.Invalid());
    e.Encode("12");
    EXPECT_FALSE(e.Invalid());
}

TEST(BarcodeEncoder, WholeModuleSymbologiesKeepTheirWidthsAtAnyRatio) {
    // Widths in modules: EAN-13 and UPC-A 95, EAN-8 67, UPC-E 51, the supplements 20 and 47;
    // Code 128 "A" is start, A, check (11 each) and the 13-module stop, EAN 128 adds FNC1 (and
    // for digits the Modulo 10 digit, "12" becoming the pairs 01 and 23); Code 93 "A" is start, A,
    // C, K (9 each) and the 10-module stop.
    const struct {
        TRLBarcodeType type;
        const char* value;
        int modules;
    } cases[] = {
        {bcEAN13, "400638133393", 95}, {bcUPC_A, "03600029145", 95}, {bcEAN8, "9638507", 67},
        {bcUPC_E0, "1234570", 51},     {bcUPC_E1, "1234570", 51},    {bcUPC_Supp2, "12", 20},
        {bcUPC_Supp5, "52495", 47},    {bcCode128A, "A", 46},        {bcCode128B, "A", 46},
        {bcCode128C, "12", 46},        {bcEAN128A, "A", 57},         {bcEAN128B, "A", 57},
        {bcEAN128C, "12", 68},         {bcCode93, "A", 46},          {bcCode93Extended, "A", 46}};
    for (const auto& c : cases) {
        for (const double ratio : {2.0, 2.5, 3.0, 5.0}) {
            TRLBarcodeEncoder e;
            e.SetBarcodeType(c.type);
            e.SetCheckSum(true);
            e.SetModule(3);
            e.SetRatio(ratio);
            EXPECT_EQ(e.PatternWidth(e.Encode(c.value)), 3 * c.modules)
                << BarcodeTypeName(c.type).toStdString() << " ratio " << ratio;
            const QImage image = e.CreateBitmap(c.value, 3 * c.modules, 4);
            EXPECT_EQ(image.pixelColor(3 * c.modules - 1, 0), QColor(Qt::black))
                << "the last bar ends at the edge: " << BarcodeTypeName(c.type).toStdString();
        }
    }
}

TEST(BarcodeEncoder, BitmapColumnsFollowTheElementWidths) {
    TRLBarcodeEncoder e;
    const QImage image = e.CreateBitmap("12", 30, 10);
    ASSERT_EQ(image.size(), QSize(30, 10));
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(RowPattern(image, y), Bars12 + Spaces(8)) << y;
    // Centred, the odd pixel goes to the right. The control's print test places the bars to the
    // right and paints them in its colours.
    e.SetAlignment(Qt::AlignHCenter);
    EXPECT_EQ(RowPattern(e.CreateBitmap("12", 31, 2), 1), Spaces(4) + Bars12 + Spaces(5));
    e.SetAlignment(Qt::AlignLeft);

    // A ratio of 3 at module 1: wide elements are 3 pixels.
    e.SetRatio(3);
    EXPECT_EQ(RowPattern(e.CreateBitmap("12", 30, 4), 0),
              QStringLiteral("#.#.###.#...#.#.###...###.#") + Spaces(3));
}

TEST(BarcodeEncoder, ShortBarsTakeTheLowerTwoFifths) {
    TRLBarcodeEncoder e;
    e.SetBarcodeType(bcPostNet);
    // "1" = 51 A1A1A1 5151 5: the first short bar is at x = 3.
    const QImage image = e.CreateBitmap("1", 40, 20);
    EXPECT_EQ(ColumnPattern(image, 0), QString(20, u'#'));
    EXPECT_EQ(ColumnPattern(image, 3), Spaces(12) + QString(8, u'#'));
}

TEST(BarcodeEncoder, TextsAboveAndBelowTheBars) {
    TRLBarcodeEncoder e;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(8);
    e.SetFont(font);
    e.SetFontColor(Qt::blue);
    e.SetModule(3);
    e.SetShowText(boBoth);
    const int t = TextHeightOf(font);
    const QString value = QStringLiteral("12345678901234");
    const int height = 80;
    const QImage image = e.CreateBitmap(value, 500, height);
    const int barsWidth = e.PatternWidth(e.Encode(value));

    // The first element is a bar: it starts below the name and ends half a line above the
    // bottom, where the value's text begins to cover the bars' middle only.
    EXPECT_EQ(ColumnPattern(image, 0),
              Spaces(t) + QString(height - t / 2 - t, u'#') + Spaces(t / 2));

    // The symbology's name above the bars and the value below, each centred over them.
    for (const auto& [top, text] : {std::pair{0, e.TypeName()}, std::pair{height - t, value}}) {
        const auto [left, right] = BlueSpan(image, top, top + t);
        ASSERT_GE(right, left) << text.toStdString();
        EXPECT_NEAR((left + right) / 2.0, barsWidth / 2.0, 3.0) << text.toStdString();
        EXPECT_NEAR(right - left, TextWidthOf(font, text), 4.0) << text.toStdString();
    }

    // The code under PostNet's bars takes a whole line, and only the code is shown.
    e.SetBarcodeType(bcPostNet);
    e.SetShowText(boCode);
    const QImage post = e.CreateBitmap("1", 300, height);
    EXPECT_EQ(ColumnPattern(post, 0), QString(height - t, u'#') + Spaces(t));
}
