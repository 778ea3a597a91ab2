#include "driver/MimakiUJF7151PlusIIDriver.h"

#include <cstdio>
#include <cstring>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiLayerList.h"
#include "driver/MimakiBaseDriver.h"
#include "driver/MimakiStreamLayers.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/Slots.h"
#include "host/SpoolBuffer.h"

namespace sl = mimaki::streamlayers;

namespace {

constexpr std::uint32_t kEndMark = 0xFFFFFFFF;
constexpr char kSource[] = "MimakiUJF7151PlusIIDriver";
constexpr char kName[] = "CMimakiPrinterDriverUJF7151PlusII";
// Where the QD parameters begin in the row header, and its length.
constexpr std::size_t kQdParams = 15;
constexpr char kHeaderTemplate[] = "\\QR\\x01\\x00\\QY\\x05\\x00\\x00\\x00\\x00\\x00\\QD\\x%02x\\x%02x\\x%02x\\x%02x"
                                   "\\x%02x\\x%02x\\x01\\x00\\x%02x\\x%02x\\x00";

} // namespace

CMimakiPrinterDriverUJF7151PlusII::CMimakiPrinterDriverUJF7151PlusII(CPrintEnv* pPrintEnv,
                                                                     CUnivDevParmsBase* pDevParms)
    : CPrinterDriverBase(pPrintEnv, pDevParms)
{
}

CMimakiPrinterDriverUJF7151PlusII::~CMimakiPrinterDriverUJF7151PlusII() = default;

int CMimakiPrinterDriverUJF7151PlusII::StreamCount() const
{
    int n = 0;
    for (const Ink& ink : m_inks)
        for (const auto& s : ink.streams)
            n += s ? 1 : 0;
    return n;
}

int CMimakiPrinterDriverUJF7151PlusII::OutputInit(int nPixelWidth, int nRows)
{
    Release();
    if (!CPrinterDriverBase::OutputInit(nPixelWidth, nRows) || !m_pDevParms)
        return 0;
    m_nOutputFlag = 1;
    m_nSandwich = m_pPrintEnv ? m_pPrintEnv->GetInt(PrEnv_SandwichDoubleWidthMode) : 0;
    m_bCompress = m_nCompressMode == 1 ? 1 : 0;
    const int alt = GetAltBytesPerRow();
    m_nRecordBytes = m_nSandwich && alt >= 1 && alt <= m_nBytesPerRow ? alt : m_nBytesPerRow;
    const std::size_t stored = m_bCompress ? packbits_bound(static_cast<std::size_t>(m_nRecordBytes))
                                           : static_cast<std::size_t>(m_nRecordBytes);
    if (stored > 0xFFFF)
        return Fail("a row of " + std::to_string(m_nRecordBytes) + " bytes does not fit the 16-bit counts of the "
                        "raster descriptor",
                    __LINE__);

    m_blankRow.assign(static_cast<std::size_t>(m_nBytesPerRow), 0);
    if (m_mirrorRow.size() < m_blankRow.size())
        m_mirrorRow.resize(m_blankRow.size());
    m_record.assign(8 + packbits_bound(static_cast<std::size_t>(m_nRecordBytes)), 0);
    const int blankStored = m_bCompress ? packbits_compress(m_record.data() + 8, m_blankRow.data(), m_nRecordBytes)
                                        : m_nRecordBytes;
    sl::PutLE32(m_record.data(), static_cast<std::uint32_t>(m_nRecordBytes));
    sl::PutLE32(m_record.data() + 4, static_cast<std::uint32_t>(blankStored));
    m_blankRecord.assign(m_record.begin(), m_record.begin() + 8 + blankStored);

    char header[256];
    std::snprintf(header, sizeof header, kHeaderTemplate, 10, 0, m_bCompress, m_nBitsPerPixel, 0, 0, 0, 0);
    m_header = preProcess(header);
    m_bandTrailer = preProcess("QR\\x01\\x01");
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this] { return BuildLayers(); });
    if (!ok)
        Release();
    return ok;
}

