#include <kelmora/barcode/RLBarcodeTypes.h>

#include <algorithm>

namespace Kelmora {

namespace {

struct TypeInfo {
    const char* ValueName;
    const char* DisplayName;
    bool DigitsOnly;
    double MinRatio; // 0: the symbology fixes its own widths and takes the ratio as given
    // Every element is one to four modules wide by the symbology's definition, so the ratio
    // has no say in the widths (it is still kept, and clamped where MinRatio says).
    bool WholeModules = false;
};

constexpr TypeInfo Types[BarcodeTypeCount] = {
    {"bcCode2OF5Interleaved", "2OF5 Interleaved", true, 2.0},
    {"bcCode2OF5Industry", "2OF5 Industrial", true, 2.0},
    {"bcCode2OF5Matrix", "2OF5 Matrix", true, 2.25},
    {"bcCode39", "Code 39", false, 2.0},
    {"bcCode39Extended", "Code 39 Extended", false, 2.0},
    {"bcCode128A", "Code 128A", false, 0, true},
    {"bcCode128B", "Code 128B", false, 0, true},
    {"bcCode128C", "Code 128C", true, 0, true},
    {"bcCode93", "Code 93", false, 0, true},
    {"bcCode93Extended", "Code 93 Extended", false, 0, true},
    {"bcMSI", "MSI", true, 0},
    {"bcPostNet", "PostNet", true, 0},
    {"bcCodaBar", "CodaBar", false, 2.0},
    {"bcEAN8", "EAN8", true, 2.0, true},
    {"bcEAN13", "EAN13", true, 2.0, true},
    {"bcUPC_A", "UPC A", true, 2.0, true},
    {"bcUPC_E0", "UPC E0", true, 2.0, true},
    {"bcUPC_E1", "UPC E1", true, 2.0, true},
    {"bcUPC_Supp2", "UPC Supp2", true, 2.0, true},
    {"bcUPC_Supp5", "UPC Supp5", true, 2.0, true},
    {"bcEAN128A", "EAN 128A", false, 0, true},
    {"bcEAN128B", "EAN 128B", false, 0, true},
    {"bcEAN128C", "EAN 128C", true, 0, true},
};

constexpr double MaxRatio = 3.0;

const TypeInfo& Info(TRLBarcodeType type) {
    return Types[static_cast<int>(type)];
}

} // namespace

QString BarcodeDisplayName(TRLBarcodeType type) {
    return QString::fromLatin1(Info(type).DisplayName);
}

QString BarcodeTypeName(TRLBarcodeType type) {
    return QString::fromLatin1(Info(type).ValueName);
}

std::optional<TRLBarcodeType> BarcodeTypeFromName(const QString& name) {
    for (int i = 0; i < BarcodeTypeCount; ++i) {
        if (name.compare(QLatin1String(Types[i].ValueName), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String(Types[i].DisplayName), Qt::CaseInsensitive) == 0) {
            return static_cast<TRLBarcodeType>(i);
        }
    }
    return std::nullopt;
}

bool BarcodeDigitsOnly(TRLBarcodeType type) {
    return Info(type).DigitsOnly;
}

double BarcodeWidthRatio(TRLBarcodeType type, double ratio) {
    return Info(type).WholeModules ? 2.0 : ratio;
}

double ClampBarcodeRatio(TRLBarcodeType type, double ratio) {
    const double lower = Info(type).MinRatio;
    if (lower == 0) {
        return ratio;
    }
    return std::clamp(ratio, lower, MaxRatio);
}

} // namespace Kelmora
