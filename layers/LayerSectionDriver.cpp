#include "layers/LayerSectionDriver.h"

#include <cstring>
#include <new>

#include "devparms/MimakiDevParms.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/Slots.h"

using mimaki::layers::Family;
using mimaki::layers::HeaderForm;
using mimaki::layers::LayerStep;

namespace {

constexpr const char* kOutputRow = "CMimakiWhitePrinterDriverTS300P::OutputRow";
constexpr const char* kOnLayerBasis = "CMimakiWhitePrinterDriverTS300P::OutputRowOnLayerBasis";
constexpr const char* kOutputInit = "CMimakiWhitePrinterDriverTS300P::OutputInit";

// Millimetres to rows at the given resolution, rounded.
int MmToRows(double mm, double dpi)
{
    const double rows = mm / 25.4 * dpi + 0.5;
    return rows >= 2147483647.0 ? 2147483647 : rows <= 0 ? 0 : static_cast<int>(rows);
}

} // namespace

CMimakiLayerSectionDriver::CMimakiLayerSectionDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms,
                                                     Family family, HeaderForm longForm)
    : CMimakiBasePrinterDriver(pPrintEnv, pDevParms), m_family(family), m_longForm(longForm)
{
    if (CMimakiDevParmsBase* parms = MimakiParms()) {
        m_bPauseEnabled = parms->IsHeadCleaningEnabled() != 0;
        if (m_bPauseEnabled)
            parms->GetHeadCleaningDistances(m_dPauseDistanceMm, m_dPauseGapMm);
    }
    m_nOutputFlag = m_bPauseEnabled ? 1 : 0;
    m_nSendOnlyNonZeroBytes = pPrintEnv ? pPrintEnv->GetInt(L"SendOnlyNonZeroBytes", 0) : 0;
    m_pauseCommand = preProcess("PS\\x01\\x01");
}

CMimakiLayerSectionDriver::~CMimakiLayerSectionDriver() = default;

void CMimakiLayerSectionDriver::PrepareRowHeader(int nColourCode, int nByteCount)
{
    SetRowHeaderEx(nColourCode, nByteCount, nByteCount, m_nCompressMode == 1 ? 1 : 0, 0);
}

void CMimakiLayerSectionDriver::SetRowHeaderEx(int nColour, int nRawCount, int nSentCount, int bPacked,
                                                     int nLayer)
{
    const int code = MimakiParms() ? MimakiParms()->GetColorMapValue(nColour) : 99;
    mimaki::layers::AssignLayerHeader(RowHeader, Form(), code, bPacked, m_nBitsPerPixel, nRawCount, nSentCount,
                                      nLayer);
}

void CMimakiLayerSectionDriver::CollectSources(std::vector<Source>& sources)
{
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        const int code = MimakiParms() ? MimakiParms()->GetColorMapValue(HeaderColour(ch)) : 99;
        sources.push_back(Source{ch, DevPrimColUserFromPrimCol(ch), code});
    }
}

HeaderForm CMimakiLayerSectionDriver::Form() const
{
    return m_bShortHeader ? HeaderForm::QRQD : m_longForm;
}

std::size_t CMimakiLayerSectionDriver::DelayLineBytes() const
{
    std::size_t n = 0;
    for (const LayerSlot& slot : m_layers)
        if (slot.delay > 0)
            n += slot.capacity * static_cast<std::size_t>(slot.delay);
    return n;
}

void CMimakiLayerSectionDriver::BuildBlank(std::vector<BYTE>& out, int selector, bool every, int layer)
{
    out.clear();
    const std::size_t headerLength = mimaki::layers::HeaderLength(Form());
    for (const Source& src : m_sources) {
        if (!every && !mimaki::layers::Selects(m_family, selector, src.colour))
            continue;
        const std::size_t at = out.size();
        out.resize(at + headerLength + static_cast<std::size_t>(m_nBlankRowLength));
        mimaki::layers::WriteLayerHeader(out.data() + at, Form(), src.code, m_nCompressMode == 1 ? 1 : 0,
                                         m_nBitsPerPixel, m_nBytesPerRow, m_nBlankRowLength, layer);
        std::memcpy(out.data() + at + headerLength, m_pBlankRow.get(), static_cast<std::size_t>(m_nBlankRowLength));
    }
}

