// Run by the printer tests with the printing service out of reach: reports, one "key=value" per
// line, what the printer wrapper and the printer filter make of a machine without printers.
#include "OutputTestSupport.h"
#include "RLGraphicStorage.h"
#include "RLPrinters.h"
#include "RLSpoolFilter.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TRLPrinterWrapper& printer = RLPrinter();
    auto line = [](const QString& key, const QString& value) {
        std::printf("%s=%s\n", qPrintable(key), qPrintable(value));
    };
    line(QStringLiteral("count"), QString::number(printer.PrinterCount()));
    line(QStringLiteral("index"), QString::number(printer.PrinterIndex()));
    line(QStringLiteral("name"), printer.PrinterName());
    line(QStringLiteral("valid"), printer.Valid() ? QStringLiteral("1") : QStringLiteral("0"));

    const TRLDeviceSettings before = printer.DeviceSettings();
    printer.SetPaperSize(false, 100, 150);
    line(QStringLiteral("settings-unchanged"),
         printer.DeviceSettings() == before ? QStringLiteral("1") : QStringLiteral("0"));

    line(QStringLiteral("metrics"), outputtest::MetricsText(printer.LoadMetrics()));

    QObject owner;
    TRLGraphicStorage store(&owner);
    outputtest::FillStore(store, 2);
    SpoolFilter().SetShowProgress(false);
    try {
        FilterPages(&store, nullptr, 1, false, -1);
        line(QStringLiteral("print"), QStringLiteral("succeeded"));
    } catch (const TRLException& e) {
        line(QStringLiteral("print"), e.Message());
    }
    line(QStringLiteral("doc-open"),
         printer.Printing() ? QStringLiteral("1") : QStringLiteral("0"));
    line(QStringLiteral("links"), QString::number(store.LinkCount()));
    return 0;
}
