#include "layers/MimakiUJF_x042MKIIDriver.h"

#include <cstring>

#include "devparms/MimakiDevParmsUJF.h"
#include "driver/MimakiBaseDriver.h"
#include "driver/MimakiStreamLayers.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/Slots.h"
#include "host/SpoolBuffer.h"

namespace {

// A slot-file record: its length L (10 + data bytes, 32 bits, low byte
// first), "QD" 7 code packed bits raw(2) 1 0, the data, and L again so that
// the file can be read from either end.
constexpr std::size_t kLength = 4;
constexpr std::size_t kQd = 10;
// Before each record on playback: "QY" 5 and five zeros, then "QR" 1 0, or
// "QR" 1 1 where a row other than the first begins.
constexpr std::size_t kPrefix = 12;
constexpr char kFirstPrefix[] = "\\QY\\005\\000\\000\\000\\000\\000\\QR\\001\\000";
constexpr char kNextPrefix[] = "\\QY\\005\\000\\000\\000\\000\\000\\QR\\001\\001";
// A blank row is recorded as ten zero bytes.
constexpr BYTE kBlank[10] = {};

using mimaki::streamlayers::GetLE32;
using mimaki::streamlayers::PutLE32;

bool InGroup(int id, std::initializer_list<int> ids)
{
    for (const int i : ids)
        if (i == id)
            return true;
    return false;
}

// The ink groups of the slot assignment.
bool IsColour(int id) { return (id >= 0 && id <= 16) || id == 23 || (id >= 40 && id <= 43); }
bool IsWhite(int id) { return id >= 31 && id <= 34; }
bool IsVarnish(int id) { return id >= 27 && id <= 30; }
bool IsPrimer(int id) { return id == 25 || id == 26; }
bool IsSpecial(int id) { return id == 22; }
bool IsMidlayer(int id) { return id == 24; }

} // namespace

CMimakiWhitePrinterDriverUJF_x042MKII::CMimakiWhitePrinterDriverUJF_x042MKII(CPrintEnv* pPrintEnv,
                                                                             CUnivDevParmsBase* pDevParms)
    : CPrinterDriverBase(pPrintEnv, pDevParms), m_out(*this)
{
}

CMimakiWhitePrinterDriverUJF_x042MKII::~CMimakiWhitePrinterDriverUJF_x042MKII() = default;

void CMimakiWhitePrinterDriverUJF_x042MKII::ReleaseFiles()
{
    for (Slot& s : m_slots) {
        s.forward.reset();
        s.mirrored.reset();
    }
}

int CMimakiWhitePrinterDriverUJF_x042MKII::Fail(const char* what, int line)
{
    CVoLog()->ReportStatusPF("Creating slotfiles failed- Probably diskfull error\n", 4, __FILE__, __LINE__);
    SetDetailedDriverError(what, "MimakiUJF_x042MKIIDriver", line);
    ReleaseFiles();
    m_layers.clear();
    return 0;
}

// Rules by kind a, sub-kind b and mode m; each adds the slots of its group,
// each slot with the file the layer reads.
void CMimakiWhitePrinterDriverUJF_x042MKII::AssignSlots(Layer& layer, int a, int b, int m)
{
    struct Rule {
        bool (*group)(int);
        bool takes;
        int flag;
    };
    const bool b4or5 = (b == 5 && m == 5) || (b == 4 && m != 5);
    const Rule rules[] = {
        {IsMidlayer, m < 0, 0},
        {IsColour, m >= 0 && (a == 10 || (a == 0 && (b == 0 || b == 13))), InGroup(b, {1, 6, 7, 15, 24}) || b4or5},
        {IsSpecial, m >= 0 && a == 0 && InGroup(b, {11, 12, 13}), 0},
        {IsWhite, m >= 0 && ((a == 10 && InGroup(b, {0, 1, 14, 15})) || (a == 0 && InGroup(b, {1, 9}))),
         InGroup(b, {0, 14})},
        {IsVarnish, m >= 0 && InGroup(b, {2, 3, 4, 6, 7}), InGroup(b, {2, 3})},
        {IsPrimer, m >= 0 && ((a == 10 && InGroup(b, {4, 5, 24, 25})) || (a == 0 && InGroup(b, {5, 10}))),
         b == 25 || b4or5},
    };
    for (const Rule& rule : rules) {
        if (!rule.takes)
            continue;
        for (std::size_t s = 0; s < m_slots.size(); ++s) {
            Slot& slot = m_slots[s];
            // A slot whose ink the job has no channel for prints nothing.
            if (slot.channel < 0 || !rule.group(slot.colourId))
                continue;
            std::unique_ptr<CSpoolStore>& file = layer.mirror ? slot.mirrored : slot.forward;
            if (!file)
                file = std::make_unique<CSpoolStore>();
            layer.entries.push_back({static_cast<int>(s), slot.colourId, rule.flag ? 1 : 0, slot.code});
        }
    }
}

