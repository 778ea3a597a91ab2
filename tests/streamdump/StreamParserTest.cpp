// Whole streams built byte by byte, one command set at a time, and every
// way a stream can be malformed.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/Bytes.h"
#include "tools/common/RasterDigest.h"
#include "tools/common/Sha256.h"
#include "tools/streamdump/StreamParser.h"

using namespace streamparse;

namespace {

constexpr int ESC = 0x1B;
constexpr int CR = 0x0D;
constexpr int LF = 0x0A;
constexpr int FF = 0x0C;

constexpr auto B = &testsupport::Bytes;

std::vector<std::uint8_t> V(std::initializer_list<int> bytes)
{
    std::vector<std::uint8_t> v;
    for (int b : bytes)
        v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

std::vector<std::uint8_t> Repeat(int byte, std::size_t n) { return std::vector<std::uint8_t>(n, static_cast<std::uint8_t>(byte)); }

std::string Str(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// Digest of the given rows (row 0 first), by the shared rule.
std::string DigestOf(std::initializer_list<std::vector<std::uint8_t>> rows)
{
    RasterDigest d;
    for (const auto& r : rows)
        d.AddRow(r.data(), r.size());
    return d.Hex();
}

std::string ErrorText(const ParseResult& r)
{
    std::string s;
    for (const ParseError& e : r.errors)
        s += "  at " + std::to_string(e.offset) + ": " + e.message + (e.fatal ? " (fatal)" : "") + "\n";
    return s;
}

#define EXPECT_CLEAN(r) EXPECT_TRUE((r).ok()) << ErrorText(r)

// Asserts a single error at offset whose message contains text.
void ExpectOneError(const ParseResult& r, std::size_t offset, const std::string& text, bool fatal)
{
    ASSERT_EQ(r.errors.size(), 1u) << ErrorText(r);
    EXPECT_EQ(r.errors[0].offset, offset) << r.errors[0].message;
    EXPECT_NE(r.errors[0].message.find(text), std::string::npos) << r.errors[0].message;
    EXPECT_EQ(r.errors[0].fatal, fatal);
}

// MRL III row prefix and band end as the plain MRL III driver sends them.
const std::string kQY = B({'Q', 'Y', 5, 0, 0, 0, 0, 0});
const std::string kQR0 = B({'Q', 'R', 1, 0});
const std::string kQR1 = B({'Q', 'R', 1, 1});

// ---------------------------------------------------------------- set 0

TEST(StreamParserSet0, RawRowsOfTwoColoursWithJobFraming)
{
    const std::string s = B({ESC, '@', ESC, '(', 'U', 1, 0, 5}) +
                          // row 0: black 2 bytes, cyan 3 bytes
                          B({ESC, 'r', 0, ESC, '.', 0, 5, 5, 1, 16, 0, 0xF0, 0x0F, CR}) +
                          B({ESC, 'r', 2, ESC, '.', 0, 5, 5, 1, 24, 0, 0x01, 0x02, 0x03, CR, LF}) +
                          // row 1: black only
                          B({ESC, 'r', 0, ESC, '.', 0, 5, 5, 1, 16, 0, 0xAA, 0x55, CR, LF}) + B({FF, 0xFF});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    EXPECT_EQ(r.bytesParsed, s.size());
    EXPECT_EQ(r.formats, std::vector<RasterFormat>{RasterFormat::Set0});
    EXPECT_EQ(r.Count("ESC @"), 1u);
    EXPECT_EQ(r.Count("ESC (U"), 1u);
    EXPECT_EQ(r.Count("ESC r"), 3u);
    EXPECT_EQ(r.Count("ESC ."), 3u);
    EXPECT_EQ(r.Count("CR"), 3u);
    EXPECT_EQ(r.Count("LF"), 2u);
    EXPECT_EQ(r.Count("FF"), 1u);
    EXPECT_EQ(r.Count("0xFF"), 1u);

    ASSERT_EQ(r.layers.size(), 1u);
    EXPECT_EQ(r.layers[0].rows, 2);
    EXPECT_EQ(r.layers[0].endedBy, "FF");
    EXPECT_EQ(r.layers[0].endOffset, s.size() - 1);

    ASSERT_EQ(r.planes.size(), 2u);
    const Plane* black = r.FindPlane(0, 0);
    ASSERT_NE(black, nullptr);
    EXPECT_EQ(black->bitsPerPixel, 1);
    EXPECT_EQ(black->rows, 2);
    EXPECT_EQ(black->bytesPerRow, 2);
    EXPECT_EQ(black->records, 2u);
    EXPECT_EQ(black->firstOffset, 11u);
    EXPECT_EQ(black->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({0xF0, 0x0F}), V({0xAA, 0x55})}));
    EXPECT_EQ(black->digest, DigestOf({V({0xF0, 0x0F}), V({0xAA, 0x55})}));
    const Plane* cyan = r.FindPlane(0, 2);
    ASSERT_NE(cyan, nullptr);
    EXPECT_EQ(cyan->rows, 1);
    EXPECT_EQ(cyan->key.density, -1);
    EXPECT_EQ(*cyan->RowAt(0), V({1, 2, 3}));
    EXPECT_EQ(cyan->digest, DigestOf({V({1, 2, 3})}));
}

TEST(StreamParserSet0, PackBitsFeedAndShortRowsDigestLikeBlankRowsAndFullRows)
{
    // Row 0 coded: 4 zeros, literal 11 22, two 33s. Then a feed of 3 and a
    // row of 2 bytes whose last byte is zero.
    const std::string fed = B({ESC, 'r', 1, ESC, '.', 1, 5, 5, 1, 64, 0, 0xFD, 0x00, 0x01, 0x11, 0x22, 0xFF, 0x33, CR, LF}) +
                            B({ESC, '(', 'v', 2, 0, 3, 0}) +
                            B({ESC, 'r', 1, ESC, '.', 0, 5, 5, 1, 16, 0, 0x80, 0x00, CR, LF});
    const ParseResult r = ParseStream(fed);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.planes.size(), 1u);
    const Plane& m = r.planes[0];
    EXPECT_EQ(m.key.colour, 1);
    EXPECT_EQ(m.rows, 5);
    EXPECT_EQ(m.records, 2u);
    EXPECT_EQ(m.compressedRecords, 1u);
    EXPECT_EQ(m.bytesPerRow, 8);
    EXPECT_EQ(*m.RowAt(0), V({0, 0, 0, 0, 0x11, 0x22, 0x33, 0x33}));
    EXPECT_EQ(m.RowAt(2), nullptr);
    EXPECT_EQ(*m.RowAt(4), V({0x80, 0x00}));
    EXPECT_EQ(m.firstInkRow, 0);
    EXPECT_EQ(m.lastInkRow, 4);
    EXPECT_EQ(r.layers[0].rows, 5);
    EXPECT_EQ(r.Count("ESC (v"), 1u);

