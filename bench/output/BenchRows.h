// Raster rows for the output benchmarks, and a count of heap allocations.
//
// A row is what one ink channel sends for one raster line of a 64-inch
// wide job at 1440 dpi with 2 bits per pixel: 23 040 bytes. Each data kind
// is kept as kLines lines of kChannels channels, in the order a driver
// compresses them (line by line, channel by channel within a line).
//
// main() is in BenchPackBits.cpp; other sources only register benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/HostApi.h"

namespace bench {

constexpr std::size_t kPixelsPerRow = 64 * 1440;
constexpr std::size_t kRowBytes = kPixelsPerRow * 2 / 8;
constexpr int kChannels = 8;
constexpr int kLines = 8;

enum class RowKind { Blank, Solid, Halftone5, Halftone25, Halftone60, Halftone90, Ordered40, Random };

struct RowKindInfo {
    RowKind kind;
    const char* name;     // benchmark name part, such as "halftone25"
    bool halftone;        // screened image data
};

const std::vector<RowKindInfo>& RowKinds();
const RowKindInfo& Info(RowKind kind);

using Row = std::vector<BYTE>;

// kLines * kChannels rows; element line * kChannels + channel. Generated on
// first use and kept for the life of the program.
const std::vector<Row>& Rows(RowKind kind);

// Share of pixels that carry a dot (any non-zero 2-bit value), 0..1.
double DotCoverage(const std::vector<Row>& rows);

// Calls of the global operator new (all forms) since the program started.
std::uint64_t AllocationCount();

} // namespace bench
