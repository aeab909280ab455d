#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLReadingText.h>

#include <algorithm>

namespace Kelmora {

namespace {

struct Placed {
    const TRLTextObject* Object;
    QString Text;
};

// Two boxes share a line when the middle of either lies within the other's height: a caption and
// the larger value beside it are one line, two rows of a table are two.
bool ShareLine(const TRLRect& a, const TRLRect& b) {
    const auto within = [](const TRLRect& box, int64_t y) {
        return y >= box.Top && y < box.Bottom;
    };
    const int64_t middleA = (int64_t{a.Top} + a.Bottom) / 2;
    const int64_t middleB = (int64_t{b.Top} + b.Bottom) / 2;
    return within(b, middleA) || within(a, middleB);
}

} // namespace

const TRLReadingText::Piece* TRLReadingText::PieceAt(qsizetype offset) const {
    const auto after = std::upper_bound(Pieces.begin(), Pieces.end(), offset,
                                        [](qsizetype at, const Piece& p) { return at < p.Start; });
    if (after == Pieces.begin())
        return nullptr;
    const Piece& piece = *std::prev(after);
    return offset < piece.Start + piece.Length ? &piece : nullptr;
}

TRLReadingText ReadingText(const TRLGraphicSurface& page) {
    std::vector<Placed> texts;
    for (const auto& object : page.Objects()) {
        if (object->Kind() != TRLObjectKind::Text)
            continue;
        const auto& text = static_cast<const TRLTextObject&>(*object);
        QString shown = text.DisplayText();
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        if (shown.trimmed().isEmpty())
            continue;
        texts.push_back({&text, std::move(shown)});
    }
    // From the top down; a line is the run of texts that share it with the line's first text,
    // which is its highest, so that a line does not creep down the page text by text.
    std::stable_sort(texts.begin(), texts.end(), [](const Placed& a, const Placed& b) {
        return a.Object->BoundsRect.Top < b.Object->BoundsRect.Top;
    });
    TRLReadingText reading;
    for (size_t first = 0; first < texts.size();) {
        size_t end = first + 1;
        while (end < texts.size() &&
               ShareLine(texts[first].Object->BoundsRect, texts[end].Object->BoundsRect))
            ++end;
        std::stable_sort(texts.begin() + static_cast<std::ptrdiff_t>(first),
                         texts.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const Placed& a, const Placed& b) {
                             return a.Object->BoundsRect.Left < b.Object->BoundsRect.Left;
                         });
        if (!reading.Text.isEmpty())
            reading.Text += u'\n';
        for (size_t i = first; i < end; ++i) {
            if (i > first)
                reading.Text += u' ';
            reading.Pieces.push_back(
                {reading.Text.size(), texts[i].Text.size(), texts[i].Object->BoundsRect});
            reading.Text += texts[i].Text;
        }
        first = end;
    }
    return reading;
}

} // namespace Kelmora