int CMimakiWhitePrinterDriverUJF_x042MKII::OutputInit(int n1, int n2)
{
    const int result = CPrinterDriverBase::OutputInit(n1, n2);
    if (!result)
        return result;
    auto* parms = dynamic_cast<DEVPARMUJF_x042MKII_CLASS*>(m_pDevParms);
    if (!parms || m_nBytesPerRow > 0xFFFF) {
        CVoLog()->ReportStatusPF("***%s#%d: %s\n", 4, __FILE__, __LINE__,
                                 "CMimakiWhitePrinterDriverUJF_x042MKII::OutputInit", __LINE__,
                                 parms ? "a row does not fit the 16-bit count of the row header"
                                       : "the device parameters are not those of the UJF x042 MkII");
        return 0;
    }
    m_nLayerFieldValue = 8;
    m_bLayerFieldFewPasses = true;
    ReleaseFiles();
    m_layers.clear();
    m_slots.clear();
    m_slots.resize(static_cast<std::size_t>(GetSlotCount()));
    for (int s = 0; s < GetSlotCount(); ++s) {
        Slot& slot = m_slots[static_cast<std::size_t>(s)];
        slot.channel = ChannelFromSlot(s);
        slot.colourId = iPrimColFromSlot(s);
        slot.code = parms->GetColorMapValue(slot.colourId);
    }
    const int switchValue = parms->GetLayerSwitchValue();
    for (int k = 0; k < 5; ++k) {
        const DEVPARMUJF_x042MKII_CLASS::SlotLayer v = parms->GetSlotLayer(k);
        if (v.count <= 0)
            break;
        Layer layer;
        layer.reverse = v.reverse == 1;
        layer.mirror = v.mirror == 1;
        AssignSlots(layer, v.kind, v.subKind, v.mode);
        // The page ends its layers at the first that prints no slot.
        if (layer.entries.empty())
            break;
        layer.start = parms->GetLayerStartString(this, k, layer.reverse, switchValue, -1);
        layer.end = parms->GetLayerEndString(this, k, layer.reverse);
        CVoLog log;
        for (const LayerEntry& e : layer.entries) {
            log->ReportStatusPF("%s: layer %d: slot %d, colour %d, code %d, flag %d\n", 8, __FILE__, __LINE__,
                                "CMimakiWhitePrinterDriverUJF_x042MKII::OutputInit", k + 1, e.slot, e.colourId,
                                e.code, e.flag);
            // A slot's rows under no printer colour would print as some other
            // ink: the job fails before anything is sent.
            if (e.code < 0 || e.code > 255 || e.code == 99) {
                const std::string why = "the ink of host colour " + std::to_string(e.colourId) + " (slot " +
                                        std::to_string(e.slot + 1) +
                                        ") has no Mimaki colour id; \"MimakiColorSequence\" names none for it";
                log->ReportStatusPF("***%s#%d: %s\n", 4, __FILE__, __LINE__,
                                    "CMimakiWhitePrinterDriverUJF_x042MKII::OutputInit", __LINE__, why.c_str());
                SetDetailedDriverError(why, "MimakiUJF_x042MKIIDriver", __LINE__);
                ReleaseFiles();
                m_layers.clear();
                return 0;
            }
        }
        m_layers.push_back(std::move(layer));
    }
    if (m_layers.empty())
        CVoLog()->ReportStatusPF("***%s#%d: the first layer takes no ink slot of this job (see its layer values "
                                 "and \"SlotsSetting\"): the page prints nothing\n",
                                 4, __FILE__, __LINE__, "CMimakiWhitePrinterDriverUJF_x042MKII::OutputInit", __LINE__);
    const std::size_t rowBytes = static_cast<std::size_t>(m_nBytesPerRow);
    m_bCompress = m_nCompressMode == 1;
    m_nRows = 0;
    m_mirrorRow.assign(rowBytes, 0);
    m_record.assign(2 * kLength + kQd + packbits_bound(rowBytes > sizeof kBlank ? rowBytes : sizeof kBlank), 0);
    m_out.Start(kPrefix + m_record.size());
    // Blank rows the host keeps above the page are rows of every layer.
    return m_nLeadingRows && !AdvanceRows(m_nLeadingRows) ? 0 : result;
}

// One record of a row into a slot file; packed when that is shorter.
void CMimakiWhitePrinterDriverUJF_x042MKII::WriteRecord(CSpoolStore& file, int code, const BYTE* row, int count)
{
    BYTE* rec = m_record.data();
    BYTE* data = rec + kLength + kQd;
    int stored = count;
    bool packed = false;
    if (m_bCompress && count > 0) {
        const int n = packbits_compress(data, row, count);
        packed = n < count;
        if (packed)
            stored = n;
    }
    if (!packed && count > 0)
        std::memcpy(data, row, static_cast<std::size_t>(count));
    const std::uint32_t length = static_cast<std::uint32_t>(kQd) + static_cast<std::uint32_t>(stored);
    PutLE32(rec, length);
    BYTE* qd = rec + kLength;
    qd[0] = 'Q';
    qd[1] = 'D';
    qd[2] = 7;
    qd[3] = static_cast<BYTE>(code);
    qd[4] = packed ? 1 : 0;
    qd[5] = static_cast<BYTE>(m_nBitsPerPixel);
    qd[6] = static_cast<BYTE>(count & 0xFF);
    qd[7] = static_cast<BYTE>((count >> 8) & 0xFF);
    qd[8] = 1;
    qd[9] = 0;
    PutLE32(data + stored, length);
    file.Append(rec, 2 * kLength + length);
}

