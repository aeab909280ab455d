// Where the document forms meet the program. The three forms (request, private vehicle
// statement, sworn statement) hold the reports that the filling run fills; they are made in
// documents/, created once at start after the request form and before the About box, in that
// order, and owned by the program until it ends. The operator never sees them as windows.
#pragma once

#include <functional>
#include <memory>

class TDocumentForms {
public:
    virtual ~TDocumentForms() = default;
};

using TDocumentFormsFactory = std::function<std::unique_ptr<TDocumentForms>()>;

// The program's factory for its document forms. It makes an empty holder until the document
// layouts are linked into the program.
std::unique_ptr<TDocumentForms> CreateDocumentForms();
