// rltool barcode: one value as a barcode picture (PNG) or as its element string.
#include "RLToolCommands.h"
#include <kelmora/barcode/RLBarcodeTool.h>
#include <kelmora/commandline/RLCommandLine.h>

#include <cstdio>

namespace Kelmora {

QList<QCommandLineOption> BarcodeOptions() {
    return {
        {"type", "the symbology: bcEAN13, bcEAN8, bcCode39, bcCode128B, ... (required)", "TYPE"},
        {"module", "the width of the narrowest bar in pixels (default 1)", "N"},
        {"ratio",
         "the width of a wide bar to a narrow one (default 2; kept within what the symbology "
         "allows)",
         "R"},
        {"checksum", "add the symbology's check digit"},
        {"elements", "print the element string instead of writing a picture"},
        {"o", "the PNG picture to write", "OUT.png"},
    };
}

int BarcodeCommand(const TRLArguments& args) {
    if (args.Positionals().size() != 1)
        throw TRLUsageError(QStringLiteral("give exactly one VALUE (quote it for the shell)"));
    const QString value = args.Positional(0, "VALUE");

    TRLBarcodeToolOptions options;
    options.Type = args.Value(QStringLiteral("--type"));
    if (options.Type.isEmpty())
        throw TRLUsageError(QStringLiteral("missing --type TYPE (bcEAN13, bcCode39, ...)"));
    options.Module = args.IntValue(QStringLiteral("--module"), options.Module);
    options.Ratio = args.RealValue(QStringLiteral("--ratio"), options.Ratio);
    options.CheckSum = args.Flag(QStringLiteral("--checksum"));

    bool invalid = false;
    const QString elements = BarcodeElementString(options, value, &invalid);
    if (args.Flag(QStringLiteral("--elements"))) {
        std::printf("%s\n", qPrintable(elements));
    } else {
        const QString output = args.Value(QStringLiteral("-o"));
        if (output.isEmpty())
            throw TRLUsageError(QStringLiteral("missing -o OUT.png (or --elements)"));
        WritePngFile(BarcodeImage(options, value), output);
    }
    // The output is still written (crossed out, or the partial element string) so that the
    // fault can be seen, but a script must not take it for a good code.
    if (invalid) {
        std::fprintf(stderr, "rltool barcode: \"%s\" is not a valid %s value\n",
                     value.toUtf8().constData(), qPrintable(options.Type));
        return 2;
    }
    return 0;
}

} // namespace Kelmora
