#include "tools/rasterjob/ImageIO.h"

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

constexpr int kMaxWidth = 1000000;
constexpr int kMaxHeight = 100000000;

std::string RowText(int row, int height)
{
    return "row " + std::to_string(row + 1) + " of " + std::to_string(height);
}

bool CheckSize(const std::string& path, long long w, long long h, std::string& error)
{
    if (w < 1 || h < 1 || w > kMaxWidth || h > kMaxHeight) {
        error = path + ": image size " + std::to_string(w) + "x" + std::to_string(h) + " is outside 1x1 to " +
                std::to_string(kMaxWidth) + "x" + std::to_string(kMaxHeight);
        return false;
    }
    return true;
}

} // namespace

bool ImageReader::ReadRow(std::uint16_t* samples, std::string& error)
{
    if (m_row >= m_height) {
        error = m_path + ": read past the last row";
        return false;
    }
    if (!ReadNextRow(samples, error))
        return false;
    ++m_row;
    return true;
}

namespace {

// ---- PBM / PGM (plain and raw) ----

class PnmReader : public ImageReader {
public:
    ~PnmReader() override
    {
        if (m_file)
            std::fclose(m_file);
    }

    static std::unique_ptr<ImageReader> Open(const std::string& path, std::FILE* file, std::string& error)
    {
        std::unique_ptr<PnmReader> r(new PnmReader);
        r->m_path = path;
        r->m_file = file;
        if (!r->ReadHeader(error))
            return nullptr;
        return r;
    }

    bool ReadNextRow(std::uint16_t* samples, std::string& error) override
    {
        return m_plain ? ReadPlainRow(samples, error) : ReadRawRow(samples, error);
    }

private:
    PnmReader() = default;

    int Next() { return std::fgetc(m_file); }

    // Skips blanks and comments; answers the first other character.
    int SkipBlank()
    {
        int c = Next();
        while (c != EOF) {
            if (c == '#') {
                while (c != EOF && c != '\n')
                    c = Next();
            } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f')
                return c;
            c = Next();
        }
        return EOF;
    }

    bool ReadNumber(const char* what, long long& value, std::string& error)
    {
        int c = SkipBlank();
        if (c < '0' || c > '9') {
            error = m_path + ": bad header: expected the " + what;
            return false;
        }
        value = 0;
        while (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            if (value > 1000000000LL) {
                error = m_path + ": bad header: " + what + " too large";
                return false;
            }
            c = Next();
        }
        if (c != EOF && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '#') {
            error = m_path + ": bad header: junk after the " + what;
            return false;
        }
        if (c == '#')
            std::ungetc(c, m_file);
        return true;
    }

    bool ReadHeader(std::string& error)
    {
        char magic[2];
        if (std::fread(magic, 1, 2, m_file) != 2 || magic[0] != 'P') {
            error = m_path + ": not a PNM image";
            return false;
        }
        switch (magic[1]) {
        case '1': m_plain = true; [[fallthrough]];
        case '4': m_format = ImageFormat::Pbm; break;
        case '2': m_plain = true; [[fallthrough]];
        case '5': m_format = ImageFormat::Pgm; break;
        case '3':
        case '6':
            error = m_path + ": colour PPM image; give one grayscale image per channel";
            return false;
        default:
            error = m_path + ": unsupported PNM type P" + std::string(1, magic[1]);
            return false;
        }
        long long w = 0, h = 0, maxval = 1;
        if (!ReadNumber("width", w, error) || !ReadNumber("height", h, error))
            return false;
        if (m_format == ImageFormat::Pgm) {
            if (!ReadNumber("maxval", maxval, error))
                return false;
            if (maxval < 1 || maxval > 65535) {
                error = m_path + ": bad header: maxval " + std::to_string(maxval) + " is outside 1 to 65535";
                return false;
            }
        }
        if (!CheckSize(m_path, w, h, error))
            return false;
        m_width = static_cast<int>(w);
        m_height = static_cast<int>(h);
        m_maxVal = static_cast<int>(maxval);
        if (!m_plain) {
            const std::size_t bytes = m_format == ImageFormat::Pbm ? static_cast<std::size_t>(BytesPerRow(m_width, 1))
                                                                   : static_cast<std::size_t>(m_width) * (m_maxVal > 255 ? 2 : 1);
            m_raw.resize(bytes);
        }
        return true;
    }

