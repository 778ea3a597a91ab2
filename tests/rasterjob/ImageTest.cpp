// Image input, screening, packing and saved rasters.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <png.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>
#include <tiffio.h>
#include <zlib.h>

#include "Harness.h"
#include "tools/common/PngWriter.h"
#include "tools/rasterjob/ImageIO.h"
#include "tools/rasterjob/ImageSource.h"
#include "tools/rasterjob/JobRunner.h"
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

// A new one-sample gray TIFF, its layout still to be set.
TIFF* CreateGrayTiff(const std::string& path, int w, int h, int bits, bool minIsWhite)
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t)
        return nullptr;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    return t;
}

void WriteTiff(const std::string& path, int w, int h, int bits, bool minIsWhite, const std::vector<std::uint8_t>& px)
{
    TIFF* t = CreateGrayTiff(path, w, h, bits, minIsWhite);
    ASSERT_NE(t, nullptr);
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
                          "--set", "PrEnv_AbortCommand=\\033Z=", "--set=nFunctModeId=4", "--set", "prenv_uid=1", "--abort-after", "0",
                          "--device", "socket://[::1]:9100", "--seed", "42", "--screen", "ordered", "--width", "7"};
    ASSERT_TRUE(ParseOptions(static_cast<int>(std::size(argv)), argv, o, error)) << error;
    EXPECT_EQ(o.dpiFirst, 720);
    EXPECT_EQ(o.dpiSecond, 1440);
    EXPECT_EQ(o.channels, (std::vector<int>{0, 1, 2, 3, 8, 9}));
    EXPECT_EQ(o.bits, 2);
    EXPECT_EQ(o.compress, 0);
    ASSERT_EQ(o.sets.size(), 3u);
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
        {"P5\n3 2\n255\n\x01\x02\x03\x04", "data ends early: the file holds 1 of its 2 rows"},
        {"P5\n100000 100000\n255\n\x01\x02", "data ends early: the file holds 0 of its 100000 rows"},
        {"P2\n3 3\n255\n1 2 3 4\n", "data ends early: the file's 19 bytes cannot hold a 3x3 image"},
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
        const std::string path = dir / std::string("r").append(std::to_string(bits));
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

namespace {

// Writes an Adam7-interlaced gray PNG of 1, 8 or 16 bits; sample(x, y)
// gives 0..255 (a 16-bit sample repeats it in both bytes, a 1-bit one keeps
// its top bit).
template <class Sample>
void WriteInterlacedPng(const std::string& path, int w, int h, int depth, Sample sample)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    std::vector<png_byte> row(static_cast<std::size_t>(w) * 2);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < h; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < w; ++x) {
                const int v = sample(x, y);
                if (depth == 16)
                    row[2 * x] = row[2 * x + 1] = static_cast<png_byte>(v);
                else if (depth == 8)
                    row[x] = static_cast<png_byte>(v);
                else
                    row[x / 8] |= static_cast<png_byte>((v >> 7) << (7 - x % 8));
            }
            png_write_row(png, row.data());
        }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// A tiled gray TIFF of 16 x 16 tiles, 1 to 16 bits; sample(x, y) gives the
// stored value.
template <class Sample>
void WriteTiledTiff(const std::string& path, int w, int h, int bits, Sample sample)
{
    TIFF* t = CreateGrayTiff(path, w, h, bits, false);
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(t)));
    const int rowBytes = 16 * bits / 8;
    for (int y0 = 0; y0 < h; y0 += 16)
        for (int x0 = 0; x0 < w; x0 += 16) {
            std::fill(tile.begin(), tile.end(), 0);
            for (int r = 0; r < 16 && y0 + r < h; ++r)
                for (int c = 0; c < 16 && x0 + c < w; ++c) {
                    const unsigned v = static_cast<unsigned>(sample(x0 + c, y0 + r));
                    std::uint8_t* p = tile.data() + r * rowBytes;
                    if (bits == 16)
                        reinterpret_cast<std::uint16_t*>(p)[c] = static_cast<std::uint16_t>(v);
                    else if (bits == 8)
                        p[c] = static_cast<std::uint8_t>(v);
                    else
                        p[c * bits / 8] |= static_cast<std::uint8_t>(v << (8 - bits - (c * bits) % 8));
                }
            ASSERT_GE(TIFFWriteEncodedTile(t, TIFFComputeTile(t, static_cast<std::uint32_t>(x0),
                                                              static_cast<std::uint32_t>(y0), 0, 0),
                                           tile.data(), static_cast<tmsize_t>(tile.size())),
                      0);
        }
    TIFFClose(t);
}

