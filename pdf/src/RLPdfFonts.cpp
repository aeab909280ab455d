// The document's fonts: read from the raw fonts pages draw with, embedded once each, cut down to
// the glyphs used, with their widths at each pixel size and a map back to the characters.
#include "RLPdfDocument_p.h"

#include <QCryptographicHash>
#include <QRawFont>
#include <QtEndian>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <optional>

namespace Kelmora {

using namespace rlpdf;

namespace {

// Big-endian readers over a font table that give 0 past its end: a damaged table then makes
// odd metrics, never a read outside the table.
quint16 U16(const QByteArray& table, qsizetype at) {
    if (at < 0 || at + 2 > table.size()) {
        return 0;
    }
    return qFromBigEndian<quint16>(table.constData() + at);
}

qint16 S16(const QByteArray& table, qsizetype at) {
    return static_cast<qint16>(U16(table, at));
}

// The PostScript name of a font from its 'name' table, or empty.
QByteArray PostScriptName(const QByteArray& name) {
    const int count = U16(name, 2);
    const int strings = U16(name, 4);
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * static_cast<qsizetype>(i);
        const int platform = U16(name, record);
        const int nameId = U16(name, record + 6);
        const int length = U16(name, record + 8);
        const qsizetype offset = strings + U16(name, record + 10);
        if (nameId != 6 || offset + length > name.size()) {
            continue;
        }
        QByteArray text;
        if (platform == 3 || platform == 0) { // UTF-16 big-endian
            for (int at = 0; at + 1 < length; at += 2) {
                text.append(static_cast<char>(U16(name, offset + at) & 0x7F));
            }
        } else {
            text = name.mid(offset, length);
        }
        return text;
    }
    return {};
}

// A name for PDF: only the letters, digits and a few marks a name can carry unescaped.
QByteArray SafeName(const QByteArray& name) {
    QByteArray out;
    for (const char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == ',') {
            out.append(c);
        }
    }
    return out.isEmpty() ? QByteArray("Font") : out;
}

// The font file, with TrueType or CFF outlines, of the family and style a raw font without font
// tables was made from; empty when there is none. Type 1 fonts come without tables, and the font
// packages that carry Type 1 files carry the same faces as OpenType files too.
QString OpenTypeFileOf(const QRawFont& raw) {
    const QByteArray family = raw.familyName().toUtf8();
    const QByteArray style = raw.styleName().toUtf8();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.constData()));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.constData()));
    FcObjectSet* wanted = FcObjectSetBuild(FC_FILE, FC_FONTFORMAT, nullptr);
    FcFontSet* found = FcFontList(nullptr, pattern, wanted);
    QString file;
    for (int i = 0; found != nullptr && i < found->nfont && file.isEmpty(); ++i) {
        FcChar8* path = nullptr;
        FcChar8* format = nullptr;
        if (FcPatternGetString(found->fonts[i], FC_FILE, 0, &path) == FcResultMatch &&
            FcPatternGetString(found->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch) {
            const QByteArray kind(reinterpret_cast<const char*>(format));
            if (kind == "CFF" || kind == "TrueType") {
                file = QString::fromUtf8(reinterpret_cast<const char*>(path));
            }
        }
    }
    if (found != nullptr) {
        FcFontSetDestroy(found);
    }
    FcObjectSetDestroy(wanted);
    FcPatternDestroy(pattern);
    return file;
}

// The document font a raw font makes, without its resource name; none when its outlines cannot
// be embedded. A raw font without tables (Type 1, head empty) is read from its OpenType file.
std::optional<TRLPdfFont> ReadFont(const QRawFont& given, const QByteArray& head) {
    QRawFont raw = given;
    QString openTypeFile;
    if (head.isEmpty()) {
        openTypeFile = OpenTypeFileOf(given);
        raw = openTypeFile.isEmpty() ? QRawFont() : QRawFont(openTypeFile, 12);
    }
    const QByteArray hhea = raw.fontTable("hhea");
    const QByteArray hmtx = raw.fontTable("hmtx");
    const int glyphCount = U16(raw.fontTable("maxp"), 4);
    const int unitsPerEm = U16(raw.fontTable("head"), 18);
    const TRLOutlines outlines = OutlinesOf(
        [&raw](QByteArrayView tag) { return raw.fontTable(tag.toByteArray().constData()); });
    // TrueType and CFF outlines are embedded; texts in other fonts (bitmaps, CFF2) are drawn
    // as outlines.
    if (outlines == TRLOutlines::None || glyphCount <= 0 || unitsPerEm <= 0 || hhea.isEmpty() ||
        hmtx.isEmpty()) {
        return std::nullopt;
    }
    TRLPdfFont font;
    for (const QByteArray& tag : SubsetTableTags()) {
        font.Tables.insert(tag, raw.fontTable(tag.constData()));
    }
    font.Outlines = outlines;
    font.OpenTypeFile = openTypeFile;
    font.UnitsPerEm = unitsPerEm;
    font.Name = SafeName(PostScriptName(raw.fontTable("name")));
    const int metrics = std::max(1, int(U16(hhea, 34)));
    font.Widths.resize(static_cast<size_t>(glyphCount));
    font.Advances.resize(static_cast<size_t>(glyphCount));
    for (int glyph = 0; glyph < glyphCount; ++glyph) {
        const qsizetype entry = std::min(glyph, metrics - 1);
        font.Advances[static_cast<size_t>(glyph)] = U16(hmtx, 4 * entry);
        font.Widths[static_cast<size_t>(glyph)] =
            static_cast<int>(std::lround(U16(hmtx, 4 * entry) * 1000.0 / unitsPerEm));
    }
    font.Used.assign(static_cast<size_t>(glyphCount), false);
    font.Characters.assign(static_cast<size_t>(glyphCount), 0);
    return font;
}

