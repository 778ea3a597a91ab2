#include "layers/MimakiWhiteDriverUJF.h"

#include <algorithm>
#include <cstring>

#include "devparms/MimakiDevParms.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/SpoolBuffer.h"
#include "host/StrUtil.h"

namespace mimaki::layers {
namespace {

constexpr BYTE kLayerColourCodes[35] = {
    0,   2,   1,   4,   255, 253, 254, 255, 18,  17,  // 0..9
    0,   0,   0,   0,   0,   0,   0,   0,   0,        // 10..18
    252, 253, 254, 255, 0,   0,   253, 253, 252, 253, // 19..28
    253, 255, 252, 253, 255, 254,                     // 29..34
};

constexpr std::uint32_t L(std::initializer_list<int> layers)
{
    std::uint32_t m = 0;
    for (int l : layers)
        m |= 1u << l;
    return m;
}

constexpr Code Own{Code::Own, 0, 0, nullptr};
constexpr Code None{Code::Fixed, 99, 99, nullptr};
constexpr Code F(int v) { return {Code::Fixed, v, v, nullptr}; }
constexpr Code Dbl(int v) { return {Code::IfDoubleSpot, v, 99, nullptr}; }
constexpr Code S8(int v, int alt) { return {Code::IfSlots8, v, alt, nullptr}; }
constexpr Code Key(const wchar_t* k) { return {Code::Setting, 0, 0, k}; }

constexpr Target Id(std::uint32_t layers, Code a, Code b) { return {layers, false, a, b}; }
constexpr Target ByCode(std::uint32_t layers, Code a, Code b) { return {layers, true, a, b}; }
constexpr Target NoInk{};

// Role order: Colour, White, White2, Varnish, Primer, Midlayer.
const Variant kVariants[7] = {
    {"CMimakiWhitePrinterDriverUJF_WW",
     {"Color", "White", "Color&White Underprint", "Color&White Overprint", "Midlayer", "White2"},
     {Id(L({0, 2, 3}), Own, None), Id(L({1, 2, 3}), F(34), Dbl(33)), Id(L({5}), F(34), Dbl(33)), NoInk, NoInk,
      Id(L({4}), F(0), None)},
     true,
     {{2, false, F(34), Dbl(33)}},
     -1,
     true},
    {"CMimakiWhitePrinterDriverUJF_VV",
     {"Color", "Color&Varnish Underprint", "Color&Varnish Overprint", "Varnish Matt Finish", "Varnish Gloss Finish"},
     {Id(L({0, 1, 2}), Own, None), NoInk, NoInk, Id(L({3, 4, 1, 2}), F(30), Dbl(29)), NoInk, NoInk},
     false,
     {{1, false, F(30), Dbl(29)}},
     4,
     true},
    {"CMimakiWhitePrinterDriverUJF_WV",
     {"Color", "White", "Color&White Underprint", "Color&White Overprint", "Color&Varnish Underprint",
      "Color&Varnish Overprint", "Varnish Matt Finish", "Varnish Gloss Finish", "Midlayer", "White2"},
     {Id(L({0, 2, 3, 4, 5}), Own, None), Id(L({1, 2, 3}), F(34), None), Id(L({9}), F(34), None),
      Id(L({6, 7, 4, 5}), F(30), None), NoInk, Id(L({8}), F(0), None)},
     true,
     {{2, false, F(34), None}, {4, false, F(30), None}},
     7,
     false},
    {"CMimakiWhitePrinterDriverUJF_PP",
     {"Color", "Color&Primer Underprint", "Primer"},
     {Id(L({0, 1}), Own, None), NoInk, NoInk, NoInk, ByCode(L({2, 1}), F(255), F(253)), NoInk},
     false,
     {{1, true, F(255), F(255)}},
     -1,
     false},
    {"CMimakiWhitePrinterDriverUJF_WP",
     {"Color", "White", "Color&White Underprint", "Color&White Overprint", "Color&Primer Underprint", "Primer",
      "White2", "Midlayer"},
     {Id(L({0, 2, 3, 4}), Own, None), ByCode(L({1, 2, 3}), Key(L"White1_Code1"), Key(L"White1_Code2")),
      ByCode(L({6}), Key(L"White1_Code1"), Key(L"White1_Code2")), NoInk,
      ByCode(L({5, 4}), Key(L"Prime1_Code1"), Key(L"Prime1_Code2")), Id(L({7}), F(0), None)},
     false,
     {{2, true, Key(L"White1_Code1"), Key(L"White1_Code2")}, {4, true, Key(L"Prime1_Code1"), Key(L"Prime1_Code2")}},
     -1,
     false},
    {"CMimakiWhitePrinterDriverUJF_VP",
     {"Color", "Color&Varnish Underprint", "Color&Varnish Overprint", "Varnish Matt finish", "Varnish Gloss finish",
      "Color&Primer Underprint", "Primer"},
     {Id(L({0, 1, 2, 5}), Own, None), NoInk, NoInk, ByCode(L({1, 2, 3, 4}), S8(255, 255), S8(253, 255)),
      ByCode(L({6, 5}), S8(252, 253), S8(251, 255)), NoInk},
     false,
     {{1, true, S8(255, 255), S8(253, 99)}, {5, true, S8(252, 253), S8(251, 99)}},
     -1,
     false},
    {"CMimakiWhitePrinterDriverUJF_WVP",
     {"Color", "White", "Primer", "Color&White Underprint", "Color&White Overprint", "Color&Varnish Underprint",
      "Color&Varnish Overprint", "Color&Primer Underprint", "Varnish Matt finish", "Varnish Gloss finish", "Midlayer",
      "White2"},
     {Id(L({0, 3, 4, 5, 6, 7}), Own, None), ByCode(L({1, 3, 4}), F(254), F(255)), ByCode(L({11}), F(254), F(255)),
      ByCode(L({8, 9, 5, 6}), F(253), F(255)), ByCode(L({2, 7}), F(252), F(255)), Id(L({10}), F(0), None)},
     false,
     {{3, true, F(254), F(255)}, {5, true, F(253), None}, {7, true, F(252), None}},
     -1,
     false},
};

Role RoleOf(const Variant& v, int hostCode)
{
    Role r = Role::Colour;
    switch (hostCode) {
    case 34: r = Role::White; break;
    case 33: r = Role::White2; break;
    case 30: r = Role::Varnish; break;
    case 25: case 26: case 29: r = Role::Primer; break;
    case 24: r = Role::Midlayer; break;
    case 22: r = v.midlayer22 ? Role::Midlayer : Role::Colour; break;
    default: break;
    }
    return v.roles[static_cast<int>(r)].layers ? r : Role::Colour;
}

// The row header: "QY" 5, "QR" 1 0, "QD" 7 code packed bits count(lo, hi) 1 0.
constexpr char kHeaderTemplate[] = "\\QY\\005\\000\\000\\000\\000\\000\\QR\\001\\000\\QD\\007\\%03o\\%03o\\%03o\\%03o\\%03o\\001\\000";
constexpr std::size_t kQdData = 15; // offset of the QD record's first data byte

// 99 in a code table is no code: the record is not sent.
constexpr int kNone = 99;

BYTE RecordCode(bool byCode, int code)
{
    return code == kNone ? BYTE{kNone} : byCode ? static_cast<BYTE>(code) : LayerColourCode(code);
}

} // namespace

const Variant& UJFVariant(int typ)
{
    return kVariants[typ >= 0 && typ < 7 ? typ : 0];
}

BYTE LayerColourCode(int hostCode)
{
    return hostCode >= 0 && hostCode < 35 ? kLayerColourCodes[hostCode] : BYTE{255};
}

} // namespace mimaki::layers

