/// @file
/// Start-up registration of the text and graphic control classes (see RLRegistry.h).
#pragma once

namespace Kelmora {

/// Registers TRLLabel, TRLSystemInfo, TRLMemo, TRLImage and TRLDraw with their published
/// properties, and the TRLPenSettings and TRLBrushSettings objects of TRLDraw, after the report
/// library's own classes (RegisterReportClasses). Safe to call more than once.
void RegisterTextAndGraphicClasses();

} // namespace Kelmora
