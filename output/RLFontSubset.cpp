#include "RLFontSubset.h"

#include <QRawFont>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Big-endian fields of a font table. The readers do not check their bounds; each read comes after
// a check of the table's size, as the tables come from font files of unknown origin and a damaged
// one must give an empty subset, never a read past the end.
bool InRange(const QByteArray& data, qint64 offset, qint64 size) {
    return offset >= 0 && size >= 0 && offset <= data.size() && size <= data.size() - offset;
}

quint16 Read16(const QByteArray& data, qint64 offset) {
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + offset;
    return quint16((p[0] << 8) | p[1]);
}

quint32 Read32(const QByteArray& data, qint64 offset) {
    return (quint32(Read16(data, offset)) << 16) | Read16(data, offset + 2);
}

void Write16(QByteArray& data, qint64 offset, quint16 value) {
    data[offset] = char(value >> 8);
    data[offset + 1] = char(value);
}

void Write32(QByteArray& data, qint64 offset, quint32 value) {
    Write16(data, offset, quint16(value >> 16));
    Write16(data, offset + 2, quint16(value));
}

void Append16(QByteArray& data, quint16 value) {
    data.append(char(value >> 8));
    data.append(char(value));
}

void Append32(QByteArray& data, quint32 value) {
    Append16(data, quint16(value >> 16));
    Append16(data, quint16(value));
}

void PadTo4(QByteArray& data) {
    while (data.size() % 4 != 0)
        data.append('\0');
}

// The sum of a table as big-endian 32-bit words, the missing bytes of its last word taken as 0.
quint32 TableChecksum(const QByteArray& data) {
    quint32 sum = 0;
    const qint64 whole = data.size() / 4 * 4;
    for (qint64 at = 0; at < whole; at += 4)
        sum += Read32(data, at);
    quint32 last = 0;
    for (qint64 at = whole; at < data.size(); ++at)
        last |= quint32(uchar(data[at])) << (24 - 8 * (at - whole));
    return sum + last;
}

// Places of the fields this file reads or changes.
constexpr qint64 HeadChecksumAdjustment = 8;
constexpr qint64 HeadIndexToLocFormat = 50;
constexpr qint64 HeadSize = 54;
constexpr qint64 MaxpNumGlyphs = 4;
constexpr qint64 MaxpMinSize = 6;
constexpr qint64 HheaNumberOfHMetrics = 34;
constexpr qint64 HheaSize = 36;
constexpr qint64 GlyphHeaderSize = 10; // contour count and bounding box

// Flags of a component record of a composite glyph.
constexpr quint16 ArgsAreWords = 0x0001;
constexpr quint16 HasScale = 0x0008;
constexpr quint16 MoreComponents = 0x0020;
constexpr quint16 HasXAndYScale = 0x0040;
constexpr quint16 HasTwoByTwo = 0x0080;

constexpr quint32 WholeFontChecksum = 0xB1B0AFBA;

// The glyph outlines as the loca table places them in the glyf table.
struct TGlyphs {
    const QByteArray& Glyf;
    std::vector<quint32> Offsets; // numGlyphs + 1, ascending, the last within Glyf

    qsizetype Count() const { return qsizetype(Offsets.size()) - 1; }
    quint32 Start(qsizetype glyph) const { return Offsets[glyph]; }
    quint32 Size(qsizetype glyph) const { return Offsets[glyph + 1] - Offsets[glyph]; }
};

// Offsets of the loca table, or none when they contradict the glyph count or the glyf table. A
// loca table may carry up to 3 bytes of padding after the last entry; more than that means the
// glyph count in maxp is not the one the loca table was written for.
std::vector<quint32> ReadLoca(const QByteArray& loca, bool longOffsets, qsizetype numGlyphs,
                              qsizetype glyfSize) {
    const qint64 entrySize = longOffsets ? 4 : 2;
    const qint64 needed = (qint64(numGlyphs) + 1) * entrySize;
    if (loca.size() < needed || loca.size() > needed + 3)
        return {};
    std::vector<quint32> offsets(size_t(numGlyphs) + 1);
    for (qsizetype i = 0; i <= numGlyphs; ++i) {
        offsets[i] =
            longOffsets ? Read32(loca, i * entrySize) : quint32(Read16(loca, i * entrySize)) * 2;
        if ((i > 0 && offsets[i] < offsets[i - 1]) || offsets[i] > quint64(glyfSize))
            return {};
    }
    return offsets;
}

