#include "driver/MimakiJV58CSpecial.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "devparms/MimakiDevParmsEarly.h"
#include "host/Log.h"
#include "host/PackBits.h"

namespace {

constexpr const char* kOutputInit = "CMimakiJV58CSpecial::OutputInit";

using Masks = CMimakiJV58CSpecial::Masks;

// Dot-data types of the tables: 3, any other, or any at all.
constexpr int kDotOther = -1;
constexpr int kDotAny = -2;

bool DotMatches(int tableDot, int dotDataType)
{
    return tableDot == kDotAny || (tableDot == 3 ? dotDataType == 3 : dotDataType != 3);
}

// Double line off: the masks of a row by the row counter modulo the period.
struct SingleLineRow {
    int resolution, mode, dot, period;
    BYTE first[4], second[4];
};
constexpr SingleLineRow kSingleLine[] = {
    {1080, 1, 3, 2, {0xCC, 0x33}, {0x33, 0xCC}},
    {1080, 1, kDotOther, 2, {0xAA, 0x55}, {0x55, 0xAA}},
    {1080, 0, kDotAny, 2, {0x00, 0xFF}, {0xFF, 0x00}},
    {720, 1, 3, 4, {0x3C, 0xF0, 0xC3, 0x0F}, {0xC3, 0x0F, 0x3C, 0xF0}},
    {720, 1, kDotOther, 4, {0x66, 0xCC, 0x99, 0x33}, {0x99, 0x33, 0x66, 0xCC}},
    {720, 0, 3, 4, {0x33, 0x33, 0xCC, 0xCC}, {0xCC, 0xCC, 0x33, 0x33}},
    {720, 0, kDotOther, 4, {0x55, 0x55, 0xAA, 0xAA}, {0xAA, 0xAA, 0x55, 0x55}},
};

// Double line on: the masks of sub-rows A and B for an even and an odd row
// counter.
struct DoubleLineRow {
    int resolution, mode, dot;
    Masks a[2], b[2];
};
constexpr DoubleLineRow kDoubleLine[] = {
    {540, 1, 3, {{0xCC, 0x33}, {0xCC, 0x33}}, {{0x33, 0xCC}, {0x33, 0xCC}}},
    {540, 1, kDotOther, {{0xAA, 0x55}, {0xAA, 0x55}}, {{0x55, 0xAA}, {0x55, 0xAA}}},
    {540, 0, kDotAny, {{0x00, 0xFF}, {0x00, 0xFF}}, {{0xFF, 0x00}, {0xFF, 0x00}}},
    {360, 1, 3, {{0x3C, 0xC3}, {0xC3, 0x3C}}, {{0xF0, 0x0F}, {0x0F, 0xF0}}},
    {360, 1, kDotOther, {{0x66, 0x99}, {0x99, 0x66}}, {{0xCC, 0x33}, {0x33, 0xCC}}},
    {360, 0, 3, {{0x33, 0xCC}, {0xCC, 0x33}}, {{0x33, 0xCC}, {0xCC, 0x33}}},
    {360, 0, kDotOther, {{0x55, 0xAA}, {0xAA, 0x55}}, {{0x55, 0xAA}, {0xAA, 0x55}}},
};

template <typename RowT, std::size_t N>
const RowT* FindRow(const RowT (&table)[N], int resolution, int mode, int dotDataType)
{
    for (const RowT& row : table)
        if (row.resolution == resolution && row.mode == mode && DotMatches(row.dot, dotDataType))
            return &row;
    return nullptr;
}

std::uint64_t Spread(BYTE mask)
{
    return 0x0101010101010101ull * mask;
}

// dst = (a AND m1) OR (b AND m2), a missing row counting as zero.
void Merge(BYTE* dst, const BYTE* a, BYTE m1, const BYTE* b, BYTE m2, std::size_t n)
{
    if (!a) {
        a = b;
        m1 = b ? m2 : 0;
        b = nullptr;
    }
    if (!a) {
        std::memset(dst, 0, n);
        return;
    }
    const std::uint64_t w1 = Spread(m1), w2 = Spread(m2);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y = 0;
        std::memcpy(&x, a + i, 8);
        if (b)
            std::memcpy(&y, b + i, 8);
        x = (x & w1) | (y & w2);
        std::memcpy(dst + i, &x, 8);
    }
    for (; i < n; ++i)
        dst[i] = static_cast<BYTE>((a[i] & m1) | (b ? b[i] & m2 : 0));
}

} // namespace

