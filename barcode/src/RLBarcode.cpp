#include <kelmora/barcode/RLBarcode.h>

#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLGraphicTypes.h>
#include <kelmora/report/RLReportClasses.h>
#include <kelmora/support/RLUtils.h>

#include <QPainter>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace Kelmora {

namespace {

constexpr int DefaultHeight = 34;

// Where the encoder puts the bars across and down, by the control's alignment and layout. Bars
// cannot be spread out: justified places them like left (or top).
Qt::Alignment HorizontalPlacement(TRLTextAlignment alignment) {
    // In the order of TRLTextAlignment.
    constexpr Qt::AlignmentFlag places[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                            Qt::AlignLeft};
    return alignment < std::size(places) ? places[alignment] : Qt::AlignLeft;
}

Qt::Alignment VerticalPlacement(TRLTextLayout layout) {
    // In the order of TRLTextLayout.
    constexpr Qt::AlignmentFlag places[] = {Qt::AlignTop, Qt::AlignBottom, Qt::AlignVCenter,
                                            Qt::AlignTop};
    return layout < std::size(places) ? places[layout] : Qt::AlignTop;
}

uint8_t DirectionAlongBars(TRLBarcodeOrientation orientation) {
    return TRLBarcodeEncoder::IsVertical(orientation) ? asHeightDir : asWidthDir;
}

} // namespace

TRLCustomBarcode::TRLCustomBarcode(TRLCustomControl* parent) : TRLCustomControl(parent) {
    SetAutoSizeDirection(DirectionAlongBars(encoder_.Orientation()));
    // The creation width is already the natural width of an empty code, so that a control
    // dropped into a band does not grow it a moment later.
    const int width = encoder_.CalcSize(QString(), QSize(0, DefaultHeight)).width();
    SetBounds(Left(), Top(), width, DefaultHeight);
    margins_.SetDefaults(1.0, 0.0, 1.0, 0.0);
    SetAutoSize(true);
}

void TRLCustomBarcode::BarsChanged(bool changed) {
    if (changed && !Loading())
        AdjustBounds();
}

void TRLCustomBarcode::SetBarcodeType(TRLBarcodeType value) {
    if (static_cast<int>(value) < 0 || static_cast<int>(value) >= BarcodeTypeCount)
        return;
    BarsChanged(encoder_.SetBarcodeType(value));
}

void TRLCustomBarcode::SetModule(int value) {
    BarsChanged(encoder_.SetModule(value));
}

void TRLCustomBarcode::SetRatio(double value) {
    BarsChanged(encoder_.SetRatio(value));
}

void TRLCustomBarcode::SetCheckSum(bool value) {
    BarsChanged(encoder_.SetCheckSum(value));
}

void TRLCustomBarcode::SetCheckSumMethod(TRLBarcodeCheckSumMethod value) {
    if (value != cmNone && value != cmModule10)
        return;
    BarsChanged(encoder_.SetCheckSumMethod(value));
}

void TRLCustomBarcode::SetOrientation(TRLBarcodeOrientation value) {
    if (value != boLeftToRight && value != boBottomToTop && value != boTopToBottom)
        return;
    const bool wasVertical = TRLBarcodeEncoder::IsVertical(encoder_.Orientation());
    if (!encoder_.SetOrientation(value))
        return;
    SetAutoSizeDirection(DirectionAlongBars(value));
    if (Loading())
        return;
    if (wasVertical != TRLBarcodeEncoder::IsVertical(value))
        SetBounds(Left(), Top(), Height(), Width());
    BarsChanged(true);
}

void TRLCustomBarcode::SetShowText(TRLBarcodeTextOption value) {
    if (static_cast<int>(value) >= boNone && value <= boBoth)
        encoder_.SetShowText(value);
}

void TRLCustomBarcode::SetInvalidCode(TRLBarcodeInvalidCode value) {
    if (static_cast<int>(value) >= icEmptyRect && value <= icDrawAnyway)
        encoder_.SetInvalidCode(value);
}

void TRLCustomBarcode::SetBarColor(const QColor& value) {
    if (value.isValid())
        encoder_.SetBarColor(value);
}

void TRLCustomBarcode::SyncEncoder() {
    encoder_.SetColor(Color());
    const TRLFont font = Font();
    encoder_.SetFont(ToQFont(font, 96));
    encoder_.SetFontColor(font.Color);
    encoder_.SetMargins({margins_.LeftMargin(), margins_.TopMargin(), margins_.RightMargin(),
                         margins_.BottomMargin()});
    encoder_.SetAlignment(HorizontalPlacement(Alignment()));
    encoder_.SetLayout(VerticalPlacement(Layout()));
    encoder_.SetAutoSize(AutoSize());
}

QString TRLCustomBarcode::Encode(const QString& value) {
    return encoder_.Encode(value);
}

QImage TRLCustomBarcode::CreateBitmap(const QString& value, int width, int height) {
    SyncEncoder();
    return encoder_.CreateBitmap(value, width, height);
}

std::optional<TRLBarcodePicture> TRLCustomBarcode::MakePicture(const TRLRect& printable) {
    SyncEncoder();
    return encoder_.MakePicture(Caption(), printable);
}

