/// @file
/// The process-wide settings of preview windows, used when a report asks for the defaults.
#pragma once

#include <kelmora/report/RLReportTypes.h>

#include <QString>

namespace Kelmora {

/// Zoom settings below 0 choose a fit instead of a percentage.
inline constexpr double PreviewZoomFullWidth = -1;
inline constexpr double PreviewZoomFullPage = -2;
inline constexpr double PreviewZoomMultiplePages = -3;

struct TRLPreviewDefaults {
    /// Every preview window writes its state here when it closes, so that the next one that
    /// uses the defaults opens the same way.
    TRLWindowState WindowState = wsMaximized;
    TRLFormStyle FormStyle = fsNormal;
    bool ShowModal = false;
    TRLFormPosition Position = poScreenCenter;
    TRLBorderIcons BorderIcons{biSystemMenu, biMinimize, biMaximize};
    QString HelpFile;
    int HelpContext = 0;
    /// Empty keeps the window's own caption.
    QString Caption;
    /// A percentage, or one of the PreviewZoom... fits; anything else leaves the view at 100.
    double Zoom = 100;
};

/// The settings shared by every preview window of the process (user-interface thread only).
extern TRLPreviewDefaults PreviewDefaults;

} // namespace Kelmora