CMimakiJV58CSpecial::CMimakiJV58CSpecial(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms)
    : CMimakiLegacyBasePrinterDriver(pPrintEnv, pDevParms)
{
}

CMimakiJV58CSpecial::~CMimakiJV58CSpecial() = default;

Masks CMimakiJV58CSpecial::SingleLineMasks(int nResolution, int nMode, int nDotDataType, int nCounter)
{
    const SingleLineRow* row = FindRow(kSingleLine, nResolution, nMode, nDotDataType);
    if (!row)
        return Masks{0, 0};
    const int i = nCounter % row->period;
    return Masks{row->first[i], row->second[i]};
}

void CMimakiJV58CSpecial::DoubleLineMasks(int nResolution, int nMode, int nDotDataType, int nCounter, Masks& a,
                                          Masks& b)
{
    const DoubleLineRow* row = FindRow(kDoubleLine, nResolution, nMode, nDotDataType);
    a = row ? row->a[nCounter % 2] : Masks{0, 0};
    b = row ? row->b[nCounter % 2] : Masks{0, 0};
}

int CMimakiJV58CSpecial::Resolution() const
{
    return static_cast<int>(std::lround(dpiVertDevice()));
}

int CMimakiJV58CSpecial::OutputInit(int n1, int n2)
{
    const int result = CMimakiLegacyBasePrinterDriver::OutputInit(n1, n2);
    const int length = GetOutputPixelLength();
    m_pMergeBuffer.reset();
    m_pBlankRow.reset();
    if (!result)
        return result;
    const std::size_t width = static_cast<std::size_t>(m_nBytesPerRow);
    m_pMergeBuffer.reset(new (std::nothrow) BYTE[width]);
    m_pBlankRow.reset(new (std::nothrow) BYTE[packbits_bound(width)]());
    if (!m_pMergeBuffer || !m_pBlankRow) {
        CVoLog()->ReportStatusPF("***%s#%d: no memory for a merge row of %d bytes\n", 4, __FILE__, __LINE__,
                                 kOutputInit, __LINE__, m_nBytesPerRow);
        return 0;
    }
    m_nBlankRowLength = m_nBytesPerRow;
    if (m_nCompressMode == 1) {
        std::memset(m_pMergeBuffer.get(), 0, width);
        m_nBlankRowLength = packbits_compress(m_pBlankRow.get(), m_pMergeBuffer.get(), m_nBytesPerRow);
    }

    const bool doubleLine = DoubleLine() != 0;
    const int resolution = Resolution();
    // The row drops are this job's only: a job without the switch drops none.
    m_nRowCounter = 0;
    m_nNextRowToDrop = 0;
    m_nDropStep = 0;
    if (GetInterleave()) {
        const int period = doubleLine ? (resolution == 720 ? 2 : 1) : (resolution == 720 ? 4 : 2);
        const int rest = length % period;
        if (rest >= 1) {
            m_nNextRowToDrop = length / (rest + 1);
            m_nDropStep = m_nNextRowToDrop + 1;
        }
    }

    const auto* model = dynamic_cast<const DEVPARM13_CLASS*>(MimakiParms());
    m_nInterleaveMode = model ? model->GetInterleaveMode() : 1;
    const bool known = doubleLine ? FindRow(kDoubleLine, resolution, m_nInterleaveMode, m_nDotDataType) != nullptr
                                  : FindRow(kSingleLine, resolution, m_nInterleaveMode, m_nDotDataType) != nullptr;
    if (!known)
        CVoLog()->ReportStatusPF("***%s#%d: no dot masks for a second resolution of %d dpi%s with interleave mode "
                                 "%d: every channel prints blank\n",
                                 4, __FILE__, __LINE__, kOutputInit, __LINE__, resolution,
                                 doubleLine ? " (double line)" : "", m_nInterleaveMode);

    // At these resolutions the first two colours of the two head rows trade
    // their rasters.
    const bool swap = m_nInterleaveMode == 1 && (doubleLine ? resolution == 360 : resolution == 720);
    if (GetSlotCount() == 0)
        CVoLog()->ReportStatusPF("***%s#%d: the printer has no ink slots (SlotsSetting): every channel prints "
                                 "blank\n",
                                 4, __FILE__, __LINE__, kOutputInit, __LINE__);
    for (int slot = 0; slot < 8; ++slot) {
        m_slotRasters[slot] = nullptr;
        if (!SlotIsInUse(slot))
            continue;
        int colour = iPrimColFromSlot(slot);
        if (swap && (colour == 0 || colour == 1 || colour == 4 || colour == 5))
            colour ^= 4;
        m_slotRasters[slot] = GetRasterPixelBuffer(static_cast<enmDevicePrimColor>(colour), 0);
        if (!m_slotRasters[slot])
            CVoLog()->ReportStatusPF("***%s#%d: slot %d reads the raster of colour %d, which the job does not "
                                     "have: its head prints nothing\n",
                                     4, __FILE__, __LINE__, kOutputInit, __LINE__, slot, colour);
    }
    return result;
}

