#include <kelmora/documents/FFRSolicitud.h>

namespace Kelmora {

TFFRSolicitud::TFFRSolicitud() : TFFRDocument(QStringLiteral("solicitud"), dsSolicitud) {}

} // namespace Kelmora
