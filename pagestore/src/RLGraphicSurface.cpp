#include <kelmora/pagestore/RLGraphicSurface.h>

#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/support/RLTextMetrics.h>
#include <kelmora/support/RLUtils.h>

#include <QPainter>
#include <QScopeGuard>

#include <algorithm>

namespace Kelmora {

namespace {

// The two forms of a page record differ only in how their strings are kept: in Windows-1252,
// which every reader knows, or in UTF-8.
const QByteArray PageSignature = QByteArrayLiteral("RLGraphicSurface3\x1A");
const QByteArray Utf8PageSignature = QByteArrayLiteral("RLGraphicSurface4\x1A");

TRLMetaFont MetaFontFrom(const TRLFont& font) {
    TRLMetaFont meta;
    meta.PixelsPerInch = font.PixelsPerInch;
    meta.Charset = font.Charset;
    meta.Color = TRLMetaColor::FromColor(font.Color);
    meta.Height = font.Height();
    meta.Pitch = static_cast<uint8_t>(static_cast<uint8_t>(font.Pitch) + 1);
    meta.Size = font.Size;
    meta.Style = font.Style & 0x0F;
    return meta;
}

TRLMetaPen MetaPenFrom(const TRLPen& pen) {
    TRLMetaPen meta;
    meta.FromPen(pen);
    return meta;
}

TRLMetaBrush MetaBrushFrom(const TRLBrush& brush) {
    TRLMetaBrush meta;
    meta.FromBrush(brush);
    return meta;
}

bool Intersect(const TRLRect& a, const TRLRect& b, TRLRect& result) {
    result = {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom)};
    return result.Left < result.Right && result.Top < result.Bottom;
}

} // namespace

TRLGraphicSurface::TRLGraphicSurface() = default;

TRLGraphicSurface::~TRLGraphicSurface() = default;

TRLGraphicStorage* TRLGraphicSurface::Storage() const {
    return storage_.data();
}

void TRLGraphicSurface::SetStorage(TRLGraphicStorage* storage) {
    if (storage_ == storage)
        return;
    if (storage_)
        storage_->RemoveFromCache(this);
    storage_ = storage;
}

