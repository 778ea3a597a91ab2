// The layer lists of the UJF7151 plus II and JFX200EX: bad kinds reported,
// the layer questions answered from the list, and the layer start carrying
// the layer's passes, direction and wave form (storage: KeyListTest).
#include <gtest/gtest.h>

#include "devparms/MimakiDevParmsUJF.h"
#include "tests/devparms/DevParmsTestUtil.h"
#include "tests/support/Bytes.h"
#include "tests/support/LogCapture.h"

using namespace devparmstest;
using testsupport::LogCapture;

TEST(LayerList, AnswersFromTheList)
{
    CPrintEnv env;
    env.PutInt(L"DP46_nNumberOfLayers", 3);
    env.PutInt(L"DP46_Layer1.nType", 28);
    env.PutInt(L"DP46_Layer1.bFlipWhenForward", 1);
    env.PutInt(L"DP46_Layer2.nType", 255);
    env.PutInt(L"DP46_Layer3.nType", 4);
    env.PutInt(L"DP46_Layer3.bMirror", 1);
    env.PutInt(L"DP46_Layer4.nType", 3); // past the count: not a layer
    auto p = Loaded<DEVPARMS_JFX200EX_CLASS>(env);
    const auto& r = p->m_Layers;
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].nType, 28);
    EXPECT_EQ(r[0].bFlipWhenForward, 1);
    EXPECT_EQ(r[2].bMirror, 1);
    // Scheduled: the kinds of the list; reversed: those that are JFX200
    // underprints (3, 5, 7, 20, 28, 30, 32).
    for (int kind = 0; kind < 256; ++kind) {
        EXPECT_EQ(p->IsLayerScheduled(kind), kind == 28 || kind == 4) << kind;
        EXPECT_EQ(p->IsLayerReversed(kind), kind == 28) << kind;
    }

    // An empty list prints one Color layer.
    CPrintEnv empty;
    auto u = Loaded<DEVPARMUJF7151plusII_CLASS>(empty);
    EXPECT_TRUE(u->m_Layers.empty());
    EXPECT_EQ(u->IsLayerScheduled(0), 1);
    EXPECT_EQ(u->IsLayerScheduled(255), 0);
    EXPECT_EQ(u->IsLayerReversed(3), 0);
}

TEST(LayerList, ReportsBadKinds)
{
    LogCapture log;
    CPrintEnv env;
    env.PutInt(L"DP53_nNumberOfLayers", 2);
    env.PutInt(L"DP53_Layer1.nType", 40);
    env.PutInt(L"DP53_Layer2.nType", 255);
    auto p = Loaded<DEVPARMUJF7151plusII_CLASS>(env);
    EXPECT_TRUE(log.Contains("DP53_Layer1.nType=40 is no layer kind (0 to 33, or 255 for none); the layer prints"));
    EXPECT_FALSE(log.Contains("DP53_Layer2")) << "255 is none";
    // The value is kept as stored.
    EXPECT_EQ(p->m_Layers[0].nType, 40);
}

// "QP" 9: dot size, resolutions (2 bytes each), passes, direction, layers,
// wave shape; "QM" 4: command version (2 bytes), layer count, position.
TEST(LayerList, LayerStartCarriesTheLayersSettings)
{
    CPrintEnv env;
    env.PutInt(L"DP53_nNumberOfLayers", 2);
    env.PutInt(L"DP53_Layer2.nPass", 8);
    env.PutInt(L"DP53_Layer2.nDirection", 1);
    env.PutInt(L"DP53_Layer2.nWaveForm", 3);
    auto p = Loaded<DEVPARMUJF7151plusII_CLASS>(env);
    const std::string start = p->GetLayerStartString(nullptr, 1, 0, 1, -1);
    EXPECT_EQ(start.substr(0, 7), testsupport::Hex("51 4D 04 00 00 02 01"));
    const std::size_t qp = start.find("QP");
    ASSERT_NE(qp, std::string::npos);
    EXPECT_EQ(start.substr(qp + 8, 4), testsupport::Hex("08 01 00 03"));
}
