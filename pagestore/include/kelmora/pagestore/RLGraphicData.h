/// @file
/// Pictures in the page store are kept as tagged data: "NIL" (no picture), "BMP" followed by a
/// Windows bitmap file, or "ICO" followed by a Windows icon file. Any other picture (a JPEG, a
/// PNG) is turned into a bitmap of the same size when recorded.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace Kelmora {

/// "BMP" + a bitmap file of the image; "NIL" for a null image.
QByteArray TaggedDataFromImage(const QImage& image);
/// The picture held by tagged data; a null image for "NIL", unknown tags, empty or undecodable
/// data.
QImage DecodeTaggedData(const QByteArray& data);

/// The most pixels a picture is decoded to (4096 x 4096; 64 MB in memory): a picture is kept
/// whole while a report prepares and written once more as a bitmap for every page it is on, so
/// a few copies of the largest one must stay well inside half a gigabyte.
inline constexpr long long kMaxPicturePixels = 16LL * 1024 * 1024;

/// JPEG pictures (baseline and progressive) decoded through libjpeg. A null image when the data
/// is not a readable JPEG. A baseline picture beyond the bound comes out scaled down by two, four
/// or eight, enough to fit it; one that does not fit even then, and a progressive one of more
/// than twice the bound, is refused, and *refusal (when given) says how large it is.
QImage DecodeJpeg(const QByteArray& data);
QImage DecodeJpeg(const QByteArray& data, QString* refusal);
/// Any picture file: JPEG through libjpeg, everything else through Qt's readers, which refuse a
/// picture beyond the bound. Null on failure; *refusal (when given) is set for a picture refused
/// for its size ("9000 x 9000 pixels, larger than 16777216 pixels").
QImage LoadPicture(const QByteArray& fileData, QString* refusal = nullptr);
QImage LoadPictureFile(const QString& path, QString* refusal = nullptr);

} // namespace Kelmora
