/// @file
/// The look shared by the engine's windows and dialogs (print, save, progress, find, preview):
/// one dialog font, and controls placed by design coordinates that make room for texts longer
/// than the design's, as translations are.
#pragma once

#include <QFont>

class QScreen;
class QWidget;

namespace Kelmora {

/// The classic dialog face at 11 pixels (8 points at 96 pixels per inch), or its metric
/// look-alike where the classic face is not installed.
QFont EngineDialogFont();

/// Makes every caption of a window built from design coordinates fit: a label, check box, radio
/// button, push button or group box whose text needs more width than it was given grows to it;
/// the controls to its right on the same rows, and those lined up with them, move right with it;
/// a group box's controls move below its title when the title needs more height; a parent grows
/// around what it holds, and a fixed-size window grows with its fixed size. Push buttons near a
/// parent's right edge keep their distance to that edge. Call once, after the window is built.
void FitTextsToControls(QWidget& window);

/// The screen a window belongs on: that of its parent's window or of its transient parent, else
/// the one under the mouse pointer, else the primary one.
QScreen* ScreenForWindow(const QWidget& window);

/// Centres a top-level window's frame on the available area of the screen it belongs on.
void CentreOnItsScreen(QWidget& window);

} // namespace Kelmora
