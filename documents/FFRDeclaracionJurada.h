// The sworn statement, "DECLARACIÓN JURADA (PASAJE / INSCRIPCIÓN)": produced when tickets or a
// registration fee are requested.
#pragma once

#include "FFRDocument.h"

class TFFRDeclaracionJurada : public TFFRDocument {
public:
    TFFRDeclaracionJurada();

    TRLLabel* const aux_persona = BindLabel("aux_persona");
    TRLLabel* const aux_dni = BindLabel("aux_dni");
    TRLLabel* const aux_categ = BindLabel("aux_categ");
    TRLLabel* const aux_dedica = BindLabel("aux_dedica");
    TRLMemo* const aux_motivo = BindMemo("aux_motivo");
    TRLLabel* const aux_destino = BindLabel("aux_destino");
    TRLLabel* const aux_medio = BindLabel("aux_medio");
    TRLLabel* const aux_salida = BindLabel("aux_salida");
    TRLLabel* const aux_horasalida = BindLabel("aux_horasalida");
    TRLLabel* const aux_llegada = BindLabel("aux_llegada");
    TRLLabel* const aux_horallegada = BindLabel("aux_horallegada");
    TRLLabel* const aux_solicita = BindLabel("aux_solicita"); // what is requested
};