// The ink records from the slots, then per layer of the list the inks its
// kind prints, each in the variant the layer reads (which opens that
// variant's stream).
int CMimakiPrinterDriverUJF7151PlusII::BuildLayers()
{
    auto* parms = dynamic_cast<CMimakiDevParmsBase*>(m_pDevParms);
    const std::vector<CMimakiLayerRecord>* list = mimaki::layerlist::Of(m_pDevParms);
    if (!parms || !list)
        return Fail("the device parameters keep no layer list", __LINE__);

    m_inks.resize(static_cast<std::size_t>(GetSlotCount()));
    for (std::size_t s = 0; s < m_inks.size(); ++s) {
        Ink& ink = m_inks[s];
        ink.code = iPrimColFromSlot(static_cast<int>(s));
        for (int ch = 0; ink.code >= 0 && ch < GetCountPrimCols() && ink.channel < 0; ++ch)
            if (DevPrimColUserFromPrimCol(ch) == ink.code)
                ink.channel = ch;
    }

    const int positionKind = parms->bSwitchToLocalBetweenLayers == 1 ? 2 : 1;
    for (const sl::PrintedLayer& l : sl::PrintedLayers(*list, kName)) {
        Layer layer{l.index, {}, {}, {}};
        const int variant = (m_nSandwich && l.record.bSecondHalf ? kSecondHalf : kNormal) + (l.record.bMirror ? 1 : 0);
        for (std::size_t i = 0; i < m_inks.size(); ++i) {
            Ink& ink = m_inks[i];
            if (ink.channel < 0 || !sl::KindCarries(l.record.nType, ink.code))
                continue;
            const int id = parms->GetColorMapValue(ink.code);
            if (id < 0 || id > 255 || id == 99)
                return Fail("the ink of host colour " + std::to_string(ink.code) + " (slot " + std::to_string(i + 1) +
                                ") has no Mimaki colour id; \"MimakiColorSequence\" names none for it",
                            __LINE__);
            if (!ink.streams[variant])
                ink.streams[variant] = std::make_unique<CSpoolStore>();
            layer.entries.push_back({static_cast<int>(i), id, variant});
        }
        if (layer.entries.empty()) {
            CVoLog log;
            log->ReportStatusPF("***%s#%d: layer %d (kind %d) has no ink this job prints; it is left out\n", 4,
                                __FILE__, __LINE__, kName, __LINE__, l.index + 1, l.record.nType);
            continue;
        }
        const int reversed = parms->IsLayerReversed(l.record.nType) ? 1 : 0;
        layer.start = parms->GetLayerStartString(this, l.index, reversed, positionKind, -1);
        layer.end = parms->GetLayerEndString(this, l.index, reversed);
        m_layers.push_back(std::move(layer));
    }
    sl::ReportNoLayer(m_layers.empty(), kName);
    return 1;
}

void CMimakiPrinterDriverUJF7151PlusII::Record(Ink& ink, int variant, const BYTE* row)
{
    CSpoolStore& stream = *ink.streams[variant];
    if (!m_bCompress) {
        stream.Append(m_blankRecord.data(), 8); // the counts of every uncoded row
        stream.Append(row, static_cast<std::size_t>(m_nRecordBytes));
        return;
    }
    const int stored = packbits_compress(m_record.data() + 8, row, m_nRecordBytes);
    sl::PutLE32(m_record.data() + 4, static_cast<std::uint32_t>(stored));
    stream.Append(m_record.data(), 8 + static_cast<std::size_t>(stored));
}

int CMimakiPrinterDriverUJF7151PlusII::RecordRow(bool bBlank)
{
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this, bBlank] {
        const std::size_t h = static_cast<std::size_t>(m_nRecordBytes);
        const std::size_t tail = static_cast<std::size_t>(m_nBytesPerRow) - h;
        for (Ink& ink : m_inks) {
            if (ink.channel < 0)
                continue;
            if (bBlank) {
                for (auto& s : ink.streams)
                    if (s)
                        s->Append(m_blankRecord.data(), m_blankRecord.size());
                continue;
            }
            const BYTE* row = pOutputRow(ink.channel);
            if (ink.streams[kMirrored] || ink.streams[kSecondHalfMirrored])
                MirrorRow(m_mirrorRow.data(), row, m_nPixelWidth, m_nBitsPerPixel);
            // The halves: first and last h bytes of the row and of its mirror.
            const BYTE* variants[kVariants] = {row, m_mirrorRow.data() + tail, row + tail, m_mirrorRow.data()};
            for (int v = 0; v < kVariants; ++v)
                if (ink.streams[v])
                    Record(ink, v, variants[v]);
        }
        return 1;
    });
    if (!ok)
        Release();
    return ok;
}

