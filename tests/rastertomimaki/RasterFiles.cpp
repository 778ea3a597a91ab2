#include "RasterFiles.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <cups/raster.h>

#include <gtest/gtest.h>
#include <memory>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/rastertomimaki/CupsRaster.h"
#include "tools/streamdump/StreamParser.h"

namespace rastertest {

int Planes(unsigned space)
{
    return space == CUPS_CSPACE_CMYK || space == CUPS_CSPACE_KCMY ? 4 : space == CUPS_CSPACE_RGB ? 3 : 1;
}

void WriteRaster(const std::string& path, const std::vector<Page>& pages, long cutBytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
    for (const Page& pg : pages) {
        const int n = Planes(pg.space);
        cups_page_header2_t h;
        std::memset(&h, 0, sizeof h);
        h.cupsWidth = static_cast<unsigned>(pg.width);
        h.cupsHeight = static_cast<unsigned>(pg.height);
        h.HWResolution[0] = static_cast<unsigned>(pg.dpiHorz);
        h.HWResolution[1] = static_cast<unsigned>(pg.dpiVert);
        h.cupsBitsPerColor = pg.bits;
        h.cupsColorSpace = static_cast<cups_cspace_t>(pg.space);
        h.cupsColorOrder = static_cast<cups_order_t>(pg.order);
        h.cupsNumColors = static_cast<unsigned>(n);
        const unsigned planeBytes = (static_cast<unsigned>(pg.width) * pg.bits + 7) / 8;
        h.cupsBitsPerPixel = pg.order == 0 ? pg.bits * static_cast<unsigned>(n) : pg.bits;
        h.cupsBytesPerLine = pg.order == 0 ? (static_cast<unsigned>(pg.width) * h.cupsBitsPerPixel + 7) / 8
                             : pg.order == 1 ? planeBytes * static_cast<unsigned>(n)
                                             : planeBytes;
        cupsRasterWriteHeader2(r, &h);
        std::vector<unsigned char> line(h.cupsBytesPerLine);
        // Sets the bits of one sample, most significant first.
        auto put = [&](std::size_t bitPos, int v) {
            line[bitPos / 8] |= static_cast<unsigned char>(v << (8 - pg.bits - bitPos % 8));
        };
        auto rowOf = [&](int p, int y, std::size_t base, std::size_t step) {
            for (int x = 0; x < pg.width; ++x)
                put(base + static_cast<std::size_t>(x) * step, pg.value(p, x, y));
        };
        const int passes = pg.order == 2 ? n : 1;
        for (int pass = 0; pass < passes; ++pass)
            for (int y = 0; y < pg.height; ++y) {
                std::fill(line.begin(), line.end(), 0);
                if (pg.order == 0)
                    for (int p = 0; p < n; ++p)
                        rowOf(p, y, static_cast<std::size_t>(p) * pg.bits, static_cast<std::size_t>(n) * pg.bits);
                else if (pg.order == 1)
                    for (int p = 0; p < n; ++p)
                        rowOf(p, y, static_cast<std::size_t>(p) * planeBytes * 8, pg.bits);
                else
                    rowOf(pass, y, 0, pg.bits);
                cupsRasterWritePixels(r, line.data(), static_cast<unsigned>(line.size()));
            }
    }
    cupsRasterClose(r);
    if (cutBytes > 0)
        (void)::ftruncate(fd, ::lseek(fd, 0, SEEK_END) - cutBytes);
    ::close(fd);
}

std::vector<std::string> WritePlanePgms(const std::string& dir, const Page& pg)
{
    std::vector<std::string> paths;
    for (int p = 0; p < Planes(pg.space); ++p) {
        std::string data = "P5\n" + std::to_string(pg.width) + " " + std::to_string(pg.height) + "\n255\n";
        for (int y = 0; y < pg.height; ++y)
            for (int x = 0; x < pg.width; ++x)
                data += static_cast<char>(255 - pg.value(p, x, y));
        paths.push_back(dir + "/plane-" + std::to_string(p) + ".pgm");
        testsupport::WriteFile(paths.back(), data);
    }
    return paths;
}

std::vector<Page> ReadPages(const std::string& path)
{
    std::vector<Page> pages;
    const int fd = ::open(path.c_str(), O_RDONLY);
    cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t h;
    while (cupsRasterReadHeader2(r, &h)) {
        Page pg;
        pg.space = h.cupsColorSpace;
        pg.order = h.cupsColorOrder;
        pg.bits = h.cupsBitsPerColor;
        pg.width = static_cast<int>(h.cupsWidth);
        pg.height = static_cast<int>(h.cupsHeight);
        pg.dpiHorz = static_cast<int>(h.HWResolution[0]);
        pg.dpiVert = static_cast<int>(h.HWResolution[1]);
        EXPECT_EQ(pg.bits, 8u);
        EXPECT_EQ(pg.order, 0u);
        const int n = Planes(pg.space);
        auto samples = std::make_shared<std::vector<unsigned char>>(h.cupsBytesPerLine * h.cupsHeight);
        for (unsigned y = 0; y < h.cupsHeight; ++y)
            cupsRasterReadPixels(r, samples->data() + y * h.cupsBytesPerLine, h.cupsBytesPerLine);
        const std::size_t line = h.cupsBytesPerLine;
        pg.value = [samples, n, line](int p, int x, int y) {
            return static_cast<int>((*samples)[static_cast<std::size_t>(y) * line + static_cast<std::size_t>(x * n + p)]);
        };
        pages.push_back(pg);
    }
    cupsRasterClose(r);
    ::close(fd);
    return pages;
}

int InkedPlanes(const std::string& stream)
{
    int inked = 0;
    for (const streamparse::Plane& plane : streamparse::ParseStream(stream).planes)
        inked += plane.firstInkRow >= 0 ? 1 : 0;
    return inked;
}

std::string RasterJobStream(const testsupport::TempDir& dir, int uid, const Page& page, int bits,
                            std::vector<std::string> extra)
{
    std::vector<std::string> args = {"--set", "PrEnv_UID=" + std::to_string(uid), "--quiet", "--job-name", "poster",
                                     "--bits", std::to_string(bits), "--dpi",
                                     std::to_string(page.dpiHorz) + "x" + std::to_string(page.dpiVert), "-o",
                                     dir / "rasterjob.prn"};
    const char* name = nullptr;
    std::string channels;
    // Appended piece by piece: GCC 12's Release build warns about the sum.
    for (int code : rastertomimaki::PlaneColourCodes(page.space, name)) {
        if (!channels.empty())
            channels += ',';
        channels += std::to_string(code);
    }
    args.insert(args.end(), {"--channels", channels});
    for (const std::string& pgm : WritePlanePgms(dir.Path(), page))
        args.insert(args.end(), {"--input", pgm});
    args.insert(args.end(), extra.begin(), extra.end());
    const testsupport::RunResult r = testsupport::Run(RASTERJOB_EXE, args,
                                                      testsupport::RunOptions(dir.Path(), {"MIMAKI_PLUGIN=" MIMAKI_PLUGIN_PATH}));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string stream = testsupport::ReadFile(dir / "rasterjob.prn");
    EXPECT_GT(InkedPlanes(stream), 0) << "rasterjob printed no ink for UID " << uid;
    return stream;
}

} // namespace rastertest
