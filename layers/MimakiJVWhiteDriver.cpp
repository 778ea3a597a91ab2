#include "layers/MimakiJVWhiteDriver.h"

#include <cstring>
#include <new>

#include "devparms/MimakiDevParms.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"

CMimakiWhitePrinterDriverJVBase::CMimakiWhitePrinterDriverJVBase(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms,
                                                                 mimaki::layers::Family family)
    : CMimakiBasePrinterDriver(pPrintEnv, pDevParms), m_family(family)
{
}

CMimakiWhitePrinterDriverJVBase::~CMimakiWhitePrinterDriverJVBase() = default;

void CMimakiWhitePrinterDriverJVBase::PrepareRowHeader(int nColourCode, int nByteCount)
{
    SetRowHeaderEx(nColourCode, nByteCount, nByteCount, m_nCompressMode == 1 ? 1 : 0, 0);
}

void CMimakiWhitePrinterDriverJVBase::SetRowHeaderEx(int nColour, int nRawCount, int nSentCount, int bPacked,
                                                     int nLayer)
{
    mimaki::layers::AssignLayerHeader(RowHeader, mimaki::layers::HeaderForm::QYQRQD, ColourCode(nColour), bPacked,
                                      m_nBitsPerPixel, nRawCount, nSentCount, nLayer);
}

int CMimakiWhitePrinterDriverJVBase::OutputInit(int n1, int n2)
{
    m_nOutputFlag = 0;
    BandTrailer = preProcess("QR\\001\\001");
    RowTrailer.clear();
    m_nWhiteMode = ReadWhiteMode();
    m_pMode = mimaki::layers::FindWhiteMode(m_family, m_nWhiteMode);
    if (!m_pMode) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: white mode %d has no layer sequence: rows carry only the band trailer\n", 4,
                            __FILE__, __LINE__, "CMimakiWhitePrinterDriverJVBase::OutputInit", __LINE__,
                            m_nWhiteMode);
    }
    if (!CPrinterDriverBase::OutputInit(n1, n2) || !RowWidthFits())
        return 0;
    SetDriverInfo(L"CommandSet", L"4");
    RowHeader.reserve(mimaki::layers::kMaxHeader); // rewritten for every channel row
    const std::size_t width = static_cast<std::size_t>(m_nBytesPerRow);
    m_pBlankRow.reset(new (std::nothrow) BYTE[packbits_bound(width)]());
    const std::unique_ptr<BYTE[]> zero(new (std::nothrow) BYTE[width]());
    if (!m_pBlankRow || !zero)
        return 0;
    m_nBlankRowLength =
        m_nCompressMode == 1 ? packbits_compress(m_pBlankRow.get(), zero.get(), m_nBytesPerRow) : m_nBytesPerRow;
    return 1;
}

int CMimakiWhitePrinterDriverJVBase::OutputRowOnLayerBasis(int nSelector, int bBlank, int nLayer)
{
    const bool packed = m_nCompressMode == 1;
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        if (!mimaki::layers::Selects(m_family, nSelector, SelectionColour(ch)))
            continue;
        const BYTE* data = m_pBlankRow.get();
        int raw = m_nBytesPerRow;
        int sent = m_nBlankRowLength;
        if (!bBlank) {
            raw = GetChannelByteCount(ch);
            data = pOutputRow(ch);
            sent = raw;
            if (raw <= 0 || !data)
                continue;
            if (packed) {
                sent = packbits_compress(m_compressBuffer.data(), data, raw);
                data = m_compressBuffer.data();
            }
        }
        SetRowHeaderEx(HeaderColour(ch), raw, sent, packed ? 1 : 0, nLayer);
        if (!Output(RowHeader) || !Output(data, sent, 0) || !Output(RowTrailer))
            return 0;
    }
    return 1;
}

int CMimakiWhitePrinterDriverJVBase::OutputRow(int bBlank)
{
    for (int k = 0; m_pMode && k < m_pMode->count; ++k)
        if (!OutputRowOnLayerBasis(m_pMode->steps[k].selector, bBlank, m_pMode->steps[k].layer))
            return 0;
    if (!Output(BandTrailer))
        return 0;
    if (bBlank)
        JobSection(nullptr, 0);
    return 1;
}

int CMimakiWhitePrinterDriverJVBase::ColourCode(int nColour)
{
    return MimakiParms() ? MimakiParms()->GetColorMapValue(nColour) : 99;
}

int CMimakiWhitePrinterDriverJVBase::ReadWhiteMode()
{
    return MimakiParms() ? MimakiParms()->GetWhiteOrderOrMode() : 0;
}

int CMimakiWhitePrinterDriverJV400::JV400Colour(int nColour)
{
    static constexpr struct {
        int host, printer;
    } kTable[] = {{0, 0}, {1, 2}, {2, 1}, {3, 4}, {4, 5}, {5, 6}, {33, 255}, {34, 254}};
    for (const auto& e : kTable)
        if (e.host == nColour)
            return e.printer;
    return 99;
}

int CMimakiWhitePrinterDriverJV400::ReadWhiteMode()
{
    return m_pPrintEnv ? m_pPrintEnv->GetInt(L"DP22_m_nWhiteMode", -1) : -1;
}
