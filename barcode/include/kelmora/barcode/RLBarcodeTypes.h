/// @file
/// Enumerations of the barcode control and the names under which they are shown and stored.
#pragma once

#include <QString>

#include <optional>

namespace Kelmora {

/// Symbologies, in their published order (layouts store them by value name).
enum TRLBarcodeType {
    bcCode2OF5Interleaved,
    bcCode2OF5Industry,
    bcCode2OF5Matrix,
    bcCode39,
    bcCode39Extended,
    bcCode128A,
    bcCode128B,
    bcCode128C,
    bcCode93,
    bcCode93Extended,
    bcMSI,
    bcPostNet,
    bcCodaBar,
    bcEAN8,
    bcEAN13,
    bcUPC_A,
    bcUPC_E0,
    bcUPC_E1,
    bcUPC_Supp2,
    bcUPC_Supp5,
    bcEAN128A,
    bcEAN128B,
    bcEAN128C,
};

inline constexpr int BarcodeTypeCount = bcEAN128C + 1;

enum TRLBarcodeCheckSumMethod { cmNone, cmModule10 };

enum TRLBarcodeOrientation { boLeftToRight, boBottomToTop, boTopToBottom };

enum TRLBarcodeTextOption { boNone, boCode, boType, boBoth };

enum TRLBarcodeInvalidCode { icEmptyRect, icCrossOut, icDrawAnyway };

/// The name printed above the bars ("2OF5 Interleaved", "EAN13", ...).
QString BarcodeDisplayName(TRLBarcodeType type);

/// The enumeration value's own name ("bcCode2OF5Interleaved", "bcEAN13", ...).
QString BarcodeTypeName(TRLBarcodeType type);

/// Accepts either the value name or the display name, ignoring case; nothing for an unknown name.
std::optional<TRLBarcodeType> BarcodeTypeFromName(const QString& name);

/// Symbologies that carry digits alone; their values have other characters replaced by "0".
bool BarcodeDigitsOnly(TRLBarcodeType type);

/// The wide-to-narrow ratio actually used: clamped into the symbology's range where it has one,
/// unchanged otherwise.
double ClampBarcodeRatio(TRLBarcodeType type, double ratio);

/// The ratio the element widths are computed with: 2.0 for symbologies whose elements are whole
/// modules (Code 128 and EAN 128, Code 93, EAN and UPC with the supplements), whose wide
/// elements are then exactly two, three and four modules; the given ratio for the others.
double BarcodeWidthRatio(TRLBarcodeType type, double ratio);

} // namespace Kelmora