int32_t TRLGraphicSurface::FontIndex(const QString& name) {
    for (int i = 0; i < fonts_.size(); ++i)
        if (fonts_[i] == name || fonts_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    // The page keeps a copy of its own rather than a share of the control's name: the painting
    // thread counts references on the page's names for every text it draws, and a name shared
    // with the controls would have both cores take turns on one count.
    fonts_.append(QString(name.constData(), name.size()));
    return static_cast<int32_t>(fonts_.size() - 1);
}

int32_t TRLGraphicSurface::Orientation() const {
    return macros_.IntValue(QStringLiteral("Orientation"), MetaOrientationPortrait);
}
void TRLGraphicSurface::SetOrientation(int32_t orientation) {
    macros_.SetIntValue(QStringLiteral("Orientation"), orientation);
}
double TRLGraphicSurface::PaperWidth() const {
    return macros_.RealValue(QStringLiteral("PaperWidth"), 0);
}
void TRLGraphicSurface::SetPaperWidth(double millimetres) {
    macros_.SetRealValue(QStringLiteral("PaperWidth"), millimetres);
}
double TRLGraphicSurface::PaperHeight() const {
    return macros_.RealValue(QStringLiteral("PaperHeight"), 0);
}
void TRLGraphicSurface::SetPaperHeight(double millimetres) {
    macros_.SetRealValue(QStringLiteral("PaperHeight"), millimetres);
}

void TRLGraphicSurface::Open() {
    if (opened_)
        return;
    opened_ = true;
    penPos_ = {margins_.Left, margins_.Top};
    generator_ = nullptr;
    clipRect_ = {0, 0, width_, height_};
    clipStack_.clear();
}

void TRLGraphicSurface::Clear() {
    objects_.clear();
    fonts_.clear();
    macros_.Clear();
    penPos_ = {0, 0};
    modified_ = true;
    generator_ = nullptr;
}

void TRLGraphicSurface::Touch() {
    Open();
    modified_ = true;
}

void TRLGraphicSurface::SetFont(const TRLFont& font) {
    if (font == font_)
        return;
    font_ = font;
    measure_ = TRLFontMeasure();
}

const TRLFontMeasure& TRLGraphicSurface::Measure() const {
    if (measure_.IsNull())
        measure_ = TRLFontMeasure(ToQFont(font_, font_.PixelsPerInch));
    return measure_;
}

int TRLGraphicSurface::TextWidth(const QString& text) const {
    return Measure().TextWidth(text);
}

int TRLGraphicSurface::SpaceWidth() const {
    return Measure().SpaceWidth();
}

int TRLGraphicSurface::TextHeight(const QString& /*text*/) const {
    return Measure().TextHeight();
}

// --- recording ---

namespace {
template <class T> T& NewObject(TRLGraphicSurface& page, const TRLRect& bounds) {
    T& object = page.Append<T>();
    object.BoundsRect = bounds;
    object.GroupId = TRLGraphicStorage::CurrentGroupId();
    return object;
}
} // namespace

TRLLineObject& TRLGraphicSurface::LineTo(int32_t x, int32_t y) {
    Touch();
    const TRLRect bounds{std::min(penPos_.X, x), std::min(penPos_.Y, y), std::max(penPos_.X, x) + 1,
                         std::max(penPos_.Y, y) + 1};
    auto& object = NewObject<TRLLineObject>(*this, bounds);
    object.FromPoint = penPos_;
    object.ToPoint = {x, y};
    object.Pen = MetaPenFrom(pen_);
    object.Brush = MetaBrushFrom(brush_);
    penPos_ = {x, y};
    return object;
}

TRLFillRectObject& TRLGraphicSurface::FillRect(const TRLRect& rect) {
    Touch();
    auto& object = NewObject<TRLFillRectObject>(*this, rect);
    object.Brush = MetaBrushFrom(brush_);
    return object;
}

TRLRectangleObject& TRLGraphicSurface::Rectangle(int32_t left, int32_t top, int32_t right,
                                                 int32_t bottom) {
    Touch();
    auto& object = NewObject<TRLRectangleObject>(*this, {left, top, right, bottom});
    object.Pen = MetaPenFrom(pen_);
    object.Brush = MetaBrushFrom(brush_);
    return object;
}

TRLEllipseObject& TRLGraphicSurface::Ellipse(const TRLRect& rect) {
    Touch();
    auto& object = NewObject<TRLEllipseObject>(*this, rect);
    object.Pen = MetaPenFrom(pen_);
    object.Brush = MetaBrushFrom(brush_);
    return object;
}

namespace {
// The area a point set covers, with a pixel to spare on every side for the pen.
TRLRect PointsArea(const TRLPointArray& points, const char* kind) {
    if (points.empty())
        throw TRLException(
            QStringLiteral("A %1 needs at least one point").arg(QLatin1String(kind)));
    const TRLRect bounds = BoundsOfPoints(points);
    return {bounds.Left - 1, bounds.Top - 1, bounds.Right + 1, bounds.Bottom + 1};
}
} // namespace

TRLPolygonObject& TRLGraphicSurface::Polygon(const TRLPointArray& points) {
    const TRLRect bounds = PointsArea(points, "polygon");
    Touch();
    auto& object = NewObject<TRLPolygonObject>(*this, bounds);
    object.Pen = MetaPenFrom(pen_);
    object.Brush = MetaBrushFrom(brush_);
    object.Points = points;
    return object;
}

TRLPolylineObject& TRLGraphicSurface::Polyline(const TRLPointArray& points) {
    const TRLRect bounds = PointsArea(points, "polyline");
    Touch();
    auto& object = NewObject<TRLPolylineObject>(*this, bounds);
    object.Pen = MetaPenFrom(pen_);
    object.Points = points;
    return object;
}

TRLTextObject& TRLGraphicSurface::TextRectEx(const TRLRect& rect, int32_t x, int32_t y,
                                             const QString& text, uint8_t alignment, uint8_t layout,
                                             TRLMetaTextFlags textFlags) {
    Touch();
    auto& object = NewObject<TRLTextObject>(*this, rect);
    object.Origin = {x, y};
    object.Text = text;
    object.Alignment = alignment;
    object.Layout = layout;
    object.TextFlags = textFlags;
    object.Brush = MetaBrushFrom(brush_);
    object.Font = MetaFontFrom(font_);
    object.SetFontName(font_.Name);
    return object;
}

TRLTextObject& TRLGraphicSurface::TextOut(int32_t x, int32_t y, const QString& text) {
    const TRLRect rect{x, y, x + TextWidth(text), y + TextHeight(text)};
    return TextRectEx(rect, x, y, text, MetaTextAlignmentLeft, MetaTextLayoutTop,
                      MetaTextFlagNoClipping | MetaTextFlagKeepWhole);
}

TRLImageObject& TRLGraphicSurface::Draw(int32_t x, int32_t y, const QImage& graphic, bool parity) {
    return StretchDraw({x, y, x + graphic.width(), y + graphic.height()}, graphic, parity);
}

TRLImageObject& TRLGraphicSurface::StretchDraw(const TRLRect& rect, const QImage& graphic,
                                               bool parity) {
    Touch();
    auto& object = NewObject<TRLImageObject>(*this, rect);
    object.Data = TaggedDataFromImage(graphic);
    object.Parity = parity;
    return object;
}

void TRLGraphicSurface::ScaleDraw(const TRLRect& rect, const QImage& graphic, bool center) {
    const TRLRect fitted =
        FitRectKeepAspect({0, 0, graphic.width(), graphic.height()}, rect, center);
    StretchDraw(fitted, graphic, false);
}

void TRLGraphicSurface::ClipDraw(const TRLRect& rect, const QImage& graphic, bool center) {
    TRLRect placed{rect.Left, rect.Top, rect.Left + graphic.width(), rect.Top + graphic.height()};
    if (center) {
        const int dx = (WidthOfRect(rect) - graphic.width()) / 2;
        const int dy = (HeightOfRect(rect) - graphic.height()) / 2;
        placed = {placed.Left + dx, placed.Top + dy, placed.Right + dx, placed.Bottom + dy};
    }
    TRLRect overlap;
    if (!Intersect(placed, rect, overlap))
        return;
    QImage part(WidthOfRect(overlap), HeightOfRect(overlap), QImage::Format_ARGB32);
    part.fill(Qt::white);
    {
        QPainter painter(&part);
        painter.drawImage(placed.Left - overlap.Left, placed.Top - overlap.Top, graphic);
    }
    StretchDraw(overlap, part, false);
}

void TRLGraphicSurface::Draw(int32_t x, int32_t y, const TRLGraphicSurface& source) {
    Touch();
    // Clone by index: source may be this very page, whose list grows while we copy.
    const int count = source.ObjectCount();
    for (int i = 0; i < count; ++i)
        source.Object(i).Clone(*this).Offset(x, y);
}

void TRLGraphicSurface::Take(int32_t x, int32_t y, TRLGraphicSurface& source) {
    if (&source == this) {
        Draw(x, y, source);
        return;
    }
    Touch();
    for (std::unique_ptr<TRLGraphicObject>& object : source.objects_)
        Adopt(object).Offset(x, y);
    source.objects_.clear();
}

TRLGraphicObject& TRLGraphicSurface::Adopt(std::unique_ptr<TRLGraphicObject>& object) {
    object->MoveToSurface(*this);
    objects_.push_back(std::move(object));
    return *objects_.back();
}

void TRLGraphicSurface::CopyRect(const TRLRect& destRect, const TRLGraphicSurface& source,
                                 const TRLRect& sourceRect) {
    PlaceRect(destRect, source, sourceRect, nullptr);
}

void TRLGraphicSurface::TakeRect(const TRLRect& destRect, TRLGraphicSurface& source,
                                 const TRLRect& sourceRect) {
    PlaceRect(destRect, source, sourceRect, &source == this ? nullptr : &source);
}

void TRLGraphicSurface::PlaceRect(const TRLRect& destRect, const TRLGraphicSurface& source,
                                  const TRLRect& sourceRect, TRLGraphicSurface* owner) {
    const int sw = WidthOfRect(sourceRect);
    const int sh = HeightOfRect(sourceRect);
    const double xFactor = sw != 0 ? double(WidthOfRect(destRect)) / sw : 1.0;
    const double yFactor = sh != 0 ? double(HeightOfRect(destRect)) / sh : 1.0;
    const int xOffset = destRect.Left - RoundHalfEven(sourceRect.Left * xFactor);
    const int yOffset = destRect.Top - RoundHalfEven(sourceRect.Top * yFactor);
    SetClipRect(destRect);
    const int count = source.ObjectCount();
    for (int i = 0; i < count; ++i) {
        const TRLGraphicObject& object = source.Object(i);
        TRLRect overlap;
        if (!Intersect(object.BoundsRect, sourceRect, overlap))
            continue;
        TRLGraphicObject& placed =
            owner ? Adopt(owner->objects_[static_cast<size_t>(i)]) : object.Clone(*this);
        placed.Inflate(xFactor, yFactor);
        placed.Offset(xOffset, yOffset);
    }
    if (owner)
        owner->objects_.clear();
    ResetClipRect();
}

void TRLGraphicSurface::SetClipRect(const TRLRect& rect) {
    Touch();
    NewObject<TRLSetClipRectObject>(*this, rect);
    clipStack_.push_back(clipRect_);
    clipRect_ = rect;
}

void TRLGraphicSurface::ResetClipRect() {
    Touch();
    NewObject<TRLResetClipRectObject>(*this, clipRect_);
    if (!clipStack_.empty()) {
        clipRect_ = clipStack_.back();
        clipStack_.pop_back();
    }
}

bool TRLGraphicSurface::FindFreeRow(int32_t nearRow, int32_t& row) const {
    row = nearRow;
    bool changed = true;
    while (changed && row > 0) {
        changed = false;
        for (const auto& object : objects_) {
            if (object->Kind() != TRLObjectKind::Text)
                continue;
            const auto& text = static_cast<const TRLTextObject&>(*object);
            if ((text.TextFlags & MetaTextFlagKeepWhole) && text.BoundsRect.Top < row &&
                row < text.BoundsRect.Bottom) {
                row = text.BoundsRect.Top;
                changed = true;
            }
        }
    }
    return row > 0;
}

std::optional<QString> TRLGraphicSurface::MacroValue(const QString& name) const {
    if (macros_.Contains(name))
        return macros_.Value(name);
    if (storage_ && storage_->Macros().Contains(name))
        return storage_->Macros().Value(name);
    return std::nullopt;
}

QString TRLGraphicSurface::ExpandMacros(const QString& text) const {
    if (!text.contains(QLatin1Char('{')))
        return text;
    QString result = text;
    qsizetype pos = 0;
    while (true) {
        const qsizetype open = result.indexOf(QLatin1Char('{'), pos);
        if (open < 0)
            break;
        const qsizetype close = result.indexOf(QLatin1Char('}'), open + 1);
        if (close < 0)
            break;
        // A name without a setting stays as it is written; a value is not expanded again.
        if (const std::optional<QString> value =
                MacroValue(result.mid(open + 1, close - open - 1))) {
            result.replace(open, close - open + 1, *value);
            pos = open + value->size();
        } else {
            pos = close + 1;
        }
    }
    return result;
}

// --- page records ---

QByteArray TRLGraphicSurface::SaveToBytes() const {
    TRLPageWriter writer;
    SaveToWriter(writer);
    return writer.Take();
}

TRLTextEncoding TRLGraphicSurface::SaveToWriter(TRLPageWriter& writer, TRLPageText text) const {
    const TRLTextEncoding previous = writer.TextEncoding();
    const auto restore = qScopeGuard([&] { writer.SetTextEncoding(previous); });
    const qint64 start = writer.Size();
    if (text == TRLPageText::Fitting) {
        // Most pages hold only what the code page has: written once, and checked on the way.
        writer.SetTextEncoding(TRLTextEncoding::Windows1252);
        writer.ResetTextLost();
        WriteRecord(writer);
        if (!writer.TextLost())
            return TRLTextEncoding::Windows1252;
        writer.Truncate(start);
    }
    writer.SetTextEncoding(TRLTextEncoding::Utf8);
    WriteRecord(writer);
    return TRLTextEncoding::Utf8;
}

void TRLGraphicSurface::WriteRecord(TRLPageWriter& writer) const {
    const QByteArray& signature =
        writer.TextEncoding() == TRLTextEncoding::Utf8 ? Utf8PageSignature : PageSignature;
    writer.WriteRaw(signature.constData(), signature.size());
    writer.WriteInt32(width_);
    writer.WriteInt32(height_);
    writer.WriteStringList(macros_.Entries());
    writer.WriteStringList(fonts_);
    writer.WriteInt32(static_cast<int32_t>(objects_.size()));
    for (const auto& object : objects_) {
        writer.WriteByte(static_cast<uint8_t>(object->Kind()));
        const qint64 lengthAt = writer.Size();
        writer.WriteInt32(0);
        const qint64 start = writer.Size();
        object->SaveToStream(writer);
        writer.PatchInt32(lengthAt, static_cast<int32_t>(writer.Size() - start));
    }
}

void TRLGraphicSurface::SaveToStream(QIODevice& stream) const {
    const QByteArray bytes = SaveToBytes();
    if (stream.write(bytes) != bytes.size())
        throw TRLException(QStringLiteral("Cannot write the page: %1").arg(stream.errorString()));
}

TRLTextEncoding TRLGraphicSurface::LoadFromBytes(const char* data, qint64 size) {
    Clear();
    // A damaged record leaves the page empty.
    auto emptyOnFailure = qScopeGuard([this] {
        Clear();
        modified_ = false;
    });
    TRLSpanReader reader(data, size);
    const QByteArray signature = reader.ReadSignature();
    if (signature == Utf8PageSignature)
        reader.SetTextEncoding(TRLTextEncoding::Utf8);
    else if (signature != PageSignature)
        ThrowFileCorrupted();
    width_ = reader.ReadInt32();
    height_ = reader.ReadInt32();
    macros_.SetEntries(reader.ReadStringList());
    fonts_ = reader.ReadStringList();
    // Each object record is at least a kind byte and a length.
    const int32_t count = reader.ReadCount(5);
    objects_.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const auto kind = reader.ReadByte();
        const int32_t length = reader.ReadInt32();
        if (length < 0 || length > reader.Remaining())
            ThrowFileCorrupted();
        if (kind < 1 || kind > 11) {
            // Kinds of a newer writer are passed over whole.
            reader.Skip(length);
            continue;
        }
        TRLSpanReader data(reader.Current(), length);
        data.SetTextEncoding(reader.TextEncoding());
        reader.Skip(length);
        TRLGraphicObject* object = CreateGraphicObject(*this, TRLObjectKind(kind));
        object->LoadFromStream(data);
        // A record that declares more bytes than its kind holds is as damaged as one that
        // declares fewer.
        if (data.Remaining() != 0)
            ThrowFileCorrupted();
    }
    emptyOnFailure.dismiss();
    modified_ = false;
    return reader.TextEncoding();
}

} // namespace Kelmora
