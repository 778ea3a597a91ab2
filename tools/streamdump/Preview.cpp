#include "tools/streamdump/Preview.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "tools/common/PngWriter.h"

namespace streamparse {

namespace {

// Preview colour of a printer colour byte (ESC/P colour numbers and the
// MRL III colour bytes agree for the process inks).
struct InkColour {
    int code;
    std::uint8_t r, g, b;
};

constexpr InkColour kInkColours[] = {
    {0, 0, 0, 0},          // black
    {1, 236, 0, 140},      // magenta
    {2, 0, 174, 239},      // cyan
    {3, 255, 128, 0},      // orange
    {4, 255, 230, 0},      // yellow
    {5, 220, 40, 40},      // red
    {6, 40, 90, 220},      // blue
    {17, 246, 150, 200},   // light magenta
    {18, 140, 215, 245},   // light cyan
    {252, 150, 110, 60},   // primer
    {253, 110, 140, 180},  // varnish
    {254, 140, 140, 140},  // white ink, shown grey on white paper
    {255, 180, 160, 210},  // second special ink
};

struct Rgb {
    float r, g, b;
};

Rgb ColourOf(const PlaneKey& key)
{
    Rgb c{};
    bool found = false;
    for (const InkColour& ink : kInkColours)
        if (ink.code == key.colour) {
            c = {ink.r / 255.f, ink.g / 255.f, ink.b / 255.f};
            found = true;
        }
    if (!found) {
        // Any other byte: a saturated hue of its own.
        const float h = static_cast<float>((key.colour * 47) % 360) / 60.f;
        const float x = 1.f - std::fabs(std::fmod(h, 2.f) - 1.f);
        const int sector = static_cast<int>(h);
        const Rgb table[6] = {{1, x, 0}, {x, 1, 0}, {0, 1, x}, {0, x, 1}, {x, 0, 1}, {1, 0, x}};
        c = table[sector % 6];
        c = {c.r * .8f, c.g * .8f, c.b * .8f};
    }
    if (key.density > 0)  // light ink of ESC "(r"
        c = {(c.r + 1) / 2, (c.g + 1) / 2, (c.b + 1) / 2};
    return c;
}

int PixelsPerRow(const Plane& plane)
{
    const int bpp = plane.bitsPerPixel >= 1 && plane.bitsPerPixel <= 8 ? plane.bitsPerPixel : 1;
    return plane.bytesPerRow * 8 / bpp;
}

// Walks a plane's rows and averages ink coverage into preview columns.
class CoverageReader {
public:
    CoverageReader(const Plane& plane, int scale, int outWidth)
        : m_plane(plane), m_scale(scale), m_sum(static_cast<std::size_t>(outWidth))
    {
        m_bpp = plane.bitsPerPixel >= 1 && plane.bitsPerPixel <= 8 ? plane.bitsPerPixel : 1;
        m_mask = (1u << m_bpp) - 1;
    }

    // Coverage 0..1 of each preview column for preview row y.
    const std::vector<float>& Read(std::int64_t y)
    {
        std::fill(m_sum.begin(), m_sum.end(), 0.f);
        const std::int64_t first = y * m_scale;
        const std::int64_t last = first + m_scale;
        while (m_next < m_plane.rowData.size() && m_plane.rowData[m_next].index < first)
            ++m_next;
        for (; m_next < m_plane.rowData.size() && m_plane.rowData[m_next].index < last; ++m_next)
            AddRow(m_plane.rowData[m_next].bytes);
        const float area = static_cast<float>(m_scale) * static_cast<float>(m_scale);
        for (float& v : m_sum)
            v = std::min(1.f, v / area);
        return m_sum;
    }

private:
    void AddRow(const std::vector<std::uint8_t>& bytes)
    {
        const int perByte = 8 / m_bpp;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::uint8_t b = bytes[i];
            if (!b)
                continue;
            for (int k = 0; k < perByte; ++k) {
                const unsigned v = (b >> (8 - m_bpp * (k + 1))) & m_mask;
                if (!v)
                    continue;
                const std::size_t x = (i * static_cast<std::size_t>(perByte) + static_cast<std::size_t>(k)) /
                                      static_cast<std::size_t>(m_scale);
                if (x < m_sum.size())
                    m_sum[x] += static_cast<float>(v) / static_cast<float>(m_mask);
            }
        }
    }

    const Plane& m_plane;
    int m_scale;
    int m_bpp = 1;
    unsigned m_mask = 1;
    std::size_t m_next = 0;
    std::vector<float> m_sum;
};

std::uint8_t ToByte(float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.f, 1.f) * 255.f)); }

} // namespace

