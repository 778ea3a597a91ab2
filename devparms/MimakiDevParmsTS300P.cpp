#include "devparms/MimakiDevParmsTS300P.h"

#include "devparms/MimakiCommands.h"
#include "devparms/MimakiMrlStart.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/StrOb.h"

using namespace mimaki::parms;

namespace {

// The print mode chosen from the print conditions, up to the dot size.
#define PRINT_MODE_KEYS                                                                                     \
    KI(nPrintModeSetNumber, 0), KI(nActionCategoryLarge, 0), KI(nActionCategorySmall, 0), KI(nXDpi, 360),   \
        KI(nYDpi, 360), KI(nHSpeedMode, 0), KI(nPrintModeId, 0), KI(m_nDirection, 0),                       \
        PK_INT(L"m_nPass", nPass, 0), KOLD(OldDotSize, L"m_nDotSize"), KI(m_nDotSizeV2, 1)
#define MEDIA_FEED_KEYS                                                                                     \
    KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 0), KI(m_nInkLayers, 1), KI(m_nFeedSpeedMode, 0),        \
        KI(m_nFeedSpeedValue, 100)
#define DRY_TIME_KEYS                                                                                       \
    KI(m_nDryTimeMode, 0), KOLD(OldDryTime, L"m_dDryTimeValue"), KR(m_dDryTimeValue100Msec, L"0.0"),        \
        KI(m_nDryTimeModeJob, 0), KR(m_dDryTimeValueJob, L"0.0")
// Feed quality: 255 lets the operator's choice stand, 254 leaves it to the printer.
#define MEDIA_FEED_QUALITY_KEY                                                                              \
    Key{L"m_eMediaFeedQuality", Kind::Int, 0, nullptr, PK_FIELD(m_eMediaFeedQuality),                       \
        [](CUnivDevParmsBase& o, const CPrintEnv&) { return static_cast<Self&>(o).bSpecifyMediaFeedQuality ? 255 : 254; }}
#define HEATERS_AFTER_PRINT_KEYS                                                                            \
    KI(m_nPrintHeaterMode, 0), KI(m_nPrintHeaterValue, 0), KI(m_nAfterHeaterMode, 0), KI(m_nAfterHeaterValue, 0)

// Print-condition models with a cutter under the model's "bUseCut".
constexpr Profile CutterProfile()
{
    Profile p = PrintConditionProfile();
    p.cut = Answer::Keys;
    p.cutKey = L"bUseCut";
    p.cutKey2 = L"bCut";
    p.option0 = Answer::Keys;
    p.option0Key = L"bUseCut";
    return p;
}

// The hybrid MkII models: no cut answers; the current ink set is kept.
constexpr Profile MkIIProfile()
{
    Profile p = PrintConditionProfile();
    p.option0 = Answer::Unchanged;
    p.hybrid = true;
    return p;
}

} // namespace

const KeyTable* DEVPARMTS300P_CLASS::Table() const
{
    using Self = DEVPARMTS300P_CLASS;
    static const Key keys[] = {
        MSLOTS(SlotsSetting), MT(MimakiColorSequence, L""), KI(m_nDirection, 0), PK_INT(L"m_nPass", nPass, 0),
        KI(m_nDotSize, 0), KI(m_nDryingFanHeaterMode, 0), KI(m_nDryingFanHeaterValue, 50),
        KI(m_nPrintHeaterMode, 0), KI(m_nPrintHeaterValue, 50), KI(m_nAfterHeaterMode, 0),
        KI(m_nAfterHeaterValue, 50), KI(m_nDryHeaterMode, 0), KI(m_nDryHeaterValue, 1), MEDIA_FEED_KEYS,
        DRY_TIME_KEYS, KID(m_nWaveShape, WaveShapeDefault), KI(m_nVacuum, 2), PK_MARGIN_KEYS,
        KI(bAvoidGapBetweenJobs, 1), KI(bCut, 0), KI(nBandAdjust, 0),
    };
    static const KeyTable table(L"DEVPARMTS300P_CLASS", L"DP30", keys,
                                {.margins = Answer::Keys,
                                 .strObSeq = Answer::One,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"m_nDotSize",
                                 .inkValue = 0,
                                 .colourMap = true,
                                 .mapAnswers = true});
    return &table;
}

