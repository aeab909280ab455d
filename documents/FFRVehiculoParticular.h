// The private vehicle statement, "VEHÍCULO PARTICULAR": produced when the means of transport is
// the private vehicle.
#pragma once

#include "FFRDocument.h"

class TFFRVehiculoParticular : public TFFRDocument {
public:
    TFFRVehiculoParticular();

    TRLLabel* const aux_persona = BindLabel("aux_persona");
    TRLLabel* const aux_dni = BindLabel("aux_dni");
    TRLMemo* const aux_motivo = BindMemo("aux_motivo");
    TRLLabel* const aux_destino = BindLabel("aux_destino");
    TRLLabel* const aux_patente = BindLabel("aux_patente");
    TRLLabel* const aux_salida = BindLabel("aux_salida");
    TRLLabel* const aux_horasalida = BindLabel("aux_horasalida");
    TRLLabel* const aux_llegada = BindLabel("aux_llegada");
    TRLLabel* const aux_horallegada = BindLabel("aux_horallegada");
};
