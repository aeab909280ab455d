#include "DatosSolicitud.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

TDatosSolicitud FullRequest() {
    TDatosSolicitud d;
    d.Persona = QStringLiteral("Muñoz, María José");
    d.DNI = QStringLiteral("27.456.789");
    d.Categoria = QStringLiteral("JTP");
    d.Dedicacion = QStringLiteral("SEMI EXCLUSIVA");
    d.Motivo = QStringLiteral("Congreso de Ingeniería\nPonencia: \"Redes\"\n\ttabulada");
    d.Destino = QStringLiteral("Córdoba");
    d.Medio = QStringLiteral("Vehículo Particular");
    d.MedioIndice = 3;
    d.Patente = QStringLiteral("AB123CD");
    d.Salida = QDate(2024, 2, 29);
    d.HoraSalida = QTime(9, 5);
    d.Regreso = QDate(2024, 3, 2);
    d.HoraRegreso = QTime(0, 0);
    d.SolicitaPasajes = true;
    d.MontoPasaje = QStringLiteral("1500,50");
    d.SolicitaKelmora = true;
    d.DiasKelmora = QStringLiteral("3 Y MEDIO");
    d.SolicitaInscripcion = false;
    d.MontoInscripcion = QString();
    return d;
}

// FullRequest as a request file holds it.
QJsonObject FullJson() {
    return {
        {"Persona", QStringLiteral("Muñoz, María José")},
        {"DNI", "27.456.789"},
        {"Categoria", "JTP"},
        {"Dedicacion", "SEMI EXCLUSIVA"},
        {"Motivo", QStringLiteral("Congreso de Ingeniería\nPonencia: \"Redes\"\n\ttabulada")},
        {"Destino", QStringLiteral("Córdoba")},
        {"Medio", QStringLiteral("Vehículo Particular")},
        {"MedioIndice", 3},
        {"Patente", "AB123CD"},
        {"Salida", "2024-02-29"},
        {"HoraSalida", "09:05"},
        {"Regreso", "2024-03-02"},
        {"HoraRegreso", "00:00"},
        {"SolicitaPasajes", true},
        {"MontoPasaje", "1500,50"},
        {"SolicitaKelmora", true},
        {"DiasKelmora", "3 Y MEDIO"},
        {"SolicitaInscripcion", false},
        {"MontoInscripcion", ""},
    };
}

TEST(DatosSolicitudJson, ReadsEveryFieldFromItsOwnKeyInTheAgreedFormsUpToItsLimit) {
    EXPECT_EQ(ReadDatosSolicitud(QJsonDocument(FullJson()).toJson()), FullRequest());

    // Nothing selected in the lists and free text for the means of transport.
    QJsonObject o = FullJson();
    o["Categoria"] = "";
    o["Dedicacion"] = "";
    o["Medio"] = "a dedo, si hace falta";
    o["MedioIndice"] = -1;
    o["Patente"] = "";
    o["HoraSalida"] = "23:59";
    TDatosSolicitud d = FullRequest();
    d.Categoria.clear();
    d.Dedicacion.clear();
    d.Medio = QStringLiteral("a dedo, si hace falta");
    d.MedioIndice = -1;
    d.Patente.clear();
    d.HoraSalida = QTime(23, 59);
    EXPECT_EQ(DatosSolicitudFromJson(o), d);

    // The form validates nothing: every text may be empty, and may reach its limit exactly.
    for (const char* key :
         {"Persona", "DNI", "Motivo", "Destino", "Medio", "MontoPasaje", "DiasKelmora"}) {
        o[key] = "";
    }
    const TDatosSolicitud blank = DatosSolicitudFromJson(o);
    EXPECT_TRUE(blank.Persona.isEmpty() && blank.Motivo.isEmpty() && blank.Medio.isEmpty());
    o = FullJson();
    o["Persona"] = QString(200, u'x');
    o["DNI"] = QString(15, u'9');
    o["Motivo"] = QString(500, u'\n');
    o["Destino"] = QString(200, u'y');
    o["Patente"] = QStringLiteral("ÑANDÚ12");
    o["MontoPasaje"] = QString(15, u'1');
    o["DiasKelmora"] = QString(15, u'2');
    o["MontoInscripcion"] = QString(15, u'3');
    EXPECT_EQ(DatosSolicitudFromJson(o).Motivo.size(), 500);
}

