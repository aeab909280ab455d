// The preview window's toolbar pictures: small 16-colour bitmaps kept as bitmap-file text.
#pragma once

#include <QIcon>
#include <QImage>

namespace Kelmora {

enum class TRLPreviewGlyph {
    Setup,
    First,
    Prior,
    Next,
    Last,
    ZoomDown,
    ZoomUp,
    Views,
    Edit,
    About
};

// The glyph as stored: a 16 x 16, 16-colour bitmap.
QImage PreviewGlyphBitmap(TRLPreviewGlyph glyph);

// The glyph ready for a button: every pixel of the colour at the bottom-left corner is made
// transparent, as button glyphs have always been drawn.
QIcon PreviewGlyphIcon(TRLPreviewGlyph glyph);

// Makes the colour of the bottom-left pixel transparent throughout a copy of bitmap.
QImage TransparentGlyph(const QImage& bitmap);

} // namespace Kelmora
