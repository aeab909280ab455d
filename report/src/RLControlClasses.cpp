// Registration of the text and graphic controls and their published properties.
#include <kelmora/report/RLControlClasses.h>

#include <kelmora/report/RLGraphicControls.h>
#include <kelmora/report/RLReportClasses.h>
#include <kelmora/report/RLTextControls.h>

namespace Kelmora {

using K = TRLPropertyKind;
using namespace rlprop;

namespace {

template <class T> TRLCustomControl* CreateControl(TRLCustomControl* parent) {
    return new T(parent);
}

// Registers a control class that publishes some of the common control properties and then its
// own, in the order given.
template <class Control>
void RegisterControl(TRLClassRegistry& r, const char* name, const QStringList& common,
                     std::vector<TRLPropertyInfo> own) {
    std::vector<TRLPropertyInfo> props = ControlPropertySubset(common);
    for (auto& p : own)
        props.push_back(std::move(p));
    r.Register({name, {}, &CreateControl<Control>, std::move(props)});
}

// Every common control property but Caption: memos and system-info labels make their caption
// from their own properties, so a caption set by name would only be overwritten.
const QStringList& TextControlNames() {
    static const QStringList names = {"Left",
                                      "Top",
                                      "Width",
                                      "Height",
                                      "Align",
                                      "Alignment",
                                      "Anchors",
                                      "AutoSize",
                                      "Behavior",
                                      "Borders",
                                      "Color",
                                      "Font",
                                      "FriendlyName",
                                      "Holder",
                                      "SecondHolder",
                                      "HoldStyle",
                                      "SecondHoldStyle",
                                      "Layout",
                                      "ParentColor",
                                      "ParentFont",
                                      "RealBounds",
                                      "Transparent",
                                      "Visible",
                                      "Expressions"};
    return names;
}

// What a picture or a shape publishes: no text, no font.
QStringList GraphicControlNames(bool withAutoSize) {
    QStringList names = {
        "Left",       "Top",          "Width",     "Height",          "Align",
        "Anchors",    "Behavior",     "Borders",   "Color",           "FriendlyName",
        "Holder",     "SecondHolder", "HoldStyle", "SecondHoldStyle", "ParentColor",
        "RealBounds", "Transparent",  "Visible",   "Expressions"};
    if (withAutoSize)
        names << "AutoSize"
              << "Alignment"
              << "Layout";
    return names;
}

void RegisterSettings(TRLClassRegistry& r) {
    {
        using P = TRLPenSettings;
        r.Register({"TRLPenSettings",
                    {},
                    {},
                    {
                        Make("Color", K::Color, &P::Color, &P::SetColor),
                        Enum("Mode", PenModeNames(), &P::Mode, &P::SetMode),
                        Enum("Style", PenStyleNames(), &P::Style, &P::SetStyle),
                        Make("Width", K::Integer, &P::Width, &P::SetWidth),
                    }});
    }
    {
        using B = TRLBrushSettings;
        r.Register({"TRLBrushSettings",
                    {},
                    {},
                    {
                        Make("Color", K::Color, &B::Color, &B::SetColor),
                        Enum("Style", BrushStyleNames(), &B::Style, &B::SetStyle),
                    }});
    }
}

// The "Kind" of older layouts: written by name, never read back.
TRLPropertyInfo LegacyKind() {
    TRLPropertyInfo p;
    p.Name = "Kind";
    p.Kind = K::Enum;
    p.ValueNames = LegacyDrawKindNames();
    p.Set = [](TRLPersistent& o, const QVariant& v) {
        const int ordinal = v.toInt();
        if (ordinal >= 0 && ordinal < LegacyDrawKindNames().size())
            dynamic_cast<TRLCustomDraw&>(o).SetLegacyKind(LegacyDrawKindNames()[ordinal]);
    };
    return p;
}

} // namespace

void RegisterTextAndGraphicClasses() {
    RegisterReportClasses();
    TRLClassRegistry& r = TRLClassRegistry::Instance();
    RegisterSettings(r);

    // A label publishes every common control property, Caption included, and the expression
    // that computes its text from the records.
    {
        using L = TRLCustomLabel;
        r.Register({"TRLLabel",
                    "TRLCustomControl",
                    &CreateControl<TRLLabel>,
                    {
                        Make("Expression", K::String, &L::Expression, &L::SetExpression),
                        Make("DisplayMask", K::String, &L::DisplayMask, &L::SetDisplayMask),
                    }});
    }
    {
        using S = TRLCustomSystemInfo;
        RegisterControl<TRLSystemInfo>(r, "TRLSystemInfo", TextControlNames(),
                                       {
                                           Enum("Info", InfoTypeNames(), &S::Info, &S::SetInfo),
                                           Make("Text", K::String, &S::Text, &S::SetText),
                                       });
    }
    {
        using M = TRLCustomMultiLine;
        using L = TRLCustomMemo;
        RegisterControl<TRLMemo>(
            r, "TRLMemo", TextControlNames(),
            {
                Make("Lines", K::StringList, &L::Lines, &L::SetLines),
                Make("WordWrap", K::Boolean, &M::WordWrap, &M::SetWordWrap),
                Make("IntegralHeight", K::Boolean, &M::IntegralHeight, &M::SetIntegralHeight),
                Make("Expression", K::String, &L::Expression, &L::SetExpression),
                Make("DisplayMask", K::String, &L::DisplayMask, &L::SetDisplayMask),
            });
    }
    {
        using I = TRLCustomImage;
        RegisterControl<TRLImage>(
            r, "TRLImage", GraphicControlNames(true),
            {
                Make("Picture", K::Picture, &I::Picture, &I::SetPicture),
                Make("Scaled", K::Boolean, &I::Scaled, &I::SetScaled),
                Make("Stretch", K::Boolean, &I::Stretch, &I::SetStretch),
                Make("Center", K::Boolean, &I::Center, &I::SetCenter),
                Make("Expression", K::String, &I::Expression, &I::SetExpression),
            });
    }
    {
        using D = TRLCustomDraw;
        // DrawKind before DrawData (custom data makes the kind dkCustom), Angle before the
        // legacy Kind (which adds a quarter turn to it).
        RegisterControl<TRLDraw>(
            r, "TRLDraw", GraphicControlNames(false),
            {
                Enum("DrawKind", DrawKindNames(), &D::DrawKind, &D::SetDrawKind),
                Make("DrawData", K::StringList, &D::DrawData, &D::SetDrawData),
                Make("Angle", K::Double, &D::Angle, &D::SetAngle),
                Object("Pen", "TRLPenSettings", static_cast<TRLPenSettings& (D::*)()>(&D::Pen)),
                Object("Brush", "TRLBrushSettings",
                       static_cast<TRLBrushSettings& (D::*)()>(&D::Brush)),
                Make("Center", K::Boolean, &D::Center, &D::SetCenter),
                Set("Options", DrawOptionNames(), &D::Options, &D::SetOptions),
                Make("DrawWidth", K::Integer, &D::DrawWidth, &D::SetDrawWidth),
                Make("DrawHeight", K::Integer, &D::DrawHeight, &D::SetDrawHeight),
                LegacyKind(),
            });
    }
}

} // namespace Kelmora
