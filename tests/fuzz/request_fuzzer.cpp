// Feeds arbitrary bytes to the reader of the request files that kelmora-batch fills documents
// from. A request must be read whole or refused with an error (naming the field when one is at
// fault), never crash.
// fuzz-libs: rlapp
#include <kelmora/app/DatosSolicitud.h>

#include <QByteArray>

#include <cstdint>

using namespace Kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        ReadDatosSolicitud(json);
    } catch (const TRLException&) {
    }
    return 0;
}
