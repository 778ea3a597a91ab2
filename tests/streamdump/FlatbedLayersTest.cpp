// The flatbeds' layer streams: the JFX rows ("QR" 1 0 before "QY", a 9-byte
// "QD"), the slot-file rows ("QR" 1 1 starting a row), and mirrored layers
// turned back.
#include <gtest/gtest.h>

#include "tests/support/Bytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/streamdump/SectionMirror.h"

namespace {

using namespace testsupport;

// Two layers of two rows of 12 pixels at 1 bit. Layer 0 as the JFX drivers
// send it, colour 0x0A; layer 1 as the slot-file driver sends a mirrored
// layer, colour 4: 00 10 and FF F0 are 80 00 and FF F0 turned over.
std::string FlatbedStream()
{
    const std::string qy = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0});
    const std::string jfx = Bytes({'Q', 'R', 1, 0}) + qy;
    const std::string band = Bytes({'Q', 'R', 1, 1});
    return Bytes({'Q', '@', 0}) + jfx + Bytes({'Q', 'D', 9, 0x0A, 0, 1, 2, 0, 1, 0, 2, 0, 0x80, 0x00}) + band + jfx +
           Bytes({'Q', 'D', 9, 0x0A, 0, 1, 1, 0, 1, 0, 1, 0, 0xC0}) + band +
           Bytes({'Q', 'X', 5, 1, 0, 0, 0, 0, 'Q', 'E', 0}) + Bytes({'Q', '@', 0}) + qy + Bytes({'Q', 'R', 1, 0}) +
           Bytes({'Q', 'D', 7, 4, 0, 1, 2, 0, 1, 0, 0x00, 0x10}) + qy + band +
           Bytes({'Q', 'D', 7, 4, 0, 1, 2, 0, 1, 0, 0xFF, 0xF0}) + Bytes({'Q', 'E', 0});
}

} // namespace

TEST(StreamdumpFlatbeds, JfxAndSlotFileRowsAndAMirroredLayerTurnedBack)
{
    const auto parsed = streamparse::ParseStream(FlatbedStream());
    ASSERT_TRUE(parsed.ok()) << parsed.errors[0].message;
    ASSERT_EQ(parsed.layers.size(), 2u);
    const auto* jfx = parsed.FindPlane(0, 0x0A);
    ASSERT_NE(jfx, nullptr);
    EXPECT_EQ(jfx->format, streamparse::RasterFormat::Mrl3Qd9);
    EXPECT_EQ(jfx->DenseRows(), (std::vector<std::vector<std::uint8_t>>{{0x80, 0x00}, {0xC0}}));
    ASSERT_NE(parsed.FindPlane(1, 4), nullptr);
    EXPECT_EQ(parsed.FindPlane(1, 4)->DenseRows(),
              (std::vector<std::vector<std::uint8_t>>{{0x00, 0x10}, {0xFF, 0xF0}}));

    const auto back = streamparse::UnmirrorLayers(parsed, {1}, 12);
    EXPECT_EQ(back.FindPlane(1, 4)->DenseRows(), (std::vector<std::vector<std::uint8_t>>{{0x80, 0x00}, {0xFF, 0xF0}}));
    EXPECT_EQ(back.FindPlane(0, 0x0A)->digest, jfx->digest) << "other layers stay as sent";

    TempDir dir;
    WriteFile(dir / "job.prn", FlatbedStream());
    const RunResult r = testsupport::Run(STREAMDUMP_EXE, {"--mirrored-sections", "1", "--pixel-width", "12", dir / "job.prn"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("mirrored back: layers 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sha256 " + back.FindPlane(1, 4)->digest), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::Run(STREAMDUMP_EXE, {"--mirrored-sections", "x", dir / "job.prn"}).status, 2);
}
