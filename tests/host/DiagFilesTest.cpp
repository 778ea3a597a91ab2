#include "host/DiagFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestDirs.h"
#include "host/Log.h"

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
    ScratchDir dir;
    LogFolderScope scope(dir.Path());
    const std::string text(170, 'A');
    ASSERT_TRUE(WriteQIDataToFile(text, 1, L"JV300 [usb]"));
    EXPECT_EQ(ReadFile(dir.File("JV300 [usb].txt")),
              "# source: settings\n" + std::string(80, 'A') + "\n" + std::string(80, 'A') + "\nAAAAAAAAAA\n");
    ASSERT_TRUE(WriteQIDataToFile("0102", 0, L"../up/and\\away"));
    EXPECT_EQ(ReadFile(dir.File(".._up_and_away.txt")), "# source: printer\n0102\n");
    ASSERT_TRUE(WriteQIDataToFile("", 0, L""));
    EXPECT_EQ(ReadFile(dir.File("QI_data.txt")), "# source: printer\n");
    ASSERT_TRUE(WriteQIDataToFile("FF", 1, L"caf\u00e9"));
    EXPECT_EQ(ReadFile(dir.File("caf\xC3\xA9.txt")), "# source: settings\nFF\n");
    EXPECT_EQ(dir.List().size(), 4u) << "no temporary files left";
}

TEST(DiagFiles, FailedDumpIsLogged)
{
    ScratchDir dir;
    // The log folder is a plain file: nothing can be written below it.
    WriteFile(dir.File("file"), "x");
    LogFolderScope scope(dir.File("file"));
    std::vector<std::string> lines;
    const int oldLevel = CVoLogReporter::LoggingLevel();
    CVoLogReporter::SetLoggingLevel(4);
    CVoLogReporter::SetCapture([&](int level, const std::string& text) {
        if (level == 4)
            lines.push_back(text);
    });
    EXPECT_FALSE(WriteQIDataToFile("00", 1, L"dump"));
    CVoLogReporter::SetCapture(nullptr);
    CVoLogReporter::SetLoggingLevel(oldLevel);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("***WriteQIDataToFile#", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("dump.txt"), std::string::npos) << lines[0];
}
