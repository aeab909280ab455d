#include <kelmora/report/RLPrinterMetrics.h>

#include <atomic>

namespace Kelmora {

namespace {
std::atomic<TRLPrinterMetricsProvider> metricsProvider{nullptr};
}

void SetPrinterMetricsProvider(TRLPrinterMetricsProvider provider) {
    metricsProvider = provider;
}

TRLPrinterMetrics CurrentPrinterMetrics() {
    const TRLPrinterMetricsProvider provider = metricsProvider;
    return provider ? provider() : TRLPrinterMetrics{};
}

} // namespace Kelmora
