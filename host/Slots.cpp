// The host's colour and slot queries and its mirrored row output.
#include "Slots.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "Log.h"
#include "PrintEnv.h"
#include "PrinterDriverBase.h"
#include "StrUtil.h"

namespace {

// Byte with its pixels in reverse order, for one bit depth.
constexpr std::array<BYTE, 256> ReverseTable(int bits)
{
    std::array<BYTE, 256> t{};
    const int mask = (1 << bits) - 1;
    for (int v = 0; v < 256; ++v) {
        int out = 0;
        for (int pos = 0; pos < 8; pos += bits)
            out |= ((v >> pos) & mask) << (8 - bits - pos);
        t[static_cast<std::size_t>(v)] = static_cast<BYTE>(out);
    }
    return t;
}

constexpr std::array<BYTE, 256> kReverse1 = ReverseTable(1);
constexpr std::array<BYTE, 256> kReverse2 = ReverseTable(2);
constexpr std::array<BYTE, 256> kReverse4 = ReverseTable(4);

// Slot entry of "SlotsSetting": the host colour code, or -1 for an entry
// that names none (an empty slot).
int SlotColour(const std::wstring& entry)
{
    std::size_t i = entry.find_first_not_of(L" \t");
    if (i == std::wstring::npos)
        return -1;
    if (entry[i] == L'+' || entry[i] == L'-')
        ++i;
    if (i >= entry.size() || entry[i] < L'0' || entry[i] > L'9')
        return -1;
    const int colour = IntFromString(entry);
    return colour < 0 ? -1 : colour;
}

} // namespace

int MirrorRow(BYTE* dst, const BYTE* src, int nPixels, int nBitsPerPixel)
{
    const BYTE* table = nBitsPerPixel == 1   ? kReverse1.data()
                        : nBitsPerPixel == 2 ? kReverse2.data()
                        : nBitsPerPixel == 4 ? kReverse4.data()
                                             : nullptr;
    if ((!table && nBitsPerPixel != 8) || nPixels < 0)
        return 0;
    const long long bits = static_cast<long long>(nPixels) * nBitsPerPixel;
    const std::size_t n = static_cast<std::size_t>((bits + 7) / 8);
    if (n == 0)
        return 1;
    const int pad = static_cast<int>(n * 8 - bits); // unused bits at the end of the last byte
    const BYTE* last = src + n - 1;
    // Eight bytes at a time: byte order reversed, then the pixels inside each
    // byte; mirrored layers go through here for every row.
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, src + n - i - 8, sizeof w);
        w = __builtin_bswap64(w);
        if (nBitsPerPixel <= 4)
            w = ((w >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((w & 0x0F0F0F0F0F0F0F0Full) << 4);
        if (nBitsPerPixel <= 2)
            w = ((w >> 2) & 0x3333333333333333ull) | ((w & 0x3333333333333333ull) << 2);
        if (nBitsPerPixel == 1)
            w = ((w >> 1) & 0x5555555555555555ull) | ((w & 0x5555555555555555ull) << 1);
        std::memcpy(dst + i, &w, sizeof w);
    }
    for (; i < n; ++i)
        dst[i] = table ? table[last[-static_cast<std::ptrdiff_t>(i)]] : last[-static_cast<std::ptrdiff_t>(i)];
    if (pad == 0)
        return 1;
    // Reversed, the padding comes first: shift the whole row left by it.
    i = 0;
    for (; i + 9 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, dst + i, sizeof w);
        w = (__builtin_bswap64(w) << pad) | (dst[i + 8] >> (8 - pad));
        w = __builtin_bswap64(w);
        std::memcpy(dst + i, &w, sizeof w);
    }
    for (; i + 1 < n; ++i)
        dst[i] = static_cast<BYTE>((dst[i] << pad) | (dst[i + 1] >> (8 - pad)));
    dst[n - 1] = static_cast<BYTE>(dst[n - 1] << pad);
    return 1;
}

// Blank rows are common, so the scan takes eight bytes at a time.
int TrimmedRowLength(const BYTE* row, int n)
{
    while (n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, row + n - 8, sizeof word);
        if (word)
            break;
        n -= 8;
    }
    while (n > 0 && row[n - 1] == 0)
        --n;
    return n;
}

int CPrinterDriverBase::LoadColoursAndSlots(const CPrintJobOpenContext& context)
{
    const std::size_t channels = context.colourCodes.size();
    if (!context.userColours.empty() && context.userColours.size() != channels) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: %d user colours for %d channels\n", 4, __FILE__, __LINE__,
                            "CPrinterDriverBase::JobOpen", __LINE__, static_cast<int>(context.userColours.size()),
                            static_cast<int>(channels));
        return 0;
    }
    m_userColours = context.userColours.empty() ? context.colourCodes : context.userColours;

    m_slotColours.clear();
    m_slotChannels.clear();
    if (m_pPrintEnv) {
        const std::wstring fallback = m_pPrintEnv->GetString(PrEnv_SlotsSettingDefault);
        for (const std::wstring& entry : Split(m_pPrintEnv->GetString(L"SlotsSetting", fallback.c_str()), L'`', 1))
            m_slotColours.push_back(SlotColour(entry));
    }
    // A slot prints the first channel of its colour: printers that hold an
    // ink twice print the same raster from both slots.
    for (const int colour : m_slotColours) {
        int channel = -1;
        for (std::size_t i = 0; colour >= 0 && i < channels && channel < 0; ++i)
            if (context.colourCodes[i] == colour)
                channel = static_cast<int>(i);
        m_slotChannels.push_back(channel);
    }
    return 1;
}

int CPrinterDriverBase::DevPrimColUserFromPrimCol(int nChannel) const
{
    return nChannel >= 0 && static_cast<std::size_t>(nChannel) < m_userColours.size()
               ? m_userColours[static_cast<std::size_t>(nChannel)]
               : -1;
}

int CPrinterDriverBase::GetSlotCount() const
{
    return static_cast<int>(m_slotColours.size());
}

int CPrinterDriverBase::iPrimColFromSlot(int nSlot) const
{
    return nSlot >= 0 && nSlot < GetSlotCount() ? m_slotColours[static_cast<std::size_t>(nSlot)] : -1;
}

int CPrinterDriverBase::ChannelFromSlot(int nSlot) const
{
    return nSlot >= 0 && nSlot < GetSlotCount() ? m_slotChannels[static_cast<std::size_t>(nSlot)] : -1;
}

int CPrinterDriverBase::SlotIsInUse(int nSlot) const
{
    return ChannelFromSlot(nSlot) >= 0 ? 1 : 0;
}

const BYTE* CPrinterDriverBase::pOutputRow(int nChannel) const
{
    if (nChannel < 0 || nChannel >= static_cast<int>(m_channels.size()))
        return nullptr;
    const Channel& ch = m_channels[static_cast<std::size_t>(nChannel)];
    return ch.buffer ? ch.buffer->pReadRow() : nullptr;
}

const BYTE* CPrinterDriverBase::pOutputRowMirror(int nChannel)
{
    const BYTE* row = pOutputRow(nChannel);
    if (!row || m_mirrorRow.size() < static_cast<std::size_t>(m_nBytesPerRow))
        return nullptr;
    return MirrorRow(m_mirrorRow.data(), row, m_nPixelWidth, m_nBitsPerPixel) ? m_mirrorRow.data() : nullptr;
}
