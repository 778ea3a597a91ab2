// PNG previews read back pixel by pixel.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/streamdump/Preview.h"

using namespace streamparse;

namespace {

namespace fs = std::filesystem;

struct Image {
    unsigned width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

Image Read(const fs::path& path, bool rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Image out;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return out;
    image.format = rgb ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr))
        return Image{};
    out.width = image.width;
    out.height = image.height;
    return out;
}

class PreviewTest : public ::testing::Test {
protected:
    testsupport::TempDir m_tmp;
    const fs::path m_dir = m_tmp / "previews";  // made by the writer
};

// Row 0: black 1 bit 0b10000001, cyan 2 bits 0b11010000 (full, third).
// Row 1: black blank, cyan 2 bits 0b00000011. Layer 1: magenta, one dot.
std::string Stream()
{
    const char bytes[] = "QR\x01\x00QD\x07\x00\x00\x01\x01\x00\x01\x00\x81"
                         "QR\x01\x00QD\x07\x02\x00\x02\x01\x00\x01\x00\xd0"
                         "QR\x01\x01"
                         "QR\x01\x00QD\x07\x02\x00\x02\x01\x00\x01\x00\x03"
                         "QR\x01\x01QE\x00"
                         "Q@\x00QR\x01\x00QD\x07\x01\x00\x01\x01\x00\x01\x00\x40QR\x01\x01QE\x00";
    return std::string(bytes, sizeof bytes - 1);
}

TEST_F(PreviewTest, PlanesAndCompositeShowInkWhereTheRowsHaveIt)
{
    const ParseResult r = ParseStream(Stream());
    ASSERT_TRUE(r.ok()) << r.errors[0].message;
    std::vector<std::string> written;
    std::string error;
    PreviewOptions options;
    options.scale = 1;
    ASSERT_TRUE(WritePreviews(r, m_dir.string(), options, written, error)) << error;
    EXPECT_EQ(written.size(), 5u);

    // Black: 8 pixels wide, 2 rows (the layer's height).
    const Image black = Read(m_dir / "layer0_colour0.png", false);
    ASSERT_EQ(black.width, 8u);
    ASSERT_EQ(black.height, 2u);
    EXPECT_EQ(black.pixels, (std::vector<std::uint8_t>{0, 255, 255, 255, 255, 255, 255, 0,  //
                                                       255, 255, 255, 255, 255, 255, 255, 255}));
    // Cyan at 2 bits: 4 pixels a byte, padded to the widest plane.
    const Image cyan = Read(m_dir / "layer0_colour2.png", false);
    ASSERT_EQ(cyan.width, 8u);
    EXPECT_EQ(cyan.pixels, (std::vector<std::uint8_t>{0, 170, 255, 255, 255, 255, 255, 255,  //
                                                      255, 255, 255, 0, 255, 255, 255, 255}));
    const Image all = Read(m_dir / "layer0_composite.png", true);
    ASSERT_EQ(all.width, 8u);
    auto px = [&](unsigned x, unsigned y) {
        const std::uint8_t* p = &all.pixels[3 * (y * all.width + x)];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(px(0, 0), (std::vector<int>{0, 0, 0}));         // black over cyan
    EXPECT_EQ(px(7, 0), (std::vector<int>{0, 0, 0}));         // black alone
    EXPECT_EQ(px(3, 1), (std::vector<int>{0, 174, 239}));     // cyan alone
    EXPECT_EQ(px(2, 0), (std::vector<int>{255, 255, 255}));   // paper
    EXPECT_EQ(px(1, 0), (std::vector<int>{170, 228, 250}));   // a third of cyan

    const Image magenta = Read(m_dir / "layer1_composite.png", true);
    ASSERT_EQ(magenta.height, 1u);
    EXPECT_EQ(magenta.pixels[3], 236);
    EXPECT_EQ(magenta.pixels[4], 0);
}

TEST_F(PreviewTest, ScalingAveragesBlocksAndFitsTheLimit)
{
    const ParseResult r = ParseStream(Stream());
    std::vector<std::string> written;
    std::string error;
    PreviewOptions options;
    options.scale = 2;
    ASSERT_TRUE(WritePreviews(r, m_dir.string(), options, written, error)) << error;
    const Image black = Read(m_dir / "layer0_colour0.png", false);
    ASSERT_EQ(black.width, 4u);
    ASSERT_EQ(black.height, 1u);
    // One inked pixel in each outer 2 × 2 block: a quarter covered.
    EXPECT_EQ(black.pixels, (std::vector<std::uint8_t>{191, 255, 255, 191}));

    options.scale = 0;
    options.maxSide = 3;  // 8 pixels wide: a factor of 3 fits
    written.clear();
    ASSERT_TRUE(WritePreviews(r, m_dir.string(), options, written, error)) << error;
    EXPECT_EQ(Read(m_dir / "layer0_colour0.png", false).width, 3u);
}

TEST_F(PreviewTest, AnUnwritableFolderIsReported)
{
    const ParseResult r = ParseStream(Stream());
    fs::create_directories(m_dir);
    const fs::path file = m_dir / "file";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    std::vector<std::string> written;
    std::string error;
    EXPECT_FALSE(WritePreviews(r, (file / "sub").string(), PreviewOptions{}, written, error));
    EXPECT_NE(error.find("file/sub"), std::string::npos) << error;
    EXPECT_TRUE(written.empty());
}

} // namespace