    // The same page with blank rows sent in full instead of the feed, and
    // the last row at full width, prints the same.
    std::string blank;
    for (int i = 0; i < 3; ++i)
        blank += B({ESC, 'r', 1, ESC, '.', 0, 5, 5, 1, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0, CR, LF});
    const std::string sent = B({ESC, 'r', 1, ESC, '.', 0, 5, 5, 1, 64, 0, 0, 0, 0, 0, 0x11, 0x22, 0x33, 0x33, CR, LF}) +
                             blank + B({ESC, 'r', 1, ESC, '.', 0, 5, 5, 1, 64, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, CR, LF});
    const ParseResult r2 = ParseStream(sent);
    EXPECT_CLEAN(r2);
    ASSERT_EQ(r2.planes.size(), 1u);
    EXPECT_EQ(r2.planes[0].digest, m.digest);
    EXPECT_EQ(m.digest, DigestOf({V({0, 0, 0, 0, 0x11, 0x22, 0x33, 0x33}), {}, {}, {}, V({0x80})}));
}

TEST(StreamParserSet0, NinetyBytesAsSevenHundredTwentyDots)
{
    std::string s = B({ESC, 'r', 4, ESC, '.', 0, 10, 10, 1, 0xD0, 0x02});
    std::vector<std::uint8_t> row(90);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<std::uint8_t>(i * 7 + 1);
    s += Str(row) + B({CR, LF});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.planes.size(), 1u);
    EXPECT_EQ(r.planes[0].bytesPerRow, 90);
    EXPECT_EQ(*r.planes[0].RowAt(0), row);
}

// ---------------------------------------------------------------- set 1 / 3

TEST(StreamParserSet1, DensityTellsLightFromDarkInkOfOneColourByte)
{
    const std::string s = B({ESC, '(', 'r', 2, 0, 0, 2, ESC, '.', 0, 10, 10, 1, 8, 0, 0xC3, CR}) +
                          B({ESC, '(', 'r', 2, 0, 1, 2, ESC, '.', 0, 10, 10, 1, 8, 0, 0x3C, CR, LF}) +
                          B({ESC, '(', 'r', 2, 0, 1, 2, ESC, '.', 1, 10, 10, 1, 16, 0, 0xFF, 0x99, CR, LF});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    EXPECT_EQ(r.formats, std::vector<RasterFormat>{RasterFormat::Set1});
    EXPECT_EQ(r.Count("ESC (r"), 3u);
    ASSERT_EQ(r.planes.size(), 2u);
    const Plane* dark = r.FindPlane(PlaneKey{0, 2, 0});
    const Plane* light = r.FindPlane(PlaneKey{0, 2, 1});
    ASSERT_TRUE(dark && light);
    EXPECT_EQ(dark->format, RasterFormat::Set1);
    EXPECT_EQ(dark->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({0xC3})}));
    EXPECT_EQ(light->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({0x3C}), V({0x99, 0x99})}));
    EXPECT_EQ(light->compressedRecords, 1u);
    EXPECT_EQ(r.FindPlane(0, 2), nullptr);  // no plane without density in this format
}

