// Built-in test rasters. Rows that repeat are made once and handed out by
// pointer, so feeding them costs nothing per row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/rasterjob/RowSource.h"

namespace rasterjob {

bool IsPatternName(const std::string& name);
std::string PatternNameList();

// One source per channel. channels is the number of channels.
std::vector<std::unique_ptr<IRowSource>> MakePattern(const std::string& name, int width, int height, int bits,
                                                     int channels, std::uint64_t seed);

} // namespace rasterjob
