/// @file
/// The run that "Imprimir" starts: fill the documents from the request and open their previews.
///
/// The run is split so that the batch program can share it: MakeFillingTexts works out every text
/// and decision from the request alone, FillDocuments writes the texts into the document forms and
/// hands each produced document over in the run's order, and RunFillingRun adds what the desktop
/// program does with them (a preview window each, then the operator's message box).
#pragma once

#include <kelmora/app/DatosSolicitud.h>

#include <QDate>
#include <QString>
#include <QTime>

#include <functional>

class QWidget;

namespace Kelmora {

class TDocumentForms;
class TRLReport;

/// What one run writes into the documents and which documents it produces.
struct TFillingTexts {
    QString Salida;      // departure date in the short date format
    QString HoraSalida;  // "hh:nn"
    QString Regreso;     // return date
    QString HoraRegreso; // "hh:nn"
    QString Pasajes;     // tickets line (aux_1)
    QString Kelmora;     // per-diem line (aux_2)
    QString Inscripcion; // registration line (aux_4)
    /// The requested-items phrase ("pasajes, kelmora e inscripción"), and the sworn statement's
    /// aux_solicita made from it.
    QString Frase;
    QString Solicita;
    bool DeclaracionJurada = false;  // tickets or registration requested
    bool VehiculoParticular = false; // the list entry "Vehículo Particular" selected
    int FormCount = 0;               // 1 to 3

    friend bool operator==(const TFillingTexts&, const TFillingTexts&) = default;
};

TFillingTexts MakeFillingTexts(const TDatosSolicitud& datos);

/// A date as the entry form's date pickers show it: the locale's short date format, or day,
/// month and year in digits where the locale gives no numeric one.
QString ShortDateText(const QDate& date);
/// Where the user has no regional settings (the C locale), makes Spanish (Argentina) the default
/// locale, so that every date of the documents, the preparation date in the letterhead included,
/// reads as day, month and year in digits. Leaves any real setting alone.
void UseDocumentDatesLocale();
/// Hour 00 to 23 and minutes, both with two digits.
QString TimeText(const QTime& time);

/// The operator's message as stored, its two sentences separated by two carriage returns.
QString OperatorMessage(int formCount);
/// What the operator's message adds when the request could not be recorded in the register.
QString NotRecordedMessage(const QString& reason);
/// The same with each carriage return made a line break: a lone carriage return does not break
/// a line in a message box or a terminal here.
QString DisplayedOperatorMessage(int formCount);

enum class TDocumentKind { Solicitud, DeclaracionJurada, VehiculoParticular };

/// The document's name, as its file and the register name it: "solicitud", "declaracion-jurada",
/// "vehiculo-particular".
QString DocumentName(TDocumentKind kind);

/// Receives each produced document, filled, in the run's order.
using TDocumentHandler = std::function<void(TDocumentKind kind, TRLReport& report)>;

/// Fills the forms from the request and hands over the sworn statement (when tickets or a
/// registration fee are requested), the private vehicle statement (when that means of transport
/// is selected) and the request document (always), in that order. Labels of a document that is
/// not produced keep their earlier texts. Returns what was written.
TFillingTexts FillDocuments(const TDatosSolicitud& datos, TDocumentForms& forms,
                            const TDocumentHandler& handle);

/// Fills the program's document forms, opens a preview window for each produced document, records
/// the request in the register (TRequestRegister::DefaultLocation) and tells the operator how
/// many forms there are to print, and when the request could not be recorded, why; parent is the
/// entry form, over which the message box appears. Does nothing when the program has made no
/// document forms.
void RunFillingRun(const TDatosSolicitud& datos, QWidget* parent);

} // namespace Kelmora
