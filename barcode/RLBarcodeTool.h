// Barcodes outside a report: the element string or a picture of a value from a type name and a
// few options, as the command-line tool asks for them.
#pragma once

#include "RLBarcodeEncoder.h"

#include <QImage>
#include <QString>

struct TRLBarcodeToolOptions {
    // The type's value name ("bcEAN13") or display name ("EAN13"), in any case.
    QString Type = QStringLiteral("bcCode2OF5Interleaved");
    int Module = 1;
    double Ratio = 2.0;
    bool CheckSum = false;
    TRLBarcodeTextOption ShowText = boNone;
    // Height of the picture in pixels; its width follows the code.
    int Height = 34;
    // Blank space left and right of the bars, in narrow elements.
    int QuietZone = 10;
};

// An encoder set up from the options. Throws TRLException naming the fault for an unknown type,
// a module outside 1 to 49, a ratio that is not positive or a height below 1.
TRLBarcodeEncoder MakeBarcodeEncoder(const TRLBarcodeToolOptions& options);

// The element string of value; invalid, when given, tells whether the value broke the
// symbology's rules.
QString BarcodeElementString(const TRLBarcodeToolOptions& options, const QString& value,
                             bool* invalid = nullptr);

// A picture of value: the bars left to right with the quiet zone on both sides, the texts that
// ShowText asks for, and the background filling the rest.
QImage BarcodeImage(const TRLBarcodeToolOptions& options, const QString& value);
