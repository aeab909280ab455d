#include <kelmora/report/RLReportTypes.h>

namespace Kelmora {

bool AlignGivesWidth(TRLControlAlign align) {
    switch (align) {
    case faTop:
    case faBottom:
    case faClient:
    case faClientTop:
    case faClientBottom:
    case faWidth:
        return true;
    default:
        return false;
    }
}

bool AlignGivesHeight(TRLControlAlign align) {
    switch (align) {
    case faLeft:
    case faRight:
    case faLeftMost:
    case faRightMost:
    case faClient:
    case faClientLeft:
    case faClientRight:
    case faHeight:
        return true;
    default:
        return false;
    }
}

#define RL_NAMES(Function, ...)                                                                    \
    const QStringList& Function() {                                                                \
        static const QStringList names{__VA_ARGS__};                                               \
        return names;                                                                              \
    }

RL_NAMES(ControlAlignNames, "faNone", "faLeft", "faTop", "faRight", "faBottom", "faLeftMost",
         "faRightMost", "faClient", "faLeftTop", "faRightTop", "faLeftBottom", "faRightBottom",
         "faCenter", "faCenterLeft", "faCenterTop", "faCenterRight", "faCenterBottom",
         "faClientLeft", "faClientTop", "faClientRight", "faClientBottom", "faHeight", "faWidth",
         "faLeftOnly", "faRightOnly", "faTopOnly", "faBottomOnly")
RL_NAMES(TextAlignmentNames, "taLeftJustify", "taRightJustify", "taCenter", "taJustify")
RL_NAMES(TextLayoutNames, "tlTop", "tlBottom", "tlCenter", "tlJustify")
RL_NAMES(AnchorNames, "fkLeft", "fkTop", "fkRight", "fkBottom")
RL_NAMES(BehaviorNames, "beSiteExpander")
RL_NAMES(HoldStyleNames, "hsAsColumn", "hsHorizontally", "hsVertically", "hsRelatively",
         "hsCopyWidth", "hsCopyHeight", "hsCopySize")
RL_NAMES(BorderSidesNames, "sdCustom", "sdNone", "sdAll")
RL_NAMES(RealBoundsUnitNames, "buNone", "buMilimeters", "buInches")
RL_NAMES(ImageArrangeNames, "baAligned", "baSidebySide", "baCenter", "baDistributed")
RL_NAMES(DegradeDirectionNames, "ddNone", "ddHorizontal", "ddVertical")
RL_NAMES(BandTypeNames, "btHeader", "btTitle", "btColumnHeader", "btDetail", "btColumnFooter",
         "btSummary", "btFooter")
RL_NAMES(PageBreakingNames, "pbNone", "pbBeforePrint", "pbAfterPrint")
RL_NAMES(CompletionNames, "ctNone", "ctFullPage", "ctMaxBands", "ctMinBands")
RL_NAMES(BandOptionNames, "boOptimisticPageBreak")
RL_NAMES(FooterMeasuringNames, "fmNone", "fmAfterHeader", "fmBeforeDetail")
RL_NAMES(RecordRangeNames, "rrAllRecords", "rrCurrentOnly", "rrUntilEof", "rrNextN")
RL_NAMES(PageOrientationNames, "poPortrait", "poLandscape")
RL_NAMES(PrintQualityNames, "pqFullFeature", "pqFixedOnly")
RL_NAMES(PreviewDefaultsNames, "pdUseDefaults", "pdIgnoreDefaults")
RL_NAMES(FormStyleNames, "fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop")
RL_NAMES(FormPositionNames, "poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
         "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter")
RL_NAMES(WindowStateNames, "wsNormal", "wsMinimized", "wsMaximized")
RL_NAMES(BorderIconNames, "biSystemMenu", "biMinimize", "biMaximize", "biHelp")
RL_NAMES(FontStyleNames, "fsBold", "fsItalic", "fsUnderline", "fsStrikeOut")

} // namespace Kelmora
