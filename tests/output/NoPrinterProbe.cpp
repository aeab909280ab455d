// Run by the printer tests with the printing service out of reach: reports, one "key=value" per
// line, what the printer wrapper and the printer filter make of a machine without printers.
#include "OutputTestSupport.h"

#include <cstdio>

using namespace Kelmora;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TRLPrinterWrapper& printer = RLPrinter();
    auto line = [](const char* key, const QString& value) {
        std::printf("%s=%s\n", key, qPrintable(value));
    };
    auto flag = [&](const char* key, bool value) { line(key, value ? "1" : "0"); };
    line("count", QString::number(printer.PrinterCount()));
    line("index", QString::number(printer.PrinterIndex()));
    line("name", printer.PrinterName());
    flag("valid", printer.Valid());

    const TRLDeviceSettings before = printer.DeviceSettings();
    printer.SetPaperSize(false, 100, 150);
    flag("settings-unchanged", printer.DeviceSettings() == before);

    line("metrics", outputtest::MetricsText(printer.LoadMetrics()));

    QObject owner;
    TRLGraphicStorage store(&owner);
    outputtest::FillStore(store, 2);
    SpoolFilter().SetShowProgress(false);
    const QString error = outputtest::ErrorOf([&] { FilterPages(&store, nullptr, 1, false, -1); });
    line("print", error == "(no error)" ? QStringLiteral("succeeded") : error);
    flag("doc-open", printer.Printing());
    line("links", QString::number(store.LinkCount()));
    return 0;
}
