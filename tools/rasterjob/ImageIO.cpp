#include "tools/rasterjob/ImageIO.h"

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <png.h>
#include <poll.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include "host/FileIO.h"
#include "tools/common/Interrupt.h"
#include "tools/rasterjob/Screen.h"

namespace rasterjob {

namespace {

constexpr int kMaxWidth = 1000000;
constexpr int kMaxHeight = 100000000;
// Deflate expands at most 1032 times (a 258-byte match in two bits), so
// shorter PNG data cannot hold the image it declares.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

std::string RowText(int row, int height)
{
    return "row " + std::to_string(row + 1) + " of " + std::to_string(height);
}

std::string SizeText(long long w, long long h)
{
    return std::to_string(w) + "x" + std::to_string(h);
}

std::string MiB(std::uint64_t bytes)
{
    if (bytes < (1 << 20))
        return std::to_string(bytes) + " bytes";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return buf;
}

bool CheckSize(const std::string& path, long long w, long long h, std::string& error)
{
    if (w < 1 || h < 1 || w > kMaxWidth || h > kMaxHeight) {
        error = path + ": image size " + SizeText(w, h) + " is outside 1x1 to " + SizeText(kMaxWidth, kMaxHeight);
        return false;
    }
    return true;
}

std::string TooShort(const std::string& path, std::uint64_t size, long long w, long long h)
{
    return path + ": data ends early: the file's " + std::to_string(size) + " bytes cannot hold a " +
           SizeText(w, h) + " image";
}

// ---- input ----

// A pipe or FIFO is read through stdio with reads that wait in poll()
// together with the interrupt pipe: one without a writer, or a slow one,
// cannot hold a signal up. Its first bytes, read to tell the format, are
// given back before the rest.
struct PipeCookie {
    int fd = -1;
    std::string ahead;
    std::size_t given = 0;
};

ssize_t PipeRead(int fd, char* buf, std::size_t n)
{
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {interrupt::WakeFd(), POLLIN, 0}};
        const nfds_t count = p[1].fd >= 0 ? 2 : 1;
        if (::poll(p, count, -1) < 0 && errno != EINTR)
            return -1;
        if (count == 2 && (p[1].revents & POLLIN)) {
            errno = EINTR;
            return -1;
        }
        if (!p[0].revents)
            continue;
        const ssize_t r = ::read(fd, buf, n);
        if (r >= 0 || (errno != EAGAIN && errno != EINTR))
            return r;
    }
}

ssize_t CookieRead(void* cookie, char* buf, std::size_t n)
{
    auto* c = static_cast<PipeCookie*>(cookie);
    if (c->given < c->ahead.size()) {
        const std::size_t k = std::min(n, c->ahead.size() - c->given);
        std::memcpy(buf, c->ahead.data() + c->given, k);
        c->given += k;
        return static_cast<ssize_t>(k);
    }
    return PipeRead(c->fd, buf, n);
}

int CookieClose(void* cookie)
{
    auto* c = static_cast<PipeCookie*>(cookie);
    ::close(c->fd);
    delete c;
    return 0;
}

struct Input {
    std::FILE* file = nullptr;
    bool regular = true;
    std::uint64_t size = 0;  // of a regular file
    unsigned char magic[8] = {};
    std::size_t magicLength = 0;
};

bool OpenInput(const std::string& path, Input& in, std::string& error)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer where no signal
    // can end the wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = path + (S_ISDIR(st.st_mode) ? ": is a folder, not an image" : ": cannot open: " + std::string(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    in.regular = S_ISREG(st.st_mode);
    if (in.regular) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        in.size = static_cast<std::uint64_t>(st.st_size);
        const ssize_t n = ::pread(fd, in.magic, sizeof in.magic, 0);
        in.magicLength = n > 0 ? static_cast<std::size_t>(n) : 0;
        in.file = ::fdopen(fd, "rb");
    } else {
        auto* cookie = new PipeCookie{fd, {}, 0};
        char buf[sizeof in.magic];
        ssize_t r = 1;
        while (cookie->ahead.size() < sizeof in.magic && r > 0) {
            r = PipeRead(fd, buf, sizeof in.magic - cookie->ahead.size());
            if (r > 0)
                cookie->ahead.append(buf, static_cast<std::size_t>(r));
        }
        if (r < 0) {
            error = path + (interrupt::Signal() ? ": interrupted while waiting for data" : ": cannot read: " + std::string(std::strerror(errno)));
            CookieClose(cookie);
            return false;
        }
        in.magicLength = cookie->ahead.size();
        std::memcpy(in.magic, cookie->ahead.data(), in.magicLength);
        in.file = ::fopencookie(cookie, "rb", cookie_io_functions_t{CookieRead, nullptr, nullptr, CookieClose});
        if (!in.file)
            CookieClose(cookie);
    }
    if (!in.file) {
        if (in.regular)
            ::close(fd);
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    return true;
}

