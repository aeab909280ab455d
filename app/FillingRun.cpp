#include "FillingRun.h"

void RunFillingRun(const TDatosSolicitud& datos, QWidget* parent) {
    // Filling needs the document forms, which are not part of the program yet; until then
    // "Imprimir" hands over the request and nothing more happens.
    Q_UNUSED(datos);
    Q_UNUSED(parent);
}
