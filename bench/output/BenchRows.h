// Raster rows for the output benchmarks, and a count of heap allocations.
//
// A row is what one ink channel sends for one raster line of a 64-inch
// wide job at 1440 dpi: 23 040 bytes at 2 bits per pixel, 11 520 at 1 bit.
// Each kind of row is kept as kLines lines of kChannels channels, in the
// order a driver compresses them (line by line, channel by channel).
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
constexpr int kChannels = 8;
constexpr int kLines = 8;

struct RowKind {
    std::string name;   // benchmark name part, such as "diffusion25"
    int bits;           // bits per pixel, 1 or 2
    double needSpeed;   // target speed against Gutenprint's coder
    std::string what;   // for the legend
    int lines = kLines;
    int channels = kChannels;
    std::size_t RowBytes() const { return (kPixelsPerRow * static_cast<std::size_t>(bits) + 7) / 8; }
};

// Every kind a printer sees: blank and solid rows, error diffusion and
// ordered dither from 1 % to 99 % ink at both depths, isolated dots of light
// tints, gradients across the width, random bytes; and, when rasterjob is
// built, the rows of its tile pattern that scripts/bench-rasterjob.sh runs
// through the whole job (64 lines of 4 channels).
const std::vector<RowKind>& RowKinds();
const RowKind& FindKind(const std::string& name);

using Row = std::vector<BYTE>;

// kind.lines * kind.channels rows; element line * channels + channel.
// Generated on first use and kept for the life of the program.
const std::vector<Row>& Rows(const RowKind& kind);

// Share of pixels that carry a dot, 0..1.
double DotCoverage(const RowKind& kind);

// Calls of the global operator new (all forms) since the program started.
std::uint64_t AllocationCount();

} // namespace bench
