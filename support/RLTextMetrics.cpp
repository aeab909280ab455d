#include "RLTextMetrics.h"

#include "RLUtils.h"

#include <QFontMetrics>

#include <cstdlib>

int RLFontPixelSize(int pointSize, int pixelsPerInch) {
    // MulDiv semantics: the product divided with rounding half away from zero.
    const long long product = static_cast<long long>(std::abs(pointSize)) * pixelsPerInch;
    return static_cast<int>((product * 2 + 72) / 144);
}

QFont RLMakeFont(const QString& name, int pointSize, bool bold, bool italic, bool underline,
                 bool strikeOut, int pixelsPerInch) {
    QFont font(name);
    font.setPixelSize(std::max(1, RLFontPixelSize(pointSize, pixelsPerInch)));
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int RLTextWidth(const QFont& font, const QString& text) {
    return TextWidthOf(font, text);
}

int RLTextHeight(const QFont& font) {
    return TextHeightOf(font);
}

int RLFontAscent(const QFont& font) {
    return QFontMetrics(font).ascent();
}
