#include <kelmora/support/RLTextMetrics.h>

#include <kelmora/support/RLUtils.h>

#include <QFontMetrics>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace Kelmora {

int RLFontPixelSize(int pointSize, int pixelsPerInch) {
    // MulDiv semantics: the product divided with rounding half away from zero. A page-store file
    // may hold any int for either, so the arithmetic is wide enough for the extremes (the
    // smallest int has no absolute value as an int) and the result stops at the int range.
    const long long product =
        std::llabs(static_cast<long long>(pointSize)) * static_cast<long long>(pixelsPerInch);
    const long long pixels = (product * 2 + 72) / 144;
    return static_cast<int>(std::clamp<long long>(pixels, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

namespace {

// The fonts made last on this thread. Measuring asks for the same few fonts over and over (three
// times for every label printed), and making a QFont from a family name costs far more than
// copying one, which only shares it. Kept per thread, so that no font made here is shared with
// a measurement running on another thread.
class MadeFonts {
public:
    template <typename Make>
    QFont Find(const QString& name, int pixelSize, unsigned styles, Make make) {
        for (const Made& made : fonts_)
            if (made.PixelSize == pixelSize && made.Styles == styles && made.Name == name)
                return made.Font;
        Made made{name, pixelSize, styles, make()};
        if (fonts_.size() < kKept) {
            fonts_.push_back(std::move(made));
            return fonts_.back().Font;
        }
        // A report uses a handful of fonts; beyond that the oldest goes.
        fonts_[next_] = std::move(made);
        const QFont& font = fonts_[next_].Font;
        next_ = (next_ + 1) % kKept;
        return font;
    }

private:
    struct Made {
        QString Name;
        int PixelSize;
        unsigned Styles;
        QFont Font;
    };
    static constexpr std::size_t kKept = 8;
    std::vector<Made> fonts_;
    std::size_t next_ = 0;
};

} // namespace

QFont RLMakeFont(const QString& name, int pointSize, bool bold, bool italic, bool underline,
                 bool strikeOut, int pixelsPerInch) {
    thread_local MadeFonts made;
    const int pixelSize = std::max(1, RLFontPixelSize(pointSize, pixelsPerInch));
    const unsigned styles =
        (bold ? 1U : 0U) | (italic ? 2U : 0U) | (underline ? 4U : 0U) | (strikeOut ? 8U : 0U);
    return made.Find(name, pixelSize, styles, [&] {
        QFont font(name);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strikeOut);
        font.setKerning(false);
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    });
}

int RLTextWidth(const QFont& font, const QString& text) {
    return TextWidthOf(font, text);
}

int RLTextHeight(const QFont& font) {
    return TextHeightOf(font);
}

TRLFontMeasure::TRLFontMeasure(const QFont& font) : advances_(FontAdvancesOf(font)) {}

int TRLFontMeasure::TextWidth(const QString& text) const {
    return advances_ == nullptr || text.isEmpty() ? 0 : TextWidthIn(*advances_, text);
}

int TRLFontMeasure::SpaceWidth() const {
    if (spaceWidth_ < 0)
        spaceWidth_ = TextWidth(QStringLiteral(" "));
    return spaceWidth_;
}

int TRLFontMeasure::TextHeight() const {
    return advances_ == nullptr ? 0 : TextHeightIn(*advances_);
}

int RLFontAscent(const QFont& font) {
    // Fonts are made in pixels, so the canvas's resolution leaves the ascent as it is.
    return FontAscentOf(font);
}

} // namespace Kelmora
