// Helpers shared by the barcode tests: encoding in one call and reading bitmaps back.
#pragma once

#include "RLBarcodeSymbology.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <ostream>

using namespace Kelmora;

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

// The pixels of a row (column: of a column, top to bottom) as '#' for the bar colour and '.'
// for every other colour.
inline QString Pattern(const QImage& image, int at, bool column, QColor bar) {
    QString pattern;
    for (int i = 0; i < (column ? image.height() : image.width()); ++i)
        pattern += image.pixelColor(column ? at : i, column ? i : at) == bar ? u'#' : u'.';
    return pattern;
}
inline QString RowPattern(const QImage& image, int y, QColor bar = Qt::black) {
    return Pattern(image, y, false, bar);
}
inline QString ColumnPattern(const QImage& image, int x, QColor bar = Qt::black) {
    return Pattern(image, x, true, bar);
}

template <typename Test> int CountPixelsIf(const QImage& image, Test test) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}
inline int CountPixels(const QImage& image, QColor colour) {
    return CountPixelsIf(image, [&](QColor c) { return c == colour; });
}
// Pixels of the red that crosses out an invalid code.
inline int RedPixels(const QImage& image) {
    return CountPixelsIf(image,
                         [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; });
}

// What zbarimg reads in the picture with only the named symbologies' decoders on (one symbol
// per line); empty when it finds nothing. The caller skips when zbarimg is missing.
inline QString ZbarDecode(const QImage& image, const QStringList& symbologies,
                          const QString& directory) {
    static int count = 0;
    const QString path = QDir(directory).filePath(QStringLiteral("picture%1.png").arg(count++));
    if (!image.save(path, "PNG"))
        return QStringLiteral("(cannot save %1)").arg(path);
    QStringList arguments{QStringLiteral("--raw"), QStringLiteral("-q"),
                          QStringLiteral("-Sdisable")};
    for (const QString& symbology : symbologies)
        arguments << QStringLiteral("-S%1.enable").arg(symbology);
    QProcess zbar;
    zbar.start(QStandardPaths::findExecutable(QStringLiteral("zbarimg")), arguments << path);
    if (!zbar.waitForFinished(30000))
        return QStringLiteral("(zbarimg did not finish)");
    // Only the line end goes: blanks at either end may belong to a value.
    QString output = QString::fromLatin1(zbar.readAllStandardOutput());
    if (output.endsWith(u'\n'))
        output.chop(1);
    return output;
}

} // namespace barcodetest
