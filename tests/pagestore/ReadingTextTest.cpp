// A page's texts in reading order, as a screen reader gets them from the preview.
#include "TestSupport.h"
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLReadingText.h>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

void Put(TRLGraphicSurface& page, const TRLRect& box, const QString& text) {
    page.TextRectEx(box, box.Left, box.Top, text, 0, 0, 0);
}

} // namespace

// A table recorded column by column (as bands with columns record it) reads row by row; a tall
// title and the small date beside it are one line; the rows below stay rows of their own.
TEST(ReadingText, ReadsRowsFromTheTopEachFromLeftToRight) {
    TRLGraphicSurface page;
    Put(page, {400, 300, 500, 320}, QStringLiteral("1.234,50"));
    Put(page, {400, 320, 500, 340}, QStringLiteral("−7,00"));
    Put(page, {10, 320, 200, 340}, QStringLiteral("Σωκράτης Παπαδόπουλος"));
    Put(page, {10, 300, 200, 320}, QStringLiteral("Íñigo Núñez"));
    Put(page, {10, 100, 300, 160}, QStringLiteral("Solicitud de viáticos"));
    Put(page, {400, 120, 500, 134}, QStringLiteral("08/12/2026"));
    // The rule's text of blanks shows nothing and says nothing.
    Put(page, {10, 200, 500, 210}, QStringLiteral("   "));

    const TRLReadingText reading = ReadingText(page);
    EXPECT_EQ(reading.Text.toStdU16String(), u"Solicitud de viáticos 08/12/2026\n"
                                             u"Íñigo Núñez 1.234,50\n"
                                             u"Σωκράτης Παπαδόπουλος −7,00");
    ASSERT_EQ(reading.Pieces.size(), 6u);
    // Every piece is the text of its box, where the reading text says it is.
    for (const TRLReadingText::Piece& piece : reading.Pieces) {
        const QString part = reading.Text.mid(piece.Start, piece.Length);
        bool found = false;
        for (const auto& object : page.Objects()) {
            const auto& text = static_cast<const TRLTextObject&>(*object);
            found = found || (text.Text == part && text.BoundsRect == piece.Bounds);
        }
        EXPECT_TRUE(found) << part.toStdString();
    }
}

// A line is measured against its first (highest) text, so that a staircase of texts, each
// overlapping the next, does not run down the page as one line.
TEST(ReadingText, AStaircaseOfTextsDoesNotBecomeOneLine) {
    TRLGraphicSurface page;
    Put(page, {0, 0, 50, 20}, QStringLiteral("a"));
    Put(page, {60, 8, 110, 28}, QStringLiteral("b"));
    Put(page, {120, 16, 170, 36}, QStringLiteral("c"));
    Put(page, {180, 24, 230, 44}, QStringLiteral("d"));
    EXPECT_EQ(ReadingText(page).Text, QStringLiteral("a b\nc d"));
}

// Page settings are put in as the page shows them, line breaks are read as one, and the piece of
// an offset is the text that holds it (none for the separators or past the end).
TEST(ReadingText, SettingsLineBreaksAndOffsets) {
    TRLGraphicSurface page;
    page.Macros().SetValue("Title", QStringLiteral("Declaración jurada"));
    Put(page, {0, 0, 100, 20}, QStringLiteral("{Title}"));
    Put(page, {0, 40, 100, 80}, QStringLiteral("Motivo:\r\nCongreso"));
    Put(page, {120, 40, 200, 60}, QStringLiteral("Ω"));

    const TRLReadingText reading = ReadingText(page);
    EXPECT_EQ(reading.Text.toStdU16String(), u"Declaración jurada\nMotivo:\nCongreso Ω");
    ASSERT_EQ(reading.Pieces.size(), 3u);
    EXPECT_EQ(reading.PieceAt(0), &reading.Pieces[0]);
    EXPECT_EQ(reading.PieceAt(17), &reading.Pieces[0]);
    EXPECT_EQ(reading.PieceAt(18), nullptr) << "the line break between the texts";
    EXPECT_EQ(reading.PieceAt(19), &reading.Pieces[1]);
    EXPECT_EQ(reading.PieceAt(reading.Text.size() - 1), &reading.Pieces[2]);
    EXPECT_EQ(reading.PieceAt(reading.Text.size() - 2), nullptr);
    EXPECT_EQ(reading.PieceAt(reading.Text.size()), nullptr);
    EXPECT_EQ(reading.PieceAt(-1), nullptr);
    EXPECT_TRUE(ReadingText(TRLGraphicSurface()).Text.isEmpty());
}
