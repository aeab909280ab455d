#include "FFRSolicitud.h"

TFFRSolicitud::TFFRSolicitud() : TFFRDocument(QStringLiteral("solicitud"), dsSolicitud) {}
