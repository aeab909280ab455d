/// @file
/// Free helpers that the engine's layers share: start-up state, scratch files, text helpers,
/// rectangle and point-set geometry, and quarter-turn (or any-angle) rotation of text and images.
#pragma once

#include <kelmora/support/RLCore.h>

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>

class QFont;

namespace Kelmora {

// ---- Start-up state --------------------------------------------------------------------------

/// Sets the scratch directory, deletes a stale engine log file beside the executable and fills
/// RLMessages in the user's language. Run once, before the first window is created.
void InitEngineSupport();

/// Deletes every scratch file still registered (failures ignored) and returns the start-up state
/// to its defaults. Run once, after the last window is gone.
void FinishEngineSupport();

/// The directory that scratch files are made in: "." until InitEngineSupport has run.
QString ScratchDir();

// ---- Scratch files ---------------------------------------------------------------------------

/// A name "~frNNN.tmp" in ScratchDir that no file (nor dangling link) has at the moment of the
/// call. The file is not created.
QString ScratchFileName();

/// Registers a scratch file (or an empty scratch folder) for deletion at FinishEngineSupport, which
/// deletes the newest first.
void KeepScratchFile(const QString& fileName);

/// Forgets the first registration of a scratch file; used by owners that delete it themselves.
void DropScratchFile(const QString& fileName);

// ---- Files -----------------------------------------------------------------------------------

/// The bytes of the file at path, read whole but never past limit bytes: a larger file is refused
/// by its size before anything is read, and a pipe or device (a FIFO, /dev/zero) by reading one
/// byte more than the limit. Raises TRLException "PATH: larger than N MB" (or "N bytes" for a
/// limit below a megabyte), or "PATH: cannot be read: REASON".
QByteArray ReadFileAtMost(const QString& path, qint64 limit);

/// path itself when it is absolute (a ":/" resource counts as absolute) or folder is empty,
/// otherwise path in folder: how a layout names its pictures and records files.
QString PathInFolder(const QString& path, const QString& folder);

// ---- Text helpers ----------------------------------------------------------------------------

/// Decodes a bitmap file image written as hexadecimal text (two digits a byte, high digit first,
/// a trailing odd digit ignored). Throws TRLException when the bytes are not a bitmap file.
QImage BitmapFromHexText(const QString& text);

/// The index-th field, counting from 1, of text split at every delimiter; empty when the text
/// has fewer fields.
QString FieldOf(const QString& text, int index, QChar delimiter);

/// "pdf" -> ".pdf"; an empty extension or one that already has its dot is returned unchanged.
QString WithLeadingDot(const QString& extension);

/// The name for a new component: the class name without its leading "T", followed by one more
/// than the largest number that follows that prefix among the names of its siblings.
QString NextComponentName(const QString& className, const QStringList& siblingNames);

// ---- Rectangles ------------------------------------------------------------------------------
// A margin set is passed as a rectangle whose fields are the left, top, right and bottom amounts.

inline int32_t WidthOfRect(const TRLRect& r) {
    return r.Right - r.Left;
}
inline int32_t HeightOfRect(const TRLRect& r) {
    return r.Bottom - r.Top;
}

inline TRLRect PlaceRect(const TRLRect& r, int32_t x, int32_t y) {
    return {x, y, x + WidthOfRect(r), y + HeightOfRect(r)};
}

inline TRLRect ShrinkRect(const TRLRect& r, const TRLRect& m) {
    return {r.Left + m.Left, r.Top + m.Top, r.Right - m.Right, r.Bottom - m.Bottom};
}

/// The largest rectangle with the proportions of source that fits in target, at target's
/// left-top corner or centred in it. A source without area gives an empty rectangle there.
TRLRect FitRectKeepAspect(const TRLRect& source, const TRLRect& target, bool centre);

// ---- Point sets ------------------------------------------------------------------------------

/// Smallest and largest coordinates of the points; Right and Bottom are the largest coordinates
/// themselves, not one past them. All zero for no points.
TRLRect BoundsOfPoints(const TRLPointArray& points);

/// Width and height of BoundsOfPoints.
TRLSize SizeOfPoints(const TRLPointArray& points);

/// Rotates the points about their (rounded) mean by angle degrees; with y pointing down a
/// positive angle turns them counter-clockwise on the screen.
TRLPointArray TurnPoints(TRLPointArray points, double angle);

/// Moves the points so that their bounds sit centred in r (integer halves truncate).
TRLPointArray CentrePointsIn(TRLPointArray points, const TRLRect& r);

// ---- Rotated text and images -----------------------------------------------------------------

/// Width of text in font on a 96-per-inch canvas: the sum of the characters' advances, without
/// kerning. Advances are cached per font, since shaping whole strings is far too slow for
/// measuring every label and word. Safe to call from any thread.
int32_t TextWidthOf(const QFont& font, const QString& text);

/// The cached advances of one font, for a caller that measures many texts in it: asking for them
/// once saves finding the font again for every text.
struct TRLFontAdvances;
std::shared_ptr<TRLFontAdvances> FontAdvancesOf(const QFont& font);
/// TextWidthOf and TextHeightOf for the font whose advances these are.
int32_t TextWidthIn(TRLFontAdvances& advances, const QString& text);
int32_t TextHeightIn(const TRLFontAdvances& advances);

/// Line height of font on a 96-per-inch canvas (ascent plus descent).
int32_t TextHeightOf(const QFont& font);
/// Ascent of font on a 96-per-inch canvas; both are cached with its advances.
int32_t FontAscentOf(const QFont& font);

/// A 32-bit copy of bitmap turned by angle degrees about its centre (positive turns
/// counter-clockwise). Each target pixel takes the source pixel that the inverse turn lands on;
/// pixels that land outside the source take the colour of its top-left pixel. A null bitmap
/// gives a null bitmap.
QImage TurnedBitmap(const QImage& bitmap, double angle);

} // namespace Kelmora
