/// @file
/// The drawing primitives recorded on a page. Each object knows how to write and read its own
/// data, how to move and scale itself, and how to draw itself onto a canvas.
#pragma once

#include <kelmora/pagestore/RLMetaTypes.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <tuple>
#include <type_traits>

namespace Kelmora {

class TRLGraphicSurface;
class TRLCanvas;
class TRLPageWriter;
class TRLSpanReader;
struct TRLPaintContext;

/// Kind numbers as they appear in page records.
enum class TRLObjectKind : uint8_t {
    Pixel = 1,
    Line = 2,
    Rectangle = 3,
    Text = 4,
    FillRect = 5,
    Ellipse = 6,
    Polygon = 7,
    Polyline = 8,
    Image = 9,
    SetClipRect = 10,
    ResetClipRect = 11
};

class TRLGraphicObject {
public:
    virtual ~TRLGraphicObject() = default;
    TRLGraphicObject(const TRLGraphicObject&) = delete;
    TRLGraphicObject& operator=(const TRLGraphicObject&) = delete;

    virtual TRLObjectKind Kind() const = 0;
    TRLGraphicSurface& Surface() const { return *surface_; }

    /// Writes or reads the kind's data (the common part first); the page writes the kind byte
    /// and the length around it. Reading never goes past the reader's end.
    virtual void SaveToStream(TRLPageWriter& writer) const;
    virtual void LoadFromStream(TRLSpanReader& reader);

    /// Draws the object with its coordinates scaled and offset by the context.
    virtual void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const = 0;
    /// Whether all that PaintTo draws lies within area (the context's device pixels, normalized),
    /// on any device: a clip to area would then cut nothing. False when that is not known.
    virtual bool DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const;

    /// Copies the common part and the kind's own fields; the source must be of the same kind.
    virtual void Assign(const TRLGraphicObject& source);
    virtual void Offset(int32_t dx, int32_t dy);
    virtual void Inflate(double xFactor, double yFactor);
    /// Creates an object of the same kind on the target page, with the same values.
    TRLGraphicObject& Clone(TRLGraphicSurface& target) const;
    /// Makes the object one of the target page's; the page that takes it over from another
    /// (TRLGraphicSurface::Take, TakeRect) calls this, still holding the old page's lists, and
    /// moves the object into its own list.
    virtual void MoveToSurface(TRLGraphicSurface& target) { surface_ = &target; }

