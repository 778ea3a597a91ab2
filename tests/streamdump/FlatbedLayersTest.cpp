// The flatbeds' layer streams: the JFX rows ("QR" 1 0 before "QY", a 9-byte
// "QD"), the slot-file rows ("QR" 1 1 starting a row), and both put back in
// page order: an underprint turned, a mirrored layer (its rows sent without
// their trailing blanks) un-mirrored.
#include <gtest/gtest.h>

#include "tests/support/Bytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/streamdump/StreamLayerPages.h"

namespace {

using namespace testsupport;
using Rows = std::vector<std::vector<std::uint8_t>>;

// Two layers of two rows of 12 pixels at 1 bit. Layer 0 as the JFX drivers
// send an underprint, colour 0x0A, page rows 1 then 0; layer 1 as the
// slot-file driver sends a mirrored layer, colour 4: 80 (00 10 turned over,
// its blank end cut) and FF F0.
std::string FlatbedStream()
{
    const std::string qy = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0});
    const std::string jfx = Bytes({'Q', 'R', 1, 0}) + qy;
    const std::string band = Bytes({'Q', 'R', 1, 1});
    return Bytes({'Q', '@', 0, 'Q', 'C', 2, 0, 1}) + jfx +
           Bytes({'Q', 'D', 9, 0x0A, 0, 1, 1, 0, 1, 0, 1, 0, 0xC0}) + band + jfx +
           Bytes({'Q', 'D', 9, 0x0A, 0, 1, 2, 0, 1, 0, 2, 0, 0x80, 0x00}) + band +
           Bytes({'Q', 'X', 5, 1, 0, 0, 0, 0, 'Q', 'E', 0}) + Bytes({'Q', '@', 0}) + qy + Bytes({'Q', 'R', 1, 0}) +
           Bytes({'Q', 'D', 7, 4, 0, 1, 1, 0, 1, 0, 0x80}) + qy + band +
           Bytes({'Q', 'D', 7, 4, 0, 1, 2, 0, 1, 0, 0xFF, 0xF0}) + Bytes({'Q', 'E', 0});
}

} // namespace

TEST(StreamdumpFlatbeds, JfxAndSlotFileLayersBackInPageOrder)
{
    streamparse::ParseOptions options;
    options.keepJobCommands = true;
    const auto parsed = streamparse::ParseStream(FlatbedStream(), options);
    ASSERT_TRUE(parsed.ok()) << parsed.errors[0].message;
    ASSERT_EQ(parsed.layers.size(), 2u);
    ASSERT_NE(parsed.FindPlane(0, 0x0A), nullptr);
    EXPECT_EQ(parsed.FindPlane(0, 0x0A)->format, streamparse::RasterFormat::Mrl3Qd9);
    EXPECT_EQ(parsed.FindPlane(0, 0x0A)->DenseRows(), (Rows{{0xC0}, {0x80, 0x00}})) << "as sent";
    ASSERT_NE(parsed.FindPlane(1, 4), nullptr);
    EXPECT_EQ(parsed.FindPlane(1, 4)->DenseRows(), (Rows{{0x80}, {0xFF, 0xF0}}));

    const auto page = streamparse::RebuildPageOrder(parsed, {true, {1}, 12});
    EXPECT_EQ(page.FindPlane(0, 0x0A)->DenseRows(), (Rows{{0x80, 0x00}, {0xC0}}));
    EXPECT_EQ(page.FindPlane(1, 4)->DenseRows(), (Rows{{0x00, 0x10}, {0xFF, 0xF0}}));

    TempDir dir;
    WriteFile(dir / "job.prn", FlatbedStream());
    const RunResult r = testsupport::Run(STREAMDUMP_EXE, {"--page-order", "--mirrored-layers", "1", "--pixel-width",
                                                          "12", dir / "job.prn"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("sha256 " + page.FindPlane(1, 4)->digest), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sha256 " + page.FindPlane(0, 0x0A)->digest), std::string::npos) << r.out;
}
