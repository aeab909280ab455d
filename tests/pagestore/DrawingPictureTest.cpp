// Picture data: JPEG decoding through libjpeg, and the tagged bitmaps and icons of page records.
#include <kelmora/pagestore/RLGraphicData.h>

#include <QBuffer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

using namespace Kelmora;

namespace {

enum class JpegKind { Rgb, Gray, AdobeCmyk };

// Compresses an image with libjpeg itself, so that the decoder is tried on files made the way
// cameras and scanners make them, progressive ones included.
QByteArray EncodeJpeg(const QImage& image, JpegKind kind, bool progressive) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    const int components = kind == JpegKind::Gray ? 1 : kind == JpegKind::Rgb ? 3 : 4;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width() * components));
    for (JSAMPROW rowStart = row.data(); info.next_scanline < info.image_height;) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, static_cast<int>(info.next_scanline));
            // Adobe's writers store CMYK inverted; with K = 0 this is just R, G, B, 255.
            const int samples[] = {components == 1 ? qGray(p) : qRed(p), qGreen(p), qBlue(p), 255};
            std::copy_n(samples, components, &row[static_cast<size_t>(x * components)]);
        }
        jpeg_write_scanlines(&info, &rowStart, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray result(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return result;
}

// Four flat quadrants, big enough for JPEG blocks to keep their colours.
QImage Quadrants() {
    const QRgb colours[2][2] = {{qRgb(220, 30, 30), qRgb(30, 200, 40)},
                                {qRgb(20, 40, 210), qRgb(240, 240, 240)}};
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colours[y >= 24][x >= 32]);
    return image;
}

void ExpectNear(QRgb actual, QRgb expected, int tolerance, const char* what) {
    EXPECT_NEAR(qRed(actual), qRed(expected), tolerance) << what;
    EXPECT_NEAR(qGreen(actual), qGreen(expected), tolerance) << what;
    EXPECT_NEAR(qBlue(actual), qBlue(expected), tolerance) << what;
}

void ExpectQuadrants(const QImage& decoded, const char* what) {
    ASSERT_EQ(decoded.size(), QSize(64, 48)) << what;
    const QImage original = Quadrants();
    for (const QPoint& p : {QPoint(10, 10), QPoint(50, 10), QPoint(10, 40), QPoint(50, 40)})
        ExpectNear(decoded.pixel(p), original.pixel(p), 12, what);
}

} // namespace

TEST(DrawingJpeg, BaselineAndProgressiveColourPictures) {
    ExpectQuadrants(DecodeJpeg(EncodeJpeg(Quadrants(), JpegKind::Rgb, false)), "baseline");
    const QByteArray progressive = EncodeJpeg(Quadrants(), JpegKind::Rgb, true);
    ExpectQuadrants(DecodeJpeg(progressive), "progressive");
    ExpectQuadrants(LoadPicture(progressive), "LoadPicture");
    // Damaged data of every kind is the picture fuzzer's; data that is no JPEG the DrawingPage
    // tests'. A cut file fails inside libjpeg, which must give no picture rather than end the run.
    EXPECT_TRUE(DecodeJpeg(progressive.left(20)).isNull());
}

