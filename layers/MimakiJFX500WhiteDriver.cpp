#include "layers/MimakiJFX500WhiteDriver.h"

#include <algorithm>
#include <cstring>

#include "devparms/MimakiDevParms.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/Slots.h"
#include "host/SpoolBuffer.h"
#include "host/StrOb.h"
#include "host/StrUtil.h"

using namespace mimaki::jfx;
using mimaki::layers::LayerRowStore;

namespace {

constexpr int kNoCode = 99;

// "QR" 1 0, "QY" 5 and five zeros, "QD" with code, packed flag, bits per
// pixel, raw count, 1 0, sent count and, in the long form, one byte more.
constexpr char kLongHeader[] =
    "\\QR\\001\\000\\QY\\005\\000\\000\\000\\000\\000\\QD\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\001\\000\\%03o\\%03o\\%03o";
constexpr char kShortHeader[] =
    "\\QR\\001\\000\\QY\\005\\000\\000\\000\\000\\000\\QD\\%03o\\%03o\\%03o\\%03o\\%03o\\%03o\\001\\000\\%03o\\%03o";
constexpr std::size_t kQdLength = 14; // offset of the QD length byte; its data follow

// The construction values of the colour-code map.
void DefaultCodes(int (&codes)[35])
{
    std::fill(std::begin(codes), std::end(codes), kNoCode);
    codes[0] = 0;
    codes[1] = 2;
    codes[2] = 1;
    codes[3] = 4;
    codes[8] = 18;
    codes[9] = 17;
    codes[24] = 0;
}

// The special-ink codes of the JFX500 by printer type: identifier, key,
// default. Afterwards white, primer and varnish still without a code get
// 254, 253 and 255 where the type has that ink.
struct CodeKey {
    int id;
    const wchar_t* key;
    int fallback;
};
const std::vector<CodeKey> kJfx500Codes[7] = {
    {{34, L"JFX500_White_code1", 254}, {33, L"JFX500_White_code2", 99}},
    {{30, L"JFX500_Finish_code1", 255}, {29, L"JFX500_Finish_code2", 99}},
    {{34, L"JFX500_White_code1", 254}, {33, L"JFX500_White_code2", 255}, {30, L"JFX500_Finish_code1", 252},
     {29, L"JFX500_Finish_code2", 253}},
    {{25, L"JFX500_Primer_code1", 255}, {26, L"JFX500_Primer_code2", 99}},
    {{34, L"JFX500_White_code1", 254}, {33, L"JFX500_White_code2", 99}, {25, L"JFX500_Primer_code1", 255}},
    {{30, L"JFX500_Finish_code1", 255}, {25, L"JFX500_Primer_code1", 253}},
    {{34, L"JFX500_White_code1", 254}, {33, L"JFX500_White_code2", 254}, {30, L"JFX500_Finish_code1", 255},
     {25, L"JFX500_Primer_code1", 253}},
};
struct InkFallback {
    int id, code;
    unsigned types; // bit t: printer type t has the ink
};
constexpr InkFallback kInkFallbacks[] = {
    {34, 254, 1u << 0 | 1u << 2 | 1u << 4 | 1u << 6}, // WW WV WP WVP
    {25, 253, 1u << 3 | 1u << 4 | 1u << 5 | 1u << 6}, // PP WP VP WVP
    {30, 255, 1u << 1 | 1u << 2 | 1u << 5 | 1u << 6}, // VV WV VP WVP
};

bool InList(int v, std::initializer_list<int> list)
{
    return std::find(list.begin(), list.end(), v) != list.end();
}

} // namespace

CMimakiWhitePrinterDriverJFX500Base::CMimakiWhitePrinterDriverJFX500Base(CPrintEnv* pPrintEnv,
                                                                         CUnivDevParmsBase* pDevParms)
    : CMimakiWhitePrinterDriverJFX500Base(pPrintEnv, pDevParms, Model::JFX500)
{
}

