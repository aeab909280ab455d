// The drawing primitives recorded on a page. Each object knows how to write and read its own
// data, how to move and scale itself, and how to draw itself onto a canvas.
#pragma once

#include "RLMetaTypes.h"

#include <QByteArray>
#include <QString>

#include <memory>

class TRLGraphicSurface;
class TRLCanvas;
class TRLPageWriter;
class TRLSpanReader;
struct TRLPaintContext;

// Kind numbers as they appear in page records.
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

    // Writes or reads the kind's data (the common part first); the page writes the kind byte
    // and the length around it. Reading never goes past the reader's end.
    virtual void SaveToStream(TRLPageWriter& writer) const;
    virtual void LoadFromStream(TRLSpanReader& reader);

    // Draws the object with its coordinates scaled and offset by the context.
    virtual void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const = 0;

    // Copies the common part and the kind's own fields; the source must be of the same kind.
    virtual void Assign(const TRLGraphicObject& source);
    virtual void Offset(int32_t dx, int32_t dy);
    virtual void Inflate(double xFactor, double yFactor);
    // Creates an object of the same kind on the target page, with the same values.
    TRLGraphicObject& Clone(TRLGraphicSurface& target) const;

    TRLMetaRect BoundsRect;
    int32_t GroupId = 0;
    int32_t Reserved = 0;

protected:
    explicit TRLGraphicObject(TRLGraphicSurface& surface) : surface_(&surface) {}

private:
    TRLGraphicSurface* surface_;
};

// Creates an empty object of the given kind on a page (appended to its objects); null for a
// kind number that no object has.
TRLGraphicObject* CreateGraphicObject(TRLGraphicSurface& surface, TRLObjectKind kind);

#define RL_GRAPHIC_OBJECT(Class, KindValue)                                                        \
public:                                                                                            \
    explicit Class(TRLGraphicSurface& surface) : TRLGraphicObject(surface) {}                      \
    static constexpr TRLObjectKind StaticKind = TRLObjectKind::KindValue;                          \
    TRLObjectKind Kind() const override {                                                          \
        return StaticKind;                                                                         \
    }                                                                                              \
    void PaintTo(TRLCanvas& canvas, TRLPaintContext& context) const override;

class TRLPixelObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLPixelObject, Pixel)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;

    TRLMetaColor Color;
};

class TRLLineObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLLineObject, Line)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;
    void Offset(int32_t dx, int32_t dy) override;
    void Inflate(double xFactor, double yFactor) override;

    TRLMetaPoint FromPoint;
    TRLMetaPoint ToPoint;
    TRLMetaPen Pen;
    TRLMetaBrush Brush;
};

class TRLRectangleObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLRectangleObject, Rectangle)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;
    void Inflate(double xFactor, double yFactor) override;

    TRLMetaPen Pen;
    TRLMetaBrush Brush;
};

class TRLTextObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLTextObject, Text)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;
    void Offset(int32_t dx, int32_t dy) override;
    void Inflate(double xFactor, double yFactor) override;

    // The font's name lives in the page's font list; setting it enters it there.
    QString FontName() const;
    void SetFontName(const QString& name);
    // The text with page and document settings put in for names in braces.
    QString DisplayText() const;

    TRLMetaBrush Brush;
    TRLMetaFont Font;
    QString Text;
    TRLMetaPoint Origin;
    uint8_t Alignment = MetaTextAlignmentLeft;
    uint8_t Layout = MetaTextLayoutTop;
    TRLMetaTextFlags TextFlags = MetaTextFlagNoClipping | MetaTextFlagKeepWhole;
};

class TRLFillRectObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLFillRectObject, FillRect)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;

    TRLMetaBrush Brush;
};

class TRLEllipseObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLEllipseObject, Ellipse)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;
    void Inflate(double xFactor, double yFactor) override;

    TRLMetaPen Pen;
    TRLMetaBrush Brush;
};

class TRLPolygonObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLPolygonObject, Polygon)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;
    void Offset(int32_t dx, int32_t dy) override;
    void Inflate(double xFactor, double yFactor) override;

    TRLMetaPen Pen;
    TRLMetaBrush Brush;
    TRLMetaPointArray Points;
};

class TRLPolylineObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLPolylineObject, Polyline)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;
    void Offset(int32_t dx, int32_t dy) override;
    void Inflate(double xFactor, double yFactor) override;

    TRLMetaPen Pen;
    TRLMetaPointArray Points;
};

class TRLImageObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLImageObject, Image)
    void SaveToStream(TRLPageWriter& writer) const override;
    void LoadFromStream(TRLSpanReader& reader) override;
    void Assign(const TRLGraphicObject& source) override;

    // Tagged graphic: "NIL", "BMP" + bitmap file, or "ICO" + icon file (RLGraphicData.h).
    QByteArray Data;
    bool Parity = false;
};

class TRLSetClipRectObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLSetClipRectObject, SetClipRect)
};

class TRLResetClipRectObject : public TRLGraphicObject {
    RL_GRAPHIC_OBJECT(TRLResetClipRectObject, ResetClipRect)
};

#undef RL_GRAPHIC_OBJECT
