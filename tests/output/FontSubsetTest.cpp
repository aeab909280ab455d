#include "RLFontSubset.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QPainterPath>
#include <QRawFont>
#include <QtEndian>

#include <map>
#include <string>

using namespace Kelmora;

namespace {

// Fonts of the machine: TrueType ones (DejaVu's accented letters are composites, some built of
// composites) and OpenType ones with CFF outlines. A test skips when its font is not installed.
const char* const SansTtf = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
const char* const CompositeTtf = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const MonoOtf = "/usr/share/fonts/opentype/urw-base35/NimbusMonoPS-Regular.otf";
const char* const BookmanOtf = "/usr/share/fonts/opentype/urw-base35/URWBookman-Light.otf";

quint32 Get(const QByteArray& data, qsizetype at, int bytes) {
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    return bytes == 2 ? qFromBigEndian<quint16>(p) : qFromBigEndian<quint32>(p);
}

// The tags of a font file's tables, and its first four bytes.
QList<QByteArray> TableTags(const QByteArray& font) {
    QList<QByteArray> tags;
    const quint32 count = font.size() < 12 ? 0 : Get(font, 4, 2);
    for (quint32 i = 0; i < count && 12 + 16 * (i + 1) <= quint32(font.size()); ++i)
        tags << font.mid(12 + 16 * i, 4);
    return tags;
}

struct TSubsetCase {
    const char* File;
    TRLOutlines Outlines;
    QByteArray Version;
    QByteArray OutlineTable;
};

class FontSubsetRoundTrip : public testing::TestWithParam<TSubsetCase> {};

// "ǻ" is a composite of a composite in some of these fonts: its outline needs the components of
// its components. Glyph numbers past the end, and repeats, are ignored. Greek and Polish letters
// keep their outlines as well as the Spanish ones.
TEST_P(FontSubsetRoundTrip, KeepsTheUsedGlyphsUnderTheirNumbersAndEmptiesTheOthers) {
    const TSubsetCase& c = GetParam();
    const QRawFont original(QString::fromLatin1(c.File), 48);
    if (!original.isValid())
        GTEST_SKIP() << c.File << " is not installed";
    ASSERT_EQ(OutlinesOf([&](QByteArrayView tag) {
                  return original.fontTable(tag.toByteArray().constData());
              }),
              c.Outlines);
    QList<quint32> used = original.glyphIndexesForString(QStringLiteral("Kelmora ñÑáÉ Ωλ źŁ"));
    used.removeAll(0u);
    const quint32 end = Get(original.fontTable("maxp"), 4, 2);
    used.append(end - 1);
    std::vector<quint32> asked(used.begin(), used.end());
    asked.insert(asked.end(), {end, 0xFFFFFFFF, used[0]});
    const QByteArray subset = SubsetFont(original, asked);
    ASSERT_FALSE(subset.isEmpty());
    EXPECT_EQ(subset.left(4), c.Version);
    EXPECT_TRUE(TableTags(subset).contains(c.OutlineTable));
    // Neither character map nor names: the PDF names glyphs by number and the font by itself.
    EXPECT_FALSE(TableTags(subset).contains("cmap"));
    EXPECT_FALSE(TableTags(subset).contains("name"));
    EXPECT_LT(subset.size(), QFile(c.File).size() * 20 / 100);

    const QRawFont copy(subset, 48);
    ASSERT_TRUE(copy.isValid());
    for (const quint32 glyph : used + QList<quint32>{0}) {
        EXPECT_EQ(copy.pathForGlyph(glyph), original.pathForGlyph(glyph)) << glyph;
        EXPECT_EQ(copy.advancesForGlyphIndexes({glyph}), original.advancesForGlyphIndexes({glyph}))
            << glyph;
    }
    for (const quint32 glyph : original.glyphIndexesForString("QXYZJ")) {
        EXPECT_FALSE(original.pathForGlyph(glyph).isEmpty());
        EXPECT_TRUE(copy.pathForGlyph(glyph).isEmpty()) << glyph;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FontSubset, FontSubsetRoundTrip,
    testing::Values(TSubsetCase{SansTtf, TRLOutlines::TrueType, QByteArray("\0\1\0\0", 4), "glyf"},
                    TSubsetCase{"/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
                                TRLOutlines::TrueType, QByteArray("\0\1\0\0", 4), "glyf"},
                    TSubsetCase{CompositeTtf, TRLOutlines::TrueType, QByteArray("\0\1\0\0", 4),
                                "glyf"},
                    TSubsetCase{MonoOtf, TRLOutlines::Cff, "OTTO", "CFF "},
                    TSubsetCase{BookmanOtf, TRLOutlines::Cff, "OTTO", "CFF "}),
    [](const testing::TestParamInfo<TSubsetCase>& info) {
        return QFileInfo(info.param.File).baseName().remove('-').toStdString();
    });

// A font the subsetter cannot use gives no program at all, never a broken one: HarfBuzz cuts
// damaged tables into files FreeType refuses.
TEST(FontSubset, GivesNothingForFontsWithoutUsableOutlines) {
    const QRawFont sans(QString::fromLatin1(SansTtf), 48);
    const QRawFont mono(QString::fromLatin1(MonoOtf), 48);
    if (!sans.isValid() || !mono.isValid())
        GTEST_SKIP() << "the Liberation or URW fonts are not installed";
    const auto without = [](const QRawFont& font, std::vector<QByteArray> dropped,
                            std::map<QByteArray, QByteArray> replaced = {}) -> TRLFontTableReader {
        return [&font, dropped, replaced](QByteArrayView tag) {
            const QByteArray name = tag.toByteArray();
            if (std::find(dropped.begin(), dropped.end(), name) != dropped.end())
                return QByteArray();
            if (const auto found = replaced.find(name); found != replaced.end())
                return found->second;
            return font.fontTable(name.constData());
        };
    };
    const std::vector<quint32> glyphs{1, 2, 3};
    struct TCase {
        std::string Name;
        TRLFontTableReader Reader;
        TRLOutlines Outlines;
    };
    const std::vector<TCase> cases{
        {"no glyf", without(sans, {"glyf"}), TRLOutlines::None},
        {"no loca", without(sans, {"loca"}), TRLOutlines::None},
        {"no CFF", without(mono, {"CFF "}), TRLOutlines::None},
        {"no maxp", without(sans, {"maxp"}), TRLOutlines::TrueType},
        {"no head", without(mono, {"head"}), TRLOutlines::Cff},
        {"CFF of noise", without(mono, {}, {{"CFF ", QByteArray(4000, '\x5A')}}), TRLOutlines::Cff},
        {"CFF cut short", without(mono, {}, {{"CFF ", mono.fontTable("CFF ").left(200)}}),
         TRLOutlines::Cff},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OutlinesOf(c.Reader), c.Outlines);
        EXPECT_EQ(SubsetFont(c.Reader, glyphs), QByteArray());
    }
    // The undamaged fonts do give a program.
    EXPECT_FALSE(SubsetFont(without(sans, {}), glyphs).isEmpty());
    EXPECT_FALSE(SubsetFont(without(mono, {}), glyphs).isEmpty());
}

} // namespace
