// Image input, screening, packing and saved rasters.
#include <gtest/gtest.h>
#include <tiffio.h>

#include "Harness.h"
#include "tools/common/PngWriter.h"
#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/ImageSource.h"
#include "tools/rasterjob/Options.h"
#include "tools/rasterjob/Screen.h"

using namespace rasterjob;
using namespace rjtest;

namespace {

std::vector<std::uint16_t> ReadAll(ImageReader& r)
{
    std::vector<std::uint16_t> all, row(static_cast<std::size_t>(r.Width()));
    std::string error;
    for (int y = 0; y < r.Height(); ++y) {
        EXPECT_TRUE(r.ReadRow(row.data(), error)) << error;
        all.insert(all.end(), row.begin(), row.end());
    }
    return all;
}

std::vector<std::uint8_t> TestPixels(int w, int h)
{
    std::vector<std::uint8_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back(static_cast<std::uint8_t>((x * 37 + y * 101 + x * y) % 256));
    return px;
}

void WriteTiff(const std::string& path, int w, int h, int bits, bool minIsWhite, const std::vector<std::uint8_t>& px)
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 3);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    std::vector<std::uint8_t> line(static_cast<std::size_t>((w * bits + 7) / 8));
    for (int y = 0; y < h; ++y) {
        std::fill(line.begin(), line.end(), 0);
        for (int x = 0; x < w; ++x) {
            int v = px[static_cast<std::size_t>(y * w + x)];
            if (minIsWhite)
                v = 255 - v;
            if (bits == 8)
                line[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(v);
            else
                line[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>((v >> 7) << (7 - x % 8));
        }
        ASSERT_GE(TIFFWriteScanline(t, line.data(), static_cast<std::uint32_t>(y), 0), 0);
    }
    TIFFClose(t);
}

} // namespace

TEST(RasterJobOptions, ParsesValuesInBothSpellings)
{
    Options o;
    std::string error;
    const char* argv[] = {"rasterjob", "--dpi=720x1440", "--channels", "0,1,2,3,8,9", "--bits=2", "--no-compress",
                          "--set", "PrEnv_AbortCommand=\\033Z=", "--set=nFunctModeId=4", "--abort-after", "0",
                          "--device", "socket://[::1]:9100", "--seed", "42", "--screen", "ordered", "--width", "7"};
    ASSERT_TRUE(ParseOptions(static_cast<int>(std::size(argv)), argv, o, error)) << error;
    EXPECT_EQ(o.dpiFirst, 720);
    EXPECT_EQ(o.dpiSecond, 1440);
    EXPECT_EQ(o.channels, (std::vector<int>{0, 1, 2, 3, 8, 9}));
    EXPECT_EQ(o.bits, 2);
    EXPECT_EQ(o.compress, 0);
    ASSERT_EQ(o.sets.size(), 2u);
    EXPECT_EQ(o.sets[0], (std::pair<std::string, std::string>{"PrEnv_AbortCommand", "\\033Z="}));
    EXPECT_EQ(o.sets[1], (std::pair<std::string, std::string>{"nFunctModeId", "4"}));
    EXPECT_EQ(o.abortAfter, 0);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.screen, ScreenKind::Ordered);
    EXPECT_EQ(o.width, 7);
    std::string host;
    int port = 0;
    ASSERT_TRUE(ParseDeviceUri(o.device, host, port, error));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 9100);
    ASSERT_TRUE(ParseDeviceUri("socket://printer.local:9101/", host, port, error));
    EXPECT_EQ(host, "printer.local");
    EXPECT_EQ(port, 9101);

    Options d;
    const char* one[] = {"rasterjob", "--dpi", "360"};
    ASSERT_TRUE(ParseOptions(3, one, d, error));
    EXPECT_EQ(d.dpiFirst, 360);
    EXPECT_EQ(d.dpiSecond, 360);
    EXPECT_EQ(d.output, "job.prn");
    EXPECT_EQ(d.compress, -1);
}

