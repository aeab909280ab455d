#include "RLGraphicObject.h"

#include "RLBinaryIO.h"
#include "RLGraphicStorage.h"
#include "RLGraphicSurface.h"

namespace {

void InflatePoint(TRLMetaPoint& p, double xFactor, double yFactor) {
    p.X = RoundHalfEven(p.X * xFactor);
    p.Y = RoundHalfEven(p.Y * yFactor);
}

void WritePoints(TRLPageWriter& writer, const TRLMetaPointArray& points) {
    writer.WriteInt32(static_cast<int32_t>(points.size()));
    for (const TRLMetaPoint& p : points)
        writer.WritePoint(p);
}

TRLMetaPointArray ReadPoints(TRLSpanReader& reader) {
    const int32_t count = reader.ReadCount(8);
    TRLMetaPointArray points;
    points.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        points.push_back(reader.ReadPoint());
    return points;
}

template <class T> const T& Same(const TRLGraphicObject& source) {
    return static_cast<const T&>(source);
}

} // namespace

// --- common part ---

void TRLGraphicObject::SaveToStream(TRLPageWriter& writer) const {
    TRLFieldBlock<24> block;
    block.Rect(BoundsRect);
    block.Int32(GroupId);
    block.Int32(Reserved);
    writer.WriteBlock(block);
}

void TRLGraphicObject::LoadFromStream(TRLSpanReader& reader) {
    BoundsRect = reader.ReadRect();
    GroupId = reader.ReadInt32();
    Reserved = reader.ReadInt32();
}

void TRLGraphicObject::Assign(const TRLGraphicObject& source) {
    BoundsRect = source.BoundsRect;
    GroupId = source.GroupId;
    Reserved = source.Reserved;
}

void TRLGraphicObject::Offset(int32_t dx, int32_t dy) {
    BoundsRect.Left += dx;
    BoundsRect.Right += dx;
    BoundsRect.Top += dy;
    BoundsRect.Bottom += dy;
}

void TRLGraphicObject::Inflate(double xFactor, double yFactor) {
    BoundsRect.Left = RoundHalfEven(BoundsRect.Left * xFactor);
    BoundsRect.Right = RoundHalfEven(BoundsRect.Right * xFactor);
    BoundsRect.Top = RoundHalfEven(BoundsRect.Top * yFactor);
    BoundsRect.Bottom = RoundHalfEven(BoundsRect.Bottom * yFactor);
}

TRLGraphicObject& TRLGraphicObject::Clone(TRLGraphicSurface& target) const {
    TRLGraphicObject* copy = CreateGraphicObject(target, Kind());
    copy->Assign(*this);
    return *copy;
}

TRLGraphicObject* CreateGraphicObject(TRLGraphicSurface& surface, TRLObjectKind kind) {
    switch (kind) {
    case TRLObjectKind::Pixel:
        return &surface.Append<TRLPixelObject>();
    case TRLObjectKind::Line:
        return &surface.Append<TRLLineObject>();
    case TRLObjectKind::Rectangle:
        return &surface.Append<TRLRectangleObject>();
    case TRLObjectKind::Text:
        return &surface.Append<TRLTextObject>();
    case TRLObjectKind::FillRect:
        return &surface.Append<TRLFillRectObject>();
    case TRLObjectKind::Ellipse:
        return &surface.Append<TRLEllipseObject>();
    case TRLObjectKind::Polygon:
        return &surface.Append<TRLPolygonObject>();
    case TRLObjectKind::Polyline:
        return &surface.Append<TRLPolylineObject>();
    case TRLObjectKind::Image:
        return &surface.Append<TRLImageObject>();
    case TRLObjectKind::SetClipRect:
        return &surface.Append<TRLSetClipRectObject>();
    case TRLObjectKind::ResetClipRect:
        return &surface.Append<TRLResetClipRectObject>();
    }
    return nullptr;
}

// --- pixel ---

void TRLPixelObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WriteColor(Color);
}
void TRLPixelObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Color = reader.ReadColor();
}
void TRLPixelObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    Color = Same<TRLPixelObject>(source).Color;
}

// --- line ---

void TRLLineObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    TRLFieldBlock<29> block;
    block.Point(FromPoint);
    block.Point(ToPoint);
    block.Pen(Pen);
    block.Brush(Brush);
    writer.WriteBlock(block);
}
void TRLLineObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    FromPoint = reader.ReadPoint();
    ToPoint = reader.ReadPoint();
    Pen = reader.ReadPen();
    Brush = reader.ReadBrush();
}
void TRLLineObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    const auto& s = Same<TRLLineObject>(source);
    FromPoint = s.FromPoint;
    ToPoint = s.ToPoint;
    Pen = s.Pen;
    Brush = s.Brush;
}
void TRLLineObject::Offset(int32_t dx, int32_t dy) {
    TRLGraphicObject::Offset(dx, dy);
    FromPoint = {FromPoint.X + dx, FromPoint.Y + dy};
    ToPoint = {ToPoint.X + dx, ToPoint.Y + dy};
}
void TRLLineObject::Inflate(double xFactor, double yFactor) {
    TRLGraphicObject::Inflate(xFactor, yFactor);
    InflatePoint(FromPoint, xFactor, yFactor);
    InflatePoint(ToPoint, xFactor, yFactor);
    Pen.Inflate(xFactor);
}

// --- rectangle ---

void TRLRectangleObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WritePen(Pen);
    writer.WriteBrush(Brush);
}
void TRLRectangleObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Pen = reader.ReadPen();
    Brush = reader.ReadBrush();
}
void TRLRectangleObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    Pen = Same<TRLRectangleObject>(source).Pen;
    Brush = Same<TRLRectangleObject>(source).Brush;
}
void TRLRectangleObject::Inflate(double xFactor, double yFactor) {
    TRLGraphicObject::Inflate(xFactor, yFactor);
    Pen.Inflate(xFactor);
}

