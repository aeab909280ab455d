// A document form: one fixed one-page document, its report loaded from a layout compiled into
// the program. The form owns the report and every control in it for its whole life; the run-time
// labels (aux_...) are bound by name when the form is made, so that a layout lacking one fails at
// start rather than when the operator prints.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class TRLCustomControl;
class TRLLabel;
class TRLMemo;
class TRLReport;

class TFFRDocument {
public:
    virtual ~TFFRDocument();
    TFFRDocument(const TFFRDocument&) = delete;
    TFFRDocument& operator=(const TFFRDocument&) = delete;

    // The document's report.
    TRLReport& RLReport1() const { return *report_; }

    // The control of that name in the report; null when there is none.
    TRLCustomControl* FindControl(const QString& name) const;

    // The resource path of a document's layout ("solicitud" -> ":/documents/solicitud.json").
    static QString LayoutResource(const QString& document);

protected:
    // Reads the layout of the named document; raises TRLException when it cannot be read.
    explicit TFFRDocument(const QString& document);

    // The run-time label or memo of that name; raises TRLException when the layout lacks it or
    // it is of another class.
    TRLLabel* BindLabel(const char* name);
    TRLMemo* BindMemo(const char* name);

private:
    QString document_;
    std::unique_ptr<TRLReport> report_;
};

// Writing the run-time texts. A memo takes its text as lines, split at every line break (CR LF,
// LF or CR alike).
void SetLabelText(TRLLabel& label, const QString& text);
void SetMemoText(TRLMemo& memo, const QString& text);

// Registers every control class the documents use (report, text, graphic and barcode controls)
// and the documents' resources. The forms call it themselves; safe to call again.
void RegisterDocumentClasses();