// Rows of a picture decoded whole, kept in an unlinked temporary file so
// that memory stays bounded whatever its size.
class TempRows {
public:
    TempRows() = default;
    TempRows(const TempRows&) = delete;
    TempRows& operator=(const TempRows&) = delete;
    ~TempRows()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool Create(const std::string& folderOption, std::size_t rowBytes, std::string& error)
    {
        const char* env = std::getenv("TMPDIR");
        m_folder = !folderOption.empty() ? folderOption : env && *env ? env : "/tmp";
        std::string name = m_folder + "/rasterjob-decode-XXXXXX";
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_fd < 0) {
            error = "cannot create a temporary file in " + m_folder + ": " + std::strerror(errno);
            return false;
        }
        ::unlink(name.c_str());
        m_rowBytes = rowBytes;
        return true;
    }
    std::size_t RowBytes() const { return m_rowBytes; }
    // Answer false with errno set.
    bool Write(std::uint64_t offset, const void* data, std::size_t n)
    {
        const auto* p = static_cast<const char*>(data);
        while (n) {
            const ssize_t w = ::pwrite(m_fd, p, n, static_cast<off_t>(offset));
            if (w <= 0) {
                if (w < 0 && errno == EINTR)
                    continue;
                if (w == 0)
                    errno = EIO;
                return false;
            }
            p += w;
            n -= static_cast<std::size_t>(w);
            offset += static_cast<std::uint64_t>(w);
        }
        return true;
    }
    // Bytes never written (past the end, or holes) read as zeros.
    bool Read(std::uint64_t offset, void* data, std::size_t n)
    {
        auto* p = static_cast<char*>(data);
        while (n) {
            const ssize_t r = ::pread(m_fd, p, n, static_cast<off_t>(offset));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (r == 0) {
                std::memset(p, 0, n);
                return true;
            }
            p += r;
            n -= static_cast<std::size_t>(r);
            offset += static_cast<std::uint64_t>(r);
        }
        return true;
    }
    bool WriteRow(std::uint64_t y, const void* row) { return Write(y * m_rowBytes, row, m_rowBytes); }
    bool ReadRow(std::uint64_t y, void* row) { return Read(y * m_rowBytes, row, m_rowBytes); }
    std::string ErrorText(const std::string& path) const
    {
        return path + ": cannot decode into a temporary file in " + m_folder + ": " + std::strerror(errno);
    }

private:
    int m_fd = -1;
    std::size_t m_rowBytes = 0;
    std::string m_folder;
};

