/// @file
/// Where the document forms meet the program. The three forms (request, private vehicle
/// statement, sworn statement) hold the reports that the filling run fills; they are created once
/// at start after the request form and before the About box, in that order, and owned by the
/// program until it ends. The operator never sees them as windows.
#pragma once

#include <functional>
#include <memory>

namespace Kelmora {

class TFFRSolicitud;
class TFFRVehiculoParticular;
class TFFRDeclaracionJurada;

class TDocumentForms {
public:
    /// Loads the three layouts, in the program's order; raises TRLException when one cannot be
    /// read.
    TDocumentForms();
    virtual ~TDocumentForms();
    TDocumentForms(const TDocumentForms&) = delete;
    TDocumentForms& operator=(const TDocumentForms&) = delete;

    /// The forms of the program: the most recently made holder that still exists, or null.
    /// "Imprimir" reaches the documents through this, as the entry form knows nothing of them.
    static TDocumentForms* Current();

    std::unique_ptr<TFFRSolicitud> FFRSolicitud;
    std::unique_ptr<TFFRVehiculoParticular> FFRVehiculoParticular;
    std::unique_ptr<TFFRDeclaracionJurada> FFRDeclaracionJurada;
};

using TDocumentFormsFactory = std::function<std::unique_ptr<TDocumentForms>()>;

/// The program's factory for its document forms.
std::unique_ptr<TDocumentForms> CreateDocumentForms();

/// The program's save filters, PDF and PDF/A, which name the faculty as the documents' author.
/// Run at start-up; safe to run again.
void RegisterDocumentSaveFilters();

} // namespace Kelmora