    TRLMetaRect BoundsRect;
    int32_t GroupId = 0;
    int32_t Reserved = 0;

protected:
    explicit TRLGraphicObject(TRLGraphicSurface& surface) : surface_(&surface) {}

private:
    TRLGraphicSurface* surface_;
};

/// Creates an empty object of the given kind on a page (appended to its objects); null for a
/// kind number that no object has.
TRLGraphicObject* CreateGraphicObject(TRLGraphicSurface& surface, TRLObjectKind kind);

// One field of an object kind in its page-record form, and how moving and scaling the object
// changes it. Fields that are not positions or sizes (colours, brushes, texts, picture data)
// stay as they are.
namespace RLObjectField {
void Write(TRLPageWriter& writer, uint8_t value);
void Write(TRLPageWriter& writer, uint16_t value);
void Write(TRLPageWriter& writer, bool value);
void Write(TRLPageWriter& writer, const TRLMetaColor& value);
void Write(TRLPageWriter& writer, const TRLMetaPoint& value);
void Write(TRLPageWriter& writer, const TRLMetaPointArray& value);
void Write(TRLPageWriter& writer, const TRLMetaPen& value);
void Write(TRLPageWriter& writer, const TRLMetaBrush& value);
void Write(TRLPageWriter& writer, const TRLMetaFont& value);
void Write(TRLPageWriter& writer, const QString& value);
void Write(TRLPageWriter& writer, const QByteArray& value);

void Read(TRLSpanReader& reader, uint8_t& value);
void Read(TRLSpanReader& reader, uint16_t& value);
void Read(TRLSpanReader& reader, bool& value);
void Read(TRLSpanReader& reader, TRLMetaColor& value);
void Read(TRLSpanReader& reader, TRLMetaPoint& value);
void Read(TRLSpanReader& reader, TRLMetaPointArray& value);
void Read(TRLSpanReader& reader, TRLMetaPen& value);
void Read(TRLSpanReader& reader, TRLMetaBrush& value);
void Read(TRLSpanReader& reader, TRLMetaFont& value);
void Read(TRLSpanReader& reader, QString& value);
void Read(TRLSpanReader& reader, QByteArray& value);

void Offset(TRLMetaPoint& value, int32_t dx, int32_t dy);
void Offset(TRLMetaPointArray& value, int32_t dx, int32_t dy);
template <class T> void Offset(T&, int32_t, int32_t) {}

void Inflate(TRLMetaPoint& value, double xFactor, double yFactor);
void Inflate(TRLMetaPointArray& value, double xFactor, double yFactor);
/// A pen's width scales across, a font's size down the page.
void Inflate(TRLMetaPen& value, double xFactor, double yFactor);
void Inflate(TRLMetaFont& value, double xFactor, double yFactor);
template <class T> void Inflate(T&, double, double) {}
} // namespace RLObjectField

/// An object kind described by its fields: Object::Fields(object) ties them in the order the page
/// record keeps them after the common part. Writing, reading, copying, moving and scaling follow
/// from that list; each kind draws itself (RLPagePaint.cpp).
template <class Object, TRLObjectKind KindValue>
class TRLGraphicObjectOf : public TRLGraphicObject {
public:
    static constexpr TRLObjectKind StaticKind = KindValue;
    explicit TRLGraphicObjectOf(TRLGraphicSurface& surface) : TRLGraphicObject(surface) {}

    TRLObjectKind Kind() const override { return StaticKind; }
    void SaveToStream(TRLPageWriter& writer) const override {
        TRLGraphicObject::SaveToStream(writer);
        std::apply([&writer](const auto&... field) { (RLObjectField::Write(writer, field), ...); },
                   Object::Fields(Self()));
    }
    void LoadFromStream(TRLSpanReader& reader) override {
        TRLGraphicObject::LoadFromStream(reader);
        std::apply([&reader](auto&... field) { (RLObjectField::Read(reader, field), ...); },
                   Object::Fields(Self()));
    }
    void Assign(const TRLGraphicObject& source) override {
        TRLGraphicObject::Assign(source);
        Object::Fields(Self()) = Object::Fields(static_cast<const Object&>(source));
    }
    void Offset(int32_t dx, int32_t dy) override {
        TRLGraphicObject::Offset(dx, dy);
        std::apply([=](auto&... field) { (RLObjectField::Offset(field, dx, dy), ...); },
                   Object::Fields(Self()));
    }
    void Inflate(double xFactor, double yFactor) override {
        TRLGraphicObject::Inflate(xFactor, yFactor);
        std::apply([=](auto&... field) { (RLObjectField::Inflate(field, xFactor, yFactor), ...); },
                   Object::Fields(Self()));
    }

private:
    Object& Self() { return static_cast<Object&>(*this); }
    const Object& Self() const { return static_cast<const Object&>(*this); }
};

class TRLPixelObject : public TRLGraphicObjectOf<TRLPixelObject, TRLObjectKind::Pixel> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Color); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;

    TRLMetaColor Color;
};

class TRLLineObject : public TRLGraphicObjectOf<TRLLineObject, TRLObjectKind::Line> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.FromPoint, o.ToPoint, o.Pen, o.Brush); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;
    bool DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const override;

    TRLMetaPoint FromPoint;
    TRLMetaPoint ToPoint;
    TRLMetaPen Pen;
    TRLMetaBrush Brush;
};

class TRLRectangleObject : public TRLGraphicObjectOf<TRLRectangleObject, TRLObjectKind::Rectangle> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Pen, o.Brush); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;

    TRLMetaPen Pen;
    TRLMetaBrush Brush;
};

