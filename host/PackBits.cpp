#include "PackBits.h"

#include <cstdint>
#include <cstring>
#if defined(__x86_64__)
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

// One flag bit per byte of x that is zero, gathered into the low byte.
inline std::uint64_t ZeroFlags(std::uint64_t x)
{
    return ((ZeroBytes(x) >> 7) * 0x0102040810204080ULL) >> 56;
}

inline std::uint64_t EqualNext(const BYTE* p)
{
    std::uint64_t m = 0;
    for (int q = 0; q < 8; ++q)
        m |= ZeroFlags(Load64(p + 8 * q) ^ Load64(p + 8 * q + 1)) << (8 * q);
    return m;
}

constexpr std::size_t kRunStep = 8;

inline std::uint64_t EqualTo(const BYTE* p, BYTE v)
{
    const std::uint64_t x = Load64(p) ^ (kOnes * v);
    return x ? ZeroFlags(x) : 0xFF; // long runs take the short way
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

#if defined(__x86_64__)
#define MIMAKI_PACKBITS_X86 1

// Every x86-64 processor has SSE2: the versions for it and for the wider
// units share the 16-byte copy.
inline void Copy16Sse(BYTE* dst, const BYTE* src)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
}

namespace sse2 {

inline std::uint64_t Equal16(__m128i a, __m128i b)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
}

inline __m128i Load16(const BYTE* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline std::uint64_t EqualNext(const BYTE* p)
{
    std::uint64_t m = 0;
    for (int q = 0; q < 4; ++q)
        m |= Equal16(Load16(p + 16 * q), Load16(p + 16 * q + 1)) << (16 * q);
    return m;
}

constexpr std::size_t kRunStep = 32;

inline std::uint64_t EqualTo(const BYTE* p, BYTE v)
{
    const __m128i b = _mm_set1_epi8(static_cast<char>(v));
    return Equal16(Load16(p + 16), b) << 16 | Equal16(Load16(p), b);
}

constexpr auto Copy16 = Copy16Sse;

inline void Copy64(BYTE* dst, const BYTE* src)
{
    for (int q = 0; q < 4; ++q)
        Copy16Sse(dst + 16 * q, src + 16 * q);
}

#include "PackBits.inc"

} // namespace sse2

// Clang takes the target as a function attribute, GCC as a pragma.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi,bmi2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2")
#endif
namespace avx2 {

inline std::uint64_t Equal32(__m256i a, __m256i b)
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
}

inline __m256i Load32(const BYTE* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline std::uint64_t EqualNext(const BYTE* p)
{
    return Equal32(Load32(p + 32), Load32(p + 33)) << 32 | Equal32(Load32(p), Load32(p + 1));
}

constexpr std::size_t kRunStep = 64;

inline std::uint64_t EqualTo(const BYTE* p, BYTE v)
{
    const __m256i b = _mm256_set1_epi8(static_cast<char>(v));
    return Equal32(Load32(p + 32), b) << 32 | Equal32(Load32(p), b);
}

constexpr auto Copy16 = Copy16Sse;

inline void Copy64(BYTE* dst, const BYTE* src)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32), b);
}

#include "PackBits.inc"

} // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Clang takes the target as a function attribute, GCC as a pragma.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx2,bmi,bmi2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx2,bmi,bmi2")
#endif
namespace avx512 {

inline std::uint64_t EqualNext(const BYTE* p)
{
    return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_loadu_si512(p + 1));
}

constexpr std::size_t kRunStep = 64;

inline std::uint64_t EqualTo(const BYTE* p, BYTE v)
{
    return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), _mm512_set1_epi8(static_cast<char>(v)));
}

constexpr auto Copy16 = Copy16Sse;

inline void Copy64(BYTE* dst, const BYTE* src)
{
    _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
}

#include "PackBits.inc"

} // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
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
    // With room for a whole packet on both sides, every packet is copied or
    // filled at its largest size (fixed-size moves, no library call); the
    // bytes past its end are overwritten by the packets that follow.
    while (out + 128 <= dstLen && in + 129 <= srcLen) {
        const BYTE h = src[in++];
        if (h < 128) {
            const std::size_t c = static_cast<std::size_t>(h) + 1;
            if (out + c > dstLen)
                return -1;
            std::memcpy(dst + out, src + in, 128);
            in += c;
            out += c;
        } else if (h > 128) {
            const std::size_t c = 257 - static_cast<std::size_t>(h);
            std::memset(dst + out, src[in++], 128);
            out += c;
        }
    }
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