CMimakiWhitePrinterDriverJFX500Base::CMimakiWhitePrinterDriverJFX500Base(CPrintEnv* pPrintEnv,
                                                                         CUnivDevParmsBase* pDevParms, Model model)
    : CMimakiBasePrinterDriver(pPrintEnv, pDevParms), m_model(model), m_out(*this)
{
    DefaultCodes(m_codes);
    const std::wstring mode = pPrintEnv ? pPrintEnv->GetString(L"JFXLayerMode", L"") : std::wstring();
    const std::wstring type = pPrintEnv ? pPrintEnv->GetString(L"JFXPrinterType", L"") : std::wstring();
    m_nLayerMode = LayerModeFromName(mode.c_str());
    m_nPrinterType = PrinterTypeFromName(type.c_str());
    m_bSuspendBetweenLayers = pPrintEnv ? pPrintEnv->GetInt(L"SuspendPrintClientBetweenLayers", 0) : 0;
    m_bSkipGloss = pPrintEnv ? pPrintEnv->GetInt(L"SkipGlossLayer", 0) : 0;
    // Rows are MRL III blocks; a band ends with "QR" 1 1 and a record has no trailer.
    BandTrailer = preProcess("QR\\001\\001");
    RowTrailer.clear();
}

CMimakiWhitePrinterDriverJFX500Base::~CMimakiWhitePrinterDriverJFX500Base() = default;

// ------------------------------------------------------------------ catalogue

Flags CMimakiWhitePrinterDriverJFX500Base::CatalogueFlags() const
{
    Flags f;
    if (m_pPrintEnv) {
        f.ujf7151 = m_pPrintEnv->GetInt(L"bUJF7151", 0) != 0;
        f.jfx200 = m_pPrintEnv->GetInt(L"bJFX200", 0) != 0;
    }
    return f;
}

std::string CMimakiWhitePrinterDriverJFX500Base::GetMultiLayerName(int nId) { return KindLabel(m_model, nId); }
std::string CMimakiWhitePrinterDriverJFX500Base::GetBasicLayerName(int nId) { return BasicLayerLabel(m_model, nId); }

int CMimakiWhitePrinterDriverJFX500Base::GetBasicLayerCount(int nPrinterType)
{
    return static_cast<int>(BasicLayers(m_model, nPrinterType, CatalogueFlags()).size());
}

std::vector<int> CMimakiWhitePrinterDriverJFX500Base::GetBasicLayers(int nPrinterType)
{
    const auto list = BasicLayers(m_model, nPrinterType, CatalogueFlags());
    return {list.begin(), list.end()};
}

int CMimakiWhitePrinterDriverJFX500Base::getMultiLayersNumber(int nPrinterType, int nLayerMode)
{
    const int n = static_cast<int>(MultiLayers(m_model, nPrinterType, nLayerMode, CatalogueFlags()).size());
    CVoLog()->ReportStatusPF("%s#%d nMode=%d nPrinterTyp=%d\n", 8, __FILE__, __LINE__,
                             "CMimakiWhitePrinterDriverJFX500Base::getMultiLayersNumber", __LINE__, nLayerMode,
                             nPrinterType);
    return n;
}

std::vector<int> CMimakiWhitePrinterDriverJFX500Base::GetMultiLayers(int nPrinterType, int nLayerMode)
{
    const auto list = MultiLayers(m_model, nPrinterType, nLayerMode, CatalogueFlags());
    return {list.begin(), list.end()};
}

int CMimakiWhitePrinterDriverJFX500Base::IsMultiLayerSupported(int nId)
{
    if (nId == 9 && m_bSkipGloss) {
        CVoLog()->ReportStatusPF(
            "%s#%d: Gloss layer is not yet supported for this printer (needs conversion of print resolution)\n", 8,
            __FILE__, __LINE__, "CMimakiWhitePrinterDriverJFX500Base::IsMultiLayerSupported", __LINE__);
        return 0;
    }
    return CatalogueFlags().ujf7151 || nId != 23 ? 1 : 0;
}

int CMimakiWhitePrinterDriverJFX500Base::IsBasicLayerSupported(int nId)
{
    return CatalogueFlags().ujf7151 || nId != 7 ? 1 : 0;
}

// ------------------------------------------------------------------ codes and headers

void CMimakiWhitePrinterDriverJFX500Base::SetColourCode(int nId, int nCode)
{
    if (nId >= 0 && nId < 35)
        m_codes[nId] = nCode;
}

