#include <kelmora/app/SampleRequest.h>

#include <kelmora/app/DatosSolicitud.h>
#include <kelmora/app/FKelmora.h>
#include <kelmora/support/RLCore.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>

namespace Kelmora {

namespace {

template <typename T> T& Field(const TFKelmora& form, const char* name) {
    T* child = form.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        throw TRLException(QStringLiteral("the request form has no %1").arg(QLatin1String(name)));
    return *child;
}

} // namespace

void FillSampleRequest(TFKelmora& form, const QDate& departure) {
    Field<QLineEdit>(form, "E_Persona").setText(QStringLiteral("GÓMEZ ARRIOLA, LUCÍA INÉS"));
    Field<QLineEdit>(form, "E_DNI").setText(QStringLiteral("28.456.913"));
    Field<QComboBox>(form, "E_Categoria").setCurrentText(QStringLiteral("ADJ"));
    Field<QComboBox>(form, "E_Dedicacion").setCurrentText(QStringLiteral("EXCLUSIVA"));
    Field<QPlainTextEdit>(form, "M_Motivo")
        .setPlainText(QStringLiteral("Presentación del trabajo \"Erosión hídrica en suelos del "
                                     "sur provincial\" en las XXIV Jornadas de Ciencias del "
                                     "Suelo.\nReunión con el grupo de investigación anfitrión."));
    Field<QLineEdit>(form, "E_Destino").setText(QStringLiteral("Río Cuarto, Córdoba"));
    // Selecting the private vehicle enables the plate field (and empties it), so the plate
    // comes after the selection.
    Field<QComboBox>(form, "CB_Medio").setCurrentIndex(kMedioVehiculoParticular);
    Field<QLineEdit>(form, "E_Patente").setText(QStringLiteral("AB123CD"));
    Field<QDateEdit>(form, "D_Salida").setDate(departure);
    Field<QTimeEdit>(form, "D_HoraSalida").setTime(QTime(7, 30));
    Field<QDateEdit>(form, "D_Regreso").setDate(departure.addDays(3));
    Field<QTimeEdit>(form, "D_HoraRegreso").setTime(QTime(21, 0));
    Field<QCheckBox>(form, "CK_Pasajes").setChecked(true);
    Field<QLineEdit>(form, "E_MontoPasaje").setText(QStringLiteral("4850,00"));
    Field<QCheckBox>(form, "CK_Kelmora").setChecked(true);
    Field<QLineEdit>(form, "E_DiasKelmora").setText(QStringLiteral("4"));
    Field<QCheckBox>(form, "CK_Inscripcion").setChecked(true);
    Field<QLineEdit>(form, "E_MontoInscripcion").setText(QStringLiteral("1200,00"));
}

} // namespace Kelmora