using namespace mimaki::layers;

CMimakiWhitePrinterDriverUJFBase::CMimakiWhitePrinterDriverUJFBase(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms,
                                                                   const Variant& variant)
    : CMimakiBasePrinterDriver(pPrintEnv, pDevParms), m_variant(variant), m_layers(variant.labels.size())
{
    Finish();
}

CMimakiWhitePrinterDriverUJFBase::~CMimakiWhitePrinterDriverUJFBase() = default;

void CMimakiWhitePrinterDriverUJFBase::Finish()
{
    BandTrailer = preProcess("QR\\001\\001");
    RowHeader = preProcess(FormatTemplate(mimaki::layers::kHeaderTemplate, {0, 0, 0, 0, 0}));
    ReleaseLayers();
}

void CMimakiWhitePrinterDriverUJFBase::SetRowHeaderByCode(BYTE nCode, int nRawCount, bool bPacked)
{
    char* qd = RowHeader.data() + mimaki::layers::kQdData;
    qd[0] = static_cast<char>(nCode);
    qd[1] = static_cast<char>(bPacked ? 1 : 0);
    qd[2] = static_cast<char>(m_nBitsPerPixel);
    qd[3] = static_cast<char>(nRawCount & 0xFF);
    qd[4] = static_cast<char>((nRawCount >> 8) & 0xFF);
}