void CMimakiWhitePrinterDriverJFX500Base::InitColourCodes(CPrintEnv* pEnv)
{
    if (m_nPrinterType < 0 || m_nPrinterType >= 7)
        return;
    for (const CodeKey& c : kJfx500Codes[m_nPrinterType])
        SetColourCode(c.id, pEnv ? pEnv->GetInt(c.key, c.fallback) : c.fallback);
    for (const InkFallback& f : kInkFallbacks)
        if ((f.types >> m_nPrinterType & 1u) && m_codes[f.id] == kNoCode)
            SetColourCode(f.id, f.code);
}

int CMimakiWhitePrinterDriverJFX500Base::CodeOr(int nId, int nFallback) const
{
    const int code = ColourCode(nId);
    return code == kNoCode && nFallback >= 0 ? ColourCode(nFallback) : code;
}

void CMimakiWhitePrinterDriverJFX500Base::SetRowHeaderByCodeEx(int nCode, int nRawCount, int nPackedCount,
                                                               int bPacked, int nExtra)
{
    const auto* parms = MimakiParms();
    const bool longForm = nExtra >= 0 || !parms || parms->bUseShorterQDVersion == 0;
    const std::size_t size = longForm ? 25 : 24;
    if (RowHeader.size() != size)
        RowHeader = preProcess(FormatTemplate(longForm ? kLongHeader : kShortHeader, {longForm ? 10 : 9}));
    char* qd = RowHeader.data() + kQdLength;
    qd[1] = static_cast<char>(nCode == kNoCode ? 255 : nCode);
    qd[2] = static_cast<char>(bPacked ? 1 : 0);
    qd[3] = static_cast<char>(m_nBitsPerPixel);
    qd[4] = static_cast<char>(nRawCount & 0xFF);
    qd[5] = static_cast<char>((nRawCount >> 8) & 0xFF);
    qd[8] = static_cast<char>(nPackedCount & 0xFF);
    qd[9] = static_cast<char>((nPackedCount >> 8) & 0xFF);
    if (longForm)
        qd[10] = static_cast<char>(nExtra < 0 ? 0 : nExtra);
}

void CMimakiWhitePrinterDriverJFX500Base::SetRowHeaderEx(int nId, int nRawCount, int nPackedCount, int bPacked,
                                                         int nExtra)
{
    SetRowHeaderByCodeEx(ColourCode(nId), nRawCount, nPackedCount, bPacked, nExtra);
}

void CMimakiWhitePrinterDriverJFX500Base::SetRowHeader(int nId, int nRawCount, int nPackedCount, int bPacked)
{
    SetRowHeaderEx(nId, nRawCount, nPackedCount, bPacked, -1);
}

void CMimakiWhitePrinterDriverJFX500Base::SetRowHeaderByCode(int nCode, int nRawCount, int nPackedCount, int bPacked)
{
    SetRowHeaderByCodeEx(nCode, nRawCount, nPackedCount, bPacked, -1);
}

// Feeds are MRL III whatever the command set.
std::string CMimakiWhitePrinterDriverJFX500Base::GetFeedCommand(int nRows)
{
    return nRows < 0 ? CMimakiBasePrinterDriver::GetFeedCommand(nRows) : MrlFeedCommand(nRows);
}

// ------------------------------------------------------------------ page start

void CMimakiWhitePrinterDriverJFX500Base::RecordCodes(int, int nId, int& nCode1, int& nCode2)
{
    const ChannelTargets t = ChannelKinds(m_model, nId);
    nCode1 = CodeOr(t.codeId, t.fallbackId);
    nCode2 = -1;
}

bool CMimakiWhitePrinterDriverJFX500Base::RecordScheduled(int nRecord) const
{
    return nRecord >= 0 && nRecord < kRecordCount && m_records[static_cast<std::size_t>(nRecord)].scheduled;
}

bool CMimakiWhitePrinterDriverJFX500Base::RecordReversed(int nRecord) const
{
    return RecordScheduled(nRecord) && m_records[static_cast<std::size_t>(nRecord)].reversed;
}

int CMimakiWhitePrinterDriverJFX500Base::RecordsPerRow(int nRecord) const
{
    return RecordReversed(nRecord) ? m_records[static_cast<std::size_t>(nRecord)].recordsPerRow : 0;
}

