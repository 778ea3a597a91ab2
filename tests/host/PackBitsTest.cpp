#include "host/PackBits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

Bytes Compress(const Bytes& src)
{
    Bytes dst(packbits_bound(src.size()) + 1, 0xEE);
    const int n = packbits_compress(dst.data(), src.data(), static_cast<int>(src.size()));
    EXPECT_GE(n, 0);
    EXPECT_LE(static_cast<std::size_t>(n), packbits_bound(src.size()));
    EXPECT_EQ(dst[packbits_bound(src.size())], 0xEE) << "wrote past the bound";
    dst.resize(static_cast<std::size_t>(n));
    return dst;
}

Bytes Decode(const Bytes& coded, std::size_t len)
{
    Bytes out(len, 0xEE);
    const long used = packbits_decode(coded.data(), coded.size(), out.data(), out.size());
    EXPECT_EQ(used, static_cast<long>(coded.size()));
    return out;
}

Bytes Repeat(BYTE v, std::size_t n) { return Bytes(n, v); }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Count(std::size_t n, BYTE from = 0)
{
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<BYTE>(from + i);
    return out;
}

// Row shapes that stress the run finder: uniform, counting, pairs, runs of
// every short length, long runs around the 128 limit, and sparse halftone.
std::vector<std::pair<std::string, std::function<BYTE(std::size_t)>>> Shapes()
{
    return {
        {"zero", [](std::size_t) { return BYTE{0}; }},
        {"solid", [](std::size_t) { return BYTE{0xFF}; }},
        {"count", [](std::size_t i) { return static_cast<BYTE>(i); }},
        {"pairs", [](std::size_t i) { return static_cast<BYTE>(i / 2); }},
        {"triples", [](std::size_t i) { return static_cast<BYTE>(i / 3); }},
        {"growing runs", [](std::size_t i) {
             std::size_t k = 1;
             while (i >= k) { i -= k; ++k; }
             return static_cast<BYTE>(k);
         }},
        {"runs of 127..131", [](std::size_t i) { return static_cast<BYTE>((i / 129) * 7 + (i % 129 == 0)); }},
        {"sparse dots", [](std::size_t i) { return static_cast<BYTE>(i % 37 == 5 ? 0x40 : 0); }},
        {"alternating", [](std::size_t i) { return static_cast<BYTE>(i & 1 ? 0xAA : 0x55); }},
    };
}

std::vector<PackBitsPath> Paths()
{
    std::vector<PackBitsPath> paths;
    for (PackBitsPath p : {PackBitsPath::Scalar, PackBitsPath::SSE2, PackBitsPath::AVX2, PackBitsPath::AVX512BW})
        if (packbits_path_available(p))
            paths.push_back(p);
    return paths;
}

// Rows of the kinds a printer gets, each long enough for several windows of
// the coder: sparse dots over zero runs of every length, runs crossing the
// 64-byte windows and the 128-byte block limit, dither patterns, random;
// then every shape at every length up to 300, and random runs of few
// symbols, so that both kinds of block and every boundary case occur.
std::vector<Bytes> Rows()
{
    std::mt19937 rng(4242);
    std::vector<Bytes> rows;
    for (int kind = 0; kind < 8; ++kind)
        for (int k = 0; k < 60; ++k) {
            Bytes r(1 + rng() % 3000);
            for (std::size_t i = 0; i < r.size(); ++i) {
                switch (kind) {
                case 0: r[i] = rng() % 40 == 0 ? static_cast<BYTE>(1 << (rng() % 8)) : 0; break;
                case 1: r[i] = rng() % 4 == 0 ? static_cast<BYTE>(rng()) : 0; break;
                case 2: r[i] = rng() % 40 == 0 ? static_cast<BYTE>(rng()) : 0xFF; break;
                case 3: r[i] = static_cast<BYTE>((i / (1 + k % 7)) % 3 * 0x55); break;
                case 4: r[i] = static_cast<BYTE>(i % (2 + k % 5) == 0 ? 0x88 : 0x22); break;
                case 5: r[i] = i > 0 && rng() % (2 + k) != 0 ? r[i - 1] : static_cast<BYTE>(rng() % 3); break;
                case 6: r[i] = static_cast<BYTE>(rng()); break;
                default: r[i] = (i / (60 + k)) % 2 ? 0 : static_cast<BYTE>(rng() % 2 ? 0xAA : 0x55); break;
                }
            }
            rows.push_back(r);
        }
    rows.push_back(Bytes(23040, 0));
    rows.push_back(Bytes(23040, 0xFF));
    for (const auto& [name, gen] : Shapes())
        for (std::size_t len = 0; len <= 300; ++len) {
            Bytes r(len);
            for (std::size_t i = 0; i < len; ++i)
                r[i] = gen(i);
            rows.push_back(r);
        }
    for (int k = 0; k < 1000; ++k) {
        Bytes r(rng() % 1500);
        const unsigned symbols = 1 + rng() % 4;
        for (std::size_t i = 0; i < r.size();) {
            const BYTE v = static_cast<BYTE>(rng() % symbols * 0x55);
            std::size_t run = rng() % 3 == 0 ? 1 + rng() % 300 : 1 + rng() % 3;
            for (; run && i < r.size(); --run)
                r[i++] = v;
        }
        rows.push_back(r);
    }
    // Literal stretches of 129 interrupted by short runs.
    Bytes stretches;
    for (int k = 0; k < 40; ++k)
        stretches = Cat({stretches, Count(129, static_cast<BYTE>(k)), Repeat(0xF0, 3)});
    rows.push_back(stretches);
    return rows;
}

} // namespace

