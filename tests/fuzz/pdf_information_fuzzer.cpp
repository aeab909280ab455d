// Feeds arbitrary bytes, as the file the toolkit's PDF writer wrote, to the reading of its
// trailer and information object that adds the author to a PDF/A document. Whatever the bytes,
// the update is either nothing or an object, a cross-reference section and a trailer whose
// startxref points at that section, within the file as it grows.
// fuzz-libs: rlpdf
#include <kelmora/pdf/RLPdfFilter.h>

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace Kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The filter keeps the first and the last 16 KiB of what the writer wrote.
    const QByteArray update = TRLPDFFilter::InformationUpdate(
        file.first(std::min<qsizetype>(file.size(), 16384)),
        file.last(std::min<qsizetype>(file.size(), 16384)), file.size(), "/Author <FEFF0041>");
    if (update.isEmpty())
        return 0;
    const qsizetype startxref = update.lastIndexOf("startxref\n");
    if (!update.endsWith("%%EOF\n") || startxref < 0)
        abort();
    const qint64 xref = update.mid(startxref + 10).split('\n').value(0).toLongLong();
    const QByteArray whole = file + update;
    if (xref < file.size() || !whole.mid(xref).startsWith("xref\n"))
        abort();
    return 0;
}
