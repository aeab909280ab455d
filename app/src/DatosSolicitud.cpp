#include <kelmora/app/DatosSolicitud.h>

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>

namespace Kelmora {

const QStringList& CategoriaEntries() {
    static const QStringList entries{QStringLiteral("--seleccione--"),
                                     QStringLiteral("TIT"),
                                     QStringLiteral("PAS"),
                                     QStringLiteral("ADJ"),
                                     QStringLiteral("JTP"),
                                     QStringLiteral("AY1"),
                                     QStringLiteral("AY2"),
                                     QStringLiteral("OTROS"),
                                     QStringLiteral("A"),
                                     QStringLiteral("T"),
                                     QStringLiteral("SG")};
    return entries;
}

const QStringList& DedicacionEntries() {
    static const QStringList entries{QStringLiteral("--seleccione--"), QStringLiteral("EXCLUSIVA"),
                                     QStringLiteral("SEMI EXCLUSIVA"), QStringLiteral("SIMPLE"),
                                     QStringLiteral("RENTADO"),        QStringLiteral("OTROS"),
                                     QStringLiteral("35HS.")};
    return entries;
}

const QStringList& MedioEntries() {
    static const QStringList entries{QStringLiteral("Avión"), QStringLiteral("Omnibus"),
                                     QStringLiteral("Vehículo Oficial"),
                                     QStringLiteral("Vehículo Particular")};
    return entries;
}

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kTimeFormat = QStringLiteral("HH:mm");

// The keys in the record's own order; also the set of keys a request may hold.
const QStringList& Keys() {
    static const QStringList keys{
        QStringLiteral("Persona"),         QStringLiteral("DNI"),
        QStringLiteral("Categoria"),       QStringLiteral("Dedicacion"),
        QStringLiteral("Motivo"),          QStringLiteral("Destino"),
        QStringLiteral("Medio"),           QStringLiteral("MedioIndice"),
        QStringLiteral("Patente"),         QStringLiteral("Salida"),
        QStringLiteral("HoraSalida"),      QStringLiteral("Regreso"),
        QStringLiteral("HoraRegreso"),     QStringLiteral("SolicitaPasajes"),
        QStringLiteral("MontoPasaje"),     QStringLiteral("SolicitaKelmora"),
        QStringLiteral("DiasKelmora"),     QStringLiteral("SolicitaInscripcion"),
        QStringLiteral("MontoInscripcion")};
    return keys;
}

class TReader {
public:
    explicit TReader(const QJsonObject& object) : object_(object) {}

    QJsonValue Value(const QString& key) const {
        const auto it = object_.constFind(key);
        if (it == object_.constEnd()) {
            throw TDatosSolicitudError(key, QStringLiteral("missing"));
        }
        return *it;
    }

    QString Text(const QString& key, int maxLength = -1) const {
        const QJsonValue value = Value(key);
        if (!value.isString()) {
            throw TDatosSolicitudError(key, QStringLiteral("expected a string"));
        }
        QString text = value.toString();
        if (maxLength >= 0 && text.size() > maxLength) {
            throw TDatosSolicitudError(
                key,
                QStringLiteral("longer than %1 characters (%2)").arg(maxLength).arg(text.size()));
        }
        return text;
    }

    // Empty (nothing selected) or one of the list's entries.
    QString ListText(const QString& key, const QStringList& entries) const {
        QString text = Text(key);
        if (!text.isEmpty() && !entries.contains(text)) {
            throw TDatosSolicitudError(key, QStringLiteral("\"%1\" is not one of: %2")
                                                .arg(text, entries.join(QStringLiteral(", "))));
        }
        return text;
    }

    bool Flag(const QString& key) const {
        const QJsonValue value = Value(key);
        if (!value.isBool()) {
            throw TDatosSolicitudError(key, QStringLiteral("expected true or false"));
        }
        return value.toBool();
    }

    int Index(const QString& key, int last) const {
        const QJsonValue value = Value(key);
        const double number = value.toDouble();
        if (!value.isDouble() || number != std::trunc(number) || number < -1 || number > last) {
            throw TDatosSolicitudError(
                key, QStringLiteral("expected an integer from -1 to %1").arg(last));
        }
        return static_cast<int>(number);
    }

    QDate Date(const QString& key) const {
        static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        return Moment<QDate>(key, shape, kDateFormat, QStringLiteral("a date \"YYYY-MM-DD\""));
    }