void CMimakiWhitePrinterDriverUJFBase::SetRowHeader(int nHostCode, int nRawCount, bool bPacked)
{
    SetRowHeaderByCode(LayerColourCode(nHostCode), nRawCount, bPacked);
}

int CMimakiWhitePrinterDriverUJFBase::ResolveCode(const Code& code, int ownHostCode) const
{
    switch (code.kind) {
    case Code::Own: return ownHostCode;
    case Code::Fixed: return code.value;
    case Code::IfDoubleSpot: return m_nDoubleSpot ? code.value : code.alt;
    case Code::IfSlots8: return m_nSlots >= 8 ? code.value : code.alt;
    case Code::Setting: {
        const int v = m_pPrintEnv ? m_pPrintEnv->GetInt(code.key, 0) : 0;
        return v == -1 ? kNone : v;
    }
    }
    return kNone;
}

int CMimakiWhitePrinterDriverUJFBase::Fail(const char* what, int line)
{
    SetDetailedDriverError(what, "MimakiWhiteDriver", line);
    ReleaseLayers();
    return 0;
}

void CMimakiWhitePrinterDriverUJFBase::ReleaseLayers()
{
    m_rows.Release();
    for (LayerRecord& l : m_layers)
        l.id = -1;
}

int CMimakiWhitePrinterDriverUJFBase::OutputInit(int n1, int n2)
{
    auto* parms = MimakiParms();
    if (!parms)
        return 0;
    m_nLayerFieldValue = 8;
    m_bLayerFieldFewPasses = parms->nPass < 80;
    m_nRecordsPerRow = m_pPrintEnv ? m_pPrintEnv->GetInt(L"nReversePrintDataBufferSize", 5) : 5;
    m_nDoubleSpot = m_variant.readsDoubleSpot && m_pPrintEnv ? m_pPrintEnv->GetInt(L"DoubleSpotInk", 0) : 0;
    if (!CPrinterDriverBase::OutputInit(n1, n2) || !RowWidthFits())
        return 0;
    m_nSlots = GetSlotCount();

    ReleaseLayers();
    std::uint32_t scheduled = 0;
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        LayerRecord& l = m_layers[i];
        const int layer = static_cast<int>(i);
        l.channels.clear();
        if (!parms->IsLayerScheduled(layer))
            continue;
        l.id = layer;
        l.reversed = parms->IsLayerReversed(layer) != 0;
        scheduled |= 1u << i;
    }

    // Each channel's layers and codes, fixed for the page.
    const int channels = GetCountPrimCols();
    m_plan.assign(static_cast<std::size_t>(channels), {});
    for (int ch = 0; ch < channels; ++ch) {
        const int host = GetChannelColour(ch);
        const Role role = RoleOf(m_variant, host);
        const Target& t = m_variant.roles[static_cast<int>(role)];
        ChannelPlan& p = m_plan[static_cast<std::size_t>(ch)];
        p.layers = t.layers;
        p.record1 = role == Role::Colour ? LayerColourCode(host) : RecordCode(t.byCode, ResolveCode(t.first, host));
        p.record2 = RecordCode(t.byCode, ResolveCode(t.second, host));
        if (p.record1 == kNone)
            std::swap(p.record1, p.record2);
        // Only the channel that carries the special ink is an underprint's
        // spot record; a colour keeps its own code whatever its number.
        p.spot = role != Role::Colour;
        p.hasData = false;
        if (p.record1 == kNone && (p.layers & scheduled))
            CVoLog()->ReportStatusPF("***%s#%d: channel %d (host colour %d): both printer codes of its ink are -1; "
                                     "its rows are not sent\n",
                                     4, __FILE__, __LINE__, "CMimakiWhitePrinterDriverUJFBase::OutputInit", __LINE__, ch,
                                     host);
        if (p.record1 == kNone)
            p.layers = 0;
        p.used = (p.layers & scheduled) != 0;
    }
    // Each layer's channels in record order: an underprint sends a row's
    // spot records after its colour records.
    for (LayerRecord& l : m_layers) {
        if (l.id < 0)
            continue;
        for (const bool spotPass : {false, true})
            for (int ch = 0; ch < channels; ++ch) {
                const ChannelPlan& p = m_plan[static_cast<std::size_t>(ch)];
                if ((p.layers >> l.id & 1u) && (l.reversed ? p.spot == spotPass : !spotPass))
                    l.channels.push_back(ch);
            }
    }

    m_zeroRow.assign(static_cast<std::size_t>(m_nBytesPerRow), 0);
    m_flushRow.assign(static_cast<std::size_t>(m_nBytesPerRow), 0);
    // Room for two records of a row (the second code repeats the first).
    const std::size_t record = RowHeader.size() + packbits_bound(static_cast<std::size_t>(m_nBytesPerRow));
    m_out.resize(std::max<std::size_t>(std::size_t{1} << 20, 2 * record + BandTrailer.size()));
    m_outLength = 0;
    try {
        m_rows.Open(channels);
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    // Blank rows above the page's first row travel through the layers as
    // any blank rows do.
    return m_nLeadingRows ? AdvanceRows(m_nLeadingRows) : 1;
}

