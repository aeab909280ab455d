// Value names that layouts use beyond the registry's enumerations (the platform colour names
// clWhite, clBtnFace, ... and the font pitch names), and the message for JSON that does not
// parse.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QJsonParseError>
#include <QString>
#include <QStringList>

namespace Kelmora {

// The colour of a layout colour text: "#RRGGBB" or a platform colour name in its own case
// (clBlack, clWindow, ...). System colours resolve to the classic desktop's default RGB values
// so that a layout prints the same everywhere. False when the text is neither.
bool LayoutColorFromText(const QString& text, QColor& color);

// Every platform colour name LayoutColorFromText knows.
QStringList LayoutColorNames();

// fpDefault, fpVariable, fpFixed in the order of TRLFontPitch.
const QStringList& FontPitchNames();

// "NAME:LINE:COLUMN: malformed JSON: REASON" for a parse error in json, counting lines from 1
// and columns from 1 in characters.
QString JsonErrorText(const QString& displayName, const QByteArray& json,
                      const QJsonParseError& error);

} // namespace Kelmora
