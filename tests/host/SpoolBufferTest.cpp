#include "host/SpoolBuffer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <random>

#include "tests/support/TempDir.h"

using namespace testsupport;

namespace {

constexpr std::size_t kBlock = CSpoolStore::kBlockSize;

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::string Stream(CSpoolStore& store)
{
    std::string out;
    store.ForEachPiece([&](const BYTE* p, std::size_t n) {
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
    });
    return out;
}

// Appends in uneven pieces, as rows of different widths arrive.
void AppendAll(CSpoolStore& store, const std::string& data)
{
    std::size_t pos = 0;
    for (std::size_t piece = 1; pos < data.size(); piece = piece * 7 % 100003 + 1) {
        const std::size_t n = std::min(piece, data.size() - pos);
        store.Append(data.data() + pos, n);
        pos += n;
    }
}

} // namespace

TEST(SpoolStore, KeepsWhatFitsSpillsTheRestAndReadsBackEverySize)
{
    struct Case {
        std::uint64_t limit;
        std::size_t bytes;
        std::uint64_t spilledAtLeast, spilledAtMost;
    };
    const Case cases[] = {
        {64 * kBlock, 5 * kBlock + 17, 0, 0},                  // all in memory
        {0, 3 * kBlock + 5, 3 * kBlock + 5, 3 * kBlock + 5},   // limit 0: every byte spills
        {3 * kBlock, 10 * kBlock, 7 * kBlock, 9 * kBlock},     // the budget's share stays
        {0, 0, 0, 0},                                          // empty
    };
    for (const Case& c : cases) {
        TempDir dir;
        CTempFileMgr mgr;
        mgr.SetTempFolder(dir.Path());
        mgr.SetMemoryLimit(c.limit);
        const std::string data = RandomBytes(c.bytes, static_cast<unsigned>(c.bytes));
        {
            CSpoolStore store(mgr);
            AppendAll(store, data);
            store.Seal();
            EXPECT_EQ(store.Size(), data.size());
            EXPECT_GE(mgr.BytesSpilled(), c.spilledAtLeast) << c.limit;
            EXPECT_LE(mgr.BytesSpilled(), c.spilledAtMost) << c.limit;
            // Spilled blocks give their memory back; the budget holds up
            // to the block being filled.
            EXPECT_LE(mgr.MemoryInUse(), std::max<std::uint64_t>(c.limit, 0));
            EXPECT_LE(mgr.PeakMemory(), c.limit + kBlock);
            EXPECT_EQ(Stream(store), data);
            EXPECT_EQ(Stream(store), data) << "a second read gives the same bytes";
            // By offset, across block and file boundaries.
            for (std::size_t off : {std::size_t{0}, kBlock - 3, 2 * kBlock + 11}) {
                if (off + 10 > data.size())
                    continue;
                std::string got(10, '\0');
                store.Read(off, got.data(), 10);
                EXPECT_EQ(got, data.substr(off, 10)) << off;
            }
            EXPECT_EQ(mgr.OpenFiles(), c.bytes && mgr.BytesSpilled() ? 1 : 0);
            EXPECT_TRUE(dir.List().empty()) << "spool files have no name in the folder";
        }
        EXPECT_EQ(mgr.OpenFiles(), 0);
        EXPECT_EQ(mgr.MemoryInUse(), 0u);
    }
}

TEST(SpoolStore, AnUnusableTempFolderIsOneClearError)
{
    for (const std::string folder : {"/dev/null/spool", "/nonexistent-folder-of-mimaki/x"}) {
        CTempFileMgr mgr;
        mgr.SetTempFolder(folder);
        mgr.SetMemoryLimit(0);
        CSpoolStore store(mgr);
        const std::string data(2 * kBlock, 'a');
        try {
            store.Append(data.data(), data.size());
            ADD_FAILURE() << "no error for " << folder;
        } catch (const CSpoolException& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("cannot create a spool file in the temporary folder " + folder), std::string::npos)
                << what;
            EXPECT_EQ(what.find('\n'), std::string::npos);
        }
        EXPECT_EQ(mgr.OpenFiles(), 0);
    }
}

namespace {

// Spools 3 MiB with a file size limit of 1 MiB: the disk is "full" for
// this process. Exits 3 with the error line, 0 when nothing failed.
[[noreturn]] void SpoolOnAFullDisk()
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{kBlock, kBlock};
    setrlimit(RLIMIT_FSIZE, &lim);
    CTempFileMgr mgr;
    mgr.SetMemoryLimit(0);
    CSpoolStore store(mgr);
    const std::string data(3 * kBlock, 'b');
    try {
        store.Append(data.data(), data.size());
        store.Seal();
    } catch (const CSpoolException& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::exit(3);
    }
    std::exit(0);
}

} // namespace

TEST(SpoolStore, AFullDiskIsAWriteErrorNotACrash)
{
    EXPECT_EXIT(SpoolOnAFullDisk(), ::testing::ExitedWithCode(3),
                "cannot write a spool file in the temporary folder .*: File too large");
}

TEST(SpoolStore, ParseSize)
{
    const std::pair<const char*, long long> cases[] = {
        {"0", 0}, {"65536", 65536}, {"64M", 64ll << 20}, {"2G", 2ll << 30}, {"16k", 16384}, {"3MiB", 3ll << 20},
        {"", -1}, {"M", -1}, {"-1", -1}, {"12X", -1}, {"99999999999999999999", -1},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(CTempFileMgr::ParseSize(text), bytes) << text;
}