const KeyTable* DEVPARMTS300P_ADVANCED_CLASS::Table() const
{
    using Self = DEVPARMTS300P_ADVANCED_CLASS;
    static const Key keys[] = {
        MI(bUseHighSpeedTransfer, 0),
        MI(bUseHeadCleaning, 0),
        MI(bUseCut, 1),
        MI(bUseVacuum, 0),
        MI(bUseWaveShape, 1),
        KH(strDotVolumesData),
        KI(nHQ, 0),
        PRINT_MODE_KEYS,
        KI(m_nDryingFanHeaterMode, 0),
        KI(m_nDryingFanHeaterValue, 50),
        KOLD(OldHeater, L"m_nPrintHeaterMode"),
        KI(m_nPost1HeaterMode, 0),
        KOLD(OldHeater, L"m_nPrintHeaterValue"),
        KI(m_nPost1HeaterValue, 50),
        KOLD(OldHeater, L"m_nAfterHeaterMode"),
        KI(m_nPost2HeaterMode, 0),
        KOLD(OldHeater, L"m_nAfterHeaterValue"),
        KI(m_nPost2HeaterValue, 60),
        KI(m_nPost3HeaterMode, 0),
        KI(m_nPost3HeaterValue, 50),
        KI(m_nPost4HeaterMode, 0),
        KI(m_nPost4HeaterValue, 50),
        KI(m_nPrintHeaterModeV2, 0),
        KI(m_nPrintHeaterValueV2, 50),
        KI(m_nDryHeaterMode, 0),
        KI(m_nDryHeaterValue, 1),
        MEDIA_FEED_KEYS,
        KI(m_bHighSpeedTransfer, 1),
        KI(m_bHeadCleaning, 0),
        DRY_TIME_KEYS,
        KI(m_nWaveShape, 1),
        KI(m_nVacuum, 2),
        MI(bSpecifyMediaFeedQuality, 0),
        MEDIA_FEED_QUALITY_KEY,
        PK_MARGIN_KEYS,
        KI(m_nRefreshLevel, 0),
        KI(bAvoidGapBetweenJobs, 1),
        KI(bCut, 0),
        KI(nBandAdjust, 0),
        KT(strPrintModeData),
        MSLOTS(SlotsSetting),
        MI(bIsHybrid, 0),
        MT(NonBlankMmNeededToScheduleHeadCleaningDefault, L"100.0"),
        MT(ConsecutiveBlankMmToDoHeadCleaningDefault, L"0.0"),
        Key{L"dNonBlankMmNeededToScheduleHeadCleaning", Kind::RealToString, 0, nullptr,
            PK_FIELD(dNonBlankMmNeededToScheduleHeadCleaning), nullptr,
            [](CUnivDevParmsBase& o, const CPrintEnv&) {
                return static_cast<Self&>(o).NonBlankMmNeededToScheduleHeadCleaningDefault;
            }},
        Key{L"dConsecutiveBlankMmToDoHeadCleaning", Kind::RealToString, 0, nullptr,
            PK_FIELD(dConsecutiveBlankMmToDoHeadCleaning), nullptr,
            [](CUnivDevParmsBase& o, const CPrintEnv&) {
                return static_cast<Self&>(o).ConsecutiveBlankMmToDoHeadCleaningDefault;
            }},
    };
    static const KeyTable table(L"DEVPARMTS300P_ADVANCED_CLASS", L"DP30", keys, [] {
        Profile p = CutterProfile();
        p.highSpeed = Answer::Keys;
        p.highSpeedKey = L"bUseHighSpeedTransfer";
        p.highSpeedKey2 = L"m_bHighSpeedTransfer";
        p.hybrid = true;
        p.end = EndString::Own;
        return p;
    }());
    return &table;
}

// Head cleaning needs the model's feature and the operator's choice.
int DEVPARMTS300P_ADVANCED_CLASS::IsHeadCleaningEnabled() { return bUseHeadCleaning && m_bHeadCleaning ? 1 : 0; }

void DEVPARMTS300P_ADVANCED_CLASS::GetHeadCleaningDistances(double& dNonBlankMm, double& dBlankMm)
{
    dNonBlankMm = dNonBlankMmNeededToScheduleHeadCleaning;
    dBlankMm = dConsecutiveBlankMmToDoHeadCleaning;
}

