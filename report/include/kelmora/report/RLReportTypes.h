/// @file
/// Enumerations and small value types shared by the report controls, bands and the report.
/// Enumeration value names are the names layouts use; their order is the order of the value
/// name tables in RLReportTypes.cpp, which the property registry reads.
#pragma once

#include <QStringList>

#include <cstdint>
#include <initializer_list>

namespace Kelmora {

/// A set of enumeration values, one bit per ordinal (enumerations here have at most 32 values).
template <class E> class TRLSet {
public:
    constexpr TRLSet() = default;
    constexpr TRLSet(std::initializer_list<E> values) {
        for (E v : values)
            bits_ |= Bit(v);
    }
    static constexpr TRLSet FromBits(uint32_t bits) {
        TRLSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr uint32_t Bits() const { return bits_; }
    constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
    constexpr bool IsEmpty() const { return bits_ == 0; }
    constexpr void Include(E v) { bits_ |= Bit(v); }
    constexpr void Exclude(E v) { bits_ &= ~Bit(v); }
    constexpr bool operator==(const TRLSet&) const = default;

private:
    static constexpr uint32_t Bit(E v) { return uint32_t(1) << static_cast<uint32_t>(v); }
    uint32_t bits_ = 0;
};

/// Layout rule of a control inside its parent site (see TRLCustomSite::AlignControls).
enum TRLControlAlign : uint8_t {
    faNone,
    faLeft,
    faTop,
    faRight,
    faBottom,
    faLeftMost,
    faRightMost,
    faClient,
    faLeftTop,
    faRightTop,
    faLeftBottom,
    faRightBottom,
    faCenter,
    faCenterLeft,
    faCenterTop,
    faCenterRight,
    faCenterBottom,
    faClientLeft,
    faClientTop,
    faClientRight,
    faClientBottom,
    faHeight,
    faWidth,
    faLeftOnly,
    faRightOnly,
    faTopOnly,
    faBottomOnly
};

/// The parent fixes the width (or the height) of a control with one of these aligns.
bool AlignGivesWidth(TRLControlAlign align);
bool AlignGivesHeight(TRLControlAlign align);

enum TRLTextAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter, taJustify };
enum TRLTextLayout : uint8_t { tlTop, tlBottom, tlCenter, tlJustify };

enum TRLControlAnchorsType : uint8_t { fkLeft, fkTop, fkRight, fkBottom };
using TRLControlAnchors = TRLSet<TRLControlAnchorsType>;

enum TRLControlBehaviorType : uint8_t { beSiteExpander };
using TRLControlBehavior = TRLSet<TRLControlBehaviorType>;

enum TRLHoldStyle : uint8_t {
    hsAsColumn,
    hsHorizontally,
    hsVertically,
    hsRelatively,
    hsCopyWidth,
    hsCopyHeight,
    hsCopySize
};

enum TRLBorderSides : uint8_t { sdCustom, sdNone, sdAll };

enum TRLRealBoundsUnit : uint8_t { buNone, buMilimeters, buInches };

enum TRLImageArrange : uint8_t { baAligned, baSidebySide, baCenter, baDistributed };

enum TRLDegradeDirection : uint8_t { ddNone, ddHorizontal, ddVertical };

/// Bands and pagers.
enum TRLBandType : uint8_t {
    btHeader,
    btTitle,
    btColumnHeader,
    btDetail,
    btColumnFooter,
    btSummary,
    btFooter
};
constexpr int BandTypeCount = btFooter + 1;
using TRLAllowedBands = TRLSet<TRLBandType>;

enum TRLPageBreaking : uint8_t { pbNone, pbBeforePrint, pbAfterPrint };
enum TRLCompletionType : uint8_t { ctNone, ctFullPage, ctMaxBands, ctMinBands };
enum TRLBandOption : uint8_t { boOptimisticPageBreak };
using TRLBandOptions = TRLSet<TRLBandOption>;
enum TRLFooterMeasuring : uint8_t { fmNone, fmAfterHeader, fmBeforeDetail };

/// Records.
enum TRLRecordRange : uint8_t { rrAllRecords, rrCurrentOnly, rrUntilEof, rrNextN };
enum TRLRecordAction : uint8_t { raUseIt, raIgnoreIt, raUseAndRetain, raBlankAndRetain };

/// The report.
enum TRLPageOrientation : uint8_t { poPortrait, poLandscape };
enum TRLPrintQuality : uint8_t { pqFullFeature, pqFixedOnly };
enum TRLPreviewOptionsDefaults : uint8_t { pdUseDefaults, pdIgnoreDefaults };
enum TRLFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TRLFormPosition : uint8_t {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TRLWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
enum TRLBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TRLBorderIcons = TRLSet<TRLBorderIcon>;

/// Value names of every enumeration above, in ordinal order, for layouts and the registry.
const QStringList& ControlAlignNames();
const QStringList& TextAlignmentNames();
const QStringList& TextLayoutNames();
const QStringList& AnchorNames();
const QStringList& BehaviorNames();
const QStringList& HoldStyleNames();
const QStringList& BorderSidesNames();
const QStringList& RealBoundsUnitNames();
const QStringList& ImageArrangeNames();
const QStringList& DegradeDirectionNames();
const QStringList& BandTypeNames();
const QStringList& PageBreakingNames();
const QStringList& CompletionNames();
const QStringList& BandOptionNames();
const QStringList& FooterMeasuringNames();
const QStringList& RecordRangeNames();
const QStringList& PageOrientationNames();
const QStringList& PrintQualityNames();
const QStringList& PreviewDefaultsNames();
const QStringList& FormStyleNames();
const QStringList& FormPositionNames();
const QStringList& WindowStateNames();
const QStringList& BorderIconNames();
const QStringList& FontStyleNames(); // fsBold, fsItalic, fsUnderline, fsStrikeOut (bit order)

} // namespace Kelmora
