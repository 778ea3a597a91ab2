#include "PackBits.h"

#include <cstdint>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

inline std::uint64_t Load64(const BYTE* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The portable coder: eight bytes at a time in general registers.
namespace scalar {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// Bit 7 of every byte of the result is set where the byte of v is zero.
inline std::uint64_t ZeroBytes(std::uint64_t v)
{
    return ~(((v & kLow7) + kLow7) | v | kLow7);
}

inline std::uint64_t EqualNext(const BYTE* src, std::size_t p)
{
    std::uint64_t m = 0;
    for (int q = 0; q < 8; ++q) {
        const std::uint64_t z = ZeroBytes(Load64(src + p + 8 * q) ^ Load64(src + p + 8 * q + 1)) >> 7;
        // Gathers the eight flag bits (one per byte) into the low byte.
        m |= ((z * 0x0102040810204080ULL) >> 56) << (8 * q);
    }
    return m;
}

inline std::size_t RunFrom(const BYTE* src, std::size_t j, std::size_t n)
{
    const std::uint64_t pattern = kOnes * src[j];
    std::size_t k = j + 1;
    while (k + 8 <= n) {
        const std::uint64_t x = Load64(src + k) ^ pattern;
        if (x)
            return k + static_cast<std::size_t>(__builtin_ctzll(x) >> 3);
        k += 8;
    }
    while (k < n && src[k] == src[j])
        ++k;
    return k;
}

inline void Copy16(BYTE* dst, const BYTE* src)
{
    std::memcpy(dst, src, 16);
}

inline void Copy64(BYTE* dst, const BYTE* src)
{
    std::memcpy(dst, src, 64);
}

#include "PackBits.inc"

} // namespace scalar

#if defined(__x86_64__) || defined(__i386__)
#define MIMAKI_PACKBITS_X86 1

// Every x86-64 processor has SSE2.
#pragma GCC push_options
#pragma GCC target("sse2")
namespace sse2 {

inline std::uint64_t EqualNext(const BYTE* src, std::size_t p)
{
    std::uint64_t m = 0;
    for (int q = 0; q < 4; ++q) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + p + 16 * q));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + p + 16 * q + 1));
        m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)))) << (16 * q);
    }
    return m;
}

inline std::size_t RunFrom(const BYTE* src, std::size_t j, std::size_t n)
{
    const __m128i v = _mm_set1_epi8(static_cast<char>(src[j]));
    std::size_t k = j + 1;
    while (k + 16 <= n) {
        const unsigned m = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k)), v)));
        if (m != 0xFFFF)
            return k + static_cast<std::size_t>(__builtin_ctz(~m));
        k += 16;
    }
    while (k < n && src[k] == src[j])
        ++k;
    return k;
}

inline void Copy16(BYTE* dst, const BYTE* src)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
}

inline void Copy64(BYTE* dst, const BYTE* src)
{
    for (int q = 0; q < 4; ++q)
        Copy16(dst + 16 * q, src + 16 * q);
}

#include "PackBits.inc"

} // namespace sse2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2")
namespace avx2 {

inline std::uint64_t EqualNext(const BYTE* src, std::size_t p)
{
    const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + p));
    const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + p + 1));
    const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + p + 32));
    const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + p + 33));
    const auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a0, b0)));
    const auto hi = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a1, b1)));
    return static_cast<std::uint64_t>(hi) << 32 | lo;
}

inline std::size_t RunFrom(const BYTE* src, std::size_t j, std::size_t n)
{
    const __m256i v = _mm256_set1_epi8(static_cast<char>(src[j]));
    std::size_t k = j + 1;
    while (k + 64 <= n) {
        const auto* p = reinterpret_cast<const __m256i*>(src + k);
        const auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p), v)));
        const auto hi =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p + 1), v)));
        const std::uint64_t m = static_cast<std::uint64_t>(hi) << 32 | lo;
        if (~m)
            return k + static_cast<std::size_t>(__builtin_ctzll(~m));
        k += 64;
    }
    while (k < n && src[k] == src[j])
        ++k;
    return k;
}

