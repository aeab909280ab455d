// TrueType font programs cut down to the glyphs a document uses, for embedding in PDF files. The
// glyph numbers stay as they are (a dropped glyph keeps its number with no outline), so a writer
// can name glyphs by their number before it knows which glyphs the whole document uses.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

class QRawFont;

// Gives a font's table by its four-letter tag; empty when the font has no such table.
using TRLFontTableReader = std::function<QByteArray(QByteArrayView tag)>;

// A TrueType font program with the outlines of the given glyphs, of glyph 0 and of every glyph a
// kept composite glyph is built from; all other glyphs are left empty. Empty when the font has no
// TrueType outlines (no 'glyf' and 'loca' tables) or its tables contradict each other. The result
// carries what a viewer needs to draw and hint the glyphs (outlines, metrics, hinting programs,
// OS/2), but no character map nor names: the glyphs are shown by number.
QByteArray SubsetTrueTypeFont(const TRLFontTableReader& table, const std::vector<quint32>& glyphs);
QByteArray SubsetTrueTypeFont(const QRawFont& font, const std::vector<quint32>& glyphs);
