// Pictures in the page store are kept as tagged data: "NIL" (no picture), "BMP" followed by a
// Windows bitmap file, or "ICO" followed by a Windows icon file. Any other picture (a JPEG, a
// PNG) is turned into a bitmap of the same size when recorded.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// "BMP" + a bitmap file of the image; "NIL" for a null image.
QByteArray TaggedDataFromImage(const QImage& image);
// The picture held by tagged data; a null image for "NIL", unknown tags, empty or undecodable
// data.
QImage DecodeTaggedData(const QByteArray& data);

// JPEG pictures (baseline and progressive) decoded through libjpeg. A null image when the data
// is not a readable JPEG.
QImage DecodeJpeg(const QByteArray& data);
// Any picture file: JPEG through libjpeg, everything else through Qt's readers. Null on failure.
QImage LoadPicture(const QByteArray& fileData);
QImage LoadPictureFile(const QString& path);