const KeyTable* DEVPARMTS55_1800_CLASS::Table() const
{
    using Self = DEVPARMTS55_1800_CLASS;
    static const Key keys[] = {
        MI(bUseCut, 1), MI(bUseVacuum, 0), MI(bUseWaveShape, 1), MSLOTS(SlotsSetting), MI(bIsHybrid, 0),
        KH(strDotVolumesData), PRINT_MODE_KEYS, MEDIA_FEED_KEYS, DRY_TIME_KEYS, KI(m_nWaveShape, 1),
        KI(m_nVacuum, 2), PK_MARGIN_KEYS, KI(bAvoidGapBetweenJobs, 1), KI(bCut, 0), KI(nBandAdjust, 0),
        KT(strPrintModeData), KI(nHeadSelection, 3), KI(nPreHeaterMode, 0), KI(nPreHeaterValue, 50),
        KI(nPlatenHeaterMode, 0), KI(nPlatenHeaterValue, 50), KI(nAfterHeaterMode, 0), KI(nAfterHeaterValue, 50),
        KI(nOFFTime, -2),
    };
    static const KeyTable table(L"DEVPARMTS55_1800_CLASS", L"DP30", keys, [] {
        Profile p = CutterProfile();
        p.end = EndString::JobEnd;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMTS300P_MKII_CLASS::Table() const
{
    using Self = DEVPARMTS300P_MKII_CLASS;
    static const Key keys[] = {
        MI(bUseVacuum, 0), MI(bUseWaveShape, 1), MI(bSpecifyMediaFeedQuality, 0), MSLOTS(SlotsSetting),
        MI(bIsHybrid, 0), KH(strDotVolumesData), KI(nHQ, 0), PRINT_MODE_KEYS, MEDIA_FEED_KEYS, DRY_TIME_KEYS,
        KI(m_nWaveShape, 1), KI(m_nVacuum, 2), MEDIA_FEED_QUALITY_KEY, PK_MARGIN_KEYS, KI(bAvoidGapBetweenJobs, 1),
        KI(nBandAdjust, 0), KT(strPrintModeData), HEATERS_AFTER_PRINT_KEYS,
    };
    static const KeyTable table(L"DEVPARMTS300P_MKII_CLASS", L"DP42", keys, [] {
        Profile p = MkIIProfile();
        p.end = EndString::JobEnd;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMTX330_CLASS::Table() const
{
    using Self = DEVPARMTX330_CLASS;
    static const Key keys[] = {
        MI(bUseVacuum, 0), MI(bUseWaveShape, 1), MI(bSpecifyMediaFeedQuality, 0), MI(HeadSelectionEnable, 0),
        MSLOTS(SlotsSetting), MI(bIsHybrid, 0), KH(strDotVolumesData), KI(nHQ, 0), KI(nPrintModeSetNumber, 5),
        KI(nActionCategoryLarge, 0), KI(nActionCategorySmall, 0), KI(nXDpi, 360), KI(nYDpi, 360),
        KI(nHSpeedMode, 0), KI(nPrintModeId, 0), KI(m_nDirection, 0), PK_INT(L"m_nPass", nPass, 0),
        KOLD(OldDotSize, L"m_nDotSize"), KI(m_nDotSizeV2, 1), MEDIA_FEED_KEYS, KI(nPowerOffMode, -1),
        KI(nPowerOffMinutes, 0), KI(nTopBlower, -1), DRY_TIME_KEYS, KI(m_nWaveShape, 1), KI(m_nVacuum, 2),
        MEDIA_FEED_QUALITY_KEY, PK_MARGIN_KEYS, KI(nHeadSelection, 0), KI(bAvoidGapBetweenJobs, 1),
        KI(nBandAdjust, 0), KT(strPrintModeData), HEATERS_AFTER_PRINT_KEYS,
    };
    static const KeyTable table(L"DEVPARMTX330_CLASS", L"DP42", keys, [] {
        Profile p = MkIIProfile();
        p.end = EndString::JobEnd;
        return p;
    }());
    return &table;
}

// JV100 and TS100 1600 up to the head selection; JV100 adds its heaters.
#define JV100_TS100_KEYS                                                                                    \
    MI(bUseCut, 1), MI(bUseVacuum, 0), MI(bUseTopBlower, 0), MI(bUseWaveShape, 1), MSLOTS(SlotsSetting),    \
        MI(bIsHybrid, 0), KH(strDotVolumesData), PRINT_MODE_KEYS, MEDIA_FEED_KEYS, DRY_TIME_KEYS,           \
        KI(m_nWaveShape, 1), KI(m_nVacuum, 2), KI(m_nTopBlower, -1), PK_MARGIN_KEYS, KI(bAvoidGapBetweenJobs, 1), \
        KI(bCut, 0), KI(nBandAdjust, 0), KT(strPrintModeData), KI(nHeadSelection, 3)

const KeyTable* DEVPARMJV100_CLASS::Table() const
{
    using Self = DEVPARMJV100_CLASS;
    static const Key keys[] = {
        JV100_TS100_KEYS,        KI(nPreHeaterMode, 0),   KI(nPreHeaterValue, 50), KI(nPlatenHeaterMode, 0),
        KI(nPlatenHeaterValue, 50), KI(nAfterHeaterMode, 0), KI(nAfterHeaterValue, 50), KI(nOFFTime, -2),
    };
    static const KeyTable table(L"DEVPARMJV100_CLASS", L"JV100", keys, [] {
        Profile p = CutterProfile();
        p.end = EndString::JobEnd;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMTS100_1600_CLASS::Table() const
{
    using Self = DEVPARMTS100_1600_CLASS;
    static const Key keys[] = {JV100_TS100_KEYS};
    static const KeyTable table(L"DEVPARMTS100_1600_CLASS", L"TS100", keys, [] {
        Profile p = CutterProfile();
        p.end = EndString::JobEnd;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMTS330_1600_CLASS::Table() const
{
    using Self = DEVPARMTS330_1600_CLASS;
    static const Key keys[] = {
        JV100_TS100_KEYS,          KI(nOFFTime, -1),         KI(nPostHeater, -1),
        KI(m_nPrintHeaterMode, 0), KI(m_nPrintHeaterValue, 50), PK_INT(L"m_bHighSpeed", bHighSpeed, 0),
        KI(bPowerOff, 0),          KI(nPowerOff, 0),         KR(m_dCommandManualVersion, L"0.0"),
        KI(m_bCanDoQJCommand, 0),
    };
    static const KeyTable table(L"DEVPARMTS330_1600_CLASS", L"TS330", keys, [] {
        Profile p = CutterProfile();
        p.end = EndString::JobEnd;
        return p;
    }());
    return &table;
}

// The job ends with a head cleaning when the operator chose it and the
// driver has not turned it off for this job.
std::string DEVPARMTS300P_ADVANCED_CLASS::GetEndString(CPrinterDriverBase* pDriver)
{
    const bool disabled = pDriver && pDriver->GetDriverInfo(L"HeadCleaningDisabled") == L"1";
    return preProcess(IsHeadCleaningEnabled() && !disabled ? "PS\\x01\\x01\\QE\\000" : "QE\\000");
}

// ---------------------------------------------------------------- job start

namespace {

namespace mrl = mimaki::mrl;
using mrl::Cmd;

// What the family's records share: dry times, margins, feed, print mode,
// feed speed. Features the model may lack are set by each class.
template <class C>
mrl::Values Common(C& p, CPrinterDriverBase* driver, bool hasCutter)
{
    mrl::Values v = mrl::RecordValues(p, driver, hasCutter);
    v.vacuum = p.bUseVacuum ? p.m_nVacuum : mrl::kKeep;
    v.dotCode = p.m_nDotSizeV2;
    v.hSpeedMode = p.nHSpeedMode;
    v.sendWaveShape = p.bUseWaveShape;
    v.bandAdjust = p.nBandAdjust;
    v.printModeSet = p.nPrintModeSetNumber;
    const CPrintEnv* env = driver ? driver->GetPrintEnv() : nullptr;
    v.headsSelectable = env && env->GetInt(L"HeadSelectionEnable", 0) != 0;
    v.headSelection = p.nHeadSelection;
    return v;
}

// Pre, platen and after heaters with the off time (JV100, TS55).
template <class C>
void PlatenHeaters(mrl::Values& v, const C& p)
{
    v.heaters[0] = {p.nPreHeaterMode, p.nPreHeaterValue};
    v.heaters[1] = {p.nPlatenHeaterMode, p.nPlatenHeaterValue};
    v.heaters[2] = {p.nAfterHeaterMode, p.nAfterHeaterValue};
    v.offTime = p.nOFFTime;
}

} // namespace

// The sequence of the JV100; the other classes follow it with their own
// commands.
int DEVPARMJV100_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, bUseCut);
    v.topBlower = bUseTopBlower ? m_nTopBlower : mrl::kKeep;
    PlatenHeaters(v, *this);
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QB, Cmd::QP, Cmd::QK, Cmd::QS, Cmd::QH, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMTS100_1600_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, bUseCut);
    v.topBlower = bUseTopBlower ? m_nTopBlower : mrl::kKeep;
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QS, Cmd::PP, Cmd::QH}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMTS330_1600_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, bUseCut);
    v.topBlower = bUseTopBlower ? m_nTopBlower : mrl::kKeep;
    v.heaters[1] = {m_nPrintHeaterMode, m_nPrintHeaterValue};
    v.heaters[2] = {nPostHeater < 0 ? 0 : 2, nPostHeater};
    v.offTime = nOFFTime < 0 ? -2 : nOFFTime;
    v.powerOff = bPowerOff ? 1 : 0;
    v.powerOffMinutes = nPowerOff;
    CStrObMimakiTS300P ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QS, Cmd::PB, Cmd::PO, Cmd::PP, Cmd::QH},
                                   v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMTS55_1800_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, bUseCut);
    PlatenHeaters(v, *this);
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QH, Cmd::QS, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

// The plain TS300P has a cutter and vacuum without model keys for them; its
// dot size is the plain setting.
int DEVPARMTS300P_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, true);
    v.vacuum = m_nVacuum;
    v.dotCode = m_nDotSize;
    v.sendWaveShape = true;
    v.heaters[0] = {m_nDryingFanHeaterMode, m_nDryingFanHeaterValue};
    v.heaters[1] = {m_nPrintHeaterMode, m_nPrintHeaterValue};
    v.heaters[2] = {m_nAfterHeaterMode, m_nAfterHeaterValue};
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QS, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

// Six heaters in two "QK" forms (none when the model has none), the
// high-quality mode where the model supports it, head cleaning off until
// the job's end.
int DEVPARMTS300P_ADVANCED_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    const CPrintEnv* env = pDriver ? pDriver->GetPrintEnv() : nullptr;
    mrl::Values v = Common(*this, pDriver, bUseCut);
    v.heaters[0] = {m_nDryingFanHeaterMode, m_nDryingFanHeaterValue};
    v.heaters[1] = {m_nPrintHeaterModeV2, m_nPrintHeaterValueV2};
    v.heaters[2] = {m_nPost1HeaterMode, m_nPost1HeaterValue};
    v.moreHeaters[0] = {m_nPost2HeaterMode, m_nPost2HeaterValue};
    v.moreHeaters[1] = {m_nPost3HeaterMode, m_nPost3HeaterValue};
    v.moreHeaters[2] = {m_nPost4HeaterMode, m_nPost4HeaterValue};
    v.moreHeaters[3] = {m_nDryHeaterMode, m_nDryHeaterValue};
    // Left and right post heaters work as one pair: post 2 follows post 1.
    if (env && env->GetInt(L"bUsePost1And2LeftAndRightHeater", 0))
        v.moreHeaters[0] = v.heaters[2];
    v.noHeaters = env && env->GetInt(L"bDontUseAnyKindOfHeaters", 0) != 0;
    v.hq = env && env->GetInt(L"bHQSupported", 0) ? nHQ : mrl::kKeep;
    CStrObMimakiTS300P ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QK2, Cmd::QS, Cmd::PB, Cmd::PS, Cmd::PP},
                                   v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMTS300P_MKII_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, false);
    CStrObMimakiTS300P ob;
    return mrl::Send(ob, mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QS, Cmd::PP}, v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}

int DEVPARMTX330_CLASS::OutputStartString(CPrinterDriverBase* pDriver)
{
    mrl::Values v = Common(*this, pDriver, false);
    v.topBlower = nTopBlower;
    v.heaters[1] = {m_nPrintHeaterMode, m_nPrintHeaterValue};
    v.heaters[2] = {m_nAfterHeaterMode, m_nAfterHeaterValue};
    v.hq = nHQ;
    v.powerOff = nPowerOffMode;
    v.powerOffMinutes = nPowerOffMinutes;
    v.headsSelectable = HeadSelectionEnable != 0;
    CStrObMimakiTS300P ob;
    return mrl::Send(ob,
                     mrl::Commands({Cmd::QC, Cmd::QA, Cmd::QP, Cmd::QK, Cmd::QS, Cmd::PP, Cmd::PB, Cmd::PO, Cmd::QH},
                                   v, pDriver),
                     bAvoidGapBetweenJobs, pDriver);
}
