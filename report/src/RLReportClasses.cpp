// Registration of this library's classes and their published properties.
#include <kelmora/report/RLReportClasses.h>

#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLPropertyExpressions.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLSubDetail.h>

namespace Kelmora {

using K = TRLPropertyKind;
using namespace rlprop;

namespace {

template <class T> TRLCustomControl* CreateControl(TRLCustomControl* parent) {
    return new T(parent);
}

TRLPropertyInfo Component(const QString& name,
                          std::function<TRLCustomControl*(const TRLCustomControl&)> get,
                          std::function<void(TRLCustomControl&, TRLCustomControl*)> set) {
    TRLPropertyInfo p;
    p.Name = name;
    p.Kind = K::Component;
    p.Get = [get](const TRLPersistent& o) {
        return QVariant::fromValue(get(dynamic_cast<const TRLCustomControl&>(o)));
    };
    p.Set = [set](TRLPersistent& o, const QVariant& v) {
        set(dynamic_cast<TRLCustomControl&>(o), v.value<TRLCustomControl*>());
    };
    return p;
}

std::vector<TRLPropertyInfo> AllControlProperties() {
    using C = TRLCustomControl;
    return {
        Make("Left", K::Integer, &C::Left, &C::SetLeft),
        Make("Top", K::Integer, &C::Top, &C::SetTop),
        Make("Width", K::Integer, &C::Width, &C::SetWidth),
        Make("Height", K::Integer, &C::Height, &C::SetHeight),
        Enum("Align", ControlAlignNames(), &C::Align, &C::SetAlign),
        Enum("Alignment", TextAlignmentNames(), &C::Alignment, &C::SetAlignment),
        Set("Anchors", AnchorNames(), &C::Anchors, &C::SetAnchors),
        Make("AutoSize", K::Boolean, &C::AutoSize, &C::SetAutoSize),
        Set("Behavior", BehaviorNames(), &C::Behavior, &C::SetBehavior),
        Object("Borders", "TRLBorders", static_cast<TRLBorders& (C::*)()>(&C::Borders)),
        Make("Caption", K::String, &C::Caption, &C::SetCaption),
        Make("Color", K::Color, &C::Color, &C::SetColor),
        Make("Font", K::Font, &C::Font, &C::SetFont),
        Make("FriendlyName", K::String, &C::FriendlyName, &C::SetFriendlyName),
        Component(
            "Holder", [](const C& c) { return c.Holder(); }, [](C& c, C* h) { c.SetHolder(h); }),
        Component(
            "SecondHolder", [](const C& c) { return c.SecondHolder(); },
            [](C& c, C* h) { c.SetSecondHolder(h); }),
        Enum("HoldStyle", HoldStyleNames(), &C::HoldStyle, &C::SetHoldStyle),
        Enum("SecondHoldStyle", HoldStyleNames(), &C::SecondHoldStyle, &C::SetSecondHoldStyle),
        Enum("Layout", TextLayoutNames(), &C::Layout, &C::SetLayout),
        Make("ParentColor", K::Boolean, &C::ParentColor, &C::SetParentColor),
        Make("ParentFont", K::Boolean, &C::ParentFont, &C::SetParentFont),
        Object("RealBounds", "TRLRealBounds", &C::RealBounds),
        Make("Transparent", K::Boolean, &C::Transparent, &C::SetTransparent),
        Make("Visible", K::Boolean, &C::Visible, &C::SetVisible),
        Object("Expressions", "TRLPropertyExpressions", &C::PropertyExpressions),
    };
}

std::vector<TRLPropertyInfo> SiteProperties() {
    using S = TRLCustomSite;
    return {
        Object("Background", "TRLBackground", &S::Background),
        Object("Degrade", "TRLDegradeEffect", &S::Degrade),
        Object("Margins", "TRLMargins", static_cast<TRLMargins& (S::*)()>(&S::Margins)),
        Object("InsideMargins", "TRLMargins", static_cast<TRLMargins& (S::*)()>(&S::InsideMargins)),
    };
}

std::vector<TRLPropertyInfo> PagerProperties() {
    using P = TRLCustomPager;
    return {
        Set("AllowedBands", BandTypeNames(), &P::AllowedBands, &P::SetAllowedBands),
        Make("MaxBands", K::Integer, &P::MaxBands, &P::SetMaxBands),
        Make("MinBands", K::Integer, &P::MinBands, &P::SetMinBands),
        Make("ForceMinBands", K::Boolean, &P::ForceMinBands, &P::SetForceMinBands),
        Enum("FooterMeasuring", FooterMeasuringNames(), &P::FooterMeasuring,
             &P::SetFooterMeasuring),
    };
}

void Append(std::vector<TRLPropertyInfo>& to, std::vector<TRLPropertyInfo> from) {
    for (auto& p : from)
        to.push_back(std::move(p));
}

// What a pager inside another publishes (a group, a subdetail): a site's look and place, and the
// pager's band limits.
std::vector<TRLPropertyInfo> NestedPagerProperties() {
    std::vector<TRLPropertyInfo> props = ControlPropertySubset(
        {"Left", "Top", "Width", "Height", "Align", "Background", "Borders", "Color", "Degrade",
         "Font", "InsideMargins", "Margins", "ParentColor", "ParentFont", "RealBounds",
         "Transparent", "Visible", "FriendlyName"});
    Append(props, PagerProperties());
    return props;
}

// The borders' Style is stored only; it is kept as the brush style's ordinal.
TRLPropertyInfo BorderStyle() {
    TRLPropertyInfo style;
    style.Name = "Style";
    style.Kind = K::Enum;
    style.ValueNames = {"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                        "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    style.Get = [](const TRLPersistent& o) {
        return QVariant(static_cast<int>(dynamic_cast<const TRLBorders&>(o).Style()));
    };
    style.Set = [](TRLPersistent& o, const QVariant& v) {
        if (v.toInt() >= 0 && v.toInt() < 8)
            dynamic_cast<TRLBorders&>(o).SetStyle(static_cast<TRLBrushStyle>(v.toInt()));
    };
    return style;
}

// The settings objects of every control: borders, margins, real bounds.
void RegisterControlSettings(TRLClassRegistry& r) {
    {
        using B = TRLBorders;
        r.Register({"TRLBorders",
                    {},
                    {},
                    {
                        Enum("Sides", BorderSidesNames(), &B::Sides, &B::SetSides),
                        Make("DrawLeft", K::Boolean, &B::DrawLeft, &B::SetDrawLeft),
                        Make("DrawTop", K::Boolean, &B::DrawTop, &B::SetDrawTop),
                        Make("DrawRight", K::Boolean, &B::DrawRight, &B::SetDrawRight),
                        Make("DrawBottom", K::Boolean, &B::DrawBottom, &B::SetDrawBottom),
                        Make("Width", K::Integer, &B::Width, &B::SetWidth),
                        Make("Color", K::Color, &B::Color, &B::SetColor),
                        Make("FixedLeft", K::Boolean, &B::FixedLeft, &B::SetFixedLeft),
                        Make("FixedTop", K::Boolean, &B::FixedTop, &B::SetFixedTop),
                        Make("FixedRight", K::Boolean, &B::FixedRight, &B::SetFixedRight),
                        Make("FixedBottom", K::Boolean, &B::FixedBottom, &B::SetFixedBottom),
                        BorderStyle(),
                    }});
    }
    {
        using M = TRLMargins;
        r.Register({"TRLMargins",
                    {},
                    {},
                    {
                        Make("LeftMargin", K::Double, &M::LeftMargin, &M::SetLeftMargin),
                        Make("TopMargin", K::Double, &M::TopMargin, &M::SetTopMargin),
                        Make("RightMargin", K::Double, &M::RightMargin, &M::SetRightMargin),
                        Make("BottomMargin", K::Double, &M::BottomMargin, &M::SetBottomMargin),
                    }});
    }
    {
        using R = TRLRealBounds;
        r.Register({"TRLRealBounds",
                    {},
                    {},
                    {
                        Enum("UsedUnit", RealBoundsUnitNames(), &R::UsedUnit, &R::SetUsedUnit),
                        Make("Left", K::Double, &R::Left, &R::SetLeft),
                        Make("Top", K::Double, &R::Top, &R::SetTop),
                        Make("Width", K::Double, &R::Width, &R::SetWidth),
                        Make("Height", K::Double, &R::Height, &R::SetHeight),
                    }});
    }
}

// The settings objects of sites (background picture and gradient) and of the report (page setup
// and preview options).
void RegisterSiteAndReportSettings(TRLClassRegistry& r) {
    {
        using B = TRLBackground;
        r.Register({"TRLBackground",
                    {},
                    {},
                    {
                        Enum("Align", ControlAlignNames(), &B::Align, &B::SetAlign),
                        Enum("Arrange", ImageArrangeNames(), &B::Arrange, &B::SetArrange),
                        Make("AutoSize", K::Boolean, &B::AutoSize, &B::SetAutoSize),
                        Make("Height", K::Integer, &B::Height, &B::SetHeight),
                        Make("Width", K::Integer, &B::Width, &B::SetWidth),
                        Make("Stretch", K::Boolean, &B::Stretch, &B::SetStretch),
                        Make("Picture", K::Picture, &B::Picture, &B::SetPicture),
                    }});
    }
    {
        using D = TRLDegradeEffect;
        r.Register({"TRLDegradeEffect",
                    {},
                    {},
                    {
                        Enum("Direction", DegradeDirectionNames(), &D::Direction, &D::SetDirection),
                        Make("OppositeColor", K::Color, &D::OppositeColor, &D::SetOppositeColor),
                        Make("Granularity", K::Integer, &D::Granularity, &D::SetGranularity),
                    }});
    }
    {
        using P = TRLPageSetup;
        r.Register(
            {"TRLPageSetup",
             {},
             {},
             {
                 Enum("PaperSize", PaperSizeNames(), &P::PaperSize, &P::SetPaperSize),
                 Enum("Orientation", PageOrientationNames(), &P::Orientation, &P::SetOrientation),
                 Make("PaperWidth", K::Double, &P::PaperWidth, &P::SetPaperWidth),
                 Make("PaperHeight", K::Double, &P::PaperHeight, &P::SetPaperHeight),
                 Make("ForceEmulation", K::Boolean, &P::ForceEmulation, &P::SetForceEmulation),
             }});
    }
    {
        using O = TRLPreviewOptions;
        r.Register(
            {"TRLPreviewOptions",
             {},
             {},
             {
                 Enum("Defaults", PreviewDefaultsNames(), &O::Defaults, &O::SetDefaults),
                 Make("ShowModal", K::Boolean, &O::ShowModal, &O::SetShowModal),
                 Enum("FormStyle", FormStyleNames(), &O::FormStyle, &O::SetFormStyle),
                 Enum("Position", FormPositionNames(), &O::Position, &O::SetPosition),
                 Enum("WindowState", WindowStateNames(), &O::WindowState, &O::SetWindowState),
                 Set("BorderIcons", BorderIconNames(), &O::BorderIcons, &O::SetBorderIcons),
                 Make("HelpFile", K::String, &O::HelpFile, &O::SetHelpFile),
                 Make("HelpContext", K::Integer, &O::HelpContext, &O::SetHelpContext),
                 Make("Caption", K::String, &O::Caption, &O::SetCaption),
             }});
    }
}

} // namespace

const QStringList& PaperSizeNames() {
    static const QStringList names = [] {
        QStringList list;
        for (int i = 0; i < PaperSizeCount; ++i)
            list << QString::fromLatin1(PaperSizeName(static_cast<TRLPaperSize>(i)));
        return list;
    }();
    return names;
}

std::vector<TRLPropertyInfo> ControlPropertySubset(const QStringList& names) {
    std::vector<TRLPropertyInfo> result;
    const std::vector<TRLPropertyInfo> all = [] {
        auto list = AllControlProperties();
        Append(list, SiteProperties());
        return list;
    }();
    for (const QString& name : names)
        for (const auto& p : all)
            if (p.Name == name)
                result.push_back(p);
    return result;
}

void RegisterReportClasses() {
    TRLClassRegistry& r = TRLClassRegistry::Instance();
    RegisterControlSettings(r);
    RegisterSiteAndReportSettings(r);
    RegisterPropertyExpressions(r);

    r.Register({"TRLCustomControl", {}, {}, AllControlProperties()});
    r.Register({"TRLCustomSite", "TRLCustomControl", {}, SiteProperties()});

    {
        using B = TRLCustomBand;
        std::vector<TRLPropertyInfo> props = ControlPropertySubset(
            {"Left",          "Top",     "Width",        "Height",     "Align",
             "Background",    "Borders", "Color",        "Degrade",    "Font",
             "InsideMargins", "Margins", "ParentColor",  "ParentFont", "RealBounds",
             "Transparent",   "Visible", "FriendlyName", "AutoSize",   "Expressions"});
        Append(props,
               {
                   Enum("BandType", BandTypeNames(), &B::BandType, &B::SetBandType),
                   Make("AutoExpand", K::Boolean, &B::AutoExpand, &B::SetAutoExpand),
                   Make("IntegralHeight", K::Boolean, &B::IntegralHeight, &B::SetIntegralHeight),
                   Enum("PageBreaking", PageBreakingNames(), &B::PageBreaking, &B::SetPageBreaking),
                   Make("AlignToBottom", K::Boolean, &B::AlignToBottom, &B::SetAlignToBottom),
                   Enum("Completion", CompletionNames(), &B::Completion, &B::SetCompletion),
                   Make("Computable", K::Boolean, &B::Computable, &B::SetComputable),
                   Make("CarbonCopies", K::Integer, &B::CarbonCopies, &B::SetCarbonCopies),
                   Make("GroupIndex", K::Integer, &B::GroupIndex, &B::SetGroupIndex),
                   Set("Options", BandOptionNames(), &B::Options, &B::SetOptions),
               });
        r.Register({"TRLBand", {}, &CreateControl<TRLBand>, std::move(props)});
    }
    {
        using G = TRLCustomGroup;
        std::vector<TRLPropertyInfo> props = NestedPagerProperties();
        Append(props, {
                          Make("DataFields", K::String, &G::DataFields, &G::SetDataFields),
                          Make("Expression", K::String, &G::Expression, &G::SetExpression),
                      });
        r.Register({"TRLGroup", {}, &CreateControl<TRLGroup>, std::move(props)});
    }
    {
        using D = TRLCustomSubDetail;
        using S = TRLCustomSkipper;
        std::vector<TRLPropertyInfo> props = NestedPagerProperties();
        Append(props, {
                          Make("PrintEmpty", K::Boolean, &S::PrintEmpty, &S::SetPrintEmpty),
                          Make("MasterFields", K::String, &D::MasterFields, &D::SetMasterFields),
                          Make("DetailFields", K::String, &D::DetailFields, &D::SetDetailFields),
                          Make("Records", K::String, &D::Records, &D::SetRecords),
                          Make("Query", K::String, &D::Query, &D::SetQuery),
                      });
        r.Register({"TRLSubDetail", {}, &CreateControl<TRLSubDetail>, std::move(props)});
    }
    {
        using R = TRLCustomReport;
        using S = TRLCustomSkipper;
        std::vector<TRLPropertyInfo> props = ControlPropertySubset(
            {"Borders", "Color", "Font", "Transparent", "Visible", "Background", "Degrade",
             "InsideMargins", "Margins", "RealBounds", "FriendlyName"});
        Append(props, PagerProperties());
        Append(props,
               {
                   Object("PageSetup", "TRLPageSetup",
                          static_cast<TRLPageSetup& (R::*)()>(&R::PageSetup)),
                   Make("AdjustableMargins", K::Boolean, &R::AdjustableMargins,
                        &R::SetAdjustableMargins),
                   Make("FirstPageNumber", K::Integer, &R::FirstPageNumber, &R::SetFirstPageNumber),
                   Make("Title", K::String, &R::Title, &R::SetTitle),
                   Make("ForcePrepare", K::Boolean, &R::ForcePrepare, &R::SetForcePrepare),
                   Make("PrintEmpty", K::Boolean, &S::PrintEmpty, &S::SetPrintEmpty),
                   Make("ShowProgress", K::Boolean, &R::ShowProgress, &R::SetShowProgress),
                   Make("PrintDialog", K::Boolean, &R::PrintDialog, &R::SetPrintDialog),
                   Enum("PrintQuality", PrintQualityNames(), &R::PrintQuality, &R::SetPrintQuality),
                   Object("PreviewOptions", "TRLPreviewOptions", &R::PreviewOptions),
                   Enum("RecordRange", RecordRangeNames(), &S::RecordRange, &S::SetRecordRange),
                   Make("RangeCount", K::Integer, &S::RangeCount, &S::SetRangeCount),
                   Make("ShowDesigners", K::Boolean, &R::ShowDesigners, &R::SetShowDesigners),
                   Make("ShowTracks", K::Boolean, &R::ShowTracks, &R::SetShowTracks),
                   Make("ShowExplosion", K::Boolean, &R::ShowExplosion, &R::SetShowExplosion),
                   Component(
                       "NextReport",
                       [](const TRLCustomControl& c) -> TRLCustomControl* {
                           return dynamic_cast<const R&>(c).NextReport();
                       },
                       [](TRLCustomControl& c, TRLCustomControl* next) {
                           dynamic_cast<R&>(c).SetNextReport(qobject_cast<R*>(next));
                       }),
               });
        r.Register({"TRLReport", {}, &CreateControl<TRLReport>, std::move(props)});
    }
}

} // namespace Kelmora
