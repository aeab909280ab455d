#include "RLBarcodeEncoder.h"

#include "RLBarcodeSymbology.h"
#include "RLUtils.h"

#include <QPainter>
#include <QPen>

#include <cmath>
#include <utility>

namespace {

constexpr int DotsPerMeter96 = 3780; // 96 pixels per inch

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
    TRLBarcodeElements encoded =
        EncodeBarcodeElements(barcodeType_, value, checkSum_, checkSumMethod_);
    invalid_ = encoded.Invalid;
    return std::move(encoded.Elements);
}

int TRLBarcodeEncoder::PatternWidth(QStringView elements) const {
    return ::PatternWidth(elements,
                          BarcodeWidths(module_, BarcodeWidthRatio(barcodeType_, ratio_)));
}

QString TRLBarcodeEncoder::TypeName() const {
    return BarcodeDisplayName(barcodeType_);
}

TRLRect TRLBarcodeEncoder::MarginsInPixels() const {
    return {MillimetresToPixels(margins_.LeftMargin), MillimetresToPixels(margins_.TopMargin),
            MillimetresToPixels(margins_.RightMargin), MillimetresToPixels(margins_.BottomMargin)};
}

QImage TRLBarcodeEncoder::CreateBitmap(const QString& value, int width, int height) {
    if (width < 1 || height < 1) {
        return QImage();
    }
    QImage bitmap(width, height, QImage::Format_RGB32);
    if (bitmap.isNull()) {
        throw TRLException(QStringLiteral("Out of memory while painting a barcode"));
    }
    bitmap.setDotsPerMeterX(DotsPerMeter96);
    bitmap.setDotsPerMeterY(DotsPerMeter96);
    bitmap.fill(color_);

    QPainter painter(&bitmap);
    const TRLRect area{0, 0, width, height};
    TRLRect bars = area;

    const bool showType = showText_ == boType || showText_ == boBoth;
    const bool showCode = showText_ == boCode || showText_ == boBoth;
    if (showText_ != boNone) {
        painter.setFont(font_);
        const int lineHeight = TextHeightOf(font_);
        if (showType) {
            bars.Top += lineHeight;
        }
        if (showCode) {
            // PostNet's short bars would vanish under the text, so it gives the whole line up.
            bars.Bottom -= barcodeType_ == bcPostNet ? lineHeight : lineHeight / 2;
        }
    }

    const QString elements = Encode(value);
    const TRLBarcodeWidths widths = BarcodeWidths(module_, BarcodeWidthRatio(barcodeType_, ratio_));
    bars.Right = bars.Left + ::PatternWidth(elements, widths);
    int shift = 0;
    if (alignment_ & Qt::AlignRight) {
        shift = WidthOfRect(area) - WidthOfRect(bars);
    } else if (alignment_ & Qt::AlignHCenter) {
        shift = (WidthOfRect(area) - WidthOfRect(bars)) / 2;
    }
    bars.Left += shift;
    bars.Right += shift;

    if (!value.trimmed().isEmpty() && (!invalid_ || invalidCode_ != icEmptyRect)) {
        const int shortTop = bars.Bottom - HeightOfRect(bars) * 2 / 5;
        int x = bars.Left;
        for (QChar element : elements) {
            const int w = ElementWidth(element, widths);
            const char16_t c = element.unicode();
            const bool space = c >= u'0' && c <= u'3';
            const bool shortBar = c >= u'A' && c <= u'D';
            const int top = shortBar ? shortTop : bars.Top;
            if (w > 0 && bars.Bottom > top) {
                painter.fillRect(QRect(x, top, w, bars.Bottom - top), space ? color_ : barColor_);
            }
            x += w;
        }
    }

    if (invalid_ && invalidCode_ == icCrossOut) {
        constexpr int p = 4;
        painter.setPen(QPen(Qt::red, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(bars.Left + p, bars.Top + p, bars.Right - p - 1, bars.Bottom - p - 1);
        painter.drawLine(bars.Right - p - 1, bars.Top + p, bars.Left + p, bars.Bottom - p - 1);
    }

    if (showText_ != boNone) {
        painter.setPen(fontColor_);
        const int centre = bars.Left + bars.Right;
        if (showType) {
            const QString name = TypeName();
            TextOut(painter, font_, color_, (centre - TextWidthOf(font_, name)) / 2, area.Top,
                    name);
        }
        if (showCode) {
            TextOut(painter, font_, color_, (centre - TextWidthOf(font_, value)) / 2,
                    area.Bottom - TextHeightOf(font_), value);
        }
    }
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

std::optional<TRLBarcodePicture> TRLBarcodeEncoder::MakePicture(const QString& caption,
                                                                const TRLRect& printable) {
    const TRLRect area = ShrinkRect(printable, MarginsInPixels());
    int width = WidthOfRect(area);
    int height = HeightOfRect(area);
    if (IsVertical(orientation_)) {
        std::swap(width, height);
    }
    if (width < 1 || height < 1) {
        return std::nullopt;
    }
    const QImage bitmap = CreateBitmap(caption, width, height);
    const double angle = orientation_ == boBottomToTop   ? 90.0
                         : orientation_ == boTopToBottom ? -90.0
                                                         : 0.0;
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
