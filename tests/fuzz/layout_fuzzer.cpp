// Feeds arbitrary bytes to the JSON layout reader, as rltool prepare meets a layout received from
// someone else, and prepares what it reads. A layout must be read into a report or refused with
// an error naming what is wrong, never crash or hang; a report that was read must prepare its
// pages (or refuse with an error). Pictures and records files are looked for in a folder that
// holds only lines.json, the detail records of a subdetail keyed by "sku". The report runs
// over a few fixed records, so that what follows the records (texts, barcodes and pictures from
// expressions, properties from expressions, totals) is reached: a picture as base64, as a data:
// URI, a null, a missing file; numbers, texts, Greek and accents.
// fuzz-libs: rlreport rlbarcode
#include <kelmora/barcode/RLBarcode.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLUtils.h>

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>

using namespace Kelmora;

namespace {
QString EmptyFolder;
TRLJsonRecordsModel* Records = nullptr;

// A 2 x 2 PNG, red.
constexpr const char* kPicture =
    "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQVR4nGP4z8AARAwQCgAf7gP9i18U1AAAAABJRU5E"
    "rkJggg==";
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    InitEngineSupport();
    RegisterTextAndGraphicClasses();
    RegisterBarcodeClasses();
    static QTemporaryDir folder;
    EmptyFolder = folder.path();
    QFile lines(folder.filePath(QStringLiteral("lines.json")));
    if (lines.open(QIODevice::WriteOnly))
        lines.write(
            R"json([{"sku": "KEL-0001", "line": 1, "item": "Ñandú", "qty": 2, "price": "10.50"},
            {"sku": "KEL-0001", "line": 2, "item": "Ωμέγα", "qty": 1, "price": "-3"},
            {"sku": "A", "line": 1, "item": null, "qty": "x", "price": null},
            {"sku": null, "line": 9, "item": "nadie"}])json");
    static TRLJsonRecordsModel records;
    records.Load(QStringLiteral(R"json([
        {"Sku": "KEL-0001", "Qty": 3, "Amount": "-12.50", "Name": "Ñandú Ωμέγα", "Photo": "%1",
         "Day": "2026-12-09", "City": "Rosario"},
        {"Sku": "9780201379624", "Qty": 0, "Amount": 7, "Name": "", "Photo": null,
         "Day": "abc", "City": "Rosario"},
        {"Sku": null, "Qty": "x", "Amount": null, "Name": "Σ", "Photo": "data:image/png;base64,%1",
         "Day": null, "City": "Salta"},
        {"Sku": "A", "Qty": 1, "Amount": 1e300, "Name": "x", "Photo": "nada.png",
         "Day": "2026-02-29", "City": "Salta"}])json")
                     .arg(QLatin1String(kPicture))
                     .toUtf8(),
                 QStringLiteral("records"));
    Records = &records;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto report =
            ReadReportLayoutFromJson(json, QStringLiteral("fuzz.json"), EmptyFolder);
        report->SetShowProgress(false);
        report->SetDataSource(Records);
        report->Prepare();
    } catch (const TRLException&) {
    }
    return 0;
}
