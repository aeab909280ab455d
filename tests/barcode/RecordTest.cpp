// What the encoder records on a page: one picture for a barcode of ordinary size, and for a large
// one the same drawing as rectangles, lines and pictures of its texts, which must look alike
// pixel for pixel and cost about as much as the bars whatever the size.
#include "BarcodeTestSupport.h"
#include <kelmora/barcode/RLBarcodeEncoder.h>
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

using namespace Kelmora;

namespace {

constexpr int kPageWidth = 400;
constexpr int kPageHeight = 300;

std::shared_ptr<TRLGraphicSurface> NewPage() {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->Open();
    page->SetWidth(kPageWidth);
    page->SetHeight(kPageHeight);
    return page;
}

// The page painted at one device pixel a report pixel on grey, so that nothing the barcode
// leaves unpainted passes for its white background.
QImage Painted(const TRLGraphicSurface& page) {
    QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    QPainter painter(&image);
    page.PaintTo(painter, QRect(0, 0, kPageWidth, kPageHeight));
    return image;
}

// "" when alike, else how many pixels differ and where the first one is.
std::string Difference(const QImage& a, const QImage& b) {
    int count = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                first = QPoint(x, y);
    if (count == 0)
        return {};
    return QStringLiteral("%1 pixels differ, the first at %2, %3")
        .arg(count)
        .arg(first.x())
        .arg(first.y())
        .toStdString();
}

int CountKind(const TRLGraphicSurface& page, TRLObjectKind kind) {
    int count = 0;
    for (const auto& object : page.Objects())
        count += object->Kind() == kind ? 1 : 0;
    return count;
}

struct Settings {
    TRLBarcodeType Type = bcCode39;
    QString Value = QStringLiteral("KELMORA");
    TRLBarcodeOrientation Orientation = boLeftToRight;
    TRLBarcodeTextOption ShowText = boNone;
    Qt::Alignment Alignment = Qt::AlignLeft;
};

std::ostream& operator<<(std::ostream& os, const Settings& s) {
    return os << BarcodeTypeName(s.Type).toStdString() << " \"" << s.Value.toStdString()
              << "\" orientation " << s.Orientation << " text " << s.ShowText << " alignment "
              << s.Alignment;
}

TRLBarcodeEncoder EncoderFor(const Settings& s) {
    TRLBarcodeEncoder e;
    e.SetBarcodeType(s.Type);
    e.SetModule(2);
    e.SetOrientation(s.Orientation);
    e.SetShowText(s.ShowText);
    e.SetAlignment(s.Alignment);
    e.SetInvalidCode(icCrossOut);
    e.SetBarColor(QColor(0, 0, 160));
    e.SetColor(QColor(255, 255, 220));
    return e;
}

} // namespace

// Both ways of recording, painted: each is forced by the number of pixels a picture may have.
TEST(BarcodeRecord, PiecesLookLikeTheWholePictureInEveryOrientation) {
    const TRLRect printable{10, 20, 390, 280};
    const Settings cases[] = {
        {},
        {.Orientation = boBottomToTop},
        {.Orientation = boTopToBottom},
        {.ShowText = boBoth},
        {.Orientation = boBottomToTop, .ShowText = boBoth},
        {.Orientation = boTopToBottom, .ShowText = boCode, .Alignment = Qt::AlignHCenter},
        {.Type = bcPostNet, .Value = QStringLiteral("12345"), .ShowText = boBoth},
        {.ShowText = boType, .Alignment = Qt::AlignRight},
        // Wider than the area: the bars and the text are cut at its edge.
        {.Value = QStringLiteral("KELMORA KELMORA KELMORA"), .ShowText = boCode},
    };
    for (const Settings& s : cases) {
        SCOPED_TRACE(testing::Message() << s);
        auto whole = NewPage();
        auto pieces = NewPage();
        TRLBarcodeEncoder a = EncoderFor(s);
        TRLBarcodeEncoder b = EncoderFor(s);
        ASSERT_TRUE(a.Record(*whole, s.Value, printable, kMaxPicturePixels));
        ASSERT_TRUE(b.Record(*pieces, s.Value, printable, 0));
        EXPECT_EQ(CountKind(*whole, TRLObjectKind::Image), 1);
        EXPECT_GT(CountKind(*pieces, TRLObjectKind::FillRect), 10);
        EXPECT_EQ(Difference(Painted(*pieces), Painted(*whole)), "");
    }
}

