// The page-wide row store of the layered drivers: rows of every size, walked
// forward and last first, give back exactly the bytes fed, whether they
// stayed in memory or were spilled (records across spilled block borders,
// blocks re-read when a backward walk comes back to them).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "host/SpoolBuffer.h"
#include "layers/LayerRowStore.h"

using mimaki::layers::LayerRowStore;

namespace {

using Rows = std::vector<std::vector<std::vector<BYTE>>>; // row, channel, bytes

Rows MakeRows(int rows, int channels)
{
    std::mt19937 rng(7);
    Rows out(static_cast<std::size_t>(rows));
    for (auto& row : out) {
        row.resize(static_cast<std::size_t>(channels));
        for (auto& ch : row) {
            // Empty, small and block-sized records, so that many straddle
            // the store's block borders.
            const std::size_t len = rng() % 4 == 0 ? 0 : rng() % (CSpoolStore::kBlockSize / 3);
            ch.resize(len);
            for (BYTE& b : ch)
                b = static_cast<BYTE>(rng());
        }
    }
    return out;
}

void Fill(LayerRowStore& store, const Rows& rows)
{
    store.Open(static_cast<int>(rows[0].size()));
    for (const auto& row : rows) {
        for (std::size_t ch = 0; ch < row.size(); ++ch)
            store.Add(static_cast<int>(ch), row[ch].data(), static_cast<std::uint32_t>(row[ch].size()),
                      static_cast<std::uint32_t>(row[ch].size() + ch));
        store.EndRow();
    }
    store.Seal();
}

void ExpectWalk(LayerRowStore& store, const Rows& rows, bool lastFirst)
{
    store.Start(lastFirst);
    std::vector<BYTE> got;
    std::size_t seen = 0;
    while (store.Next()) {
        const std::size_t r = lastFirst ? rows.size() - 1 - seen : seen;
        ASSERT_LT(seen++, rows.size());
        for (std::size_t ch = 0; ch < rows[r].size(); ++ch) {
            const LayerRowStore::Entry& e = store.At(static_cast<int>(ch));
            ASSERT_EQ(e.stored, rows[r][ch].size()) << r << "/" << ch;
            EXPECT_EQ(e.raw, rows[r][ch].size() + ch);
            got.assign(e.stored, 0xEE);
            store.Read(static_cast<int>(ch), got.data());
            EXPECT_TRUE(got == rows[r][ch]) << "row " << r << " channel " << ch << (lastFirst ? " last first" : "");
        }
    }
    EXPECT_EQ(seen, rows.size());
}

} // namespace

TEST(LayerRowStore, RowsComeBackForwardAndLastFirstInMemoryAndSpilled)
{
    const Rows rows = MakeRows(40, 3);
    CTempFileMgr& mgr = GlobalTempFileMgr();
    for (const std::uint64_t limit : {CTempFileMgr::kDefaultLimit * 4, std::uint64_t{0}}) {
        mgr.SetMemoryLimit(limit);
        mgr.ResetStats();
        {
            LayerRowStore store;
            Fill(store, rows);
            EXPECT_EQ(store.RowCount(), rows.size());
            EXPECT_EQ(mgr.BytesSpilled() > 0, limit == 0) << limit;
            // Twice each way: a walk leaves nothing behind for the next.
            for (const bool lastFirst : {false, true, true, false})
                ExpectWalk(store, rows, lastFirst);
            store.Release();
            EXPECT_EQ(mgr.OpenFiles(), 0);
            EXPECT_EQ(mgr.MemoryInUse(), 0u);
        }
    }
    mgr.SetMemoryLimit(CTempFileMgr::kDefaultLimit);
}

TEST(LayerRowStore, AnEmptyPageHasNoRows)
{
    LayerRowStore store;
    store.Open(2);
    store.Seal();
    for (const bool lastFirst : {false, true}) {
        store.Start(lastFirst);
        EXPECT_FALSE(store.Next());
    }
}
