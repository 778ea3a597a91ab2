// Pages of a CUPS raster as the plug-in's channels: each ink plane of the
// page becomes one row source, contone planes screened to the job's dot
// depth as rasterjob screens its images, 1- and 2-bit planes taken as dots.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <cups/raster.h>

#include "tools/rasterjob/RowSource.h"

namespace rastertomimaki {

// What a page holds, checked against what the filter can print.
struct PageLayout {
    int width = 0;
    int height = 0;
    int bitsPerColor = 0;           // 1, 2 or 8 (16 is taken at its high byte)
    int order = 0;                  // CUPS_ORDER_CHUNKED, _BANDED or _PLANAR
    std::vector<int> colourCodes;   // host colour code per plane, in the raster's plane order
    const char* spaceName = "";
    double dpiHorz = 0, dpiVert = 0;
};

// The host colour codes of a colour space's planes; empty when the filter
// cannot print it. name gets the space's name either way.
std::vector<int> PlaneColourCodes(unsigned colorSpace, const char*& name);

// Checks a page header; answers false with a message that names the page.
bool CheckPage(const cups_page_header2_t& header, int page, PageLayout& layout, std::string& error);

// Reads the pixels of one page and hands them out plane by plane. The
// planes of a row are read when the first plane asks for it; a planar page
// keeps all planes but the last in an unlinked temporary file.
class PageReader {
public:
    // jobBits: the dot depth the driver prints (1 or 2); contone planes are
    // screened to it, dot planes must have it.
    PageReader(cups_raster_t* raster, const cups_page_header2_t& header, const PageLayout& layout, int jobBits,
               int page);
    ~PageReader();
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    // One source per plane; they stay valid while the reader lives.
    std::vector<std::unique_ptr<rasterjob::IRowSource>> Sources();
    // The plane p of row y, packed at the job's depth. Rows come in order.
    const BYTE* PlaneRow(int plane, int y, BYTE* scratch, std::string& error);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
    int m_planes;
};

} // namespace rastertomimaki
