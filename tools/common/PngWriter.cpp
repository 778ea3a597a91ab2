#include "tools/common/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// libpng reports errors by longjmp; every frame that sets the jump point
// below holds only plain data, so nothing is skipped on the way back.
struct PngWriter::State {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::FILE* file = nullptr;
    char message[256] = {};
};

namespace {

void OnPngError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<char*>(png_get_error_ptr(png));
    std::snprintf(state, 256, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

} // namespace

PngWriter::~PngWriter()
{
    Close();
    if (!m_tmpPath.empty())
        std::remove(m_tmpPath.c_str());
}

void PngWriter::Close()
{
    if (!m_state)
        return;
    if (m_state->png)
        png_destroy_write_struct(&m_state->png, &m_state->info);
    if (m_state->file)
        std::fclose(m_state->file);
    delete m_state;
    m_state = nullptr;
}

void PngWriter::Fail(const std::string& what)
{
    m_error = m_path + ": " + what;
    Close();
    if (!m_tmpPath.empty()) {
        std::remove(m_tmpPath.c_str());
        m_tmpPath.clear();
    }
}

bool PngWriter::Open(const std::string& path, std::uint32_t width, std::uint32_t height, Kind kind)
{
    Close();
    m_path = path;
    m_error.clear();
    m_height = height;
    m_rowsWritten = 0;
    if (width == 0 || height == 0) {
        Fail("image has no pixels");
        return false;
    }
    std::string tmpl = path + ".tmp.XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        m_error = path + ": cannot create temporary file: " + std::strerror(errno);
        return false;
    }
    m_tmpPath = tmpl;
    // mkstemp makes the file private; give it the mode a plain create would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    m_state = new State;
    m_state->file = fdopen(fd, "wb");
    if (!m_state->file) {
        ::close(fd);
        Fail(std::string("cannot open temporary file: ") + std::strerror(errno));
        return false;
    }
    m_state->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, m_state->message, OnPngError, OnPngWarning);
    if (!m_state->png || !(m_state->info = png_create_info_struct(m_state->png))) {
        Fail("out of memory");
        return false;
    }
    State* s = m_state;
    if (setjmp(png_jmpbuf(s->png))) {
        Fail(s->message);
        return false;
    }
    png_init_io(s->png, s->file);
    png_set_IHDR(s->png, s->info, width, height, 8, kind == Kind::Rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s->png, s->info);
    return true;
}

bool PngWriter::WriteRow(const std::uint8_t* row)
{
    if (!m_state)
        return false;
    if (m_rowsWritten >= m_height) {
        Fail("more rows than the image height");
        return false;
    }
    State* s = m_state;
    if (setjmp(png_jmpbuf(s->png))) {
        Fail(s->message);
        return false;
    }
    png_write_row(s->png, const_cast<png_bytep>(row));
    ++m_rowsWritten;
    return true;
}

bool PngWriter::Finish()
{
    if (!m_state)
        return false;
    if (m_rowsWritten != m_height) {
        Fail("image has fewer rows than its height");
        return false;
    }
    State* s = m_state;
    if (setjmp(png_jmpbuf(s->png))) {
        Fail(s->message);
        return false;
    }
    png_write_end(s->png, s->info);
    png_destroy_write_struct(&s->png, &s->info);
    const bool flushed = std::fflush(s->file) == 0 && fsync(fileno(s->file)) == 0;
    const bool closed = std::fclose(s->file) == 0;
    s->file = nullptr;
    if (!flushed || !closed) {
        Fail(std::string("cannot write: ") + std::strerror(errno));
        return false;
    }
    if (std::rename(m_tmpPath.c_str(), m_path.c_str()) != 0) {
        Fail(std::string("cannot rename temporary file: ") + std::strerror(errno));
        return false;
    }
    m_tmpPath.clear();
    Close();
    return true;
}

bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height, PngWriter::Kind kind,
              const std::uint8_t* pixels, std::string& error)
{
    PngWriter writer;
    const std::size_t stride = std::size_t(width) * (kind == PngWriter::Kind::Rgb ? 3 : 1);
    bool ok = writer.Open(path, width, height, kind);
    for (std::uint32_t y = 0; ok && y < height; ++y)
        ok = writer.WriteRow(pixels + y * stride);
    ok = ok && writer.Finish();
    if (!ok)
        error = writer.Error();
    return ok;
}
