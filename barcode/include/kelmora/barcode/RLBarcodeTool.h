/// @file
/// Barcodes outside a report: the element string or a picture of a value from a type name and a
/// few options, as the command-line tool asks for them.
#pragma once

#include <kelmora/barcode/RLBarcodeEncoder.h>

#include <QImage>
#include <QString>

namespace Kelmora {

struct TRLBarcodeToolOptions {
    /// The type's value name ("bcEAN13") or display name ("EAN13"), in any case.
    QString Type = QStringLiteral("bcCode2OF5Interleaved");
    int Module = 1;
    double Ratio = 2.0;
    bool CheckSum = false;
};

/// The element string of value; invalid, when given, tells whether the value broke the
/// symbology's rules. Both functions throw TRLException naming the fault for an unknown type, a
/// module outside 1 to 49 or a ratio that is not positive.
QString BarcodeElementString(const TRLBarcodeToolOptions& options, const QString& value,
                             bool* invalid = nullptr);

/// A picture of value, 34 pixels high: the bars left to right with a quiet zone of ten narrow
/// elements on both sides.
QImage BarcodeImage(const TRLBarcodeToolOptions& options, const QString& value);

} // namespace Kelmora
