// Conversion between the engine's texts and the 8-bit Windows-1252 bytes of page records.
#pragma once

#include <QByteArray>
#include <QString>

// Every byte decodes to one character. The five bytes that Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control character of the same number, so that any
// stored text survives a read and a write unchanged.
QString DecodeWindows1252(const QByteArray& bytes);

// Every character becomes one byte; a character that Windows-1252 lacks (a surrogate pair
// counting as one character) becomes "?".
QByteArray EncodeWindows1252(QStringView text);

// The same into a buffer of at least text.size() bytes; returns the number of bytes written.
qsizetype EncodeWindows1252To(QStringView text, char* out);