TEST(DrawingJpeg, GreyAndCmykPictures) {
    QImage ramp(64, 16, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.setPixel(x, y, qRgb(x * 4, x * 4, x * 4));
    const QImage grey = DecodeJpeg(EncodeJpeg(ramp, JpegKind::Gray, true));
    ASSERT_FALSE(grey.isNull());
    EXPECT_EQ(grey.size(), ramp.size());
    for (int x : {2, 20, 40, 61})
        ExpectNear(grey.pixel(x, 8), ramp.pixel(x, 8), 8, "grey");
    ExpectQuadrants(DecodeJpeg(EncodeJpeg(Quadrants(), JpegKind::AdobeCmyk, false)), "cmyk");
}

namespace {

// The picture with its frame header (SOF0 baseline, SOF2 progressive) claiming width x height:
// the data runs out after the first rows, which libjpeg fills in grey as for any cut file.
QByteArray Claiming(QByteArray jpeg, int width, int height) {
    qsizetype frame = jpeg.indexOf("\xFF\xC0");
    if (frame < 0)
        frame = jpeg.indexOf("\xFF\xC2");
    EXPECT_GT(frame, 0);
    const char size[] = {char(height >> 8), char(height & 0xFF), char(width >> 8),
                         char(width & 0xFF)};
    jpeg.replace(frame + 5, 4, QByteArray(size, 4));
    return jpeg;
}

} // namespace

// A picture beyond 4096 x 4096 pixels is read at a half, a quarter or an eighth of its size
// each way, the least that fits; one that fits at none, a progressive one of more than twice
// the bound (its coefficients are kept whole) and any other file beyond the bound are refused,
// saying how large they are.
TEST(DrawingJpeg, LargePicturesAreReadScaledDownOrRefused) {
    const QByteArray baseline = EncodeJpeg(Quadrants(), JpegKind::Rgb, false);
    EXPECT_EQ(DecodeJpeg(Claiming(baseline, 4096, 4096)).size(), QSize(4096, 4096));
    EXPECT_EQ(DecodeJpeg(Claiming(baseline, 4097, 4096)).size(), QSize(2049, 2048));
    EXPECT_EQ(LoadPicture(Claiming(baseline, 8000, 8000)).size(), QSize(4000, 4000));
    EXPECT_EQ(DecodeJpeg(Claiming(baseline, 30000, 1000)).size(), QSize(15000, 500));

    QString refusal;
    EXPECT_TRUE(LoadPicture(Claiming(baseline, 40000, 40000), &refusal).isNull());
    EXPECT_EQ(refusal, QStringLiteral("40000 x 40000 pixels, larger than 16777216 pixels"));

    const QByteArray progressive = EncodeJpeg(Quadrants(), JpegKind::Rgb, true);
    refusal.clear();
    EXPECT_TRUE(DecodeJpeg(Claiming(progressive, 6000, 6000), &refusal).isNull());
    EXPECT_EQ(refusal, QStringLiteral("6000 x 6000 pixels, larger than 16777216 pixels"));

    // A bitmap's header claiming 5000 x 5000 pixels over the pixels of a 2 x 2 one.
    QByteArray bitmap;
    QBuffer buffer(&bitmap);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(Quadrants().scaled(2, 2).save(&buffer, "BMP"));
    for (const int at : {18, 22}) {
        bitmap[at] = char(5000 & 0xFF);
        bitmap[at + 1] = char(5000 >> 8);
    }
    refusal.clear();
    EXPECT_TRUE(LoadPicture(bitmap, &refusal).isNull());
    EXPECT_EQ(refusal, QStringLiteral("5000 x 5000 pixels, larger than 16777216 pixels"));
    // A picture that is merely unreadable says nothing of its size.
    refusal.clear();
    EXPECT_TRUE(LoadPicture(bitmap.left(30), &refusal).isNull());
    EXPECT_TRUE(refusal.isEmpty());
}

// Picture files are the LayoutReader and Artwork tests'.
TEST(DrawingTaggedData, BitmapsLayTransparencyOverWhite) {
    EXPECT_EQ(TaggedDataFromImage(QImage()), QByteArrayLiteral("NIL"));
    EXPECT_TRUE(DecodeTaggedData(QByteArrayLiteral("NIL")).isNull());

    // Opaque pictures are the picture control's tests'; transparency is laid over white, as when
    // a picture is drawn onto a new bitmap.
    QImage alpha(3, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(0, 0, 0, 0));
    alpha.setPixel(1, 0, qRgba(255, 0, 0, 255));
    alpha.setPixel(2, 0, qRgba(0, 0, 255, 128));
    const QImage flat = DecodeTaggedData(TaggedDataFromImage(alpha));
    ASSERT_EQ(flat.size(), QSize(3, 1));
    EXPECT_EQ(flat.pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(flat.pixel(1, 0) & 0xFFFFFFu, 0xFF0000u);
    ExpectNear(flat.pixel(2, 0), qRgb(127, 127, 255), 2, "half transparent blue");
}

TEST(DrawingTaggedData, IconsAndUnknownTags) {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgba(0, 128, 255, 255));
    QByteArray iconFile;
    QBuffer buffer(&iconFile);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(icon.save(&buffer, "ICO"));
    // Reading the icon's pixels is the toolkit's.
    EXPECT_EQ(DecodeTaggedData(QByteArrayLiteral("ICO") + iconFile).pixel(8, 8), icon.pixel(8, 8));

    // Icon bytes under the bitmap tag, or the tag alone, are nothing.
    for (const QByteArray& data : {QByteArrayLiteral("BMP") + iconFile, QByteArrayLiteral("ICO")})
        EXPECT_TRUE(DecodeTaggedData(data).isNull()) << data.left(8).toHex().constData();
}
