// The printer definitions the tools give every printer: one for each UID of
// the model table, only keys a host's definition supplies, and the printer's
// own settings win over them.
#include <gtest/gtest.h>

#include <set>

#include "host/PrintEnv.h"
#include "host/StrUtil.h"
#include "tools/common/PrinterDefinitions.h"

TEST(PrinterDefinitions, EveryModelHasAStandInOfModelKeysOnly)
{
    // The model-definition keys the device parameters read, and the keys the
    // drivers and Create read from the printer's definition.
    const std::set<std::wstring> known = {
        L"bIsHybrid", L"bUseCut", L"bUseVacuum", L"bUseTopBlower", L"bUseWaveShape", L"bUseHighSpeedTransfer",
        L"bUseHeadCleaning", L"bSpecifyMediaFeedQuality", L"HeadSelectionEnable", L"HasAutoCut", L"InkSets",
        L"HeadVertResolutionOneColor", L"HeadNozzlesNumberOneColor", L"UJFPrinterTyp", L"JFXPrinterType", L"UJF6042",
        L"MaxMediaLengthFullAreaMm", L"MaxMediaLengthSplitAreaMm", L"SkipUVCommandWhenPanelSettings",
        L"UseShorterQDVersion", L"UseUnsupportedCommands", L"KeepCurrentModeBetweenLayers", L"ModeId",
        L"JV300UseWhite", L"UseWhite", L"nPrinterTyp", L"AllowedInksetList", L"nMinPreHeaterTemp",
        L"nMaxPreHeaterTemp", L"nMinPrintHeaterTemp", L"nMaxPrintHeaterTemp", L"nMinPostHeaterTemp",
        L"nMaxPostHeaterTemp", L"DpiHorz", L"DpiVert", L"LayerParmDefault",
        L"NonBlankMmNeededToScheduleHeadCleaningDefault", L"ConsecutiveBlankMmToDoHeadCleaningDefault",
        L"SlotsSetting", L"MimakiColorSequence",
        // read by Create and the drivers
        L"UJFMkSeries", L"bUseSlotBasedColorCodes", L"DPC_White1", L"DPC_White2", L"DPC_ClearCoat1",
        L"White1_Code1", L"White1_Code2", L"Prime1_Code1", L"Prime1_Code2", L"JFX500_White_code1",
        L"JFX500_White_code2", L"bJFX200", L"bDontUseAnyKindOfHeaters", L"pdLicName", L"nFunctModeId"};
    std::set<int> uids;
    for (const printerdefs::Definition& d : printerdefs::All()) {
        EXPECT_TRUE(uids.insert(d.uid).second) << d.uid;
        EXPECT_EQ(d.source, "stand-in") << d.uid;
        EXPECT_FALSE(d.model.empty()) << d.uid;
        for (const auto& [key, value] : d.keys)
            EXPECT_TRUE(known.count(key)) << d.uid << ": " << WideToUtf8(key);
    }
    for (int uid = 1; uid <= 56; ++uid)
        EXPECT_EQ(uids.count(uid), uid == 55 ? 0u : 1u) << uid;
    EXPECT_EQ(printerdefs::Find(0), nullptr);
    EXPECT_EQ(printerdefs::Find(27 + 256)->uid, 27);
}

TEST(PrinterDefinitions, ThePrintersOwnSettingsWin)
{
    CPrintEnv env;
    env.PutString(L"SlotsSetting", L"0`1");
    const std::vector<std::wstring> added = printerdefs::Apply(env, 27);
    EXPECT_EQ(env.GetString(L"SlotsSetting", L""), L"0`1");
    EXPECT_EQ(env.GetString(L"MimakiColorSequence", L""), L"0,2,1,4");
    EXPECT_EQ(std::set<std::wstring>(added.begin(), added.end()),
              (std::set<std::wstring>{L"pdLicName", L"ModeId", L"JV300UseWhite", L"MimakiColorSequence"}));
    EXPECT_TRUE(printerdefs::Apply(env, 55).empty());
}