// Every version the processor has (the portable one always) codes every
// row to the same bytes as the portable one, within the bound, with and
// without a capacity, and the bytes decode to the row.
TEST(PackBits, EveryVersionCodesLikeThePortableOneAndDecodesBack)
{
    const std::vector<PackBitsPath> paths = Paths();
    ASSERT_GE(paths.size(), 1u);
    EXPECT_EQ(paths.front(), PackBitsPath::Scalar);
    EXPECT_TRUE(std::find(paths.begin(), paths.end(), packbits_active_path()) != paths.end());
    for (const Bytes& row : Rows()) {
        const int len = static_cast<int>(row.size());
        const Bytes expected = Compress(row);
        ASSERT_EQ(Decode(expected, row.size()), row) << "row of " << len;
        const int n = static_cast<int>(expected.size());
        for (PackBitsPath path : paths) {
            Bytes got(packbits_bound(row.size()) + 1, 0xEE);
            ASSERT_EQ(packbits_compress_with(path, got.data(), row.data(), len), n) << packbits_path_name(path);
            EXPECT_EQ(got.back(), 0xEE) << packbits_path_name(path) << ": wrote past the bound";
            got.resize(static_cast<std::size_t>(n));
            ASSERT_EQ(got, expected) << packbits_path_name(path) << ", row of " << len;
            if (len == 0)
                continue;
            // With a capacity: exactly enough, and one byte too little.
            Bytes safe(static_cast<std::size_t>(n) + 1, 0xEE);
            EXPECT_EQ(packbits_compress_with(path, safe.data(), row.data(), len, n), n);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), safe.begin()));
            EXPECT_EQ(safe.back(), 0xEE);
            Bytes tight(static_cast<std::size_t>(n) + 16, 0xEE);
            EXPECT_EQ(packbits_compress_with(path, tight.data(), row.data(), len, n - 1), -1);
            for (std::size_t g = static_cast<std::size_t>(n) - 1; g < tight.size(); ++g)
                ASSERT_EQ(tight[g], 0xEE) << packbits_path_name(path) << ": wrote past the capacity";
        }
    }
}

TEST(PackBits, KnownEncodings)
{
    EXPECT_EQ(Compress({}), Bytes{});
    EXPECT_EQ(Compress({7}), (Bytes{0x00, 7}));
    EXPECT_EQ(Compress({7, 7}), (Bytes{0x01, 7, 7}));
    EXPECT_EQ(Compress({7, 7, 7}), (Bytes{0xFE, 7}));
    EXPECT_EQ(Compress(Repeat(9, 128)), (Bytes{0x81, 9}));
    // 129: the byte left over opens a literal that later bytes can join.
    EXPECT_EQ(Compress(Repeat(9, 129)), (Bytes{0x81, 9, 0x00, 9}));
    EXPECT_EQ(Compress(Cat({Repeat(9, 129), {1}})), (Bytes{0x81, 9, 0x01, 9, 1}));
    // 130: two runs (127 + 3) beat 128 and a literal pair.
    EXPECT_EQ(Compress(Repeat(9, 130)), (Bytes{0x82, 9, 0xFE, 9}));
    EXPECT_EQ(Compress(Repeat(9, 258)), (Bytes{0x81, 9, 0x82, 9, 0xFE, 9}));
    EXPECT_EQ(Compress(Repeat(9, 131)), (Bytes{0x81, 9, 0xFE, 9}));
    EXPECT_EQ(Compress(Repeat(9, 256)), (Bytes{0x81, 9, 0x81, 9}));
    // Literals: 128 fit one header, 129 need two.
    EXPECT_EQ(Compress(Count(128)), Cat({{0x7F}, Count(128)}));
    EXPECT_EQ(Compress(Count(129)), Cat({{0x7F}, Count(128), {0x00, 128}}));
    // Mixed: literal, run, literal; pairs stay inside literals.
    EXPECT_EQ(Compress({1, 2, 3, 3, 3, 3, 4, 5, 5}), (Bytes{0x01, 1, 2, 0xFD, 3, 0x02, 4, 5, 5}));
    EXPECT_EQ(Compress({0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0}), (Bytes{0xFC, 0, 0x00, 0x40, 0xFC, 0}));
    EXPECT_EQ(Compress({1, 1, 2, 2, 3, 3}), (Bytes{0x05, 1, 1, 2, 2, 3, 3}));
}