struct TBadCase {
    const char* what;
    const char* key;
    QJsonValue value;  // undefined: the key is removed
    const char* field; // the field the error must name
};

TEST(DatosSolicitudJson, RejectsBadFieldsNamingTheField) {
    const TBadCase cases[] = {
        {"missing field", "DNI", QJsonValue(QJsonValue::Undefined), "DNI"},
        {"unknown key", "Pasajes", true, "Pasajes"},
        {"key in the wrong case", "persona", QStringLiteral("x"), "persona"},
        {"number for text", "Persona", 12, "Persona"},
        {"null for text", "Destino", QJsonValue(QJsonValue::Null), "Destino"},
        {"Persona too long", "Persona", QString(201, u'x'), "Persona"},
        {"DNI too long", "DNI", QString(16, u'1'), "DNI"},
        {"Motivo too long", "Motivo", QString(501, u'm'), "Motivo"},
        {"Patente too long", "Patente", QStringLiteral("ABC1234D"), "Patente"},
        {"Patente in lower case", "Patente", QStringLiteral("ab123cd"), "Patente"},
        {"amount too long", "MontoInscripcion", QString(16, u'5'), "MontoInscripcion"},
        {"days too long", "DiasKelmora", QString(16, u'5'), "DiasKelmora"},
        {"category not in the list", "Categoria", QStringLiteral("tit"), "Categoria"},
        {"dedication not in the list", "Dedicacion", QStringLiteral("FULL"), "Dedicacion"},
        {"index past the list", "MedioIndice", 4, "MedioIndice"},
        {"index below -1", "MedioIndice", -2, "MedioIndice"},
        {"fractional index", "MedioIndice", 1.5, "MedioIndice"},
        {"index as text", "MedioIndice", QStringLiteral("3"), "MedioIndice"},
        {"Medio not the selected entry", "Medio", QStringLiteral("Avión"), "Medio"},
        {"flag as text", "SolicitaPasajes", QStringLiteral("true"), "SolicitaPasajes"},
        {"flag as number", "SolicitaKelmora", 1, "SolicitaKelmora"},
        {"date that does not exist", "Salida", QStringLiteral("2023-02-29"), "Salida"},
        {"date without leading zeros", "Regreso", QStringLiteral("2024-3-2"), "Regreso"},
        {"date in day-month order", "Salida", QStringLiteral("29/02/2024"), "Salida"},
        {"hour past the day", "HoraSalida", QStringLiteral("24:00"), "HoraSalida"},
        {"hour with one digit", "HoraRegreso", QStringLiteral("9:05"), "HoraRegreso"},
        {"time with seconds", "HoraSalida", QStringLiteral("09:05:00"), "HoraSalida"},
    };
    for (const TBadCase& c : cases) {
        QJsonObject o = FullJson();
        if (c.value.isUndefined()) {
            o.remove(QString::fromLatin1(c.key));
        } else {
            o[QString::fromLatin1(c.key)] = c.value;
        }
        try {
            DatosSolicitudFromJson(o);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const TDatosSolicitudError& e) {
            EXPECT_EQ(e.Field(), QString::fromLatin1(c.field)) << c.what << ": " << e.what();
            EXPECT_TRUE(e.Message().startsWith(QString::fromLatin1(c.field) + ": "))
                << c.what << ": " << e.what();
        }
    }
}

TEST(DatosSolicitudJson, RejectsDocumentsThatAreNotOneObject) {
    for (const char* text : {"", "{\"Persona\": ", "[]", "[{}]", "\"Persona\"", "null"})
        EXPECT_THROW(ReadDatosSolicitud(QByteArray(text)), TDatosSolicitudError) << text;
    // An empty object names the first field it lacks.
    try {
        ReadDatosSolicitud("{}");
        ADD_FAILURE() << "empty object accepted";
    } catch (const TDatosSolicitudError& e) {
        EXPECT_EQ(e.Field(), "Persona");
    }
}

} // namespace
