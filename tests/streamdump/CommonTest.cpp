// SHA-256, the plane digest rule, JSON escaping and the PNG writer.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/common/Json.h"
#include "tools/common/PngWriter.h"
#include "tools/common/RasterDigest.h"
#include "tools/common/Sha256.h"

using namespace std::string_literals;

namespace {

std::string Hex(std::string_view bytes) { return Sha256::ToHex(Sha256::Hash(bytes)); }

TEST(Sha256, KnownVectors)
{
    EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    // 55, 56 and 64 bytes: the padding boundaries.
    EXPECT_EQ(Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Hex(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256, MillionAInUnevenPiecesAndReuseAfterFinal)
{
    Sha256 h;
    const std::string chunk(1024, 'a');
    std::size_t left = 1000000;
    for (std::size_t piece = 1; left > 0; piece = piece % 997 + 13) {
        const std::size_t n = std::min(piece, left);
        h.Update(chunk.data(), n);
        left -= n;
    }
    EXPECT_EQ(Sha256::ToHex(h.Final()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    h.Update("abc");
    EXPECT_EQ(Sha256::ToHex(h.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Per inked row: its number (8 bytes LE), its trimmed length (4 bytes LE),
// the bytes. Blank rows add nothing.
TEST(RasterDigest, HashesTheInkedRowsWithTheirNumbers)
{
    RasterDigest d;
    d.AddRow("\x00\x00"s);          // row 0: blank
    d.AddRow("\x81\x00\x07\x00"s);  // row 1: trimmed to 3 bytes
    d.AddBlankRows(2);              // rows 2, 3
    d.AddRow("\xff"s);              // row 4
    d.AddRow("\x00\x00\x00"s);      // row 5: blank, after the last ink
    d.AddBlankRows(7);
    const std::string preimage = "\x01\x00\x00\x00\x00\x00\x00\x00" "\x03\x00\x00\x00" "\x81\x00\x07"s  // row 1
                                 "\x04\x00\x00\x00\x00\x00\x00\x00" "\x01\x00\x00\x00" "\xff"s;         // row 4
    EXPECT_EQ(d.Hex(), Hex(preimage));
    EXPECT_EQ(d.FirstInkRow(), 1);
    EXPECT_EQ(d.LastInkRow(), 4);
    EXPECT_EQ(d.Rows(), 13u);
    // Digest may be asked in the middle; feeding goes on.
    d.AddRow("\x02"s);
    EXPECT_EQ(d.Hex(), Hex(preimage + "\x0d\x00\x00\x00\x00\x00\x00\x00" "\x01\x00\x00\x00" "\x02"s));
    EXPECT_EQ(d.LastInkRow(), 13);
}

TEST(RasterDigest, BlankPlaneIsTheEmptyMessageAndNumbersAreLittleEndian)
{
    RasterDigest blank;
    blank.AddRow("\x00"s);
    blank.AddBlankRows(1000);
    EXPECT_EQ(blank.Hex(), Hex(""));
    EXPECT_EQ(blank.FirstInkRow(), -1);

    // A row far down costs its bytes, not the blank rows above it.
    RasterDigest wide;
    wide.AddBlankRows(0x0102030405ULL);
    std::string row(0x1234 + 5, '\0');
    row[0x1233] = 9;
    wide.AddRow(row);
    EXPECT_EQ(wide.Hex(), Hex("\x05\x04\x03\x02\x01\x00\x00\x00" "\x34\x12\x00\x00"s + row.substr(0, 0x1234)));
}

TEST(Json, EscapesControlQuotesAndInvalidUtf8)
{
    EXPECT_EQ(JsonEscape("plain"), "plain");
    EXPECT_EQ(JsonEscape("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(JsonEscape("\n\r\t\x01\x1f\x7f"), "\\n\\r\\t\\u0001\\u001f\\u007f");
    EXPECT_EQ(JsonEscape("\0x"s), "\\u0000x");
    EXPECT_EQ(JsonEscape("gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x96\xa8"), "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x96\xa8");
    EXPECT_EQ(JsonEscape("\xff\xc3"), "\\ufffd\\ufffd");
    EXPECT_EQ(JsonEscape("\xc0\xaf"), "\\ufffd\\ufffd");            // overlong
    EXPECT_EQ(JsonEscape("\xed\xa0\x80"), "\\ufffd\\ufffd\\ufffd");  // surrogate
    EXPECT_EQ(JsonString("x"), "\"x\"");
}

class PngWriterTest : public ::testing::Test {
protected:
    testsupport::TempDir m_tmp;
    const std::filesystem::path m_dir = m_tmp.Path();
};

TEST_F(PngWriterTest, WritesWhatLibpngReadsBack)
{
    const std::string path = (m_dir / "grey.png").string();
    const std::uint8_t pixels[] = {0, 64, 128, 255, 1, 2, 3, 4};
    std::string error;
    ASSERT_TRUE(WritePng(path, 4, 2, PngWriter::Kind::Grey, pixels, error)) << error;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 4u);
    EXPECT_EQ(image.height, 2u);
    image.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(back, std::vector<std::uint8_t>(pixels, pixels + 8));

    // Only the final file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(PngWriterTest, FailuresLeaveNoFile)
{
    PngWriter w;
    EXPECT_FALSE(w.Open((m_dir / "none" / "x.png").string(), 2, 2, PngWriter::Kind::Rgb));
    EXPECT_NE(w.Error().find("cannot create temporary file"), std::string::npos) << w.Error();

    EXPECT_FALSE(w.Open((m_dir / "empty.png").string(), 0, 2, PngWriter::Kind::Grey));

    {
        PngWriter partial;
        const std::uint8_t row[6] = {};
        ASSERT_TRUE(partial.Open((m_dir / "short.png").string(), 2, 2, PngWriter::Kind::Rgb));
        ASSERT_TRUE(partial.WriteRow(row));
        EXPECT_FALSE(partial.Finish());
        EXPECT_NE(partial.Error().find("fewer rows"), std::string::npos);
    }
    {
        PngWriter abandoned;
        ASSERT_TRUE(abandoned.Open((m_dir / "abandoned.png").string(), 1, 1, PngWriter::Kind::Grey));
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
}

} // namespace