TEST(StreamParserSet3, OneBitRowsUseSet1AndTwoBitRowsSet2Headers)
{
    // Set 3 at 1 bit per pixel: ESC "(r" (0, 4) yellow.
    const ParseResult one = ParseStream(B({ESC, '(', 'r', 2, 0, 0, 4, ESC, '.', 0, 5, 5, 1, 8, 0, 0x81, CR, LF}));
    EXPECT_CLEAN(one);
    ASSERT_EQ(one.planes.size(), 1u);
    EXPECT_EQ(one.planes[0].key, (PlaneKey{0, 4, 0}));
    EXPECT_EQ(one.planes[0].bitsPerPixel, 1);

    // Set 3 at 2 bits per pixel: ESC "i" with n as colour, PackBits on.
    const ParseResult two = ParseStream(B({ESC, 'i', 6, 1, 2, 4, 0, 1, 0, 0xFD, 0xE4, CR, LF}));
    EXPECT_CLEAN(two);
    ASSERT_EQ(two.planes.size(), 1u);
    EXPECT_EQ(two.planes[0].key, (PlaneKey{0, 6}));
    EXPECT_EQ(two.planes[0].bitsPerPixel, 2);
    EXPECT_EQ(*two.planes[0].RowAt(0), Repeat(0xE4, 4));
}

// ---------------------------------------------------------------- set 2

TEST(StreamParserSet2, TwoBitAndCompressedRowsAndMultiLineRecords)
{
    const std::string s = B({ESC, 'i', 4, 0, 2, 3, 0, 1, 0, 0xE4, 0x1B, 0x00, CR}) +
                          B({ESC, 'i', 18, 1, 1, 6, 0, 1, 0, 0xFB, 0x7E, CR, LF}) +
                          // Two lines of 2 bytes in one record.
                          B({ESC, 'i', 4, 0, 2, 2, 0, 2, 0, 0x01, 0x02, 0x03, 0x04, CR, LF});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    EXPECT_EQ(r.formats, std::vector<RasterFormat>{RasterFormat::Set2});
    const Plane* yellow = r.FindPlane(0, 4);
    const Plane* lightCyan = r.FindPlane(0, 18);
    ASSERT_TRUE(yellow && lightCyan);
    EXPECT_EQ(yellow->bitsPerPixel, 2);
    EXPECT_EQ(yellow->rows, 3);
    EXPECT_EQ(yellow->DenseRows(),
              (std::vector<std::vector<std::uint8_t>>{V({0xE4, 0x1B, 0x00}), V({1, 2}), V({3, 4})}));
    EXPECT_EQ(yellow->digest, DigestOf({V({0xE4, 0x1B}), V({1, 2}), V({3, 4})}));
    EXPECT_EQ(lightCyan->bitsPerPixel, 1);
    EXPECT_EQ(*lightCyan->RowAt(0), Repeat(0x7E, 6));
    EXPECT_EQ(r.layers[0].rows, 3);  // the second line reaches row 2
}

// ---------------------------------------------------------------- set 4 (MRL III)

TEST(StreamParserMrl3, PlainDriverRowsFeedAndJobEnd)
{
    // Yellow, 1 bit, PackBits, 300 bytes: 128 × AA, 128 × AA, 44 × 55.
    const std::string yellowRow = kQY + kQR0 + B({'Q', 'D', 7, 0x04, 0x01, 0x01, 0x2C, 0x01, 0x01, 0x00}) +
                                  B({0x81, 0xAA, 0x81, 0xAA, 0xD5, 0x55});
    const std::string blackRow = kQY + kQR0 + B({'Q', 'D', 7, 0, 0, 2, 3, 0, 1, 0, 0x1B, 0x00, 0xE4});
    const std::string s = B({'Q', '@', 0}) + B({'Q', 'C', 2, 0xFF, 0x01}) + yellowRow + blackRow + kQR1 +
                          B({'Q', 'X', 5, 1, 2, 0, 0, 0}) + kQY + kQR0 + B({'Q', 'D', 7, 0, 0, 2, 2, 0, 1, 0, 0x00, 0x40}) +
                          kQR1 + B({'Q', 'E', 0});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    EXPECT_EQ(r.formats, std::vector<RasterFormat>{RasterFormat::Mrl3Qd7});
    EXPECT_EQ(r.Count("QD"), 3u);
    EXPECT_EQ(r.Count("QY"), 3u);
    EXPECT_EQ(r.Count("QR"), 5u);
    EXPECT_EQ(r.Count("QX"), 1u);
    EXPECT_EQ(r.Count("QC"), 1u);
    ASSERT_EQ(r.layers.size(), 1u);
    EXPECT_EQ(r.layers[0].endedBy, "QE");
    EXPECT_EQ(r.layers[0].rows, 4);

    const Plane* yellow = r.FindPlane(0, 4);
    ASSERT_NE(yellow, nullptr);
    std::vector<std::uint8_t> expect = Repeat(0xAA, 256);
    const auto tail = Repeat(0x55, 44);
    expect.insert(expect.end(), tail.begin(), tail.end());
    EXPECT_EQ(*yellow->RowAt(0), expect);
    EXPECT_EQ(yellow->bytesPerRow, 300);
    EXPECT_EQ(yellow->format, RasterFormat::Mrl3Qd7);

    const Plane* black = r.FindPlane(0, 0);
    ASSERT_NE(black, nullptr);
    EXPECT_EQ(black->bitsPerPixel, 2);
    EXPECT_EQ(black->rows, 4);
    EXPECT_EQ(black->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({0x1B, 0, 0xE4}), {}, {}, V({0, 0x40})}));
    EXPECT_EQ(black->digest, DigestOf({V({0x1B, 0, 0xE4}), {}, {}, V({0, 0x40})}));
}

