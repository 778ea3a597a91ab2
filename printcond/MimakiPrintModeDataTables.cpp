#include "printcond/MimakiPrintModeDataTables.h"

#include "host/DiagFiles.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/StrUtil.h"

namespace {

wchar_t FoldAscii(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

bool EqualNoCase(const wchar_t* a, const std::wstring& b)
{
    std::size_t i = 0;
    for (; a[i] != 0; ++i)
        if (i >= b.size() || FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return i == b.size();
}

// Settings reads against a missing print environment answer the defaults.
const CPrintEnv& EnvOrEmpty(CPrintEnv* pEnv)
{
    static const CPrintEnv empty;
    return pEnv ? *pEnv : empty;
}

}  // namespace

const EmbeddedPrintModeEntry* FindEmbeddedPrintModeEntry(const std::wstring& name)
{
    if (name.empty())
        return nullptr;
    for (const EmbeddedPrintModeEntry* e = EmbeddedPrintModeTable; e->name[0] != 0; ++e)
        if (EqualNoCase(e->name, name))
            return e;
    return nullptr;
}

std::wstring EmbeddedPrintModeText(const EmbeddedPrintModeEntry& entry)
{
    std::size_t length = 0;
    for (int i = 0; i < entry.chunkCount; ++i)
        length += std::char_traits<char>::length(entry.chunks[i]);
    std::wstring text;
    text.reserve(length);
    for (int i = 0; i < entry.chunkCount; ++i)
        for (const char* p = entry.chunks[i]; *p; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return text;
}

void loadRipsIniQIData(CPrintEnv* pEnv, std::wstring& printModeData, std::wstring& inksetValue)
{
    const CPrintEnv& env = EnvOrEmpty(pEnv);
    printModeData.clear();
    const std::wstring embeddedName = env.GetString(L"EmbeddedPrintModeData", L"");
    if (embeddedName.empty()) {
        for (int i = 0;; ++i) {
            const std::wstring chunk = env.GetString((L"PrintModeData" + ToString(i)).c_str(), L"");
            if (chunk.empty())
                break;
            printModeData += chunk;
        }
    } else {
        if (const EmbeddedPrintModeEntry* entry = FindEmbeddedPrintModeEntry(embeddedName))
            printModeData = EmbeddedPrintModeText(*entry);
        if (printModeData.empty()) {
            CVoLog log;
            log->ReportStatusPF("***%s#%d: Print mode data not found for %s", 4, __FILE__, __LINE__,
                                "loadRipsIniQIData", __LINE__, WideToAnsi(embeddedName).c_str());
        }
    }

    const std::wstring assignment = env.GetString(L"MimakiInkAssignment", L"");
    for (const std::wstring& model : Split(env.GetString(L"InksetModelsList", L""), L',', 1)) {
        if (model == assignment) {
            inksetValue = env.GetString(model.c_str(), L"");
            break;
        }
    }
}

void CheckAndLoadPrintModeData(CPrintEnv* pEnv, std::wstring& printModeData, std::wstring& inksetResult,
                               std::wstring* colorSequence, int bIsHybrid, std::vector<std::wstring>* inksetList,
                               std::wstring* currentInkset, MimakiPrintConditions* conditions)
{
    static constexpr const char* kFunction = "CheckAndLoadPrintModeData";
    const CPrintEnv& env = EnvOrEmpty(pEnv);
    std::wstring names;
    int fromSettings = 1;

    const std::wstring buildCreate = env.GetString(L"BuildCreate", L"");
    bool fallback = false;
    if (printModeData.empty()) {
        loadRipsIniQIData(pEnv, printModeData, inksetResult);
        names = inksetResult;
    } else if (env.GetInt(L"NewQIDataHasBeenRetrieved", 0) == 0 && IntFromString(buildCreate) >= 6368) {
        // Since build 6368 the stored text is a copy of the settings text;
        // only data read from the printer are worth keeping.
        fallback = true;
    } else {
        MimakiPrintConditions scratch;
        if (CAnalyzeQI::Analyze(printModeData, names, conditions ? *conditions : scratch)) {
            fromSettings = 0;
            inksetResult = names;
        } else {
            CVoLog log;
            log->ReportStatusPF("***%s: Print mode data are invalid!!", 4, __FILE__, __LINE__, kFunction);
            fallback = true;
        }
    }
    if (fallback) {
        loadRipsIniQIData(pEnv, printModeData, inksetResult);
        if (names.empty())
            names = inksetResult;
    }

    if (bIsHybrid && inksetList && currentInkset) {
        *inksetList = Split(names, L',', 1);
        *currentInkset = env.GetString(L"MimakiCurrentInkset", inksetList->empty() ? L"" : inksetList->front().c_str());
        std::wstring accepted;
        std::wstring firstAccepted;
        bool match = false;
        for (const std::wstring& name : *inksetList) {
            if (env.GetString((L"MimakiColorSequence" + name).c_str(), L"").empty())
                continue;
            if (!accepted.empty())
                accepted += L',';
            accepted += name;
            if (firstAccepted.empty())
                firstAccepted = name;
            if (*currentInkset == name)
                match = true;
        }
        if (accepted.empty()) {
            CVoLog log;
            log->ReportStatusPF("***%s: Hybrid model: MimakiColorSequence key is wrongly defined in rips.ini section",
                                4, __FILE__, __LINE__, kFunction);
        }
        if (!match)
            *currentInkset = firstAccepted;
        *inksetList = Split(accepted, L',', 1);
        if (colorSequence) {
            const std::wstring key = L"MimakiColorSequence" + *currentInkset;
            // Without a current ink set the key would be the plain
            // "MimakiColorSequence", which belongs to non-hybrid models.
            *colorSequence = currentInkset->empty() ? std::wstring() : env.GetString(key.c_str(), L"");
            CVoLog log;
            log->ReportStatusPF("%s: %s=%s", 8, __FILE__, __LINE__, kFunction, WideToAnsi(key).c_str(),
                                WideToAnsi(*colorSequence).c_str());
        }
        inksetResult = *currentInkset;
    } else if (colorSequence) {
        *colorSequence = env.GetString(L"MimakiColorSequence", L"");
    }

    if (fromSettings == 0 && bIsHybrid == 0)
        inksetResult.clear();

    if (CVoLogReporter::LoggingLevel() >= 8 && !printModeData.empty()) {
        std::wstring licName = env.GetString(L"pdLicName", L"");
        for (wchar_t& c : licName)
            if (c == L'/')
                c = L'_';
        const std::wstring name = L"QI_printenv_" + licName + L"_" + env.GetString(L"MimakiInkAssignment", L"") +
                                  (fromSettings ? L"_rips_ini" : L"_retrieved");
        WriteQIDataToFile(WideToAnsi(printModeData), fromSettings, name);
    }
}
