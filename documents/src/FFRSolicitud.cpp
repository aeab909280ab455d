#include <kelmora/documents/FFRSolicitud.h>

TFFRSolicitud::TFFRSolicitud() : TFFRDocument(QStringLiteral("solicitud"), dsSolicitud) {}