inline void Copy16(BYTE* dst, const BYTE* src)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
}

inline void Copy64(BYTE* dst, const BYTE* src)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32), b);
}

#include "PackBits.inc"

} // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx2,bmi,bmi2")
namespace avx512 {

inline std::uint64_t EqualNext(const BYTE* src, std::size_t p)
{
    return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(src + p), _mm512_loadu_si512(src + p + 1));
}

inline std::size_t RunFrom(const BYTE* src, std::size_t j, std::size_t n)
{
    const __m512i v = _mm512_set1_epi8(static_cast<char>(src[j]));
    std::size_t k = j + 1;
    while (k + 64 <= n) {
        const std::uint64_t m = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(src + k), v);
        if (~m)
            return k + static_cast<std::size_t>(__builtin_ctzll(~m));
        k += 64;
    }
    while (k < n && src[k] == src[j])
        ++k;
    return k;
}

inline void Copy16(BYTE* dst, const BYTE* src)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
}

inline void Copy64(BYTE* dst, const BYTE* src)
{
    _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
}

#include "PackBits.inc"

} // namespace avx512
#pragma GCC pop_options
#endif

using EncodeFn = int (*)(BYTE*, const BYTE*, std::size_t, std::size_t);

struct Coder {
    PackBitsPath path;
    const char* name;
    EncodeFn fast;    // dst holds packbits_bound(len) bytes
    EncodeFn checked; // dst holds the given capacity
    bool (*available)();
};

bool Always() { return true; }
#ifdef MIMAKI_PACKBITS_X86
bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
}
bool HasAvx512bw()
{
    __builtin_cpu_init();
    return HasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}
#endif

// Fastest last.
const Coder kCoders[] = {
    {PackBitsPath::Scalar, "scalar", scalar::Encode<false>, scalar::Encode<true>, Always},
#ifdef MIMAKI_PACKBITS_X86
    {PackBitsPath::SSE2, "sse2", sse2::Encode<false>, sse2::Encode<true>, Always},
    {PackBitsPath::AVX2, "avx2", avx2::Encode<false>, avx2::Encode<true>, HasAvx2},
    {PackBitsPath::AVX512BW, "avx512bw", avx512::Encode<false>, avx512::Encode<true>, HasAvx512bw},
#endif
};

const Coder* Find(PackBitsPath path)
{
    for (const Coder& c : kCoders)
        if (c.path == path)
            return c.available() ? &c : nullptr;
    return nullptr;
}

// Chosen once, for the machine the program runs on.
const Coder& Active()
{
    static const Coder* const active = [] {
        const Coder* best = &kCoders[0];
        for (const Coder& c : kCoders)
            if (c.available())
                best = &c;
        return best;
    }();
    return *active;
}

} // namespace

int packbits_compress(BYTE* dst, const BYTE* src, int len)
{
    if (len <= 0)
        return 0;
    return Active().fast(dst, src, static_cast<std::size_t>(len), 0);
}

int packbits_compress_safe(BYTE* dst, const BYTE* src, int len, int capacity)
{
    if (len < 0 || capacity < 0)
        return -1;
    if (len == 0)
        return 0;
    return Active().checked(dst, src, static_cast<std::size_t>(len), static_cast<std::size_t>(capacity));
}

bool packbits_path_available(PackBitsPath path)
{
    return Find(path) != nullptr;
}

const char* packbits_path_name(PackBitsPath path)
{
    for (const Coder& c : kCoders)
        if (c.path == path)
            return c.name;
    return "none";
}

PackBitsPath packbits_active_path()
{
    return Active().path;
}

int packbits_compress_with(PackBitsPath path, BYTE* dst, const BYTE* src, int len, int capacity)
{
    const Coder* c = Find(path);
    if (!c || len < 0)
        return -1;
    if (len == 0)
        return 0;
    if (capacity < 0)
        return c->fast(dst, src, static_cast<std::size_t>(len), 0);
    return c->checked(dst, src, static_cast<std::size_t>(len), static_cast<std::size_t>(capacity));
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