    bool ReadRawRow(std::uint16_t* samples, std::string& error)
    {
        if (std::fread(m_raw.data(), 1, m_raw.size(), m_file) != m_raw.size()) {
            error = m_path + ": data ends early, in " + RowText(m_row, m_height);
            return false;
        }
        if (m_format == ImageFormat::Pbm) {
            for (int x = 0; x < m_width; ++x)
                samples[x] = ((m_raw[static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1) ? 0 : 1;
            return true;
        }
        for (int x = 0; x < m_width; ++x) {
            const unsigned v = m_maxVal > 255 ? (m_raw[2 * static_cast<std::size_t>(x)] << 8) |
                                                    m_raw[2 * static_cast<std::size_t>(x) + 1]
                                              : m_raw[static_cast<std::size_t>(x)];
            if (v > static_cast<unsigned>(m_maxVal)) {
                error = m_path + ": sample " + std::to_string(v) + " above maxval " + std::to_string(m_maxVal) +
                        " in " + RowText(m_row, m_height) + ", column " + std::to_string(x + 1);
                return false;
            }
            samples[x] = static_cast<std::uint16_t>(v);
        }
        return true;
    }

    bool ReadPlainRow(std::uint16_t* samples, std::string& error)
    {
        for (int x = 0; x < m_width; ++x) {
            int c = SkipBlank();
            if (c == EOF) {
                error = m_path + ": data ends early, in " + RowText(m_row, m_height);
                return false;
            }
            if (m_format == ImageFormat::Pbm) {
                // Plain PBM digits need no separators.
                if (c != '0' && c != '1') {
                    error = m_path + ": bad pixel '" + std::string(1, static_cast<char>(c)) + "' in " +
                            RowText(m_row, m_height);
                    return false;
                }
                samples[x] = c == '1' ? 0 : 1;
                continue;
            }
            if (c < '0' || c > '9') {
                error = m_path + ": bad sample in " + RowText(m_row, m_height);
                return false;
            }
            long v = 0;
            while (c >= '0' && c <= '9') {
                v = v * 10 + (c - '0');
                if (v > m_maxVal) {
                    error = m_path + ": sample above maxval " + std::to_string(m_maxVal) + " in " +
                            RowText(m_row, m_height) + ", column " + std::to_string(x + 1);
                    return false;
                }
                c = Next();
            }
            if (c == '#')
                std::ungetc(c, m_file);
            samples[x] = static_cast<std::uint16_t>(v);
        }
        return true;
    }

    std::FILE* m_file = nullptr;
    bool m_plain = false;
    std::vector<BYTE> m_raw;
};

// ---- PNG ----

class PngReader : public ImageReader {
public:
    ~PngReader() override
    {
        if (m_png)
            png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
        if (m_file)
            std::fclose(m_file);
    }

    static std::unique_ptr<ImageReader> Open(const std::string& path, std::FILE* file, std::string& error)
    {
        std::unique_ptr<PngReader> r(new PngReader);
        r->m_path = path;
        r->m_file = file;
        r->m_format = ImageFormat::Png;
        if (!r->Setup(error))
            return nullptr;
        return r;
    }

    bool ReadNextRow(std::uint16_t* samples, std::string& error) override
    {
        const png_byte* row;
        if (!m_whole.empty()) {
            row = m_whole.data() + static_cast<std::size_t>(m_row) * m_rowBytes;
        } else {
            if (!ReadOne()) {
                error = m_path + ": " + m_message + ", in " + RowText(m_row, m_height);
                return false;
            }
            row = m_rowBuf.data();
        }
        if (m_channels == 1) {
            for (int x = 0; x < m_width; ++x)
                samples[x] = row[x];
        } else {
            // Transparent pixels carry no ink: composite over white.
            for (int x = 0; x < m_width; ++x) {
                const unsigned g = row[2 * x], a = row[2 * x + 1];
                samples[x] = static_cast<std::uint16_t>((g * a + 255 * (255 - a) + 127) / 255);
            }
        }
        return true;
    }

private:
    PngReader() = default;

    static void OnError(png_structp png, png_const_charp message)
    {
        auto* self = static_cast<PngReader*>(png_get_error_ptr(png));
        std::snprintf(self->m_message, sizeof self->m_message, "%s", message);
        std::longjmp(png_jmpbuf(png), 1);
    }
    static void OnWarning(png_structp, png_const_charp) {}

    // libpng reports errors by longjmp: these functions hold no objects with
    // destructors between setjmp and the calls into libpng.
    bool ReadOne()
    {
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        png_read_row(m_png, m_rowBuf.data(), nullptr);
        return true;
    }

    bool ReadAll()
    {
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        for (std::size_t y = 0; y < m_rowPointers.size(); ++y)
            m_rowPointers[y] = m_whole.data() + y * m_rowBytes;
        png_read_image(m_png, m_rowPointers.data());
        return true;
    }

    // Answers 0 on success, 1 on a libpng error, 2 for a colour image.
    int ReadInfo()
    {
        if (setjmp(png_jmpbuf(m_png)))
            return 1;
        png_init_io(m_png, m_file);
        png_read_info(m_png, m_info);
        png_uint_32 w = 0, h = 0;
        int depth = 0, colour = 0, interlace = 0;
        png_get_IHDR(m_png, m_info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
        m_w = w;
        m_h = h;
        if (colour == PNG_COLOR_TYPE_PALETTE) {
            png_colorp palette = nullptr;
            int n = 0;
            png_get_PLTE(m_png, m_info, &palette, &n);
            for (int i = 0; i < n; ++i)
                if (palette[i].red != palette[i].green || palette[i].red != palette[i].blue)
                    return 2;
            png_set_palette_to_rgb(m_png);
            png_set_rgb_to_gray_fixed(m_png, 1, -1, -1);
        } else if (colour & PNG_COLOR_MASK_COLOR) {
            return 2;
        }
        if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(m_png);
        if (png_get_valid(m_png, m_info, PNG_INFO_tRNS))
            png_set_tRNS_to_alpha(m_png);
        if (depth == 16)
            png_set_strip_16(m_png);
        m_passes = png_set_interlace_handling(m_png);
        png_read_update_info(m_png, m_info);
        m_channels = png_get_channels(m_png, m_info);
        m_rowBytes = png_get_rowbytes(m_png, m_info);
        return 0;
    }

    bool Setup(std::string& error)
    {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
        if (m_png)
            m_info = png_create_info_struct(m_png);
        if (!m_png || !m_info) {
            error = m_path + ": out of memory";
            return false;
        }
        const int rc = ReadInfo();
        if (rc == 1) {
            error = m_path + ": broken PNG: " + m_message;
            return false;
        }
        if (rc == 2) {
            error = m_path + ": colour PNG image; give one grayscale image per channel";
            return false;
        }
        if (!CheckSize(m_path, m_w, m_h, error))
            return false;
        m_width = static_cast<int>(m_w);
        m_height = static_cast<int>(m_h);
        if (m_channels < 1 || m_channels > 2 || m_rowBytes != static_cast<std::size_t>(m_width) * m_channels) {
            error = m_path + ": unsupported PNG layout";
            return false;
        }
        m_rowBuf.resize(m_rowBytes);
        if (m_passes > 1) {
            // Interlaced images arrive in passes; they are read whole.
            m_whole.resize(m_rowBytes * static_cast<std::size_t>(m_height));
            m_rowPointers.resize(static_cast<std::size_t>(m_height));
            if (!ReadAll()) {
                error = m_path + ": broken PNG: " + m_message;
                return false;
            }
        }
        return true;
    }

    std::FILE* m_file = nullptr;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    png_uint_32 m_w = 0, m_h = 0;
    int m_passes = 1;
    int m_channels = 1;
    std::size_t m_rowBytes = 0;
    std::vector<png_byte> m_rowBuf;
    std::vector<png_byte> m_whole;
    std::vector<png_bytep> m_rowPointers;
    char m_message[256] = "";
};

// ---- TIFF ----

thread_local std::string t_tiffMessage;

void TiffError(const char* module, const char* fmt, va_list args)
{
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, args);
    t_tiffMessage = buf;
    (void)module;
}

class TiffReader : public ImageReader {
public:
    ~TiffReader() override
    {
        if (m_tif)
            TIFFClose(m_tif);
    }

    static std::unique_ptr<ImageReader> Open(const std::string& path, std::string& error)
    {
        TIFFSetErrorHandler(TiffError);
        TIFFSetWarningHandler(nullptr);
        std::unique_ptr<TiffReader> r(new TiffReader);
        r->m_path = path;
        r->m_format = ImageFormat::Tiff;
        t_tiffMessage.clear();
        r->m_tif = TIFFOpen(path.c_str(), "r");
        if (!r->m_tif) {
            error = path + ": broken TIFF: " + (t_tiffMessage.empty() ? "cannot open" : t_tiffMessage);
            return nullptr;
        }
        if (!r->Setup(error))
            return nullptr;
        return r;
    }

    bool ReadNextRow(std::uint16_t* samples, std::string& error) override
    {
        if (!m_rgba.empty()) {
            const std::uint32_t* p = m_rgba.data() + static_cast<std::size_t>(m_row) * static_cast<std::size_t>(m_width);
            for (int x = 0; x < m_width; ++x)
                samples[x] = static_cast<std::uint16_t>(TIFFGetR(p[x]));
        } else {
            t_tiffMessage.clear();
            if (TIFFReadScanline(m_tif, m_line.data(), static_cast<std::uint32_t>(m_row), 0) < 0) {
                error = m_path + ": broken TIFF data in " + RowText(m_row, m_height) +
                        (t_tiffMessage.empty() ? "" : ": " + t_tiffMessage);
                return false;
            }
            const int bits = m_bitsPerSample;
            for (int x = 0; x < m_width; ++x) {
                unsigned v;
                if (bits == 16)
                    v = reinterpret_cast<const std::uint16_t*>(m_line.data())[x];
                else if (bits == 8)
                    v = m_line[static_cast<std::size_t>(x)];
                else
                    v = static_cast<unsigned>(LevelAt(m_line.data(), x, bits));
                samples[x] = static_cast<std::uint16_t>(m_minIsWhite ? m_maxVal - static_cast<int>(v) : static_cast<int>(v));
            }
        }
        return true;
    }

private:
    TiffReader() = default;

    bool Setup(std::string& error)
    {
        std::uint32_t w = 0, h = 0;
        std::uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISBLACK, format = SAMPLEFORMAT_UINT,
                      planar = PLANARCONFIG_CONTIG;
        TIFFGetField(m_tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(m_tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_PLANARCONFIG, &planar);
        if (!TIFFGetField(m_tif, TIFFTAG_PHOTOMETRIC, &photometric)) {
            error = m_path + ": TIFF without photometric interpretation";
            return false;
        }
        if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE) {
            error = m_path + ": colour TIFF image; give one grayscale image per channel";
            return false;
        }
        if (spp != 1 || format != SAMPLEFORMAT_UINT ||
            (bps != 1 && bps != 2 && bps != 4 && bps != 8 && bps != 16)) {
            error = m_path + ": unsupported TIFF layout (" + std::to_string(spp) + " samples of " +
                    std::to_string(bps) + " bits); expected one unsigned gray sample of 1 to 16 bits";
            return false;
        }
        if (!CheckSize(m_path, w, h, error))
            return false;
        m_width = static_cast<int>(w);
        m_height = static_cast<int>(h);
        m_bitsPerSample = bps;
        m_minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
        if (TIFFIsTiled(m_tif)) {
            // Tiles do not come row by row: decode the whole image.
            m_maxVal = 255;
            m_rgba.resize(static_cast<std::size_t>(w) * h);
            t_tiffMessage.clear();
            if (!TIFFReadRGBAImageOriented(m_tif, w, h, m_rgba.data(), ORIENTATION_TOPLEFT, 0)) {
                error = m_path + ": broken TIFF: " + (t_tiffMessage.empty() ? "cannot decode" : t_tiffMessage);
                return false;
            }
            return true;
        }
        m_maxVal = (1 << bps) - 1;
        m_line.resize(static_cast<std::size_t>(TIFFScanlineSize(m_tif)));
        if (m_line.size() < static_cast<std::size_t>(BytesPerRow(m_width, bps))) {
            error = m_path + ": unsupported TIFF layout";
            return false;
        }
        return true;
    }

    TIFF* m_tif = nullptr;
    int m_bitsPerSample = 8;
    bool m_minIsWhite = false;
    std::vector<BYTE> m_line;
    std::vector<std::uint32_t> m_rgba;
};

} // namespace

std::unique_ptr<ImageReader> ImageReader::Open(const std::string& path, std::string& error)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    struct stat st{};
    if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        error = path + ": is a folder, not an image";
        return nullptr;
    }
    unsigned char magic[8] = {};
    const std::size_t n = std::fread(magic, 1, sizeof magic, f);
    std::rewind(f);
    if (n >= 8 && png_sig_cmp(magic, 0, 8) == 0)
        return PngReader::Open(path, f, error);
    if (n >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0) ||
                   (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43)))) {
        std::fclose(f);
        return TiffReader::Open(path, error);
    }
    if (n >= 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '7')
        return PnmReader::Open(path, f, error);
    std::fclose(f);
    error = path + (n == 0 ? ": empty file" : ": not a PNG, TIFF, PGM or PBM image");
    return nullptr;
}

