#include "driver/MimakiJFX200EXDriver.h"

#include <algorithm>
#include <cstring>

#include "devparms/MimakiDevParms.h"
#include "devparms/MimakiLayerList.h"
#include "driver/MimakiStreamLayers.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/Slots.h"
#include "host/SpoolBuffer.h"
#include "host/StrUtil.h"

namespace sl = mimaki::streamlayers;

namespace {

constexpr char kSource[] = "MimakiJFX200EXDriver";
constexpr char kName[] = "CMimakiJFX200EXDriver";
// A record: its length T, the "QD" block (13 bytes) and the stored row
// (T bytes together), T again.
constexpr std::size_t kQd = 4;
constexpr std::size_t kData = kQd + 13;
constexpr std::size_t kColourId = kQd + 3;

} // namespace

const int CMimakiJFX200EXDriver::kGroupCodes[kGroups] = {1, 2, 3, 0, 8, 9, 34, 33, 24, 30, 29, 25};

CMimakiJFX200EXDriver::CMimakiJFX200EXDriver(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiBasePrinterDriver(pPrintEnv, pDevParms)
{
}

CMimakiJFX200EXDriver::~CMimakiJFX200EXDriver() = default;

int CMimakiJFX200EXDriver::StreamCount() const
{
    int n = 0;
    for (const Group& g : m_groups)
        n += (g.streams[0] ? 1 : 0) + (g.streams[1] ? 1 : 0);
    return n;
}

int CMimakiJFX200EXDriver::OnOutputInit()
{
    Release();
    m_bCompress = m_nCompressMode == 1 ? 1 : 0;
    const std::size_t bytes = static_cast<std::size_t>(m_nBytesPerRow);
    const std::size_t stored = m_bCompress ? packbits_bound(bytes) : bytes;
    if (stored > 0xFFFF)
        return Fail("a row of " + std::to_string(m_nBytesPerRow) + " bytes does not fit the 16-bit counts of the "
                        "raster descriptor",
                    __LINE__);
    if (m_mirrorRow.size() < bytes)
        m_mirrorRow.resize(bytes);
    m_record.assign(kData + packbits_bound(bytes) + 4, 0);
    const std::string qd = preProcess("QD\\x0a\\x00");
    std::memcpy(m_record.data() + kQd, qd.data(), qd.size());
    m_record[kQd + 4] = static_cast<BYTE>(m_bCompress);
    m_record[kQd + 5] = static_cast<BYTE>(m_nBitsPerPixel);
    m_record[kQd + 6] = static_cast<BYTE>(bytes & 0xFF);
    m_record[kQd + 7] = static_cast<BYTE>(bytes >> 8);
    m_record[kQd + 8] = 1;
    // The blank row's record, its colour id set per group when written.
    const std::vector<BYTE> zero(bytes, 0);
    const std::size_t blank = m_bCompress ? static_cast<std::size_t>(packbits_compress(m_record.data() + kData,
                                                                                           zero.data(), m_nBytesPerRow))
                                          : bytes;
    if (!m_bCompress)
        std::memset(m_record.data() + kData, 0, bytes);
    m_record[kQd + 10] = static_cast<BYTE>(blank & 0xFF);
    m_record[kQd + 11] = static_cast<BYTE>(blank >> 8);
    sl::PutLE32(m_record.data(), static_cast<std::uint32_t>(13 + blank));
    sl::PutLE32(m_record.data() + kData + blank, static_cast<std::uint32_t>(13 + blank));
    m_blankRecord.assign(m_record.begin(), m_record.begin() + static_cast<std::ptrdiff_t>(kData + blank + 4));
    m_feedPrefix = GetFeedCommand(1);
    m_rowPrefix = preProcess("QY\\005\\000\\000\\000\\000\\000QR\\001\\000");
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this] { return Prepare(); });
    if (!ok)
        Release();
    return ok;
}

