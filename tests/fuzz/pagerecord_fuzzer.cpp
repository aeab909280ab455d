// Feeds arbitrary bytes to the page-record reader. Whatever a record says, reading must end in
// a page or in "File is corrupted!", never in a crash, a hang or an unbounded allocation; a
// page that was read must write back and read again to the same bytes.
// fuzz-libs: rlpagestore
#include "RLGraphicSurface.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TRLGraphicSurface page;
    try {
        page.LoadFromBytes(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    } catch (const TRLException&) {
        return 0;
    }
    const QByteArray written = page.SaveToBytes();
    TRLGraphicSurface again;
    again.LoadFromBytes(written);
    if (again.SaveToBytes() != written)
        std::abort();
    return 0;
}
