#include <kelmora/report/RLReportHooks.h>

#include <atomic>

namespace Kelmora {

namespace {
std::atomic<TRLProgressFactory> progressFactory{nullptr};
std::atomic<TRLPreviewHandler> previewHandler{nullptr};
std::atomic<TRLPrintHandler> printHandler{nullptr};
} // namespace

void SetReportProgressFactory(TRLProgressFactory factory) {
    progressFactory = factory;
}
void SetReportPreviewHandler(TRLPreviewHandler handler) {
    previewHandler = handler;
}
void SetReportPrintHandler(TRLPrintHandler handler) {
    printHandler = handler;
}
TRLProgressFactory ReportProgressFactory() {
    return progressFactory;
}
TRLPreviewHandler ReportPreviewHandler() {
    return previewHandler;
}
TRLPrintHandler ReportPrintHandler() {
    return printHandler;
}

} // namespace Kelmora
