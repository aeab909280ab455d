// Feeds arbitrary bytes to the JSON layout reader, as rltool prepare meets a layout received from
// someone else, and prepares what it reads. A layout must be read into a report or refused with
// an error naming what is wrong, never crash or hang; a report that was read must prepare its
// pages (or refuse with an error). Pictures are looked for in an empty folder.
// fuzz-libs: rlreport rlbarcode
#include <kelmora/barcode/RLBarcode.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLUtils.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>

using namespace Kelmora;

namespace {
QString EmptyFolder;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    InitEngineSupport();
    RegisterTextAndGraphicClasses();
    RegisterBarcodeClasses();
    static QTemporaryDir folder;
    EmptyFolder = folder.path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto report =
            ReadReportLayoutFromJson(json, QStringLiteral("fuzz.json"), EmptyFolder);
        report->SetShowProgress(false);
        report->Prepare();
    } catch (const TRLException&) {
    }
    return 0;
}
