/// @file
/// The private vehicle statement, "VEHÍCULO PARTICULAR": produced when the means of transport is
/// the private vehicle.
#pragma once

#include <kelmora/documents/FFRDocument.h>

namespace Kelmora {

class TFFRVehiculoParticular : public TFFRDocument {
public:
    TFFRVehiculoParticular();
};

} // namespace Kelmora
