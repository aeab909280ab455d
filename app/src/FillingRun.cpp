#include <kelmora/app/FillingRun.h>

#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/RequestRegister.h>
#include <kelmora/documents/FFRDeclaracionJurada.h>
#include <kelmora/documents/FFRSolicitud.h>
#include <kelmora/documents/FFRVehiculoParticular.h>
#include <kelmora/report/RLReport.h>

#include <kelmora/dialogs/RLAccessibility.h>
#include <kelmora/preview/RLPreviewForm.h>

#include <QLocale>
#include <QMessageBox>

namespace Kelmora {

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

QString NotRecordedMessage(const QString& reason) {
    return QStringLiteral("La solicitud no quedó registrada: ") + reason + u'.';
}

QString DocumentName(TDocumentKind kind) {
    switch (kind) {
    case TDocumentKind::Solicitud:
        return kDocumentSolicitud;
    case TDocumentKind::DeclaracionJurada:
        return kDocumentDeclaracionJurada;
    case TDocumentKind::VehiculoParticular:
        return kDocumentVehiculoParticular;
    }
    return {};
}

QString DisplayedOperatorMessage(int formCount) {
    QString message = OperatorMessage(formCount);
    message.replace(QChar(13), QChar(10));
    return message;
}

// The text of a document field for the request and what the run made of it.
static QString FieldText(const TDatosSolicitud& datos, const TFillingTexts& texts,
                         TDocumentField field) {
    switch (field) {
    case TDocumentField::Persona:
        return datos.Persona;
    case TDocumentField::Dni:
        return datos.DNI;
    case TDocumentField::Categoria:
        return datos.Categoria;
    case TDocumentField::Dedicacion:
        return datos.Dedicacion;
    case TDocumentField::Motivo:
        return datos.Motivo;
    case TDocumentField::Destino:
        return datos.Destino;
    case TDocumentField::Medio:
        return datos.Medio;
    case TDocumentField::Patente:
        return datos.Patente;
    case TDocumentField::Salida:
        return texts.Salida;
    case TDocumentField::HoraSalida:
        return texts.HoraSalida;
    case TDocumentField::Llegada:
        return texts.Regreso;
    case TDocumentField::HoraLlegada:
        return texts.HoraRegreso;
    case TDocumentField::Pasajes:
        return texts.Pasajes;
    case TDocumentField::Kelmora:
        return texts.Kelmora;
    case TDocumentField::Inscripcion:
        return texts.Inscripcion;
    case TDocumentField::Solicita:
        return texts.Solicita;
    }
    return {};
}

TFillingTexts FillDocuments(const TDatosSolicitud& datos, TDocumentForms& forms,
                            const TDocumentHandler& handle) {
    const TFillingTexts texts = MakeFillingTexts(datos);
    const auto textOf = [&](TDocumentField field) { return FieldText(datos, texts, field); };

    forms.FFRSolicitud->FillLabels(textOf);
    if (texts.DeclaracionJurada) {
        forms.FFRDeclaracionJurada->FillLabels(textOf);
        handle(TDocumentKind::DeclaracionJurada, forms.FFRDeclaracionJurada->RLReport1());
    }
    if (texts.VehiculoParticular) {
        forms.FFRVehiculoParticular->FillLabels(textOf);
        handle(TDocumentKind::VehiculoParticular, forms.FFRVehiculoParticular->RLReport1());
    }
    handle(TDocumentKind::Solicitud, forms.FFRSolicitud->RLReport1());
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
    QStringList documents;
    const TFillingTexts texts =
        FillDocuments(datos, *forms, [parent, &documents](TDocumentKind kind, TRLReport& report) {
            try {
                report.Preview();
                documents << DocumentName(kind);
            } catch (const TRLException& error) {
                ShowCriticalMessage(parent, QString(), error.Message());
            }
        });
    // The message belongs to the preview on top, so that it shows above every preview and hands
    // the keyboard to that preview when the operator has read it.
    // The documents are out whatever becomes of the register; a request it could not take is
    // told in the same message, with the database's own words for whoever mends it.
    const auto failure =
        RecordPrintedRequest(TRequestRegister::DefaultLocation(), datos, documents);
    TRLPreviewForm* top = parent ? TopPreviewOf(parent) : nullptr;
    QString message = DisplayedOperatorMessage(texts.FormCount);
    if (failure)
        message += QStringLiteral("\n\n") + NotRecordedMessage(failure->Reason());
    QMessageBox box(failure ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Sr. Operador"), message, QMessageBox::Ok,
                    top ? static_cast<QWidget*>(top) : parent);
    if (failure)
        box.setDetailedText(failure->Detail());
    UseSharpMessageIcon(box);
    box.exec();
}

} // namespace Kelmora