std::string PlaneFileName(const PlaneKey& key)
{
    std::string name = "layer" + std::to_string(key.layer) + "_colour" + std::to_string(key.colour);
    if (key.density >= 0)
        name += "_density" + std::to_string(key.density);
    if (key.sublayer >= 0)
        name += "_sub" + std::to_string(key.sublayer);
    if (key.occurrence > 0)
        name += "_occ" + std::to_string(key.occurrence);
    return name + ".png";
}

std::string CompositeFileName(int layer) { return "layer" + std::to_string(layer) + "_composite.png"; }

bool WritePreviews(const ParseResult& result, const std::string& dir, const PreviewOptions& options,
                   std::vector<std::string>& written, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = dir + ": " + ec.message();
        return false;
    }
    // The planes come ordered by layer: each layer takes the next run.
    std::size_t next = 0;
    std::uint64_t pixels = 0;
    for (const Layer& layer : result.layers) {
        std::vector<const Plane*> planes;
        int width = 0;
        while (next < result.planes.size() && result.planes[next].key.layer < layer.index)
            ++next;
        for (; next < result.planes.size() && result.planes[next].key.layer == layer.index; ++next) {
            planes.push_back(&result.planes[next]);
            width = std::max(width, PixelsPerRow(result.planes[next]));
        }
        const std::int64_t height = layer.rows;
        if (planes.empty() || width == 0 || height == 0)
            continue;
        int scale = options.scale;
        if (scale <= 0) {
            const std::int64_t side = std::max<std::int64_t>(width, height);
            const std::int64_t limit = std::max(1, options.maxSide);
            scale = static_cast<int>(std::min<std::int64_t>((side + limit - 1) / limit, 1 << 20));
        }
        const auto outW = static_cast<std::uint32_t>((width + scale - 1) / scale);
        const auto outH = static_cast<std::uint32_t>((height + scale - 1) / scale);
        pixels += std::uint64_t(outW) * outH * (planes.size() + 1);
        if (pixels > options.maxPixels) {
            error = "previews stopped before layer " + std::to_string(layer.index) + ": they would take more than " +
                    std::to_string(options.maxPixels) + " preview pixels (a larger --png-scale makes them smaller)";
            return false;
        }

        std::vector<CoverageReader> readers;
        std::vector<PngWriter> writers(planes.size());
        std::vector<Rgb> inks;
        for (std::size_t i = 0; i < planes.size(); ++i) {
            readers.emplace_back(*planes[i], scale, static_cast<int>(outW));
            inks.push_back(ColourOf(planes[i]->key));
            if (!writers[i].Open(dir + "/" + PlaneFileName(planes[i]->key), outW, outH, PngWriter::Kind::Grey)) {
                error = writers[i].Error();
                return false;
            }
        }
        PngWriter composite;
        if (!composite.Open(dir + "/" + CompositeFileName(layer.index), outW, outH, PngWriter::Kind::Rgb)) {
            error = composite.Error();
            return false;
        }
        std::vector<std::uint8_t> grey(outW);
        std::vector<float> rgb(std::size_t(outW) * 3);
        std::vector<std::uint8_t> rgbBytes(std::size_t(outW) * 3);
        for (std::uint32_t y = 0; y < outH; ++y) {
            if (options.stop && *options.stop) {
                error = "interrupted; the previews of layer " + std::to_string(layer.index) + " were not written";
                return false;
            }
            std::fill(rgb.begin(), rgb.end(), 1.f);
            for (std::size_t i = 0; i < planes.size(); ++i) {
                const std::vector<float>& cover = readers[i].Read(y);
                const Rgb ink = inks[i];
                for (std::uint32_t x = 0; x < outW; ++x) {
                    const float c = cover[x];
                    grey[x] = ToByte(1.f - c);
                    rgb[3 * x] *= 1.f - c * (1.f - ink.r);
                    rgb[3 * x + 1] *= 1.f - c * (1.f - ink.g);
                    rgb[3 * x + 2] *= 1.f - c * (1.f - ink.b);
                }
                if (!writers[i].WriteRow(grey.data())) {
                    error = writers[i].Error();
                    return false;
                }
            }
            for (std::size_t k = 0; k < rgb.size(); ++k)
                rgbBytes[k] = ToByte(rgb[k]);
            if (!composite.WriteRow(rgbBytes.data())) {
                error = composite.Error();
                return false;
            }
        }
        for (std::size_t i = 0; i < planes.size(); ++i) {
            if (!writers[i].Finish()) {
                error = writers[i].Error();
                return false;
            }
            written.push_back(dir + "/" + PlaneFileName(planes[i]->key));
        }
        if (!composite.Finish()) {
            error = composite.Error();
            return false;
        }
        written.push_back(dir + "/" + CompositeFileName(layer.index));
    }
    return true;
}

} // namespace streamparse
