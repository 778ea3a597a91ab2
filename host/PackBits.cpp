#include "PackBits.h"

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline std::uint64_t Load64(const BYTE* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

#if !defined(__SSE2__)
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// Bit 7 of every byte of the result is set where the byte of v is zero.
inline std::uint64_t ZeroBytes(std::uint64_t v)
{
    return ~(((v & kLow7) + kLow7) | v | kLow7);
}
#endif

// Bit k of the result is set when src[p+k] == src[p+k+1], for k = 0..63;
// pairs that reach past the row count as unequal. One mask covers 64
// positions, so the coder takes one branch per run instead of per byte.
inline std::uint64_t EqualNext(const BYTE* src, std::size_t p, std::size_t n)
{
    if (p + 65 <= n) {
#if defined(__SSE2__)
        std::uint64_t m = 0;
        for (int q = 0; q < 4; ++q) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + p + 16 * q));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + p + 16 * q + 1));
            m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b))))
                 << (16 * q);
        }
        return m;
#else
        std::uint64_t m = 0;
        for (int q = 0; q < 8; ++q) {
            const std::uint64_t z = ZeroBytes(Load64(src + p + 8 * q) ^ Load64(src + p + 8 * q + 1)) >> 7;
            // Gathers the eight flag bits (one per byte) into the low byte.
            m |= ((z * 0x0102040810204080ULL) >> 56) << (8 * q);
        }
        return m;
#endif
    }
    std::uint64_t m = 0;
    for (std::size_t k = 0; k < 64 && p + k + 1 < n; ++k)
        m |= static_cast<std::uint64_t>(src[p + k] == src[p + k + 1]) << k;
    return m;
}

// Length of the run of equal bytes starting at j.
inline std::size_t RunLength(const BYTE* src, std::size_t j, std::size_t n)
{
    const std::uint64_t pattern = kOnes * src[j];
    std::size_t k = j + 1;
#if defined(__SSE2__)
    // Long runs (blank and solid stretches) in steps of 64 bytes.
    const __m128i v = _mm_set1_epi8(static_cast<char>(src[j]));
    while (k + 64 <= n) {
        const auto* p = reinterpret_cast<const __m128i*>(src + k);
        const __m128i all = _mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p), v), _mm_cmpeq_epi8(_mm_loadu_si128(p + 1), v)),
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(p + 2), v), _mm_cmpeq_epi8(_mm_loadu_si128(p + 3), v)));
        if (_mm_movemask_epi8(all) != 0xFFFF)
            break;
        k += 64;
    }
#endif
    while (k + 8 <= n) {
        const std::uint64_t x = Load64(src + k) ^ pattern;
        if (x)
            return k + static_cast<std::size_t>(__builtin_ctzll(x) >> 3) - j;
        k += 8;
    }
    while (k < n && src[k] == src[j])
        ++k;
    return k - j;
}

template <bool Checked>
int Encode(BYTE* dst, const BYTE* src, std::size_t n, std::size_t cap)
{
    BYTE* out = dst;
    auto room = [&](std::size_t need) { return !Checked || static_cast<std::size_t>(out - dst) + need <= cap; };
    auto literals = [&](std::size_t from, std::size_t to) {
        while (from < to) {
            const std::size_t c = to - from < 128 ? to - from : 128;
            if (!room(c + 1))
                return false;
            *out++ = static_cast<BYTE>(c - 1);
            std::memcpy(out, src + from, c);
            out += c;
            from += c;
        }
        return true;
    };
    std::size_t lit = 0;
    std::size_t i = 0;
    while (i + 2 < n) {
        const std::uint64_t eq = EqualNext(src, i, n);
        // Bit k: three equal bytes start at i+k (k = 0..62).
        const std::uint64_t triples = eq & (eq >> 1);
        if (!triples) {
            i += 63;
            continue;
        }
        const std::size_t j = i + static_cast<std::size_t>(__builtin_ctzll(triples));
        // The run ends at the first unequal pair from j on; when the mask
        // holds none, it goes on past the 64 positions.
        const std::uint64_t ends = ~eq >> (j - i);
        const std::size_t e = ends ? j + static_cast<std::size_t>(__builtin_ctzll(ends)) + 1
                                   : i + 64 + RunLength(src, i + 64, n);
        if (!literals(lit, j))
            return -1;
        std::size_t r = e - j;
        while (r >= 3) {
            // 130 goes out as 127 + 3: two runs beat 128 and a literal pair.
            const std::size_t c = r == 130 ? 127 : r < 128 ? r : 128;
            if (!room(2))
                return -1;
            *out++ = static_cast<BYTE>(257 - c);
            *out++ = src[j];
            r -= c;
        }
        // A remainder of one or two bytes opens the next literal.
        lit = e - r;
        i = e;
    }
    if (!literals(lit, n))
        return -1;
    return static_cast<int>(out - dst);
}

} // namespace

int packbits_compress(BYTE* dst, const BYTE* src, int len)
{
    if (len <= 0)
        return 0;
    return Encode<false>(dst, src, static_cast<std::size_t>(len), 0);
}

int packbits_compress_safe(BYTE* dst, const BYTE* src, int len, int capacity)
{
    if (len < 0 || capacity < 0)
        return -1;
    if (len == 0)
        return 0;
    return Encode<true>(dst, src, static_cast<std::size_t>(len), static_cast<std::size_t>(capacity));
}

long packbits_decode(const BYTE* src, std::size_t srcLen, BYTE* dst, std::size_t dstLen)
{
    std::size_t in = 0;
    std::size_t out = 0;
    while (out < dstLen) {
        if (in >= srcLen)
            return -1;
        const BYTE h = src[in++];
        if (h < 128) {
            const std::size_t c = static_cast<std::size_t>(h) + 1;
            if (in + c > srcLen || out + c > dstLen)
                return -1;
            std::memcpy(dst + out, src + in, c);
            in += c;
            out += c;
        } else if (h > 128) {
            const std::size_t c = 257 - static_cast<std::size_t>(h);
            if (in >= srcLen || out + c > dstLen)
                return -1;
            std::memset(dst + out, src[in++], c);
            out += c;
        }
    }
    return static_cast<long>(in);
}