// --- text ---

void TRLTextObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    TRLFieldBlock<12> block;
    block.Byte(Alignment);
    block.Byte(Layout);
    block.Point(Origin);
    block.UInt16(TextFlags);
    writer.WriteBlock(block);
    writer.WriteCountedString(Text);
    writer.WriteBrush(Brush);
    writer.WriteFont(Font);
}
void TRLTextObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Alignment = reader.ReadByte();
    Layout = reader.ReadByte();
    Origin = reader.ReadPoint();
    TextFlags = reader.ReadUInt16();
    Text = reader.ReadCountedString();
    Brush = reader.ReadBrush();
    Font = reader.ReadFont();
}
void TRLTextObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    const auto& s = Same<TRLTextObject>(source);
    Brush = s.Brush;
    Font = s.Font;
    // The name index is only meaningful in the source page's font list.
    SetFontName(s.FontName());
    Text = s.Text;
    Origin = s.Origin;
    Alignment = s.Alignment;
    Layout = s.Layout;
    TextFlags = s.TextFlags;
}
void TRLTextObject::Offset(int32_t dx, int32_t dy) {
    TRLGraphicObject::Offset(dx, dy);
    Origin = {Origin.X + dx, Origin.Y + dy};
}
void TRLTextObject::Inflate(double xFactor, double yFactor) {
    TRLGraphicObject::Inflate(xFactor, yFactor);
    InflatePoint(Origin, xFactor, yFactor);
    Font.Size = RoundHalfEven(Font.Size * yFactor);
}
QString TRLTextObject::FontName() const {
    const QStringList& fonts = Surface().Fonts();
    return Font.NameIndex >= 0 && Font.NameIndex < fonts.size() ? fonts[Font.NameIndex] : QString();
}
void TRLTextObject::SetFontName(const QString& name) {
    Font.NameIndex = Surface().FontIndex(name);
}
QString TRLTextObject::DisplayText() const {
    return Surface().ExpandMacros(Text);
}

// --- filled rectangle ---

void TRLFillRectObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WriteBrush(Brush);
}
void TRLFillRectObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Brush = reader.ReadBrush();
}
void TRLFillRectObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    Brush = Same<TRLFillRectObject>(source).Brush;
}

// --- ellipse ---

void TRLEllipseObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WritePen(Pen);
    writer.WriteBrush(Brush);
}
void TRLEllipseObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Pen = reader.ReadPen();
    Brush = reader.ReadBrush();
}
void TRLEllipseObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    Pen = Same<TRLEllipseObject>(source).Pen;
    Brush = Same<TRLEllipseObject>(source).Brush;
}
void TRLEllipseObject::Inflate(double xFactor, double yFactor) {
    TRLGraphicObject::Inflate(xFactor, yFactor);
    Pen.Inflate(xFactor);
}

// --- polygon ---

void TRLPolygonObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WritePen(Pen);
    writer.WriteBrush(Brush);
    WritePoints(writer, Points);
}
void TRLPolygonObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Pen = reader.ReadPen();
    Brush = reader.ReadBrush();
    Points = ReadPoints(reader);
}
void TRLPolygonObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    const auto& s = Same<TRLPolygonObject>(source);
    Pen = s.Pen;
    Brush = s.Brush;
    Points = s.Points;
}
void TRLPolygonObject::Offset(int32_t dx, int32_t dy) {
    TRLGraphicObject::Offset(dx, dy);
    for (TRLMetaPoint& p : Points)
        p = {p.X + dx, p.Y + dy};
}
void TRLPolygonObject::Inflate(double xFactor, double yFactor) {
    TRLGraphicObject::Inflate(xFactor, yFactor);
    for (TRLMetaPoint& p : Points)
        InflatePoint(p, xFactor, yFactor);
    Pen.Inflate(xFactor);
}

// --- polyline ---

void TRLPolylineObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WritePen(Pen);
    WritePoints(writer, Points);
}
void TRLPolylineObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Pen = reader.ReadPen();
    Points = ReadPoints(reader);
}
void TRLPolylineObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    Pen = Same<TRLPolylineObject>(source).Pen;
    Points = Same<TRLPolylineObject>(source).Points;
}
void TRLPolylineObject::Offset(int32_t dx, int32_t dy) {
    TRLGraphicObject::Offset(dx, dy);
    for (TRLMetaPoint& p : Points)
        p = {p.X + dx, p.Y + dy};
}
void TRLPolylineObject::Inflate(double xFactor, double yFactor) {
    TRLGraphicObject::Inflate(xFactor, yFactor);
    for (TRLMetaPoint& p : Points)
        InflatePoint(p, xFactor, yFactor);
    Pen.Inflate(xFactor);
}

// --- image ---

void TRLImageObject::SaveToStream(TRLPageWriter& writer) const {
    TRLGraphicObject::SaveToStream(writer);
    writer.WriteCountedBytes(Data);
    writer.WriteByte(Parity ? 1 : 0);
}
void TRLImageObject::LoadFromStream(TRLSpanReader& reader) {
    TRLGraphicObject::LoadFromStream(reader);
    Data = reader.ReadCountedBytes();
    Parity = reader.ReadByte() != 0;
}
void TRLImageObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObject::Assign(source);
    Data = Same<TRLImageObject>(source).Data;
    Parity = Same<TRLImageObject>(source).Parity;
}
