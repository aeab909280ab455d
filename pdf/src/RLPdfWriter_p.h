// What the parts of the PDF writer share: the way numbers and colours are written, compression,
// a document font's metrics and the glyphs pages showed of it, the hatch patterns, and what a page
// needs of its document. Not part of the output library's interface.
#pragma once

#include "RLFontSubset.h"
#include "RLPdfWriter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QHash>
#include <QSet>
#include <QSizeF>
#include <QString>

#include <libdeflate.h>

#include <cmath>
#include <initializer_list>
#include <map>
#include <set>
#include <utility>
#include <vector>

class QImage;
class QRawFont;

namespace Kelmora {

namespace rlpdf {

// Coordinates beyond this many units are of no page; PDF readers need not take larger numbers,
// and a number this size still prints without an exponent.
constexpr double kFarthest = 1e9;

// Streams are compressed in the zlib format PDF's FlateDecode reads, by libdeflate, which
// compresses a whole buffer at once (a page's content, a font, a picture) in half the time zlib
// takes to compress as much, or to a tenth less in the same time. Levels run from 1 (fastest)
// to 12 (smallest).
constexpr int kFastestCompression = 1;
constexpr int kBestCompression = 12;
// Content streams at the level measured best for a listing's pages: the fifth compresses them in
// six sevenths of the sixth's time to within half a percent of its size, the fourth gains as much
// again for eight times the growth. Both took less time than zlib's third level, for a tenth less.
constexpr int kContentCompression = 5;
// Fonts and pictures are written once per document: closer to the smallest, where a large
// picture still compresses in a fraction of a second.
constexpr int kResourceCompression = 9;

// Bytes onto the end of out. Content streams are built of millions of small pieces, and
// QByteArray::append takes the general road of an insert for each; here the array grows as
// append would, and the bytes are copied in place.
void AppendBytes(QByteArray& out, const char* bytes, qsizetype count);
// A piece of an operator, such as "Td\n".
template <size_t Size> void AppendText(QByteArray& out, const char (&text)[Size]) {
    AppendBytes(out, text, static_cast<qsizetype>(Size - 1));
}
void AppendInt(QByteArray& out, long long value);
// A number with at most three decimals and no trailing zeros; whole numbers as integers.
void AppendReal(QByteArray& out, double value);
// The most characters AppendReal writes ("-1000000000.001"), and the number written from at;
// returns its end.
constexpr int kMostPerReal = 24;
char* FormatReal(char* at, double value);
// Each number followed by a space, added at once.
template <typename... Numbers> void AppendNumbers(QByteArray& out, Numbers... numbers) {
    char buffer[sizeof...(Numbers) * (kMostPerReal + 1)];
    char* end = buffer;
    ((end = FormatReal(end, static_cast<double>(numbers)), *end++ = ' '), ...);
    AppendBytes(out, buffer, end - buffer);
}
// The colour's red, green and blue, each followed by a space.
void AppendColor(QByteArray& out, const QColor& color);
// An indirect reference: "N 0 R".
void AppendReference(QByteArray& out, int object);

// The data compressed, in the zlib format, at the given level (kFastestCompression to
// kBestCompression); empty when it could not be.
QByteArray Deflated(QByteArrayView data, int level);

// The hatch brushes as tiling patterns: the pattern's drawing of one cell, nullptr for a style
// that is no hatch, and its resource name on pages of the given height (in hundredths of a point).
const char* HatchCell(Qt::BrushStyle style);
QByteArray HatchName(int style, int pageHeight);

// A resource name made from the digest of what the resource is (a font's or a picture's bytes):
// the same in every run, whichever thread met the resource first. Its first 32 bits keep the
// names short, as they recur in every page's content. A name already taken (two different
// resources whose digests begin alike: for a thousand different pictures, about one chance in
// ten thousand) gets a number after it, and only then can the order pages are painted in show.
// The digest of the parts one after the other, read where they lie (a picture's samples can be
// tens of megabytes).
QByteArray Digest(std::initializer_list<QByteArrayView> parts);
QByteArray StableResourceName(QByteArrayView prefix, const QByteArray& digest,
                              QSet<QByteArray>& taken);

} // namespace rlpdf

// One font of the document: its metrics for placing glyphs, and which glyphs and characters the
// pages used. Its widths never change once it is known, so pages read them without a lock.
struct TRLPdfFont {
    // The font file's tables, read when the font is first met: a raw font belongs to the thread
    // that made it, which may be gone when the document ends.
    QHash<QByteArray, QByteArray> Tables;
    QByteArray Table(QByteArrayView tag) const { return Tables.value(tag.toByteArray()); }
    QByteArray Name;
    QByteArray Resource;
    TRLOutlines Outlines = TRLOutlines::TrueType;
    // For a font drawn from a file without tables (Type 1): the OpenType file of the same face
    // whose glyphs the document shows instead, chosen by character.
    QString OpenTypeFile;
    int UnitsPerEm = 1000;
    // Each glyph's advance in thousandths of the font size, and in the font's own units.
    std::vector<int> Widths;
    std::vector<quint16> Advances;
    std::vector<bool> Used;
    std::vector<char16_t> Characters;
    // The glyphs used at each whole pixel size (0 for any other size or slant). Each size is a
    // font of its own in the PDF, whose widths are the whole-pixel advances the canvas places
    // glyphs by, so that its texts need no corrections between glyphs.
    std::map<int, std::vector<bool>> SizesUsed;

    double Width(quint32 glyph, int pixelSize) const {
        if (pixelSize <= 0) {
            return Widths[glyph];
        }
        return std::round(double(Advances[glyph]) * pixelSize / UnitsPerEm) * 1000.0 / pixelSize;
    }
    QByteArray ResourceAt(int pixelSize) const {
        return pixelSize <= 0 ? Resource : Resource + 's' + QByteArray::number(pixelSize);
    }
};

// A glyph a page showed, and the character it stood for.
struct TRLPdfGlyphUse {
    int Font;
    quint32 Glyph;
    char16_t Character;
    int PixelSize;
};

// A painted page as its document takes it: its paper in points, its compressed content stream,
// the glyphs it showed, its hatches (pairs of brush style and page height in hundredths of a
// point) and the document's pictures it showed (by their index, in the order first shown).
struct TRLPdfPainted {
    TRLPdfPagePart Part;
    QSizeF Points;
    QByteArray Packed;
    std::vector<TRLPdfGlyphUse> Glyphs;
    std::set<std::pair<int, int>> Hatches;
    std::vector<int> Images;
};

// What a page needs of the document it is painted for. Pages are painted on any thread; all but
// AddPage may be asked from several at once.
class TRLPdfPageSink {
public:
    virtual int PixelsPerInch() const = 0;
    // The document font for a raw font (any size of the same font file is the same document
    // font), and its index; nullptr when the font's outlines cannot be embedded. Its resource
    // name comes from the font itself, not from which page met it first.
    virtual const TRLPdfFont* FontOf(const QRawFont& raw, int& index) = 0;
    // The document picture for an image (the same picture however many pages show it): its
    // resource name, and its index. Its object is written with the first added page that shows
    // it, so that the order pages are painted in does not show in the document.
    virtual QByteArray ImageOf(const QImage& image, int& index) = 0;
    // Writes the page after those added before; from the thread that owns the writer. False when
    // the document could not be written (then or earlier).
    virtual bool AddPage(const TRLPdfPainted& page) = 0;
    // Marks the document as failed, for the reason given.
    virtual void Fail(const QString& reason) = 0;

protected:
    ~TRLPdfPageSink() = default;
};

} // namespace Kelmora