std::vector<quint32> GlyphsIn(const std::vector<bool>& used) {
    std::vector<quint32> glyphs;
    for (size_t glyph = 0; glyph < used.size(); ++glyph) {
        if (used[glyph]) {
            glyphs.push_back(static_cast<quint32>(glyph));
        }
    }
    return glyphs;
}

// A subset's name starts with six capitals of its own, so that two subsets of one font in
// different documents are never taken for each other.
QByteArray SubsetName(const TRLPdfFont& font, const std::vector<quint32>& glyphs) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(font.Name);
    for (const quint32 glyph : glyphs) {
        const quint16 big = qToBigEndian(static_cast<quint16>(glyph));
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&big), 2));
    }
    const QByteArray digest = hash.result();
    QByteArray tag;
    for (int i = 0; i < 6; ++i) {
        tag.append(static_cast<char>('A' + static_cast<unsigned char>(digest[i]) % 26));
    }
    return tag + '+' + font.Name;
}

// The font descriptor's dictionary, in thousandths of the size; file is the font program's
// object, 0 when there is none.
QByteArray Descriptor(const TRLPdfFont& font, const QByteArray& name, int file) {
    const QByteArray head = font.Table("head");
    const QByteArray hhea = font.Table("hhea");
    const QByteArray os2 = font.Table("OS/2");
    const QByteArray post = font.Table("post");
    const double scale = 1000.0 / font.UnitsPerEm;
    const auto scaled = [scale](int value) { return std::lround(value * scale); };
    QByteArray out = "<</Type/FontDescriptor/FontName/" + name + "/Flags 4/FontBBox[";
    for (const int at : {36, 38, 40, 42}) {
        AppendInt(out, scaled(S16(head, at)));
        out.append(' ');
    }
    out.append("]/ItalicAngle ");
    AppendReal(out, S16(post, 4) + U16(post, 6) / 65536.0);
    out.append("/Ascent ");
    AppendInt(out, scaled(S16(hhea, 4)));
    out.append("/Descent ");
    AppendInt(out, scaled(S16(hhea, 6)));
    out.append("/CapHeight ");
    AppendInt(out, scaled(U16(os2, 0) >= 2 ? S16(os2, 88) : S16(hhea, 4)));
    out.append("/StemV 80");
    if (file != 0) {
        out.append(font.Outlines == TRLOutlines::Cff ? "/FontFile3 " : "/FontFile2 ");
        AppendReference(out, file);
    }
    out.append(">>\nendobj\n");
    return out;
}

// The map from the glyphs shown back to the characters they stood for, so that readers can
// search and copy the texts.
QByteArray ToUnicodeMap(const TRLPdfFont& font, const std::vector<quint32>& glyphs) {
    QByteArray cmap = "/CIDInit/ProcSet findresource begin 12 dict begin begincmap\n"
                      "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
                      "/CMapName/Adobe-Identity-UCS def/CMapType 2 def\n"
                      "1 begincodespacerange <0000><FFFF> endcodespacerange\n";
    std::vector<quint32> mapped;
    for (const quint32 glyph : glyphs) {
        if (font.Characters[glyph] != 0) {
            mapped.push_back(glyph);
        }
    }
    for (size_t i = 0; i < mapped.size(); i += 100) {
        const size_t end = std::min(mapped.size(), i + 100);
        AppendInt(cmap, static_cast<long long>(end - i));
        cmap.append(" beginbfchar\n");
        for (size_t j = i; j < end; ++j) {
            cmap.append(QStringLiteral("<%1><%2>\n")
                            .arg(mapped[j], 4, 16, QChar(u'0'))
                            .arg(font.Characters[mapped[j]], 4, 16, QChar(u'0'))
                            .toLatin1());
        }
        cmap.append("endbfchar\n");
    }
    cmap.append("endcmap CMapName currentdict/CMap defineresource pop end end\n");
    return cmap;
}