// ---- writer ----

std::unique_ptr<RasterWriter> RasterWriter::Create(const std::string& path, int width, int height, int bits,
                                                   std::string& error)
{
    std::unique_ptr<RasterWriter> w(new RasterWriter);
    w->m_path = path;
    w->m_tmpPath = path + ".partXXXXXX";
    const int fd = ::mkstemp(w->m_tmpPath.data());
    if (fd < 0) {
        error = path + ": cannot create: " + std::strerror(errno);
        return nullptr;
    }
    ::fchmod(fd, 0644);
    w->m_file = ::fdopen(fd, "wb");
    if (!w->m_file) {
        error = path + ": cannot create: " + std::strerror(errno);
        ::close(fd);
        ::unlink(w->m_tmpPath.c_str());
        return nullptr;
    }
    w->m_width = width;
    w->m_height = height;
    w->m_bits = bits;
    if (bits == 2)
        w->m_gray.resize(static_cast<std::size_t>(width));
    const std::string header = w->Header(height);
    if (std::fwrite(header.data(), 1, header.size(), w->m_file) != header.size())
        w->m_failed = true;
    return w;
}

// The height is padded to the width of the announced one, so that a job
// that stops early can rewrite it in place.
std::string RasterWriter::Header(int rows) const
{
    std::string h = std::to_string(rows);
    h.resize(std::to_string(m_height).size(), ' ');
    return (m_bits == 1 ? "P4\n" : "P5\n") + std::to_string(m_width) + " " + h + (m_bits == 1 ? "\n" : "\n3\n");
}