// The cross of an invalid code is drawn with the page's lines, which are not the picture's
// round-capped ones pixel for pixel: it lies corner to corner over the bars all the same.
TEST(BarcodeRecord, AnInvalidCodeIsCrossedOutInPiecesToo) {
    Settings s{.Type = bcCode2OF5Interleaved, .Value = QStringLiteral("12A4")};
    for (const TRLBarcodeOrientation orientation : {boLeftToRight, boBottomToTop}) {
        s.Orientation = orientation;
        SCOPED_TRACE(testing::Message() << s);
        auto page = NewPage();
        TRLBarcodeEncoder e = EncoderFor(s);
        ASSERT_TRUE(e.Record(*page, s.Value, {0, 0, 200, 200}, 0));
        EXPECT_TRUE(e.Invalid());
        EXPECT_EQ(CountKind(*page, TRLObjectKind::Line), 2);
        const QImage painted = Painted(*page);
        EXPECT_GT(barcodetest::RedPixels(painted.copy(0, 0, 200, 200)), 200);
        EXPECT_EQ(barcodetest::RedPixels(painted.copy(200, 0, 200, 300)), 0);
    }
}

// A barcode of a thousand million pixels is a few dozen objects, and nothing is recorded
// without room for the bars.
TEST(BarcodeRecord, ALargeBarcodeCostsWhatItsBarsCost) {
    Settings s{.ShowText = boBoth};
    auto page = NewPage();
    TRLBarcodeEncoder e = EncoderFor(s);
    ASSERT_TRUE(e.Record(*page, s.Value, {0, 0, 100000, 100000}));
    const int bars = static_cast<int>(e.Encode(s.Value).count(QRegularExpression("[5-8]")));
    // The background, every bar and the two texts.
    EXPECT_EQ(page->ObjectCount(), 1 + bars + 2);
    EXPECT_EQ(CountKind(*page, TRLObjectKind::Image), 2);
    for (const auto& object : page->Objects())
        if (object->Kind() == TRLObjectKind::Image) {
            const auto& r = object->BoundsRect;
            EXPECT_LT(static_cast<long long>(r.Right - r.Left) * (r.Bottom - r.Top), 10000);
        }

    // An ordinary one stays one picture.
    auto ordinary = NewPage();
    ASSERT_TRUE(e.Record(*ordinary, s.Value, {0, 0, 300, 60}));
    EXPECT_EQ(ordinary->ObjectCount(), 1);
    EXPECT_EQ(CountKind(*ordinary, TRLObjectKind::Image), 1);

    auto empty = NewPage();
    // The 1 mm margins take all of 8 pixels.
    EXPECT_FALSE(e.Record(*empty, s.Value, {0, 0, 8, 100000}));
    EXPECT_EQ(empty->ObjectCount(), 0);
}

// A text cell larger than any picture may be is refused; the caller names the control.
TEST(BarcodeRecord, ATextTooLargeForAPictureIsRefused) {
    Settings s{.ShowText = boCode};
    TRLBarcodeEncoder e = EncoderFor(s);
    QFont huge(QStringLiteral("Arial"));
    huge.setPointSize(15000);
    e.SetFont(huge);
    auto page = NewPage();
    try {
        e.Record(*page, s.Value, {0, 0, 1000000, 1000000});
        FAIL() << "a text cell of about 100000 x 20000 pixels was recorded";
    } catch (const TRLException& error) {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("its text would need a picture of ")))
            << error.Message().toStdString();
        EXPECT_TRUE(error.Message().endsWith(QStringLiteral(", more than 16777216")))
            << error.Message().toStdString();
    }
}

// Values past the longest a barcode may carry are not encoded (a field of megabytes would
// otherwise be turned into elements first), and pictures past the picture bound are refused
// rather than allocated.
TEST(BarcodeRecord, ValuesAndPicturesHaveTheirBounds) {
    TRLBarcodeEncoder e;
    e.SetBarcodeType(bcCode128B);
    const QString longest(kMaxBarcodeValueLength, u'A');
    EXPECT_FALSE(e.Encode(longest).isEmpty());
    EXPECT_FALSE(e.Invalid());
    EXPECT_TRUE(e.Encode(longest + u'A').isEmpty());
    EXPECT_TRUE(e.Invalid());

    EXPECT_EQ(e.CreateBitmap(QStringLiteral("A"), 4096, 4096).size(), QSize(4096, 4096));
    EXPECT_THROW(e.CreateBitmap(QStringLiteral("A"), 4097, 4096), TRLException);
    EXPECT_THROW(e.CreateBitmap(QStringLiteral("A"), 2000000000, 2000000000), TRLException);
}
