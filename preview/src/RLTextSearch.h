// Matching a search text inside a recorded text, as the preview's search does it.
#pragma once

#include <QString>

namespace Kelmora {

// True when needle occurs in text. With wholeWords an occurrence counts only when neither the
// character before it nor the one after it is a letter or a digit (the ends of text count as
// boundaries). An empty needle never matches. Case is compared exactly; callers fold it first.
bool TextContains(const QString& text, const QString& needle, bool wholeWords);

} // namespace Kelmora