TEST(StreamParserMrl3, LongDescriptorsKeepSubLayersApartAndCheckStoredCounts)
{
    // Short-header layer sections: colour in sub-layer 0 and 2, white in 1.
    auto qd10 = [](int colour, int comp, int raw, int stored, int sub) {
        return B({'Q', 'R', 1, 0, 'Q', 'D', 10, colour, comp, 1, raw, 0, 1, 0, stored, 0, sub});
    };
    const std::string s = qd10(0, 0, 2, 2, 0) + B({0x12, 0x34}) + qd10(254, 1, 5, 2, 1) + B({0xFC, 0xF0}) +
                          qd10(0, 1, 3, 4, 2) + B({0x02, 0x01, 0x02, 0x03}) + kQR1 + B({'Q', 'E', 0});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    EXPECT_EQ(r.formats, std::vector<RasterFormat>{RasterFormat::Mrl3Qd10});
    ASSERT_EQ(r.planes.size(), 3u);
    EXPECT_EQ(*r.FindPlane(PlaneKey{0, 0, -1, 0})->RowAt(0), V({0x12, 0x34}));
    EXPECT_EQ(*r.FindPlane(PlaneKey{0, 254, -1, 1})->RowAt(0), Repeat(0xF0, 5));
    EXPECT_EQ(*r.FindPlane(PlaneKey{0, 0, -1, 2})->RowAt(0), V({1, 2, 3}));

    // 9-byte descriptor (stored count, no sub-layer).
    const std::string s9 = kQR0 + kQY + B({'Q', 'D', 9, 255, 1, 2, 4, 0, 1, 0, 2, 0, 0xFD, 0x99}) + kQR1;
    const ParseResult r9 = ParseStream(s9);
    EXPECT_CLEAN(r9);
    ASSERT_EQ(r9.planes.size(), 1u);
    EXPECT_EQ(r9.planes[0].key, (PlaneKey{0, 255}));
    EXPECT_EQ(r9.planes[0].format, RasterFormat::Mrl3Qd9);
    EXPECT_EQ(r9.planes[0].bitsPerPixel, 2);
    EXPECT_EQ(*r9.planes[0].RowAt(0), Repeat(0x99, 4));
}

TEST(StreamParserMrl3, TwoRecordsOfOneColourInABandGoToTwoPlanes)
{
    auto row = [](int data) { return kQY + kQR0 + B({'Q', 'D', 7, 2, 0, 1, 1, 0, 1, 0, data}); };
    const std::string s = row(0x01) + row(0x02) + kQR1 + row(0x03) + row(0x04) + kQR1 + row(0x05) + kQR1;
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.planes.size(), 2u);
    const Plane* first = r.FindPlane(PlaneKey{0, 2, -1, -1, 0});
    const Plane* second = r.FindPlane(PlaneKey{0, 2, -1, -1, 1});
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({1}), V({3}), V({5})}));
    EXPECT_EQ(second->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({2}), V({4})}));
}

// ---------------------------------------------------------------- layers

TEST(StreamParserLayers, EachStartToEndIsALayerWithRowsFromZero)
{
    auto row = [](int colour, int data) { return kQY + kQR0 + B({'Q', 'D', 7, colour, 0, 1, 1, 0, 1, 0, data}); };
    const std::string layer0 =
        B({'Q', '@', 0, 'Q', 'P', 9, 1, 0xD0, 2, 0xD0, 2, 8, 1, 1, 0}) + row(0, 0x80) + kQR1 + B({'Q', 'E', 0});
    const std::string layer1 = B({'Q', '@', 0}) + row(254, 0xC0) + kQR1 + row(254, 0x40) + kQR1 + B({'Q', 'E', 0});
    const std::string s = layer0 + layer1;
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.layers.size(), 2u);
    EXPECT_EQ(r.layers[0].startOffset, 0u);
    EXPECT_EQ(r.layers[0].endOffset, layer0.size());
    EXPECT_EQ(r.layers[0].rows, 1);
    EXPECT_EQ(r.layers[1].index, 1);
    EXPECT_EQ(r.layers[1].startOffset, layer0.size());
    EXPECT_EQ(r.layers[1].endOffset, s.size());
    EXPECT_EQ(r.layers[1].endedBy, "QE");
    EXPECT_EQ(r.layers[1].rows, 2);
    ASSERT_EQ(r.planes.size(), 2u);
    EXPECT_EQ(r.planes[0].key, (PlaneKey{0, 0}));
    EXPECT_EQ(r.planes[1].key, (PlaneKey{1, 254}));
    EXPECT_EQ(r.planes[1].DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({0xC0}), V({0x40})}));
    EXPECT_EQ(r.planes[1].firstOffset, layer0.size() + 3 + kQY.size() + kQR0.size());
}

