#include "tools/rastertomimaki/CupsRaster.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "tools/rasterjob/Options.h"
#include "tools/rasterjob/Screen.h"

namespace rastertomimaki {

namespace {

std::string PageText(int page) { return "page " + std::to_string(page); }

// A file in $TMPDIR (else /tmp) that is gone from the folder as soon as it
// is made, so that nothing is left behind whatever ends the filter.
int UnlinkedTempFile(std::string& error)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/rastertomimaki-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        error = path.substr(0, path.size() - 7) + ": cannot make a temporary file: " + std::strerror(errno);
        return -1;
    }
    ::unlink(path.c_str());
    return fd;
}

} // namespace

std::vector<int> PlaneColourCodes(unsigned colorSpace, const char*& name)
{
    switch (colorSpace) {
    case CUPS_CSPACE_K:
        name = "K";
        return {0};
    case CUPS_CSPACE_CMYK:
        name = "CMYK";
        return {1, 2, 3, 0};
    case CUPS_CSPACE_KCMY:
        name = "KCMY";
        return {0, 1, 2, 3};
    case CUPS_CSPACE_W: name = "W"; break;
    case CUPS_CSPACE_RGB: name = "RGB"; break;
    case CUPS_CSPACE_RGBA: name = "RGBA"; break;
    case CUPS_CSPACE_CMY: name = "CMY"; break;
    case CUPS_CSPACE_YMC: name = "YMC"; break;
    case CUPS_CSPACE_YMCK: name = "YMCK"; break;
    case CUPS_CSPACE_KCMYcm: name = "KCMYcm"; break;
    case CUPS_CSPACE_SW: name = "sGray"; break;
    case CUPS_CSPACE_SRGB: name = "sRGB"; break;
    case CUPS_CSPACE_ADOBERGB: name = "AdobeRGB"; break;
    default: name = "another"; break;
    }
    return {};
}

bool CheckPage(const cups_page_header2_t& h, int page, PageLayout& layout, std::string& error)
{
    const std::string where = PageText(page) + ": ";
    layout.colourCodes = PlaneColourCodes(h.cupsColorSpace, layout.spaceName);
    if (layout.colourCodes.empty()) {
        error = where + "colour space " + layout.spaceName + " (" + std::to_string(h.cupsColorSpace) +
                ") cannot be printed; the printer takes K, CMYK or KCMY (choose a colour model of the PPD)";
        return false;
    }
    const int n = static_cast<int>(layout.colourCodes.size());
    const int bits = static_cast<int>(h.cupsBitsPerColor);
    if (bits != 1 && bits != 2 && bits != 8) {
        error = where + std::to_string(bits) + " bits per colour cannot be printed; the printer takes 1 or 2 (dots) "
                "or 8 (screened here)";
        return false;
    }
    if (h.cupsColorOrder > CUPS_ORDER_PLANAR) {
        error = where + "colour order " + std::to_string(h.cupsColorOrder) + " is unknown";
        return false;
    }
    if (h.cupsWidth == 0 || h.cupsHeight == 0 || h.cupsWidth > 1u << 24 || h.cupsHeight > 1u << 28) {
        error = where + "size " + std::to_string(h.cupsWidth) + " x " + std::to_string(h.cupsHeight) +
                " pixels cannot be printed";
        return false;
    }
    if (h.HWResolution[0] == 0 || h.HWResolution[1] == 0) {
        error = where + "no resolution";
        return false;
    }
    const unsigned long long planeBytes = (static_cast<unsigned long long>(h.cupsWidth) * bits + 7) / 8;
    unsigned long long expected = planeBytes;
    if (h.cupsColorOrder == CUPS_ORDER_CHUNKED) {
        if (static_cast<int>(h.cupsBitsPerPixel) != bits * n) {
            error = where + std::to_string(h.cupsBitsPerPixel) + " bits per pixel do not fit " + std::to_string(n) +
                    " colours of " + std::to_string(bits) + " bits";
            return false;
        }
        expected = (static_cast<unsigned long long>(h.cupsWidth) * bits * n + 7) / 8;
    } else if (h.cupsColorOrder == CUPS_ORDER_BANDED) {
        expected = planeBytes * n;
    }
    if (h.cupsBytesPerLine != expected) {
        error = where + std::to_string(h.cupsBytesPerLine) + " bytes per line where " + std::to_string(h.cupsWidth) +
                " pixels of " + layout.spaceName + " at " + std::to_string(bits) + " bits need " +
                std::to_string(expected);
        return false;
    }
    layout.width = static_cast<int>(h.cupsWidth);
    layout.height = static_cast<int>(h.cupsHeight);
    layout.bitsPerColor = bits;
    layout.order = static_cast<int>(h.cupsColorOrder);
    layout.dpiHorz = h.HWResolution[0];
    layout.dpiVert = h.HWResolution[1];
    return true;
}

