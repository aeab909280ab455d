/// @file
/// A document form: one fixed one-page document, its report loaded from a layout compiled into
/// the program. The form owns the report and every control in it for its whole life; the run-time
/// labels (aux_...) are bound by name when the form is made, so that a layout lacking one fails at
/// start rather than when the operator prints.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace Kelmora {

class TRLCustomControl;
class TRLLabel;
class TRLMemo;
class TRLReport;

/// The run-time texts of the documents: the request's fields and what the filling run makes of
/// them. Each document shows some of them, each in a label of its own.
enum class TDocumentField : uint8_t {
    Persona,
    Dni,
    Categoria,
    Dedicacion,
    Motivo,
    Destino,
    Medio,
    Patente,
    Salida,
    HoraSalida,
    Llegada,
    HoraLlegada,
    Pasajes,     // tickets line
    Kelmora,     // per-diem line
    Inscripcion, // registration line
    Solicita,    // what is requested
};

/// The documents, as sets of them.
enum TDocumentSet : uint8_t {
    dsSolicitud = 1,
    dsDeclaracionJurada = 2,
    dsVehiculoParticular = 4,
};

/// One run-time label of the documents' layouts: its name, the text it shows, whether it is a
/// memo (which takes its text as lines) rather than a label, and the documents that show it.
struct TDocumentLabel {
    const char* Name;
    TDocumentField Field;
    bool Memo;
    uint8_t Documents;
};

/// Every run-time label of the three documents, in the order each document binds its own.
std::span<const TDocumentLabel> DocumentLabels();

class TFFRDocument {
public:
    virtual ~TFFRDocument();
    TFFRDocument(const TFFRDocument&) = delete;
    TFFRDocument& operator=(const TFFRDocument&) = delete;

    /// The document's report.
    TRLReport& RLReport1() const { return *report_; }

    /// The control of that name in the report; null when there is none.
    TRLCustomControl* FindControl(const QString& name) const;

    /// The resource path of a document's layout ("solicitud" -> ":/documents/solicitud.json").
    static QString LayoutResource(const QString& document);

    /// The document's run-time labels, in the order they were bound.
    const std::vector<TDocumentLabel>& Labels() const { return labels_; }
    /// Writes into each run-time label the text that textOf gives for its field.
    void FillLabels(const std::function<QString(TDocumentField)>& textOf);

protected:
    /// Reads the layout of the named document and binds its run-time labels (those of
    /// DocumentLabels() that it shows); raises TRLException when the layout cannot be read, or
    /// lacks one of the labels or has it of another class.
    TFFRDocument(const QString& document, TDocumentSet which);

private:
    QString document_;
    std::unique_ptr<TRLReport> report_;
    std::vector<TDocumentLabel> labels_;
    /// The control of each label, in the same order: a TRLMemo for a memo, else a TRLLabel.
    std::vector<TRLCustomControl*> controls_;
};

/// Writing the run-time texts. A memo takes its text as lines, split at every line break (CR LF,
/// LF or CR alike).
void SetLabelText(TRLLabel& label, const QString& text);
void SetMemoText(TRLMemo& memo, const QString& text);

/// Registers every control class the documents use (report, text, graphic and barcode controls)
/// and the documents' resources. The forms call it themselves; safe to call again.
void RegisterDocumentClasses();

} // namespace Kelmora
