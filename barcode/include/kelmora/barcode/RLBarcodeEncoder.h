/// @file
/// Everything about a barcode that decides its bars and texts, and the painting of them into a
/// bitmap. The report's barcode control owns one of these, forwards its published properties to
/// it, and records the picture that MakePicture returns; tools use it on its own.
#pragma once

#include <kelmora/barcode/RLBarcodeTypes.h>
#include <kelmora/support/RLCore.h>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

class QPainter;

namespace Kelmora {

class TRLGraphicSurface;

/// Longer values are not encoded at all (Encode finds them invalid): the longest symbol a
/// scanner reads is a few dozen characters, and every character costs bars on the page.
inline constexpr int kMaxBarcodeValueLength = 4096;

/// A picture of more pixels is recorded as rectangles and small text pictures (Record): bars
/// run the picture's whole height, so a large one is mostly copies of one row, and it is
/// recorded again for every record that prints it. Ordinary barcodes stay one picture.
inline constexpr long long kMaxBarcodeBitmapPixels = 256 * 256;

/// Inner margins around the bars, in millimetres.
struct TRLBarcodeMargins {
    double LeftMargin = 1.0;
    double TopMargin = 0.0;
    double RightMargin = 1.0;
    double BottomMargin = 0.0;
    friend bool operator==(const TRLBarcodeMargins&, const TRLBarcodeMargins&) = default;
};

/// A painted barcode and where its top-left corner goes in the control's parent surface.
struct TRLBarcodePicture {
    QImage Image;
    TRLPoint Origin;
};

class TRLBarcodeEncoder {
public:
    // ---- Properties. Setters return true when the stored value changed, so that the owner
    // knows when to resize and repaint; values outside a property's range are ignored.

    TRLBarcodeType BarcodeType() const { return barcodeType_; }
    bool SetBarcodeType(TRLBarcodeType value);

    /// Width in pixels of the narrowest element, 1 to 49.
    int Module() const { return module_; }
    bool SetModule(int value);

    /// Wide-to-narrow ratio; each encoding first clamps it into the symbology's range and keeps
    /// the clamped value. Zero, negative and non-finite ratios are ignored.
    double Ratio() const { return ratio_; }
    bool SetRatio(double value);

    bool CheckSum() const { return checkSum_; }
    bool SetCheckSum(bool value);

    TRLBarcodeCheckSumMethod CheckSumMethod() const { return checkSumMethod_; }
    bool SetCheckSumMethod(TRLBarcodeCheckSumMethod value);

    TRLBarcodeOrientation Orientation() const { return orientation_; }
    bool SetOrientation(TRLBarcodeOrientation value);

    TRLBarcodeTextOption ShowText() const { return showText_; }
    bool SetShowText(TRLBarcodeTextOption value);

    TRLBarcodeInvalidCode InvalidCode() const { return invalidCode_; }
    bool SetInvalidCode(TRLBarcodeInvalidCode value);

    QColor BarColor() const { return barColor_; }
    bool SetBarColor(const QColor& value);

    /// Colour of the spaces and the background.
    bool SetColor(const QColor& value);

    /// Font of the texts, in points for a 96-per-inch canvas, and the colour they are written in.
    bool SetFont(const QFont& value);
    bool SetFontColor(const QColor& value);

    bool SetMargins(const TRLBarcodeMargins& value);

    /// Horizontal placement of the bars (Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter) and
    /// vertical placement of the picture (Qt::AlignTop, Qt::AlignBottom or Qt::AlignVCenter).
    bool SetAlignment(Qt::Alignment value);
    bool SetLayout(Qt::Alignment value);

    bool SetAutoSize(bool value);

    // ---- Operations

    /// The element string of value (see RLBarcodeSymbology.h). Clamps Ratio into the
    /// symbology's range first, and leaves Invalid telling whether the value broke its rules.
    QString Encode(const QString& value);

