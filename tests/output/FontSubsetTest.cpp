#include "RLFontSubset.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QPainterPath>
#include <QRawFont>
#include <QtEndian>

#include <functional>
#include <map>
#include <numeric>
#include <string>

namespace {

// Fonts of the machine: a plain one, one whose accented letters are composite glyphs (some built
// of composites), one with CFF outlines. A test skips when its font is not installed.
const char* const SansTtf = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
const char* const CompositeTtf = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const CffOtf = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";

quint32 Get(const QByteArray& data, qsizetype at, int bytes) {
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    return bytes == 2 ? qFromBigEndian<quint16>(p) : qFromBigEndian<quint32>(p);
}

void Put(QByteArray& data, qsizetype at, int bytes, quint32 value) {
    auto* p = reinterpret_cast<uchar*>(data.data()) + at;
    bytes == 2 ? qToBigEndian(quint16(value), p) : qToBigEndian(value, p);
}

// The tables of a font file, to be damaged by a test and read by the subsetter.
struct TFontTables {
    QRawFont Font;
    std::map<QByteArray, QByteArray> Tables;

    explicit TFontTables(const char* path) : Font(QString::fromLatin1(path), 48) {
        for (const char* tag : {"head", "maxp", "hhea", "hmtx", "loca", "glyf", "cvt ", "fpgm",
                                "prep", "OS/2", "cmap", "CFF "})
            if (const QByteArray data = Font.fontTable(tag); !data.isEmpty())
                Tables[tag] = data;
    }
    TRLFontTableReader Reader() const {
        return [this](QByteArrayView tag) {
            const auto found = Tables.find(tag.toByteArray());
            return found == Tables.end() ? QByteArray() : found->second;
        };
    }
    int LocaBytes() const { return Get(Tables.at("head"), 50, 2) == 1 ? 4 : 2; }
    quint32 NumGlyphs() const { return Get(Tables.at("maxp"), 4, 2); }
    quint32 Loca(quint32 glyph) const {
        return Get(Tables.at("loca"), glyph * LocaBytes(), LocaBytes()) * (6 - LocaBytes()) / 2;
    }
    void SetLoca(quint32 glyph, quint32 offset) {
        Put(Tables["loca"], glyph * LocaBytes(), LocaBytes(), offset * 2 / (6 - LocaBytes()));
    }
    bool IsComposite(quint32 glyph) const {
        return Loca(glyph + 1) - Loca(glyph) >= 10 &&
               qint16(Get(Tables.at("glyf"), Loca(glyph), 2)) < 0;
    }
    void SetFirstComponent(quint32 glyph, quint32 component) {
        Put(Tables["glyf"], Loca(glyph) + 12, 2, component);
    }
    std::vector<quint32> Composites() const {
        std::vector<quint32> found;
        for (quint32 glyph = 0; glyph < NumGlyphs(); ++glyph)
            if (IsComposite(glyph))
                found.push_back(glyph);
        return found;
    }
    std::vector<quint32> All() const {
        std::vector<quint32> glyphs(NumGlyphs());
        std::iota(glyphs.begin(), glyphs.end(), 0u);
        return glyphs;
    }
    quint32 Glyph(QChar c) const { return Font.glyphIndexesForString(QString(c))[0]; }
};

quint32 Checksum(QByteArray data) {
    data.append(QByteArray((4 - data.size() % 4) % 4, '\0'));
    quint32 sum = 0;
    for (qsizetype at = 0; at < data.size(); at += 4)
        sum += Get(data, at, 4);
    return sum;
}

// What keeps `font` from being a well-formed font file with long loca offsets and glyphs on 4-byte
// boundaries, empty when nothing does; `tables` gets its tables.
std::string SfntProblem(const QByteArray& font,
                        std::map<QByteArray, QByteArray>* tables = nullptr) {
    const quint32 count = font.size() < 12 ? 0 : Get(font, 4, 2);
    if (count == 0 || Get(font, 0, 4) != 0x00010000)
        return "no TrueType header or tables";
    const quint32 power = 1u << (31 - qCountLeadingZeroBits(count));
    if (Get(font, 6, 2) != power * 16 ||
        Get(font, 8, 2) != quint32(qCountTrailingZeroBits(power)) ||
        Get(font, 10, 2) != (count - power) * 16 || font.size() < 12 + 16 * count)
        return "wrong directory header";
    std::map<QByteArray, QByteArray> found;
    for (quint32 i = 0; i < count; ++i) {
        const QByteArray tag = font.mid(12 + 16 * i, 4);
        const quint32 offset = Get(font, 12 + 16 * i + 8, 4), size = Get(font, 12 + 16 * i + 12, 4);
        if (i > 0 && tag <= font.mid(12 + 16 * (i - 1), 4))
            return "directory not sorted at " + tag.toStdString();
        if (offset % 4 != 0 || offset > quint32(font.size()) || size > font.size() - offset)
            return "misplaced " + tag.toStdString();
        QByteArray data = font.mid(offset, size);
        if (tag == "head" && data.size() >= 12)
            Put(data, 8, 4, 0);
        if (Checksum(data) != Get(font, 12 + 16 * i + 4, 4))
            return "wrong checksum of " + tag.toStdString();
        found[tag] = data;
    }
    if (Checksum(font) != 0xB1B0AFBA)
        return "wrong checksum of the whole font";
    const QByteArray &loca = found["loca"], &glyf = found["glyf"];
    if (found["head"].size() < 54 || Get(found["head"], 50, 2) != 1 || found["maxp"].size() < 6 ||
        loca.size() != (Get(found["maxp"], 4, 2) + 1) * 4)
        return "no long loca for every glyph";
    for (qsizetype at = 0; at < loca.size(); at += 4)
        if (Get(loca, at, 4) % 4 != 0 || (at > 0 && Get(loca, at, 4) < Get(loca, at - 4, 4)))
            return "glyph misplaced at loca byte " + std::to_string(at);
    if (Get(loca, loca.size() - 4, 4) != quint32(glyf.size()))
        return "loca does not end with glyf";
    if (tables)
        *tables = found;
    return "";
}

class FontSubsetRoundTrip : public testing::TestWithParam<const char*> {};

// "ǻ" is a composite of a composite in some of these fonts: its outline needs the components of
// its components. Glyph numbers past the end, and repeats, are ignored.
TEST_P(FontSubsetRoundTrip, KeepsTheUsedGlyphsAndEmptiesTheOthers) {
    const QRawFont original(QString::fromLatin1(GetParam()), 48);
    if (!original.isValid())
        GTEST_SKIP() << GetParam() << " is not installed";
    // The last glyph in some of these fonts shares the advance of the last full metric, dropped.
    QList<quint32> used = original.glyphIndexesForString("Kelmora Reportǻ");
    const quint32 end = Get(original.fontTable("maxp"), 4, 2);
    used.append(end - 1);
    std::vector<quint32> asked(used.begin(), used.end());
    asked.insert(asked.end(), {end, 0xFFFFFFFF, used[0]});
    const QByteArray subset = SubsetTrueTypeFont(original, asked);
    std::map<QByteArray, QByteArray> tables;
    ASSERT_EQ(SfntProblem(subset, &tables), "");
    EXPECT_LT(subset.size(), QFile(GetParam()).size() * 15 / 100);
    QList<QByteArray> tags,
        expected{"OS/2", "cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"};
    expected.removeIf([&](const QByteArray& tag) { return original.fontTable(tag).isEmpty(); });
    for (const auto& [tag, data] : tables)
        tags << tag;
    EXPECT_EQ(tags, expected);
    const QRawFont copy(subset, 48);
    ASSERT_TRUE(copy.isValid());
    for (const quint32 glyph : used + QList<quint32>{0}) {
        EXPECT_EQ(copy.pathForGlyph(glyph), original.pathForGlyph(glyph)) << glyph;
        EXPECT_EQ(copy.advancesForGlyphIndexes({glyph}), original.advancesForGlyphIndexes({glyph}));
    }
    // Dropped glyphs have zero metrics, to compress well.
    for (const quint32 glyph : original.glyphIndexesForString("QXYZJ")) {
        EXPECT_FALSE(original.pathForGlyph(glyph).isEmpty());
        EXPECT_TRUE(copy.pathForGlyph(glyph).isEmpty()) << glyph;
        EXPECT_EQ(Get(tables["hmtx"], glyph * 4, 4), 0u) << glyph;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FontSubset, FontSubsetRoundTrip,
    testing::Values(SansTtf, "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
                    CompositeTtf, "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"),
    [](const testing::TestParamInfo<const char*>& info) {
        return QFileInfo(info.param).baseName().remove('-').toStdString();
    });

// Each kind of component record, the matrix one first: a record read at a wrong length would have
// the next one read from the middle of its matrix.
TEST(FontSubset, FollowsEveryKindOfComponentRecord) {
    TFontTables font(CompositeTtf);
    if (!font.Font.isValid())
        GTEST_SKIP() << CompositeTtf << " is not installed";
    const quint32 x = font.Glyph(u'x'), y = font.Glyph(u'y'), z = font.Glyph(u'z'),
                  w = font.Glyph(u'w'), last = font.NumGlyphs() - 1;
    // Header; 2x2 matrix with more; x and y scales, word arguments, more; one scale, more; last.
    const QByteArray composite = QByteArray::fromHex(
        QString::asprintf(
            "ffff 0000 0000 0000 0000  00a2 %04x 0000 4000 0000 0000 4000"
            "  0063 %04x 0000 0000 4000 4000  002a %04x 0000 4000  0003 %04x 0000 0000",
            x, y, z, w)
            .toLatin1());
    font.SetLoca(last, font.Tables["glyf"].size());
    font.Tables["glyf"].append(composite);
    font.SetLoca(last + 1, font.Tables["glyf"].size());

    const QByteArray subset = SubsetTrueTypeFont(font.Reader(), {last});
    ASSERT_EQ(SfntProblem(subset), "");
    const QRawFont copy(subset, 48);
    for (const quint32 glyph : {last, x, y, z, w})
        EXPECT_FALSE(copy.pathForGlyph(glyph).isEmpty()) << glyph;
    EXPECT_TRUE(copy.pathForGlyph(font.Glyph(u'v')).isEmpty());
}

struct TDamage {
    std::string Name;
    const char* File;
    std::function<void(TFontTables&)> Apply;
    // The one glyph to ask for, chosen before the damage; all glyphs when not given.
    std::function<quint32(const TFontTables&)> Only = nullptr;
    bool Usable = false; // the damage is of no consequence for the glyphs asked for
};

TEST(FontSubsetDamaged, GivesNothingWhenWhatItKeepsContradicts) {
    for (const char* file : {SansTtf, CompositeTtf}) {
        const TFontTables font(file);
        if (!font.Font.isValid())
            GTEST_SKIP() << file << " is not installed";
        ASSERT_EQ(SfntProblem(SubsetTrueTypeFont(font.Reader(), font.All())), "") << file;
    }
    using F = TFontTables&;
    const auto firstComposite = [](const TFontTables& f) { return f.Composites()[0]; };
    std::vector<TDamage> cases{
        {"loca cut short", SansTtf, [](F f) { f.Tables["loca"].chop(2); }},
        {"loca past glyf", CompositeTtf,
         [](F f) { f.SetLoca(f.NumGlyphs(), f.Tables["glyf"].size() + 4); }},
        {"loca descending", SansTtf, [](F f) { f.SetLoca(40, f.Loca(41) + 4); }},
        {"fewer glyphs than loca", CompositeTtf,
         [](F f) { Put(f.Tables["maxp"], 4, 2, f.NumGlyphs() - 2); }},
        {"no glyphs", SansTtf, [](F f) { Put(f.Tables["maxp"], 4, 2, 0); }},
        {"unknown loca format", SansTtf, [](F f) { Put(f.Tables["head"], 50, 2, 2); }},
        {"head cut short", SansTtf, [](F f) { f.Tables["head"].chop(1); }},
        {"hmtx cut short", CompositeTtf, [](F f) { f.Tables["hmtx"].chop(2); }},
        {"more metrics than glyphs", SansTtf,
         [](F f) { Put(f.Tables["hhea"], 34, 2, f.NumGlyphs() + 1); }},
        {"glyph of a length not a multiple of 4", SansTtf,
         [](F f) { f.SetLoca(f.Glyph(u'a') + 1, f.Loca(f.Glyph(u'a') + 1) - 2); },
         [](const TFontTables& f) { return f.Glyph(u'a'); }, true},
        {"glyph shorter than its header", SansTtf,
         [](F f) { f.SetLoca(f.Glyph(u'a') + 1, f.Loca(f.Glyph(u'a')) + 8); },
         [](const TFontTables& f) { return f.Glyph(u'a'); }},
        {"composite record cut short", CompositeTtf,
         [](F f) { f.SetLoca(f.Composites()[0] + 1, f.Loca(f.Composites()[0]) + 14); },
         firstComposite},
        {"composite of a glyph past the end", SansTtf,
         [](F f) { f.SetFirstComponent(f.Composites()[0], f.NumGlyphs()); }},
        {"composites of each other", CompositeTtf,
         [](F f) {
             const std::vector<quint32> composites = f.Composites();
             f.SetFirstComponent(composites[0], composites[9]);
             f.SetFirstComponent(composites[9], composites[0]);
         },
         [](const TFontTables& f) { return f.Composites()[9]; }},
        {"a real CFF font", CffOtf, [](F) {}},
        {"cycle in a dropped glyph", CompositeTtf,
         [](F f) { f.SetFirstComponent(f.Composites()[0], f.Composites()[0]); },
         [](const TFontTables& f) { return f.Glyph(u'a'); }, true},
    };
    for (const char* tag : {"head", "maxp", "hhea", "hmtx", "loca", "glyf"})
        cases.push_back({std::string("no ") + tag, SansTtf, [tag](F f) { f.Tables.erase(tag); }});

    for (const TDamage& damage : cases) {
        SCOPED_TRACE(damage.Name);
        TFontTables font(damage.File);
        if (!font.Font.isValid())
            continue; // only the CFF font may be missing, the others were checked above
        const std::vector<quint32> glyphs =
            damage.Only ? std::vector<quint32>{damage.Only(font)} : font.All();
        damage.Apply(font);
        EXPECT_EQ(SfntProblem(SubsetTrueTypeFont(font.Reader(), glyphs)).empty(), damage.Usable);
    }
}

} // namespace
