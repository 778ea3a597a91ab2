// streamdump on a stream of layer sections: the layers rebuilt from the
// layer index of each record, delays undone and mirrored layers turned back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/Bytes.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace {

using namespace testsupport;

// Two bands, one row of 8 pixels at 1 bit: black (colour 5) mirrored on
// layer 0, white (colour 0x22) one row later on layer 1.
std::string LayerSectionStream()
{
    const std::string row = Bytes({'Q', 'Y', 5, 0, 0, 0, 0, 0, 'Q', 'R', 1, 0});
    const std::string band = Bytes({'Q', 'R', 1, 1});
    return row + Bytes({'Q', 'D', 10, 0x05, 0, 1, 1, 0, 1, 0, 1, 0, 0, 0x01}) + row +
           Bytes({'Q', 'D', 10, 0x22, 0, 1, 1, 0, 1, 0, 1, 0, 1, 0x00}) + band + row +
           Bytes({'Q', 'D', 10, 0x22, 0, 1, 1, 0, 1, 0, 1, 0, 1, 0xF0}) + band + Bytes({'Q', 'E', 0});
}

TEST(StreamdumpLayerSections, LayersRebuiltWithDelayAndMirrorUndone)
{
    TempDir dir;
    WriteFile(dir / "job.prn", LayerSectionStream());
    const RunResult plain = testsupport::Run(STREAMDUMP_EXE, {dir / "job.prn"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find("plane layer 0 colour 34 sub 1: mrl3-qd10, 1 bpp, 2 rows"), std::string::npos)
        << plain.out;

    const RunResult r = testsupport::Run(STREAMDUMP_EXE, {"--layer-offset", "1", "--mirrored-layers", "0", "--png-dir",
                                             dir / "png", dir / "job.prn"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("layer sections: layer index k moved up by 1 x k rows, mirrored back: 0"),
              std::string::npos)
        << r.out;
    // black back in pixel 0, white in row 0 of its layer
    EXPECT_NE(r.out.find("plane layer 0 colour 5: mrl3-qd10, 1 bpp, 1 rows, 1 bytes/row, 1 records (0 compressed), "
                         "ink rows 0..0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("plane layer 1 colour 34: mrl3-qd10, 1 bpp, 1 rows, 1 bytes/row, 2 records (0 compressed), "
                         "ink rows 0..0"),
              std::string::npos)
        << r.out;
    for (const char* png : {"layer0_composite.png", "layer1_composite.png", "layer0_colour5.png",
                            "layer1_colour34.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / (std::string("png/") + png))) << png;

    // White mode 4 mirrors layer 0 as well.
    const RunResult mode = testsupport::Run(STREAMDUMP_EXE, {"--white-mode", "4", "--layer-offset", "1", "--json", dir / "job.prn"});
    ASSERT_EQ(mode.status, 0) << mode.err;
    EXPECT_NE(mode.out.find("\"layer\": 1, \"colour\": 34"), std::string::npos) << mode.out;

    // The job's layer settings (UJV55: "PL" white mode 4, offset 1) give both.
    WriteFile(dir / "pl.prn", Bytes({'P', 'L', 4, 4, 1, 0, 0}) + LayerSectionStream());
    const RunResult fromJob =
        testsupport::Run(STREAMDUMP_EXE, {"--uid", "34", "--layer-sections", "--pixel-width", "8", dir / "pl.prn"});
    ASSERT_EQ(fromJob.status, 0) << fromJob.err;
    EXPECT_NE(fromJob.out.find("moved up by 1 x k rows, mirrored back: 0\n"), std::string::npos) << fromJob.out;
    EXPECT_NE(fromJob.out.find("plane layer 0 colour 5: mrl3-qd10, 1 bpp, 1 rows, 1 bytes/row, 1 records (0 "
                               "compressed), ink rows 0..0"),
              std::string::npos)
        << fromJob.out;

    // The UCJV300 calls its layer mode the white order ("PL" of 10 bytes):
    // mode 12 mirrors layers 0 and 1; its modes past 12 are known with --uid 38.
    WriteFile(dir / "ucjv.prn", Bytes({'P', 'L', 10, 12, 1, 0, 1, 0, 0, 0, 0, 0, 0}) + LayerSectionStream());
    const RunResult ucjv = testsupport::Run(STREAMDUMP_EXE, {"--uid", "38", "--layer-sections", dir / "ucjv.prn"});
    ASSERT_EQ(ucjv.status, 0) << ucjv.err;
    EXPECT_NE(ucjv.out.find("moved up by 1 x k rows, mirrored back: 0 1\n"), std::string::npos) << ucjv.out;
    EXPECT_EQ(testsupport::Run(STREAMDUMP_EXE, {"--white-mode", "33", "--uid", "38", dir / "job.prn"}).status, 0);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--white-mode", "13"}, {"--mirrored-layers", "0,x"}, {"--layer-offset", "-1"}}) {
        std::vector<std::string> args = bad;
        args.push_back(dir / "job.prn");
        EXPECT_EQ(testsupport::Run(STREAMDUMP_EXE, args).status, 2) << bad[0];
    }
}

} // namespace