    /// Whether the last encoding found the value invalid.
    bool Invalid() const { return invalid_; }

    /// Width in pixels of an element string at the current Module and Ratio.
    int PatternWidth(QStringView elements) const;

    /// The display name of BarcodeType, as printed above the bars.
    QString TypeName() const;

    /// A width x height 32-bit bitmap of the bars of value, always left to right, with the texts
    /// that ShowText asks for. Sizes below 1 give a null image; more than kMaxPicturePixels
    /// pixels are refused (TRLException).
    QImage CreateBitmap(const QString& value, int width, int height);

    /// The size of the control after its caption changed: with AutoSize the size along the bars
    /// (width, or height when the bars run vertically) fits the code, the margins and the frame
    /// sides, given as the pixels that the drawn left and right border sides add; the other
    /// dimension stays.
    QSize CalcSize(const QString& caption, QSize size, int frameSides = 0);

    /// The picture the control records when printing into its printable rectangle (parent
    /// coordinates): the rectangle less the margins, turned for vertical bars and placed by
    /// Alignment and Layout. Nothing when the rectangle less the margins has no area.
    std::optional<TRLBarcodePicture> MakePicture(const QString& caption, const TRLRect& printable);

    /// Records on surface what MakePicture places in printable: the picture itself while it has
    /// at most bitmapPixels pixels; past that the same drawing as objects of the page, the
    /// background and each bar a filled rectangle, the cross two lines and each text a picture of
    /// its own cell, so that a barcode of any size costs about as much as its bars. False when
    /// there is no room for the bars. A text cell of more than kMaxPicturePixels pixels is refused
    /// (TRLException).
    bool Record(TRLGraphicSurface& surface, const QString& caption, const TRLRect& printable,
                long long bitmapPixels = kMaxBarcodeBitmapPixels);

    /// The margins converted to pixels, as a rectangle of left, top, right and bottom amounts.
    TRLRect MarginsInPixels() const;

    static bool IsVertical(TRLBarcodeOrientation orientation) {
        return orientation != boLeftToRight;
    }

private:
    /// Where everything goes in a picture of width x height, bars left to right.
    struct Element {
        TRLRect Rect;
        bool Space;
    };
    struct Text {
        TRLRect Cell;
        QString Value;
    };
    struct Plan {
        int Width = 0;
        int Height = 0;
        std::vector<Element> Elements;
        /// The bars' rectangle, crossed out from corner to corner when Cross says so.
        TRLRect Bars;
        bool Cross = false;
        std::vector<Text> Texts;
    };
    Plan PlanPicture(const QString& value, int width, int height);
    /// The printable rectangle less the margins, and the size of the picture of the bars drawn
    /// left to right that fills it (turned for vertical bars). Nothing when it has no area.
    struct Room {
        TRLRect Area;
        int Width = 0;
        int Height = 0;
    };
    std::optional<Room> RoomIn(const TRLRect& printable) const;
    /// Paints the plan's bars, cross and texts on a painter whose picture is filled with Color.
    void PaintPlan(QPainter& painter, const Plan& plan) const;

    TRLBarcodeType barcodeType_ = bcCode2OF5Interleaved;
    int module_ = 1;
    double ratio_ = 2.0;
    bool checkSum_ = false;
    TRLBarcodeCheckSumMethod checkSumMethod_ = cmModule10;
    TRLBarcodeOrientation orientation_ = boLeftToRight;
    TRLBarcodeTextOption showText_ = boNone;
    TRLBarcodeInvalidCode invalidCode_ = icEmptyRect;
    QColor barColor_ = Qt::black;
    QColor color_ = Qt::white;
    QFont font_ = QFont(QStringLiteral("Arial"), 10);
    QColor fontColor_ = Qt::black;
    TRLBarcodeMargins margins_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    Qt::Alignment layout_ = Qt::AlignTop;
    bool autoSize_ = true;
    bool invalid_ = false;
};

} // namespace Kelmora