class PageReader::Impl {
public:
    Impl(cups_raster_t* raster, const cups_page_header2_t& header, const PageLayout& layout, int jobBits, int page)
        : m_raster(raster), m_layout(layout), m_planes(static_cast<int>(layout.colourCodes.size())),
          m_bits(layout.bitsPerColor), m_jobBits(jobBits), m_page(page), m_lineBytes(header.cupsBytesPerLine),
          m_planeBytes((static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(m_bits) + 7) / 8),
          m_line(m_lineBytes), m_values(static_cast<std::size_t>(layout.width))
    {
        if (m_bits == 8)
            for (int p = 0; p < m_planes; ++p)
                m_screens.emplace_back(layout.width, jobBits, rasterjob::ScreenKind::Diffusion);
        if (layout.order == CUPS_ORDER_PLANAR)
            m_planeRows.assign(static_cast<std::size_t>(m_planes), std::vector<BYTE>(m_planeBytes));
    }
    ~Impl()
    {
        if (m_spill >= 0)
            ::close(m_spill);
    }

    const BYTE* PlaneRow(int plane, int y, BYTE* scratch, std::string& error)
    {
        if (y != m_row && !ReadRow(y, error))
            return nullptr;
        const BYTE* src = nullptr;
        switch (m_layout.order) {
        case CUPS_ORDER_BANDED: src = m_line.data() + static_cast<std::size_t>(plane) * m_planeBytes; break;
        case CUPS_ORDER_PLANAR: src = m_planeRows[static_cast<std::size_t>(plane)].data(); break;
        default: return Chunky(plane, y, scratch);
        }
        // One plane's line: contone samples, or dots already packed as the
        // driver takes them.
        if (m_bits != 8)
            return src;
        m_screens[static_cast<std::size_t>(plane)].ScreenRow(src, y, scratch);
        return scratch;
    }

private:
    bool ReadLine(BYTE* into, std::size_t bytes, int y, std::string& error)
    {
        if (cupsRasterReadPixels(m_raster, into, static_cast<unsigned>(bytes)) != bytes) {
            error = PageText(m_page) + ": the raster ends at row " + std::to_string(y + 1) + " of " +
                    std::to_string(m_layout.height) + " (truncated)";
            return false;
        }
        return true;
    }

    bool ReadRow(int y, std::string& error)
    {
        if (y != m_row + 1) {
            error = PageText(m_page) + ": rows asked out of order";
            return false;
        }
        if (m_layout.order != CUPS_ORDER_PLANAR) {
            if (!ReadLine(m_line.data(), m_lineBytes, y, error))
                return false;
        } else {
            if (y == 0 && m_planes > 1 && !SpillPlanes(error))
                return false;
            const std::size_t last = static_cast<std::size_t>(m_planes - 1);
            if (!ReadLine(m_planeRows[last].data(), m_planeBytes, y, error))
                return false;
            for (std::size_t p = 0; p < last; ++p) {
                const off_t at = static_cast<off_t>((p * static_cast<std::size_t>(m_layout.height) +
                                                     static_cast<std::size_t>(y)) * m_planeBytes);
                if (::pread(m_spill, m_planeRows[p].data(), m_planeBytes, at) != static_cast<ssize_t>(m_planeBytes)) {
                    error = PageText(m_page) + ": cannot read back the page's planes: " + std::strerror(errno);
                    return false;
                }
            }
        }
        m_row = y;
        return true;
    }

