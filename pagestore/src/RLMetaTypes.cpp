#include <kelmora/pagestore/RLMetaTypes.h>

#include <kelmora/support/RLTextMetrics.h>

#include <algorithm>

namespace Kelmora {

TRLMetaColor TRLMetaColor::FromColor(const QColor& color) {
    // System colours are already resolved by QColor; keep only the plain RGB value.
    const QColor rgb = color.toRgb();
    return {static_cast<uint8_t>(rgb.red()), static_cast<uint8_t>(rgb.green()),
            static_cast<uint8_t>(rgb.blue())};
}

void TRLMetaPen::Inflate(double factor) {
    if (Width != 0)
        Width = std::max<int32_t>(1, RoundHalfEven(Width * factor));
}

namespace {
template <class Enum> uint8_t ToMeta(Enum value, uint8_t count, uint8_t fallback) {
    const auto ordinal = static_cast<uint8_t>(value);
    return ordinal < count ? static_cast<uint8_t>(ordinal + 1) : fallback;
}
template <class Enum> Enum FromMeta(uint8_t value, uint8_t count, Enum fallback) {
    return value >= 1 && value <= count ? static_cast<Enum>(value - 1) : fallback;
}
} // namespace

void TRLMetaPen::FromPen(const TRLPen& pen) {
    Color = TRLMetaColor::FromColor(pen.Color);
    Mode = ToMeta(pen.Mode, 16, 5);
    Style = ToMeta(pen.Style, 7, 1);
    Width = pen.Width;
}

TRLPen TRLMetaPen::ToPen() const {
    return {Color.ToColor(), MetaToPenMode(Mode), MetaToPenStyle(Style), Width};
}

void TRLMetaBrush::FromBrush(const TRLBrush& brush) {
    Color = TRLMetaColor::FromColor(brush.Color);
    Style = ToMeta(brush.Style, 8, 1);
}

TRLBrush TRLMetaBrush::ToBrush() const {
    return {Color.ToColor(), MetaToBrushStyle(Style)};
}

TRLPenMode MetaToPenMode(TRLMetaPenMode value) {
    return FromMeta(value, 16, TRLPenMode::Copy);
}
TRLPenStyle MetaToPenStyle(TRLMetaPenStyle value) {
    return FromMeta(value, 7, TRLPenStyle::Solid);
}
TRLBrushStyle MetaToBrushStyle(TRLMetaBrushStyle value) {
    return FromMeta(value, 8, TRLBrushStyle::Solid);
}
TRLFontPitch MetaToFontPitch(TRLMetaFontPitch value) {
    return FromMeta(value, 3, TRLFontPitch::Default);
}

QFont ToQFont(const TRLFont& font, int pixelsPerInch) {
    return RLMakeFont(font.Name, font.Size, font.Style & fsBold, font.Style & fsItalic,
                      font.Style & fsUnderline, font.Style & fsStrikeOut, pixelsPerInch);
}

} // namespace Kelmora
