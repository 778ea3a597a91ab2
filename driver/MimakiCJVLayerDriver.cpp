#include "driver/MimakiCJVLayerDriver.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "devparms/MimakiDevParms.h"
#include "host/Log.h"
#include "host/PackBits.h"
#include "host/PreProcess.h"
#include "host/PrintEnv.h"
#include "host/Slots.h"
#include "host/SpoolBuffer.h"
#include "layers/LayerBasis.h"

using mimaki::cjv::kVariants;

namespace mimaki::cjv {
namespace {

constexpr int kColourInks[] = {0, 1, 2, 3, 4, 6, 7, 8, 9, 16};
constexpr int kWhiteInks[] = {33, 34};
constexpr int kMidlayerInk[] = {24};
constexpr int kInk22[] = {22};
constexpr int kPrimerInks[] = {25, 26};

constexpr TypeInks kCJV300PlusInks[] = {
    {1, kColourInks}, {2, kColourInks}, {3, kWhiteInks}, {4, kMidlayerInk}, {5, {}}, {8, kInk22}, {9, kInk22},
};

constexpr TypeInks kCJV330Inks[] = {
    {1, kColourInks}, {3, kWhiteInks}, {4, kMidlayerInk}, {8, kInk22}, {9, kInk22}, {10, kPrimerInks},
};

} // namespace

const Model kCJV300Plus{.inks = kCJV300PlusInks,
                        .positions = 5,
                        .reversedTypes = (1u << 2) | (1u << 5),
                        .sandwich = true,
                        .qrFirst = false,
                        .fullWidth = false,
                        .countBlankRows = false,
                        .waysLimitPositions = false,
                        .hostMirror = false,
                        .optionalInks = false,
                        .spoolFailure = nullptr};

const Model kCJV330{.inks = kCJV330Inks,
                    .positions = 3,
                    .reversedTypes = 0,
                    .sandwich = false,
                    .qrFirst = true,
                    .fullWidth = true,
                    .countBlankRows = true,
                    .waysLimitPositions = true,
                    .hostMirror = true,
                    .optionalInks = true,
                    .spoolFailure = "Creating slotfiles failed- Probably diskfull error\n"};

bool Belongs(const Model& model, int type, int ink)
{
    for (const TypeInks& t : model.inks)
        if (t.type == type)
            return std::find(t.inks.begin(), t.inks.end(), ink) != t.inks.end();
    return false;
}

} // namespace mimaki::cjv

