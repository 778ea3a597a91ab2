#include "tools/rasterjob/Screen.h"

#include <algorithm>
#include <cstring>

namespace rasterjob {

namespace {

// 8x8 Bayer matrix: thresholds 0..63.
constexpr std::uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

} // namespace

void PackLevels(const std::uint8_t* levels, int width, int bits, BYTE* out)
{
    const int perByte = 8 / bits;
    const int bytes = BytesPerRow(width, bits);
    int x = 0;
    for (int b = 0; b < bytes; ++b) {
        unsigned v = 0;
        for (int k = 0; k < perByte; ++k, ++x) {
            v <<= bits;
            if (x < width)
                v |= levels[x];
        }
        out[b] = static_cast<BYTE>(v);
    }
}

int LevelAt(const BYTE* row, int x, int bits)
{
    const int perByte = 8 / bits;
    const int shift = 8 - bits * (x % perByte + 1);
    return (row[x / perByte] >> shift) & ((1 << bits) - 1);
}

Screener::Screener(int width, int bits, ScreenKind kind)
    : m_width(width), m_bits(bits), m_maxLevel((1 << bits) - 1), m_kind(kind),
      m_errCur(static_cast<std::size_t>(width) + 2), m_errNext(static_cast<std::size_t>(width) + 2),
      m_levels(static_cast<std::size_t>(width))
{
}

void Screener::Reset()
{
    std::fill(m_errCur.begin(), m_errCur.end(), 0);
    std::fill(m_errNext.begin(), m_errNext.end(), 0);
    m_leftToRight = true;
}

void Screener::ScreenRow(const std::uint8_t* ink, int y, BYTE* packed)
{
    const int L = m_maxLevel;
    if (m_kind == ScreenKind::Ordered) {
        const std::uint8_t* bayer = kBayer[y & 7];
        for (int x = 0; x < m_width; ++x) {
            // level = floor(ink * L / 255 + t), t in (0, 1)
            const int scaled = ink[x] * L * 64 + (2 * bayer[x & 7] + 1) * 255 / 2;
            m_levels[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(std::min(L, scaled / (255 * 64)));
        }
    } else {
        // Floyd-Steinberg, serpentine, error in units of 1/16 ink.
        std::fill(m_errNext.begin(), m_errNext.end(), 0);
        int* cur = m_errCur.data() + 1;
        int* next = m_errNext.data() + 1;
        const int dir = m_leftToRight ? 1 : -1;
        int x = m_leftToRight ? 0 : m_width - 1;
        for (int n = 0; n < m_width; ++n, x += dir) {
            const int want = ink[x] * 16 + cur[x];
            int level = (want * L + 255 * 8) / (255 * 16);
            level = std::clamp(level, 0, L);
            const int err = want - level * 255 * 16 / L;
            m_levels[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(level);
            cur[x + dir] += err * 7 / 16;
            next[x - dir] += err * 3 / 16;
            next[x] += err * 5 / 16;
            next[x + dir] += err - err * 7 / 16 - err * 3 / 16 - err * 5 / 16;
        }
        m_errCur.swap(m_errNext);
        m_leftToRight = !m_leftToRight;
    }
    PackLevels(m_levels.data(), m_width, m_bits, packed);
}

} // namespace rasterjob