void CMimakiLayerSectionDriver::FreeJobBuffers()
{
    for (LayerSlot& slot : m_layers)
        slot = LayerSlot{};
    m_pAuxSendBuffer.reset();
    m_nAuxSendBufferSize = 0;
    m_pBlankRow.reset();
    m_nBlankRowLength = 0;
    m_sources.clear();
    m_staged.clear();
}

int CMimakiLayerSectionDriver::OutputInit(int n1, int n2)
{
    BandTrailer = preProcess("QR\\x01\\x01");
    RowTrailer.clear();
    FreeJobBuffers();
    CMimakiDevParmsBase* parms = MimakiParms();
    m_bShortHeader = parms && parms->GetHighSpeed();
    m_nWhiteMode = parms ? parms->GetLayerWhiteOrder() : 0;
    m_pMode = mimaki::layers::FindWhiteMode(m_family, m_nWhiteMode);
    m_nLayerCount = m_pMode ? mimaki::layers::LayerCount(*m_pMode) : 1;
    m_nLayerOffset = parms ? parms->GetLayerOffset() : 0;
    if (m_nLayerOffset < 0) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: layer row offset %d is negative; the layers go without delay\n", 4, __FILE__,
                            __LINE__, kOutputInit, __LINE__, m_nLayerOffset);
        m_nLayerOffset = 0;
    }
    if (!m_pMode) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: white mode %d has no layer sequence: rows carry only the band trailer\n", 4,
                            __FILE__, __LINE__, kOutputInit, __LINE__, m_nWhiteMode);
    }

    m_nJobPixels = n1 > 0 ? n1 : m_nPixelWidth;
    const long long rowBytes = (static_cast<long long>(m_nJobPixels) * m_nBitsPerPixel + 7) / 8;
    const long long extraRows = static_cast<long long>(m_nLayerCount - 1) * m_nLayerOffset;
    const long long rows = n2 > 0 ? n2 + extraRows : 0;
    // The printer takes a 16-bit offset; far more would only exhaust memory.
    if (extraRows > (1LL << 20)) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: layer row offset %d over %d layers is more than the printer can take\n", 4,
                            __FILE__, __LINE__, kOutputInit, __LINE__, m_nLayerOffset, m_nLayerCount);
        return 0;
    }
    if (rowBytes > 2147483647LL / 8 || rows > 2147483647LL) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: a page of %d pixels and %lld rows is too large\n", 4, __FILE__, __LINE__,
                            kOutputInit, __LINE__, m_nJobPixels, rows);
        return 0;
    }
    if (!CPrinterDriverBase::OutputInit(static_cast<int>(rowBytes * 8 / m_nBitsPerPixel), static_cast<int>(rows)) ||
        !RowWidthFits())
        return 0;
    SetDriverInfo(L"CommandSet", L"4");

    if (m_bPauseEnabled) {
        const int distance = MmToRows(m_dPauseDistanceMm, dpiVertDevice());
        m_nPauseDistance = distance < 1 ? 1 : distance;
        m_nPauseGap = MmToRows(m_dPauseGapMm, dpiVertDevice());
    }
    m_nPauseState = 1;
    m_nPauseRows = 0;
    m_nPauseBlanks = 0;

    try {
        CollectSources(m_sources);
        m_staged.assign(m_sources.size() * 2, Staged{});
        for (const Source& src : m_sources)
            if (src.code < 0 || src.code > 255 || src.code == 99) {
                CVoLog log;
                log->ReportStatusPF("***%s#%d: channel %d (colour %d) has no printer colour (%d)\n", 4, __FILE__,
                                    __LINE__, kOutputInit, __LINE__, src.channel, GetChannelColour(src.channel),
                                    src.code);
            }
        const std::size_t width = static_cast<std::size_t>(m_nBytesPerRow);

        m_pBlankRow.reset(new BYTE[packbits_bound(width)]());
        m_nBlankRowLength = m_nBytesPerRow;
        if (m_nCompressMode == 1) {
            const std::unique_ptr<BYTE[]> zero(new BYTE[width]());
            m_nBlankRowLength = packbits_compress(m_pBlankRow.get(), zero.get(), m_nBytesPerRow);
        }
        m_pAuxSendBuffer.reset(new BYTE[width]());
        m_nAuxSendBufferSize = m_nBytesPerRow;

        // Each layer index has its slot, delayed by its index.
        for (int k = 0; m_pMode && k < m_pMode->count; ++k) {
            const LayerStep& step = m_pMode->steps[k];
            LayerSlot& slot = m_layers[step.layer];
            slot.step = &step;
            slot.delay = step.layer * m_nLayerOffset;
            BuildBlank(slot.blankStaged, slot.step->selector, false, slot.step->layer);
            BuildBlank(slot.blankFill, slot.step->selector, slot.step->selector == 0, slot.step->layer);
            // Room for one row of the layer's channels, coded at worst.
            std::size_t channels = 0;
            for (const Source& src : m_sources)
                channels += mimaki::layers::Selects(m_family, slot.step->selector, src.colour);
            slot.capacity = channels * (mimaki::layers::kMaxHeader + packbits_bound(width));
            if (slot.capacity == 0)
                slot.capacity = 1;
            const std::size_t rowsHeld = slot.delay > 0 ? static_cast<std::size_t>(slot.delay) : 1;
            // Rows the page never fills are never touched.
            slot.stage.reset(new BYTE[slot.capacity * rowsHeld]);
            slot.lengths.assign(rowsHeld, 0);
        }
    } catch (const std::bad_alloc&) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: no memory for the layer buffers (%d layers, %d rows offset, %d bytes a row)\n",
                            4, __FILE__, __LINE__, kOutputInit, __LINE__, m_nLayerCount, m_nLayerOffset,
                            m_nBytesPerRow);
        FreeJobBuffers();
        return 0;
    }
    return OutputMargTop();
}

