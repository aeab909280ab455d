#include "RLReportPreview.h"

#include "RLPreview.h"
#include "RLPreviewForm.h"
#include "RLReport.h"
#include "RLReportHooks.h"

bool PreviewReport(TRLCustomReport& report, QObject* dest) {
    TRLGraphicStorage* pages = &report.Storage();
    if (dest) {
        if (auto* preview = qobject_cast<TRLPreview*>(dest))
            preview->SetPages(pages);
        return true;
    }
    const TRLPreviewOptions& options = report.PreviewOptions();
    if (options.Defaults() == pdIgnoreDefaults) {
        PreviewPagesWithOptions(pages, options.ShowModal(), options.FormStyle(), options.Caption(),
                                options.HelpContext(), options.HelpFile(), options.BorderIcons(),
                                options.WindowState(), options.Position());
    } else {
        PreviewPages(pages);
    }
    return true;
}

void RegisterPreviewHandler() {
    SetReportPreviewHandler(&PreviewReport);
}