constexpr int NoMoreComponents = -1;
constexpr int RecordCutShort = -2;

// Walks the component records of a composite glyph. `next` is the byte of the glyph's data where
// the next record starts (GlyphHeaderSize for the first); it moves past the record read. Gives
// the component's glyph number, or one of the two values above.
int NextComponent(const QByteArray& glyf, quint32 start, quint32 size, qint64& next, bool& more) {
    if (!more)
        return NoMoreComponents;
    const qint64 at = qint64(start) + next;
    if (next + 4 > size)
        return RecordCutShort;
    const quint16 flags = Read16(glyf, at);
    const quint16 component = Read16(glyf, at + 2);
    qint64 length = 4 + ((flags & ArgsAreWords) ? 4 : 2);
    if (flags & HasTwoByTwo)
        length += 8;
    else if (flags & HasXAndYScale)
        length += 4;
    else if (flags & HasScale)
        length += 2;
    if (next + length > size)
        return RecordCutShort;
    next += length;
    more = (flags & MoreComponents) != 0;
    return component;
}

// Marks glyph 0, the requested glyphs and, transitively, the components of the kept composite
// glyphs. False when a kept glyph is cut short, names a glyph past the end or lies on a cycle
// (a font renderer would recurse without end on it). The walk keeps its own stack: a chain of
// thousands of nested composites in a crafted font must not exhaust the call stack.
bool MarkKeptGlyphs(const TGlyphs& glyphs, const std::vector<quint32>& requested,
                    std::vector<bool>& kept) {
    enum : quint8 { Unseen, Open, Done };
    std::vector<quint8> state(size_t(glyphs.Count()), Unseen);
    struct TFrame {
        qsizetype Glyph;
        qint64 Next;
        bool More;
    };
    std::vector<TFrame> stack;

    auto open = [&](qsizetype glyph) {
        state[glyph] = Open;
        const quint32 size = glyphs.Size(glyph);
        if (size == 0) {
            stack.push_back({glyph, 0, false});
            return true;
        }
        if (size < GlyphHeaderSize)
            return false;
        const bool composite = qint16(Read16(glyphs.Glyf, glyphs.Start(glyph))) < 0;
        stack.push_back({glyph, GlyphHeaderSize, composite});
        return true;
    };

    std::vector<quint32> roots{0};
    roots.insert(roots.end(), requested.begin(), requested.end());
    for (const quint32 root : roots) {
        if (root >= quint64(glyphs.Count()) || state[root] != Unseen)
            continue;
        if (!open(qsizetype(root)))
            return false;
        while (!stack.empty()) {
            TFrame& top = stack.back();
            const int component = NextComponent(glyphs.Glyf, glyphs.Start(top.Glyph),
                                                glyphs.Size(top.Glyph), top.Next, top.More);
            if (component == NoMoreComponents) {
                state[top.Glyph] = Done;
                kept[top.Glyph] = true;
                stack.pop_back();
            } else if (component == RecordCutShort || component >= glyphs.Count() ||
                       state[component] == Open) {
                return false;
            } else if (state[component] == Unseen && !open(component)) {
                return false;
            }
        }
    }
    return true;
}

struct TTable {
    std::array<char, 4> Tag;
    QByteArray Data;
};

// The font file of the given tables: a directory sorted by tag, each table starting on a 4-byte
// boundary, and head's checkSumAdjustment making the sum of the whole file the fixed value.
QByteArray AssembleFont(std::vector<TTable> tables) {
    std::sort(tables.begin(), tables.end(),
              [](const TTable& a, const TTable& b) { return a.Tag < b.Tag; });
    const auto count = quint16(tables.size());
    quint16 power = 1;
    quint16 log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }

    QByteArray font;
    Append32(font, 0x00010000);
    Append16(font, count);
    Append16(font, quint16(power * 16));
    Append16(font, log2);
    Append16(font, quint16(count * 16 - power * 16));
    qint64 offset = font.size() + qint64(count) * 16;
    qint64 headOffset = -1;
    for (const TTable& table : tables) {
        if (table.Tag == std::array<char, 4>{'h', 'e', 'a', 'd'})
            headOffset = offset;
        font.append(table.Tag.data(), 4);
        Append32(font, TableChecksum(table.Data));
        Append32(font, quint32(offset));
        Append32(font, quint32(table.Data.size()));
        offset += (table.Data.size() + 3) / 4 * 4;
    }
    for (const TTable& table : tables) {
        font.append(table.Data);
        PadTo4(font);
    }
    Write32(font, headOffset + HeadChecksumAdjustment, WholeFontChecksum - TableChecksum(font));
    return font;
}

