#include "PrinterDriverBase.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "Log.h"
#include "PackBits.h"
#include "PrintEnv.h"
#include "Slots.h"
#include "StrOb.h"
#include "UnivDevParmsBase.h"

IPrinterDriver::~IPrinterDriver() = default;
IDriverOutput::~IDriverOutput() = default;

namespace {
// The hand-offs of the drivers being built on this thread, innermost first.
thread_local CDevParmsHandOff* t_handOffs = nullptr;
} // namespace

CDevParmsHandOff::CDevParmsHandOff(std::unique_ptr<CUnivDevParmsBase> parms) noexcept
    : m_parms(parms.release()), m_held(m_parms != nullptr), m_outer(t_handOffs)
{
    t_handOffs = this;
}

CDevParmsHandOff::~CDevParmsHandOff()
{
    t_handOffs = m_outer;
    if (m_held)
        delete m_parms;
}

void CDevParmsHandOff::TakenOver(CUnivDevParmsBase* p) noexcept
{
    for (CDevParmsHandOff* h = t_handOffs; h && p; h = h->m_outer)
        if (h->m_held && h->m_parms == p) {
            h->m_held = false;
            return;
        }
}

CPrinterDriverBase::CPrinterDriverBase(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : m_pPrintEnv(pPrintEnv), m_pDevParms(pDevParms),
      m_ownedDevParms((CDevParmsHandOff::TakenOver(pDevParms), pDevParms))
{
    if (m_pPrintEnv)
        m_nUID = m_pPrintEnv->GetInt(PrEnv_UID) & 255;
    for (int i = 0; i < 256; ++i)
        m_ReplaceVal[i] = static_cast<BYTE>(i);
}

// The device parameters go with m_ownedDevParms, after the driver's own members.
CPrinterDriverBase::~CPrinterDriverBase() = default;

int CPrinterDriverBase::JobOpen(CPrintJobOpenContext* pContext)
{
    if (!pContext || pContext->pixelWidth <= 0 || pContext->colourCodes.empty() ||
        (pContext->bitsPerPixel != 1 && pContext->bitsPerPixel != 2 && pContext->bitsPerPixel != 4 &&
         pContext->bitsPerPixel != 8) ||
        !(pContext->dpiFirst > 0 && std::isfinite(pContext->dpiFirst)) ||
        !(pContext->dpiSecond > 0 && std::isfinite(pContext->dpiSecond))) {
        m_nError = 1;
        return 0;
    }
    m_pMirror.reset(); // a mirror a failed job left open is not this job's
    m_bMirrorOnly = false;
    m_dDpiFirst = pContext->dpiFirst;
    m_dDpiSecond = pContext->dpiSecond;
    m_nBitsPerPixel = pContext->bitsPerPixel;
    m_nPixelWidth = pContext->pixelWidth;
    m_nJobRows = pContext->rowCount;
    m_nLeadingRows = pContext->leadingRows > 0 ? pContext->leadingRows : 0;
    m_nCompressMode = pContext->compressMode;
    m_nDotDataType = pContext->dotDataType;
    m_nHostFunctMode = pContext->functMode;
    m_nCutOption = pContext->cutOption;
    m_strJobName = pContext->jobName;
    m_strJobEndAction = pContext->jobEndAction;
    m_bAdvanceBlankRows = pContext->advanceBlankRows;
    m_bInterleave = pContext->interleave;
    m_channels.clear();
    m_channels.resize(pContext->colourCodes.size());
    for (std::size_t i = 0; i < m_channels.size(); ++i)
        m_channels[i].colourCode = pContext->colourCodes[i];
    m_nBytesPerRow = static_cast<int>((static_cast<long long>(m_nPixelWidth) * m_nBitsPerPixel + 7) / 8);
    m_nAltBytesPerRow = pContext->altBytesPerRow;
    m_nCurrentRow = 0;
    m_nHangingRows = 0;
    m_nSections = 0;
    m_nError = 0;
    m_strDetailedError.clear();
    m_layerMarkers.clear();
    if (!LoadColoursAndSlots(*pContext)) {
        m_nError = 1;
        return 0;
    }
    return OnJobOpenSection();
}

int CPrinterDriverBase::JobClose()
{
    // The mirror of the job is complete now: it takes its name.
    std::unique_ptr<IOutputSink> mirror = std::move(m_pMirror);
    const bool mirrored = !mirror || mirror->Commit();
    if (!mirrored) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: the job's mirror file could not be written: %s\n", 4, __FILE__, __LINE__,
                            "CPrinterDriverBase::JobClose", __LINE__, mirror->Error().c_str());
    }
    if (m_pSink && !m_bMirrorOnly && !m_pSink->Flush())
        return 0;
    return mirrored ? 1 : 0;
}

