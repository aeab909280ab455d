// A sample document built directly on the page store: a few pages with headings, ruled lines,
// a table of texts, a picture, a polygon and the page numbers. scripts/run shows it, and the
// benchmarks measure with pages like it.
#pragma once

#include <memory>

namespace Kelmora {

class TRLGraphicStorage;
class TRLGraphicSurface;

// One A4 portrait page (794 x 1123) of about 150 objects: texts, lines, rectangles and, unless
// left out, a picture.
std::shared_ptr<TRLGraphicSurface> MakeSamplePage(int pageNumber, bool withPicture = true);
// Fills a store with pageCount sample pages and its document settings.
void FillSampleStorage(TRLGraphicStorage& storage, int pageCount);

} // namespace Kelmora
