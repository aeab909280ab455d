#include <kelmora/barcode/RLBarcodeTool.h>

#include <algorithm>
#include <cmath>

namespace Kelmora {

namespace {

constexpr int kHeight = 34;
// Blank space left and right of the bars, in narrow elements.
constexpr int kQuietZone = 10;

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
    TRLBarcodeEncoder encoder;
    encoder.SetBarcodeType(*type);
    encoder.SetModule(options.Module);
    encoder.SetRatio(options.Ratio);
    encoder.SetCheckSum(options.CheckSum);
    // An invalid value still shows what it would have been, crossed out, rather than an empty
    // picture that looks like a fault of the tool.
    encoder.SetInvalidCode(icCrossOut);
    return encoder;
}

// Longer values would not be encoded at all; saying so beats calling them invalid.
void CheckLength(const QString& value) {
    if (value.size() > kMaxBarcodeValueLength) {
        throw TRLException(
            QStringLiteral("a value of %1 characters, more than the %2 a barcode may carry")
                .arg(value.size())
                .arg(kMaxBarcodeValueLength));
    }
}

} // namespace

QString BarcodeElementString(const TRLBarcodeToolOptions& options, const QString& value,
                             bool* invalid) {
    TRLBarcodeEncoder encoder = MakeBarcodeEncoder(options);
    CheckLength(value);
    QString elements = encoder.Encode(value);
    if (invalid != nullptr) {
        *invalid = encoder.Invalid();
    }
    return elements;
}

QImage BarcodeImage(const TRLBarcodeToolOptions& options, const QString& value) {
    TRLBarcodeEncoder encoder = MakeBarcodeEncoder(options);
    CheckLength(value);
    const int bars = encoder.PatternWidth(encoder.Encode(value));
    // The bitmap is centred, so the bars get the quiet zone on both sides.
    encoder.SetAlignment(Qt::AlignHCenter);
    return encoder.CreateBitmap(value, std::max(bars + 2 * kQuietZone * options.Module, 1),
                                kHeight);
}

} // namespace Kelmora