void CPrinterDriverBase::SetPrintPages(int) {}
void CPrinterDriverBase::SkipPage() {}

int CPrinterDriverBase::OutputInit(int nPixelWidth, int nRows)
{
    if (nPixelWidth > 0 && nPixelWidth != m_nPixelWidth) {
        m_nPixelWidth = nPixelWidth;
        m_nBytesPerRow = static_cast<int>((static_cast<long long>(m_nPixelWidth) * m_nBitsPerPixel + 7) / 8);
    }
    if (nRows > 0)
        m_nJobRows = nRows;
    if (m_channels.empty() || m_nBytesPerRow <= 0)
        return 0;
    for (Channel& ch : m_channels) {
        if (!ch.buffer || ch.buffer->BytesPerRow() != static_cast<std::size_t>(m_nBytesPerRow))
            ch.buffer = std::make_unique<CRasterPixelBuffer>(static_cast<std::size_t>(m_nBytesPerRow));
        std::memset(ch.buffer->pWriteRow(), 0, ch.buffer->BytesPerRow());
        ch.byteCount = 0;
    }
    m_compressBuffer.assign(packbits_bound(static_cast<std::size_t>(m_nBytesPerRow)), 0);
    m_mirrorRow.assign(static_cast<std::size_t>(m_nBytesPerRow), 0);
    m_nCurrentRow = 0;
    m_nHangingRows = 0;
    return OnOutputInit();
}

CRasterPixelBuffer* CPrinterDriverBase::GetRasterPixelBuffer(enmDevicePrimColor colour, int nIndex)
{
    int seen = 0;
    for (Channel& ch : m_channels)
        if (ch.colourCode == static_cast<int>(colour) && seen++ == nIndex)
            return ch.buffer.get();
    return nullptr;
}

CRasterPixelBuffer* CPrinterDriverBase::GetRasterPixelBufferByIndex(int nIndex)
{
    if (nIndex < 0 || nIndex >= static_cast<int>(m_channels.size()))
        return nullptr;
    return m_channels[static_cast<std::size_t>(nIndex)].buffer.get();
}

int CPrinterDriverBase::OutputOneRow()
{
    bool blank = true;
    for (Channel& ch : m_channels) {
        const BYTE* row = ch.buffer ? ch.buffer->pReadRow() : nullptr;
        const int n = row ? TrimmedRowLength(row, m_nBytesPerRow) : 0;
        ch.byteCount = n;
        if (n)
            blank = false;
    }
    if (blank && m_bAdvanceBlankRows) {
        ++m_nHangingRows;
        ++m_nCurrentRow;
        return 1;
    }
    if (m_nHangingRows && !AdvanceHangingRows())
        return 0;
    SetScanRow(m_nCurrentRow);
    if (!OutputCurrentRow())
        return 0;
    ++m_nCurrentRow;
    return PostOutputOneRow();
}

int CPrinterDriverBase::OutputExit()
{
    if (m_nHangingRows && !AdvanceHangingRows())
        return 0;
    return OnOutputExit();
}

int CPrinterDriverBase::GetCurrentRow() { return m_nCurrentRow; }
int CPrinterDriverBase::GetJobPixelOffs() { return 0; }
int CPrinterDriverBase::GetJobPixelWidth() { return m_nPixelWidth; }
int CPrinterDriverBase::GetError() { return m_nError; }
std::wstring CPrinterDriverBase::GetErrorString()
{
    if (!m_strDetailedError.empty())
        return m_strDetailedError;
    return m_nError ? L"driver error" : L"";
}
void CPrinterDriverBase::SetGlobalCtxt(CGlobalContext*, std::int64_t) {}
int CPrinterDriverBase::GetCountPrimCols() { return static_cast<int>(m_channels.size()); }
void CPrinterDriverBase::SetMarginMm(CDRc) {}
void CPrinterDriverBase::SetKeyValue(const std::wstring&, const std::wstring&) {}
void CPrinterDriverBase::SetAbortProc(CAbortProc* pAbortProc) { m_pAbortProc = pAbortProc; }
int CPrinterDriverBase::Aborted() { return m_pAbortProc ? m_pAbortProc->IsAborted() : 0; }
std::uint32_t CPrinterDriverBase::IdentifyDevice(std::uint32_t nId) { return nId; }
int CPrinterDriverBase::GetMaxJobWidth() { return 0; }
int CPrinterDriverBase::GetMaxJobLength() { return 0; }
std::uint64_t CPrinterDriverBase::GetDotCount(enmDevicePrimColor) { return 0; }
int CPrinterDriverBase::GetDevParmsSize() { return m_pDevParms ? m_pDevParms->GetSize() : 0; }
int CPrinterDriverBase::DevParmsGet(CDevParmsBase*) { return 0; }
int CPrinterDriverBase::DevParmsSet(const CDevParmsBase*) { return 0; }
int CPrinterDriverBase::GetDevParmsPropertyPageCount() { return 0; }
int CPrinterDriverBase::GetDevParmsPropertyPages(CPrintEnvPropertyPage**) { return 0; }
int CPrinterDriverBase::GetMultipleCopiesSupported() { return 0; }
void CPrinterDriverBase::SetNrOfCopies(int, int) {}
int CPrinterDriverBase::bQueryMediaSizeSupported() { return 0; }
int CPrinterDriverBase::QueryMediaSize(int&, int&) { return 0; }
void* CPrinterDriverBase::GetDevJobContext() { return nullptr; }
int CPrinterDriverBase::IsSeparation() { return 1; }

