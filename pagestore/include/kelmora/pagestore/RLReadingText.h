/// @file
/// A page's texts in the order a person reads them, for those who cannot see the page: assistive
/// technology reads the preview's pages through it.
#pragma once

#include <kelmora/support/RLCore.h>

#include <QString>

#include <vector>

namespace Kelmora {

class TRLGraphicSurface;

/// The page's texts read line by line from the top, each line from left to right: texts whose
/// boxes share a line (the middle of one lies within the other's height) are joined by a space,
/// lines by a line break. Page settings in braces are put in as the page shows them; texts of
/// nothing but blanks are left out, as they show nothing.
struct TRLReadingText {
    /// One text of the page within Text: where it starts, how long it is, and its box on the page.
    struct Piece {
        qsizetype Start = 0;
        qsizetype Length = 0;
        TRLRect Bounds;
    };
    QString Text;
    std::vector<Piece> Pieces;

    /// The piece that holds the character at offset, or null for a separator or an offset out
    /// of the text.
    const Piece* PieceAt(qsizetype offset) const;
};

TRLReadingText ReadingText(const TRLGraphicSurface& page);

} // namespace Kelmora