std::size_t CMimakiLayerSectionDriver::StageRow(BYTE* dst, const LayerStep& step)
{
    const bool own = m_nSendOnlyNonZeroBytes != 0 && !m_bShortHeader;
    const bool packed = m_nCompressMode == 1;
    const std::size_t headerLength = mimaki::layers::HeaderLength(Form());
    BYTE* p = dst;
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        const Source& src = m_sources[i];
        if (!mimaki::layers::Selects(m_family, step.selector, src.colour))
            continue;
        BYTE* data = p + headerLength;
        Staged& staged = m_staged[i * 2 + (step.mirror ? 1 : 0)];
        int raw = 0, sent = 0;
        if (staged.row == m_nRowStamp) {
            // A second layer of the same channel and direction in this row
            // (colour twice, white twice): its bytes are staged already.
            raw = staged.raw;
            sent = staged.sent;
            if (sent > 0)
                std::memcpy(data, staged.data, static_cast<std::size_t>(sent));
        } else {
            const BYTE* row = pOutputRow(src.channel);
            raw = row ? (own ? GetChannelByteCount(src.channel) : m_nBytesPerRow) : 0;
            if (raw > 0 && step.mirror) {
                MirrorRow(m_pAuxSendBuffer.get(), row, m_nJobPixels, m_nBitsPerPixel);
                row = m_pAuxSendBuffer.get();
                // The mirrored row's ink sits at the other end: count it anew.
                if (own)
                    raw = TrimmedRowLength(row, m_nBytesPerRow);
            }
            sent = raw;
            if (raw > 0 && packed)
                sent = packbits_compress(data, row, raw);
            else if (raw > 0)
                std::memcpy(data, row, static_cast<std::size_t>(raw));
            staged = Staged{m_nRowStamp, data, raw, sent};
        }
        if (raw <= 0)
            continue;
        mimaki::layers::WriteLayerHeader(p, Form(), src.code, packed ? 1 : 0, m_nBitsPerPixel, raw, sent,
                                         step.layer);
        p = data + sent;
    }
    return static_cast<std::size_t>(p - dst);
}

int CMimakiLayerSectionDriver::Send(const std::vector<BYTE>& bytes, std::size_t n)
{
    return Output(bytes.data(), static_cast<long>(n), 0);
}

int CMimakiLayerSectionDriver::SendDue(LayerSlot& slot)
{
    const std::size_t pos = static_cast<std::size_t>(slot.pos);
    const std::size_t n = slot.lengths[pos];
    if (n == 0)
        return 0;
    slot.lengths[pos] = 0;
    --slot.held;
    return Output(slot.stage.get() + pos * slot.capacity, static_cast<long>(n), 0) ? 1 : -1;
}

