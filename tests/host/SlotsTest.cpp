#include "host/PrintEnv.h"
#include "host/PrinterDriverBase.h"
#include "host/Slots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Driver : public CPrinterDriverBase {
public:
    explicit Driver(CPrintEnv* env) : CPrinterDriverBase(env, nullptr) {}
    int OutputCurrentRow() override { return 1; }
};

CPrintJobOpenContext Context(std::vector<int> colours, int width = 10, int bits = 2)
{
    CPrintJobOpenContext c;
    c.colourCodes = std::move(colours);
    c.pixelWidth = width;
    c.bitsPerPixel = bits;
    return c;
}

// Pixel values of a packed MSB-first row.
std::vector<int> Pixels(const std::vector<BYTE>& row, int n, int bits)
{
    std::vector<int> out;
    for (int i = 0; i < n; ++i) {
        const int bit = i * bits;
        out.push_back((row[static_cast<std::size_t>(bit / 8)] >> (8 - bits - bit % 8)) & ((1 << bits) - 1));
    }
    return out;
}

std::vector<BYTE> Mirror(const std::vector<BYTE>& src, int n, int bits)
{
    std::vector<BYTE> dst(src.size(), 0xEE);
    EXPECT_EQ(MirrorRow(dst.data(), src.data(), n, bits), 1);
    return dst;
}

