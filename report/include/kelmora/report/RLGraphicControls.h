/// @file
/// Graphic controls: TRLDraw records a vector shape fitted into its rectangle, TRLImage records a
/// picture scaled, stretched or clipped into it: its Picture, or one for each record that its
/// Expression names. Both print their base fill and borders first.
#pragma once

#include <kelmora/report/RLControl.h>
#include <kelmora/report/RLTextExpression.h>

#include <QImage>
#include <QStringList>

namespace Kelmora {

// ---- pen and brush settings ------------------------------------------------------------------

/// A control's pen or brush as a published settings object. Changes reach the owner's repaint
/// hook only.
template <class T> class TRLDrawingSettings : public TRLPersistent {
public:
    const T& Value() const { return value_; }
    void SetValue(const T& value) { value_ = value; }

    QColor Color() const { return value_.Color; }
    void SetColor(const QColor& v) { value_.Color = v; }
    decltype(T::Style) Style() const { return value_.Style; }
    void SetStyle(decltype(T::Style) v) { value_.Style = v; }

protected:
    T value_;
};

class TRLPenSettings : public TRLDrawingSettings<TRLPen> {
public:
    QString ClassName() const override { return QStringLiteral("TRLPenSettings"); }
    TRLPenMode Mode() const { return value_.Mode; }
    void SetMode(TRLPenMode v) { value_.Mode = v; }
    int Width() const { return value_.Width; }
    /// Negative widths are refused.
    void SetWidth(int v) {
        if (v >= 0)
            value_.Width = v;
    }
};

class TRLBrushSettings : public TRLDrawingSettings<TRLBrush> {
public:
    QString ClassName() const override { return QStringLiteral("TRLBrushSettings"); }
};

/// Value names of the pen and brush enumerations, in the order of TRLPenMode, TRLPenStyle and
/// TRLBrushStyle.
const QStringList& PenModeNames();
const QStringList& PenStyleNames();
const QStringList& BrushStyleNames();

// ---- shapes ----------------------------------------------------------------------------------

enum TRLDrawKind : uint8_t { dkRectangle, dkLine, dkTriangle, dkElipse, dkArrow, dkCustom };
constexpr int DrawKindCount = dkCustom + 1;
const QStringList& DrawKindNames();

enum TRLDrawOption : uint8_t { doKeepAspectRatio, doKeepSize, doKeepVisible };
using TRLDrawOptions = TRLSet<TRLDrawOption>;
const QStringList& DrawOptionNames();

/// The names an older layout may give in its "Kind" property.
const QStringList& LegacyDrawKindNames();

/// The points of a built-in shape (dkCustom has none of its own).
TRLPointArray DrawKindPoints(TRLDrawKind kind);
/// Points written as "x y", one a line.
QStringList DrawDataOfPoints(const TRLPointArray& points);
/// Runs of digits separated by blanks, TABs, CR, LF or character 26 read in (x, y) pairs; any
/// other character ends the reading, and an unpaired last number is dropped.
TRLPointArray ParseDrawData(const QString& text);

class TRLCustomDraw : public TRLCustomControl {
    Q_OBJECT

public:
    explicit TRLCustomDraw(TRLCustomControl* parent = nullptr);

    TRLDrawKind DrawKind() const { return drawKind_; }
    /// A built-in kind also rewrites DrawData with its points.
    void SetDrawKind(TRLDrawKind kind);
    QStringList DrawData() const { return drawData_; }
    /// Different data makes the kind dkCustom.
    void SetDrawData(const QStringList& data);
    double Angle() const { return angle_; }
    void SetAngle(double v) { angle_ = v; }
    TRLPenSettings& Pen() { return pen_; }
    const TRLPenSettings& Pen() const { return pen_; }
    TRLBrushSettings& Brush() { return brush_; }
    const TRLBrushSettings& Brush() const { return brush_; }
    bool Center() const { return center_; }
    void SetCenter(bool v) { center_ = v; }
    TRLDrawOptions Options() const { return options_; }
    void SetOptions(TRLDrawOptions v);
    int DrawWidth() const { return drawWidth_; }
    void SetDrawWidth(int v);
    int DrawHeight() const { return drawHeight_; }
    void SetDrawHeight(int v);
    /// The "Kind" of older layouts, by its value name (LegacyDrawKindNames); it sets DrawKind,
    /// DrawData, Options and Angle together. Unknown names are ignored.
    void SetLegacyKind(const QString& kind);

