#include "DiagFiles.h"

#include <filesystem>

#include "Log.h"
#include "PrintEnv.h"
#include "StrUtil.h"

namespace {

struct DevPrimColName {
    int color;
    const wchar_t* longName;
    const wchar_t* shortName;
};

// Host colour codes. Codes 22 and 29 have a second role in some layered
// drivers (midlayer, primer); the names give the ink the code is usually
// assigned to.
constexpr DevPrimColName kDevPrimColNames[] = {
    {0, L"Black", L"K"},
    {1, L"Cyan", L"C"},
    {2, L"Magenta", L"M"},
    {3, L"Yellow", L"Y"},
    {4, L"Red", L"R"},
    {5, L"Green", L"G"},
    {6, L"Blue", L"B"},
    {7, L"Orange", L"Or"},
    {8, L"Light Cyan", L"Lc"},
    {9, L"Light Magenta", L"Lm"},
    {10, L"Light Black", L"Lk"},
    {11, L"Light Light Black", L"LLk"},
    {12, L"Light Yellow", L"Ly"},
    {13, L"Violet", L"V"},
    {14, L"Silver", L"Si"},
    {15, L"Fluorescent Yellow", L"Fy"},
    {16, L"Fluorescent Pink", L"Fp"},
    {17, L"Spot 1", L"S1"},
    {18, L"Spot 2", L"S2"},
    {19, L"Spot 3", L"S3"},
    {20, L"Spot 4", L"S4"},
    {21, L"Spot 5", L"S5"},
    {22, L"Spot 6", L"S6"},
    {23, L"Spot 7", L"S7"},
    {24, L"Midlayer", L"Ml"},
    {25, L"Primer", L"Pr"},
    {26, L"Primer 2", L"Pr2"},
    {27, L"Spot 8", L"S8"},
    {28, L"Spot 9", L"S9"},
    {29, L"Varnish 2/Primer", L"Cl2"},
    {30, L"Varnish", L"Cl"},
    {31, L"Spot 10", L"S10"},
    {32, L"Spot 11", L"S11"},
    {33, L"White 2", L"W2"},
    {34, L"White", L"W"},
    {40, L"Light Black 2", L"Lk2"},
    {41, L"Gray", L"Gy"},
    {42, L"Green 2", L"G2"},
    {43, L"Blue 2", L"B2"},
};

} // namespace

std::wstring GetDevPrimColName(int color, int bLongName)
{
    for (const DevPrimColName& entry : kDevPrimColNames)
        if (entry.color == color)
            return bLongName ? entry.longName : entry.shortName;
    return (bLongName ? L"Colour " : L"C") + ToString(color);
}

bool WriteQIDataToFile(const std::string& text, int bFromSettings, const std::wstring& name)
{
    std::string fileName = WideToUtf8(name);
    for (char& c : fileName)
        if (c == '/' || c == '\\' || c == '\0')
            c = '_';
    if (fileName.empty())
        fileName = "QI_data";
    const std::string path = (std::filesystem::path(CVoLogReporter::LogFolder()) / (fileName + ".txt")).string();

    std::string content = bFromSettings ? "# source: settings\n" : "# source: printer\n";
    content.reserve(content.size() + text.size() + text.size() / 80 + 1);
    for (std::size_t i = 0; i < text.size(); i += 80) {
        content.append(text, i, 80);
        content += '\n';
    }

    std::string error;
    if (!WriteFileAtomically(path, content, error)) {
        CVoLog log;
        log->ReportStatusPF("***%s#%d: %s", 4, __FILE__, __LINE__, "WriteQIDataToFile", __LINE__, error.c_str());
        return false;
    }
    return true;
}