TEST(StreamParserLayers, AStartAfterPrintedRowsOpensTheNextLayer)
{
    // Layer strings without an end block between them.
    auto row = [](int data) { return kQY + kQR0 + B({'Q', 'D', 7, 0, 0, 1, 1, 0, 1, 0, data}); };
    const std::string first = B({'G', 'R', 0, 'Q', '@', 0}) + row(1) + kQR1 + row(2) + kQR1;
    const std::string s = first + B({'P', 'H', 2, 0xFF, 0xFF}) + B({'Q', '@', 0}) + row(3) + kQR1 + B({'Q', 'E', 0});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.layers.size(), 2u);
    EXPECT_EQ(r.layers[0].endedBy, "Q@");
    EXPECT_EQ(r.layers[0].endOffset, first.size() + 5);
    EXPECT_EQ(r.layers[1].startOffset, first.size() + 5);
    EXPECT_EQ(r.FindPlane(0, 0)->rows, 2);
    EXPECT_EQ(r.FindPlane(1, 0)->DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({3})}));
    EXPECT_EQ(r.Count("GR"), 1u);
    EXPECT_EQ(r.Count("PH"), 1u);
}

TEST(StreamParserLayers, FormFeedEndsAnEscpLayerAndTheNextStartsAtItsFirstCommand)
{
    const std::string colour = B({ESC, '@', ESC, '(', 'U', 1, 0, 5}) +
                               B({ESC, 'r', 0, ESC, '.', 0, 5, 5, 1, 8, 0, 0xFF, CR, LF}) +
                               B({ESC, '(', 'v', 2, 0, 10, 0, FF, 0xFF});
    const std::string white = B({'M', 'n', 1, 'W', 'C', 1}) + B({ESC, 'r', 6, ESC, '.', 0, 5, 5, 1, 8, 0, 0x0F, CR, LF}) +
                              B({FF, 0xFF});
    const ParseResult r = ParseStream(colour + white);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.layers.size(), 2u);
    EXPECT_EQ(r.layers[0].rows, 11);
    EXPECT_EQ(r.layers[0].endedBy, "FF");
    EXPECT_EQ(r.layers[1].startOffset, colour.size());
    EXPECT_EQ(r.layers[1].rows, 1);
    EXPECT_EQ(*r.FindPlane(1, 6)->RowAt(0), V({0x0F}));
    EXPECT_EQ(r.Count("Mn"), 1u);
    EXPECT_EQ(r.Count("WC"), 1u);
}

TEST(StreamParserLayers, BandEndBeforeEachLaterRowAndStreamsWithoutLayerCommands)
{
    // Slot-file playback: "QR 1 1" opens every row after the first.
    auto rec = [](int data) { return B({'Q', 'D', 7, 2, 0, 1, 1, 0, 1, 0, data}); };
    const std::string s = B({'Q', '@', 0}) + kQY + kQR0 + rec(1) + kQY + kQR1 + rec(2) + kQY + kQR1 + rec(3) +
                          B({'Q', 'X', 5, 1, 0, 0, 0, 0, 'Q', 'E', 0});
    const ParseResult r = ParseStream(s);
    EXPECT_CLEAN(r);
    ASSERT_EQ(r.layers.size(), 1u);
    EXPECT_EQ(r.layers[0].rows, 3);
    EXPECT_EQ(r.planes[0].DenseRows(), (std::vector<std::vector<std::uint8_t>>{V({1}), V({2}), V({3})}));

    const ParseResult bare = ParseStream(kQY + kQR0 + rec(7) + kQR1);
    EXPECT_CLEAN(bare);
    ASSERT_EQ(bare.layers.size(), 1u);
    EXPECT_EQ(bare.layers[0].endedBy, "end of stream");
    EXPECT_EQ(bare.planes[0].key.layer, 0);

    const ParseResult empty = ParseStream("");
    EXPECT_CLEAN(empty);
    ASSERT_EQ(empty.layers.size(), 1u);
    EXPECT_TRUE(empty.planes.empty());
}

// ---------------------------------------------------------------- job commands

// Every job command by name and parameters: the job command tests.
TEST(StreamParserJob, ExtraCommands)
{
    const std::string start = B({ESC, '@', 'M', 'D', 0xD0, 0x02, 0x68, 0x01, 'M', 'C', 2});
    const std::string s = start + B({'X', 'Z', 1, 2}) + B({ESC, 'r', 0, ESC, '.', 0, 5, 5, 1, 8, 0, 1, CR, LF});
    const std::size_t xzAt = start.size();

    const ParseResult unknown = ParseStream(s);
    ExpectOneError(unknown, xzAt, "unknown command", true);
    EXPECT_EQ(unknown.bytesParsed, xzAt);
    EXPECT_EQ(unknown.Count("MD") + unknown.Count("MC"), 2u);

    ParseOptions options;
    options.extraCommands["XZ"] = 2;
    const ParseResult known = ParseStream(s, options);
    EXPECT_CLEAN(known);
    EXPECT_EQ(known.Count("XZ"), 1u);
    EXPECT_EQ(known.planes.size(), 1u);
}

