#include "tools/rasterjob/ImageSource.h"

#include <vector>

#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

class ImageSource : public IRowSource {
public:
    ImageSource(std::unique_ptr<ImageReader> image, int bits, ScreenKind screen)
        : m_image(std::move(image)), m_bits(bits), m_dots(HoldsDots(*m_image, bits)),
          m_screen(m_image->Width(), bits, screen), m_samples(static_cast<std::size_t>(m_image->Width())),
          m_values(static_cast<std::size_t>(m_image->Width()))
    {
        // Sample to ink (dark is ink), or to dot level.
        const int maxVal = m_image->MaxVal();
        m_map.resize(static_cast<std::size_t>(maxVal) + 1);
        for (int v = 0; v <= maxVal; ++v)
            m_map[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(
                m_dots ? maxVal - v : ((maxVal - v) * 255LL + maxVal / 2) / maxVal);
    }

    const BYTE* Row(int y, BYTE* scratch) override
    {
        if (!m_image->ReadRow(m_samples.data(), m_error))
            return nullptr;
        const int w = m_image->Width();
        for (int x = 0; x < w; ++x)
            m_values[static_cast<std::size_t>(x)] = m_map[m_samples[static_cast<std::size_t>(x)]];
        if (m_dots)
            PackLevels(m_values.data(), w, m_bits, scratch);
        else
            m_screen.ScreenRow(m_values.data(), y, scratch);
        return scratch;
    }

private:
    std::unique_ptr<ImageReader> m_image;
    int m_bits;
    bool m_dots;
    Screener m_screen;
    std::vector<std::uint16_t> m_samples;
    std::vector<std::uint8_t> m_values;
    std::vector<std::uint8_t> m_map;
};

} // namespace

bool HoldsDots(const ImageReader& image, int bits)
{
    const int top = (1 << bits) - 1;
    return (image.Format() == ImageFormat::Pbm && bits == 1) ||
           (image.Format() == ImageFormat::Pgm && image.MaxVal() == top);
}

std::unique_ptr<IRowSource> MakeImageSource(std::unique_ptr<ImageReader> image, int bits, ScreenKind screen)
{
    return std::make_unique<ImageSource>(std::move(image), bits, screen);
}

} // namespace rasterjob
