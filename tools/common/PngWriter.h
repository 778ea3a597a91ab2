// Writes an 8-bit grey or RGB PNG row by row. The file is written under a
// temporary name beside its final path and renamed only when Finish
// succeeds; a writer destroyed before that removes the temporary file.
#pragma once

#include <cstdint>
#include <string>

class PngWriter {
public:
    enum class Kind { Grey, Rgb };

    PngWriter() = default;
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;
    ~PngWriter();

    bool Open(const std::string& path, std::uint32_t width, std::uint32_t height, Kind kind);
    // One row of width (grey) or 3 × width (RGB) bytes; exactly height rows.
    bool WriteRow(const std::uint8_t* row);
    bool Finish();

    const std::string& Error() const { return m_error; }

private:
    struct State;
    void Fail(const std::string& what);
    void Close();

    State* m_state = nullptr;
    std::string m_path;
    std::string m_tmpPath;
    std::uint32_t m_height = 0;
    std::uint32_t m_rowsWritten = 0;
    std::string m_error;
};

// Writes a whole image (rows of width or 3 × width bytes, one after another).
bool WritePng(const std::string& path, std::uint32_t width, std::uint32_t height, PngWriter::Kind kind,
              const std::uint8_t* pixels, std::string& error);