TEST(StreamParserJob, TraceTilesTheStreamAndRowsCanBeLeftOut)
{
    const std::string s = B({ESC, '@', 0, ESC, '(', 'U', 1, 0, 5, 'Q', '@', 0}) + kQY + kQR0 +
                          B({'Q', 'D', 7, 4, 1, 1, 0x2C, 0x01, 1, 0, 0x81, 0xAA, 0x81, 0xAA, 0xD5, 0x55}) + kQR1 +
                          B({ESC, '(', 'v', 2, 0, 5, 0, ESC, 'r', 1, ESC, '.', 0, 5, 5, 1, 8, 0, 3, CR, LF, FF, 0xFF});
    std::vector<Command> trace;
    ParseOptions options;
    options.onCommand = [&](const Command& c) { trace.push_back(c); };
    const ParseResult r = ParseStream(s, options);
    EXPECT_CLEAN(r);
    std::size_t at = 0;
    for (const Command& c : trace) {
        EXPECT_EQ(c.offset, at) << c.name;
        at += c.length;
    }
    EXPECT_EQ(at, s.size());
    const auto qd = std::find_if(trace.begin(), trace.end(), [](const Command& c) { return c.name == "QD"; });
    ASSERT_NE(qd, trace.end());
    EXPECT_EQ(qd->length, 10u + 6u);
    EXPECT_NE(qd->fields.find("colour=4 comp=1 bpp=1 bytes=300"), std::string::npos) << qd->fields;

    ParseOptions lean;
    lean.keepRows = false;
    const ParseResult r2 = ParseStream(s, lean);
    ASSERT_EQ(r2.planes.size(), r.planes.size());
    for (std::size_t i = 0; i < r.planes.size(); ++i) {
        EXPECT_EQ(r2.planes[i].digest, r.planes[i].digest);
        EXPECT_TRUE(r2.planes[i].rowData.empty());
        EXPECT_EQ(r2.planes[i].rows, r.planes[i].rows);
    }
}

// ---------------------------------------------------------------- malformed streams

TEST(StreamParserErrors, UnknownAndTruncatedCommands)
{
    ExpectOneError(ParseStream(B({ESC, '@', 'Z', 'Z'})), 2, "unknown command: byte 0x5a", true);
    ExpectOneError(ParseStream(B({ESC, '@', 0x80})), 2, "unknown command: byte 0x80", true);
    ExpectOneError(ParseStream(B({ESC, '@', ESC, 'z'})), 2, "unknown command ESC z", true);
    ExpectOneError(ParseStream(B({LF, ESC})), 1, "truncated ESC command", true);
    ExpectOneError(ParseStream(B({LF, 'Q'})), 1, "stream ends after 'Q'", true);
    ExpectOneError(ParseStream(B({LF, 'M', 'P', 1, 2})), 1, "truncated MP", true);
    ExpectOneError(ParseStream(B({LF, ESC, '(', 'v', 2})), 1, "truncated ESC ( command", true);
    ExpectOneError(ParseStream(B({LF, ESC, '(', 'v', 2, 0, 1})), 1, "truncated ESC (v", true);
    ExpectOneError(ParseStream(kQR1 + B({'Q', 'Y', 5, 0, 0})), 4, "truncated QY block: needs 8 bytes, 5 left", true);
    ExpectOneError(ParseStream(B({'Q', 'D'})), 0, "truncated MRL III block", true);
    ExpectOneError(ParseStream(B({ESC, 'r', 0, ESC, '.', 0, 5})), 3, "truncated ESC . raster header", true);
    ExpectOneError(ParseStream(B({CR, ESC, 'i', 0, 0, 1, 1})), 1, "truncated ESC i raster header", true);
    ExpectOneError(ParseStream(kQR0 + B({'Q', 'D', 8, 0, 0, 1, 1, 0, 1, 0, 0, 0})), 4, "QD descriptor of length 8", true);
}

TEST(StreamParserErrors, RowsWhoseDataDisagreesWithTheirHeader)
{
    const std::string r0 = B({ESC, 'r', 0});
    // Raw row cut short by the end of the stream.
    ExpectOneError(ParseStream(r0 + B({ESC, '.', 0, 5, 5, 1, 24, 0, 1, 2})), 3, "3 bytes announced, 2 left", true);
    // PackBits data that ends before the row is complete.
    ExpectOneError(ParseStream(r0 + B({ESC, '.', 1, 5, 5, 1, 32, 0, 0xFE, 0x11})), 3,
                   "stream ends after 3 of its 4 bytes were decoded", true);
    ExpectOneError(ParseStream(r0 + B({ESC, '.', 1, 5, 5, 1, 32, 0, 0x03, 0x11})), 3,
                   "stream ends after 1 of its 4 bytes were decoded", true);
    // A run that passes the header's count: reported at the code.
    ExpectOneError(ParseStream(r0 + B({ESC, '.', 1, 5, 5, 1, 16, 0, 0x00, 0x07, 0xFD, 0x11})), 13,
                   "decodes to 5 bytes, more than the header's 2", true);
    // Data longer than the header says: the trailer is not where it belongs.
    const ParseResult longer = ParseStream(r0 + B({ESC, '.', 0, 5, 5, 1, 16, 0, 0x11, 0x22, LF, CR}));
    ExpectOneError(longer, 13, "not followed by its trailer CR (byte 0x0a)", false);
    EXPECT_EQ(longer.bytesParsed, 15u);
    ExpectOneError(ParseStream(r0 + B({ESC, 'i', 0, 0, 1, 1, 0, 1, 0, 0x11})), 13, "without its trailer CR", false);
}

