/// @file
/// The platform-level pen, brush and font values that report controls set and that a canvas
/// draws with. The page store records them in its own byte-sized form (RLMetaTypes.h).
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

namespace Kelmora {

/// Raster operations of a pen, in the order the stored pen mode counts them.
enum class TRLPenMode : uint8_t {
    Black,
    White,
    Nop,
    Not,
    Copy,
    NotCopy,
    MergePenNot,
    MaskPenNot,
    MergeNotPen,
    MaskNotPen,
    Merge,
    NotMerge,
    Mask,
    NotMask,
    Xor,
    NotXor
};

enum class TRLPenStyle : uint8_t { Solid, Dash, Dot, DashDot, DashDotDot, Clear, InsideFrame };

enum class TRLBrushStyle : uint8_t {
    Solid,
    Clear,
    Horizontal,
    Vertical,
    FDiagonal,
    BDiagonal,
    Cross,
    DiagCross
};

enum class TRLFontPitch : uint8_t { Default, Variable, Fixed };

/// Font style bits; the same bit positions are stored in page records.
enum TRLFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TRLFontStyles = uint8_t;

struct TRLPen {
    QColor Color = Qt::black;
    TRLPenMode Mode = TRLPenMode::Copy;
    TRLPenStyle Style = TRLPenStyle::Solid;
    int32_t Width = 1;
    bool operator==(const TRLPen&) const = default;
};

struct TRLBrush {
    QColor Color = Qt::white;
    TRLBrushStyle Style = TRLBrushStyle::Solid;
    bool operator==(const TRLBrush&) const = default;
};

/// A font as report controls describe it: a name and a size in points, made for a device of
/// PixelsPerInch. Height is the platform's cell height (negative: character height in pixels),
/// kept only because page records carry it.
struct TRLFont {
    QString Name = QStringLiteral("Arial");
    int32_t Size = 10;
    TRLFontStyles Style = 0;
    QColor Color = Qt::black;
    uint8_t Charset = 1;
    TRLFontPitch Pitch = TRLFontPitch::Default;
    int32_t PixelsPerInch = 96;

    /// Character height in pixels on a device of the font's own resolution, rounded half up as
    /// the platform computed it: 10 pt at 96 per inch is 13 pixels.
    int32_t Height() const { return -((Size * PixelsPerInch * 2 + 72) / 144); }
    bool operator==(const TRLFont&) const = default;
    /// Equal in all but the resolution the font is made for.
    bool SameFaceAs(const TRLFont& other) const {
        return Name == other.Name && Size == other.Size && Style == other.Style &&
               Color == other.Color && Charset == other.Charset && Pitch == other.Pitch;
    }
};

/// The QFont that draws or measures the font on a device of pixelsPerInch: its pixel size is
/// computed from the point size as the platform did it, so that layouts measure the same
/// everywhere.
QFont ToQFont(const TRLFont& font, int pixelsPerInch);

} // namespace Kelmora
