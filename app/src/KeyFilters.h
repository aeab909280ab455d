// The character-level key rules of the entry form, apart from the widgets they run on.
#pragma once

#include <QChar>
#include <QString>

class QKeyEvent;

namespace Kelmora {

inline constexpr QChar kCharBackspace{8};
inline constexpr QChar kCharEnter{13};

// The character that a key press types, as a per-character key hook sees it: Enter is CR (13),
// Backspace BS (8), Escape ESC (27), Ctrl with a letter that letter's control character (Ctrl+V
// is 22). Keys that type nothing (arrows, Home, Delete, Tab, function keys, bare modifiers) give
// a null QChar; the hooks leave those keys alone.
QChar TypedCharacter(const QKeyEvent& event);

// The user's decimal separator from the regional settings, "." when they give none.
QString UserDecimalSeparator();

// What the amount filter makes of one typed character: "." and "," become the decimal
// separator; a digit, Backspace or Enter stays as it is; anything else, control characters
// included, gives an empty string and is discarded.
QString MonedaCharacter(QChar typed, const QString& decimalSeparator);

} // namespace Kelmora