// The groups' slots, colour ids and channels, then per layer of the list
// the groups its kind prints in the variant it reads (which opens that
// stream), in the order "OutputSequenceDefault" names their colours, the
// others after them in group order.
int CMimakiJFX200EXDriver::Prepare()
{
    const std::vector<CMimakiLayerRecord>* list = mimaki::layerlist::Of(m_pDevParms);
    if (!list || !m_pPrintEnv)
        return Fail("the device parameters keep no layer list", __LINE__);
    const std::vector<std::wstring> ids = Split(m_pPrintEnv->GetString(L"MimakiColorSequence", L""), L',', 1);
    for (int g = 0; g < kGroups; ++g) {
        Group& group = m_groups[g];
        group.code = kGroupCodes[g];
        for (int s = 0; s < GetSlotCount() && group.slot < 0; ++s)
            if (iPrimColFromSlot(s) == group.code)
                group.slot = s;
        group.channel = ChannelFromSlot(group.slot);
        group.colourId = group.slot >= 0 && static_cast<std::size_t>(group.slot) < ids.size()
                             ? IntFromString(ids[static_cast<std::size_t>(group.slot)])
                             : -1;
    }
    m_outputSequence.clear();
    for (const std::wstring& code : Split(m_pPrintEnv->GetString(L"OutputSequenceDefault", L""), L',', 1))
        m_outputSequence.push_back(IntFromString(code));
    std::vector<int> order;
    for (const int code : m_outputSequence)
        for (int g = 0; g < kGroups; ++g)
            if (kGroupCodes[g] == code && std::find(order.begin(), order.end(), g) == order.end())
                order.push_back(g);
    for (int g = 0; g < kGroups; ++g)
        if (std::find(order.begin(), order.end(), g) == order.end())
            order.push_back(g);

    for (const sl::PrintedLayer& l : sl::PrintedLayers(*list, kName)) {
        Layer layer{l.index, l.record, {}};
        const int mirrored = l.record.bMirror ? 1 : 0;
        for (const int g : order) {
            Group& group = m_groups[g];
            if (group.channel < 0 || !sl::KindCarries(l.record.nType, group.code))
                continue;
            if (group.colourId < 0 || group.colourId > 255)
                return Fail("slot " + std::to_string(group.slot + 1) + " (host colour " + std::to_string(group.code) +
                                ") has no Mimaki colour id in \"MimakiColorSequence\"",
                            __LINE__);
            if (!group.streams[mirrored])
                group.streams[mirrored] = std::make_unique<CSpoolStore>();
            layer.streams.push_back({g, mirrored});
        }
        if (layer.streams.empty()) {
            CVoLog log;
            log->ReportStatusPF("***%s#%d: layer %d (kind %d) has no ink this job prints; it is left out\n", 4,
                                __FILE__, __LINE__, kName, __LINE__, l.index + 1, l.record.nType);
            continue;
        }
        m_layers.push_back(std::move(layer));
    }
    sl::ReportNoLayer(m_layers.empty(), kName);
    return 1;
}

void CMimakiJFX200EXDriver::Record(CSpoolStore& stream, const BYTE* row)
{
    const std::size_t bytes = static_cast<std::size_t>(m_nBytesPerRow);
    const std::size_t stored =
        m_bCompress ? static_cast<std::size_t>(packbits_compress(m_record.data() + kData, row, m_nBytesPerRow)) : bytes;
    const auto total = static_cast<std::uint32_t>(13 + stored);
    sl::PutLE32(m_record.data(), total);
    m_record[kQd + 10] = static_cast<BYTE>(stored & 0xFF);
    m_record[kQd + 11] = static_cast<BYTE>(stored >> 8);
    if (m_bCompress) {
        sl::PutLE32(m_record.data() + kData + stored, total);
        stream.Append(m_record.data(), kData + stored + 4);
        return;
    }
    BYTE tail[4];
    sl::PutLE32(tail, total);
    stream.Append(m_record.data(), kData);
    stream.Append(row, bytes);
    stream.Append(tail, 4);
}

int CMimakiJFX200EXDriver::OutputCurrentRow()
{
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this] {
        for (Group& g : m_groups) {
            if (g.channel < 0 || !(g.streams[0] || g.streams[1]))
                continue;
            const BYTE* row = pOutputRow(g.channel);
            m_record[kColourId] = static_cast<BYTE>(g.colourId);
            if (g.streams[0])
                Record(*g.streams[0], row);
            if (g.streams[1]) {
                MirrorRow(m_mirrorRow.data(), row, m_nPixelWidth, m_nBitsPerPixel);
                Record(*g.streams[1], m_mirrorRow.data());
            }
        }
        ++m_nRows;
        return 1;
    });
    if (!ok)
        Release();
    return ok;
}

int CMimakiJFX200EXDriver::AdvanceRows(int nRows)
{
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this, nRows] {
        for (Group& g : m_groups) {
            m_blankRecord[kColourId] = static_cast<BYTE>(g.colourId);
            for (auto& s : g.streams)
                for (int r = 0; s && r < nRows; ++r)
                    s->Append(m_blankRecord.data(), m_blankRecord.size());
        }
        m_nRows += static_cast<std::uint64_t>(nRows > 0 ? nRows : 0);
        return 1;
    });
    if (!ok)
        Release();
    return ok;
}

