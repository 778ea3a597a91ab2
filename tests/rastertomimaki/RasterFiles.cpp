#include "RasterFiles.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <cups/raster.h>

#include "tests/support/TempDir.h"

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

} // namespace rastertest