int CMimakiLayerSectionDriver::OutputRowOnLayerBasis(int nSelector, int bBlank, int nLayer, int bMirror)
{
    if (nLayer < 0 || nLayer >= m_nLayerCount || !m_layers[nLayer].step) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: layer %d is not one of the job's %d layers\n", 4, __FILE__, __LINE__,
                            kOnLayerBasis, __LINE__, nLayer, m_nLayerCount);
        return 0;
    }
    if (bMirror && !bBlank && !m_pAuxSendBuffer) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: m_pAuxSendBuffer is null, possibly it has been untimely released. Now I "
                            "reallocate it to write mirrored row",
                            4, __FILE__, __LINE__, kOnLayerBasis, __LINE__);
        m_pAuxSendBuffer.reset(new (std::nothrow) BYTE[static_cast<std::size_t>(m_nBytesPerRow)]());
        if (!m_pAuxSendBuffer)
            return 0;
        m_nAuxSendBufferSize = m_nBytesPerRow;
    }
    LayerSlot& slot = m_layers[nLayer];
    const LayerStep step{nSelector, nLayer, bMirror != 0};
    int sent = 0;
    if (slot.delay == 0) {
        if (bBlank) {
            if (!slot.blankStaged.empty() && !Send(slot.blankStaged, slot.blankStaged.size()))
                return 0;
            sent = !slot.blankStaged.empty();
        } else {
            const std::size_t n = StageRow(slot.stage.get(), step);
            if (n && !Output(slot.stage.get(), static_cast<long>(n), 0))
                return 0;
            sent = n != 0;
        }
    } else {
        sent = SendDue(slot);
        if (sent < 0)
            return 0;
        BYTE* dst = slot.stage.get() + static_cast<std::size_t>(slot.pos) * slot.capacity;
        std::size_t n = 0;
        if (bBlank) {
            n = slot.blankStaged.size();
            if (n)
                std::memcpy(dst, slot.blankStaged.data(), n);
        } else {
            n = StageRow(dst, step);
        }
        slot.lengths[static_cast<std::size_t>(slot.pos)] = n;
        slot.held += n != 0;
        slot.pos = (slot.pos + 1) % slot.delay;
    }
    if (!sent && !slot.blankFill.empty() && !Send(slot.blankFill, slot.blankFill.size()))
        return 0;
    return 1;
}

int CMimakiLayerSectionDriver::OutputRow(int bBlank)
{
    if (!bBlank && m_nBytesPerRow > m_nAuxSendBufferSize) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: CountBytesOutputRow() has increased: %d => %d", 4, __FILE__, __LINE__,
                            kOutputRow, __LINE__, m_nAuxSendBufferSize, m_nBytesPerRow);
        m_pAuxSendBuffer.reset(new (std::nothrow) BYTE[static_cast<std::size_t>(m_nBytesPerRow)]());
        m_nAuxSendBufferSize = m_pAuxSendBuffer ? m_nBytesPerRow : 0;
        if (!m_pAuxSendBuffer)
            return 0;
    }
    ++m_nRowStamp;
    for (int k = 0; m_pMode && k < m_pMode->count; ++k) {
        const LayerStep& step = m_pMode->steps[k];
        if (!OutputRowOnLayerBasis(step.selector, bBlank, step.layer, step.mirror ? 1 : 0))
            return 0;
    }
    if (!Output(BandTrailer))
        return 0;
    if (m_bPauseEnabled) {
        if (bBlank) {
            ++m_nPauseBlanks;
        } else {
            m_nPauseBlanks = 0;
            if (++m_nPauseRows >= m_nPauseDistance)
                m_nPauseState = 2;
        }
        if (m_nPauseState == 2 && m_nPauseBlanks == m_nPauseGap) {
            if (!Output(m_pauseCommand))
                return 0;
            m_nPauseState = 1;
            m_nPauseRows = 0;
        }
    }
    if (bBlank)
        JobSection(nullptr, 0);
    return 1;
}

int CMimakiLayerSectionDriver::OutputExit()
{
    if (m_nHangingRows && !AdvanceHangingRows()) {
        FreeJobBuffers();
        return 0;
    }
    // The later layers still hold the page's last rows.
    for (;;) {
        bool held = false;
        for (const LayerSlot& slot : m_layers)
            held = held || slot.held > 0;
        if (!held)
            break;
        JobSection(nullptr, 0);
        for (LayerSlot& slot : m_layers) {
            if (slot.delay == 0)
                continue;
            if (SendDue(slot) < 0) {
                FreeJobBuffers();
                return 0;
            }
            slot.pos = (slot.pos + 1) % slot.delay;
        }
        if (!Output(BandTrailer)) {
            FreeJobBuffers();
            return 0;
        }
    }
    const int result = CPrinterDriverBase::OutputExit();
    FreeJobBuffers();
    return result;
}