int CMimakiJV58CSpecial::SendRow(Masks masks, bool blank)
{
    const std::size_t width = static_cast<std::size_t>(m_nBytesPerRow);
    for (int k = 0; k < 4; ++k) {
        const BYTE* data = m_pBlankRow.get();
        int length = m_nBlankRowLength;
        if (!blank) {
            const CRasterPixelBuffer* a = m_slotRasters[k];
            const CRasterPixelBuffer* b = m_slotRasters[k + 4];
            Merge(m_pMergeBuffer.get(), a ? a->pReadRow() : nullptr, masks.first, b ? b->pReadRow() : nullptr,
                  masks.second, width);
            data = m_pMergeBuffer.get();
            length = m_nBytesPerRow;
            if (m_nCompressMode == 1) {
                length = packbits_compress(m_compressBuffer.data(), data, m_nBytesPerRow);
                data = m_compressBuffer.data();
            }
        }
        PrepareRowHeader(k, m_nBytesPerRow);
        if (!Output(RowHeader) || !Output(data, length, 0) || !Output(RowTrailer))
            return 0;
    }
    return Output(BandTrailer);
}

bool CMimakiJV58CSpecial::DropRow(int row)
{
    if (row != m_nNextRowToDrop || m_nNextRowToDrop < 2 || m_nDropStep <= 0)
        return false;
    m_nNextRowToDrop += m_nDropStep;
    return true;
}

int CMimakiJV58CSpecial::OutputCurrentRow()
{
    if (DropRow(GetCurrentRow()))
        return 1;
    const int resolution = Resolution();
    if (DoubleLine()) {
        Masks a, b;
        DoubleLineMasks(resolution, m_nInterleaveMode, m_nDotDataType, m_nRowCounter, a, b);
        if (!SendRow(a, false) || !SendRow(b, false))
            return 0;
    } else if (!SendRow(SingleLineMasks(resolution, m_nInterleaveMode, m_nDotDataType, m_nRowCounter), false)) {
        return 0;
    }
    ++m_nRowCounter;
    return 1;
}

int CMimakiJV58CSpecial::OutputEmptyRow()
{
    if (!SendRow(Masks{0, 0}, true))
        return 0;
    JobSection(nullptr, 0);
    return 1;
}

int CMimakiJV58CSpecial::AdvanceRows(int nRows)
{
    for (int i = 0; i < nRows; ++i) {
        if (DropRow(m_nRowCounter + i))
            continue;
        if (!OutputEmptyRow() || (DoubleLine() && !OutputEmptyRow()))
            return 0;
        ++m_nRowCounter;
    }
    return 1;
}

int CMimakiJV58CSpecial::OutputExit()
{
    const int result = CPrinterDriverBase::OutputExit();
    m_pMergeBuffer.reset();
    m_pBlankRow.reset();
    return result;
}
