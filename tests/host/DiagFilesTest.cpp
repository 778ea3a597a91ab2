#include "host/DiagFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/Log.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

using namespace testsupport;

TEST(DiagFiles, ColourNames)
{
    EXPECT_EQ(GetDevPrimColName(0, 1), L"Black");
    EXPECT_EQ(GetDevPrimColName(0, 0), L"K");
    EXPECT_EQ(GetDevPrimColName(8, 1), L"Light Cyan");
    EXPECT_EQ(GetDevPrimColName(9, 0), L"Lm");
    EXPECT_EQ(GetDevPrimColName(34, 1), L"White");
    EXPECT_EQ(GetDevPrimColName(30, 0), L"Cl");
    EXPECT_EQ(GetDevPrimColName(99, 1), L"Colour 99");
    EXPECT_EQ(GetDevPrimColName(99, 0), L"C99");
    EXPECT_EQ(GetDevPrimColName(-1, 1), L"Colour -1");
}

namespace {

// Points the log folder at a scratch folder for one test.
struct LogFolderScope {
    explicit LogFolderScope(const std::string& folder) { CVoLogReporter::SetLogFolder(folder); }
    ~LogFolderScope() { CVoLogReporter::SetLogFolder(""); }
};

} // namespace

TEST(DiagFiles, PrintConditionDump)
{
    TempDir dir;
    LogFolderScope scope(dir.Path());
    const std::string text(170, 'A');
    ASSERT_TRUE(WriteQIDataToFile(text, 1, L"JV300 [usb]"));
    EXPECT_EQ(ReadFile(dir / "JV300 [usb].txt"),
              "# source: settings\n" + std::string(80, 'A') + "\n" + std::string(80, 'A') + "\nAAAAAAAAAA\n");
    ASSERT_TRUE(WriteQIDataToFile("0102", 0, L"../up/and\\away"));
    EXPECT_EQ(ReadFile(dir / ".._up_and_away.txt"), "# source: printer\n0102\n");
    ASSERT_TRUE(WriteQIDataToFile("", 0, L""));
    EXPECT_EQ(ReadFile(dir / "QI_data.txt"), "# source: printer\n");
    ASSERT_TRUE(WriteQIDataToFile("FF", 1, L"caf\u00e9"));
    EXPECT_EQ(ReadFile(dir / "caf\xC3\xA9.txt"), "# source: settings\nFF\n");
    EXPECT_EQ(dir.List().size(), 4u) << "no temporary files left";
}

TEST(DiagFiles, FailedDumpIsLogged)
{
    TempDir dir;
    // The log folder is a plain file: nothing can be written below it.
    WriteFile(dir / "file", "x");
    LogFolderScope scope(dir / "file");
    LogCapture log(4);
    EXPECT_FALSE(WriteQIDataToFile("00", 1, L"dump"));
    ASSERT_EQ(log.levels, std::vector<int>{4});
    EXPECT_EQ(log.lines[0].rfind("***WriteQIDataToFile#", 0), 0u) << log.lines[0];
    EXPECT_NE(log.lines[0].find("dump.txt"), std::string::npos) << log.lines[0];
}
