/// @file
/// The barcode report control: prints its Caption as the bars of a one-dimensional symbology,
/// or, while a report prepares, the value of its Expression for each record ("Sku",
/// "'AR' + Code").
///
/// Bars, texts and placement are all worked out by the TRLBarcodeEncoder the control owns; the
/// control keeps the report-side state (bounds, borders, margins, colours and fonts that may come
/// from the parent, the caption that changes while a report prepares) and hands the encoder the
/// values in effect each time it measures or prints. Printing records one picture object.
#pragma once

#include <kelmora/barcode/RLBarcodeEncoder.h>
#include <kelmora/report/RLControl.h>
#include <kelmora/report/RLTextExpression.h>

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

namespace Kelmora {

class TRLCustomBarcode : public TRLCustomControl {
    Q_OBJECT

public:
    explicit TRLCustomBarcode(TRLCustomControl* parent = nullptr);

    // ---- published properties. Setters ignore out-of-range values and do nothing when the
    // value does not change; those that affect the bars re-size the control (with AutoSize).

    TRLBarcodeType BarcodeType() const { return encoder_.BarcodeType(); }
    void SetBarcodeType(TRLBarcodeType value);
    /// 1 to 49.
    int Module() const { return encoder_.Module(); }
    void SetModule(int value);
    /// Clamped into the symbology's range by every encoding, which keeps the clamped value.
    double Ratio() const { return encoder_.Ratio(); }
    void SetRatio(double value);
    bool CheckSum() const { return encoder_.CheckSum(); }
    void SetCheckSum(bool value);
    TRLBarcodeCheckSumMethod CheckSumMethod() const { return encoder_.CheckSumMethod(); }
    void SetCheckSumMethod(TRLBarcodeCheckSumMethod value);
    /// Switching between horizontal and vertical bars swaps Width and Height (not while a layout
    /// is loading: stored bounds already belong to the stored orientation).
    TRLBarcodeOrientation Orientation() const { return encoder_.Orientation(); }
    void SetOrientation(TRLBarcodeOrientation value);
    TRLBarcodeTextOption ShowText() const { return encoder_.ShowText(); }
    void SetShowText(TRLBarcodeTextOption value);
    TRLBarcodeInvalidCode InvalidCode() const { return encoder_.InvalidCode(); }
    void SetInvalidCode(TRLBarcodeInvalidCode value);
    QColor BarColor() const { return encoder_.BarColor(); }
    void SetBarColor(const QColor& value);
    /// Inner margins around the bars, in millimetres (1 left and right, 0 above and below).
    TRLMargins& Margins() { return margins_; }
    const TRLMargins& Margins() const { return margins_; }
    /// The value to encode, computed from the records while the report prepares as a label's
    /// text is (totals and display masks included); empty: the Caption.
    QString Expression() const { return expression_.Expression(); }
    void SetExpression(const QString& expression) { expression_.SetExpression(expression); }
    QString DisplayMask() const { return expression_.DisplayMask(); }
    void SetDisplayMask(const QString& mask) { expression_.SetDisplayMask(mask); }

    // ---- operations

    /// The element string of value at the current settings; Invalid tells whether the value
    /// broke the symbology's rules.
    QString Encode(const QString& value);
    bool Invalid() const { return encoder_.Invalid(); }
    /// Width in pixels of an element string at the current Module and Ratio.
    int PatternWidth(const QString& elements) const { return encoder_.PatternWidth(elements); }
    /// The display name of BarcodeType ("2OF5 Interleaved", "EAN13", ...).
    QString TypeName() const { return encoder_.TypeName(); }
    /// A width x height bitmap of value's bars left to right, with the texts ShowText asks for,
    /// in the control's colours and font.
    QImage CreateBitmap(const QString& value, int width, int height);
    /// The picture Print records, placed inside printable (parent coordinates); nothing when the
    /// area less the margins is empty.
    std::optional<TRLBarcodePicture> MakePicture(const TRLRect& printable);
    /// The design-time view: the control's own rectangle in its colour with the bars painted
    /// where Print would record them.
    QImage PaintImage();

    TRLSize CalcSize() override;
    void Print() override;
    QString MakeCaption() override;
    TRLTextExpression* TextExpression() override { return &expression_; }

private:
    /// Brings the encoder's copies of the control's inherited and parent-dependent settings
    /// (colour, font, margins, alignment, layout, AutoSize) up to date.
    void SyncEncoder();
    /// Takes whether a setting of the encoder changed the bars: they then need their size
    /// recomputed (AdjustBounds keeps it when AutoSize is off), except while loading.
    void BarsChanged(bool changed);

    TRLBarcodeEncoder encoder_;
    TRLMargins margins_{this};
    TRLTextExpression expression_;
};

class TRLBarcode : public TRLCustomBarcode {
    Q_OBJECT

public:
    using TRLCustomBarcode::TRLCustomBarcode;
};

/// Registers TRLCustomBarcode and TRLBarcode with their published properties in
/// TRLClassRegistry (layouts then create "class": "TRLBarcode" by name). Registers the report
/// library's classes too, since the barcode's settings objects are theirs. Safe to call again.
void RegisterBarcodeClasses();

} // namespace Kelmora
