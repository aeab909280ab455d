/// @file
/// How a report shows its prepared pages: in a given preview control, or in a preview window
/// opened with the report's own options or the process-wide defaults.
#pragma once

class QObject;

namespace Kelmora {

class TRLCustomReport;

/// The report's last preview step. dest, when given, must be a TRLPreview: it gets the report's
/// page store. Without dest a preview window opens. Returns true, as the report's Preview does
/// once its pages are prepared.
bool PreviewReport(TRLCustomReport& report, QObject* dest);

/// Makes PreviewReport the report layer's preview handler. Run once at start-up.
void RegisterPreviewHandler();

} // namespace Kelmora
