#include <kelmora/pagestore/RLGraphicObject.h>

#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

namespace Kelmora {

namespace {

void InflatePoint(TRLMetaPoint& p, double xFactor, double yFactor) {
    p.X = RoundHalfEven(p.X * xFactor);
    p.Y = RoundHalfEven(p.Y * yFactor);
}

} // namespace

// --- fields ---

namespace RLObjectField {

void Write(TRLPageWriter& writer, uint8_t value) {
    writer.WriteByte(value);
}
void Write(TRLPageWriter& writer, uint16_t value) {
    TRLFieldBlock<2> block;
    block.UInt16(value);
    writer.WriteBlock(block);
}
void Write(TRLPageWriter& writer, bool value) {
    writer.WriteByte(value ? 1 : 0);
}
void Write(TRLPageWriter& writer, const TRLMetaColor& value) {
    writer.WriteColor(value);
}
void Write(TRLPageWriter& writer, const TRLMetaPoint& value) {
    writer.WritePoint(value);
}
void Write(TRLPageWriter& writer, const TRLMetaPointArray& value) {
    writer.WriteInt32(static_cast<int32_t>(value.size()));
    for (const TRLMetaPoint& p : value)
        writer.WritePoint(p);
}
void Write(TRLPageWriter& writer, const TRLMetaPen& value) {
    writer.WritePen(value);
}
void Write(TRLPageWriter& writer, const TRLMetaBrush& value) {
    writer.WriteBrush(value);
}
void Write(TRLPageWriter& writer, const TRLMetaFont& value) {
    writer.WriteFont(value);
}
void Write(TRLPageWriter& writer, const QString& value) {
    writer.WriteCountedString(value);
}
void Write(TRLPageWriter& writer, const QByteArray& value) {
    writer.WriteCountedBytes(value);
}

void Read(TRLSpanReader& reader, uint8_t& value) {
    value = reader.ReadByte();
}
void Read(TRLSpanReader& reader, uint16_t& value) {
    value = reader.ReadUInt16();
}
void Read(TRLSpanReader& reader, bool& value) {
    value = reader.ReadByte() != 0;
}
void Read(TRLSpanReader& reader, TRLMetaColor& value) {
    value = reader.ReadColor();
}
void Read(TRLSpanReader& reader, TRLMetaPoint& value) {
    value = reader.ReadPoint();
}
void Read(TRLSpanReader& reader, TRLMetaPointArray& value) {
    const int32_t count = reader.ReadCount(8);
    TRLMetaPointArray points;
    points.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        points.push_back(reader.ReadPoint());
    value = std::move(points);
}
void Read(TRLSpanReader& reader, TRLMetaPen& value) {
    value = reader.ReadPen();
}
void Read(TRLSpanReader& reader, TRLMetaBrush& value) {
    value = reader.ReadBrush();
}
void Read(TRLSpanReader& reader, TRLMetaFont& value) {
    value = reader.ReadFont();
}
void Read(TRLSpanReader& reader, QString& value) {
    value = reader.ReadCountedString();
}
void Read(TRLSpanReader& reader, QByteArray& value) {
    value = reader.ReadCountedBytes();
}

void Offset(TRLMetaPoint& value, int32_t dx, int32_t dy) {
    value = {value.X + dx, value.Y + dy};
}
void Offset(TRLMetaPointArray& value, int32_t dx, int32_t dy) {
    for (TRLMetaPoint& p : value)
        Offset(p, dx, dy);
}

void Inflate(TRLMetaPoint& value, double xFactor, double yFactor) {
    InflatePoint(value, xFactor, yFactor);
}
void Inflate(TRLMetaPointArray& value, double xFactor, double yFactor) {
    for (TRLMetaPoint& p : value)
        InflatePoint(p, xFactor, yFactor);
}
void Inflate(TRLMetaPen& value, double xFactor, double) {
    value.Inflate(xFactor);
}
void Inflate(TRLMetaFont& value, double, double yFactor) {
    value.Size = RoundHalfEven(value.Size * yFactor);
}

} // namespace RLObjectField

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
    TRLGraphicObject* created = nullptr;
    TRLObjectClasses::ForEach([&](auto type) {
        using Class = typename decltype(type)::type;
        if (kind == Class::StaticKind)
            created = &surface.Append<Class>();
    });
    return created;
}

// --- text ---

void TRLTextObject::Assign(const TRLGraphicObject& source) {
    TRLGraphicObjectOf::Assign(source);
    SetFontName(static_cast<const TRLTextObject&>(source).FontName());
}
void TRLTextObject::MoveToSurface(TRLGraphicSurface& target) {
    // The old page and its list stay while the object moves.
    const QString& name = FontName();
    TRLGraphicObjectOf::MoveToSurface(target);
    SetFontName(name);
}
const QString& TRLTextObject::FontName() const {
    // Not copied: a report's pages share one name, and copying it on every thread that places or
    // paints a text makes them all count on the same word of memory.
    static const QString none;
    const QStringList& fonts = Surface().Fonts();
    return Font.NameIndex >= 0 && Font.NameIndex < fonts.size() ? fonts[Font.NameIndex] : none;
}
void TRLTextObject::SetFontName(const QString& name) {
    Font.NameIndex = Surface().FontIndex(name);
}
QString TRLTextObject::DisplayText() const {
    return Surface().ExpandMacros(Text);
}

} // namespace Kelmora
