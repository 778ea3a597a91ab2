// qiview: prints the print conditions of a print-condition block.
//
//   qiview FILE               FILE holds the block as hex text (white space
//                             and lines starting with '#' are ignored, so
//                             the QI_printenv_ dumps can be read directly)
//   qiview --embedded NAME    an entry of the plug-in's embedded table
//   qiview --list-embedded    one line per embedded entry
//
// Conditions and the result go to standard output, the analysis log to
// standard error. Exit status: 0 for a valid block, 1 for invalid data, an
// unreadable file or lost output, 2 for a usage error.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "host/FileIO.h"
#include "host/Log.h"
#include "host/StrUtil.h"
#include "printcond/AnalyzeQI.h"
#include "printcond/MimakiPrintModeDataTables.h"
#include "tools/common/Stdout.h"

namespace {

const char kUsage[] = "usage: qiview FILE\n"
                      "       qiview --embedded NAME\n"
                      "       qiview --list-embedded\n"
                      "FILE holds a print-condition block as hex text; blanks, line breaks and\n"
                      "lines starting with '#' are ignored.\n";

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Collects the hex digits of a file; false with a message naming the place
// of the first character that does not belong.
bool ReadHexFile(const std::string& path, std::wstring& hex, std::string& error)
{
    std::string text;
    if (!ReadWholeFile(path, text, error))
        return false;
    int line = 1, column = 0;
    bool lineStart = true, comment = false;
    for (char c : text) {
        ++column;
        if (c == '\n') {
            ++line;
            column = 0;
            lineStart = true;
            comment = false;
            continue;
        }
        if (comment)
            continue;
        if (lineStart && c == '#') {
            comment = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v')
            continue;
        lineStart = false;
        if (!IsHexDigit(c)) {
            char buf[160];
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x20 && u < 0x7F)
                std::snprintf(buf, sizeof buf, ":%d:%d: '%c' is not a hexadecimal digit", line, column, c);
            else
                std::snprintf(buf, sizeof buf, ":%d:%d: byte 0x%02X is not a hexadecimal digit", line, column, u);
            error = path + buf;
            return false;
        }
        hex += static_cast<wchar_t>(c);
    }
    if (hex.empty()) {
        error = path + ": no hexadecimal data";
        return false;
    }
    if (hex.size() % 2 != 0) {
        error = path + ": odd number of hexadecimal digits (" + std::to_string(hex.size()) +
                "): the last byte is incomplete";
        return false;
    }
    return true;
}

int Show(const std::wstring& hex)
{
    MimakiPrintConditions conditions;
    std::wstring inksets;
    const int result = CAnalyzeQI::Analyze(hex, inksets, conditions);
    std::wstring text;
    for (std::size_t i = 0; i < conditions.m_Conditions.size(); ++i)
        AppendConditionText(conditions.m_Conditions[i], static_cast<int>(i), text);
    std::fputs(WideToUtf8(text).c_str(), stdout);
    std::printf("records=%u conditions=%zu\n", conditions.m_Header.conditionCount, conditions.m_Conditions.size());
    std::printf("result=%d\n", result);
    std::printf("inksets=%s\n", WideToUtf8(inksets).c_str());
    return result ? 0 : 1;
}

int ListEmbedded()
{
    std::printf("%-46s %7s %7s %10s  %s\n", "name", "bytes", "records", "conditions", "ink sets");
    int bad = 0;
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e) {
        MimakiPrintConditions conditions;
        std::wstring inksets;
        const std::wstring hex = EmbeddedPrintModeText(*e);
        if (!CAnalyzeQI::Analyze(hex, inksets, conditions))
            ++bad;
        std::printf("%-46s %7zu %7u %10zu  %s\n", WideToUtf8(e->name).c_str(), hex.size() / 2,
                    conditions.m_Header.conditionCount, conditions.m_Conditions.size(), WideToUtf8(inksets).c_str());
    }
    return bad ? 1 : 0;
}

int Run(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--list-embedded") == 0)
        return ListEmbedded();
    if (argc == 3 && std::strcmp(argv[1], "--embedded") == 0) {
        const EmbeddedPrintModeEntry* entry = FindEmbeddedPrintModeEntry(Utf8ToWide(argv[2]));
        if (!entry) {
            std::fprintf(stderr, "qiview: no embedded print-mode data named \"%s\" (see --list-embedded)\n", argv[2]);
            return 1;
        }
        return Show(EmbeddedPrintModeText(*entry));
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::wstring hex;
    std::string error;
    if (!ReadHexFile(argv[1], hex, error)) {
        std::fprintf(stderr, "qiview: %s\n", error.c_str());
        return 1;
    }
    return Show(hex);
}

}  // namespace

int main(int argc, char** argv)
{
    const int status = Run(argc, argv);
    std::string error;
    if (!FlushStdout(error)) {
        std::fprintf(stderr, "qiview: %s\n", error.c_str());
        return status == 2 ? 2 : 1;
    }
    return status;
}
