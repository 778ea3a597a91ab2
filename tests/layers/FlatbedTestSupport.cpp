#include "tests/layers/FlatbedTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "host/SpoolBuffer.h"
#include "tests/driver/DriverTestUtil.h"

namespace spooltest {

namespace {

// Sets the budget (and folder) for one scope and puts them back.
struct SpoolSettings {
    explicit SpoolSettings(std::uint64_t limit, const std::string& folder = GlobalTempFileMgr().GetTempFolder())
        : m_folder(GlobalTempFileMgr().GetTempFolder())
    {
        GlobalTempFileMgr().SetMemoryLimit(limit);
        GlobalTempFileMgr().SetTempFolder(folder);
        GlobalTempFileMgr().ResetStats();
    }
    ~SpoolSettings()
    {
        GlobalTempFileMgr().SetMemoryLimit(CTempFileMgr::kDefaultLimit);
        GlobalTempFileMgr().SetTempFolder(m_folder);
    }
    std::string m_folder;
};

} // namespace

void ExpectNothingLeft(const std::string& where)
{
    EXPECT_EQ(GlobalTempFileMgr().OpenFiles(), 0) << where;
    EXPECT_EQ(GlobalTempFileMgr().MemoryInUse(), 0u) << where;
}

std::vector<std::string> DataLines(const std::string& file)
{
    std::ifstream in(std::string(MIMAKI_SOURCE_DIR) + "/tests/layers/data/" + file);
    EXPECT_TRUE(in.good()) << file;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> TableCells(const std::string& line)
{
    std::vector<std::string> cells;
    if (line.rfind("| ", 0) != 0)
        return cells;
    std::stringstream ss(line.substr(1));
    for (std::string cell; std::getline(ss, cell, '|');) {
        const auto b = cell.find_first_not_of(' ');
        cells.push_back(b == std::string::npos ? "" : cell.substr(b, cell.find_last_not_of(' ') - b + 1));
    }
    return cells;
}

std::vector<int> Numbers(const std::string& text)
{
    std::vector<int> out;
    const std::regex number("\\d+");
    for (std::sregex_iterator it(text.begin(), text.end(), number), e; it != e; ++it)
        out.push_back(std::stoi(it->str()));
    return out;
}

std::vector<BYTE> Trim(std::vector<BYTE> row)
{
    while (!row.empty() && row.back() == 0)
        row.pop_back();
    return row;
}

layertest::Job SmallLayeredJob()
{
    layertest::Job job;
    job.colours = {0, 1, 34, 30};
    job.bits = 2;
    job.width = 8;
    job.compress = 1;
    for (int r = 0; r < 6; ++r)
        job.rows.push_back({{BYTE(r + 1), 0x22}, {0x00, BYTE(r)}, {0x33, 0x44}, {0x44, BYTE(r + 9)}});
    return job;
}

void CheckFailurePaths(const CPrintEnv& prototype, const layertest::Job& job, const std::string& errorSource)
{
    CPrintEnv env = prototype;
    env.PutString(PrEnv_AbortCommand, L"<abort>");
    auto d = CreateDriver(env);
    ASSERT_NE(d, nullptr);
    const layertest::Result whole = layertest::RunJob(*d, job);
    ASSERT_EQ(whole.ok, 1);
    ASSERT_GT(whole.bytes.size(), 50u);

    // The output failing at every byte, with the page in memory and spilled.
    for (const std::uint64_t limit : {CTempFileMgr::kDefaultLimit, std::uint64_t{0}}) {
        SpoolSettings spool(limit);
        for (std::size_t at = 0; at < whole.bytes.size(); ++at) {
            const layertest::Result r = layertest::RunJob(*d, job, at);
            const std::string where = "failing at byte " + std::to_string(at) + " of " +
                                      std::to_string(whole.bytes.size()) + (limit ? "" : ", spilled");
            EXPECT_EQ(r.ok, 0) << where;
            EXPECT_EQ(r.callsAfterFailure, 0u) << where;
            EXPECT_EQ(r.bytes, whole.bytes.substr(0, at)) << where;
            ExpectNothingLeft(where);
        }
    }
    EXPECT_EQ(layertest::RunJob(*d, job).bytes, whole.bytes) << "the driver prints again after failures";

    {
        // Everything spilled: the same stream.
        SpoolSettings spool(0);
        const layertest::Result r = layertest::RunJob(*d, job);
        EXPECT_EQ(r.ok, 1);
        EXPECT_EQ(r.bytes, whole.bytes);
        EXPECT_GT(GlobalTempFileMgr().BytesSpilled(), 0u);
        ExpectNothingLeft("spilled");
    }
    {
        // No folder for the spill: the job fails with one line, nothing sent.
        SpoolSettings spool(0, "/dev/null/spool");
        LogCapture log;
        const layertest::Result r = layertest::RunJob(*d, job);
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.bytes, "") << "nothing of a half page goes out";
        EXPECT_EQ(d->GetErrorString(),
                  L"cannot create a spool file in the temporary folder /dev/null/spool: Not a directory");
        EXPECT_TRUE(log.Contains(errorSource)) << errorSource;
        ExpectNothingLeft("unusable folder");
    }
    {
        // The operator's cancel mid-page: the abort command, once.
        SpoolSettings spool(0);
        const layertest::Result r = layertest::RunJob(*d, job, UINT64_MAX, static_cast<int>(job.rows.size() / 2));
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.bytes, "<abort>");
        ExpectNothingLeft("aborted");
    }
    {
        // Destroyed mid-page, spilled.
        SpoolSettings spool(0);
        auto mid = CreateDriver(env);
        CMemorySink sink;
        mid->SetOutputSink(&sink);
        CPrintJobOpenContext ctx;
        ctx.colourCodes = job.colours;
        ctx.pixelWidth = 16384;
        ctx.bitsPerPixel = 2;
        ASSERT_EQ(HostJobBegin(*mid, ctx), 1);
        for (int r = 0; r < 300; ++r) {
            for (int ch = 0; ch < mid->GetCountPrimCols(); ++ch)
                std::memset(mid->GetRasterPixelBufferByIndex(ch)->pWriteRow(), 0x11 * (ch + 1) + r, 4096);
            ASSERT_EQ(mid->OutputOneRow(), 1);
        }
        EXPECT_GT(GlobalTempFileMgr().OpenFiles(), 0) << "the page is spilled";
        EXPECT_EQ(sink.Data(), "") << "nothing of the page goes out before its end";
        mid.reset();
        ExpectNothingLeft("destroyed mid-page");
    }
}

} // namespace spooltest
