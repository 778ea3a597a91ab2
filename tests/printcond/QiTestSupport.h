// Builders for small print-condition blocks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/StrUtil.h"
#include "tests/support/LogCapture.h"

namespace qitest {

struct Rec {
    std::string inkset = "LH100-401";
    int modeSetNumber = 1;
    std::string modeSetName = "PET";
    int categoryLarge = 10;
    int categorySmall = 1;
    std::string display = "720x1440 VD";
    int wave = 3;
    int yDpi = 720;
    int xDpi = 1440;
    int hq = 0;
    int dotBit = 2;
    std::vector<std::array<std::uint8_t, 3>> bands = {{8, 1, 0}, {4, 0, 0}};
    std::vector<std::uint8_t> scans = {1, 0};
    std::vector<std::uint8_t> overpaints = {2, 1, 3};
    std::vector<std::uint8_t> levels = {0};
    char pad = ' ';
    int lengthExtra = 0;  // added to the stored record length
};

inline void PutU16(std::vector<std::uint8_t>& out, int v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutText(std::vector<std::uint8_t>& out, const std::string& s, std::size_t width, char pad)
{
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(i < s.size() ? s[i] : pad));
}

inline std::vector<std::uint8_t> RecordBytes(const Rec& r)
{
    std::vector<std::uint8_t> b;
    PutU16(b, 0);
    PutText(b, r.inkset, 10, r.pad);
    b.push_back(static_cast<std::uint8_t>(r.modeSetNumber));
    PutText(b, r.modeSetName, 32, r.pad);
    b.push_back(static_cast<std::uint8_t>(r.categoryLarge));
    b.push_back(static_cast<std::uint8_t>(r.categorySmall));
    PutText(b, r.display, 20, r.pad);
    b.push_back(static_cast<std::uint8_t>(r.wave));
    PutU16(b, r.yDpi);
    PutU16(b, r.xDpi);
    b.push_back(static_cast<std::uint8_t>(r.hq));
    b.push_back(static_cast<std::uint8_t>(r.dotBit));
    PutU16(b, 1 + 3 * static_cast<int>(r.bands.size()));
    b.push_back(static_cast<std::uint8_t>(r.bands.size()));
    for (const auto& e : r.bands)
        b.insert(b.end(), e.begin(), e.end());
    for (const auto* list : {&r.scans, &r.overpaints, &r.levels}) {
        PutU16(b, 1 + static_cast<int>(list->size()));
        b.push_back(static_cast<std::uint8_t>(list->size()));
        b.insert(b.end(), list->begin(), list->end());
    }
    const int length = static_cast<int>(b.size()) - 2 + r.lengthExtra;
    b[0] = static_cast<std::uint8_t>(length);
    b[1] = static_cast<std::uint8_t>(length >> 8);
    return b;
}

// A block of the records; count and size default to the true values.
inline std::vector<std::uint8_t> BlockBytes(const std::vector<Rec>& records, long count = -1, long long size = -1)
{
    std::vector<std::uint8_t> body;
    for (const Rec& r : records) {
        const auto b = RecordBytes(r);
        body.insert(body.end(), b.begin(), b.end());
    }
    std::vector<std::uint8_t> block = {0x51, 0x49, 0x0B, 0x20, 0x02, 0x01, 0x00, 0x00};
    PutU16(block, count < 0 ? static_cast<int>(records.size()) : static_cast<int>(count));
    const auto s = static_cast<std::uint32_t>(size < 0 ? static_cast<long long>(body.size()) : size);
    for (int k = 0; k < 4; ++k)
        block.push_back(static_cast<std::uint8_t>(s >> (8 * k)));
    block.insert(block.end(), body.begin(), body.end());
    return block;
}

inline std::wstring Hex(const std::vector<std::uint8_t>& bytes)
{
    return BinToHexString(bytes.data(), bytes.size());
}

using testsupport::LogCapture;

}  // namespace qitest
