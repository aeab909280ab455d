// Helpers shared by the barcode tests: encoding in one call and reading bitmaps back.
#pragma once

#include "RLBarcodeSymbology.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <ostream>

// Failures show texts as text rather than as arrays of UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace barcodetest {

inline QString Elements(TRLBarcodeType type, const QString& value, bool checkSum = false,
                        TRLBarcodeCheckSumMethod method = cmModule10) {
    return EncodeBarcodeElements(type, value, checkSum, method).Elements;
}

inline bool IsInvalid(TRLBarcodeType type, const QString& value, bool checkSum = false,
                      TRLBarcodeCheckSumMethod method = cmModule10) {
    return EncodeBarcodeElements(type, value, checkSum, method).Invalid;
}

// One row of a bitmap as '#' for pixels of the bar colour and '.' for every other pixel.
inline QString RowPattern(const QImage& image, int y, QColor bar = Qt::black) {
    QString row;
    for (int x = 0; x < image.width(); ++x) {
        row += image.pixelColor(x, y) == bar ? u'#' : u'.';
    }
    return row;
}

// The same for one column, top to bottom.
inline QString ColumnPattern(const QImage& image, int x, QColor bar = Qt::black) {
    QString column;
    for (int y = 0; y < image.height(); ++y) {
        column += image.pixelColor(x, y) == bar ? u'#' : u'.';
    }
    return column;
}

inline int CountPixels(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

} // namespace barcodetest