std::string PngChunk(const std::string& type, const std::string& data)
{
    auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string body = type + data;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return be32(static_cast<std::uint32_t>(data.size())) + body + be32(crc);
}

} // namespace

// Interlaced PNG and tiled TIFF arrive out of row order: they are decoded
// whole into an unlinked temporary file and read back row by row, as the
// same pixels in any other form read.
TEST(RasterJobImages, WholeDecodedPicturesReadLikeStripsThroughATemporaryFile)
{
    TempDir dir;
    TempDir temp;
    ImageLimits limits;
    limits.tempFolder = temp.Path();
    auto pixel = [](int x, int y) { return (x * 37 + y * 101 + x * y) % 256; };
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {3, 5}, {9, 17}, {37, 21}})
        for (const int depth : {1, 8, 16}) {
            const std::string name = dir / (std::string("i").append(std::to_string(w)) + "x" + std::to_string(h) + "d" +
                                            std::to_string(depth) + ".png");
            WriteInterlacedPng(name, w, h, depth, pixel);
            std::string error;
            auto r = ImageReader::Open(name, error, limits);
            ASSERT_TRUE(r) << error;
            EXPECT_EQ(TempDir::ListOf(temp.Path()), std::vector<std::string>{});
            std::vector<std::uint16_t> expected;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    expected.push_back(static_cast<std::uint16_t>(depth == 1 ? (pixel(x, y) >> 7) * 255 : pixel(x, y)));
            EXPECT_EQ(ReadAll(*r), expected) << name;
        }
    for (const int bits : {1, 4, 8, 16}) {
        const int top = (1 << bits) - 1;
        auto sample = [&](int x, int y) { return (x * 7919 + y * 104729) % (top + 1); };
        const std::string name = dir / (std::string("t").append(std::to_string(bits)) + ".tif");
        WriteTiledTiff(name, 37, 21, bits, sample);
        std::string error;
        auto r = ImageReader::Open(name, error, limits);
        ASSERT_TRUE(r) << error;
        EXPECT_EQ(r->MaxVal(), top);
        std::vector<std::uint16_t> expected;
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 37; ++x)
                expected.push_back(static_cast<std::uint16_t>(sample(x, y)));
        EXPECT_EQ(ReadAll(*r), expected) << bits;
    }

    // Past the limit they are refused in one line that says what to do.
    limits.wholeDecodeBytes = 500;
    std::string error;
    EXPECT_FALSE(ImageReader::Open(dir / "t8.tif", error, limits));
    EXPECT_EQ(error, dir / "t8.tif" + ": a tiled TIFF is decoded whole, into 777 bytes of temporary space, more than the "
                                       "500 bytes allowed (raise --decode-limit, or save it in strips)");
    EXPECT_FALSE(ImageReader::Open(dir / "i37x21d8.png", error, limits));
    EXPECT_NE(error.find("i37x21d8.png: an interlaced PNG is decoded whole"), std::string::npos) << error;
    EXPECT_NE(error.find("or save it without interlacing)"), std::string::npos) << error;
}