TEST(RasterJobScreen, PacksMostSignificantBitsFirst)
{
    const std::uint8_t levels2[] = {3, 0, 1, 2, 2};
    BYTE out[2] = {0xEE, 0xEE};
    PackLevels(levels2, 5, 2, out);
    EXPECT_EQ(out[0], 0xC6);  // 11 00 01 10
    EXPECT_EQ(out[1], 0x80);  // 10 and padding
    const std::uint8_t levels1[] = {1, 0, 0, 0, 0, 0, 0, 1, 1};
    PackLevels(levels1, 9, 1, out);
    EXPECT_EQ(out[0], 0x81);
    EXPECT_EQ(out[1], 0x80);
    EXPECT_EQ(LevelAt(out, 8, 1), 1);
    PackLevels(levels2, 5, 2, out);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(LevelAt(out, x, 2), levels2[x]);
}

TEST(RasterJobScreen, DarkIsInkAndCoverageIsKept)
{
    constexpr int w = 256, h = 64;
    for (ScreenKind kind : {ScreenKind::Diffusion, ScreenKind::Ordered})
        for (int bits : {1, 2}) {
            const int top = (1 << bits) - 1;
            for (int ink : {0, 40, 128, 200, 255}) {
                Screener s(w, bits, kind);
                std::vector<std::uint8_t> row(w, static_cast<std::uint8_t>(ink));
                std::vector<BYTE> packed(static_cast<std::size_t>(BytesPerRow(w, bits)));
                long long sum = 0;
                for (int y = 0; y < h; ++y) {
                    s.ScreenRow(row.data(), y, packed.data());
                    for (int x = 0; x < w; ++x)
                        sum += LevelAt(packed.data(), x, bits);
                }
                const double coverage = static_cast<double>(sum) / (static_cast<double>(w) * h * top);
                EXPECT_NEAR(coverage, ink / 255.0, 0.01) << "bits " << bits << " ink " << ink;
                if (ink == 0) {
                    EXPECT_EQ(sum, 0);
                }
                if (ink == 255) {
                    EXPECT_EQ(sum, static_cast<long long>(w) * h * top);
                }
            }
        }
}

