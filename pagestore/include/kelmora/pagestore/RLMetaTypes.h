/// @file
/// Page-store values: the byte-sized records of pens, brushes and fonts that every graphic object
/// carries, and their conversions from and to the platform values of RLGraphicTypes.h.
/// Enumerations are stored as the platform ordinal plus one, so that 0 is never a valid value;
/// anything out of range draws as the platform default.
#pragma once

#include <kelmora/pagestore/RLGraphicTypes.h>
#include <kelmora/support/RLCore.h>

#include <QColor>

#include <cstdint>

namespace Kelmora {

using TRLMetaPoint = TRLPoint;
using TRLMetaRect = TRLRect;
using TRLMetaPointArray = TRLPointArray;

struct TRLMetaColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;

    static TRLMetaColor FromColor(const QColor& color);
    QColor ToColor() const { return QColor(Red, Green, Blue); }
    bool operator==(const TRLMetaColor&) const = default;
};

/// Stored enumeration values (platform ordinal + 1).
using TRLMetaPenMode = uint8_t;     // 1..16, default 5 (copy)
using TRLMetaPenStyle = uint8_t;    // 1..7, default 1 (solid)
using TRLMetaBrushStyle = uint8_t;  // 1..8, default 1 (solid)
using TRLMetaFontPitch = uint8_t;   // 1..3, default 1
using TRLMetaFontStyles = uint8_t;  // bits 1 bold, 2 italic, 4 underline, 8 strike-out
using TRLMetaFontCharset = uint8_t; // passed through unchanged

/// Text alignment and layout as stored: 1 left/top, 2 right/bottom, 3 center, 4 justify.
enum TRLMetaTextAlignment : uint8_t {
    MetaTextAlignmentLeft = 1,
    MetaTextAlignmentRight = 2,
    MetaTextAlignmentCenter = 3,
    MetaTextAlignmentJustify = 4
};
enum TRLMetaTextLayout : uint8_t {
    MetaTextLayoutTop = 1,
    MetaTextLayoutBottom = 2,
    MetaTextLayoutCenter = 3,
    MetaTextLayoutJustify = 4
};

/// Text flags: no-clipping draws the text past its rectangle; keep-whole forbids a page cut
/// through the text (see TRLGraphicSurface::FindFreeRow).
using TRLMetaTextFlags = uint16_t;
constexpr TRLMetaTextFlags MetaTextFlagNoClipping = 1;
constexpr TRLMetaTextFlags MetaTextFlagKeepWhole = 4;

enum TRLMetaOrientation : int32_t { MetaOrientationPortrait = 1, MetaOrientationLandscape = 2 };

struct TRLMetaPen {
    TRLMetaColor Color;
    TRLMetaPenMode Mode = 5;
    TRLMetaPenStyle Style = 1;
    int32_t Width = 0;

    /// Scales a non-zero width, never below one pixel; a zero (hairline) width stays zero.
    void Inflate(double factor);
    void FromPen(const TRLPen& pen);
    TRLPen ToPen() const;
    bool operator==(const TRLMetaPen&) const = default;
};

struct TRLMetaBrush {
    TRLMetaColor Color;
    TRLMetaBrushStyle Style = 1;

    void FromBrush(const TRLBrush& brush);
    TRLBrush ToBrush() const;
    bool operator==(const TRLMetaBrush&) const = default;
};

/// The font name is not held here: NameIndex points into the owning page's font list, so that
/// pages with many texts store each name once.
struct TRLMetaFont {
    int32_t PixelsPerInch = 72;
    TRLMetaFontCharset Charset = 0;
    TRLMetaColor Color;
    int32_t Height = 0;
    int32_t NameIndex = 0;
    TRLMetaFontPitch Pitch = 1;
    int32_t Size = 0;
    TRLMetaFontStyles Style = 0;

    bool operator==(const TRLMetaFont&) const = default;
};

/// Conversions of stored enumeration values back to the platform; out-of-range values give the
/// platform default.
TRLPenMode MetaToPenMode(TRLMetaPenMode value);
TRLPenStyle MetaToPenStyle(TRLMetaPenStyle value);
TRLBrushStyle MetaToBrushStyle(TRLMetaBrushStyle value);
TRLFontPitch MetaToFontPitch(TRLMetaFontPitch value);

} // namespace Kelmora
