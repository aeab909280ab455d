#include <kelmora/report/RLPrinterMetrics.h>

#include <atomic>

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