    // A planar page sends each plane whole: all but the last go to a
    // temporary file, so that each row can be printed with all its planes.
    bool SpillPlanes(std::string& error)
    {
        m_spill = UnlinkedTempFile(error);
        if (m_spill < 0)
            return false;
        std::vector<BYTE> line(m_planeBytes);
        for (int p = 0; p + 1 < m_planes; ++p)
            for (int y = 0; y < m_layout.height; ++y) {
                if (!ReadLine(line.data(), m_planeBytes, y, error)) {
                    error += " in plane " + std::to_string(p + 1) + " of " + std::to_string(m_planes);
                    return false;
                }
                for (std::size_t done = 0; done < m_planeBytes;) {
                    const ssize_t n = ::write(m_spill, line.data() + done, m_planeBytes - done);
                    if (n < 0 && errno == EINTR)
                        continue;
                    if (n <= 0) {
                        error = PageText(m_page) + ": cannot keep the page's planes in a temporary file: " +
                                std::strerror(n < 0 ? errno : ENOSPC);
                        return false;
                    }
                    done += static_cast<std::size_t>(n);
                }
            }
        return true;
    }

    // Pixel after pixel, each with all its colours.
    const BYTE* Chunky(int plane, int y, BYTE* scratch)
    {
        const std::size_t w = static_cast<std::size_t>(m_layout.width);
        const std::size_t n = static_cast<std::size_t>(m_planes);
        const BYTE* line = m_line.data();
        std::uint8_t* v = m_values.data();
        if (m_bits == 8) {
            const BYTE* s = line + plane;
            for (std::size_t x = 0; x < w; ++x, s += n)
                v[x] = *s;
            m_screens[static_cast<std::size_t>(plane)].ScreenRow(v, y, scratch);
            return scratch;
        }
        const unsigned mask = (1u << m_bits) - 1;
        const std::size_t bpp = n * static_cast<std::size_t>(m_bits);
        std::size_t bit = static_cast<std::size_t>(plane) * static_cast<std::size_t>(m_bits);
        for (std::size_t x = 0; x < w; ++x, bit += bpp)
            v[x] = static_cast<std::uint8_t>((line[bit / 8] >> (8 - m_bits - static_cast<int>(bit % 8))) & mask);
        rasterjob::PackLevels(v, m_layout.width, m_jobBits, scratch);
        return scratch;
    }

    cups_raster_t* m_raster;
    PageLayout m_layout;
    int m_planes;
    int m_bits;
    int m_jobBits;
    int m_page;
    std::size_t m_lineBytes;
    std::size_t m_planeBytes;
    std::vector<BYTE> m_line;
    std::vector<std::uint8_t> m_values;
    std::vector<rasterjob::Screener> m_screens;
    std::vector<std::vector<BYTE>> m_planeRows;
    int m_spill = -1;
    int m_row = -1;
};

namespace {

class PlaneSource : public rasterjob::IRowSource {
public:
    PlaneSource(PageReader& reader, int plane) : m_reader(reader), m_plane(plane) {}
    const BYTE* Row(int y, BYTE* scratch) override { return m_reader.PlaneRow(m_plane, y, scratch, m_error); }

private:
    PageReader& m_reader;
    int m_plane;
};

} // namespace

PageReader::PageReader(cups_raster_t* raster, const cups_page_header2_t& header, const PageLayout& layout, int jobBits,
                       int page)
    : m_impl(std::make_unique<Impl>(raster, header, layout, jobBits, page)),
      m_planes(static_cast<int>(layout.colourCodes.size()))
{
}

PageReader::~PageReader() = default;

std::vector<std::unique_ptr<rasterjob::IRowSource>> PageReader::Sources()
{
    std::vector<std::unique_ptr<rasterjob::IRowSource>> out;
    for (int p = 0; p < m_planes; ++p)
        out.push_back(std::make_unique<PlaneSource>(*this, p));
    return out;
}

const BYTE* PageReader::PlaneRow(int plane, int y, BYTE* scratch, std::string& error)
{
    return m_impl->PlaneRow(plane, y, scratch, error);
}

} // namespace rastertomimaki
