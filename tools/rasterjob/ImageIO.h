// Grayscale image input (PNG, TIFF, PGM, PBM), read row by row, and the
// PBM/PGM writer for saved rasters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/HostApi.h"

namespace rasterjob {

enum class ImageFormat { Png, Tiff, Pgm, Pbm };

struct ImageLimits {
    // Pictures that must be decoded whole before their first row
    // (interlaced PNG, tiled TIFF) are decoded into a temporary file, never
    // into memory; past this many decoded bytes they are refused.
    std::uint64_t wholeDecodeBytes = std::uint64_t(2048) << 20;
    std::string tempFolder;  // empty: $TMPDIR, else /tmp
};

class ImageReader {
public:
    virtual ~ImageReader() = default;
    // Detects the format from the file's first bytes. Null with a message
    // naming the file when it cannot be read, is no grayscale image, or is
    // too short for the size it declares. A pipe or FIFO is read as it
    // comes; its reads end when a signal arrives (see interrupt::WakeFd).
    static std::unique_ptr<ImageReader> Open(const std::string& path, std::string& error,
                                             const ImageLimits& limits = {});

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Samples run from 0 (black) to MaxVal() (white), whatever the format
    // stores (a PBM's 1 bit is black and reads as 0).
    int MaxVal() const { return m_maxVal; }
    ImageFormat Format() const { return m_format; }
    const std::string& Path() const { return m_path; }

    // Reads the next row (rows come in order) into Width() samples. False with
    // a message naming the file and row when the data is broken or ends early.
    bool ReadRow(std::uint16_t* samples, std::string& error);

protected:
    // Reads row m_row, which is known to exist.
    virtual bool ReadNextRow(std::uint16_t* samples, std::string& error) = 0;

    std::string m_path;
    int m_width = 0;
    int m_height = 0;
    int m_maxVal = 255;
    ImageFormat m_format = ImageFormat::Pgm;
    int m_row = 0;
};

// Writes packed dot rows as a binary PBM (1 bit: a dot is black) or a PGM
// with maxval 3 (2 bits: gray = 3 - dot level), under a temporary name that
// Finish renames. A writer destroyed unfinished removes its file. A write
// that fails is remembered and told by Finish; later rows are dropped.
class RasterWriter {
public:
    static std::unique_ptr<RasterWriter> Create(const std::string& path, int width, int height, int bits,
                                                std::string& error);
    ~RasterWriter();
    bool WriteRow(const BYTE* packed);
    // rows: the rows written (fewer than announced when the job stopped early).
    bool Finish(int rows, std::string& error);
    void Discard();

private:
    RasterWriter() = default;
    std::string Header(int rows) const;
    std::string m_path, m_tmpPath;
    std::FILE* m_file = nullptr;
    int m_width = 0, m_height = 0, m_bits = 1;
    std::vector<BYTE> m_gray;
    int m_errno = 0;  // of the first failed write
};

} // namespace rasterjob
