// What the JFX and slot-file flatbed drivers ask of their parameters: the
// layer ends, the flags read from the model's keys, and the slot-file
// layers' values from the keys they are stored under.
#include <gtest/gtest.h>

#include "devparms/MimakiDevParmsUJF.h"
#include "tests/devparms/DevParmsTestUtil.h"
#include "tests/support/Bytes.h"

using namespace devparmstest;
using testsupport::Hex;

TEST(FlatbedLayerParms, LayerEndsAndTheModelFlagsOfEveryClass)
{
    CPrintEnv env;
    env.PutInt(L"UseShorterQDVersion", 0);
    env.PutInt(L"KeepCurrentModeBetweenLayers", 1);
    std::vector<std::unique_ptr<CMimakiDevParmsBase>> classes;
    for (const wchar_t* prefix : {L"DP25", L"DPMK", L"DP28", L"DP35"})
        env.PutInt((std::wstring(prefix) + L"_bSwitchToLocalBetweenLayers").c_str(), 1);
    classes.push_back(Loaded<DEVPARMJFX500_v2_CLASS>(env));
    classes.push_back(Loaded<DEVPARMJFXMKSERIES_CLASS>(env));
    classes.push_back(Loaded<DEVPARMJFX200_CLASS>(env));
    classes.push_back(Loaded<DEVPARMUJF_x042MKII_CLASS>(env));
    classes.push_back(Loaded<DEVPARMUJF7151_CLASS>(env));
    for (auto& p : classes) {
        SCOPED_TRACE(typeid(*p).name());
        // A layer read last row first goes back to its start before its end.
        EXPECT_EQ(p->GetLayerEndString(nullptr, 3, 0), Hex("51 45 00"));
        EXPECT_EQ(p->GetLayerEndString(nullptr, 3, 1), Hex("51 58 05 01 00 00 00 00 51 45 00"));
        EXPECT_EQ(p->bSwitchToLocalBetweenLayers, 1);
        EXPECT_EQ(p->bUseShorterQDVersion, 0);
        EXPECT_EQ(p->bKeepCurrentModeBetweenLayers, 1);
    }
    CPrintEnv defaults;
    EXPECT_EQ(Loaded<DEVPARMJFX500_v2_CLASS>(defaults)->bUseShorterQDVersion, 1);
    EXPECT_EQ(Loaded<DEVPARMUJF_x042MKII_CLASS>(defaults)->GetLayerSwitchValue(), 1);
    EXPECT_EQ(Loaded<DEVPARMUJF_x042MKII_CLASS>(env)->GetLayerSwitchValue(), 2);
}

TEST(FlatbedLayerParms, SlotFileLayersFromTheirKeys)
{
    CPrintEnv env;
    // By default every layer takes the colours once; layers 2 to 5 have the
    // mode -1 (midlayer only).
    for (int k = 0; k < 5; ++k) {
        const auto v = Loaded<DEVPARMUJF_x042MKII_CLASS>(env)->GetSlotLayer(k);
        EXPECT_EQ(std::vector<int>({v.kind, v.subKind, v.count, v.mode, v.reverse, v.mirror}),
                  std::vector<int>({0, 0, 1, k == 0 ? 0 : -1, 0, 0}))
            << k;
    }
    env.PutInt(L"DP35_\"LP3_IDS\"", 10);
    env.PutInt(L"DP35_\"LP3_PAS\"", 4);
    env.PutInt(L"DP35_\"LP3_LB\"", 2);
    env.PutInt(L"DP35_nLayer3Mode", 5);
    env.PutInt(L"DP35_\"LP3_SB\"", 1);
    env.PutInt(L"DP35_m_nMirror3", 1);
    env.PutInt(L"DP35_\"LP3_FD\"", 77); // the label, not a driver value
    std::unique_ptr<DEVPARMUJF_x042MKII_CLASS> both[] = {Loaded<DEVPARMUJF_x042MKII_CLASS>(env),
                                                        Loaded<DEVPARMUJF7151_CLASS>(env)};
    for (const auto& p : both) {
        const auto v = p->GetSlotLayer(2);
        EXPECT_EQ(std::vector<int>({v.kind, v.subKind, v.count, v.mode, v.reverse, v.mirror}),
                  std::vector<int>({10, 4, 2, 5, 1, 1}));
    }
}

TEST(FlatbedLayerParms, SlotFileLayerStartsAreThoseOfTheirLayer)
{
    // The slot-file driver names the layer and no position: layer 3's start
    // is the start of position 3.
    CPrintEnv env;
    env.PutInt(L"DP35_m_nLayer3UV", 2);
    env.PutInt(L"DP35_m_nLayerUV3Val", 90);
    env.PutInt(L"DP35_m_nLayerOverPaint3", 3);
    auto p = Loaded<DEVPARMUJF_x042MKII_CLASS>(env);
    const std::string third = p->GetLayerStartString(nullptr, 2, 0, 1, -1);
    EXPECT_EQ(third, p->GetLayerStartString(nullptr, 0, 0, 1, 2));
    EXPECT_NE(third, p->GetLayerStartString(nullptr, 0, 0, 1, -1));
}
