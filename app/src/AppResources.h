// Pictures and fonts that the program's windows share.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

namespace Kelmora {

// Registers the compiled-in pictures and maps the windows' design font onto a face with the
// same widths on this system. Idempotent; every window constructor calls it first.
void PrepareAppResources();

// A picture of the program by resource name (":/kelmora/principal.jpg"), JPEG decoded through
// libjpeg. A null pixmap when the resource is missing or unreadable.
QPixmap AppPicture(const QString& resource);

// A button glyph: the bitmap with its transparent colour, the one of its bottom-left pixel,
// masked out.
QPixmap AppGlyph(const QString& resource);
// The glyph as a button's icon, sharp on screens that scale the desktop.
QIcon AppGlyphIcon(const QString& resource);

// The windows' font: the classic dialog face at 11 px character height.
QFont DesignFont();

// Gives a dialog built from its form a fixed size, the one the form gave it, and a frame with
// only a title, the system menu and a close button.
void FixDialogFrame(QWidget& dialog);

// Moves a top-level window so that its frame is centred on the screen it is on.
void CentreOnScreen(QWidget& window);

} // namespace Kelmora