void CMimakiWhitePrinterDriverUJFBase::OutputChannelRow(const BYTE* row, int nByteCount, int nChannel)
{
    ChannelPlan& plan = m_plan[static_cast<std::size_t>(nChannel)];
    if (!plan.used) {
        m_rows.Add(nChannel, nullptr, 0, 0);
        return;
    }
    const BYTE* data = row;
    int stored = nByteCount;
    if (m_nCompressMode == 1) {
        stored = packbits_compress(m_compressBuffer.data(), row, nByteCount);
        data = m_compressBuffer.data();
    }
    m_rows.Add(nChannel, data, static_cast<std::uint32_t>(stored), static_cast<std::uint32_t>(nByteCount));
    if (nByteCount != 0)
        plan.hasData = true;
}

void CMimakiWhitePrinterDriverUJFBase::EndRowInLayers()
{
    m_rows.EndRow();
}

int CMimakiWhitePrinterDriverUJFBase::OutputCurrentRow()
{
    if (!m_rows.IsOpen())
        return 0;
    try {
        for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
            const Channel& c = m_channels[static_cast<std::size_t>(ch)];
            OutputChannelRow(c.buffer->pReadRow(), c.byteCount, ch);
        }
        EndRowInLayers();
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    return 1;
}

int CMimakiWhitePrinterDriverUJFBase::AdvanceRows(int nRows)
{
    if (!m_rows.IsOpen())
        return 0;
    try {
        for (int r = 0; r < nRows; ++r) {
            for (int ch = 0; ch < GetCountPrimCols(); ++ch)
                OutputChannelRow(m_zeroRow.data(), m_nBytesPerRow, ch);
            EndRowInLayers();
        }
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    return 1;
}

bool CMimakiWhitePrinterDriverUJFBase::Put(const void* data, std::size_t len)
{
    if (m_outLength + len > m_out.size()) {
        if (!FlushOut())
            return false;
        if (len > m_out.size())
            return Output(static_cast<const BYTE*>(data), static_cast<long>(len), 0) != 0;
    }
    std::memcpy(m_out.data() + m_outLength, data, len);
    m_outLength += len;
    return true;
}

bool CMimakiWhitePrinterDriverUJFBase::FlushOut()
{
    const std::size_t n = m_outLength;
    m_outLength = 0;
    return n == 0 || Output(m_out.data(), static_cast<long>(n), 0) != 0;
}

bool CMimakiWhitePrinterDriverUJFBase::HasData(const LayerRecord& layer) const
{
    for (const int ch : layer.channels)
        if (m_plan[static_cast<std::size_t>(ch)].hasData)
            return true;
    return false;
}

// A forward layer: per row a record for each of its channels (two when the
// channel has a second code), the row's trailer; the layer's end string.
int CMimakiWhitePrinterDriverUJFBase::EmitForwardLayer(const LayerRecord& layer)
{
    const bool packed = m_nCompressMode == 1;
    m_rows.Start(false);
    while (m_rows.Next()) {
        for (const int ch : layer.channels) {
            const ChannelPlan& p = m_plan[static_cast<std::size_t>(ch)];
            const LayerRowStore::Entry& e = m_rows.At(ch);
            for (const BYTE code : {p.record1, p.record2}) {
                if (code == kNone)
                    continue;
                SetRowHeaderByCode(code, static_cast<int>(e.raw), packed);
                if (m_outLength + RowHeader.size() + e.stored > m_out.size() && !FlushOut())
                    return 0;
                std::memcpy(m_out.data() + m_outLength, RowHeader.data(), RowHeader.size());
                m_outLength += RowHeader.size();
                m_rows.Read(ch, m_out.data() + m_outLength);
                m_outLength += e.stored;
            }
        }
        if (!Put(BandTrailer))
            return 0;
    }
    return Put(layer.end) && FlushOut() ? 1 : 0;
}

// An underprint: rows last first, each record unpacked to the full row width.
int CMimakiWhitePrinterDriverUJFBase::FlushReverseLayer(LayerRecord& layer)
{
    const Underprint* under = nullptr;
    for (const Underprint& u : m_variant.underprints)
        if (u.layer == layer.id)
            under = &u;
    if (!under)
        return 1;
    const BYTE spot[2] = {RecordCode(under->byCode, ResolveCode(under->first, 0)),
                          RecordCode(under->byCode, ResolveCode(under->second, 0))};
    const int rowBytes = m_nBytesPerRow;
    auto put = [&] { return Put(RowHeader) && Put(m_flushRow.data(), static_cast<std::size_t>(rowBytes)); };
    m_rows.Start(true);
    while (m_rows.Next()) {
        for (const int ch : layer.channels) {
            const LayerRowStore::Entry& e = m_rows.At(ch);
            if (e.raw > static_cast<std::uint32_t>(rowBytes))
                throw CSpoolException("an underprint row is longer than the layer's rows");
            if (m_nCompressMode == 1) {
                m_rows.Read(ch, m_compressBuffer.data());
                if (packbits_decode(m_compressBuffer.data(), e.stored, m_flushRow.data(), e.raw) !=
                    static_cast<long>(e.stored))
                    throw CSpoolException("an underprint row read back from its spool buffer does not decode");
            } else {
                m_rows.Read(ch, m_flushRow.data());
            }
            std::memset(m_flushRow.data() + e.raw, 0, static_cast<std::size_t>(rowBytes) - e.raw);
            const ChannelPlan& p = m_plan[static_cast<std::size_t>(ch)];
            if (!p.spot) {
                SetRowHeader(GetChannelColour(ch), rowBytes, false);
                if (!put())
                    return 0;
                continue;
            }
            for (const BYTE code : spot) {
                if (code == kNone)
                    continue;
                SetRowHeaderByCode(code, rowBytes, false);
                if (!put())
                    return 0;
            }
        }
        if (!Put(BandTrailer))
            return 0;
        JobSection(nullptr, 0);
    }
    return FlushOut() ? 1 : 0;
}

int CMimakiWhitePrinterDriverUJFBase::EmitLayers()
{
    auto* parms = MimakiParms();
    const int modes[5] = {parms->nLayer1Mode, parms->nLayer2Mode, parms->nLayer3Mode, parms->nLayer4Mode,
                          parms->nLayer5Mode};
    for (const int m : modes) {
        const int i = m - 1;
        if (m <= 0 || i >= static_cast<int>(m_layers.size()))
            continue;
        LayerRecord& l = m_layers[static_cast<std::size_t>(i)];
        if (l.id < 0 || !HasData(l))
            continue;
        if (i == m_variant.glossLayer && !l.reversed) {
            // Gloss: the layer twice, under two different starts.
            if (!Output(parms->GetLayerStartString(this, i, 0, 1, 0)) || !EmitForwardLayer(l) ||
                !Output(parms->GetLayerStartString(this, i, 1, 0, 1)) || !EmitForwardLayer(l))
                return 0;
            continue;
        }
        if (!Output(parms->GetLayerStartString(this, i, l.reversed ? 1 : 0, 1, 1)))
            return 0;
        if (l.reversed ? !FlushReverseLayer(l) || !Output(parms->GetLayerEndString(this, i, 0))
                       : !EmitForwardLayer(l))
            return 0;
    }
    return 1;
}

int CMimakiWhitePrinterDriverUJFBase::OutputExit()
{
    if (m_nHangingRows && !AdvanceHangingRows())
        return 0;
    auto* parms = MimakiParms();
    if (!parms || !m_rows.IsOpen())
        return 0;
    int ok = 1;
    try {
        m_rows.Seal();
        for (std::size_t i = 0; i < m_layers.size(); ++i) {
            LayerRecord& l = m_layers[i];
            if (l.id >= 0 && !l.reversed)
                l.end = parms->GetLayerEndString(this, static_cast<int>(i), 0);
        }
        ok = EmitLayers();
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    ReleaseLayers();
    return ok && CPrinterDriverBase::OutputExit() ? 1 : 0;
}

int CMimakiWhitePrinterDriverUJFBase::JobClose()
{
    // An aborted or failed page leaves its layers here.
    ReleaseLayers();
    return CMimakiLegacyBasePrinterDriver::JobClose();
}
