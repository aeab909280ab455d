#include "RLTextSearch.h"

namespace Kelmora {

namespace {

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber();
}

} // namespace

bool TextContains(const QString& text, const QString& needle, bool wholeWords) {
    if (needle.isEmpty())
        return false;
    if (!wholeWords)
        return text.contains(needle);
    // Every occurrence is tried: "cat" in "concat cat" fails at the first and holds at the second.
    for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1)) {
        const qsizetype end = at + needle.size();
        const bool startsWord = at == 0 || !IsWordCharacter(text[at - 1]);
        const bool endsWord = end == text.size() || !IsWordCharacter(text[end]);
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

} // namespace Kelmora
