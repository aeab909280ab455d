// Barcodes of hostile sizes and settings: a control thousands or millions of pixels each way, a
// font at the integer limit, a value of megabytes. Each is prepared within the bound the layout
// documentation gives, writing a small file, or refused in one line naming the control.
#include "HostileCase.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HostileBarcode : public HostileCase {
protected:
    // A title band as tall as the barcode, holding one named "Codigo" with the given
    // properties after its name.
    void WriteLayout(int bandHeight, const QByteArray& barcode) const {
        Write(QStringLiteral("layout.json"),
              R"({"class": "TRLReport", "name": "R", "children": [
                {"class": "TRLBand", "name": "B", "BandType": "btTitle", "Height": )" +
                  QByteArray::number(bandHeight) + R"(, "children": [
                  {"class": "TRLBarcode", "name": "Codigo", )" +
                  barcode + "}]}]}");
    }
};

// 12000 x 12000 took 2.1 GB and wrote a bitmap of 432 MB; the bars are rectangles now.
TEST_F(HostileBarcode, TwelveThousandPixelsEachWayIsRecordedAsItsBars) {
    WriteLayout(12100, R"("AutoSize": false, "Width": 12000, "Height": 12000,
                         "BarcodeType": "bcCode39", "Caption": "KELMORA", "ShowText": "boBoth")");
    ExpectPrepared(Prepare(), 1000 * 1000);
}

// A barcode of a thousand pixels each way on each of two hundred records wrote a bitmap of 3 MB
// for every one of them.
TEST_F(HostileBarcode, ALargeBarcodeOnEveryRecordCostsItsBars) {
    Write(QStringLiteral("records.json"),
          QByteArray("[") + QByteArray("{},").repeated(199) + "{}]");
    Write(QStringLiteral("layout.json"),
          R"({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 1010, "children": [
              {"class": "TRLBarcode", "name": "Codigo", "AutoSize": false, "Width": 1000,
               "Height": 1000, "BarcodeType": "bcCode39", "Caption": "KELMORA",
               "ShowText": "boBoth"}]}]})");
    ExpectPrepared(Prepare({QStringLiteral("--data"), Path(QStringLiteral("records.json"))}),
                   10 * 1000 * 1000);
}

// A million pixels each way was refused as being out of memory, without naming the control;
// turned upwards its texts are pictures of their own cells, turned with it.
TEST_F(HostileBarcode, AMillionPixelsEachWayInEveryOrientation) {
    for (const char* orientation : {"boLeftToRight", "boBottomToTop", "boTopToBottom"}) {
        SCOPED_TRACE(orientation);
        WriteLayout(1000000, R"("AutoSize": false, "Width": 1000000, "Height": 1000000,
                             "BarcodeType": "bcCode128B", "Caption": "Kelmora 2026",
                             "ShowText": "boBoth", "Orientation": ")" +
                                 QByteArray(orientation) + "\"");
        ExpectPrepared(Prepare(), 5 * 1000 * 1000);
    }
}

// The widest elements a module and ratio can give over the longest value a barcode may carry.
TEST_F(HostileBarcode, WidestModuleAndRatioOverTheLongestValue) {
    WriteLayout(200, R"("Height": 150, "Module": 49, "Ratio": 1000000, "BarcodeType": "bcMSI",
                       "Caption": ")" +
                         QByteArray(4096, '7') + "\"");
    ExpectPrepared(Prepare(), 5 * 1000 * 1000);
}

// A value of four megabytes was turned into elements whole, twice over for its size.
TEST_F(HostileBarcode, AValueOfMegabytesIsRefusedNamingTheControl) {
    WriteLayout(60, R"("Caption": ")" + QByteArray(4 << 20, '1') + "\"");
    ExpectRefused(Prepare(),
                  QStringLiteral("Codigo: a value of 4194304 characters, more than the 4096 a "
                                 "barcode may print"));
}

// The largest font a layout may give (1638 points, 2184 pixels a line) under a barcode a
// million pixels each way: two digits are a picture of a few million pixels, twenty would need
// more than any picture may have.
TEST_F(HostileBarcode, TheLargestFontPrintsShortTextsAndRefusesLongOnes) {
    const QByteArray barcode = R"("AutoSize": false, "Width": 1000000, "Height": 1000000,
        "BarcodeType": "bcCode128B", "ShowText": "boCode", "ParentFont": false,
        "Font": {"Size": 1638}, "Caption": )";
    WriteLayout(1000000, barcode + R"("12")");
    ExpectPrepared(Prepare(), 40 * 1000 * 1000);

    QFile::remove(Path(QStringLiteral("out.rpf")));
    WriteLayout(1000000, barcode + R"("12345678901234567890")");
    ExpectRefused(Prepare(), QStringLiteral("Codigo: its text would need a picture of "),
                  QStringLiteral(" pixels, more than 16777216"));
}

} // namespace