// The widths of the glyphs used at a size, each run of consecutive glyphs as one entry.
void AppendWidths(QByteArray& out, const TRLPdfFont& font, const std::vector<quint32>& glyphs,
                  int pixelSize) {
    for (size_t i = 0; i < glyphs.size();) {
        size_t next = i;
        AppendInt(out, glyphs[i]);
        out.append('[');
        while (next < glyphs.size() && glyphs[next] == glyphs[i] + (next - i)) {
            AppendReal(out, font.Width(glyphs[next], pixelSize));
            out.append(' ');
            ++next;
        }
        out.append(']');
        i = next;
    }
}

} // namespace

const TRLPdfFont* TRLPdfDocument::FontOf(const QRawFont& given, int& index) {
    const QByteArray head = given.fontTable("head");
    const QByteArray key = given.familyName().toUtf8() + '\n' + given.styleName().toUtf8() + '\n' +
                           QByteArray::number(given.weight()) + '\n' +
                           QByteArray::number(int(given.style())) + '\n' + head;
    const std::lock_guard lock(mutex_);
    index = fontIndex_.value(key, -2);
    if (index == -2) {
        index = -1;
        if (std::optional<TRLPdfFont> read = ReadFont(given, head)) {
            TRLPdfFont& font = fonts_.emplace_back(std::move(*read));
            index = static_cast<int>(fonts_.size()) - 1;
            font.Resource = StableResourceName("/F", Digest({key}), fontResources_);
        }
        fontIndex_.insert(key, index);
    }
    return index >= 0 ? &fonts_[static_cast<size_t>(index)] : nullptr;
}

void TRLPdfDocument::WriteFont(const TRLPdfFont& font, QByteArray& resources) {
    const std::vector<quint32> glyphs = GlyphsIn(font.Used);
    const QByteArray name = SubsetName(font, glyphs);
    const QByteArray program =
        SubsetFont([&font](QByteArrayView tag) { return font.Table(tag); }, glyphs);
    const bool cff = font.Outlines == TRLOutlines::Cff;

    const int file = program.isEmpty() ? 0 : NewObject();
    const int descriptor = NewObject();
    const int toUnicode = NewObject();

    if (file != 0) {
        // CFF outlines go as the whole OpenType font, which also brings their metrics.
        QByteArray dictionary = cff ? QByteArray("/Subtype/OpenType") : QByteArray("/Length1 ");
        if (!cff) {
            AppendInt(dictionary, program.size());
        }
        WriteStream(file, dictionary, program, kResourceCompression);
        usesOpenType_ = usesOpenType_ || cff;
    }
    BeginObject(descriptor);
    Write(Descriptor(font, name, file));
    WriteStream(toUnicode, {}, ToUnicodeMap(font, glyphs), kResourceCompression);
    for (const auto& [pixelSize, usedAtSize] : font.SizesUsed) {
        WriteSizedFont(font, pixelSize, usedAtSize, name, descriptor, toUnicode, resources);
    }
}

void TRLPdfDocument::WriteSizedFont(const TRLPdfFont& font, int pixelSize,
                                    const std::vector<bool>& used, const QByteArray& name,
                                    int descriptor, int toUnicode, QByteArray& resources) {
    const bool cff = font.Outlines == TRLOutlines::Cff;
    const int cidFont = NewObject();
    BeginObject(cidFont);
    // The character codes are glyph numbers: for TrueType through the identity map, for a CFF
    // font without CIDs of its own because its glyphs are taken by CID.
    QByteArray out = QByteArray("<</Type/Font/Subtype/") + (cff ? "CIDFontType0" : "CIDFontType2") +
                     "/BaseFont/" + name +
                     "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                     "/FontDescriptor ";
    AppendInt(out, descriptor);
    out.append(cff ? " 0 R/DW 1000/W[" : " 0 R/CIDToGIDMap/Identity/DW 1000/W[");
    AppendWidths(out, font, GlyphsIn(used), pixelSize);
    out.append("]>>\nendobj\n");
    Write(out);

    const int type0 = NewObject();
    out.clear();
    BeginObject(type0);
    out.append("<</Type/Font/Subtype/Type0/BaseFont/" + name +
               "/Encoding/Identity-H/DescendantFonts[");
    AppendReference(out, cidFont);
    out.append("]/ToUnicode ");
    AppendReference(out, toUnicode);
    out.append(">>\nendobj\n");
    Write(out);
    resources.append(font.ResourceAt(pixelSize) + ' ');
    AppendReference(resources, type0);
}

} // namespace Kelmora