int CMimakiWhitePrinterDriverUJF_x042MKII::OutputCurrentRow()
{
    try {
        for (Slot& slot : m_slots) {
            if (!slot.forward && !slot.mirrored)
                continue;
            const Channel& ch = m_channels[static_cast<std::size_t>(slot.channel)];
            const BYTE* row = ch.buffer->pReadRow();
            if (slot.forward)
                WriteRecord(*slot.forward, slot.code, row, ch.byteCount);
            if (slot.mirrored) {
                MirrorRow(m_mirrorRow.data(), row, m_nPixelWidth, m_nBitsPerPixel);
                WriteRecord(*slot.mirrored, slot.code, m_mirrorRow.data(),
                            TrimmedRowLength(m_mirrorRow.data(), m_nBytesPerRow));
            }
        }
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    ++m_nRows;
    return 1;
}

int CMimakiWhitePrinterDriverUJF_x042MKII::AdvanceRows(int nRows)
{
    try {
        for (int r = 0; r < nRows; ++r) {
            for (Slot& slot : m_slots)
                for (CSpoolStore* file : {slot.forward.get(), slot.mirrored.get()})
                    if (file)
                        WriteRecord(*file, slot.code, kBlank, sizeof kBlank);
            ++m_nRows;
        }
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    return 1;
}

// A layer: its start, then row by row the next record of each of its slots,
// then its end.
int CMimakiWhitePrinterDriverUJF_x042MKII::PlayLayer(const Layer& layer)
{
    const std::string first = preProcess(kFirstPrefix), next = preProcess(kNextPrefix);
    for (const LayerEntry& e : layer.entries) {
        Slot& slot = m_slots[static_cast<std::size_t>(e.slot)];
        slot.readOffset = layer.reverse ? (layer.mirror ? slot.mirrored : slot.forward)->Size() : 0;
    }
    if (!Output(layer.start))
        return 0;
    JobSection(nullptr, 0);
    for (int r = 0; r < m_nRows; ++r) {
        for (std::size_t i = 0; i < layer.entries.size(); ++i) {
            Slot& slot = m_slots[static_cast<std::size_t>(layer.entries[i].slot)];
            CSpoolStore& file = layer.mirror ? *slot.mirrored : *slot.forward;
            BYTE len[kLength];
            std::uint64_t at = slot.readOffset;
            if (layer.reverse) {
                if (at < 2 * kLength + kQd)
                    throw CSpoolException("a slot file ends before its rows do");
                file.Read(at - kLength, len, kLength);
                at -= 2 * kLength + GetLE32(len);
                slot.readOffset = at;
            } else {
                file.Read(at, len, kLength);
                slot.readOffset = at + 2 * kLength + GetLE32(len);
            }
            const std::uint32_t length = GetLE32(len);
            if (length < kQd || length > m_record.size() || slot.readOffset > file.Size())
                throw CSpoolException("a slot file record read back is damaged");
            BYTE* p = m_out.Reserve(kPrefix + length);
            if (!p)
                return 0;
            std::memcpy(p, (i == 0 && r > 0 ? next : first).data(), kPrefix);
            file.Read(at + kLength, p + kPrefix, length);
            m_out.Commit(kPrefix + length);
        }
        JobSection(nullptr, 0);
    }
    if (!m_out.Put(layer.end) || !m_out.Flush())
        return 0;
    JobSection(nullptr, 0);
    return 1;
}

int CMimakiWhitePrinterDriverUJF_x042MKII::OutputExit()
{
    if (m_nHangingRows && !AdvanceHangingRows())
        return 0;
    int ok = 1;
    try {
        for (Slot& slot : m_slots)
            for (CSpoolStore* file : {slot.forward.get(), slot.mirrored.get()})
                if (file)
                    file->Seal();
        m_out.Start(0);
        for (const Layer& layer : m_layers)
            if (!PlayLayer(layer)) {
                ok = 0;
                break;
            }
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    ReleaseFiles();
    m_layers.clear();
    return ok && CPrinterDriverBase::OutputExit() ? 1 : 0;
}

int CMimakiWhitePrinterDriverUJF_x042MKII::JobClose()
{
    // An aborted or failed page leaves its slot files here.
    ReleaseFiles();
    m_layers.clear();
    CMimakiLegacyBasePrinterDriver::SendAbortCommand(*this);
    return CPrinterDriverBase::JobClose();
}
