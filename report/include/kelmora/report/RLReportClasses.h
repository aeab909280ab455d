/// @file
/// Start-up registration of the report library's classes (see RLRegistry.h), and the pieces
/// that other control libraries reuse when they register theirs.
#pragma once

#include <kelmora/report/RLRegistry.h>

#include <QStringList>

#include <vector>

namespace Kelmora {

/// Copies of the common control and site property descriptors, by name, in the order given:
/// a class that publishes a subset of its base's properties starts its table with these.
/// Names: Left Top Width Height Align Alignment Anchors AutoSize Behavior Borders Caption Color
/// Font FriendlyName Holder SecondHolder HoldStyle SecondHoldStyle Layout ParentColor ParentFont
/// RealBounds Transparent Visible; sites also Background Degrade Margins InsideMargins.
std::vector<TRLPropertyInfo> ControlPropertySubset(const QStringList& names);

/// The TRLPaperSize value names in ordinal order.
const QStringList& PaperSizeNames();

} // namespace Kelmora
