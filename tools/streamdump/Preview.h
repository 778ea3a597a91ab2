// PNG previews of a parsed stream: one grey image per plane (dark = ink)
// and one colour composite per layer, each ink in a colour of its own.
// The planes must carry their rows (ParseOptions::keepRows).
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/streamdump/StreamParser.h"

namespace streamparse {

struct PreviewOptions {
    // Pixels of the stream per preview pixel along each axis (averaged);
    // 0 picks the smallest factor that keeps both sides within maxSide.
    int scale = 0;
    int maxSide = 4096;
    // Preview pixels written in all, so that a stream of many deep layers
    // cannot keep the writer busy for hours; past it the previews stop with
    // an error. streamdump allows more for longer streams.
    std::uint64_t maxPixels = std::uint64_t(1) << 28;
    // Writing stops, leaving no file, when this turns non-zero (a signal).
    const volatile std::sig_atomic_t* stop = nullptr;
};

// "layer0_colour4.png", "layer1_colour254_density0_sub2_occ1.png", ...
std::string PlaneFileName(const PlaneKey& key);
std::string CompositeFileName(int layer);

// Writes the images into dir (created when missing). Returns false with a
// message at the first file that cannot be written; files already written
// are listed in written either way.
bool WritePreviews(const ParseResult& result, const std::string& dir, const PreviewOptions& options,
                   std::vector<std::string>& written, std::string& error);

} // namespace streamparse