int CPrinterDriverBase::MediaSizeIsAllowed(CMediaSize media)
{
    return m_pDevParms ? m_pDevParms->MediaSizeIsAllowed(media, this) : 1;
}

CDRc CPrinterDriverBase::MediaSizeGetNpMargin(CQueryNpMargin query, CInkControl*)
{
    return m_pDevParms ? m_pDevParms->MediaSizeGetNpMargin(query) : CDRc{};
}

CDRc CPrinterDriverBase::GetCurrentNpMargin()
{
    return m_pDevParms ? m_pDevParms->GetCurrentNpMargin(this) : CDRc{};
}

void CPrinterDriverBase::SetJobPrintAttach(const std::wstring&) {}

int CPrinterDriverBase::JobPrintOptionAvailable(CJobPrintOptionQuery query)
{
    return m_pDevParms ? m_pDevParms->JobPrintOptionAvailable(query) : 0;
}

int CPrinterDriverBase::GetMediaCut() { return m_pDevParms ? m_pDevParms->GetMediaCut() : 0; }
void CPrinterDriverBase::SetPerMilDone(int) {}
void CPrinterDriverBase::SetMediaSizeMm(double, double) {}
void CPrinterDriverBase::SetIccProfileName(const std::wstring&) {}
void CPrinterDriverBase::SetInkControl(CInkControl*) {}
int CPrinterDriverBase::NewSpoolSection(CSpoolData*, int) { return 1; }
void CPrinterDriverBase::SetRepeatHeight(int nHeight) { m_nRepeatHeight = nHeight; }

std::wstring CPrinterDriverBase::RetrieveOrChangeSpecialDriverSettings(const std::wstring& settings)
{
    return m_pDevParms ? m_pDevParms->RetrieveOrChangeSpecialDriverSettings(this, m_pPrintEnv, settings)
                       : std::wstring{};
}

int CPrinterDriverBase::GetCountExternallyGeneratedChannels() { return 0; }
const int* CPrinterDriverBase::GetDpcExternallyGeneratedChannels() { return nullptr; }
const int* CPrinterDriverBase::GetMapOemInksToDpc() { return nullptr; }
const int* CPrinterDriverBase::GetMapDpcToOemInks() { return nullptr; }
double CPrinterDriverBase::GetFloatDotCount(enmDevicePrimColor) { return 0; }
void CPrinterDriverBase::AddDotCountOem(enmDevicePrimColor, double) {}
int CPrinterDriverBase::OutputMargTop() { return 1; }
int CPrinterDriverBase::OutputMargBottom() { return 1; }
int CPrinterDriverBase::GetJobPixelLength() { return m_nJobRows; }
std::wstring CPrinterDriverBase::GetDestinationFileName() { return {}; }

// Feed commands carry 16-bit row counts (and double-line printing doubles
// them), so long blank stretches are advanced in pieces.
int CPrinterDriverBase::AdvanceHangingRows()
{
    constexpr int kMaxAdvance = 32767;
    while (m_nHangingRows > 0) {
        const int n = m_nHangingRows < kMaxAdvance ? m_nHangingRows : kMaxAdvance;
        m_nHangingRows -= n;
        if (!AdvanceRows(n)) {
            m_nHangingRows = 0;
            return 0;
        }
    }
    return 1;
}

