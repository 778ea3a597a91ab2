#include "devparms/MimakiDevParmsCJV330.h"

#include "devparms/MimakiCommands.h"
#include "devparms/MimakiLayerStart.h"
#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"

using namespace mimaki::parms;

namespace {

#define CJV_KEYS                                                                                            \
    KI(nNumberOfLayers, 0), KI(m_nDotSize, 1), KI(m_nHeadsSelection, 2), KI(m_nBackToOrigin, 0),            \
        KI(m_bPreHeatersOn, 0), KI(m_nPreHeatersOn, 20), KI(m_bPrintHeatersOn, 0), KI(m_nPrintHeatersOn, 20), \
        KI(m_bAfterHeatersOn, 0), KI(m_nAfterHeatersOn, 20), KI(m_bVacuumStrength, 0), KI(m_nVacuumStrength, 0), \
        KI(m_bTopBlowerStrength, 0), KI(m_nTopBlowerStrength, 0), KI(m_bFeedCorrection, 0),                 \
        KI(m_nFeedCorrection, 0), KI(m_bFeedSpeed, 0), KI(m_nFeedSpeed, 0), KI(m_bCutMedia, 0)

// The layer list: five sub-layer positions, the mirror flag and (CJV300
// PLUS) the sandwich flag of each layer.
#define CJV_LAYER_KEYS(positions)                                                                         \
    PK_LIST(L"layer1_", m_Layers, nType[0]), PK_LIST(L"layer2_", m_Layers, nType[1]),                      \
        PK_LIST(L"layer3_", m_Layers, nType[2]) positions, PK_LIST(L"bMirror_", m_Layers, bMirror)
#define CJV_POSITIONS_4_5 , PK_LIST(L"layer4_", m_Layers, nType[3]), PK_LIST(L"layer5_", m_Layers, nType[4])

template <class Self>
void ResizeLayers(CUnivDevParmsBase& o, std::size_t n)
{
    static_cast<Self&>(o).m_Layers.resize(n);
}

constexpr Profile CjvProfile(Answer strObSeq)
{
    return {.cut = Answer::Keys,
            .cutKey = L"m_bCutMedia",
            .option0 = Answer::One,
            .strObSeq = strObSeq,
            .printModeData = L"strPrintModeData",
            .colourMap = true,
            .mapAnswers = true};
}

} // namespace

const KeyTable* DEVPARMCJV300_PLUS_CLASS::Table() const
{
    using Self = DEVPARMCJV300_PLUS_CLASS;
    static const Key keys[] = {
        MSLOTS(SlotsSetting), MI(bIsHybrid, 0), KI(nNumberOfLayers, 0), KT(strPrintModeData), KI(m_nDotSize, 1),
        KI(m_nHeadsSelection, 2), KI(m_nBackToOrigin, 0), KI(m_bPreHeatersOn, 0), KI(m_nPreHeatersOn, 20),
        KI(m_bPrintHeatersOn, 0), KI(m_nPrintHeatersOn, 20), KI(m_bAfterHeatersOn, 0), KI(m_nAfterHeatersOn, 20),
        KI(m_bVacuumStrength, 0), KI(m_nVacuumStrength, 0), KI(m_bTopBlowerStrength, 0),
        KI(m_nTopBlowerStrength, 0), KI(m_bFeedCorrection, 0), KI(m_nFeedCorrection, 0), KI(m_bFeedSpeed, 0),
        KI(m_nFeedSpeed, 0), KI(m_bCutMedia, 0), KI(bPowerOff, 0), KI(nPowerOff, 0), KI(bHeaterPowerOff, -1),
        KI(nHeaterPowerOffValue, 0), KH(strDotVolumesData),
    };
    static const ListKey layerKeys[] = {CJV_LAYER_KEYS(CJV_POSITIONS_4_5),
                                        PK_LIST(L"bUseSandwich_", m_Layers, bUseSandwich)};
    static const KeyList layers{L"nNumberOfLayers", kMaxLayers, &ResizeLayers<Self>, layerKeys};
    static const KeyTable table(L"DEVPARMCJV300_PLUS_CLASS", L"DPCVJ_300_PLUS", keys, [] {
        Profile p = CjvProfile(Answer::Zero);
        p.end = EndString::Own;
        p.layered = true;
        p.list = &layers;
        return p;
    }());
    return &table;
}

const KeyTable* DEVPARMJV330_CLASS::Table() const
{
    using Self = DEVPARMJV330_CLASS;
    static const Key keys[] = {
        MI(bIsHybrid, 0), KH(strDotVolumesData), CJV_KEYS, KI(m_bPowerOff, 0), KI(m_nPowerOff, -1),
        KI(m_bSetLeftMargin, 0), KI(m_nLeftMargin, 0), KI(m_bSetRightMargin, 0), KI(m_nRightMargin, 0),
        PK_INT(L"m_bHighSpeed", bHighSpeed, 0), KT(strPrintModeData), KI(m_bCanDoQJCommand, 0),
    };
    static const ListKey layerKeys[] = {CJV_LAYER_KEYS()};
    static const KeyList layers{L"nNumberOfLayers", kMaxLayers, &ResizeLayers<Self>, layerKeys};
    static const KeyTable table(L"DEVPARMJV330_CLASS", L"DPCVJ_330", keys, [] {
        Profile p = CjvProfile(Answer::One);
        p.end = EndString::Empty;
        p.layered = true;
        p.list = &layers;
        return p;
    }());
    return &table;
}

