#include <kelmora/documents/FFRVehiculoParticular.h>

TFFRVehiculoParticular::TFFRVehiculoParticular()
    : TFFRDocument(QStringLiteral("vehiculo-particular"), dsVehiculoParticular) {}
