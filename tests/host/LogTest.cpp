#include "host/Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "TestDirs.h"

namespace {

struct Captured {
    int level;
    std::string text;
    bool operator==(const Captured&) const = default;
};

// Captures reports and restores the reporter's settings afterwards.
class LogCapture {
public:
    explicit LogCapture(int level) : m_oldLevel(CVoLogReporter::LoggingLevel())
    {
        CVoLogReporter::SetLoggingLevel(level);
        CVoLogReporter::SetCapture([this](int l, const std::string& t) { lines.push_back({l, t}); });
    }
    ~LogCapture()
    {
        CVoLogReporter::SetCapture(nullptr);
        CVoLogReporter::SetLoggingLevel(m_oldLevel);
        CVoLogReporter::SetLogFile("");
    }
    std::vector<Captured> lines;

private:
    int m_oldLevel;
};

} // namespace

TEST(Log, LevelFiltering)
{
    LogCapture cap(4);
    CVoLogReporter* r = CVoLogReporter::Instance();
    r->ReportStatusPF("***%s#%d: failed\n", 4, "MimakiBaseDriver", 10, "CX::F", 10);
    r->ReportStatusPF("%s: detail\n", 8, "MimakiBaseDriver", 11, "CX::F");
    r->ReportStatusPF("!!!%s#%d: %s\n", 6, "Port", 12, "CX::G", 3, "from printer");
    r->ReportStatusPF("low %d", 0, "f", 1, 7);
    CVoLogReporter::ReleaseInstance();
    EXPECT_EQ(cap.lines, (std::vector<Captured>{{4, "***CX::F#10: failed\n"}, {0, "low 7"}}));

    cap.lines.clear();
    CVoLogReporter::SetLoggingLevel(8);
    EXPECT_EQ(CVoLogReporter::LoggingLevel(), 8);
    {
        CVoLog log;
        log->ReportStatusPF("%s: detail\n", 8, "f", 1, "CX::F");
        log->ReportStatusPF("%s: too fine\n", 9, "f", 1, "CX::F");
        log->ReportStatusPF("!!!%s#%d: %s\n", 6, "f", 1, "CX::G", 3, "text");
    }
    EXPECT_EQ(cap.lines, (std::vector<Captured>{{8, "CX::F: detail\n"}, {6, "!!!CX::G#3: text\n"}}));
}

TEST(Log, LongAndEmptyTexts)
{
    LogCapture cap(8);
    const std::string longText(10000, 'L');
    CVoLog()->ReportStatusPF("%s|%d", 4, "f", 1, longText.c_str(), -1);
    CVoLog()->ReportStatusPF("%s", 4, "f", 1, "");
    ASSERT_EQ(cap.lines.size(), 2u);
    EXPECT_EQ(cap.lines[0].text, longText + "|-1");
    EXPECT_EQ(cap.lines[1].text, "");
}

TEST(Log, WritesTheLogFile)
{
    ScratchDir dir;
    LogCapture cap(8);
    const std::string path = dir.File("vo.log");
    CVoLogReporter::SetLogFile(path);
    CVoLog()->ReportStatusPF("%s: sending abort command\n", 8, "MimakiBaseDriver", 321,
                             "CMimakiLegacyBasePrinterDriver::JobClose");
    CVoLog()->ReportStatusPF("no newline %d", 4, "PrintEnv", 7, 5);
    CVoLog()->ReportStatusPF("filtered", 9, "PrintEnv", 8);
    EXPECT_EQ(ReadFile(path), "[8] MimakiBaseDriver:321: CMimakiLegacyBasePrinterDriver::JobClose: sending abort "
                              "command\n[4] PrintEnv:7: no newline 5\n");
    // Appends across settings of the same file.
    CVoLogReporter::SetLogFile(path);
    CVoLog()->ReportStatusPF("again", 4, nullptr, 0);
    EXPECT_NE(ReadFile(path).find("[4] :0: again\n"), std::string::npos);
    EXPECT_EQ(cap.lines.size(), 3u);
}

TEST(Log, UnwritableLogFileFallsBackWithoutLosingTheReport)
{
    ScratchDir dir;
    LogCapture cap(8);
    CVoLogReporter::SetLogFile(dir.File("missing/dir/vo.log"));
    CVoLog()->ReportStatusPF("still reported", 4, "f", 1);
    EXPECT_EQ(cap.lines.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(Log, LogFolder)
{
    ScratchDir dir;
    const std::string folder = dir.File("dumps/VoLogging");
    CVoLogReporter::SetLogFolder(folder);
    EXPECT_EQ(CVoLogReporter::LogFolder(), folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    CVoLogReporter::SetLogFolder("");
    const std::string fromEnv = dir.File("env");
    setenv("MIMAKI_LOG_DIR", fromEnv.c_str(), 1);
    EXPECT_EQ(CVoLogReporter::LogFolder(), fromEnv);
    EXPECT_TRUE(std::filesystem::is_directory(fromEnv));
    unsetenv("MIMAKI_LOG_DIR");
    const std::string fallback = CVoLogReporter::LogFolder();
    EXPECT_EQ(std::filesystem::path(fallback).filename(), "VoLogging");
}
