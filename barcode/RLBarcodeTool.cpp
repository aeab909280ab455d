#include "RLBarcodeTool.h"

#include "RLUtils.h"

#include <algorithm>
#include <cmath>

TRLBarcodeEncoder MakeBarcodeEncoder(const TRLBarcodeToolOptions& options) {
    const std::optional<TRLBarcodeType> type = BarcodeTypeFromName(options.Type);
    if (!type) {
        throw TRLException(QStringLiteral("unknown barcode type \"%1\"").arg(options.Type));
    }
    if (options.Module < 1 || options.Module > 49) {
        throw TRLException(QStringLiteral("module %1 is outside 1 to 49").arg(options.Module));
    }
    if (!std::isfinite(options.Ratio) || options.Ratio <= 0) {
        throw TRLException(QStringLiteral("ratio %1 is not positive").arg(options.Ratio));
    }
    if (options.Height < 1) {
        throw TRLException(QStringLiteral("height %1 is below 1").arg(options.Height));
    }
    if (options.QuietZone < 0) {
        throw TRLException(QStringLiteral("quiet zone %1 is negative").arg(options.QuietZone));
    }
    TRLBarcodeEncoder encoder;
    encoder.SetBarcodeType(*type);
    encoder.SetModule(options.Module);
    encoder.SetRatio(options.Ratio);
    encoder.SetCheckSum(options.CheckSum);
    encoder.SetShowText(options.ShowText);
    // An invalid value still shows what it would have been, crossed out, rather than an empty
    // picture that looks like a fault of the tool.
    encoder.SetInvalidCode(icCrossOut);
    return encoder;
}

QString BarcodeElementString(const TRLBarcodeToolOptions& options, const QString& value,
                             bool* invalid) {
    TRLBarcodeEncoder encoder = MakeBarcodeEncoder(options);
    QString elements = encoder.Encode(value);
    if (invalid != nullptr) {
        *invalid = encoder.Invalid();
    }
    return elements;
}

QImage BarcodeImage(const TRLBarcodeToolOptions& options, const QString& value) {
    TRLBarcodeEncoder encoder = MakeBarcodeEncoder(options);
    const int quiet = options.QuietZone * options.Module;
    const int bars = encoder.PatternWidth(encoder.Encode(value));
    // The bitmap is centred, so the bars get the quiet zone on both sides; the texts may need
    // more room than the bars when the code is short.
    int width = bars + 2 * quiet;
    if (options.ShowText == boType || options.ShowText == boBoth) {
        width = std::max(width, TextWidthOf(encoder.Font(), encoder.TypeName()));
    }
    if (options.ShowText == boCode || options.ShowText == boBoth) {
        width = std::max(width, TextWidthOf(encoder.Font(), value));
    }
    encoder.SetAlignment(Qt::AlignHCenter);
    return encoder.CreateBitmap(value, std::max(width, 1), options.Height);
}
