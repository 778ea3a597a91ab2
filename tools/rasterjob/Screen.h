// Screening of ink coverage to dot levels, and pixel packing.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HostApi.h"
#include "tools/rasterjob/Options.h"

namespace rasterjob {

inline int BytesPerRow(int width, int bits) { return static_cast<int>((static_cast<long long>(width) * bits + 7) / 8); }

// Packs dot levels (0..2^bits-1), most significant bits first: pixel 0 goes
// into the top bits of byte 0. The unused low bits of the last byte are 0.
void PackLevels(const std::uint8_t* levels, int width, int bits, BYTE* out);
// The dot level of pixel x of a packed row.
int LevelAt(const BYTE* row, int x, int bits);

// Turns rows of ink coverage (0 none .. 255 full) into packed dot rows.
// Rows must come in order; the screen keeps the diffusion error between rows.
class Screener {
public:
    Screener(int width, int bits, ScreenKind kind);
    // y selects the phase of the ordered screen.
    void ScreenRow(const std::uint8_t* ink, int y, BYTE* packed);
    // Forgets the carried error (a new image).
    void Reset();

private:
    int m_width;
    int m_bits;
    int m_maxLevel;
    ScreenKind m_kind;
    bool m_leftToRight = true;
    std::vector<int> m_errCur;   // error carried into the current row, with one guard cell each side
    std::vector<int> m_errNext;
    std::vector<std::uint8_t> m_levels;
};

} // namespace rasterjob
