#include <kelmora/documents/FFRVehiculoParticular.h>

namespace Kelmora {

TFFRVehiculoParticular::TFFRVehiculoParticular()
    : TFFRDocument(QStringLiteral("vehiculo-particular"), dsVehiculoParticular) {}

} // namespace Kelmora
