#include "RLDump.h"

#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicStorage.h>

#include <QJsonArray>

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
    switch (kind) {
    case TRLObjectKind::Pixel:
        return "pixel";
    case TRLObjectKind::Line:
        return "line";
    case TRLObjectKind::Rectangle:
        return "rectangle";
    case TRLObjectKind::Text:
        return "text";
    case TRLObjectKind::FillRect:
        return "fillRect";
    case TRLObjectKind::Ellipse:
        return "ellipse";
    case TRLObjectKind::Polygon:
        return "polygon";
    case TRLObjectKind::Polyline:
        return "polyline";
    case TRLObjectKind::Image:
        return "image";
    case TRLObjectKind::SetClipRect:
        return "setClipRect";
    case TRLObjectKind::ResetClipRect:
        return "resetClipRect";
    }
    return "unknown";
}

QJsonObject DumpObject(const TRLGraphicObject& object) {
    QJsonObject o{{"kind", KindName(object.Kind())},
                  {"bounds", Rect(object.BoundsRect)},
                  {"groupId", object.GroupId}};
    switch (object.Kind()) {
    case TRLObjectKind::Pixel:
        o["color"] = ColorText(static_cast<const TRLPixelObject&>(object).Color);
        break;
    case TRLObjectKind::Line: {
        const auto& line = static_cast<const TRLLineObject&>(object);
        o["fromPoint"] = Point(line.FromPoint);
        o["toPoint"] = Point(line.ToPoint);
        o["pen"] = Pen(line.Pen);
        o["brush"] = Brush(line.Brush);
        break;
    }
    case TRLObjectKind::Rectangle: {
        const auto& rect = static_cast<const TRLRectangleObject&>(object);
        o["pen"] = Pen(rect.Pen);
        o["brush"] = Brush(rect.Brush);
        break;
    }
    case TRLObjectKind::Text: {
        const auto& text = static_cast<const TRLTextObject&>(object);
        o["text"] = text.Text;
        o["origin"] = Point(text.Origin);
        o["alignment"] = text.Alignment;
        o["layout"] = text.Layout;
        o["textFlags"] = text.TextFlags;
        o["brush"] = Brush(text.Brush);
        o["font"] = Font(text);
        break;
    }
    case TRLObjectKind::FillRect:
        o["brush"] = Brush(static_cast<const TRLFillRectObject&>(object).Brush);
        break;
    case TRLObjectKind::Ellipse: {
        const auto& ellipse = static_cast<const TRLEllipseObject&>(object);
        o["pen"] = Pen(ellipse.Pen);
        o["brush"] = Brush(ellipse.Brush);
        break;
    }
    case TRLObjectKind::Polygon: {
        const auto& polygon = static_cast<const TRLPolygonObject&>(object);
        o["pen"] = Pen(polygon.Pen);
        o["brush"] = Brush(polygon.Brush);
        o["points"] = Points(polygon.Points);
        break;
    }
    case TRLObjectKind::Polyline: {
        const auto& polyline = static_cast<const TRLPolylineObject&>(object);
        o["pen"] = Pen(polyline.Pen);
        o["points"] = Points(polyline.Points);
        break;
    }
    case TRLObjectKind::Image: {
        const auto& image = static_cast<const TRLImageObject&>(object);
        const QByteArray tag = image.Data.left(3);
        const QImage picture = DecodeTaggedData(image.Data);
        o["format"] =
            tag == "BMP" || tag == "ICO" ? QString::fromLatin1(tag) : QStringLiteral("NIL");
        o["imageWidth"] = picture.width();
        o["imageHeight"] = picture.height();
        o["parity"] = image.Parity;
        break;
    }
    case TRLObjectKind::SetClipRect:
    case TRLObjectKind::ResetClipRect:
        break;
    }
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