std::array<char, 4> Tag(const char (&name)[5]) {
    return {name[0], name[1], name[2], name[3]};
}

} // namespace

QByteArray SubsetTrueTypeFont(const TRLFontTableReader& table, const std::vector<quint32>& glyphs) {
    QByteArray head = table("head");
    const QByteArray maxp = table("maxp");
    const QByteArray hhea = table("hhea");
    QByteArray hmtx = table("hmtx");
    const QByteArray loca = table("loca");
    const QByteArray glyf = table("glyf");
    if (head.size() < HeadSize || maxp.size() < MaxpMinSize || hhea.size() < HheaSize ||
        hmtx.isEmpty() || loca.isEmpty() || glyf.isEmpty())
        return {};

    const qint16 locaFormat = qint16(Read16(head, HeadIndexToLocFormat));
    const qsizetype numGlyphs = Read16(maxp, MaxpNumGlyphs);
    const qsizetype numberOfHMetrics = Read16(hhea, HheaNumberOfHMetrics);
    if ((locaFormat != 0 && locaFormat != 1) || numGlyphs == 0 || numberOfHMetrics == 0 ||
        numberOfHMetrics > numGlyphs)
        return {};
    // Each glyph has a metric: an advance and a left side bearing up to numberOfHMetrics, a left
    // side bearing alone after it (those glyphs share the last advance).
    const qint64 hmtxSize = qint64(numberOfHMetrics) * 4 + qint64(numGlyphs - numberOfHMetrics) * 2;
    if (!InRange(hmtx, 0, hmtxSize))
        return {};

    TGlyphs outlines{glyf, ReadLoca(loca, locaFormat == 1, numGlyphs, glyf.size())};
    if (outlines.Offsets.empty())
        return {};
    std::vector<bool> kept(size_t(numGlyphs), false);
    if (!MarkKeptGlyphs(outlines, glyphs, kept))
        return {};

    QByteArray newGlyf;
    QByteArray newLoca;
    newLoca.reserve((numGlyphs + 1) * 4);
    for (qsizetype glyph = 0; glyph < numGlyphs; ++glyph) {
        Append32(newLoca, quint32(newGlyf.size()));
        if (kept[glyph]) {
            newGlyf.append(glyf.constData() + outlines.Start(glyph), outlines.Size(glyph));
            PadTo4(newGlyf);
        }
    }
    Append32(newLoca, quint32(newGlyf.size()));

    // The metrics of dropped glyphs become zeros, which compress to almost nothing. The last full
    // entry keeps its advance: the glyphs after it take theirs from it.
    hmtx.truncate(hmtxSize);
    for (qsizetype glyph = 0; glyph < numGlyphs; ++glyph) {
        if (kept[glyph])
            continue;
        if (glyph < numberOfHMetrics) {
            if (glyph + 1 < numberOfHMetrics)
                Write16(hmtx, glyph * 4, 0);
            Write16(hmtx, glyph * 4 + 2, 0);
        } else {
            Write16(hmtx, numberOfHMetrics * 4 + (glyph - numberOfHMetrics) * 2, 0);
        }
    }

    Write32(head, HeadChecksumAdjustment, 0);
    Write16(head, HeadIndexToLocFormat, 1);

    std::vector<TTable> tables{{Tag("head"), head}, {Tag("maxp"), maxp},    {Tag("hhea"), hhea},
                               {Tag("hmtx"), hmtx}, {Tag("loca"), newLoca}, {Tag("glyf"), newGlyf}};
    // The hinting programs and the control values they read, for viewers that hint the outlines,
    // and the metrics some viewers ask of OS/2. Names, glyph names and the character map are of no
    // use to a PDF writer that shows glyphs by number.
    for (const auto& optional : {Tag("cvt "), Tag("fpgm"), Tag("prep"), Tag("OS/2")}) {
        QByteArray data = table(QByteArrayView(optional.data(), 4));
        if (!data.isEmpty())
            tables.push_back({optional, std::move(data)});
    }
    return AssembleFont(std::move(tables));
}

QByteArray SubsetTrueTypeFont(const QRawFont& font, const std::vector<quint32>& glyphs) {
    return SubsetTrueTypeFont(
        [&font](QByteArrayView tag) { return font.fontTable(tag.toByteArray().constData()); },
        glyphs);
}