class TRLTextObject : public TRLGraphicObjectOf<TRLTextObject, TRLObjectKind::Text> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) {
        return std::tie(o.Alignment, o.Layout, o.Origin, o.TextFlags, o.Text, o.Brush, o.Font);
    }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;
    bool DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const override;
    /// The font's name index is only meaningful in the source page's font list.
    void Assign(const TRLGraphicObject& source) override;
    void MoveToSurface(TRLGraphicSurface& target) override;

    /// The font's name lives in the page's font list; setting it enters it there. The name
    /// returned lasts while the page's list is not changed.
    const QString& FontName() const;
    void SetFontName(const QString& name);
    /// The text with page and document settings put in for names in braces.
    QString DisplayText() const;

    TRLMetaBrush Brush;
    TRLMetaFont Font;
    QString Text;
    TRLMetaPoint Origin;
    uint8_t Alignment = MetaTextAlignmentLeft;
    uint8_t Layout = MetaTextLayoutTop;
    TRLMetaTextFlags TextFlags = MetaTextFlagNoClipping | MetaTextFlagKeepWhole;
};

class TRLFillRectObject : public TRLGraphicObjectOf<TRLFillRectObject, TRLObjectKind::FillRect> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Brush); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;
    bool DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const override;

    TRLMetaBrush Brush;
};

class TRLEllipseObject : public TRLGraphicObjectOf<TRLEllipseObject, TRLObjectKind::Ellipse> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Pen, o.Brush); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;

    TRLMetaPen Pen;
    TRLMetaBrush Brush;
};

class TRLPolygonObject : public TRLGraphicObjectOf<TRLPolygonObject, TRLObjectKind::Polygon> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Pen, o.Brush, o.Points); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;
    bool DrawsWithin(const TRLRect& area, const TRLPaintContext& context) const override;

    TRLMetaPen Pen;
    TRLMetaBrush Brush;
    TRLMetaPointArray Points;
};

class TRLPolylineObject : public TRLGraphicObjectOf<TRLPolylineObject, TRLObjectKind::Polyline> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Pen, o.Points); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;

    TRLMetaPen Pen;
    TRLMetaPointArray Points;
};

class TRLImageObject : public TRLGraphicObjectOf<TRLImageObject, TRLObjectKind::Image> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto& o) { return std::tie(o.Data, o.Parity); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;

    /// Tagged graphic: "NIL", "BMP" + bitmap file, or "ICO" + icon file (RLGraphicData.h).
    QByteArray Data;
    bool Parity = false;
};

/// Clip changes carry no fields of their own: the common bounds are the clip.
class TRLSetClipRectObject
    : public TRLGraphicObjectOf<TRLSetClipRectObject, TRLObjectKind::SetClipRect> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto&) { return std::tuple<>(); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;
};

class TRLResetClipRectObject
    : public TRLGraphicObjectOf<TRLResetClipRectObject, TRLObjectKind::ResetClipRect> {
public:
    using TRLGraphicObjectOf::TRLGraphicObjectOf;
    static auto Fields(auto&) { return std::tuple<>(); }
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;
};

/// Every object class, for code that handles each kind in its own way.
template <class... Classes> struct TRLObjectClassList {
    /// Calls f with std::type_identity<Class>() for each of the classes in turn.
    template <class F> static void ForEach(F&& f) { (f(std::type_identity<Classes>()), ...); }
};
using TRLObjectClasses =
    TRLObjectClassList<TRLPixelObject, TRLLineObject, TRLRectangleObject, TRLTextObject,
                       TRLFillRectObject, TRLEllipseObject, TRLPolygonObject, TRLPolylineObject,
                       TRLImageObject, TRLSetClipRectObject, TRLResetClipRectObject>;

/// Calls visit with the object as the class of its kind.
template <class Visit> void VisitGraphicObject(const TRLGraphicObject& object, Visit&& visit) {
    TRLObjectClasses::ForEach([&](auto type) {
        using Class = typename decltype(type)::type;
        if (object.Kind() == Class::StaticKind)
            visit(static_cast<const Class&>(object));
    });
}

} // namespace Kelmora