// A file far shorter than the picture it declares is refused at once,
// before memory, time or temporary space go into it.
TEST(RasterJobImages, PicturesLargerThanTheirDataAreRefusedAtOnce)
{
    TempDir dir;
    auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string emptyZlib("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    for (const int interlace : {0, 1}) {
        const std::string ihdr = be32(100000) + be32(100000) + std::string{8, 0, 0, 0, static_cast<char>(interlace)};
        const std::string png =
            "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + PngChunk("IDAT", emptyZlib) + PngChunk("IEND", "");
        WriteFile(dir / "huge.png", png);
        std::string error;
        EXPECT_FALSE(ImageReader::Open(dir / "huge.png", error));
        EXPECT_EQ(error, dir / "huge.png" + ": data ends early: the file's " + std::to_string(png.size()) +
                             " bytes cannot hold a 100000x100000 image");
    }

    // A 134-byte TIFF declaring one 40000 x 40000 tile of 1.6 GB.
    auto le16 = [](int v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
    auto le32 = [&](std::uint32_t v) { return le16(static_cast<int>(v & 0xFFFF)) + le16(static_cast<int>(v >> 16)); };
    auto entry = [&](int tag, int type, std::uint32_t value) {
        return le16(tag) + le16(type) + le32(1) + (type == 3 ? le16(static_cast<int>(value)) + le16(0) : le32(value));
    };
    const std::string tiff = "II" + le16(42) + le32(8) + le16(10) + entry(256, 4, 40000) + entry(257, 4, 40000) +
                             entry(258, 3, 8) + entry(259, 3, 1) + entry(262, 3, 1) + entry(277, 3, 1) +
                             entry(322, 4, 40000) + entry(323, 4, 40000) + entry(324, 4, 134) +
                             entry(325, 4, 1600000000u) + le32(0);
    ASSERT_EQ(tiff.size(), 134u);
    WriteFile(dir / "huge.tif", tiff);
    std::string error;
    EXPECT_FALSE(ImageReader::Open(dir / "huge.tif", error));
    EXPECT_EQ(error, dir / "huge.tif" + ": data ends early: tile 1 of 1 lies past the end of the file's 134 bytes");
}

// A FIFO is read as it comes: its first bytes tell the format and are read
// again as part of the picture.
TEST(RasterJobImages, FifoInputIsReadAsItComes)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "in").c_str(), 0600), 0);
    constexpr int w = 29, h = 7;
    const auto px = TestPixels(w, h);
    std::string error;
    ASSERT_TRUE(WritePng(dir / "g.png", w, h, PngWriter::Kind::Grey, px.data(), error)) << error;
    const std::string pgm = "P5\n29 7\n255\n" + std::string(px.begin(), px.end());
    const std::vector<std::pair<std::string, bool>> inputs = {
        {pgm, false}, {ReadFile(dir / "g.png"), false}, {pgm.substr(0, pgm.size() - 40), true}};
    for (const auto& [data, cut] : inputs) {
        std::thread writer([&] { WriteFile(dir / "in", data); });
        auto r = ImageReader::Open(dir / "in", error);
        ASSERT_TRUE(r) << error;
        std::vector<std::uint16_t> all, row(w);
        std::string rowError;
        for (int y = 0; y < h && r->ReadRow(row.data(), rowError); ++y)
            all.insert(all.end(), row.begin(), row.end());
        writer.join();
        if (cut) {
            // Cut short: told at the row, as a pipe cannot be measured first.
            EXPECT_EQ(rowError, dir / "in" + ": data ends early, in row 6 of 7");
        } else {
            EXPECT_EQ(all, std::vector<std::uint16_t>(px.begin(), px.end()));
        }
    }
}

// On a terminal, a destination that takes no data is shown as waiting, with
// the time it has waited.
TEST(RasterJobProgress, WaitingIsShownWithItsTime)
{
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(slave, 2);
    {
        ProgressLine progress(true, 200, 100);
        progress.Rows(50);  // drawn only once the job has run a second
        progress.Waiting(12.4);
        progress.Finish();
    }
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(slave);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::string shown;
    char buf[512];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
        shown.append(buf, static_cast<std::size_t>(n));
    ::close(master);
    EXPECT_NE(shown.find("\r[#######.......................]  25%  50/200 rows  waiting for the printer to take data: "
                         "12 s "),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.back(), '\n');
}
