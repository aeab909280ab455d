/// @file
/// The request document, "SOLICITUD DE KELMORA": produced by every filling run.
#pragma once

#include <kelmora/documents/FFRDocument.h>

namespace Kelmora {

class TFFRSolicitud : public TFFRDocument {
public:
    TFFRSolicitud();
};

} // namespace Kelmora