// A record is printed when a kind of the offered list that prints it is at
// one of the positions, and is an underprint when one of those kinds is
// (a mirrored page turns every record over).
void CMimakiWhitePrinterDriverJFX500Base::PlanRecords(const std::vector<int>& kinds)
{
    auto* parms = MimakiParms();
    bool special = false;
    m_nColourCount = 0;
    for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
        if (IsSpotIdentifier(GetChannelColour(ch)))
            special = true;
        else
            ++m_nColourCount;
    }
    for (Record& r : m_records)
        r = Record{};
    for (const int kind : kinds) {
        const int rec = KindRecord(kind);
        if (kind == kNone || rec < 0 || !parms->IsLayerScheduled(kind))
            continue;
        Record& r = m_records[static_cast<std::size_t>(rec)];
        r.scheduled = true;
        r.reversed = r.reversed || parms->IsLayerReversed(kind) != 0;
    }
    for (int rec = 0; rec < kRecordCount; ++rec) {
        Record& r = m_records[static_cast<std::size_t>(rec)];
        if (!r.scheduled)
            continue;
        const bool underprint = r.reversed;
        const bool reversed = underprint != m_bMirror;
        r.reversed = reversed && (special || m_bMirror);
        r.recordsPerRow = m_nColourCount + 1;
        if (m_bMirror && !underprint)
            r.recordsPerRow = rec == 0                                  ? m_nColourCount
                              : InList(rec, {1, 2, 10, 11, 15}) ? 1
                                                                        : m_nColourCount + 1;
    }
    // Each channel's records, in channel order.
    const int channels = GetCountPrimCols();
    m_channelUsed.assign(static_cast<std::size_t>(channels), 0);
    m_channelInk.assign(static_cast<std::size_t>(channels), 0);
    for (int ch = 0; ch < channels; ++ch) {
        const int id = GetChannelColour(ch);
        for (const int kind : ChannelKinds(m_model, id).kinds) {
            const int rec = KindRecord(kind);
            Record& r = m_records[static_cast<std::size_t>(rec)];
            if (!r.scheduled)
                continue;
            Entry e{ch, id, kNoCode, -1, IsSpotIdentifier(id)};
            RecordCodes(rec, id, e.code1, e.code2);
            r.entries.push_back(e);
            m_channelUsed[static_cast<std::size_t>(ch)] = 1;
        }
    }
    bool printing = false;
    for (const Record& r : m_records)
        printing = printing || !r.entries.empty();
    if (!printing)
        CVoLog()->ReportStatusPF("***%s#%d: no layer position names a kind that prints an ink of this job (see "
                                 "\"JFXPrinterType\", \"JFXLayerMode\" and the layer modes): the page prints nothing\n",
                                 4, __FILE__, __LINE__, "CMimakiWhitePrinterDriverJFX500Base::OutputInit", __LINE__);
    // A row of an underprint sends its colours, then its spot inks.
    for (Record& r : m_records) {
        if (!r.reversed)
            continue;
        std::vector<Entry> ordered;
        ordered.reserve(r.entries.size());
        for (const bool spot : {false, true})
            for (const Entry& e : r.entries)
                if (e.spot == spot)
                    ordered.push_back(e);
        r.entries.swap(ordered);
    }
}

int CMimakiWhitePrinterDriverJFX500Base::Fail(const char* what, int line)
{
    SetDetailedDriverError(what, "MimakiJFX500WhiteDriver", line);
    m_rows.Release();
    return 0;
}

