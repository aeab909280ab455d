/// @file
/// Conversion between the engine's texts and the bytes of page records: 8-bit Windows-1252, the
/// form older readers know, and UTF-8 for texts that code page cannot hold.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace Kelmora {

/// Every byte decodes to one character. The five bytes that Windows-1252 leaves unassigned
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control character of the same number, so that any
/// stored text survives a read and a write unchanged.
QString DecodeWindows1252(const QByteArray& bytes);

/// Every character becomes one byte; a character that Windows-1252 lacks (a surrogate pair
/// counting as one character) becomes "?".
QByteArray EncodeWindows1252(QStringView text);

/// The same into a buffer of at least text.size() bytes; returns the number of bytes written.
/// When a character became "?", *lost is set to true (and left alone otherwise).
qsizetype EncodeWindows1252To(QStringView text, char* out, bool* lost = nullptr);

/// Whether every character of the text has a byte of its own in Windows-1252, so that it decodes
/// back unchanged.
bool FitsWindows1252(QStringView text);

/// UTF-8 decoded exactly: a leading byte-order mark stays a character, and bytes that are not
/// well-formed UTF-8 (cut sequences, overlong forms, encoded surrogates) give no text at all.
std::optional<QString> DecodeUtf8Exactly(QByteArrayView bytes);

} // namespace Kelmora
