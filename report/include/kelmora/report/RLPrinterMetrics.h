/// @file
/// Printer metrics as the report needs them for adjustable margins. The output layer registers
/// a provider at start-up; until then (and whenever the printer cannot be read) the fallback
/// values of a 300-per-inch letter-sized page apply.
#pragma once

namespace Kelmora {

struct TRLPrinterMetrics {
    int PPIX = 300; // printer pixels per inch
    int PPIY = 300;
    int PhysicalWidth = 2550; // printer pixels
    int PhysicalHeight = 3300;
    /// Non-printable margins in printer pixels.
    int MarginLeft = 75;
    int MarginTop = 75;
    int MarginRight = 75;
    int MarginBottom = 75;
};

using TRLPrinterMetricsProvider = TRLPrinterMetrics (*)();

void SetPrinterMetricsProvider(TRLPrinterMetricsProvider provider);
/// The provider's answer, or the fallback values when none is registered.
TRLPrinterMetrics CurrentPrinterMetrics();

} // namespace Kelmora
