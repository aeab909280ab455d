/// @file
/// The travel request as the entry form hands it to the filling run, and its JSON form for the
/// batch program. Amounts and the number of days stay text: they print exactly as typed.
#pragma once

#include <kelmora/support/RLCore.h>

#include <QByteArray>
#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTime>

namespace Kelmora {

struct TDatosSolicitud {
    QString Persona;
    QString DNI;
    QString Categoria;  // as displayed; empty when nothing is selected
    QString Dedicacion; // as displayed; empty when nothing is selected
    QString Motivo;     // line breaks as "\n"
    QString Destino;
    QString Medio;        // as displayed: a list entry or free text
    int MedioIndice = -1; // the selected list entry, -1 for none
    QString Patente;
    QDate Salida;
    QTime HoraSalida; // minutes resolution
    QDate Regreso;
    QTime HoraRegreso;
    bool SolicitaPasajes = false;
    QString MontoPasaje;
    bool SolicitaKelmora = false;
    QString DiasKelmora;
    bool SolicitaInscripcion = false;
    QString MontoInscripcion;

    friend bool operator==(const TDatosSolicitud&, const TDatosSolicitud&) = default;
};

/// The lists of choices of the entry form, in their order.
const QStringList& CategoriaEntries();
const QStringList& DedicacionEntries();
const QStringList& MedioEntries();
/// The entry of the means-of-transport list that calls for the private vehicle statement.
inline constexpr int kMedioVehiculoParticular = 3;

/// Length limits of the text fields, the same as the entry form's.
inline constexpr int kMaxPersona = 200;
inline constexpr int kMaxDNI = 15;
inline constexpr int kMaxMotivo = 500;
inline constexpr int kMaxDestino = 200;
inline constexpr int kMaxPatente = 7;
inline constexpr int kMaxMonto = 15; // MontoPasaje, DiasKelmora, MontoInscripcion

/// A request that cannot be read: names the offending field (or key) and says what is wrong.
class TDatosSolicitudError : public TRLException {
public:
    TDatosSolicitudError(QString field, const QString& problem)
        : TRLException(field + QStringLiteral(": ") + problem), field_(std::move(field)) {}
    const QString& Field() const noexcept { return field_; }

private:
    QString field_;
};

/// A request from its JSON object: one key per field under the field's own name; Salida and
/// Regreso as "YYYY-MM-DD", the times as "HH:MM", flags as booleans, MedioIndice as an integer.
/// Every field must be present with the right type and within the form's limits, no other key may
/// appear, and the record must be one that the form could have produced (list entries, upper-case
/// plate, Medio matching a selected MedioIndice). Throws TDatosSolicitudError on the first problem
/// found.
TDatosSolicitud DatosSolicitudFromJson(const QJsonObject& object);

/// The request as its JSON object, the keys in the record's order; DatosSolicitudFromJson reads
/// it back as it was.
QJsonObject DatosSolicitudToJson(const TDatosSolicitud& d);

/// The keys of a request's JSON object, in the record's order.
const QStringList& DatosSolicitudKeys();

/// Parses a whole JSON document holding one request object.
TDatosSolicitud ReadDatosSolicitud(const QByteArray& json);

} // namespace Kelmora
