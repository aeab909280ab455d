/// @file
/// The sworn statement, "DECLARACIÓN JURADA (PASAJE / INSCRIPCIÓN)": produced when tickets or a
/// registration fee are requested.
#pragma once

#include <kelmora/documents/FFRDocument.h>

namespace Kelmora {

class TFFRDeclaracionJurada : public TFFRDocument {
public:
    TFFRDeclaracionJurada();
};

} // namespace Kelmora