// Without a driver of its own the host sends blank rows for a feed.
int CPrinterDriverBase::AdvanceRows(int nRows)
{
    for (int i = 0; i < nRows; ++i)
        if (!OutputEmptyRow())
            return 0;
    return 1;
}

int CPrinterDriverBase::OutputEmptyRow() { return 1; }
int CPrinterDriverBase::OnJobOpenSection() { return 1; }
int CPrinterDriverBase::OnOutputInit() { return 1; }
int CPrinterDriverBase::OnOutputExit() { return 1; }
int CPrinterDriverBase::GetOutputPixelWidth() const { return m_nPixelWidth; }
int CPrinterDriverBase::PostOutputOneRow() { return OnPostOutputOneRow(); }
int CPrinterDriverBase::OnPostOutputOneRow() { return 1; }
int CPrinterDriverBase::MeasurePage(IColMeasureCtxt*) { return 0; }
int CPrinterDriverBase::StoreDataIntoCallbackMemfile(const BYTE*, long) { return 0; }

int CPrinterDriverBase::Output(const std::string& bytes)
{
    return Output(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<long>(bytes.size()), 0);
}

int CPrinterDriverBase::Output(CMemFile& file)
{
    return Output(file.Data());
}

int CPrinterDriverBase::Output(const BYTE* data, long length, int)
{
    if (Aborted())
        return 0;
    return OutputForce(data, length);
}

int CPrinterDriverBase::OutputForce(const BYTE* data, long length)
{
    if ((!m_pSink && !m_bMirrorOnly) || length < 0)
        return 0;
    if (length == 0)
        return 1;
    const auto n = static_cast<std::size_t>(length);
    if (m_pMirror && !m_pMirror->Write(data, n))
        return 0;
    return m_bMirrorOnly || m_pSink->Write(data, n) ? 1 : 0;
}

int CPrinterDriverBase::operator<<(CStrOb& strOb)
{
    if (!JobSection(nullptr, 1))
        return 0;
    if (strOb.m_nWaitSecondsBeforeJob > 0)
        std::this_thread::sleep_for(std::chrono::seconds(strOb.m_nWaitSecondsBeforeJob));
    if ((strOb.m_nRedirectMode == 1 || strOb.m_nRedirectMode == 2) && !strOb.m_strMirrorPath.empty() && !m_pMirror) {
        std::string error;
        m_pMirror = CFileSink::Create(strOb.m_strMirrorPath, error);
        if (!m_pMirror) {
            CVoLog log;
            log->ReportStatusPF("***%s#%d: %s\n", 4, __FILE__, __LINE__, "CPrinterDriverBase::operator<<", __LINE__,
                                error.c_str());
            return 0;
        }
        m_bMirrorOnly = strOb.m_nRedirectMode == 2;
    }
    if (!Output(strOb.Bytes()))
        return 0;
    if (const auto* marker = dynamic_cast<const CStrObMimakiLayers*>(&strOb))
        m_layerMarkers.push_back(marker->m_bSuspendPrintClient);
    return 1;
}

int CPrinterDriverBase::JobSection(const void*, int)
{
    ++m_nSections;
    return 1;
}

int CPrinterDriverBase::GetChannelColour(int nIndex) const
{
    return nIndex >= 0 && nIndex < static_cast<int>(m_channels.size())
               ? m_channels[static_cast<std::size_t>(nIndex)].colourCode
               : -1;
}

int CPrinterDriverBase::GetChannelByteCount(int nIndex) const
{
    return nIndex >= 0 && nIndex < static_cast<int>(m_channels.size())
               ? m_channels[static_cast<std::size_t>(nIndex)].byteCount
               : 0;
}

void CPrinterDriverBase::InitReplaceValNoMediumDot()
{
    for (int v = 0; v < 256; ++v) {
        int out = 0;
        for (int shift = 0; shift < 8; shift += 2) {
            const int dot = (v >> shift) & 3;
            out |= (dot == 2 ? 0 : dot) << shift;
        }
        m_ReplaceVal[v] = static_cast<BYTE>(out);
    }
}

void CPrinterDriverBase::SetDriverInfo(const std::wstring& key, const std::wstring& value)
{
    for (auto& kv : m_driverInfo)
        if (kv.first == key) {
            kv.second = value;
            return;
        }
    m_driverInfo.emplace_back(key, value);
}

std::wstring CPrinterDriverBase::GetDriverInfo(const std::wstring& key) const
{
    for (const auto& kv : m_driverInfo)
        if (kv.first == key)
            return kv.second;
    return {};
}