TEST(StreamParserErrors, StoredCountsThatDisagreeAreReportedAndSkipped)
{
    auto qd10 = [](int comp, int raw, int stored) {
        return kQR0 + B({'Q', 'D', 10, 0, comp, 1, raw, 0, 1, 0, stored, 0, 0});
    };
    // Decodes to its 4 bytes after 2 of 5 stored bytes.
    {
        const ParseResult r = ParseStream(qd10(1, 4, 5) + B({0xFD, 0x7F, 0, 0, 0}) + kQR1);
        ExpectOneError(r, 4, "decodes to its 4 bytes after 2 of its 5 stored bytes", false);
        EXPECT_EQ(r.bytesParsed, 4u + 13u + 5u + 4u);
        EXPECT_EQ(*r.planes.at(0).RowAt(0), Repeat(0x7F, 4));
    }
    // Raw row whose stored count differs.
    {
        const ParseResult r = ParseStream(qd10(0, 3, 2) + B({0x11, 0x22}) + kQR1);
        ExpectOneError(r, 4, "uncompressed row stores 2 bytes, its header says 3", false);
        EXPECT_EQ(*r.planes.at(0).RowAt(0), V({0x11, 0x22, 0}));
        EXPECT_EQ(r.layers[0].rows, 1);
    }
    // Stored bytes that decode short, and a run past the count.
    ExpectOneError(ParseStream(qd10(1, 4, 2) + B({0xFE, 0x11}) + kQR1), 4,
                   "2 stored bytes decode to 3 bytes, its header says 4", false);
    ExpectOneError(ParseStream(qd10(1, 2, 2) + B({0xFD, 0x11}) + kQR1), 17, "more than the header's 2", false);
    // Stored count past the end of the stream.
    ExpectOneError(ParseStream(qd10(1, 2, 9) + B({0xFF, 0x11})), 4, "9 stored bytes announced, 2 left", true);
    // An unknown compression is skipped by its stored count, not so in
    // formats without one.
    {
        const ParseResult r = ParseStream(qd10(2, 2, 3) + B({1, 2, 3}) + kQR1);
        ExpectOneError(r, 4, "compression mode 2 not supported; row skipped", false);
        EXPECT_TRUE(r.planes.empty());
        EXPECT_EQ(r.bytesParsed, 4u + 13u + 3u + 4u);
    }
    ExpectOneError(ParseStream(B({LF, ESC, 'i', 0, 2, 1, 1, 0, 1, 0, 0, CR})), 1, "compression mode 2 not supported", true);
    ExpectOneError(ParseStream(kQR0 + B({'Q', 'D', 7, 0, 3, 1, 1, 0, 1, 0, 0})), 4, "compression mode 3", true);
}

TEST(StreamParserErrors, BadParameterValues)
{
    ExpectOneError(ParseStream(B({'Q', 'R', 1, 2})), 0, "QR with parameter 2", false);
    ExpectOneError(ParseStream(B({'Q', 'R', 2, 1, 1})), 0, "QR with 2 parameter bytes", false);
    ExpectOneError(ParseStream(B({CR, 'Q', 'X', 5, 0, 1, 0, 0, 0})), 1, "QX feed mode 0", false);
    ExpectOneError(ParseStream(B({'Q', 'X', 4, 1, 1, 0, 0})), 0, "QX with 4 parameter bytes", false);
    ExpectOneError(ParseStream(B({'Q', 'E', 1, 0})), 0, "QE with 1 parameter bytes", false);
    ExpectOneError(ParseStream(B({ESC, '(', 'r', 3, 0, 0, 1, 2})), 0, "ESC (r with 3 parameter bytes", false);
    ExpectOneError(ParseStream(B({ESC, '(', 'v', 1, 0, 5})), 0, "ESC (v with 1 parameter bytes", false);
    ExpectOneError(ParseStream(B({ESC, 'i', 0, 0, 3, 1, 0, 1, 0, 0xFF, CR})), 0, "3 bits per pixel", false);

    // A plane that changes its bits per pixel is reported once.
    const std::string one = B({ESC, 'i', 0, 0, 1, 1, 0, 1, 0, 0xFF, CR, LF});
    const std::string two = B({ESC, 'i', 0, 0, 2, 1, 0, 1, 0, 0xFF, CR, LF});
    const ParseResult r = ParseStream(one + two + two);
    ExpectOneError(r, one.size(), "2 bits per pixel in a plane (layer 0 colour 0) that had 1", false);
    EXPECT_EQ(r.planes.at(0).rows, 3);
}

