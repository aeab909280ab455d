#include "AppTestSupport.h"
#include <kelmora/app/DatosSolicitud.h>

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>

using namespace Kelmora;

namespace {

// apptest::FullRequest as a request file holds it, with the keys of changes replacing its own.
QJsonObject FullJson(const char* changes = "{}") {
    QJsonObject o = QJsonDocument::fromJson(R"({
        "Persona": "Muñoz, María José", "DNI": "27.456.789", "Categoria": "JTP",
        "Dedicacion": "SEMI EXCLUSIVA",
        "Motivo": "Congreso de Ingeniería\nPonencia: \"Redes\"\n\ttabulada",
        "Destino": "Córdoba", "Medio": "Vehículo Particular", "MedioIndice": 3,
        "Patente": "AB123CD", "Salida": "2024-02-29", "HoraSalida": "09:05",
        "Regreso": "2024-03-02", "HoraRegreso": "00:00", "SolicitaPasajes": true,
        "MontoPasaje": "1500,50", "SolicitaKelmora": true, "DiasKelmora": "3 Y MEDIO",
        "SolicitaInscripcion": false, "MontoInscripcion": ""})")
                        .object();
    const QJsonObject replaced = QJsonDocument::fromJson(changes).object();
    for (auto it = replaced.begin(); it != replaced.end(); ++it)
        o[it.key()] = it.value();
    return o;
}

QString RejectedField(const std::function<void()>& read) {
    try {
        read();
    } catch (const TDatosSolicitudError& e) {
        return e.Field();
    }
    return QStringLiteral("accepted");
}

TEST(DatosSolicitudJson, ReadsEveryFieldFromItsOwnKeyInTheAgreedFormsUpToItsLimit) {
    EXPECT_EQ(ReadDatosSolicitud(QJsonDocument(FullJson()).toJson()), apptest::FullRequest());

    // Nothing selected in the lists and free text for the means of transport.
    TDatosSolicitud d = apptest::FullRequest();
    d.Categoria = d.Dedicacion = d.Patente = QString();
    d.Medio = QStringLiteral("a dedo, si hace falta");
    d.MedioIndice = -1;
    d.HoraSalida = QTime(23, 59);
    EXPECT_EQ(DatosSolicitudFromJson(FullJson(R"({"Categoria": "", "Dedicacion": "",
        "Medio": "a dedo, si hace falta", "MedioIndice": -1, "Patente": "",
        "HoraSalida": "23:59"})")),
              d);

    // The form validates nothing: every text may be empty, and may reach its limit exactly.
    const TDatosSolicitud blank = DatosSolicitudFromJson(FullJson(R"({"Persona": "", "DNI": "",
        "Categoria": "", "Dedicacion": "", "Motivo": "", "Destino": "", "Medio": "",
        "MedioIndice": -1, "Patente": "", "MontoPasaje": "", "DiasKelmora": ""})"));
    EXPECT_TRUE(blank.Persona.isEmpty() && blank.Motivo.isEmpty() && blank.Medio.isEmpty());
    QJsonObject o = FullJson(R"({"Patente": "ÑANDÚ12"})");
    const struct {
        const char* key;
        int size;
        char16_t c;
    } limits[] = {{"Persona", 200, u'x'}, {"DNI", 15, u'9'}, {"Motivo", 500, u'\n'}};
    for (const auto& l : limits)
        o[QString::fromLatin1(l.key)] = QString(l.size, QChar(l.c));
    EXPECT_EQ(DatosSolicitudFromJson(o).Motivo.size(), 500);
}

TEST(DatosSolicitudJson, RejectsBadFieldsNamingTheField) {
    const struct {
        const char* what;
        const char* key; // the field the error must name
        QJsonValue value;
    } cases[] = {{"missing field", "DNI", QJsonValue(QJsonValue::Undefined)},
                 {"unknown key", "Pasajes", true},
                 {"number for text", "Persona", 12},
                 {"Persona too long", "Persona", QString(201, u'x')},
                 {"Motivo too long", "Motivo", QString(501, u'm')},
                 {"Patente in lower case", "Patente", QStringLiteral("ab123cd")},
                 {"category not in the list", "Categoria", QStringLiteral("tit")},
                 {"index past the list", "MedioIndice", 4},
                 {"index below -1", "MedioIndice", -2},
                 {"fractional index", "MedioIndice", 1.5},
                 {"index as text", "MedioIndice", QStringLiteral("3")},
                 {"Medio not the selected entry", "Medio", QStringLiteral("Avión")},
                 {"flag as text", "SolicitaPasajes", QStringLiteral("true")},
                 {"date without leading zeros", "Regreso", QStringLiteral("2024-3-2")},
                 {"time with seconds", "HoraSalida", QStringLiteral("09:05:00")}};
    for (const auto& c : cases) {
        QJsonObject o = FullJson();
        if (c.value.isUndefined())
            o.remove(QString::fromLatin1(c.key));
        else
            o[QString::fromLatin1(c.key)] = c.value;
        EXPECT_EQ(RejectedField([&] { DatosSolicitudFromJson(o); }), QString::fromLatin1(c.key))
            << c.what;
    }
}

TEST(DatosSolicitudJson, RejectsDocumentsThatAreNotOneObject) {
    for (const char* text : {"", "{\"Persona\": ", "[]", "[{}]", "\"Persona\"", "null"})
        EXPECT_THROW(ReadDatosSolicitud(QByteArray(text)), TDatosSolicitudError) << text;
    // An empty object names the first field it lacks.
    EXPECT_EQ(RejectedField([] { ReadDatosSolicitud("{}"); }), "Persona");
}

} // namespace
