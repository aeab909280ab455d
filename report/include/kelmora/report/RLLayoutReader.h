/// @file
/// Reading layouts: a control tree described as JSON, one object per control.
///
///   { "class": "TRLReport", "name": "RLReport1", "Font": { "Name": "Arial", "Size": 10 },
///     "children": [ { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", ... } ] }
///
/// The root object may carry "$schema", the address of the JSON schema an editor checks the file
/// against (docs/layout.schema.json); the reader passes it by.
///
/// "class", "name" and "children" are reserved; every other key is a published property of the
/// class under its exact name, written in the JSON form of its kind: numbers, booleans and
/// strings as such, enumerations by value name, sets as arrays of value names, colours as
/// "#RRGGBB" or a platform colour name, fonts and nested settings objects as objects, string
/// lists as arrays of strings, pictures as a path relative to the layout file (or a ":/"
/// resource), references to other controls by name. Properties not given keep their defaults.
///
/// Properties are set in the order in which the class publishes them (base classes first), not
/// in the order of the file: several setters depend on one another (PaperSize before
/// PaperWidth, Sides before DrawLeft, Font before ParentFont), and a JSON object keeps no order.
/// References are resolved once the whole tree exists; then every control is told that loading
/// has ended, children before their parents.
///
/// The classes a layout names must be registered first (RegisterReportClasses and the start-up
/// functions of the other control libraries).
///
/// Any error raises a TRLException whose message starts with the layout's name and names the
/// control and property ("doc.json: RLLabel3.Font.Style: unknown value "fsBolt" ..."); the tree
/// built so far is destroyed then, so a failed read leaves nothing behind.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace Kelmora {

class TRLCustomControl;
class TRLReport;
struct TRLPropertyInfo;

/// Positions, sizes, margins and other numbers of a layout are refused beyond this either way:
/// they are added up as a report lays out (a control's place on the page is the sum of its
/// parents'), in report pixels held as int, and no page needs more.
inline constexpr double LayoutNumberLimit = 1'000'000;

/// The whole-number properties that are counts or identifiers, never laid out: they take any int.
bool IsLayoutCount(const TRLPropertyInfo& property);

/// The largest layout file read, 16 MB: layouts are a few kilobytes (their pictures are files of
/// their own), and a file, pipe or device that gives more is refused before it is held.
inline constexpr qint64 MaxLayoutFileBytes = 16 * 1024 * 1024;

/// Reads the layout file at path; relative picture paths are taken from the file's folder.
std::unique_ptr<TRLCustomControl> ReadLayout(const QString& path);

/// Reads a layout held in memory. displayName stands for the source in messages; relative picture
/// paths are taken from baseDir.
std::unique_ptr<TRLCustomControl>
ReadLayoutFromJson(const QByteArray& json, const QString& displayName, const QString& baseDir);

/// The same for a layout whose root must be a TRLReport.
std::unique_ptr<TRLReport> ReadReportLayout(const QString& path);
std::unique_ptr<TRLReport> ReadReportLayoutFromJson(const QByteArray& json,
                                                    const QString& displayName,
                                                    const QString& baseDir);

} // namespace Kelmora
