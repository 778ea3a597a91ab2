#include "host/Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

using namespace testsupport;
using Lines = std::vector<std::string>;

TEST(Log, LevelFiltering)
{
    LogCapture cap(4);
    CVoLogReporter* r = CVoLogReporter::Instance();
    r->ReportStatusPF("***%s#%d: failed\n", 4, "MimakiBaseDriver", 10, "CX::F", 10);
    r->ReportStatusPF("%s: detail\n", 8, "MimakiBaseDriver", 11, "CX::F");
    r->ReportStatusPF("!!!%s#%d: %s\n", 6, "Port", 12, "CX::G", 3, "from printer");
    r->ReportStatusPF("low %d", 0, "f", 1, 7);
    CVoLogReporter::ReleaseInstance();
    EXPECT_EQ(cap.lines, (Lines{"***CX::F#10: failed\n", "low 7"}));
    EXPECT_EQ(cap.levels, (std::vector<int>{4, 0}));

    cap.Clear();
    CVoLogReporter::SetLoggingLevel(8);
    EXPECT_EQ(CVoLogReporter::LoggingLevel(), 8);
    {
        CVoLog log;
        log->ReportStatusPF("%s: detail\n", 8, "f", 1, "CX::F");
        log->ReportStatusPF("%s: too fine\n", 9, "f", 1, "CX::F");
        log->ReportStatusPF("!!!%s#%d: %s\n", 6, "f", 1, "CX::G", 3, "text");
    }
    EXPECT_EQ(cap.lines, (Lines{"CX::F: detail\n", "!!!CX::G#3: text\n"}));
    EXPECT_EQ(cap.levels, (std::vector<int>{8, 6}));
}

TEST(Log, LongAndEmptyTexts)
{
    LogCapture cap(8);
    const std::string longText(10000, 'L');
    CVoLog()->ReportStatusPF("%s|%d", 4, "f", 1, longText.c_str(), -1);
    CVoLog()->ReportStatusPF("%s", 4, "f", 1, "");
    ASSERT_EQ(cap.lines.size(), 2u);
    EXPECT_EQ(cap.lines[0], longText + "|-1");
    EXPECT_EQ(cap.lines[1], "");
}

TEST(Log, WritesTheLogFile)
{
    TempDir dir;
    LogCapture cap(8);
    const std::string path = dir / "vo.log";
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
    TempDir dir;
    LogCapture cap(8);
    CVoLogReporter::SetLogFile(dir / "missing/dir/vo.log");
    CVoLog()->ReportStatusPF("still reported", 4, "f", 1);
    EXPECT_EQ(cap.lines.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(Log, LogFolder)
{
    TempDir dir;
    const std::string folder = dir / "dumps/VoLogging";
    CVoLogReporter::SetLogFolder(folder);
    EXPECT_EQ(CVoLogReporter::LogFolder(), folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    CVoLogReporter::SetLogFolder("");
    const std::string fromEnv = dir / "env";
    setenv("MIMAKI_LOG_DIR", fromEnv.c_str(), 1);
    EXPECT_EQ(CVoLogReporter::LogFolder(), fromEnv);
    EXPECT_TRUE(std::filesystem::is_directory(fromEnv));
    unsetenv("MIMAKI_LOG_DIR");
    const std::string fallback = CVoLogReporter::LogFolder();
    EXPECT_EQ(std::filesystem::path(fallback).filename(), "VoLogging");
}
