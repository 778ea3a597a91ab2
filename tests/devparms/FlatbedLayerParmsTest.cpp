// What the slot-file driver asks of the UJF x042 MkII and UJF-7151
// parameters beyond what its streams show: the layer values from the keys
// they are stored under, the switch value, and starts by layer.
#include <gtest/gtest.h>

#include "devparms/MimakiDevParmsUJF.h"
#include "tests/devparms/DevParmsTestUtil.h"

using namespace devparmstest;

TEST(FlatbedLayerParms, SlotFileLayersTheirSwitchAndTheirStarts)
{
    CPrintEnv env;
    // By default every layer takes the colours once, layers 2 to 5 with the
    // mode -1 (midlayer only).
    for (int k = 0; k < 5; ++k) {
        const auto v = Loaded<DEVPARMUJF_x042MKII_CLASS>(env)->GetSlotLayer(k);
        EXPECT_EQ(std::vector<int>({v.kind, v.subKind, v.count, v.mode, v.reverse, v.mirror}),
                  std::vector<int>({0, 0, 1, k == 0 ? 0 : -1, 0, 0}))
            << k;
    }
    EXPECT_EQ(Loaded<DEVPARMUJF_x042MKII_CLASS>(env)->GetLayerSwitchValue(), 1);
    const std::pair<const wchar_t*, int> keys[] = {
        {L"DP35_\"LP3_IDS\"", 10}, {L"DP35_\"LP3_PAS\"", 4}, {L"DP35_\"LP3_LB\"", 2}, {L"DP35_nLayer3Mode", 5},
        {L"DP35_\"LP3_SB\"", 1}, {L"DP35_m_nMirror3", 1}, {L"DP35_\"LP3_FD\"", 77}, // the label, no driver value
        {L"DP35_bSwitchToLocalBetweenLayers", 1}, {L"DP35_m_nLayer3UV", 2}, {L"DP35_m_nLayerUV3Val", 90}};
    for (const auto& [key, value] : keys)
        env.PutInt(key, value);
    std::unique_ptr<DEVPARMUJF_x042MKII_CLASS> both[] = {Loaded<DEVPARMUJF_x042MKII_CLASS>(env),
                                                        Loaded<DEVPARMUJF7151_CLASS>(env)};
    for (const auto& p : both) {
        const auto v = p->GetSlotLayer(2);
        EXPECT_EQ(std::vector<int>({v.kind, v.subKind, v.count, v.mode, v.reverse, v.mirror}),
                  std::vector<int>({10, 4, 2, 5, 1, 1}));
        EXPECT_EQ(p->GetLayerSwitchValue(), 2);
        // Without a position the start is the layer's: layer 3's start is
        // position 3's, not position 1's.
        const std::string third = p->GetLayerStartString(nullptr, 2, 0, 1, -1);
        EXPECT_EQ(third, p->GetLayerStartString(nullptr, 0, 0, 1, 2));
        EXPECT_NE(third, p->GetLayerStartString(nullptr, 0, 0, 1, -1));
    }
}