    QTime Time(const QString& key) const {
        static const QRegularExpression shape(QStringLiteral("^\\d{2}:\\d{2}$"));
        return Moment<QTime>(key, shape, kTimeFormat, QStringLiteral("a time \"HH:MM\""));
    }

private:
    // A date or a time whose text has exactly the digits of its shape and that the format reads
    // as a valid one.
    template <class T>
    T Moment(const QString& key, const QRegularExpression& shape, const QString& format,
             const QString& expected) const {
        const QString text = Text(key);
        const T moment = T::fromString(text, format);
        if (!shape.match(text).hasMatch() || !moment.isValid()) {
            throw TDatosSolicitudError(
                key, QStringLiteral("expected %1, got \"%2\"").arg(expected, text));
        }
        return moment;
    }

    const QJsonObject& object_;
};

} // namespace

TDatosSolicitud DatosSolicitudFromJson(const QJsonObject& object) {
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!Keys().contains(it.key())) {
            throw TDatosSolicitudError(it.key(), QStringLiteral("not a field of the request"));
        }
    }
    const TReader r(object);
    TDatosSolicitud d;
    d.Persona = r.Text(QStringLiteral("Persona"), kMaxPersona);
    d.DNI = r.Text(QStringLiteral("DNI"), kMaxDNI);
    d.Categoria = r.ListText(QStringLiteral("Categoria"), CategoriaEntries());
    d.Dedicacion = r.ListText(QStringLiteral("Dedicacion"), DedicacionEntries());
    d.Motivo = r.Text(QStringLiteral("Motivo"), kMaxMotivo);
    d.Destino = r.Text(QStringLiteral("Destino"), kMaxDestino);
    d.Medio = r.Text(QStringLiteral("Medio"));
    d.MedioIndice = r.Index(QStringLiteral("MedioIndice"), MedioEntries().size() - 1);
    // The form's list shows the selected entry's own text, so a request naming an entry by index
    // must also name it by text; anything else was not typed into the form.
    if (d.MedioIndice >= 0 && d.Medio != MedioEntries().at(d.MedioIndice)) {
        throw TDatosSolicitudError(QStringLiteral("Medio"),
                                   QStringLiteral("must be \"%1\" when MedioIndice is %2")
                                       .arg(MedioEntries().at(d.MedioIndice))
                                       .arg(d.MedioIndice));
    }
    d.Patente = r.Text(QStringLiteral("Patente"), kMaxPatente);
    if (d.Patente != d.Patente.toUpper()) {
        throw TDatosSolicitudError(QStringLiteral("Patente"), QStringLiteral("must be upper case"));
    }
    d.Salida = r.Date(QStringLiteral("Salida"));
    d.HoraSalida = r.Time(QStringLiteral("HoraSalida"));
    d.Regreso = r.Date(QStringLiteral("Regreso"));
    d.HoraRegreso = r.Time(QStringLiteral("HoraRegreso"));
    d.SolicitaPasajes = r.Flag(QStringLiteral("SolicitaPasajes"));
    d.MontoPasaje = r.Text(QStringLiteral("MontoPasaje"), kMaxMonto);
    d.SolicitaKelmora = r.Flag(QStringLiteral("SolicitaKelmora"));
    d.DiasKelmora = r.Text(QStringLiteral("DiasKelmora"), kMaxMonto);
    d.SolicitaInscripcion = r.Flag(QStringLiteral("SolicitaInscripcion"));
    d.MontoInscripcion = r.Text(QStringLiteral("MontoInscripcion"), kMaxMonto);
    return d;
}

const QStringList& DatosSolicitudKeys() {
    return Keys();
}

QJsonObject DatosSolicitudToJson(const TDatosSolicitud& d) {
    const QList<QJsonValue> values{d.Persona,
                                   d.DNI,
                                   d.Categoria,
                                   d.Dedicacion,
                                   d.Motivo,
                                   d.Destino,
                                   d.Medio,
                                   d.MedioIndice,
                                   d.Patente,
                                   d.Salida.toString(kDateFormat),
                                   d.HoraSalida.toString(kTimeFormat),
                                   d.Regreso.toString(kDateFormat),
                                   d.HoraRegreso.toString(kTimeFormat),
                                   d.SolicitaPasajes,
                                   d.MontoPasaje,
                                   d.SolicitaKelmora,
                                   d.DiasKelmora,
                                   d.SolicitaInscripcion,
                                   d.MontoInscripcion};
    QJsonObject object;
    for (qsizetype i = 0; i < values.size(); ++i)
        object.insert(Keys().at(i), values.at(i));
    return object;
}

TDatosSolicitud ReadDatosSolicitud(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        throw TDatosSolicitudError(QStringLiteral("request"),
                                   QStringLiteral("not valid JSON at offset %1: %2")
                                       .arg(error.offset)
                                       .arg(error.errorString()));
    }
    if (!document.isObject()) {
        throw TDatosSolicitudError(QStringLiteral("request"),
                                   QStringLiteral("expected one JSON object"));
    }
    return DatosSolicitudFromJson(document.object());
}

} // namespace Kelmora