TEST(PackBits, WorstCaseMeetsTheBound)
{
    // Incompressible data needs one header per 128 bytes.
    for (std::size_t len : {1u, 127u, 128u, 129u, 255u, 256u, 257u, 23040u}) {
        const Bytes src = Count(len);
        EXPECT_EQ(Compress(src).size(), packbits_bound(len)) << len;
    }
}

TEST(PackBits, NegativeOrZeroLength)
{
    BYTE dst[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    const BYTE src[1] = {1};
    EXPECT_EQ(packbits_compress(dst, src, 0), 0);
    EXPECT_EQ(packbits_compress(dst, src, -5), 0);
    EXPECT_EQ(packbits_compress_safe(dst, src, 0, 0), 0);
    EXPECT_EQ(packbits_compress_safe(dst, src, -1, 4), -1);
    EXPECT_EQ(packbits_compress_safe(dst, src, 1, -1), -1);
    EXPECT_EQ(dst[0], 0xEE);
}

TEST(PackBits, SafeNeverWritesPastCapacity)
{
    constexpr std::size_t kGuard = 64;
    std::mt19937 rng(99);
    std::vector<Bytes> rows = {Count(300), Repeat(0, 300), Repeat(5, 700),
                               Cat({Count(129), Repeat(1, 130), Count(3), Repeat(2, 3), Count(1)})};
    for (int k = 0; k < 20; ++k) {
        Bytes r(1 + rng() % 400);
        for (std::size_t i = 0; i < r.size(); ++i)
            r[i] = static_cast<BYTE>(rng() % 3 == 0 ? rng() : (i > 0 ? r[i - 1] : 0));
        rows.push_back(r);
    }
    for (const Bytes& src : rows) {
        const Bytes expected = Compress(src);
        const int len = static_cast<int>(src.size());
        for (std::size_t cap = 0; cap <= expected.size() + 2; ++cap) {
            Bytes buf(cap + kGuard, 0xA5);
            const int n = packbits_compress_safe(buf.data(), src.data(), len, static_cast<int>(cap));
            for (std::size_t g = cap; g < buf.size(); ++g)
                ASSERT_EQ(buf[g], 0xA5) << "byte " << g << " written with capacity " << cap;
            if (cap < expected.size()) {
                ASSERT_EQ(n, -1) << "capacity " << cap;
            } else {
                ASSERT_EQ(n, static_cast<int>(expected.size()));
                ASSERT_TRUE(std::equal(expected.begin(), expected.end(), buf.begin()));
            }
        }
    }
}

TEST(PackBits, DecodeRejectsTruncatedAndOverlongInput)
{
    BYTE out[8];
    // Literal header promising three bytes, two present.
    const BYTE truncLiteral[] = {0x02, 'a', 'b'};
    EXPECT_EQ(packbits_decode(truncLiteral, sizeof truncLiteral, out, 3), -1);
    // Run header without its byte.
    const BYTE truncRun[] = {0xFE};
    EXPECT_EQ(packbits_decode(truncRun, sizeof truncRun, out, 3), -1);
    // Source ends before the row is complete.
    const BYTE shortRow[] = {0xFE, 'z'};
    EXPECT_EQ(packbits_decode(shortRow, sizeof shortRow, out, 4), -1);
    // Run and literal longer than the row.
    const BYTE longRun[] = {0xFD, 'r'};
    EXPECT_EQ(packbits_decode(longRun, sizeof longRun, out, 3), -1);
    const BYTE longLiteral[] = {0x03, 1, 2, 3, 4};
    EXPECT_EQ(packbits_decode(longLiteral, sizeof longLiteral, out, 3), -1);
    // Nothing at all for a non-empty row.
    EXPECT_EQ(packbits_decode(nullptr, 0, out, 1), -1);
}

TEST(PackBits, DecodeSkipsNoOpAndStopsAtRowEnd)
{
    BYTE out[4] = {};
    const BYTE withNoOp[] = {0x80, 0x80, 0xFE, 'q', 0x80, 0x00, 'r'};
    EXPECT_EQ(packbits_decode(withNoOp, sizeof withNoOp, out, 4), 7);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "qqqr");
    // Bytes after the complete row are not consumed.
    const BYTE extra[] = {0xFF, 'a', 0x00, 'b', 0x80};
    EXPECT_EQ(packbits_decode(extra, sizeof extra, out, 2), 2);
    EXPECT_EQ(packbits_decode(extra, sizeof extra, out, 3), 4);
    EXPECT_EQ(packbits_decode(extra, sizeof extra, out, 0), 0);
    // A run of 128 (header 0x81) and a literal of 128 (0x7F).
    BYTE big[128];
    const BYTE run128[] = {0x81, 6};
    EXPECT_EQ(packbits_decode(run128, sizeof run128, big, sizeof big), 2);
    EXPECT_EQ(big[0], 6);
    EXPECT_EQ(big[127], 6);
}