int CMimakiPrinterDriverUJF7151PlusII::OutputCurrentRow() { return RecordRow(false); }
int CMimakiPrinterDriverUJF7151PlusII::OutputEmptyRow() { return RecordRow(true); }

int CMimakiPrinterDriverUJF7151PlusII::OnOutputExit()
{
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this] { return PlayBack(); });
    Release();
    return ok;
}

int CMimakiPrinterDriverUJF7151PlusII::PlayBack()
{
    BYTE mark[4];
    sl::PutLE32(mark, kEndMark);
    for (Ink& ink : m_inks)
        for (auto& s : ink.streams)
            if (s) {
                s->Append(mark, 4);
                s->Seal();
            }
    for (std::size_t li = 0; li < m_layers.size(); ++li) {
        const Layer& layer = m_layers[li];
        if (li > 0 && !m_layers[li - 1].end.empty() && !(JobSection(nullptr, 0) && Output(m_layers[li - 1].end)))
            return 0;
        if (!JobSection(nullptr, 0) || !Output(layer.start) || !PlayLayer(layer))
            return 0;
    }
    return m_layers.empty() || m_layers.back().end.empty() || Output(m_layers.back().end);
}

// The layer's rows from the start of its streams until they end: per row
// each entry's record in a row header, then the band trailer.
int CMimakiPrinterDriverUJF7151PlusII::PlayLayer(const Layer& layer)
{
    for (Ink& ink : m_inks)
        for (std::uint64_t& at : ink.readAt)
            at = 0;
    const std::uint32_t maxStored = static_cast<std::uint32_t>(m_record.size() - 8);
    BYTE* header = reinterpret_cast<BYTE*>(m_header.data());
    for (;;) {
        for (std::size_t i = 0; i < layer.entries.size(); ++i) {
            const Entry& e = layer.entries[i];
            Ink& ink = m_inks[static_cast<std::size_t>(e.ink)];
            CSpoolStore& stream = *ink.streams[e.variant];
            std::uint64_t& at = ink.readAt[e.variant];
            stream.Read(at, m_record.data(), 4);
            const std::uint32_t raw = sl::GetLE32(m_record.data());
            if (raw == kEndMark) {
                if (i > 0)
                    throw CSpoolException("a recorded ink stream ends before the others");
                return 1;
            }
            stream.Read(at + 4, m_record.data() + 4, 4);
            const std::uint32_t stored = sl::GetLE32(m_record.data() + 4);
            if (raw != static_cast<std::uint32_t>(m_nRecordBytes) || stored > maxStored)
                throw CSpoolException("a recorded row does not read back as it was written");
            stream.Read(at + 8, m_record.data() + 8, stored);
            at += 8 + stored;
            header[kQdParams] = static_cast<BYTE>(e.colourId);
            header[kQdParams + 3] = static_cast<BYTE>(raw & 0xFF);
            header[kQdParams + 4] = static_cast<BYTE>(raw >> 8);
            header[kQdParams + 7] = static_cast<BYTE>(stored & 0xFF);
            header[kQdParams + 8] = static_cast<BYTE>(stored >> 8);
            if (!Output(m_header) || !Output(m_record.data() + 8, static_cast<long>(stored), 0))
                return 0;
        }
        if (!Output(m_bandTrailer) || !JobSection(nullptr, 0))
            return 0;
    }
}

int CMimakiPrinterDriverUJF7151PlusII::JobClose()
{
    CMimakiLegacyBasePrinterDriver::SendAbortCommand(*this);
    Release();
    return CPrinterDriverBase::JobClose();
}

int CMimakiPrinterDriverUJF7151PlusII::Fail(const std::string& what, int line)
{
    SetDetailedDriverError(what, kSource, line);
    Release();
    return 0;
}

void CMimakiPrinterDriverUJF7151PlusII::Release()
{
    m_inks.clear();
    m_layers.clear();
}
