#include <kelmora/barcode/RLBarcodeEncoder.h>

#include "RLBarcodeSymbology.h"
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/support/RLUtils.h>

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <utility>

namespace Kelmora {

namespace {

constexpr int DotsPerMeter96 = 3780; // 96 pixels per inch

// A picture of width x height at 96 pixels per inch filled with color; one beyond the bound is
// refused in the words of tooLarge (width, height and the bound for %1, %2 and %3) before any
// memory is taken for it.
QImage BlankPicture(int width, int height, const QColor& color, const char* tooLarge) {
    if (static_cast<long long>(width) * height > kMaxPicturePixels) {
        throw TRLException(
            QString::fromLatin1(tooLarge).arg(width).arg(height).arg(kMaxPicturePixels));
    }
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull()) {
        throw TRLException(QStringLiteral("Out of memory while painting a barcode"));
    }
    picture.setDotsPerMeterX(DotsPerMeter96);
    picture.setDotsPerMeterY(DotsPerMeter96);
    picture.fill(color);
    return picture;
}

template <typename T> bool Assign(T& field, const T& value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

int MillimetresToPixels(double mm) {
    return RoundHalfEven(mm * 96.0 / 25.4);
}

// Draws text with its cell's top-left corner at (x, y) on a filled rectangle of the text's width
// and the font's line height, the way the texts above and below the bars have always looked.
void TextOut(QPainter& painter, const QFont& font, const QColor& background, int x, int y,
             const QString& text) {
    const int width = TextWidthOf(font, text);
    const int height = TextHeightOf(font);
    painter.fillRect(QRect(x, y, width, height), background);
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

QRect ToQRect(const TRLRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

// Where a picture of width x height drawn left to right lands once turned the orientation's
// way and placed with its top-left corner at origin: the start of the code goes to the bottom
// when it reads upwards and to the top when it reads downwards.
class TurnedPlacement {
public:
    TurnedPlacement(TRLBarcodeOrientation orientation, int width, int height, TRLPoint origin)
        : orientation_(orientation), width_(width), height_(height), origin_(origin) {}

    TRLRect Rect(const TRLRect& r) const {
        switch (orientation_) {
        case boBottomToTop:
            return Moved({r.Top, width_ - r.Right, r.Bottom, width_ - r.Left});
        case boTopToBottom:
            return Moved({height_ - r.Bottom, r.Left, height_ - r.Top, r.Right});
        default:
            return Moved(r);
        }
    }

    // A pixel: the rectangle of one pixel's top-left corner.
    TRLPoint Point(TRLPoint p) const {
        const TRLRect r = Rect({p.X, p.Y, p.X + 1, p.Y + 1});
        return {r.Left, r.Top};
    }

private:
    TRLRect Moved(const TRLRect& r) const {
        return {r.Left + origin_.X, r.Top + origin_.Y, r.Right + origin_.X, r.Bottom + origin_.Y};
    }
    TRLBarcodeOrientation orientation_;
    int width_;
    int height_;
    TRLPoint origin_;
};

TRLRect Intersected(const TRLRect& a, const TRLRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

bool IsEmpty(const TRLRect& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

double TurnAngle(TRLBarcodeOrientation orientation) {
    return orientation == boBottomToTop ? 90.0 : orientation == boTopToBottom ? -90.0 : 0.0;
}

} // namespace

bool TRLBarcodeEncoder::SetBarcodeType(TRLBarcodeType value) {
    return Assign(barcodeType_, value);
}

bool TRLBarcodeEncoder::SetModule(int value) {
    if (value < 1 || value > 49) {
        return false;
    }
    return Assign(module_, value);
}

bool TRLBarcodeEncoder::SetRatio(double value) {
    if (!std::isfinite(value) || value <= 0) {
        return false;
    }
    return Assign(ratio_, value);
}

bool TRLBarcodeEncoder::SetCheckSum(bool value) {
    return Assign(checkSum_, value);
}

bool TRLBarcodeEncoder::SetCheckSumMethod(TRLBarcodeCheckSumMethod value) {
    return Assign(checkSumMethod_, value);
}

bool TRLBarcodeEncoder::SetOrientation(TRLBarcodeOrientation value) {
    return Assign(orientation_, value);
}

bool TRLBarcodeEncoder::SetShowText(TRLBarcodeTextOption value) {
    return Assign(showText_, value);
}

bool TRLBarcodeEncoder::SetInvalidCode(TRLBarcodeInvalidCode value) {
    return Assign(invalidCode_, value);
}

bool TRLBarcodeEncoder::SetBarColor(const QColor& value) {
    return Assign(barColor_, value);
}

bool TRLBarcodeEncoder::SetColor(const QColor& value) {
    return Assign(color_, value);
}

bool TRLBarcodeEncoder::SetFont(const QFont& value) {
    return Assign(font_, value);
}

bool TRLBarcodeEncoder::SetFontColor(const QColor& value) {
    return Assign(fontColor_, value);
}

bool TRLBarcodeEncoder::SetMargins(const TRLBarcodeMargins& value) {
    return Assign(margins_, value);
}

bool TRLBarcodeEncoder::SetAlignment(Qt::Alignment value) {
    return Assign(alignment_, value);
}

bool TRLBarcodeEncoder::SetLayout(Qt::Alignment value) {
    return Assign(layout_, value);
}

bool TRLBarcodeEncoder::SetAutoSize(bool value) {
    return Assign(autoSize_, value);
}

QString TRLBarcodeEncoder::Encode(const QString& value) {
    ratio_ = ClampBarcodeRatio(barcodeType_, ratio_);
    if (value.size() > kMaxBarcodeValueLength) {
        invalid_ = true;
        return {};
    }
    TRLBarcodeElements encoded =
        EncodeBarcodeElements(barcodeType_, value, checkSum_, checkSumMethod_);
    invalid_ = encoded.Invalid;
    return std::move(encoded.Elements);
}

int TRLBarcodeEncoder::PatternWidth(QStringView elements) const {
    return Kelmora::PatternWidth(elements,
                                 BarcodeWidths(module_, BarcodeWidthRatio(barcodeType_, ratio_)));
}

QString TRLBarcodeEncoder::TypeName() const {
    return BarcodeDisplayName(barcodeType_);
}

TRLRect TRLBarcodeEncoder::MarginsInPixels() const {
    return {MillimetresToPixels(margins_.LeftMargin), MillimetresToPixels(margins_.TopMargin),
            MillimetresToPixels(margins_.RightMargin), MillimetresToPixels(margins_.BottomMargin)};
}

TRLBarcodeEncoder::Plan TRLBarcodeEncoder::PlanPicture(const QString& value, int width,
                                                       int height) {
    Plan plan;
    plan.Width = width;
    plan.Height = height;
    const TRLRect area{0, 0, width, height};
    TRLRect bars = area;

    const bool showType = showText_ == boType || showText_ == boBoth;
    const bool showCode = showText_ == boCode || showText_ == boBoth;
    const int lineHeight = showText_ != boNone ? TextHeightOf(font_) : 0;
    if (showType) {
        bars.Top += lineHeight;
    }
    if (showCode) {
        // PostNet's short bars would vanish under the text, so it gives the whole line up.
        bars.Bottom -= barcodeType_ == bcPostNet ? lineHeight : lineHeight / 2;
    }

    const QString elements = Encode(value);
    const TRLBarcodeWidths widths = BarcodeWidths(module_, BarcodeWidthRatio(barcodeType_, ratio_));
    bars.Right = bars.Left + Kelmora::PatternWidth(elements, widths);
    int shift = 0;
    if (alignment_ & Qt::AlignRight) {
        shift = WidthOfRect(area) - WidthOfRect(bars);
    } else if (alignment_ & Qt::AlignHCenter) {
        shift = (WidthOfRect(area) - WidthOfRect(bars)) / 2;
    }
    bars.Left += shift;
    bars.Right += shift;
    plan.Bars = bars;

    if (!value.trimmed().isEmpty() && (!invalid_ || invalidCode_ != icEmptyRect)) {
        const int shortTop = bars.Bottom - HeightOfRect(bars) * 2 / 5;
        int x = bars.Left;
        plan.Elements.reserve(static_cast<size_t>(elements.size()));
        for (QChar element : elements) {
            const int w = ElementWidth(element, widths);
            const char16_t c = element.unicode();
            const bool space = c >= u'0' && c <= u'3';
            const bool shortBar = c >= u'A' && c <= u'D';
            const int top = shortBar ? shortTop : bars.Top;
            if (w > 0 && bars.Bottom > top) {
                plan.Elements.push_back({{x, top, x + w, bars.Bottom}, space});
            }
            x += w;
        }
    }
    plan.Cross = invalid_ && invalidCode_ == icCrossOut;

    const int centre = bars.Left + bars.Right;
    const auto cell = [&](const QString& text, int top) {
        const int textWidth = TextWidthOf(font_, text);
        const int left = (centre - textWidth) / 2;
        return Text{{left, top, left + textWidth, top + lineHeight}, text};
    };
    if (showType) {
        plan.Texts.push_back(cell(TypeName(), area.Top));
    }
    if (showCode) {
        plan.Texts.push_back(cell(value, area.Bottom - lineHeight));
    }
    return plan;
}

void TRLBarcodeEncoder::PaintPlan(QPainter& painter, const Plan& plan) const {
    for (const Element& element : plan.Elements) {
        painter.fillRect(ToQRect(element.Rect), element.Space ? color_ : barColor_);
    }
    if (plan.Cross) {
        const TRLRect& bars = plan.Bars;
        constexpr int p = 4;
        painter.setPen(QPen(Qt::red, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(bars.Left + p, bars.Top + p, bars.Right - p - 1, bars.Bottom - p - 1);
        painter.drawLine(bars.Right - p - 1, bars.Top + p, bars.Left + p, bars.Bottom - p - 1);
    }
    if (!plan.Texts.empty()) {
        painter.setFont(font_);
        painter.setPen(fontColor_);
        for (const Text& text : plan.Texts) {
            TextOut(painter, font_, color_, text.Cell.Left, text.Cell.Top, text.Value);
        }
    }
}

QImage TRLBarcodeEncoder::CreateBitmap(const QString& value, int width, int height) {
    if (width < 1 || height < 1) {
        return QImage();
    }
    QImage bitmap = BlankPicture(width, height, color_,
                                 "a barcode picture of %1 x %2 pixels is larger than %3 pixels");

    QPainter painter(&bitmap);
    PaintPlan(painter, PlanPicture(value, width, height));
    return bitmap;
}

QSize TRLBarcodeEncoder::CalcSize(const QString& caption, QSize size, int frameSides) {
    if (!autoSize_) {
        return size;
    }
    const TRLRect margins = MarginsInPixels();
    const int along = PatternWidth(Encode(caption)) + 1 + margins.Left + margins.Right + frameSides;
    if (IsVertical(orientation_)) {
        size.setHeight(along);
    } else {
        size.setWidth(along);
    }
    return size;
}

std::optional<TRLBarcodeEncoder::Room> TRLBarcodeEncoder::RoomIn(const TRLRect& printable) const {
    Room room;
    room.Area = ShrinkRect(printable, MarginsInPixels());
    room.Width = WidthOfRect(room.Area);
    room.Height = HeightOfRect(room.Area);
    if (IsVertical(orientation_)) {
        std::swap(room.Width, room.Height);
    }
    if (room.Width < 1 || room.Height < 1) {
        return std::nullopt;
    }
    return room;
}

std::optional<TRLBarcodePicture> TRLBarcodeEncoder::MakePicture(const QString& caption,
                                                                const TRLRect& printable) {
    const std::optional<Room> room = RoomIn(printable);
    if (!room) {
        return std::nullopt;
    }
    const TRLRect& area = room->Area;
    const QImage bitmap = CreateBitmap(caption, room->Width, room->Height);
    const double angle = TurnAngle(orientation_);
    TRLBarcodePicture picture;
    picture.Image = angle == 0 ? bitmap : TurnedBitmap(bitmap, angle);

    const int freeX = WidthOfRect(area) - picture.Image.width();
    const int freeY = HeightOfRect(area) - picture.Image.height();
    picture.Origin.X = area.Left;
    if (alignment_ & Qt::AlignRight) {
        picture.Origin.X += freeX;
    } else if (alignment_ & Qt::AlignHCenter) {
        picture.Origin.X += freeX / 2;
    }
    picture.Origin.Y = area.Top;
    if (layout_ & Qt::AlignBottom) {
        picture.Origin.Y += freeY;
    } else if (layout_ & Qt::AlignVCenter) {
        picture.Origin.Y += freeY / 2;
    }
    return picture;
}

bool TRLBarcodeEncoder::Record(TRLGraphicSurface& surface, const QString& caption,
                               const TRLRect& printable, long long bitmapPixels) {
    const std::optional<Room> room = RoomIn(printable);
    if (!room) {
        return false;
    }
    const TRLRect& area = room->Area;
    const int width = room->Width;
    const int height = room->Height;
    if (static_cast<long long>(width) * height <= bitmapPixels) {
        const std::optional<TRLBarcodePicture> picture = MakePicture(caption, printable);
        // At its natural size: bitmap columns are report pixels, and every canvas scales the
        // page as a whole.
        surface.Draw(picture->Origin.X, picture->Origin.Y, picture->Image, false);
        return true;
    }

    // The turned picture fills the area exactly, so it starts at the area's corner.
    const TurnedPlacement place(orientation_, width, height, {area.Left, area.Top});
    const TRLRect whole{0, 0, width, height};
    const Plan plan = PlanPicture(caption, width, height);
    const TRLPen pen = surface.Pen();
    const TRLBrush brush = surface.Brush();

    surface.SetBrush({color_, TRLBrushStyle::Solid});
    surface.FillRect(area);
    // Spaces are the background's colour and are already there.
    surface.SetBrush({barColor_, TRLBrushStyle::Solid});
    for (const Element& element : plan.Elements) {
        const TRLRect shown = Intersected(element.Rect, whole);
        if (!element.Space && !IsEmpty(shown)) {
            surface.FillRect(place.Rect(shown));
        }
    }
    if (plan.Cross) {
        const TRLRect& bars = plan.Bars;
        constexpr int p = 4;
        surface.SetPen({Qt::red, TRLPenMode::Copy, TRLPenStyle::Solid, 4});
        const auto line = [&](TRLPoint from, TRLPoint to) {
            const TRLPoint a = place.Point(from);
            const TRLPoint b = place.Point(to);
            surface.MoveTo(a.X, a.Y);
            surface.LineTo(b.X, b.Y);
        };
        line({bars.Left + p, bars.Top + p}, {bars.Right - p - 1, bars.Bottom - p - 1});
        line({bars.Right - p - 1, bars.Top + p}, {bars.Left + p, bars.Bottom - p - 1});
    }
    for (const Text& text : plan.Texts) {
        // Each text is the part of the whole picture around it, glyphs that reach past their
        // cell included, painted as the whole picture paints it.
        QImage measure(1, 1, QImage::Format_RGB32);
        measure.setDotsPerMeterX(DotsPerMeter96);
        measure.setDotsPerMeterY(DotsPerMeter96);
        const QFontMetrics metrics(font_, &measure);
        const QRect ink = metrics.boundingRect(text.Value)
                              .translated(text.Cell.Left, text.Cell.Top + metrics.ascent());
        const TRLRect reach{std::min(text.Cell.Left, ink.left() - 1),
                            std::min(text.Cell.Top, ink.top() - 1),
                            std::max(text.Cell.Right, ink.right() + 2),
                            std::max(text.Cell.Bottom, ink.bottom() + 2)};
        const TRLRect shown = Intersected(reach, whole);
        if (IsEmpty(shown)) {
            continue;
        }
        QImage piece =
            BlankPicture(WidthOfRect(shown), HeightOfRect(shown), color_,
                         "its text would need a picture of %1 x %2 pixels, more than %3");
        {
            QPainter painter(&piece);
            painter.translate(-shown.Left, -shown.Top);
            PaintPlan(painter, plan);
        }
        const double angle = TurnAngle(orientation_);
        const QImage turned = angle == 0 ? piece : TurnedBitmap(piece, angle);
        const TRLRect placed = place.Rect(shown);
        surface.Draw(placed.Left, placed.Top, turned, false);
    }
    surface.SetPen(pen);
    surface.SetBrush(brush);
    return true;
}

} // namespace Kelmora
