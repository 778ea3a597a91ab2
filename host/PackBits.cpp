#include "PackBits.h"

#include <cstdint>
#include <cstring>

namespace {

inline std::uint64_t Load64(const BYTE* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

// Bit 7 of every byte of the result is set where the byte of v is zero.
inline std::uint64_t ZeroBytes(std::uint64_t v)
{
    return ~(((v & kLow7) + kLow7) | v | kLow7);
}

// First position >= i where three equal bytes start, or n.
inline std::size_t FindRun3(const BYTE* src, std::size_t i, std::size_t n)
{
    // Each step compares bytes i..i+8 with their right neighbours; a triple
    // is two adjacent equal pairs, and one starting at the 8th pair is found
    // by the next step, hence the stride of 7.
    while (i + 9 <= n) {
        const std::uint64_t z = ZeroBytes(Load64(src + i) ^ Load64(src + i + 1));
        const std::uint64_t t = z & (z >> 8);
        if (t)
            return i + static_cast<std::size_t>(__builtin_ctzll(t) >> 3);
        i += 7;
    }
    for (; i + 2 < n; ++i)
        if (src[i] == src[i + 1] && src[i] == src[i + 2])
            return i;
    return n;
}

// Length of the run of equal bytes starting at j.
inline std::size_t RunLength(const BYTE* src, std::size_t j, std::size_t n)
{
    const std::uint64_t pattern = kOnes * src[j];
    std::size_t k = j + 1;
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
    while (i < n) {
        const std::size_t j = FindRun3(src, i, n);
        if (j >= n)
            break;
        if (!literals(lit, j))
            return -1;
        std::size_t r = RunLength(src, j, n);
        std::size_t pos = j;
        while (r >= 3) {
            const std::size_t c = r < 128 ? r : 128;
            if (!room(2))
                return -1;
            *out++ = static_cast<BYTE>(257 - c);
            *out++ = src[j];
            r -= c;
            pos += c;
        }
        // A remainder of one or two bytes opens the next literal.
        lit = pos;
        i = pos + r;
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
