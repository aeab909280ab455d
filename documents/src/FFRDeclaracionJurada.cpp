#include <kelmora/documents/FFRDeclaracionJurada.h>

TFFRDeclaracionJurada::TFFRDeclaracionJurada()
    : TFFRDocument(QStringLiteral("declaracion-jurada"), dsDeclaracionJurada) {}
