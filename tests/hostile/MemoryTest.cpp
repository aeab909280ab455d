// Inputs of a few bytes that once asked for gigabytes for one control: a memo of two million
// lines and JPEG pictures that declare millions of pixels. Each is prepared within the bound
// the layout documentation gives, or refused naming the control.
#include "HostileCase.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HostileMemory : public HostileCase {
protected:
    // A 50 x 50 image control showing the picture whole.
    void WritePictureLayout(const QString& picture) const {
        Write(QStringLiteral("layout.json"),
              QStringLiteral(R"({"class": "TRLReport", "name": "R", "children": [
                {"class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 60, "children": [
                  {"class": "TRLImage", "name": "Foto", "Width": 50, "Height": 50,
                   "Stretch": true, "Picture": "%1"}]}]})")
                  .arg(picture)
                  .toUtf8());
    }
};

// A 16 x 16 baseline JPEG whose frame header then claims width x height pixels: its data runs
// out after the first rows, which the decoder fills in grey, as it does for any cut file.
QByteArray JpegClaiming(int width, int height) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(qRgb(40, 90, 160));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(10);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    EXPECT_GT(frame, 0) << "not a baseline JPEG";
    if (frame <= 0)
        return {};
    // SOF0: marker, length (2), precision (1), height (2), width (2).
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height & 0xFF);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

// Two million one-character lines made 1.4 GB of text objects; a memo now prints at most
// 100,000 lines.
TEST_F(HostileMemory, AMemoOfTwoMillionLinesIsRefusedNamingIt) {
    QByteArray lines = "[";
    lines.reserve(2000000 * 4 + 2);
    for (int i = 0; i < 2000000; ++i)
        lines += i ? ",\"x\"" : "\"x\"";
    lines += "]";
    Write(QStringLiteral("layout.json"),
          R"({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "B", "BandType": "btTitle", "Height": 40, "children": [
              {"class": "TRLMemo", "name": "Notas", "Width": 100, "Height": 20, "Lines": )" +
              lines + "}]}]}");
    ExpectRefused(Prepare(), QStringLiteral("Notas: more than 100000 lines of text, the most a "
                                            "memo may print"));
}

// A label near its band's right edge wraps each word of a 4 MB field onto a line of its own:
// two million lines took 1.4 GB.
TEST_F(HostileMemory, ALabelWrappingAFieldIntoTwoMillionLinesIsRefusedNamingIt) {
    Write(QStringLiteral("records.json"),
          R"([{"s": ")" + QByteArray("x ").repeated(2000000) + R"("}])");
    Write(QStringLiteral("layout.json"),
          R"({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 20, "children": [
              {"class": "TRLLabel", "name": "Etiqueta", "Left": 700, "Expression": "s"}]}]})");
    ExpectRefused(Prepare({QStringLiteral("--data"), Path(QStringLiteral("records.json"))}),
                  QStringLiteral("Etiqueta: more than 100000 lines of text, the most a label may "
                                 "print"));
}

// 8000 x 8000 pixels in 705 bytes took a gigabyte: the picture is read at half its size each
// way, which fits the bound of 4096 x 4096, and recorded at eight pixels a pixel of its box.
// Printed on each of twenty records it took 4 GB and wrote 960 MB.
TEST_F(HostileMemory, AJpegOf8000By8000PixelsIsReadScaledDown) {
    const QByteArray jpeg = JpegClaiming(8000, 8000);
    ASSERT_LT(jpeg.size(), 2048);
    Write(QStringLiteral("huge.jpg"), jpeg);
    WritePictureLayout(QStringLiteral("huge.jpg"));
    // A bitmap of 400 x 400 at three bytes a pixel, and little else.
    ExpectPrepared(Prepare(), 1000 * 1000);

    Write(QStringLiteral("records.json"), QByteArray("[") + QByteArray("{},").repeated(19) + "{}]");
    ExpectPrepared(Prepare({QStringLiteral("--data"), Path(QStringLiteral("records.json"))}),
                   20 * 1000 * 1000);
}

// The same picture centred behind a 60-pixel band on each of twenty records took 4 GB and wrote
// 960 MB: only the part of it the band shows is recorded.
TEST_F(HostileMemory, APictureBehindABandOnEveryRecordIsRecordedAsFarAsItShows) {
    Write(QStringLiteral("huge.jpg"), JpegClaiming(8000, 8000));
    Write(QStringLiteral("layout.json"),
          R"({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 60,
             "Background": {"Picture": "huge.jpg", "Arrange": "baCenter"}}]})");
    Write(QStringLiteral("records.json"), QByteArray("[") + QByteArray("{},").repeated(19) + "{}]");
    // Twenty bitmaps of 718 x 60 at three bytes a pixel.
    ExpectPrepared(Prepare({QStringLiteral("--data"), Path(QStringLiteral("records.json"))}),
                   4 * 1000 * 1000);
}

// 40000 x 40000 is too large even read at an eighth of its size each way.
TEST_F(HostileMemory, AJpegTooLargeToScaleIsRefusedNamingTheControl) {
    Write(QStringLiteral("huge.jpg"), JpegClaiming(40000, 40000));
    WritePictureLayout(QStringLiteral("huge.jpg"));
    const CappedResult result = Prepare();
    ExpectWithinBound(result);
    EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
    const QString error = result.ErrText().trimmed();
    EXPECT_FALSE(error.contains(QLatin1Char('\n'))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Foto.Picture: ")) &&
                error.endsWith(QStringLiteral("(40000 x 40000 pixels, larger than 16777216 "
                                              "pixels)")))
        << error.toStdString();
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.rpf"))));
}

} // namespace
