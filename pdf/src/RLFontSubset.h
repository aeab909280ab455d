// Font programs cut down to the glyphs a document uses, for embedding in PDF files. HarfBuzz's
// subsetter does the cutting, for TrueType and CFF outlines alike. The glyph numbers stay as they
// are (a dropped glyph keeps its number with no outline), so a writer can name glyphs by their
// number before it knows which glyphs the whole document uses.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

class QRawFont;

namespace Kelmora {

// Gives a font's table by its four-letter tag; empty when the font has no such table.
using TRLFontTableReader = std::function<QByteArray(QByteArrayView tag)>;

// The outlines a font holds, as far as a PDF can embed them: TrueType ('glyf' and 'loca', embedded
// as FontFile2) or CFF ('CFF ', embedded as an OpenType FontFile3). CFF2 and bitmap fonts are None.
enum class TRLOutlines { None, TrueType, Cff };
TRLOutlines OutlinesOf(const TRLFontTableReader& table);

// The tables a subset is cut from: outlines, metrics, hinting programs, OS/2 and post. A reader
// needs to keep only these.
const std::vector<QByteArray>& SubsetTableTags();

// An OpenType font program with the outlines of the given glyphs, of glyph 0 and of every glyph a
// kept glyph is built from; all other glyphs are left empty. TrueType outlines give a TrueType
// font, CFF outlines an OpenType font with a CFF table ('OTTO'). It carries what a viewer needs
// to draw and hint the glyphs, but no character map nor names: the glyphs are shown by number.
// Empty when the font has no outlines a PDF can embed or the subset is no font FreeType reads.
QByteArray SubsetFont(const TRLFontTableReader& table, const std::vector<quint32>& glyphs);
QByteArray SubsetFont(const QRawFont& font, const std::vector<quint32>& glyphs);

} // namespace Kelmora
