#include "RLFontSubset.h"

#include <QRawFont>

#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace Kelmora {

namespace {

template <typename T, void (*Destroy)(T*)> struct HbDeleter {
    void operator()(T* object) const { Destroy(object); }
};
using HbBlob = std::unique_ptr<hb_blob_t, HbDeleter<hb_blob_t, hb_blob_destroy>>;
using HbFace = std::unique_ptr<hb_face_t, HbDeleter<hb_face_t, hb_face_destroy>>;
using HbInput =
    std::unique_ptr<hb_subset_input_t, HbDeleter<hb_subset_input_t, hb_subset_input_destroy>>;

void Append16(QByteArray& data, quint32 value) {
    data.append(char(value >> 8));
    data.append(char(value));
}

void Append32(QByteArray& data, quint32 value) {
    Append16(data, value >> 16);
    Append16(data, value & 0xFFFF);
}

quint32 Checksum(const QByteArray& data) {
    quint32 sum = 0;
    for (qsizetype at = 0; at < data.size(); at += 4) {
        quint32 word = 0;
        for (qsizetype i = 0; i < 4; ++i)
            word = (word << 8) | (at + i < data.size() ? uchar(data[at + i]) : 0);
        sum += word;
    }
    return sum;
}

// A font file holding the given tables, as HarfBuzz reads fonts from whole files only. The
// subsetter ignores the checksums, but a file with wrong ones would be a lie.
QByteArray FontFile(quint32 version, const std::vector<std::pair<QByteArray, QByteArray>>& tables) {
    const quint32 count = static_cast<quint32>(tables.size());
    quint32 power = 1;
    while (power * 2 <= count)
        power *= 2;
    quint32 log = 0;
    while ((1u << (log + 1)) <= power)
        ++log;
    QByteArray out;
    Append32(out, version);
    Append16(out, count);
    Append16(out, power * 16);
    Append16(out, log);
    Append16(out, count * 16 - power * 16);
    quint32 offset = 12 + 16 * count;
    for (const auto& [tag, data] : tables) {
        out.append(tag);
        Append32(out, Checksum(data));
        Append32(out, offset);
        Append32(out, static_cast<quint32>(data.size()));
        offset += (static_cast<quint32>(data.size()) + 3) & ~3u;
    }
    for (const auto& [tag, data] : tables) {
        out.append(data);
        out.append(QByteArray((4 - data.size() % 4) % 4, '\0'));
    }
    return out;
}

} // namespace

TRLOutlines OutlinesOf(const TRLFontTableReader& table) {
    if (!table("glyf").isEmpty() && !table("loca").isEmpty())
        return TRLOutlines::TrueType;
    if (!table("CFF ").isEmpty())
        return TRLOutlines::Cff;
    return TRLOutlines::None;
}

const std::vector<QByteArray>& SubsetTableTags() {
    // Sorted as a font file's directory must be.
    static const std::vector<QByteArray> tags{"CFF ", "OS/2", "cvt ", "fpgm", "glyf", "head",
                                              "hhea", "hmtx", "loca", "maxp", "post", "prep"};
    return tags;
}

QByteArray SubsetFont(const TRLFontTableReader& table, const std::vector<quint32>& glyphs) {
    const TRLOutlines outlines = OutlinesOf(table);
    if (outlines == TRLOutlines::None)
        return {};
    std::vector<std::pair<QByteArray, QByteArray>> tables;
    for (const QByteArray& tag : SubsetTableTags()) {
        // A font with both kinds of outlines is embedded with the kind it is taken for.
        const bool otherOutlines =
            outlines == TRLOutlines::TrueType ? tag == "CFF " : tag == "glyf" || tag == "loca";
        if (otherOutlines)
            continue;
        if (QByteArray data = table(tag); !data.isEmpty())
            tables.emplace_back(tag, std::move(data));
    }
    const QByteArray file =
        FontFile(outlines == TRLOutlines::Cff ? 0x4F54544Fu /* OTTO */ : 0x00010000u, tables);

    const HbBlob blob(hb_blob_create(file.constData(), static_cast<unsigned>(file.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr));
    const HbFace face(hb_face_create(blob.get(), 0));
    const HbInput input(hb_subset_input_create_or_fail());
    if (!input)
        return {};
    // Glyph numbers as the pages named them; glyph 0 keeps its outline, as viewers show it for
    // anything missing.
    hb_subset_input_set_flags(input.get(),
                              HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NOTDEF_OUTLINE);
    hb_set_t* keep = hb_subset_input_glyph_set(input.get());
    const unsigned glyphCount = hb_face_get_glyph_count(face.get());
    for (const quint32 glyph : glyphs)
        if (glyph < glyphCount)
            hb_set_add(keep, glyph);
    const HbFace subset(hb_subset_or_fail(face.get(), input.get()));
    if (!subset)
        return {};
    const HbBlob result(hb_face_reference_blob(subset.get()));
    unsigned length = 0;
    const char* data = hb_blob_get_data(result.get(), &length);
    if (data == nullptr || length == 0)
        return {};
    // The subsetter cuts whatever it is given; what it makes of damaged tables need not be a font.
    QByteArray program(data, static_cast<qsizetype>(length));
    if (!QRawFont(program, 12).isValid())
        return {};
    return program;
}

QByteArray SubsetFont(const QRawFont& font, const std::vector<quint32>& glyphs) {
    return SubsetFont(
        [&font](QByteArrayView tag) { return font.fontTable(tag.toByteArray().constData()); },
        glyphs);
}

} // namespace Kelmora
