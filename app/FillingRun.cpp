#include "FillingRun.h"

#include "DocumentForms.h"
#include "FFRDeclaracionJurada.h"
#include "FFRSolicitud.h"
#include "FFRVehiculoParticular.h"
#include "RLReport.h"

#include "RLPreviewForm.h"

#include <QLocale>
#include <QMessageBox>

QString ShortDateText(const QDate& date) {
    const QLocale locale;
    // The C locale's short format spells the month out; the documents want digits.
    if (locale.language() == QLocale::C)
        return date.toString(QStringLiteral("dd/MM/yyyy"));
    return locale.toString(date, QLocale::ShortFormat);
}

void UseDocumentDatesLocale() {
    if (QLocale().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
}

QString TimeText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm"));
}

TFillingTexts MakeFillingTexts(const TDatosSolicitud& datos) {
    TFillingTexts texts;
    texts.Salida = ShortDateText(datos.Salida);
    texts.HoraSalida = TimeText(datos.HoraSalida);
    texts.Regreso = ShortDateText(datos.Regreso);
    texts.HoraRegreso = TimeText(datos.HoraRegreso);

    // The phrase names the requested items in the order of the lines, joined as a Spanish
    // list: "pasajes, kelmora e inscripción".
    QString frase;
    if (datos.SolicitaPasajes && datos.MedioIndice == kMedioVehiculoParticular) {
        frase += QStringLiteral("equivalente a pasajes");
        texts.Pasajes = QStringLiteral("EQUIVALENTE A PASAJES   $ ") + datos.MontoPasaje;
    } else if (datos.SolicitaPasajes) {
        frase += QStringLiteral("pasajes");
        texts.Pasajes = QStringLiteral("PASAJES   $ ") + datos.MontoPasaje;
    } else {
        texts.Pasajes = QStringLiteral("PASAJES NO SOLICITADO");
    }

    if (datos.SolicitaKelmora) {
        texts.Kelmora = QStringLiteral("KELMORA   ") + datos.DiasKelmora + QStringLiteral(" DÍAS");
        frase += frase.isEmpty() ? QStringLiteral("kelmora") : QStringLiteral(", kelmora");
    } else {
        texts.Kelmora = QStringLiteral("KELMORA NO SOLICITADO");
    }

    if (datos.SolicitaInscripcion) {
        texts.Inscripcion = QStringLiteral("INSCRIPCIÓN      $ ") + datos.MontoInscripcion;
        frase += frase.isEmpty() ? QStringLiteral("inscripción") : QStringLiteral(" e inscripción");
    } else {
        texts.Inscripcion = QStringLiteral("INSCRIPCIÓN NO SOLICITADO");
    }

    texts.Frase = frase;
    texts.Solicita = frase + QStringLiteral(" unicamente");
    // Per-diem days alone need no receipts, so no sworn statement.
    texts.DeclaracionJurada = datos.SolicitaPasajes || datos.SolicitaInscripcion;
    // The list entry decides, never the text: free text that reads the same is another means.
    texts.VehiculoParticular = datos.MedioIndice == kMedioVehiculoParticular;
    texts.FormCount = 1 + (texts.DeclaracionJurada ? 1 : 0) + (texts.VehiculoParticular ? 1 : 0);
    return texts;
}

QString OperatorMessage(int formCount) {
    return QStringLiteral("Tiene ") + QString::number(formCount) +
           QStringLiteral(" formularios para imprimir") + QChar(13) + QChar(13) +
           QStringLiteral("Si tiene más de un formulario, imprima y cierre para que aparezcan "
                          "los otros formularios");
}

QString DisplayedOperatorMessage(int formCount) {
    QString message = OperatorMessage(formCount);
    message.replace(QChar(13), QChar(10));
    return message;
}