TRLSize TRLCustomBarcode::CalcSize() {
    SyncEncoder();
    // A drawn frame side takes its width plus the pixel the bars keep clear of it.
    int frameSides = 0;
    const int b = Borders().Width();
    if (b > 0) {
        if (Borders().CanDrawLeft())
            frameSides += b + 1;
        if (Borders().CanDrawRight())
            frameSides += b + 1;
    }
    const QSize size = encoder_.CalcSize(Caption(), QSize(Width(), Height()), frameSides);
    return {size.width(), size.height()};
}

QString TRLCustomBarcode::MakeCaption() {
    if (IsPreparing() && !expression_.IsEmpty())
        return ExpressionText(expression_);
    return TRLCustomControl::MakeCaption();
}

void TRLCustomBarcode::Print() {
    TRLCustomControl::Print();
    const QString caption = Caption();
    if (caption.size() > kMaxBarcodeValueLength) {
        throw TRLException(
            QStringLiteral("%1: a value of %2 characters, more than the %3 a barcode may print")
                .arg(Name())
                .arg(caption.size())
                .arg(kMaxBarcodeValueLength));
    }
    SyncEncoder();
    const TRLRect printable = CalcPrintClientRect();
    const TRLRect area = ShrinkRect(printable, encoder_.MarginsInPixels());
    if (WidthOfRect(area) < 1 || HeightOfRect(area) < 1)
        return;
    TRLGraphicSurface& surface = RequestParentSurface();
    BeginRecording(surface);
    try {
        encoder_.Record(surface, caption, printable);
    } catch (const TRLException& e) {
        throw TRLException(QStringLiteral("%1: %2").arg(Name(), e.Message()));
    }
}

QImage TRLCustomBarcode::PaintImage() {
    QImage image(std::max(Width(), 1), std::max(Height(), 1), QImage::Format_RGB32);
    image.fill(Color());
    const std::optional<TRLBarcodePicture> picture =
        MakePicture(Borders().Shrink({0, 0, Width(), Height()}));
    if (picture) {
        QPainter painter(&image);
        painter.drawImage(picture->Origin.X, picture->Origin.Y, picture->Image);
    }
    return image;
}

// ---- registration ----------------------------------------------------------------------------

namespace {

QStringList NamesOf(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names)
        list << QString::fromLatin1(name);
    return list;
}

QStringList BarcodeTypeNames() {
    QStringList names;
    for (int i = 0; i < BarcodeTypeCount; ++i)
        names << BarcodeTypeName(static_cast<TRLBarcodeType>(i));
    return names;
}

} // namespace

void RegisterBarcodeClasses() {
    using namespace rlprop;
    using K = TRLPropertyKind;
    using B = TRLCustomBarcode;

    RegisterReportClasses();
    TRLClassRegistry& registry = TRLClassRegistry::Instance();

    // The common control properties a barcode publishes; Margins is its own (the sites' Margins
    // descriptor would look for a site).
    std::vector<TRLPropertyInfo> props =
        ControlPropertySubset({"Left",         "Top",          "Width",
                               "Height",       "Align",        "Alignment",
                               "Anchors",      "AutoSize",     "Behavior",
                               "Borders",      "Caption",      "Color",
                               "Font",         "FriendlyName", "Holder",
                               "SecondHolder", "HoldStyle",    "SecondHoldStyle",
                               "Layout",       "ParentColor",  "ParentFont",
                               "RealBounds",   "Transparent",  "Visible",
                               "Expressions"});
    std::vector<TRLPropertyInfo> own{
        Enum("BarcodeType", BarcodeTypeNames(), &B::BarcodeType, &B::SetBarcodeType),
        Make("Module", K::Integer, &B::Module, &B::SetModule),
        Make("Ratio", K::Double, &B::Ratio, &B::SetRatio),
        Make("CheckSum", K::Boolean, &B::CheckSum, &B::SetCheckSum),
        Enum("CheckSumMethod", NamesOf({"cmNone", "cmModule10"}), &B::CheckSumMethod,
             &B::SetCheckSumMethod),
        Enum("Orientation", NamesOf({"boLeftToRight", "boBottomToTop", "boTopToBottom"}),
             &B::Orientation, &B::SetOrientation),
        Enum("ShowText", NamesOf({"boNone", "boCode", "boType", "boBoth"}), &B::ShowText,
             &B::SetShowText),
        Enum("InvalidCode", NamesOf({"icEmptyRect", "icCrossOut", "icDrawAnyway"}), &B::InvalidCode,
             &B::SetInvalidCode),
        Make("BarColor", K::Color, &B::BarColor, &B::SetBarColor),
        Object("Margins", "TRLMargins", static_cast<TRLMargins& (B::*)()>(&B::Margins)),
        Make("Expression", K::String, &B::Expression, &B::SetExpression),
        Make("DisplayMask", K::String, &B::DisplayMask, &B::SetDisplayMask),
    };
    for (auto& p : own)
        props.push_back(std::move(p));

    registry.Register({"TRLCustomBarcode", {}, {}, std::move(props)});
    registry.Register(
        {"TRLBarcode",
         "TRLCustomBarcode",
         [](TRLCustomControl* parent) -> TRLCustomControl* { return new TRLBarcode(parent); },
         {}});
}

} // namespace Kelmora
