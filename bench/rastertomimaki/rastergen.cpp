// Writes the benchmark's CMYK page: as an 8-bit chunky CUPS raster on
// standard output, or as four PGMs (dark is ink) into the files or FIFOs
// given, a row of each plane in turn, so that rasterjob reading them as
// they come gets the same planes. The rows repeat a tile of smooth ramps
// and edges, computed once, so that writing costs next to nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <cups/raster.h>

namespace {

constexpr int kTileRows = 97;
constexpr int kPlanes = 4;

int Ink(int p, int x, int y)
{
    const int ramp = (x / 3 + y * 2 + p * 40) % 256;
    return ((x >> 7) + (y >> 5) + p) % 5 == 0 ? 0 : ramp;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t len)
{
    while (len) {
        const ssize_t n = ::write(fd, data, len);
        if (n <= 0)
            return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

int Usage()
{
    std::fputs("usage: bench_rastergen raster WIDTH HEIGHT DPI > page.ras\n"
               "       bench_rastergen pgm WIDTH HEIGHT C.pgm M.pgm Y.pgm K.pgm\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string mode = argv[1];
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    if (width <= 0 || height <= 0 || (mode == "raster" && argc != 5) || (mode == "pgm" && argc != 8))
        return Usage();
    const std::size_t w = static_cast<std::size_t>(width);
    if (mode == "raster") {
        std::vector<std::vector<unsigned char>> tile(kTileRows, std::vector<unsigned char>(w * kPlanes));
        for (int y = 0; y < kTileRows; ++y)
            for (std::size_t x = 0; x < w; ++x)
                for (int p = 0; p < kPlanes; ++p)
                    tile[static_cast<std::size_t>(y)][x * kPlanes + static_cast<std::size_t>(p)] =
                        static_cast<unsigned char>(Ink(p, static_cast<int>(x), y));
        cups_raster_t* r = cupsRasterOpen(1, CUPS_RASTER_WRITE);
        cups_page_header2_t h;
        std::memset(&h, 0, sizeof h);
        const unsigned dpi = static_cast<unsigned>(std::atoi(argv[4]));
        h.HWResolution[0] = h.HWResolution[1] = dpi;
        h.PageSize[0] = static_cast<unsigned>(width * 72 / static_cast<int>(dpi));
        h.PageSize[1] = static_cast<unsigned>(height * 72 / static_cast<int>(dpi));
        h.cupsWidth = static_cast<unsigned>(width);
        h.cupsHeight = static_cast<unsigned>(height);
        h.cupsBitsPerColor = 8;
        h.cupsBitsPerPixel = 32;
        h.cupsBytesPerLine = static_cast<unsigned>(w * kPlanes);
        h.cupsColorSpace = CUPS_CSPACE_CMYK;
        h.cupsColorOrder = CUPS_ORDER_CHUNKED;
        h.cupsNumColors = kPlanes;
        if (!cupsRasterWriteHeader2(r, &h))
            return 1;
        for (int y = 0; y < height; ++y)
            if (cupsRasterWritePixels(r, tile[static_cast<std::size_t>(y % kTileRows)].data(), h.cupsBytesPerLine) !=
                h.cupsBytesPerLine)
                return 1;
        cupsRasterClose(r);
        return 0;
    }
    if (mode != "pgm")
        return Usage();
    std::vector<std::vector<std::vector<unsigned char>>> tile(
        kPlanes, std::vector<std::vector<unsigned char>>(kTileRows, std::vector<unsigned char>(w)));
    for (int p = 0; p < kPlanes; ++p)
        for (int y = 0; y < kTileRows; ++y)
            for (std::size_t x = 0; x < w; ++x)
                tile[static_cast<std::size_t>(p)][static_cast<std::size_t>(y)][x] =
                    static_cast<unsigned char>(255 - Ink(p, static_cast<int>(x), y));
    int fds[kPlanes];
    const std::string head = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int p = 0; p < kPlanes; ++p) {
        fds[p] = ::open(argv[4 + p], O_WRONLY);
        if (fds[p] < 0) {
            std::perror(argv[4 + p]);
            return 1;
        }
        // Room for several rows, so that a reader that reads ahead of the
        // row it needs does not wait for the next plane's.
        ::fcntl(fds[p], F_SETPIPE_SZ, 4 << 20);
        if (!WriteAll(fds[p], reinterpret_cast<const unsigned char*>(head.data()), head.size()))
            return 1;
    }
    for (int y = 0; y < height; ++y)
        for (int p = 0; p < kPlanes; ++p)
            if (!WriteAll(fds[p], tile[static_cast<std::size_t>(p)][static_cast<std::size_t>(y % kTileRows)].data(), w))
                return 1;
    for (int fd : fds)
        ::close(fd);
    return 0;
}
