// Writes the seed corpus of fuzz_settings: for every model row the store its
// parameter class saves from an empty section and from one with old keys.
//
// Usage: fuzz_settings_seeds DIRECTORY

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "entry/ModelTable.h"
#include "host/Log.h"
#include "host/PrintEnv.h"
#include "host/UnivDevParmsBase.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_settings_seeds DIRECTORY\n");
        return 2;
    }
    CVoLogReporter::SetLoggingLevel(0);
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    int written = 0;
    for (const mimaki::ModelRow& row : mimaki::ModelTable()) {
        for (int variant = 0; variant < 2; ++variant) {
            CPrintEnv env(L"UID " + std::to_wstring(row.uid));
            env.PutInt(PrEnv_UID, row.uid);
            env.PutString(L"SlotsSetting", L"0`1`2`3`8`9");
            env.PutString(L"MimakiColorSequence", L"1,2,3,4,5,6");
            if (variant == 1) {
                // Old keys under the row's prefix, as earlier versions stored them.
                for (const wchar_t* member : {L"_m_nDotSize", L"_m_nPrintHeaterMode", L"_m_nWhiteMode"})
                    env.PutInt((L"DP30" + std::wstring(member)).c_str(), 2);
                env.PutString(L"DP30_m_dDryTimeValue", L"1.5");
                env.PutString(L"EmbeddedPrintModeData", L"PrintModeDataTS100_AllInksets");
            }
            std::unique_ptr<CUnivDevParmsBase> parms(mimaki::SelectParms(row, env)->make());
            parms->Load(&env);
            parms->Save(&env);
            CIniFile ini;
            ini.Get(env.Name()).entries = env.Values();
            std::string text, error;
            ini.Format(text, error); // the plug-in's keys and values always fit
            std::ofstream(dir / ("uid" + std::to_string(row.uid) + "_" + std::to_string(variant) + ".ini")) << text;
            ++written;
        }
    }
    std::printf("fuzz_settings_seeds: %d stores in %s\n", written, argv[1]);
    return 0;
}
