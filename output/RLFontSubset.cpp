#include "RLFontSubset.h"

#include <QRawFont>

QByteArray SubsetTrueTypeFont(const TRLFontTableReader& /*table*/,
                              const std::vector<quint32>& /*glyphs*/) {
    return {};
}

QByteArray SubsetTrueTypeFont(const QRawFont& font, const std::vector<quint32>& glyphs) {
    return SubsetTrueTypeFont(
        [&font](QByteArrayView tag) { return font.fontTable(tag.toByteArray().constData()); },
        glyphs);
}