// Hand-worked rows: pixel order reverses and the padding after the last
// pixel comes out zero even when the source has bits there.
TEST(MirrorRow, HandWorkedRows)
{
    struct Case {
        int pixels, bits;
        std::vector<BYTE> src, want;
    } cases[] = {
        {8, 1, {0x80}, {0x01}},
        {16, 1, {0xC0, 0x01}, {0x80, 0x03}},
        {3, 1, {0xDF}, {0x60}},                // pixels 1,1,0 -> 0,1,1; garbage padding dropped
        {10, 1, {0x80, 0x7F}, {0x80, 0x40}},   // pixels 0 and 9 set, garbage padding dropped
        {3, 2, {0x1B}, {0x90}},                // pixels 0,1,2 (pad 3) -> 2,1,0
        {5, 2, {0xE4, 0x40}, {0x46, 0xC0}},    // 3,2,1,0,1 -> 1,0,1,2,3
        {3, 4, {0x12, 0x3F}, {0x32, 0x10}},
        {2, 4, {0xAB}, {0xBA}},
        {3, 8, {1, 2, 3}, {3, 2, 1}},
        {1, 2, {0xC0}, {0xC0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Mirror(c.src, c.pixels, c.bits), c.want) << c.pixels << " px at " << c.bits << " bits";
}

TEST(MirrorRow, RandomRowsReversePixelsAndMirrorTwiceIsIdentity)
{
    unsigned seed = 7;
    for (int bits : {1, 2, 4, 8})
        for (int n : {1, 7, 8, 9, 31, 64, 65, 300, 333, 1000, 1001}) {
            std::vector<BYTE> src(static_cast<std::size_t>((n * bits + 7) / 8));
            for (BYTE& b : src)
                b = static_cast<BYTE>((seed = seed * 1103515245u + 12345u) >> 16);
            const int pad = static_cast<int>(src.size() * 8) - n * bits;
            src.back() = static_cast<BYTE>(src.back() & (0xFF << pad)); // clean source padding
            const std::vector<BYTE> once = Mirror(src, n, bits);
            std::vector<int> want = Pixels(src, n, bits);
            std::reverse(want.begin(), want.end());
            EXPECT_EQ(Pixels(once, n, bits), want) << n << " px at " << bits << " bits";
            EXPECT_EQ(Mirror(once, n, bits), src) << n << " px at " << bits << " bits";
        }
}

TEST(MirrorRow, RefusesOtherDepthsAndNegativeWidths)
{
    BYTE src[2] = {1, 2}, dst[2] = {9, 9};
    EXPECT_EQ(MirrorRow(dst, src, 4, 3), 0);
    EXPECT_EQ(MirrorRow(dst, src, -1, 1), 0);
    EXPECT_EQ(dst[0], 9);
    EXPECT_EQ(MirrorRow(dst, src, 0, 1), 1);
    EXPECT_EQ(dst[0], 9);
}

TEST(HostSlots, SlotsFollowSlotsSettingAndTheJobsChannels)
{
    CPrintEnv env;
    env.PutString(L"SlotsSetting", L"3`2`1`0`34`` x`3`24");
    Driver d(&env);
    CPrintJobOpenContext c = Context({0, 1, 2, 3, 34});
    ASSERT_EQ(d.JobOpen(&c), 1);
    ASSERT_EQ(d.GetSlotCount(), 9);
    const int colour[] = {3, 2, 1, 0, 34, -1, -1, 3, 24};
    const int channel[] = {3, 2, 1, 0, 4, -1, -1, 3, -1};
    for (int s = 0; s < 9; ++s) {
        EXPECT_EQ(d.iPrimColFromSlot(s), colour[s]) << s;
        EXPECT_EQ(d.ChannelFromSlot(s), channel[s]) << s;
        EXPECT_EQ(d.SlotIsInUse(s), channel[s] >= 0 ? 1 : 0) << s;
    }
    for (int s : {-1, 9, 1000}) {
        EXPECT_EQ(d.iPrimColFromSlot(s), -1);
        EXPECT_EQ(d.ChannelFromSlot(s), -1);
        EXPECT_EQ(d.SlotIsInUse(s), 0);
    }
}

TEST(HostSlots, DefaultEntryWhenNoSlotsSettingAndNoneWithoutEither)
{
    CPrintEnv env;
    env.PutString(PrEnv_SlotsSettingDefault, L"0`1");
    Driver d(&env);
    CPrintJobOpenContext c = Context({1});
    ASSERT_EQ(d.JobOpen(&c), 1);
    EXPECT_EQ(d.GetSlotCount(), 2);
    EXPECT_EQ(d.SlotIsInUse(0), 0);
    EXPECT_EQ(d.ChannelFromSlot(1), 0);

    CPrintEnv bare;
    Driver e(&bare);
    ASSERT_EQ(e.JobOpen(&c), 1);
    EXPECT_EQ(e.GetSlotCount(), 0);
    Driver noEnv(nullptr);
    ASSERT_EQ(noEnv.JobOpen(&c), 1);
    EXPECT_EQ(noEnv.GetSlotCount(), 0);
}

TEST(HostSlots, UserColoursDefaultToTheColourCodesAndMustMatchTheChannels)
{
    CPrintEnv env;
    Driver d(&env);
    CPrintJobOpenContext c = Context({0, 1, 40});
    ASSERT_EQ(d.JobOpen(&c), 1);
    EXPECT_EQ(d.DevPrimColUserFromPrimCol(2), 40);
    c.userColours = {0, 1, 34};
    ASSERT_EQ(d.JobOpen(&c), 1);
    EXPECT_EQ(d.DevPrimColUserFromPrimCol(2), 34);
    EXPECT_EQ(d.DevPrimColUserFromPrimCol(3), -1);
    EXPECT_EQ(d.DevPrimColUserFromPrimCol(-1), -1);
    c.userColours = {0, 1};
    EXPECT_EQ(d.JobOpen(&c), 0);
    EXPECT_EQ(d.GetError(), 1);
}

TEST(HostSlots, RowsAndMirroredRowsOfTheCurrentJob)
{
    CPrintEnv env;
    Driver d(&env);
    CPrintJobOpenContext c = Context({0, 1}, 6, 2); // 12 bits: two bytes, 4 bits padding
    ASSERT_EQ(d.JobOpen(&c), 1);
    EXPECT_EQ(d.pOutputRowMirror(0), nullptr); // no buffers before OutputInit
    ASSERT_EQ(d.OutputInit(6, 1), 1);
    BYTE* row = d.GetRasterPixelBufferByIndex(1)->pWriteRow();
    row[0] = 0x1B; // pixels 0,1,2,3
    row[1] = 0x80; // pixel 4 = 2, pixel 5 = 0
    EXPECT_EQ(d.pOutputRow(1), row);
    const BYTE* m = d.pOutputRowMirror(1);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m[0], 0x2E); // 0,2,3,2
    EXPECT_EQ(m[1], 0x40); // 1,0
    EXPECT_EQ(d.pOutputRow(2), nullptr);
    EXPECT_EQ(d.pOutputRowMirror(-1), nullptr);
}

} // namespace
