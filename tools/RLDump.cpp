#include "RLDump.h"

#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicStorage.h>

#include <QJsonArray>

#include <iterator>

namespace Kelmora {

namespace {

QString ColorText(const TRLMetaColor& c) {
    return c.ToColor().name(QColor::HexRgb).toUpper();
}

QJsonArray Rect(const TRLMetaRect& r) {
    return {r.Left, r.Top, r.Right, r.Bottom};
}

QJsonArray Point(const TRLMetaPoint& p) {
    return {p.X, p.Y};
}

QJsonArray Points(const TRLMetaPointArray& points) {
    QJsonArray array;
    for (const TRLMetaPoint& p : points)
        array.append(Point(p));
    return array;
}

QJsonObject Pen(const TRLMetaPen& pen) {
    return {{"color", ColorText(pen.Color)},
            {"mode", pen.Mode},
            {"style", pen.Style},
            {"width", pen.Width}};
}

QJsonObject Brush(const TRLMetaBrush& brush) {
    return {{"color", ColorText(brush.Color)}, {"style", brush.Style}};
}

QJsonObject Font(const TRLTextObject& text) {
    const TRLMetaFont& f = text.Font;
    return {
        {"name", text.FontName()}, {"nameIndex", f.NameIndex}, {"size", f.Size},
        {"height", f.Height},      {"style", f.Style},         {"color", ColorText(f.Color)},
        {"charset", f.Charset},    {"pitch", f.Pitch},         {"pixelsPerInch", f.PixelsPerInch}};
}

QJsonObject Macros(const TRLMacroList& macros) {
    QJsonObject object;
    for (const QString& entry : macros.Entries()) {
        const int eq = entry.indexOf(QLatin1Char('='));
        object.insert(eq < 0 ? entry : entry.left(eq), eq < 0 ? QString() : entry.mid(eq + 1));
    }
    return object;
}

const char* KindName(TRLObjectKind kind) {
    // By kind number, from the pixel's 1 on.
    constexpr const char* names[] = {"pixel",    "line",        "rectangle",    "text",
                                     "fillRect", "ellipse",     "polygon",      "polyline",
                                     "image",    "setClipRect", "resetClipRect"};
    const auto index = static_cast<size_t>(kind) - 1;
    return index < std::size(names) ? names[index] : "unknown";
}

// The fields that several kinds have, under the same names; the kinds with fields of their own
// have functions of their own below.
template <class Object> void DumpFields(QJsonObject& o, const Object& object) {
    if constexpr (requires { object.Pen; })
        o["pen"] = Pen(object.Pen);
    if constexpr (requires { object.Brush; })
        o["brush"] = Brush(object.Brush);
    if constexpr (requires { object.Points; })
        o["points"] = Points(object.Points);
}

void DumpFields(QJsonObject& o, const TRLPixelObject& pixel) {
    o["color"] = ColorText(pixel.Color);
}

void DumpFields(QJsonObject& o, const TRLLineObject& line) {
    o["fromPoint"] = Point(line.FromPoint);
    o["toPoint"] = Point(line.ToPoint);
    o["pen"] = Pen(line.Pen);
    o["brush"] = Brush(line.Brush);
}

void DumpFields(QJsonObject& o, const TRLTextObject& text) {
    o["text"] = text.Text;
    o["origin"] = Point(text.Origin);
    o["alignment"] = text.Alignment;
    o["layout"] = text.Layout;
    o["textFlags"] = text.TextFlags;
    o["brush"] = Brush(text.Brush);
    o["font"] = Font(text);
}

void DumpFields(QJsonObject& o, const TRLImageObject& image) {
    const QByteArray tag = image.Data.left(3);
    const QImage picture = DecodeTaggedData(image.Data);
    o["format"] = tag == "BMP" || tag == "ICO" ? QString::fromLatin1(tag) : QStringLiteral("NIL");
    o["imageWidth"] = picture.width();
    o["imageHeight"] = picture.height();
    o["parity"] = image.Parity;
}

QJsonObject DumpObject(const TRLGraphicObject& object) {
    QJsonObject o{{"kind", KindName(object.Kind())},
                  {"bounds", Rect(object.BoundsRect)},
                  {"groupId", object.GroupId}};
    VisitGraphicObject(object, [&o](const auto& typed) { DumpFields(o, typed); });
    return o;
}

} // namespace

QJsonObject DumpPage(const TRLGraphicSurface& page) {
    QJsonArray objects;
    for (const auto& object : page.Objects())
        objects.append(DumpObject(*object));
    return {{"width", page.Width()},
            {"height", page.Height()},
            {"macros", Macros(page.Macros())},
            {"fonts", QJsonArray::fromStringList(page.Fonts())},
            {"objects", objects}};
}

QJsonObject DumpStorage(TRLGraphicStorage& storage, int version) {
    QJsonArray pages;
    for (int i = 0; i < storage.PageCount(); ++i)
        pages.append(DumpPage(*storage.Pages(i)));
    return {{"version", version}, {"macros", Macros(storage.Macros())}, {"pages", pages}};
}

} // namespace Kelmora
