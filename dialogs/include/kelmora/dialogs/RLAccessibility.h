/// @file
/// What the engine's windows tell assistive technology and the desktop beyond what the toolkit
/// guesses from a widget's class: the role of a widget, and message icons as sharp as the screen.
#pragma once

#include <QAccessible>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>

class QWidget;

namespace Kelmora {

/// Gives a widget the role a screen reader announces it by, where its class says something else:
/// a frame holding tool buttons is a tool bar, a sunken line a separator, a plain top-level widget
/// a window. Call it before the widget is first shown; the toolkit keeps what it answered once.
void SetAccessibleRole(QWidget& widget, QAccessible::Role role);

/// A message box's standard icon (information, warning, critical, question) drawn at size by
/// size logical pixels for a screen of the given pixel ratio, so that it stays sharp on a screen
/// that doubles everything; the toolkit's own are small pictures that blur when scaled. Null for
/// NoIcon.
QPixmap MessageIconPixmap(QMessageBox::Icon icon, int size, qreal devicePixelRatio);

/// A small picture drawn pixel by pixel (a tool button's glyph) as an icon that stays sharp on a
/// screen that doubles or triples everything: each pixel becomes a square of pixels there rather
/// than the blur that smooth scaling makes of so few.
QIcon SharpGlyphIcon(const QImage& glyph);

/// Puts the sharp picture of its standard icon into a message box, for the screen it is on.
void UseSharpMessageIcon(QMessageBox& box);

/// A failure shown in a modal message box with a sharp icon, as QMessageBox::critical would.
void ShowCriticalMessage(QWidget* parent, const QString& title, const QString& text);

} // namespace Kelmora
