#include "devparms/MimakiDevParmsCJV330.h"

#include "devparms/ParmKeys.h"

using namespace mimaki::parms;

namespace {

#define CJV_KEYS                                                                                            \
    KI(nNumberOfLayers, 0), KI(m_nDotSize, 1), KI(m_nHeadsSelection, 2), KI(m_nBackToOrigin, 0),            \
        KI(m_bPreHeatersOn, 0), KI(m_nPreHeatersOn, 20), KI(m_bPrintHeatersOn, 0), KI(m_nPrintHeatersOn, 20), \
        KI(m_bAfterHeatersOn, 0), KI(m_nAfterHeatersOn, 20), KI(m_bVacuumStrength, 0), KI(m_nVacuumStrength, 0), \
        KI(m_bTopBlowerStrength, 0), KI(m_nTopBlowerStrength, 0), KI(m_bFeedCorrection, 0),                 \
        KI(m_nFeedCorrection, 0), KI(m_bFeedSpeed, 0), KI(m_nFeedSpeed, 0), KI(m_bCutMedia, 0)

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
    static const KeyTable table(L"DEVPARMCJV300_PLUS_CLASS", L"DPCVJ_300_PLUS", keys, CjvProfile(Answer::Zero));
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
    static const KeyTable table(L"DEVPARMJV330_CLASS", L"DPCVJ_330", keys, CjvProfile(Answer::One));
    return &table;
}
