// CUPS rasters for tests, written by CUPS's own library, and the PGM files
// that hand rasterjob the same contone planes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace rastertest {

struct Page {
    unsigned space = 6;  // CUPS_CSPACE_CMYK
    unsigned order = 0;  // chunky
    unsigned bits = 8;
    int width = 37, height = 23;
    int dpiHorz = 360, dpiVert = 720;
    // Value (ink) of plane p at x, y: 0..255 for 8 bits, a dot level else.
    std::function<int(int p, int x, int y)> value;
};

int Planes(unsigned space);
// Writes the pages; the file ends cutBytes early when given.
void WriteRaster(const std::string& path, const std::vector<Page>& pages, long cutBytes = 0);
// One 8-bit PGM per plane of an 8-bit page (dark is ink): plane-0.pgm ...
std::vector<std::string> WritePlanePgms(const std::string& dir, const Page& page);

// The 8-bit pages of a raster file, each plane's samples kept.
std::vector<Page> ReadPages(const std::string& path);

// The planes of a printer stream that hold ink.
int InkedPlanes(const std::string& stream);

// rasterjob's stream for the planes of page in a job of uid with the dot
// depth bits, job name "poster", extra its further options; written in dir.
// A stream without ink fails the test: two empty streams prove nothing.
std::string RasterJobStream(const testsupport::TempDir& dir, int uid, const Page& page, int bits,
                            std::vector<std::string> extra);

} // namespace rastertest