TEST(RasterJobImages, PnmVariantsReadAlike)
{
    TempDir dir;
    // 3x2 gray in raw and plain form, with a comment in the header.
    WriteFile(dir / "raw.pgm", std::string("P5\n# made by hand\n3 2\n255\n") + std::string("\x00\x80\xff\x10\x20\x30", 6));
    WriteFile(dir / "plain.pgm", "P2 3 2 255\n0 128 255\n16 32 # row end\n48\n");
    WriteFile(dir / "wide.pgm", std::string("P5 3 2 65535\n") + std::string("\x00\x00\x80\x00\xff\xff\x10\x00\x20\x00\x30\x00", 12));
    std::string error;
    auto raw = ImageReader::Open(dir / "raw.pgm", error);
    auto plain = ImageReader::Open(dir / "plain.pgm", error);
    auto wide = ImageReader::Open(dir / "wide.pgm", error);
    ASSERT_TRUE(raw && plain && wide) << error;
    EXPECT_EQ(ReadAll(*raw), (std::vector<std::uint16_t>{0, 128, 255, 16, 32, 48}));
    EXPECT_EQ(ReadAll(*plain), (std::vector<std::uint16_t>{0, 128, 255, 16, 32, 48}));
    EXPECT_EQ(wide->MaxVal(), 65535);
    EXPECT_EQ(ReadAll(*wide), (std::vector<std::uint16_t>{0, 0x8000, 0xFFFF, 0x1000, 0x2000, 0x3000}));

    // PBM: 1 is black and reads as sample 0.
    WriteFile(dir / "raw.pbm", std::string("P4\n10 1\n\xA0\x40"));
    WriteFile(dir / "plain.pbm", "P1\n10 1\n1010000001\n");
    auto p4 = ImageReader::Open(dir / "raw.pbm", error);
    auto p1 = ImageReader::Open(dir / "plain.pbm", error);
    ASSERT_TRUE(p4 && p1) << error;
    EXPECT_EQ(p4->Format(), ImageFormat::Pbm);
    EXPECT_EQ(ReadAll(*p4), (std::vector<std::uint16_t>{0, 1, 0, 1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(ReadAll(*p1), (std::vector<std::uint16_t>{0, 1, 0, 1, 1, 1, 1, 1, 1, 0}));

    // Broken files say what and where.
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"P5\n3 2\n255\n\x01\x02\x03\x04", "data ends early, in row 2 of 2"},
        {"P2\n2 1\n3\n1 4\n", "sample above maxval 3 in row 1 of 1, column 2"},
        {"P5\n0 2\n255\n", "image size 0x2 is outside"},
        {"P5\n2 2\n70000\n", "maxval 70000 is outside 1 to 65535"},
        {"P1\n2 1\n1 7\n", "bad pixel '7' in row 1 of 1"},
        {"P7\n", "unsupported PNM type P7"},
    };
    for (const auto& [text, what] : bad) {
        WriteFile(dir / "bad.pnm", text);
        std::string err;
        auto r = ImageReader::Open(dir / "bad.pnm", err);
        if (r) {
            std::vector<std::uint16_t> row(static_cast<std::size_t>(r->Width()));
            for (int y = 0; y < r->Height() && err.empty(); ++y)
                r->ReadRow(row.data(), err);
        }
        EXPECT_NE(err.find(what), std::string::npos) << "got: " << err;
        EXPECT_EQ(err.rfind(dir / "bad.pnm", 0), 0u) << err;
    }
}

TEST(RasterJobImages, PngTiffAndPgmOfTheSamePixelsReadTheSame)
{
    TempDir dir;
    constexpr int w = 29, h = 7;
    const auto px = TestPixels(w, h);
    std::string error;
    ASSERT_TRUE(WritePng(dir / "g.png", w, h, PngWriter::Kind::Grey, px.data(), error)) << error;
    WriteTiff(dir / "g.tif", w, h, 8, false, px);
    WriteTiff(dir / "w.tif", w, h, 8, true, px);
    WriteFile(dir / "g.pgm", "P5\n29 7\n255\n" + std::string(px.begin(), px.end()));
    std::vector<std::uint16_t> expected(px.begin(), px.end());
    for (const char* name : {"g.png", "g.tif", "w.tif", "g.pgm"}) {
        auto r = ImageReader::Open(dir / name, error);
        ASSERT_TRUE(r) << error;
        EXPECT_EQ(r->Width(), w);
        EXPECT_EQ(r->Height(), h);
        EXPECT_EQ(ReadAll(*r), expected) << name;
    }
    // A 1-bit TIFF: black where the sample's top bit is clear.
    WriteTiff(dir / "b.tif", w, h, 1, false, px);
    auto b = ImageReader::Open(dir / "b.tif", error);
    ASSERT_TRUE(b) << error;
    EXPECT_EQ(b->MaxVal(), 1);
    const auto bits = ReadAll(*b);
    for (std::size_t i = 0; i < bits.size(); ++i)
        ASSERT_EQ(bits[i], px[i] >> 7);

    // Colour images are refused with a hint.
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w * h * 3), 10);
    ASSERT_TRUE(WritePng(dir / "c.png", w, h, PngWriter::Kind::Rgb, rgb.data(), error));
    EXPECT_FALSE(ImageReader::Open(dir / "c.png", error));
    EXPECT_NE(error.find("c.png: colour PNG image; give one grayscale image per channel"), std::string::npos);
    // A PNG cut short fails at its row, not at open.
    std::string png = ReadFile(dir / "g.png");
    WriteFile(dir / "cut.png", png.substr(0, png.size() / 2));
    auto cut = ImageReader::Open(dir / "cut.png", error);
    ASSERT_TRUE(cut) << error;
    std::vector<std::uint16_t> row(w);
    std::string rowError;
    bool ok = true;
    for (int y = 0; y < h && ok; ++y)
        ok = cut->ReadRow(row.data(), rowError);
    EXPECT_FALSE(ok);
    EXPECT_NE(rowError.find("cut.png: "), std::string::npos);
}

