// Turning a value into the element string of a symbology, and measuring element strings.
//
// An element string holds one character per bar or space, drawn left to right without gaps:
//   '0'..'3'  space of width w1..w4
//   '5'..'8'  full-height bar of width w1..w4
//   'A'..'D'  short bar (lower two fifths of the height) of width w1..w4
//   other     full-height bar of width w1
// where w1 is the module, w2 the module times the ratio (rounded), w3 = w2 * 3 / 2 and
// w4 = 2 * w2. Nothing here draws; the encoder paints these strings.
#pragma once

#include <kelmora/barcode/RLBarcodeTypes.h>

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>

namespace Kelmora {

struct TRLBarcodeElements {
    QString Elements;
    // The value broke the symbology's rules: characters replaced or skipped, or a fixed-length
    // code of the wrong length (which gives no elements at all).
    bool Invalid = false;
};

// Steps 2 and 3 of encoding: prepares the value (digits-only symbologies are trimmed and have
// foreign characters replaced by "0") and builds its element string with start, stop and check
// characters. Never throws; bad input sets Invalid.
TRLBarcodeElements EncodeBarcodeElements(TRLBarcodeType type, const QString& value, bool checkSum,
                                         TRLBarcodeCheckSumMethod checkSumMethod);

// The Modulo 10 check digit of a digit string: the last digit and every second one before it
// weigh 3, the others 1; the digit is (10 - sum mod 10) mod 10. Every character is read as a
// digit (its code minus '0').
QChar Modulo10CheckDigit(QStringView digits);

// The eleven digits of the UPC-A number that six UPC-E digits stand for (number system first,
// no check digit); empty unless six holds exactly six digits. A UPC-E check digit is the
// Modulo 10 digit of this number: that is what scanners verify.
QString ExpandUpcE(QStringView six, QChar numberSystem);

// Element widths in pixels for the four width classes. They are bytes, as the control has always
// kept them, so a very wide module with a wide ratio wraps past 255.
struct TRLBarcodeWidths {
    std::array<uint8_t, 4> W{};
};

TRLBarcodeWidths BarcodeWidths(int module, double ratio);

// Width in pixels of one element character.
int ElementWidth(QChar element, const TRLBarcodeWidths& widths);

// Sum of the widths of every element of the string.
int PatternWidth(QStringView elements, const TRLBarcodeWidths& widths);

} // namespace Kelmora
