#include <kelmora/app/DocumentForms.h>

#include <kelmora/documents/FFRDeclaracionJurada.h>
#include <kelmora/documents/FFRSolicitud.h>
#include <kelmora/documents/FFRVehiculoParticular.h>
#include <kelmora/pdf/RLPdfFilter.h>

#include <algorithm>
#include <vector>

namespace Kelmora {

namespace {

// Every holder alive, oldest first. Only the user-interface thread makes and drops them.
std::vector<TDocumentForms*>& LiveForms() {
    static std::vector<TDocumentForms*> forms;
    return forms;
}

} // namespace

TDocumentForms::TDocumentForms()
    : FFRSolicitud(std::make_unique<TFFRSolicitud>()),
      FFRVehiculoParticular(std::make_unique<TFFRVehiculoParticular>()),
      FFRDeclaracionJurada(std::make_unique<TFFRDeclaracionJurada>()) {
    LiveForms().push_back(this);
}

TDocumentForms::~TDocumentForms() {
    auto& live = LiveForms();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

TDocumentForms* TDocumentForms::Current() {
    const auto& live = LiveForms();
    return live.empty() ? nullptr : live.back();
}

std::unique_ptr<TDocumentForms> CreateDocumentForms() {
    return std::make_unique<TDocumentForms>();
}

void RegisterDocumentSaveFilters() {
    const QString author = QStringLiteral("Fac. de Corvath");
    RegisterPdfFilter().SetAuthor(author);
    RegisterPdfaFilter().SetAuthor(author);
}

} // namespace Kelmora