int CMimakiWhitePrinterDriverJFX500Base::OutputInit(int n1, int n2)
{
    auto* parms = MimakiParms();
    if (!parms)
        return 0;
    m_kinds = GetMultiLayers(m_nPrinterType, m_nLayerMode);
    getMultiLayersNumber(m_nPrinterType, m_nLayerMode);
    DefaultCodes(m_codes);
    InitColourCodes(m_pPrintEnv);
    m_bMarginBottomDone = false;
    m_nLayerFieldValue = 8;
    m_bLayerFieldFewPasses = false;
    // The rows are MRL III: the host's output flag is clear, as the legacy
    // start leaves it for command set 4, so that the printer may switch to
    // local between layers.
    m_nOutputFlag = 0;
    m_bMirror = parms->IsSplitPrintArea() != 0;
    if (!CPrinterDriverBase::OutputInit(n1, n2))
        return 0;
    if (m_nBytesPerRow > 0xFFFF) {
        CVoLog()->ReportStatusPF("***%s#%d: a row of %d bytes does not fit the 16-bit counts of the row header\n", 4,
                                 __FILE__, __LINE__, "CMimakiWhitePrinterDriverJFX500Base::OutputInit", __LINE__,
                                 m_nBytesPerRow);
        return 0;
    }
    m_mirrorBuffer.assign(m_bMirror ? static_cast<std::size_t>(m_nBytesPerRow) : 0, 0);
    m_flushRow.assign(static_cast<std::size_t>(m_nBytesPerRow), 0);
    PlanRecords(m_kinds);
    // Room for a header and the longest coded row.
    m_out.Start(32 + packbits_bound(static_cast<std::size_t>(m_nBytesPerRow)));
    try {
        m_rows.Open(GetCountPrimCols());
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    return m_nLeadingRows ? AdvanceRows(m_nLeadingRows) : 1;
}

// ------------------------------------------------------------------ rows

void CMimakiWhitePrinterDriverJFX500Base::OutputChannelRow(const BYTE* row, int nByteCount, int nChannel)
{
    if (!m_channelUsed[static_cast<std::size_t>(nChannel)] || nByteCount <= 0) {
        m_rows.Add(nChannel, nullptr, 0, 0);
        return;
    }
    if (m_bMirror) {
        MirrorRow(m_mirrorBuffer.data(), row, m_nPixelWidth, m_nBitsPerPixel);
        row = m_mirrorBuffer.data();
        nByteCount = TrimmedRowLength(row, m_nBytesPerRow);
    }
    const BYTE* data = row;
    int stored = nByteCount;
    if (m_nCompressMode == 1) {
        stored = packbits_compress(m_compressBuffer.data(), row, nByteCount);
        data = m_compressBuffer.data();
    }
    m_rows.Add(nChannel, data, static_cast<std::uint32_t>(stored), static_cast<std::uint32_t>(nByteCount));
    m_channelInk[static_cast<std::size_t>(nChannel)] = 1;
}

int CMimakiWhitePrinterDriverJFX500Base::OutputCurrentRow()
{
    if (!m_rows.IsOpen())
        return 0;
    try {
        for (int ch = 0; ch < GetCountPrimCols(); ++ch) {
            const Channel& c = m_channels[static_cast<std::size_t>(ch)];
            OutputChannelRow(c.buffer->pReadRow(), c.byteCount, ch);
        }
        m_rows.EndRow();
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    return 1;
}

// Blank rows carry no data; every record still counts them.
int CMimakiWhitePrinterDriverJFX500Base::AdvanceRows(int nRows)
{
    if (!m_rows.IsOpen())
        return 0;
    try {
        for (int r = 0; r < nRows; ++r) {
            for (int ch = 0; ch < GetCountPrimCols(); ++ch)
                m_rows.Add(ch, nullptr, 0, 0);
            m_rows.EndRow();
        }
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    return 1;
}

// ------------------------------------------------------------------ page end

int CMimakiWhitePrinterDriverJFX500Base::OutputMargBottom()
{
    if (m_bMarginBottomDone)
        return 1;
    m_bMarginBottomDone = true;
    return CMimakiBasePrinterDriver::OutputMargBottom();
}

bool CMimakiWhitePrinterDriverJFX500Base::RecordHasData(int nRecord) const
{
    if (!RecordScheduled(nRecord))
        return false;
    for (const Entry& e : m_records[static_cast<std::size_t>(nRecord)].entries)
        if (m_channelInk[static_cast<std::size_t>(e.channel)])
            return true;
    return false;
}

int CMimakiWhitePrinterDriverJFX500Base::GetLastLayerPosition()
{
    auto* parms = MimakiParms();
    if (!parms)
        return kNone;
    const int modes[5] = {parms->nLayer1Mode, parms->nLayer2Mode, parms->nLayer3Mode, parms->nLayer4Mode,
                          parms->nLayer5Mode};
    for (int p = 4; p >= 0; --p)
        if (modes[p] != kNone && RecordHasData(KindRecord(modes[p])))
            return p;
    return kNone;
}

int CMimakiWhitePrinterDriverJFX500Base::WriteLayerRowByCode(int nCode, const KeptRow& row)
{
    if (row.raw <= 0)
        return 1;
    const bool packed = m_nCompressMode == 1;
    SetRowHeaderByCode(nCode, row.raw, row.stored, packed);
    BYTE* p = m_out.Reserve(RowHeader.size() + static_cast<std::size_t>(row.stored));
    if (!p)
        return 0;
    std::memcpy(p, RowHeader.data(), RowHeader.size());
    m_rows.Read(row.channel, p + RowHeader.size());
    m_out.Commit(RowHeader.size() + static_cast<std::size_t>(row.stored));
    return 1;
}

// A forward record: per row the records of its channels and the band's end;
// then the layer's end.
int CMimakiWhitePrinterDriverJFX500Base::EmitForward(int nRecord)
{
    Record& r = m_records[static_cast<std::size_t>(nRecord)];
    const std::string end = MimakiParms()->GetLayerEndString(this, nRecord, 0);
    m_rows.Start(false);
    while (m_rows.Next()) {
        for (const Entry& e : r.entries) {
            const LayerRowStore::Entry& kept = m_rows.At(e.channel);
            if (kept.raw == 0)
                continue;
            const KeptRow row{e.channel, static_cast<int>(kept.stored), static_cast<int>(kept.raw)};
            if (!WriteLayerRowByCode(e.code1, row) || (e.code2 >= 0 && !WriteLayerRowByCode(e.code2, row)))
                return 0;
        }
        if (!m_out.Put(BandTrailer))
            return 0;
        ++r.rows;
    }
    return m_out.Put(end) && m_out.Flush() ? 1 : 0;
}

void CMimakiWhitePrinterDriverJFX500Base::ReverseCodes(int nRecord, int k, int n, const Entry& e,
                                                       int (&codes)[2]) const
{
    codes[0] = codes[1] = -1;
    const int primer = CodeOr(25, 26), varnish = CodeOr(30, 29);
    if (!m_bMirror) {
        // The last record of a row is the spot ink, when the row has one.
        if (k != n - 1 || !e.spot) {
            codes[0] = ColourCode(e.id);
        } else if (InList(nRecord, {1, 3, 4, 19, 20, 21})) {
            codes[0] = ColourCode(34);
        } else if (InList(nRecord, {11, 32, 33})) {
            codes[0] = ColourCode(33);
        } else if (nRecord >= 26 && nRecord <= 31) {
            codes[0] = ColourCode(33);
            codes[1] = ColourCode(34);
        } else if (nRecord == 7) {
            codes[0] = primer;
        } else if (nRecord == 5) {
            codes[0] = varnish;
        }
        return;
    }
    // A mirrored page: the records of a row by their position.
    const int perRow = m_records[static_cast<std::size_t>(nRecord)].recordsPerRow;
    const int colours = perRow == m_nColourCount ? perRow : perRow - 1;
    if (k < colours) {
        codes[0] = ColourCode(e.id);
    } else if (k == perRow - 1 && perRow != m_nColourCount) {
        if (InList(nRecord, {1, 3, 4, 19, 20, 21, 26, 28, 29}))
            codes[0] = ColourCode(34);
        else if (InList(nRecord, {11, 27, 30, 31, 32, 33}))
            codes[0] = ColourCode(33);
        else if (InList(nRecord, {2, 7, 24, 25}))
            codes[0] = primer;
        else
            codes[0] = varnish;
    }
}

// Rows last first, each record at the full row width; blank records left
// out.
int CMimakiWhitePrinterDriverJFX500Base::FlushReverseLayer(int nRecord)
{
    if (!RecordReversed(nRecord))
        return 1;
    Record& r = m_records[static_cast<std::size_t>(nRecord)];
    r.rows = 0;
    const int rowBytes = m_nBytesPerRow;
    const bool packed = m_nCompressMode == 1;
    const int n = static_cast<int>(r.entries.size());
    m_rows.Start(true);
    while (m_rows.Next()) {
        for (int k = 0; k < n; ++k) {
            const Entry& e = r.entries[static_cast<std::size_t>(k)];
            const LayerRowStore::Entry& kept = m_rows.At(e.channel);
            int codes[2];
            ReverseCodes(nRecord, k, n, e, codes);
            if (kept.raw == 0 || codes[0] < 0)
                continue;
            // The record as the full row: a row kept whole is sent as kept,
            // a shorter one is completed with blanks (and coded anew).
            const bool whole = static_cast<int>(kept.raw) == rowBytes;
            const BYTE* data = nullptr;
            int sent = static_cast<int>(kept.stored);
            if (!whole) {
                m_rows.Read(e.channel, m_compressBuffer.data());
                if (packed) {
                    if (packbits_decode(m_compressBuffer.data(), kept.stored, m_flushRow.data(), kept.raw) !=
                        static_cast<long>(kept.stored))
                        throw CSpoolException("a kept row read back from its spool store does not decode");
                } else {
                    std::memcpy(m_flushRow.data(), m_compressBuffer.data(), kept.raw);
                }
                std::memset(m_flushRow.data() + kept.raw, 0, static_cast<std::size_t>(rowBytes) - kept.raw);
                data = m_flushRow.data();
                sent = rowBytes;
                if (packed) {
                    sent = packbits_compress(m_compressBuffer.data(), m_flushRow.data(), rowBytes);
                    data = m_compressBuffer.data();
                }
            }
            for (const int code : codes) {
                if (code < 0)
                    continue;
                SetRowHeaderByCode(code, rowBytes, sent, packed);
                BYTE* p = m_out.Reserve(RowHeader.size() + static_cast<std::size_t>(sent));
                if (!p)
                    return 0;
                std::memcpy(p, RowHeader.data(), RowHeader.size());
                if (whole)
                    m_rows.Read(e.channel, p + RowHeader.size());
                else
                    std::memcpy(p + RowHeader.size(), data, static_cast<std::size_t>(sent));
                m_out.Commit(RowHeader.size() + static_cast<std::size_t>(sent));
            }
        }
        if (!m_out.Put(BandTrailer))
            return 0;
        if (++r.rows % 8 == 0)
            JobSection(nullptr, 0);
    }
    return m_out.Flush() ? 1 : 0;
}

int CMimakiWhitePrinterDriverJFX500Base::EmitLayers()
{
    auto* parms = MimakiParms();
    const int modes[5] = {parms->nLayer1Mode, parms->nLayer2Mode, parms->nLayer3Mode, parms->nLayer4Mode,
                          parms->nLayer5Mode};
    const int last = GetLastLayerPosition();
    const bool toLocal = parms->bSwitchToLocalBetweenLayers != 0 && m_nOutputFlag == 0;
    for (int p = 0; p < 5; ++p) {
        const int kind = modes[p];
        const int rec = KindRecord(kind);
        if (kind == kNone || rec < 0 || !RecordHasData(rec))
            continue;
        const int posKind = p == last ? 0 : toLocal ? 2 : parms->bKeepCurrentModeBetweenLayers ? 1 : 0;
        const bool reversed = RecordReversed(rec);
        if (!Output(parms->GetLayerStartString(this, kind, reversed ? 1 : 0, posKind, p)))
            return 0;
        if (reversed ? !FlushReverseLayer(rec) || !Output(parms->GetLayerEndString(this, rec, 1))
                     : !EmitForward(rec))
            return 0;
        // The host learns where a layer ends, and whether to hold the print
        // client there; the marker itself adds no bytes.
        CStrObMimakiLayers marker;
        marker.m_bSuspendPrintClient = posKind == 2 && m_bSuspendBetweenLayers ? 1 : 0;
        if (!JobSection(nullptr, 1) || !(*this << marker))
            return 0;
    }
    return 1;
}

int CMimakiWhitePrinterDriverJFX500Base::OutputExit()
{
    if (m_nHangingRows && !AdvanceHangingRows())
        return 0;
    if (!MimakiParms() || !m_rows.IsOpen() || !OutputMargBottom())
        return 0;
    int ok = 1;
    try {
        m_rows.Seal();
        m_out.Start(0);
        ok = EmitLayers();
    } catch (const std::exception& e) {
        return Fail(e.what(), __LINE__);
    }
    m_rows.Release();
    return ok && CPrinterDriverBase::OutputExit() ? 1 : 0;
}

int CMimakiWhitePrinterDriverJFX500Base::JobClose()
{
    // An aborted or failed page leaves its rows here.
    m_rows.Release();
    return CMimakiBasePrinterDriver::JobClose();
}