    /// The shape's points as they are recorded inside rect (fitted, turned, refitted, centred).
    TRLPointArray ShapePoints(const TRLRect& rect) const;
    void Print() override;

private:
    TRLPointArray Fit(TRLPointArray points, const TRLRect& rect) const;
    /// Stores a setting that decides the size the shape is fitted to; the bounds follow, except
    /// while a layout is loading.
    template <class T> void SetSizing(T& field, const T& value);

    TRLDrawKind drawKind_ = dkRectangle;
    QStringList drawData_;
    double angle_ = 0;
    TRLPenSettings pen_;
    TRLBrushSettings brush_;
    bool center_ = true;
    TRLDrawOptions options_;
    int drawWidth_ = 0;
    int drawHeight_ = 0;
};

class TRLDraw : public TRLCustomDraw {
    Q_OBJECT

public:
    using TRLCustomDraw::TRLCustomDraw;
};

// ---- pictures --------------------------------------------------------------------------------

class TRLCustomImage : public TRLCustomControl {
    Q_OBJECT

public:
    explicit TRLCustomImage(TRLCustomControl* parent = nullptr);

    QImage Picture() const { return picture_; }
    /// With AutoSize the control takes the picture's size, keeping Left and Top.
    void SetPicture(const QImage& picture);
    /// Reads a picture file or ":/" resource (a JPEG through libjpeg); raises TRLException when
    /// it cannot be read.
    void LoadPicture(const QString& path);
    bool Scaled() const { return scaled_; }
    void SetScaled(bool v); // setting it clears Stretch
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v); // setting it clears Scaled
    bool Center() const { return center_; }
    void SetCenter(bool v) { center_ = v; }
    /// The picture of each record while the report prepares, in place of Picture: the value
    /// (see PictureFromRecordValue) of an expression over the record's fields ("Photo",
    /// "'photos/' + Sku + '.png'"). A record whose value is null or empty shows no picture.
    QString Expression() const { return expression_.Expression(); }
    void SetExpression(const QString& expression) { expression_.SetExpression(expression); }

    /// With AutoSize and a picture: its size plus border width + 1 per drawn side.
    TRLSize CalcSize() override;
    /// Takes the record's picture once the control is to print.
    bool CanPrint() override;
    /// A scaled or stretched picture more than kPixelsPerReportPixel times its box each way is
    /// recorded at that many pixels a report pixel: enough for any printer, and a photograph in
    /// a small box repeated on every record stays small on each page.
    void Print() override;
    static constexpr int kPixelsPerReportPixel = 8;

private:
    /// The record's picture while the report prepares and Expression is set; Picture otherwise.
    const QImage& ShownPicture() const;
    void ShowPicture(const QImage& picture);
    /// The picture as recorded into a box of the given size.
    const QImage& PictureFor(const TRLRect& box);
    QImage picture_;
    TRLTextExpression expression_;
    QImage recordPicture_;
    /// The value recordPicture_ was read from: records that repeat it read nothing again.
    QString recordValue_;
    QImage recorded_; // picture_ as last reduced, and the box size it was reduced for
    QSize recordedFor_;
    bool scaled_ = false;
    bool stretch_ = false;
    bool center_ = false;
};

/// The picture a record's value stands for:
///   - a "data:" URI with base64 data ("data:image/png;base64,iVBOR..."), which is also what a
///     database's BLOB or bytea column holding a picture reads as (kelmora/report/RLSqlRecords.h);
///   - the path of a picture file, relative to folder unless absolute;
///   - picture data in base64 (as a JSON records file carries it);
///   - a picture written as text (an SVG or XPM column).
/// A null picture for an empty value. Pictures are read as the layout's are, with the same
/// bound on their size. Raises TRLException saying why when the value is none of these, names a
/// missing file, or holds data that is not a picture or too large a one.
QImage PictureFromRecordValue(const QString& value, const QString& folder);

class TRLImage : public TRLCustomImage {
    Q_OBJECT

public:
    using TRLCustomImage::TRLCustomImage;
};

} // namespace Kelmora