TFillingTexts FillDocuments(const TDatosSolicitud& datos, TDocumentForms& forms,
                            const TDocumentHandler& handle) {
    const TFillingTexts texts = MakeFillingTexts(datos);

    TFFRSolicitud& solicitud = *forms.FFRSolicitud;
    SetLabelText(*solicitud.aux_persona, datos.Persona);
    SetLabelText(*solicitud.aux_dni, datos.DNI);
    SetLabelText(*solicitud.aux_categ, datos.Categoria);
    SetLabelText(*solicitud.aux_dedica, datos.Dedicacion);
    SetMemoText(*solicitud.aux_motivo, datos.Motivo);
    SetLabelText(*solicitud.aux_destino, datos.Destino);
    SetLabelText(*solicitud.aux_medio, datos.Medio);
    SetLabelText(*solicitud.aux_salida, texts.Salida);
    SetLabelText(*solicitud.aux_horasalida, texts.HoraSalida);
    SetLabelText(*solicitud.aux_llegada, texts.Regreso);
    SetLabelText(*solicitud.aux_horallegada, texts.HoraRegreso);
    SetLabelText(*solicitud.aux_1, texts.Pasajes);
    SetLabelText(*solicitud.aux_2, texts.Kelmora);
    SetLabelText(*solicitud.aux_4, texts.Inscripcion);

    if (texts.DeclaracionJurada) {
        TFFRDeclaracionJurada& declaracion = *forms.FFRDeclaracionJurada;
        SetLabelText(*declaracion.aux_persona, datos.Persona);
        SetLabelText(*declaracion.aux_dni, datos.DNI);
        SetMemoText(*declaracion.aux_motivo, datos.Motivo);
        SetLabelText(*declaracion.aux_destino, datos.Destino);
        SetLabelText(*declaracion.aux_categ, datos.Categoria);
        SetLabelText(*declaracion.aux_dedica, datos.Dedicacion);
        SetLabelText(*declaracion.aux_salida, texts.Salida);
        SetLabelText(*declaracion.aux_horasalida, texts.HoraSalida);
        SetLabelText(*declaracion.aux_llegada, texts.Regreso);
        SetLabelText(*declaracion.aux_horallegada, texts.HoraRegreso);
        SetLabelText(*declaracion.aux_medio, datos.Medio);
        SetLabelText(*declaracion.aux_solicita, texts.Solicita);
        handle(TDocumentKind::DeclaracionJurada, declaracion.RLReport1());
    }

    if (texts.VehiculoParticular) {
        TFFRVehiculoParticular& vehiculo = *forms.FFRVehiculoParticular;
        SetLabelText(*vehiculo.aux_persona, datos.Persona);
        SetLabelText(*vehiculo.aux_dni, datos.DNI);
        SetMemoText(*vehiculo.aux_motivo, datos.Motivo);
        SetLabelText(*vehiculo.aux_destino, datos.Destino);
        SetLabelText(*vehiculo.aux_patente, datos.Patente);
        SetLabelText(*vehiculo.aux_salida, texts.Salida);
        SetLabelText(*vehiculo.aux_horasalida, texts.HoraSalida);
        SetLabelText(*vehiculo.aux_llegada, texts.Regreso);
        SetLabelText(*vehiculo.aux_horallegada, texts.HoraRegreso);
        handle(TDocumentKind::VehiculoParticular, vehiculo.RLReport1());
    }

    handle(TDocumentKind::Solicitud, solicitud.RLReport1());
    return texts;
}

void RunFillingRun(const TDatosSolicitud& datos, QWidget* parent) {
    TDocumentForms* forms = TDocumentForms::Current();
    if (forms == nullptr)
        return;
    // Each preview returns at once, so the windows stack up: the request on top, the sworn
    // statement at the bottom. They belong to the entry form's window, so that they stand above it
    // and stay usable while it blocks the main window. A document whose preparation fails opens
    // no window and the run goes on with the next one.
    const TRLPreviewOwnerScope owner(parent);
    const TFillingTexts texts =
        FillDocuments(datos, *forms, [parent](TDocumentKind, TRLReport& report) {
            try {
                report.Preview();
            } catch (const TRLException& error) {
                QMessageBox::critical(parent, QString(), error.Message());
            }
        });
    // The message belongs to the preview on top, so that it shows above every preview and hands
    // the keyboard to that preview when the operator has read it.
    TRLPreviewForm* top = parent ? TopPreviewOf(parent) : nullptr;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Sr. Operador"),
                    DisplayedOperatorMessage(texts.FormCount), QMessageBox::Ok,
                    top ? static_cast<QWidget*>(top) : parent);
    box.exec();
}