int CMimakiJFX200EXDriver::OnOutputExit()
{
    const int ok = sl::Guarded(*this, kSource, __LINE__, [this] { return PlayBack(); });
    Release();
    return ok;
}

// Layer by layer: the start, a row prefix, the rows (each after the first
// opened by a feed of one row), one feed more, the end.
// The read direction flips after every layer, and before a layer as its
// direction bits say.
int CMimakiJFX200EXDriver::PlayBack()
{
    for (Group& g : m_groups)
        for (auto& s : g.streams)
            if (s)
                s->Seal();
    auto* parms = dynamic_cast<CMimakiDevParmsBase*>(m_pDevParms);
    const int positionKind = parms && parms->bSwitchToLocalBetweenLayers > 0 ? 2 : 0;
    bool backward = false;
    for (const Layer& layer : m_layers) {
        if (backward ? layer.record.bFlipWhenBackward : layer.record.bFlipWhenForward)
            backward = !backward;
        const std::string start =
            parms ? parms->GetLayerStartString(this, layer.index, backward ? 1 : 0, positionKind, -1) : std::string();
        if (!Output(start) || !Output(m_rowPrefix) || !JobSection(nullptr, 0) || !PlayLayer(layer, backward))
            return 0;
        const std::string end = parms ? parms->GetLayerEndString(this, 0, backward ? 1 : 0) : std::string();
        if (!Output(m_feedPrefix) || !Output(end))
            return 0;
        backward = !backward;
    }
    return 1;
}

int CMimakiJFX200EXDriver::PlayLayer(const Layer& layer, bool bBackward)
{
    for (const Stream& s : layer.streams) {
        Group& g = m_groups[s.group];
        g.readAt[s.mirrored] = bBackward ? g.streams[s.mirrored]->Size() : 0;
    }
    const std::uint32_t maxTotal = static_cast<std::uint32_t>(m_record.size() - kQd - 4);
    const bool twice = sl::IsDoubleWhite(layer.record.nType);
    for (std::uint64_t r = 0; r < m_nRows; ++r) {
        for (std::size_t i = 0; i < layer.streams.size(); ++i) {
            Group& g = m_groups[layer.streams[i].group];
            CSpoolStore& stream = *g.streams[layer.streams[i].mirrored];
            std::uint64_t& at = g.readAt[layer.streams[i].mirrored];
            BYTE* rec = m_record.data() + kQd;
            // Backwards the length that ends the record comes first.
            if (bBackward ? at < 8 : at + 8 > stream.Size())
                throw CSpoolException("a recorded colour stream holds fewer rows than the page");
            stream.Read(bBackward ? at - 4 : at, m_record.data(), 4);
            const std::uint32_t total = sl::GetLE32(m_record.data());
            if (total < 13 || total > maxTotal || (bBackward ? at < 8 + total : at + 8 + total > stream.Size()))
                throw CSpoolException("a recorded row does not read back as it was written");
            const std::uint64_t body = bBackward ? at - 4 - total : at + 4;
            stream.Read(body, rec, total);
            at = bBackward ? at - 8 - total : at + 8 + total;
            const std::string& prefix = i == 0 && r > 0 ? m_feedPrefix : m_rowPrefix;
            if (!Output(prefix) || !Output(rec, static_cast<long>(total), 1))
                return 0;
            // Double white: the same row once more under the other white code.
            if (twice && (rec[3] == 254 || rec[3] == 255)) {
                rec[3] = rec[3] == 254 ? 255 : 254;
                if (!Output(m_rowPrefix) || !Output(rec, static_cast<long>(total), 1))
                    return 0;
            }
        }
        if (!JobSection(nullptr, 0))
            return 0;
    }
    return 1;
}

int CMimakiJFX200EXDriver::JobClose()
{
    Release();
    return CMimakiBasePrinterDriver::JobClose();
}

int CMimakiJFX200EXDriver::Fail(const std::string& what, int line)
{
    SetDetailedDriverError(what, kSource, line);
    Release();
    return 0;
}

void CMimakiJFX200EXDriver::Release()
{
    for (Group& g : m_groups)
        for (auto& s : g.streams)
            s.reset();
    m_layers.clear();
    m_nRows = 0;
}