TEST(RasterJobImages, SavedRastersHoldTheDotsAndReadBackAsDots)
{
    TempDir dir;
    for (int bits : {1, 2}) {
        constexpr int w = 13, h = 5;
        const std::string path = dir / ("r" + std::to_string(bits));
        std::string error;
        auto writer = RasterWriter::Create(path, w, h, bits, error);
        ASSERT_TRUE(writer) << error;
        std::vector<std::vector<BYTE>> rows;
        for (int y = 0; y < h; ++y) {
            std::vector<std::uint8_t> levels(w);
            for (int x = 0; x < w; ++x)
                levels[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>((x + 3 * y) % (1 << bits));
            std::vector<BYTE> packed(static_cast<std::size_t>(BytesPerRow(w, bits)));
            PackLevels(levels.data(), w, bits, packed.data());
            ASSERT_TRUE(writer->WriteRow(packed.data()));
            rows.push_back(packed);
        }
        // Stopped after three rows: the header is rewritten to say so.
        ASSERT_TRUE(writer->Finish(3, error)) << error;
        auto image = ImageReader::Open(path, error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->Height(), 3);
        ASSERT_TRUE(HoldsDots(*image, bits));
        auto source = MakeImageSource(std::move(image), bits, ScreenKind::Diffusion);
        std::vector<BYTE> scratch(rows[0].size());
        for (int y = 0; y < 3; ++y) {
            const BYTE* got = source->Row(y, scratch.data());
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(std::vector<BYTE>(got, got + scratch.size()), rows[static_cast<std::size_t>(y)]) << "row " << y;
        }
        EXPECT_EQ(source->Row(3, scratch.data()), nullptr);
    }
    // Only the final files remain; an unfinished writer leaves nothing.
    {
        std::string error;
        auto w = RasterWriter::Create(dir / "gone", 4, 4, 1, error);
        ASSERT_TRUE(w);
    }
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"r1", "r2"}));
}

TEST(RasterJobImages, SavedRasterFedBackGivesTheSameDigests)
{
    TempDir dir;
    const std::string plugin = TEST_PLUGIN;
    constexpr int w = 57, h = 23;
    for (int c = 0; c < 3; ++c) {
        auto px = TestPixels(w, h);
        for (auto& v : px)
            v = static_cast<std::uint8_t>(v + 60 * c);
        WriteFile(dir / ("in" + std::to_string(c) + ".pgm"),
                  "P5\n57 23\n255\n" + std::string(px.begin(), px.end()));
    }
    for (const std::string bits : {"1", "2"})
        for (const std::string screen : {"diffusion", "ordered"}) {
            const std::string saved = "saved" + bits + screen;
            const std::vector<std::string> common = {"--plugin", plugin, "--set", "PrEnv_UID=0", "--bits", bits,
                                                     "--channels", "3,8,34", "--json", "--quiet"};
            std::vector<std::string> first = common;
            for (const char* in : {"in0.pgm", "in1.pgm", "in2.pgm"})
                first.insert(first.end(), {"--input", in});
            first.insert(first.end(), {"--screen", screen, "--save-raster", saved, "-o", "first.prn"});
            const RunResult a = RunRasterJob(first, dir.Path());
            ASSERT_EQ(a.status, 0) << a.err;

            const std::string ext = bits == "1" ? ".pbm" : ".pgm";
            std::vector<std::string> second = common;
            second.insert(second.end(), {"--input", saved + "/channel-0-colour-3" + ext, "--input",
                                         saved + "/channel-1-colour-8" + ext, "--input",
                                         saved + "/channel-2-colour-34" + ext, "-o", "second.prn"});
            const RunResult b = RunRasterJob(second, dir.Path());
            ASSERT_EQ(b.status, 0) << b.err;
            const auto da = ParseChannels(a.out), db = ParseChannels(b.out);
            ASSERT_EQ(da.size(), 3u);
            ASSERT_EQ(db.size(), 3u);
            for (std::size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(da[i].digest, db[i].digest) << bits << " bits, " << screen;
                EXPECT_EQ(da[i].rows, h);
            }
            EXPECT_TRUE(ReadFile(dir / "first.prn") == ReadFile(dir / "second.prn"));
            // Different screens give different dots.
            if (screen == "ordered") {
                const RunResult diffused = RunRasterJob({"--plugin", plugin, "--set", "PrEnv_UID=0", "--bits", bits,
                                                         "--input", "in0.pgm", "--json", "-q", "-o", "third.prn"},
                                                        dir.Path());
                ASSERT_EQ(ParseChannels(diffused.out).size(), 1u);
                EXPECT_NE(da[0].digest, ParseChannels(diffused.out)[0].digest);
            }
        }
    // An aborted job saves the rows it fed.
    const RunResult r = RunRasterJob({"--plugin", plugin, "--set", "PrEnv_UID=0", "--input", "in0.pgm",
                                      "--abort-after", "9", "--save-raster", "part", "-o", "part.prn", "-q"},
                                     dir.Path());
    EXPECT_EQ(r.status, 3) << r.err;
    std::string error;
    auto part = ImageReader::Open(dir / "part/channel-0-colour-0.pbm", error);
    ASSERT_TRUE(part) << error;
    EXPECT_EQ(part->Height(), 9);
}