TEST(StreamParserErrors, LimitsAgainstDamagedStreams)
{
    ParseOptions shallow;
    shallow.maxRows = 100;
    ExpectOneError(ParseStream(B({LF, 'Q', 'X', 5, 1, 0xE8, 0x03, 0, 0}), shallow), 1,
                   "feed of 1000 rows moves past row 100", true);
    // A record of 200 empty lines reaches past the limit as well.
    ExpectOneError(ParseStream(B({ESC, 'i', 0, 0, 1, 0, 0, 200, 0}), shallow), 0, "row 100 is deeper", true);

    ParseOptions small;
    small.maxRecordBytes = 8;
    ExpectOneError(ParseStream(B({ESC, 'i', 0, 1, 1, 9, 0, 1, 0, 0xF8, 0}), small), 0,
                   "row of 9 bytes is larger than the limit of 8", true);

    ParseOptions few;
    few.maxErrors = 3;
    std::string bad;
    for (int i = 0; i < 5; ++i)
        bad += B({'Q', 'R', 1, 7});
    const ParseResult r = ParseStream(bad, few);
    ASSERT_EQ(r.errors.size(), 4u);
    EXPECT_EQ(r.errors[3].offset, 12u);
    EXPECT_EQ(r.errors[3].message, "too many errors; parsing stopped");
    EXPECT_TRUE(r.errors[3].fatal);
}

// A stream meant to hold a whole job: at least one byte, the last layer
// ended by QE or FF (job end bytes may follow).
TEST(StreamParserErrors, IncompleteJobsWhenTheJobEndIsExpected)
{
    ParseOptions job;
    job.expectJobEnd = true;
    const std::string row = kQR0 + B({'Q', 'D', 7, 0, 0, 1, 1, 0, 1, 0, 0x80}) + kQR1;
    const std::string layer = B({'Q', '@', 0}) + row + B({'Q', 'E', 0});
    EXPECT_CLEAN(ParseStream(layer + layer, job));
    EXPECT_CLEAN(ParseStream(B({ESC, 'r', 0, ESC, '.', 0, 5, 5, 1, 8, 0, 0x80, CR, LF, FF, 0xFF, 0}), job));
    EXPECT_CLEAN(ParseStream(row, {}));  // not asked for
    ExpectOneError(ParseStream(row, job), row.size(), "the stream ends without its job end (QE or FF)", false);
    const std::string cut = layer + B({'Q', '@', 0}) + row;
    ExpectOneError(ParseStream(cut, job), cut.size(), "the stream ends in layer 1 without its end (QE or FF)", false);
    ExpectOneError(ParseStream("", job), 0, "empty stream: no job in it", false);
}

// What a damaged stream claims costs nothing: feeds to the deepest row and
// records of thousands of empty lines are bookkeeping, and records of one
// colour at one position stop at the limit instead of searching ever more
// planes.
TEST(StreamParserErrors, CostFollowsTheBytesNotTheRowsClaimed)
{
    ParseOptions options;
    options.maxRows = std::int64_t(1) << 24;
    constexpr int kLayers = 300;
    std::string s;
    const std::uint32_t deep = (1u << 24) - 2;
    for (int i = 0; i < kLayers; ++i) {
        s += B({'Q', '@', 0, 'Q', 'X', 5, 1}) + B({int(deep & 0xFF), int(deep >> 8 & 0xFF), int(deep >> 16), 0});
        s += kQR0 + B({'Q', 'D', 7, 4, 0, 1, 1, 0, 1, 0, 0xAB});           // row 2^24 - 2
        s += kQR0 + B({'Q', 'D', 7, 5, 0, 1, 0, 0, 0xFF, 0xFF}) + B({'Q', 'E', 0});  // 65535 empty lines
    }
    const ParseResult r = ParseStream(s, options);
    ASSERT_EQ(r.errors.size(), 1u) << ErrorText(r);  // the lines reach past the deepest row
    EXPECT_NE(r.errors[0].message.find("is deeper than a layer may go"), std::string::npos);
    // Row 2^24 - 2 (8 bytes), length 1 (4 bytes), AB.
    const std::string expect = B({0xFE, 0xFF, 0xFF, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xAB});
    const Plane* yellow = r.FindPlane(0, 4);
    ASSERT_TRUE(yellow);
    EXPECT_EQ(yellow->digest, Sha256::ToHex(Sha256::Hash(expect)));
    EXPECT_EQ(yellow->rows, deep + 1);

    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += kQR0 + B({'Q', 'D', 7, 5, 0, 1, 0, 0, 0xFF, 0xFF, 'Q', 'X', 5, 1, 0xFF, 0xFF, 0, 0});
    const ParseResult empty = ParseStream(lines + B({'Q', 'E', 0}));
    EXPECT_CLEAN(empty);
    ASSERT_EQ(empty.planes.size(), 1u);
    EXPECT_EQ(empty.planes[0].rows, 200 * 65535);
    EXPECT_EQ(empty.planes[0].records, 200u * 65535u);
    EXPECT_TRUE(empty.planes[0].rowData.empty());
    EXPECT_EQ(empty.planes[0].digest, Sha256::ToHex(Sha256::Hash("")));

    std::string slots = kQR0;
    for (int i = 0; i < 65; ++i)
        slots += B({'Q', 'D', 7, 2, 0, 1, 1, 0, 1, 0, i});
    const ParseResult many = ParseStream(slots + kQR1);
    ExpectOneError(many, kQR0.size() + 64 * 11, "QD: more than 64 records of layer 0 colour 2 at row 0; record skipped",
                   false);
    EXPECT_EQ(many.planes.size(), 64u);
    EXPECT_EQ(*many.FindPlane(PlaneKey{0, 2, -1, -1, 63})->RowAt(0), V({63}));
}

} // namespace
