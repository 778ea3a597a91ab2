#include "driver/MimakiDTFDriver.h"

#include "host/PackBits.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "host/UnivDevParmsBase.h"

namespace {

// The colour number of an entry of the colour sequence: decimal digits,
// blanks around them, 0 to 255; -1 for anything else.
int ColourNumber(const std::wstring& entry)
{
    const std::size_t b = entry.find_first_not_of(L" \t"), e = entry.find_last_not_of(L" \t");
    if (b == std::wstring::npos || e - b >= 3)
        return -1;
    int value = 0;
    for (std::size_t i = b; i <= e; ++i) {
        if (entry[i] < L'0' || entry[i] > L'9')
            return -1;
        value = value * 10 + (entry[i] - L'0');
    }
    return value <= 255 ? value : -1;
}

void PutLE16(std::vector<BYTE>& v, std::size_t pos, int value)
{
    v[pos] = static_cast<BYTE>(value & 0xFF);
    v[pos + 1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

} // namespace

CMimakiDTFDriver::CMimakiDTFDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CPrinterDriverBase(pPrintEnv, pDevParms)
{
}

CMimakiDTFDriver::~CMimakiDTFDriver() = default;

// The parameters are not loaded when the driver is made: each job takes the
// settings as they stand when it opens.
int CMimakiDTFDriver::JobOpen(CPrintJobOpenContext* pContext)
{
    if (m_pDevParms && m_pPrintEnv)
        m_pDevParms->Load(m_pPrintEnv);
    if (pContext && pContext->outputKind == 2)
        PreparePathAndFileName(pContext, m_strDestinationFolder, m_strDestinationFile);
    return CPrinterDriverBase::JobOpen(pContext);
}

// No abort command: an aborted job just ends.
int CMimakiDTFDriver::JobClose() { return CPrinterDriverBase::JobClose(); }

int CMimakiDTFDriver::BuildChannelHeaders()
{
    const std::wstring sequence = m_pPrintEnv ? m_pPrintEnv->GetString(L"MimakiColorSequence", L"") : L"";
    const std::vector<std::wstring> entries = Split(sequence, L',');
    const int channels = GetCountPrimCols();
    if (static_cast<int>(entries.size()) != channels) {
        SetDetailedDriverError("MimakiColorSequence \"" + WideToUtf8(sequence) + "\" has " +
                                   std::to_string(entries.size()) + (entries.size() == 1 ? " entry" : " entries") +
                                   " for the job's " + std::to_string(channels) + " channels (one colour each)",
                               "CMimakiDTFDriver::BuildChannelHeaders", __LINE__);
        return 0;
    }
    m_headers.assign(entries.size(), {});
    for (std::size_t ch = 0; ch < entries.size(); ++ch) {
        const int colour = ColourNumber(entries[ch]);
        if (colour < 0) {
            SetDetailedDriverError("MimakiColorSequence \"" + WideToUtf8(sequence) + "\": entry " +
                                       std::to_string(ch + 1) + " (\"" + WideToUtf8(entries[ch]) +
                                       "\") is no colour number from 0 to 255",
                                   "CMimakiDTFDriver::BuildChannelHeaders", __LINE__);
            return 0;
        }
        const BYTE header[25] = {'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0, 'Q', 'D', 10,
                                 static_cast<BYTE>(colour), static_cast<BYTE>(m_nCompressMode == 1 ? 1 : 0),
                                 static_cast<BYTE>(m_nBitsPerPixel), 0, 0, 1, 0, 0, 0, 0};
        m_headers[ch].assign(header, header + sizeof header);
    }
    m_bandTrailer = {'Q', 'R', 1, 1};
    return 1;
}

int CMimakiDTFDriver::OutputInit(int n1, int n2)
{
    m_bSendFailed = false;
    if (!BuildChannelHeaders())
        return 0;
    return CPrinterDriverBase::OutputInit(n1, n2);
}

int CMimakiDTFDriver::Send(const BYTE* data, std::size_t n)
{
    if (Output(data, static_cast<long>(n), 0))
        return 1;
    m_bSendFailed = true;
    return 0;
}

int CMimakiDTFDriver::OutputCurrentRow()
{
    const bool packed = m_nCompressMode == 1;
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        const int raw = GetChannelByteCount(ch);
        if (raw <= 0)
            continue;
        const BYTE* row = pOutputRow(ch);
        int stored = raw;
        if (packed) {
            stored = packbits_compress(m_compressBuffer.data(), row, raw);
            row = m_compressBuffer.data();
        }
        std::vector<BYTE>& header = m_headers[static_cast<std::size_t>(ch)];
        PutLE16(header, m_nRawCountPos, raw);
        PutLE16(header, m_nStoredCountPos, stored);
        if (!Send(header.data(), header.size()) || !Send(row, static_cast<std::size_t>(stored)))
            return 0;
    }
    return Send(m_bandTrailer.data(), m_bandTrailer.size());
}

// The medium moves by empty bands.
int CMimakiDTFDriver::AdvanceRows(int nRows)
{
    for (int i = 0; i < nRows; ++i)
        if (!Send(m_bandTrailer.data(), m_bandTrailer.size()))
            return 0;
    return 1;
}

// The host's answer does not end the job; a band that could not be sent does.
int CMimakiDTFDriver::OutputExit()
{
    CPrinterDriverBase::OutputExit();
    return m_bSendFailed ? 0 : 1;
}