namespace {

constexpr const char* kOutputInit = "CMimakiPrnDrvCJVLayers::OutputInit";
constexpr std::uint32_t kStreamEnd = 0xFFFFFFFFu;

void PutLE32(BYTE* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

std::uint32_t LE32(const BYTE* p)
{
    return p[0] | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

CMimakiPrnDrvCJVLayers::CMimakiPrnDrvCJVLayers(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms,
                                               const mimaki::cjv::Model& model)
    : CMimakiBasePrinterDriver(pPrintEnv, pDevParms), m_model(model)
{
}

CMimakiPrnDrvCJVLayers::~CMimakiPrnDrvCJVLayers() = default;

int CMimakiPrnDrvCJVLayers::StreamCount() const
{
    int n = 0;
    for (const Record& r : m_records)
        for (const auto& s : r.streams)
            n += s != nullptr;
    return n;
}

namespace {

int ColourOf(CMimakiDevParmsBase* parms, int ink)
{
    const int colour = parms ? parms->GetColorMapValue(ink) : 99;
    return colour < 0 || colour > 255 ? 99 : colour;
}

std::size_t WriteHeader(BYTE* at, const mimaki::cjv::Model& model, int colour, bool packed, int bits,
                        std::uint32_t raw, std::uint32_t stored, int sub)
{
    const int r = static_cast<int>(raw), s = static_cast<int>(stored);
    return mimaki::layers::WriteLayerHeader(
        at, model.qrFirst ? mimaki::layers::HeaderForm::QRQYQD : mimaki::layers::HeaderForm::QYQRQD, colour, packed,
        bits, r, s, sub);
}

} // namespace

void CMimakiPrnDrvCJVLayers::PrepareRowHeader(int nColourCode, int nByteCount)
{
    SetRowHeaderEx(nColourCode, nByteCount, nByteCount, m_nCompressMode == 1 ? 1 : 0, 0);
}

void CMimakiPrnDrvCJVLayers::SetRowHeaderEx(int nInk, int nRawCount, int nStoredCount, int bPacked, int nSubLayer)
{
    BYTE header[mimaki::layers::kMaxHeader];
    const std::size_t n =
        WriteHeader(header, m_model, ColourOf(MimakiParms(), nInk), bPacked != 0, m_nBitsPerPixel,
                    static_cast<std::uint32_t>(nRawCount), static_cast<std::uint32_t>(nStoredCount), nSubLayer);
    RowHeader.assign(reinterpret_cast<const char*>(header), n);
}

void CMimakiPrnDrvCJVLayers::ReleaseJob()
{
    m_records.clear();
    for (Buffer& b : m_band)
        b = Buffer{};
    m_mirror.reset();
    m_scratch.reset();
    m_zero.reset();
    m_bReady = false;
    m_nBlankRows = 0;
}

int CMimakiPrnDrvCJVLayers::Fail(const char* what, int line)
{
    SetDetailedDriverError(what, "MimakiCJVLayerDriver", line);
    ReleaseJob();
    return 0;
}

// Runs a step that may meet a failing spool store or no memory: such a
// failure ends the job with its one line.
template <class Step>
int CMimakiPrnDrvCJVLayers::Guarded(int line, Step&& step)
{
    try {
        return step();
    } catch (const CSpoolException& e) {
        if (m_model.spoolFailure)
            CVoLog()->ReportStatusPF("%s", 4, __FILE__, __LINE__, m_model.spoolFailure);
        return Fail(e.what(), line);
    } catch (const std::bad_alloc&) {
        return Fail("no memory for the layer buffers of the job", line);
    }
}

int CMimakiPrnDrvCJVLayers::OutputInit(int n1, int n2)
{
    ReleaseJob();
    BandTrailer = preProcess("QR\\x01\\x01");
    RowTrailer.clear();
    m_nOutputFlag = 0;
    if (!LayerList()) {
        CVoLog()->ReportStatusPF("***%s#%d: the device parameters are not those of the model: nothing to print\n", 4,
                                 __FILE__, __LINE__, kOutputInit, __LINE__);
        return 0;
    }
    if (!CPrinterDriverBase::OutputInit(n1, n2) || !RowWidthFits())
        return 0;
    SetDriverInfo(L"CommandSet", L"4");
    // The stored count of a packed row is 16 bits wide too.
    const std::size_t bound = packbits_bound(static_cast<std::size_t>(m_nBytesPerRow));
    if (m_nCompressMode == 1 && bound > 65535) {
        CVoLog()->ReportStatusPF("***%s#%d: a row of %d bytes may pack to %zu bytes, more than a row header counts "
                                 "(65535)\n",
                                 4, __FILE__, __LINE__, kOutputInit, __LINE__, m_nBytesPerRow, bound);
        return 0;
    }
    if (!Guarded(__LINE__, [this] { return Prepare(); }))
        return 0;
    Report();
    if (!Output(LayerStartString(0, m_layers.front()))) {
        ReleaseJob();
        return 0;
    }
    return 1;
}

int CMimakiPrnDrvCJVLayers::Prepare()
{
    using mimaki::cjv::Belongs;
    const std::vector<CMimakiCJVLayer>* list = LayerList();
    m_layers = *list;
    if (m_layers.empty()) {
        // No list: one unmirrored layer of the colour inks.
        m_layers.emplace_back();
        m_layers.front().nType[0] = 1;
    }
    const int ways = m_pPrintEnv ? std::max(1, m_pPrintEnv->GetInt(PrEnv_MaxPrintingWays)) : 1;
    m_nPositions = m_model.waysLimitPositions ? std::min(m_model.positions, ways) : m_model.positions;
    m_bPacked = m_nCompressMode == 1;
    m_bSandwich = m_model.sandwich &&
                  std::any_of(m_layers.begin(), m_layers.end(), [](const CMimakiCJVLayer& l) { return l.bUseSandwich; });
    const int rowBytes = m_nBytesPerRow;
    const int narrow = GetAltBytesPerRow();
    m_nSendBytes = m_bSandwich && narrow > 0 && narrow < rowBytes ? narrow : rowBytes;
    m_nShift = static_cast<std::size_t>(rowBytes - m_nSendBytes);
    m_nBlankBytes = m_bSandwich ? m_nSendBytes : rowBytes;
    const int optionalDevice = m_pPrintEnv ? m_pPrintEnv->GetInt(PrEnv_OptionalDeviceID) : 0;

    for (int slot = 0; slot < GetSlotCount(); ++slot) {
        Record r;
        r.slot = slot;
        r.ink = iPrimColFromSlot(slot);
        r.channel = ChannelFromSlot(slot);
        r.colour = ColourOf(MimakiParms(), r.ink);
        r.blank = m_model.optionalInks && (r.ink == 21 || r.ink == 22) && optionalDevice != 7;
        r.uses.resize(m_layers.size());
        for (std::size_t l = 0; r.channel >= 0 && l < m_layers.size(); ++l) {
            const CMimakiCJVLayer& layer = m_layers[l];
            for (int p = 0; p < m_nPositions; ++p) {
                const int type = layer.nType[p];
                if (!Belongs(m_model, type, r.ink))
                    continue;
                const bool reversed = (m_model.reversedTypes >> type & 1u) != 0;
                const int variant = (reversed != (layer.bMirror != 0) ? 1 : 0) | (m_bSandwich && layer.bUseSandwich ? 2 : 0);
                r.uses[l].push_back(Use{static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(variant)});
                (l == 0 ? r.liveVariants : r.storeVariants) |= static_cast<std::uint8_t>(1u << variant);
            }
        }
        for (int v = 0; v < kVariants; ++v)
            if (r.storeVariants >> v & 1u)
                r.streams[v] = std::make_unique<CSpoolStore>();
        m_records.push_back(std::move(r));
    }

    // A band holds each record at most once per position.
    const std::size_t rowMax = packbits_bound(static_cast<std::size_t>(rowBytes));
    m_nHeader = mimaki::layers::kLongHeader;
    const std::size_t perPosition = m_records.size() * (m_nHeader + rowMax);
    m_band[0].data.reset(new BYTE[perPosition * static_cast<std::size_t>(m_nPositions) + BandTrailer.size()]);
    for (int p = 1; p < m_nPositions; ++p)
        m_band[p].data.reset(new BYTE[perPosition + 1]);
    m_mirror.reset(new BYTE[static_cast<std::size_t>(rowBytes)]);
    m_scratch.reset(new BYTE[rowMax]);
    const std::size_t blank = static_cast<std::size_t>(m_nBlankBytes);
    m_zero.reset(new BYTE[packbits_bound(blank) + 1]());
    m_nZeroStored = static_cast<std::uint32_t>(blank);
    if (m_bPacked) {
        const std::unique_ptr<BYTE[]> zero(new BYTE[blank + 1]());
        m_nZeroStored = static_cast<std::uint32_t>(packbits_compress(m_zero.get(), zero.get(), m_nBlankBytes));
    }
    m_nRows = 0;
    m_nBlankRows = 0;
    m_bReady = true;
    return 1;
}

// What an operator needs to know about a job that will not print as the
// layer list may suggest.
void CMimakiPrnDrvCJVLayers::Report()
{
    CVoLog log;
    if (const int wanted = ParmsBitsPerPixel(); wanted != m_nBitsPerPixel)
        log->ReportStatusPF("***%s#%d: the raster has %d bits per pixel where the dot size of the settings asks for "
                            "%d; the rows go out (and are mirrored) as the raster has them\n",
                            4, __FILE__, __LINE__, kOutputInit, __LINE__, m_nBitsPerPixel, wanted);
    if (m_bSandwich && m_nSendBytes == m_nBytesPerRow)
        log->ReportStatusPF("***%s#%d: sandwich layers print the whole row: the host gives no narrower row width\n", 4,
                            __FILE__, __LINE__, kOutputInit, __LINE__);
    if (m_records.empty())
        log->ReportStatusPF("***%s#%d: \"SlotsSetting\" names no ink slot: nothing is printed\n", 4, __FILE__,
                            __LINE__, kOutputInit, __LINE__);
    for (int ch = 0; ch < GetCountPrimCols(); ++ch)
        if (std::none_of(m_records.begin(), m_records.end(), [ch](const Record& r) { return r.channel == ch; }))
            log->ReportStatusPF("***%s#%d: channel %d (colour %d) is in no ink slot: it is not printed\n", 4,
                                __FILE__, __LINE__, kOutputInit, __LINE__, ch, GetChannelColour(ch));
    for (const Record& r : m_records) {
        if (r.channel < 0)
            continue;
        if (r.colour == 99)
            log->ReportStatusPF("***%s#%d: ink slot %d (colour %d) has no printer colour: its rows carry 99\n", 4,
                                __FILE__, __LINE__, kOutputInit, __LINE__, r.slot, r.ink);
        if (std::all_of(r.uses.begin(), r.uses.end(), [](const std::vector<Use>& u) { return u.empty(); }))
            log->ReportStatusPF("***%s#%d: ink slot %d (colour %d) is in no sub-layer of the layer list: it is not "
                                "printed\n",
                                4, __FILE__, __LINE__, kOutputInit, __LINE__, r.slot, r.ink);
    }
    for (std::size_t l = 0; l < m_layers.size(); ++l) {
        for (int p = m_nPositions; p < m_model.positions; ++p)
            if (m_layers[l].nType[p] != 0)
                log->ReportStatusPF("***%s#%d: layer %zu, sub-layer %d needs printing way %d; the printer has %d "
                                    "(PrEnv_MaxPrintingWays): it is not printed\n",
                                    4, __FILE__, __LINE__, kOutputInit, __LINE__, l + 1, p + 1, p + 1, m_nPositions);
        if (std::all_of(m_records.begin(), m_records.end(), [l](const Record& r) { return r.uses[l].empty(); }))
            log->ReportStatusPF("***%s#%d: layer %zu prints no ink of this job\n", 4, __FILE__, __LINE__,
                                kOutputInit, __LINE__, l + 1);
    }
}

int CMimakiPrnDrvCJVLayers::OutputRow(int bBlank)
{
    if (!m_bReady)
        return 0;
    if (bBlank && m_model.countBlankRows) {
        ++m_nBlankRows;
        return 1;
    }
    const int ok = Guarded(__LINE__, [&] { return FlushBlankRows() && SendRow(bBlank != 0) ? 1 : 0; });
    if (!ok)
        ReleaseJob();
    return ok;
}

bool CMimakiPrnDrvCJVLayers::FlushBlankRows()
{
    for (; m_nBlankRows > 0; --m_nBlankRows)
        if (!SendRow(true))
            return false;
    return true;
}

bool CMimakiPrnDrvCJVLayers::SendRow(bool bBlank)
{
    for (Record& r : m_records) {
        if (!(r.liveVariants | r.storeVariants))
            continue;
        Piece pieces[kVariants];
        LivePieces(r, bBlank, pieces);
        Place(r, r.uses.front(), pieces);
        for (int v = 0; v < kVariants; ++v)
            if (r.storeVariants >> v & 1u)
                Store(r, v, pieces[v]);
    }
    ++m_nRows;
    return SendBand();
}

// The variants of the record's current row: the row itself and its last
// bytes (shifted), and both of its mirror. A channel row without bytes has
// none to send.
void CMimakiPrnDrvCJVLayers::LivePieces(const Record& r, bool bBlank, Piece* pieces)
{
    const unsigned needed = r.liveVariants | r.storeVariants;
    if (bBlank || r.blank) {
        for (int v = 0; v < kVariants; ++v)
            if (needed >> v & 1u)
                pieces[v] = Piece{nullptr, m_zero.get(), nullptr, 0, static_cast<std::uint32_t>(m_nBlankBytes),
                                  m_nZeroStored};
        return;
    }
    const BYTE* row = pOutputRow(r.channel);
    const int rowBytes = m_nBytesPerRow;
    const int count = m_model.fullWidth ? rowBytes : m_bSandwich ? m_nSendBytes : GetChannelByteCount(r.channel);
    if (!row || count == 0)
        return;
    const auto send = static_cast<std::uint32_t>(m_nSendBytes);
    pieces[0].raw = row;
    pieces[0].rawCount = static_cast<std::uint32_t>(count);
    pieces[2].raw = row + m_nShift;
    pieces[2].rawCount = send;
    if (!(needed & 0b1010u))
        return;
    const BYTE* mirrored = m_mirror.get();
    if (m_model.hostMirror)
        mirrored = pOutputRowMirror(r.channel);
    else
        MirrorRow(m_mirror.get(), row, m_nPixelWidth, m_nBitsPerPixel);
    if (!mirrored)
        throw CSpoolException("the host has no mirrored row of channel " + std::to_string(r.channel));
    pieces[1].raw = mirrored;
    pieces[1].rawCount = m_model.fullWidth || m_bSandwich ? static_cast<std::uint32_t>(count)
                                                          : static_cast<std::uint32_t>(TrimmedRowLength(mirrored, rowBytes));
    pieces[3].raw = mirrored + m_nShift;
    pieces[3].rawCount = send;
}

// The piece's bytes at dst: copied, read back or coded there.
std::uint32_t CMimakiPrnDrvCJVLayers::Resolve(Piece& p, BYTE* dst)
{
    if (p.data) {
        std::memcpy(dst, p.data, p.stored);
    } else if (p.stream) {
        p.stream->Read(p.at, dst, p.stored);
    } else if (m_bPacked) {
        p.stored = static_cast<std::uint32_t>(packbits_compress(dst, p.raw, static_cast<int>(p.rawCount)));
    } else {
        std::memcpy(dst, p.raw, p.rawCount);
        p.stored = p.rawCount;
    }
    p.data = dst;
    return p.stored;
}

void CMimakiPrnDrvCJVLayers::Place(const Record& r, const std::vector<Use>& uses, Piece* pieces)
{
    for (const Use& u : uses) {
        Piece& p = pieces[u.variant];
        if (p.rawCount == 0)
            continue;
        Buffer& band = m_band[u.position];
        BYTE* at = band.data.get() + band.length;
        const std::uint32_t stored = Resolve(p, at + m_nHeader);
        WriteHeader(at, m_model, r.colour, m_bPacked, m_nBitsPerPixel, p.rawCount, stored, u.position);
        band.length += m_nHeader + stored;
    }
}

// A stream record: the raw and the stored count (32 bits each, low byte
// first), then the stored bytes.
void CMimakiPrnDrvCJVLayers::Store(Record& r, int variant, Piece& p)
{
    if (p.rawCount != 0 && !p.data)
        Resolve(p, m_scratch.get());
    BYTE head[8];
    PutLE32(head, p.rawCount);
    PutLE32(head + 4, p.stored);
    CSpoolStore& stream = *r.streams[variant];
    stream.Append(head, sizeof head);
    if (p.stored)
        stream.Append(p.data, p.stored);
}

bool CMimakiPrnDrvCJVLayers::SendBand()
{
    Buffer& out = m_band[0];
    for (int p = 1; p < m_nPositions; ++p) {
        Buffer& b = m_band[p];
        if (b.length)
            std::memcpy(out.data.get() + out.length, b.data.get(), b.length);
        out.length += b.length;
        b.length = 0;
    }
    std::memcpy(out.data.get() + out.length, BandTrailer.data(), BandTrailer.size());
    const long length = static_cast<long>(out.length + BandTrailer.size());
    out.length = 0;
    return Output(out.data.get(), length, 0) != 0;
}

bool CMimakiPrnDrvCJVLayers::ReadPiece(Record& r, int variant, Piece& p)
{
    CSpoolStore& stream = *r.streams[variant];
    std::uint64_t& at = r.cursor[variant];
    BYTE head[8];
    if (at + 4 > stream.Size())
        throw CSpoolException("a layer stream of the spool ends without its end mark");
    stream.Read(at, head, 4);
    const std::uint32_t raw = LE32(head);
    if (raw == kStreamEnd)
        return false;
    if (at + 8 > stream.Size())
        throw CSpoolException("a layer stream of the spool ends inside a row");
    stream.Read(at + 4, head + 4, 4);
    const std::uint32_t stored = LE32(head + 4);
    if (raw > static_cast<std::uint32_t>(m_nBytesPerRow) || stored > packbits_bound(raw) ||
        (!m_bPacked && stored != raw) || at + 8 + stored > stream.Size())
        throw CSpoolException("a row read back from a layer stream of the spool does not fit the job's rows");
    p = Piece{nullptr, nullptr, &stream, at + 8, raw, stored};
    at += 8 + stored;
    return true;
}

// The later layer's rows, read back from the streams of the first.
bool CMimakiPrnDrvCJVLayers::Replay(int nLayer)
{
    const auto l = static_cast<std::size_t>(nLayer);
    for (Record& r : m_records)
        std::fill(std::begin(r.cursor), std::end(r.cursor), 0);
    for (std::uint64_t row = 0; row < m_nRows; ++row) {
        for (Record& r : m_records) {
            const std::vector<Use>& uses = r.uses[l];
            Piece pieces[kVariants];
            unsigned read = 0;
            for (const Use& u : uses) {
                if (read >> u.variant & 1u)
                    continue;
                if (!ReadPiece(r, u.variant, pieces[u.variant]))
                    throw CSpoolException("a layer stream of the spool holds fewer rows than the page");
                read |= 1u << u.variant;
            }
            Place(r, uses, pieces);
        }
        if (!SendBand())
            return false;
    }
    for (Record& r : m_records)
        for (const Use& u : r.uses[l]) {
            Piece rest;
            if (ReadPiece(r, u.variant, rest))
                throw CSpoolException("a layer stream of the spool holds more rows than the page");
        }
    return true;
}

int CMimakiPrnDrvCJVLayers::OutputExit()
{
    if (!m_bReady)
        return 0;
    const int ok = Guarded(__LINE__, [this] {
        if ((m_nHangingRows && !AdvanceHangingRows()) || !m_bReady || !FlushBlankRows())
            return 0;
        static constexpr BYTE kEnd[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        for (Record& r : m_records)
            for (auto& stream : r.streams)
                if (stream) {
                    stream->Append(kEnd, sizeof kEnd);
                    stream->Seal();
                }
        CMimakiDevParmsBase* parms = MimakiParms();
        const int layers = static_cast<int>(m_layers.size());
        for (int l = 1; l < layers; ++l) {
            JobSection(nullptr, 0);
            if (!Output(parms->GetLayerEndString(this, l - 1, 0)))
                return 0;
            JobSection(nullptr, 0);
            if (!Output(LayerStartString(l, m_layers[static_cast<std::size_t>(l)])) || !Replay(l))
                return 0;
        }
        JobSection(nullptr, 0);
        return Output(JobEndString(layers - 1));
    });
    ReleaseJob();
    return ok && CPrinterDriverBase::OutputExit() ? 1 : 0;
}

int CMimakiPrnDrvCJVLayers::JobClose()
{
    // A failed or aborted page leaves its streams here.
    ReleaseJob();
    return CMimakiLegacyBasePrinterDriver::JobClose();
}
