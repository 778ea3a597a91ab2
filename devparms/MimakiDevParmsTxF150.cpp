#include "devparms/MimakiDevParmsTxF150.h"

#include "devparms/ParmKeys.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"

using namespace mimaki::parms;

const KeyTable& CDevParmsTxF150::Table()
{
    using Self = CDevParmsTxF150;
    static const Key keys[] = {
        KH(strDotVolumesData), KI(m_nMediaFeedMode, 0), KI(m_nMediaFeedValue, 1), KI(m_nFeedSpeedMode, 0),
        KI(m_nFeedSpeedValue, 100), KI(m_bAutoCutting, 0), KI(m_nDryTimeScan, 0), KI(m_nDryTimeScanValue, 1),
        KI(m_nDryTimeJob, 0), KI(m_nDryTimeJobValue, 1), KI(m_nAbsorbabilityFanStrength, 2), KI(m_nTopBlower, -1),
        KI(m_bSetLeftMargin, 0), KI(m_nLeftMargin, 0), KI(m_bSetRightMargin, 0), KI(m_nRightMargin, 0),
        KI(m_nPreHeaterMode, 0), KI(m_nPreHeaterValue, 50), KI(m_nPrintHeaterMode, 0), KI(m_nPrintHeaterValue, 50),
        KI(m_nAfterHeaterMode, 0), KI(m_nAfterHeaterValue, 50), KI(m_nOFFTime, -2), KI(m_nBandDivision, 0),
        KI(m_nOverPrint, 0), KI(m_nDotSize, 1), KI(m_bPrintLayers, 0), KI(m_nLayerMode, -1), KI(m_nPrintOrder, -1),
        KI(m_nScanSpeed, 0), KI(WaveForm, 3), KI(PrintDirection, -1), KI(m_nTop_Blower, 0),
    };
    static const KeyTable table(L"CDevParmsTxF150", L"TxF150", keys,
                                {.cut = Answer::Keys,
                                 .cutKey = L"m_bAutoCutting",
                                 .option0 = Answer::One,
                                 .margins = Answer::Keys,
                                 .ink = InkRule::DotIs,
                                 .inkDot = L"m_nDotSize",
                                 .inkValue = 1});
    return table;
}

int CDevParmsTxF150::Load(CPrintEnv* pEnv)
{
    if (pEnv)
        Table().Load(*this, *pEnv);
    return 1;
}

int CDevParmsTxF150::Save(CPrintEnv* pEnv)
{
    if (pEnv) {
        Table().Save(*this, *pEnv);
        pEnv->PutInt(PrEnv_InkLevels, Table().InkLevels(*this, *pEnv));
    }
    return 1;
}

CDRc CDevParmsTxF150::MediaSizeGetNpMargin(CQueryNpMargin&)
{
    CDRc margins;
    Table().Margins(*this, margins.left, margins.right);
    return margins;
}

int CDevParmsTxF150::JobPrintOptionAvailable(CJobPrintOptionQuery& query)
{
    if (query.option == 0)
        query.value = 1;
    return 1;
}

int CDevParmsTxF150::GetMediaCut() { return m_bAutoCutting ? 1 : 0; }

namespace {

void LeWord(std::string& out, int v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
}

void LeDword(std::string& out, int v)
{
    LeWord(out, v);
    LeWord(out, v >> 16);
}

} // namespace

int CDevParmsTxF150::OutputStartString(CPrinterDriverBase* pDriver)
{
    if (!pDriver)
        return 0;
    std::string start;
    LeWord(start, m_nMediaFeedMode);
    LeDword(start, m_nMediaFeedValue);
    for (const int v : {m_nFeedSpeedMode, m_nFeedSpeedValue, m_bAutoCutting && pDriver->GetCutOption() != 0 ? 1 : 0,
                        m_nDryTimeScan, m_nDryTimeJob, m_nDryTimeScanValue, m_nDryTimeJobValue,
                        m_nAbsorbabilityFanStrength, m_nTopBlower, m_bSetLeftMargin})
        LeWord(start, v);
    LeDword(start, m_nLeftMargin);
    LeWord(start, m_bSetRightMargin);
    LeDword(start, m_nRightMargin);
    for (const int v : {m_nPreHeaterMode, m_nPreHeaterValue, m_nPrintHeaterMode, m_nPrintHeaterValue,
                        m_nAfterHeaterMode, m_nAfterHeaterValue, m_nOFFTime, m_nBandDivision, m_nOverPrint,
                        m_nDotSize, m_bPrintLayers, m_nLayerMode, m_nPrintOrder, m_nScanSpeed, WaveForm,
                        PrintDirection})
        LeWord(start, v);
    // One block: "Q@", its length, the fields.
    return pDriver->Output("Q@" + std::string(1, static_cast<char>(start.size())) + start);
}

std::string CDevParmsTxF150::GetEndString(CPrinterDriverBase*) { return preProcess("QE\\000"); }
