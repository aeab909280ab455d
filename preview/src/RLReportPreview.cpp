#include <kelmora/preview/RLReportPreview.h>

#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLReportHooks.h>

namespace Kelmora {

bool PreviewReport(TRLCustomReport& report, QObject* dest) {
    TRLGraphicStorage* pages = &report.Storage();
    // The window's print command starts from the report's own filter.
    if (auto* filter = qobject_cast<TRLCustomPrintFilter*>(report.DefaultFilter()))
        PrintParams().SetFilter(filter);
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

} // namespace Kelmora