bool WithinDecodeLimit(const std::string& path, const char* what, const char* otherwise, std::uint64_t bytes,
                       const ImageLimits& limits, std::string& error)
{
    if (bytes <= limits.wholeDecodeBytes)
        return true;
    error = path + ": " + what + " is decoded whole, into " + MiB(bytes) + " of temporary space, more than the " +
            MiB(limits.wholeDecodeBytes) + " allowed (raise --decode-limit, or " + otherwise + ")";
    return false;
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

    static std::unique_ptr<ImageReader> Open(const std::string& path, const Input& in, std::string& error)
    {
        std::unique_ptr<PnmReader> r(new PnmReader);
        r->m_path = path;
        r->m_file = in.file;
        if (!r->ReadHeader(error) || (in.regular && !r->CheckLength(in.size, error)))
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

    // A file shorter than its header says is refused before any row is
    // used.
    bool CheckLength(std::uint64_t size, std::string& error)
    {
        const long at = std::ftell(m_file);
        if (at < 0)
            return true;
        const std::uint64_t left = size > static_cast<std::uint64_t>(at) ? size - static_cast<std::uint64_t>(at) : 0;
        const auto height = static_cast<std::uint64_t>(m_height);
        if (!m_plain) {
            const std::uint64_t rows = left / m_raw.size();
            if (rows < height) {
                error = m_path + ": data ends early: the file holds " + std::to_string(rows) + " of its " +
                        std::to_string(m_height) + " rows";
                return false;
            }
            return true;
        }
        // A plain PBM has a digit per pixel, a plain PGM also a blank
        // between samples.
        const std::uint64_t pixels = static_cast<std::uint64_t>(m_width) * height;
        if (left < (m_format == ImageFormat::Pbm ? pixels : 2 * pixels - 1)) {
            error = TooShort(m_path, size, m_width, m_height);
            return false;
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

    static std::unique_ptr<ImageReader> Open(const std::string& path, const Input& in, const ImageLimits& limits,
                                             std::string& error)
    {
        std::unique_ptr<PngReader> r(new PngReader);
        r->m_path = path;
        r->m_file = in.file;
        r->m_format = ImageFormat::Png;
        if (!r->Setup(in, limits, error))
            return nullptr;
        return r;
    }

    bool ReadNextRow(std::uint16_t* samples, std::string& error) override
    {
        if (m_passes > 1) {
            if (!m_temp.ReadRow(static_cast<std::uint64_t>(m_row), m_rowBuf.data())) {
                error = m_temp.ErrorText(m_path);
                return false;
            }
        } else if (!ReadOne()) {
            error = m_path + ": " + m_message + ", in " + RowText(m_row, m_height);
            return false;
        }
        const png_byte* row = m_rowBuf.data();
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

    // An interlaced image arrives in seven passes over the whole picture:
    // each pass adds pixels to rows kept in the temporary file. Answers 0
    // when done, 1 on a libpng error, 2 on a temporary file error, 3 when
    // interrupted.
    int ReadInterlaced()
    {
        if (setjmp(png_jmpbuf(m_png)))
            return 1;
        for (int pass = 0; pass < m_passes; ++pass) {
            const bool columns = PNG_PASS_COLS(m_w, pass) > 0;
            for (png_uint_32 y = 0; y < m_h; ++y) {
                // Rows outside the pass are passed over by libpng untouched.
                if (!columns || !PNG_ROW_IN_INTERLACE_PASS(y, pass)) {
                    png_read_row(m_png, nullptr, nullptr);
                    continue;
                }
                if (!m_temp.ReadRow(y, m_rowBuf.data()))
                    return 2;
                png_read_row(m_png, m_rowBuf.data(), nullptr);
                if (!m_temp.WriteRow(y, m_rowBuf.data()))
                    return 2;
                if (interrupt::Signal())
                    return 3;
            }
        }
        return 0;
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
        m_storedBits = depth * (colour == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1);
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

    bool Setup(const Input& in, const ImageLimits& limits, std::string& error)
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
        // Every row is stored with a filter byte and its pixels.
        const std::uint64_t stored =
            std::uint64_t(m_h) * (1 + (std::uint64_t(m_w) * static_cast<std::uint64_t>(m_storedBits) + 7) / 8);
        if (in.regular && in.size * kMaxDeflateRatio < stored) {
            error = TooShort(m_path, in.size, m_w, m_h);
            return false;
        }
        m_rowBuf.resize(m_rowBytes);
        if (m_passes > 1) {
            if (!WithinDecodeLimit(m_path, "an interlaced PNG", "save it without interlacing",
                                   std::uint64_t(m_rowBytes) * m_h, limits, error))
                return false;
            if (!m_temp.Create(limits.tempFolder, m_rowBytes, error)) {
                error = m_path + ": " + error;
                return false;
            }
            switch (ReadInterlaced()) {
            case 1: error = m_path + ": broken PNG: " + m_message; return false;
            case 2: error = m_temp.ErrorText(m_path); return false;
            case 3: error = m_path + ": interrupted while decoding"; return false;
            default: break;
            }
        }
        return true;
    }

    std::FILE* m_file = nullptr;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    png_uint_32 m_w = 0, m_h = 0;
    int m_storedBits = 8;  // per pixel in the file
    int m_passes = 1;
    int m_channels = 1;
    std::size_t m_rowBytes = 0;
    std::vector<png_byte> m_rowBuf;
    TempRows m_temp;
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

    static std::unique_ptr<ImageReader> Open(const std::string& path, const Input& in, const ImageLimits& limits,
                                             std::string& error)
    {
        if (!in.regular) {
            error = path + ": a TIFF is read out of order, so it must come from a file, not a pipe";
            return nullptr;
        }
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
        if (!r->Setup(in.size, limits, error))
            return nullptr;
        return r;
    }

    bool ReadNextRow(std::uint16_t* samples, std::string& error) override
    {
        if (m_tiled) {
            if (!m_temp.ReadRow(static_cast<std::uint64_t>(m_row), m_line.data())) {
                error = m_temp.ErrorText(m_path);
                return false;
            }
        } else {
            t_tiffMessage.clear();
            if (TIFFReadScanline(m_tif, m_line.data(), static_cast<std::uint32_t>(m_row), 0) < 0) {
                error = m_path + ": broken TIFF data in " + RowText(m_row, m_height) +
                        (t_tiffMessage.empty() ? "" : ": " + t_tiffMessage);
                return false;
            }
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
        return true;
    }

private:
    TiffReader() = default;

    // Every strip or tile must lie within the file.
    bool CheckData(std::uint64_t fileSize, std::string& error)
    {
        const std::uint32_t count = m_tiled ? TIFFNumberOfTiles(m_tif) : TIFFNumberOfStrips(m_tif);
        for (std::uint32_t i = 0; i < count; ++i) {
            int failed = 0;
            const std::uint64_t offset = TIFFGetStrileOffsetWithErr(m_tif, i, &failed);
            const std::uint64_t bytes = failed ? 0 : TIFFGetStrileByteCountWithErr(m_tif, i, &failed);
            if (failed || offset > fileSize || bytes > fileSize - offset) {
                error = m_path + ": data ends early: " + (m_tiled ? "tile " : "strip ") + std::to_string(i + 1) +
                        " of " + std::to_string(count) + " lies past the end of the file's " +
                        std::to_string(fileSize) + " bytes";
                return false;
            }
        }
        return true;
    }

    // Tiles do not come row by row: they are decoded into rows of the
    // temporary file, as the file stores them (m_line's layout).
    bool DecodeTiles(const ImageLimits& limits, std::string& error)
    {
        std::uint32_t tw = 0, th = 0;
        TIFFGetField(m_tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(m_tif, TIFFTAG_TILELENGTH, &th);
        const auto bits = static_cast<std::uint64_t>(m_bitsPerSample);
        const tmsize_t tileSize = TIFFTileSize(m_tif);
        if (tw == 0 || th == 0 || (tw * bits) % 8 != 0 || tileSize <= 0 ||
            static_cast<std::uint64_t>(tileSize) != std::uint64_t(tw) * th * bits / 8 || tileSize > (256 << 20)) {
            error = m_path + ": unsupported TIFF tiles of " + SizeText(tw, th) + " pixels";
            return false;
        }
        const std::size_t rowBytes = m_line.size();
        if (!WithinDecodeLimit(m_path, "a tiled TIFF", "save it in strips", std::uint64_t(rowBytes) * m_height,
                               limits, error))
            return false;
        if (!m_temp.Create(limits.tempFolder, rowBytes, error)) {
            error = m_path + ": " + error;
            return false;
        }
        std::vector<BYTE> tile(static_cast<std::size_t>(tileSize));
        const std::size_t tileRowBytes = tw * bits / 8;
        const auto w = static_cast<std::uint32_t>(m_width), h = static_cast<std::uint32_t>(m_height);
        for (std::uint32_t y0 = 0; y0 < h; y0 += th) {
            for (std::uint32_t x0 = 0; x0 < w; x0 += tw) {
                t_tiffMessage.clear();
                if (TIFFReadEncodedTile(m_tif, TIFFComputeTile(m_tif, x0, y0, 0, 0), tile.data(), tileSize) < 0) {
                    error = m_path + ": broken TIFF data in the tile at " + std::to_string(x0) + "," +
                            std::to_string(y0) + (t_tiffMessage.empty() ? "" : ": " + t_tiffMessage);
                    return false;
                }
                const std::size_t bytes = static_cast<std::size_t>((std::min(tw, w - x0) * bits + 7) / 8);
                const std::uint64_t at = x0 * bits / 8;
                for (std::uint32_t r = 0; r < th && y0 + r < h; ++r)
                    if (!m_temp.Write(std::uint64_t(y0 + r) * rowBytes + at, tile.data() + r * tileRowBytes, bytes)) {
                        error = m_temp.ErrorText(m_path);
                        return false;
                    }
                if (interrupt::Signal()) {
                    error = m_path + ": interrupted while decoding";
                    return false;
                }
            }
        }
        return true;
    }

    bool Setup(std::uint64_t fileSize, const ImageLimits& limits, std::string& error)
    {
        std::uint32_t w = 0, h = 0;
        std::uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISBLACK, format = SAMPLEFORMAT_UINT;
        TIFFGetField(m_tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(m_tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(m_tif, TIFFTAG_SAMPLEFORMAT, &format);
        if (!TIFFGetField(m_tif, TIFFTAG_PHOTOMETRIC, &photometric)) {
            error = m_path + ": TIFF without photometric interpretation";
            return false;
        }
        if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE) {
            error = m_path + ": colour TIFF image; give one grayscale image per channel";
            return false;
        }
        // One sample per pixel, so contiguous and planar storage read alike.
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
        m_maxVal = (1 << bps) - 1;
        m_minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
        m_tiled = TIFFIsTiled(m_tif) != 0;
        if (!CheckData(fileSize, error))
            return false;
        m_line.resize(static_cast<std::size_t>(BytesPerRow(m_width, bps)));
        if (m_tiled)
            return DecodeTiles(limits, error);
        if (static_cast<std::size_t>(TIFFScanlineSize(m_tif)) < m_line.size()) {
            error = m_path + ": unsupported TIFF layout";
            return false;
        }
        m_line.resize(static_cast<std::size_t>(TIFFScanlineSize(m_tif)));
        return true;
    }

    TIFF* m_tif = nullptr;
    int m_bitsPerSample = 8;
    bool m_minIsWhite = false;
    bool m_tiled = false;
    std::vector<BYTE> m_line;
    TempRows m_temp;
};

} // namespace

std::unique_ptr<ImageReader> ImageReader::Open(const std::string& path, std::string& error, const ImageLimits& limits)
{
    try {
        Input in;
        if (!OpenInput(path, in, error))
            return nullptr;
        const unsigned char* magic = in.magic;
        const std::size_t n = in.magicLength;
        if (n >= 8 && png_sig_cmp(magic, 0, 8) == 0)
            return PngReader::Open(path, in, limits, error);
        if (n >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0) ||
                       (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43)))) {
            std::fclose(in.file);
            return TiffReader::Open(path, in, limits, error);
        }
        if (n >= 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '7')
            return PnmReader::Open(path, in, error);
        std::fclose(in.file);
        error = path + (n == 0 ? ": empty file" : ": not a PNG, TIFF, PGM or PBM image");
        return nullptr;
    } catch (const std::bad_alloc&) {
        error = path + ": not enough memory to read this image";
        return nullptr;
    }
}

// ---- writer ----

std::unique_ptr<RasterWriter> RasterWriter::Create(const std::string& path, int width, int height, int bits,
                                                   std::string& error)
{
    std::unique_ptr<RasterWriter> w(new RasterWriter);
    const int fd = OpenReplacement(path, w->m_path, w->m_tmpPath, error);
    if (fd < 0)
        return nullptr;
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
        w->m_errno = errno ? errno : EIO;
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
    if (m_errno || !m_file)
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
        m_errno = errno ? errno : EIO;
    return !m_errno;
}

bool RasterWriter::Finish(int rows, std::string& error)
{
    if (!m_file) {
        error = m_path + ": already closed";
        return false;
    }
    auto step = [&](bool ok) {
        if (!ok && !m_errno)
            m_errno = errno ? errno : EIO;
    };
    if (!m_errno)
        step(std::fflush(m_file) == 0);
    if (!m_errno && rows != m_height) {
        const std::string header = Header(rows);
        const std::size_t rowBytes =
            m_bits == 1 ? static_cast<std::size_t>(BytesPerRow(m_width, 1)) : static_cast<std::size_t>(m_width);
        step(std::fseek(m_file, 0, SEEK_SET) == 0 &&
             std::fwrite(header.data(), 1, header.size(), m_file) == header.size() && std::fflush(m_file) == 0 &&
             ::ftruncate(fileno(m_file), static_cast<off_t>(header.size() + rowBytes * static_cast<std::size_t>(rows))) == 0);
    }
    if (!m_errno) {
        int err = 0;
        if (!PublishReplacement(fileno(m_file), m_tmpPath, m_path, err))
            m_errno = err;
    }
    step(std::fclose(m_file) == 0);
    m_file = nullptr;
    if (m_errno) {
        error = m_path + ": cannot write: " + std::strerror(m_errno);
        if (!m_tmpPath.empty())
            ::unlink(m_tmpPath.c_str());
        return false;
    }
    return true;
}

void RasterWriter::Discard()
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    if (!m_tmpPath.empty())
        ::unlink(m_tmpPath.c_str());
}

} // namespace rasterjob