// Back to the origin between layers (1) or after every layer (2). A job
// without a layer list prints one layer.
std::string DEVPARMCJV300_PLUS_CLASS::GetLayerEndString(CPrinterDriverBase*, int nLayer, int)
{
    const bool last = nLayer >= static_cast<int>(m_Layers.size()) - 1;
    if (m_nBackToOrigin == 2 || (m_nBackToOrigin == 1 && !last))
        return preProcess("PH\\002\\xFF\\xFF");
    return {};
}

// Each layer section ends as the job does.
std::string DEVPARMJV330_CLASS::GetLayerEndString(CPrinterDriverBase*, int, int)
{
    return preProcess("QE\\000");
}

// Job end and the last layer's end; the first of the two CJV300 PLUS
// models also puts the medium out ("GT"). A cut after the job ends it.
std::string DEVPARMCJV300_PLUS_CLASS::GetEndString(CPrinterDriverBase* pDriver)
{
    const mimaki::cmd::Job job = mimaki::cmd::JobOf(pDriver);
    std::string end = job.cutAfterEnd ? std::string() : preProcess("QE\\000");
    end += GetLayerEndString(pDriver, m_Layers.empty() ? 0 : static_cast<int>(m_Layers.size()) - 1, 1);
    const int uid = job.env ? job.env->GetInt(PrEnv_UID) & 255 : 0;
    if (uid == 43 && !job.cutAfterEnd)
        end += preProcess("GT\\x01\\x00");
    return end;
}

// ---------------------------------------------------------------- layer starts

namespace {

namespace ly = mimaki::layer;
using ly::Cmd;

// The roll settings of the layered roll models: heaters, cut, vacuum, top
// blower, feed correction and speed.
template <class C>
ly::Values Roll(C& p, CPrinterDriverBase* driver, int bReversed, int nPosKind)
{
    ly::Values v;
    v.dotSize = p.m_nDotSize;
    v.reversed = bReversed;
    v.positionKind = nPosKind;
    v.head = p.m_nHeadsSelection;
    v.mediaCorrection = p.m_bFeedCorrection ? 1 : 0;
    v.mediaCorrectionValue = p.m_nFeedCorrection;
    mimaki::mrl::Values& r = v.roll;
    r.cut = mimaki::mrl::CutByte(true, p.m_bCutMedia, driver);
    r.vacuum = p.m_bVacuumStrength ? p.m_nVacuumStrength : ly::kKeep;
    r.topBlower = p.m_bTopBlowerStrength ? p.m_nTopBlowerStrength : ly::kKeep;
    r.heaters[0] = {p.m_bPreHeatersOn ? 2 : 1, p.m_nPreHeatersOn};
    r.heaters[1] = {p.m_bPrintHeatersOn ? 2 : 1, p.m_nPrintHeatersOn};
    r.heaters[2] = {p.m_bAfterHeatersOn ? 2 : 1, p.m_nAfterHeatersOn};
    r.feedSpeedMode = p.m_bFeedSpeed;
    r.feedSpeedValue = p.m_nFeedSpeed;
    return v;
}

} // namespace

std::string DEVPARMCJV300_PLUS_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int, int bReversed,
                                                          int nPosKind, int)
{
    ly::Values v = Roll(*this, pDriver, bReversed, nPosKind);
    v.powerOff = bPowerOff ? 1 : 0;
    v.powerOffMinutes = nPowerOff;
    return ly::Start({Cmd::GR, Cmd::RollQK},
                     {Cmd::QP, Cmd::RollQC, Cmd::QA, Cmd::QH, Cmd::RollPP, Cmd::PO}, v, pDriver);
}

// The job starts as its first layer.
std::string DEVPARMCJV300_PLUS_CLASS::GetStartString(CPrinterDriverBase* pDriver)
{
    return GetLayerStartString(pDriver, 0, 0, 0, 0);
}

std::string DEVPARMJV330_CLASS::GetLayerStartString(CPrinterDriverBase* pDriver, int, int bReversed, int nPosKind, int)
{
    ly::Values v = Roll(*this, pDriver, bReversed, nPosKind);
    v.band = 1;
    v.powerOff = m_bPowerOff ? 1 : 0;
    v.powerOffMinutes = m_nPowerOff < 0 ? 0 : m_nPowerOff;
    v.roll.setLeft = m_bSetLeftMargin;
    v.roll.left = m_nLeftMargin;
    v.roll.setRight = m_bSetRightMargin;
    v.roll.right = m_nRightMargin;
    const CPrintEnv* env = pDriver ? pDriver->GetPrintEnv() : nullptr;
    v.modelType = env ? env->GetInt(L"ModelType", ly::kKeep) : ly::kKeep;
    return ly::Start({Cmd::GR, Cmd::RollQK},
                     {Cmd::QP, Cmd::RollQC, Cmd::PX, Cmd::QA, Cmd::PB, Cmd::QH, Cmd::RollPP, Cmd::PO, Cmd::PL}, v,
                     pDriver);
}