RasterWriter::~RasterWriter()
{
    Discard();
}

bool RasterWriter::WriteRow(const BYTE* packed)
{
    if (m_failed || !m_file)
        return false;
    std::size_t n;
    const BYTE* data = packed;
    if (m_bits == 1) {
        n = static_cast<std::size_t>(BytesPerRow(m_width, 1));
    } else {
        for (int x = 0; x < m_width; ++x)
            m_gray[static_cast<std::size_t>(x)] = static_cast<BYTE>(3 - LevelAt(packed, x, 2));
        data = m_gray.data();
        n = m_gray.size();
    }
    if (std::fwrite(data, 1, n, m_file) != n)
        m_failed = true;
    return !m_failed;
}

bool RasterWriter::Finish(int rows, std::string& error)
{
    if (!m_file) {
        error = m_path + ": already closed";
        return false;
    }
    bool ok = !m_failed && std::fflush(m_file) == 0;
    if (ok && rows != m_height) {
        const std::string header = Header(rows);
        const std::size_t rowBytes =
            m_bits == 1 ? static_cast<std::size_t>(BytesPerRow(m_width, 1)) : static_cast<std::size_t>(m_width);
        ok = std::fseek(m_file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), m_file) == header.size() &&
             std::fflush(m_file) == 0 &&
             ::ftruncate(fileno(m_file), static_cast<off_t>(header.size() + rowBytes * static_cast<std::size_t>(rows))) == 0;
    }
    const int savedErrno = errno;
    if (std::fclose(m_file) != 0)
        ok = false;
    m_file = nullptr;
    if (ok && std::rename(m_tmpPath.c_str(), m_path.c_str()) != 0)
        ok = false;
    if (!ok) {
        error = m_path + ": cannot write: " + std::strerror(savedErrno ? savedErrno : errno);
        ::unlink(m_tmpPath.c_str());
    }
    return ok;
}

void RasterWriter::Discard()
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    ::unlink(m_tmpPath.c_str());
}

} // namespace rasterjob
