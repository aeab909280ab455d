// The run that "Imprimir" starts: fill the documents from the request and open their previews.
#pragma once

#include "DatosSolicitud.h"

#include <functional>

class QWidget;

// Fills the document forms from the request, opens their previews and tells the operator how
// many forms there are to print; parent is the entry form, over which the message box appears.
void RunFillingRun(const TDatosSolicitud& datos, QWidget* parent);

// The form calls the run through this type so that tests can watch what it hands over.
using TFillingRun = std::function<void(const TDatosSolicitud&, QWidget*)>;
