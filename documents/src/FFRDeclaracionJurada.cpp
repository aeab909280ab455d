#include <kelmora/documents/FFRDeclaracionJurada.h>

namespace Kelmora {

TFFRDeclaracionJurada::TFFRDeclaracionJurada()
    : TFFRDocument(QStringLiteral("declaracion-jurada"), dsDeclaracionJurada) {}

} // namespace Kelmora
