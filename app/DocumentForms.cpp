#include "DocumentForms.h"

std::unique_ptr<TDocumentForms> CreateDocumentForms() {
    // The document layouts are not part of the program yet; the holder keeps the creation
    // step and its place in the start-up order.
    return std::make_unique<TDocumentForms>();
}
