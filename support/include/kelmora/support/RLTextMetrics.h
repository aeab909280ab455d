/// @file
/// Fonts and text measurement as the layouts expect them: a font's pixel size comes from its
/// point size and the device resolution, rounded half up as the old platform did it, and a
/// text's width is the sum of its characters' advances without kerning.
#pragma once

#include <QFont>
#include <QString>

#include <memory>

namespace Kelmora {

/// A font of pointSize points for a device of pixelsPerInch: 10 pt at 96 per inch is 13 pixels.
/// A font asked for again on the same thread is a copy of the one made the first time.
QFont RLMakeFont(const QString& name, int pointSize, bool bold, bool italic, bool underline,
                 bool strikeOut, int pixelsPerInch);

/// Pixel size of a font of pointSize points on a device of pixelsPerInch.
int RLFontPixelSize(int pointSize, int pixelsPerInch);

/// Measurements of text in a font made by RLMakeFont (or any pixel-sized QFont). Thread-safe.
int RLTextWidth(const QFont& font, const QString& text);
int RLTextHeight(const QFont& font);
int RLFontAscent(const QFont& font);

struct TRLFontAdvances;

/// The measurements of one font, held: the same as RLTextWidth and RLTextHeight, without finding
/// the font among the known ones for every text. A null one measures nothing.
class TRLFontMeasure {
public:
    TRLFontMeasure() = default;
    explicit TRLFontMeasure(const QFont& font);

    bool IsNull() const { return advances_ == nullptr; }
    int TextWidth(const QString& text) const;
    /// The width of a blank, which every text is placed by: measured once.
    int SpaceWidth() const;
    int TextHeight() const;

private:
    std::shared_ptr<TRLFontAdvances> advances_;
    mutable int spaceWidth_ = -1;
};

} // namespace Kelmora
