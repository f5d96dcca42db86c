#include <utility>

#include "ColourTestSupport.h"
#include "IDataVideoEffectPendant.h"
#include "VideoEffectPendant.h"

namespace {

using ct::Rgb;
using ct::Scaled;

// Records the notifications of "modVideoEffectPendant_ob" as they are sent.
class PendantWatcher : public IDataVEPendantObserver {
public:
    PendantWatcher() { AfxGetMessageManager()->AttachObserver(ZX_MOD_VIDEOEFFECTPENDANT_OB, this, OBSERVER_MODE_DIRECT); }
    ~PendantWatcher() override { AfxGetMessageManager()->DetachObserver(ZX_MOD_VIDEOEFFECTPENDANT_OB, this); }
    void OnPendantChanged(int id, const std::string& name) override { calls.push_back(std::make_pair(id, name)); }
    std::vector<std::pair<int, std::string>> calls;
};

struct Row {
    int id;
    const char* name;
    double r, g, b;
};
const Row kTable[] = {
    {0, "红润", 1.04, 0.88, 0.86},     {1, "日系", 0.86, 1.07, 1.0},   {2, "清凉", 0.85, 1.0, 1.25},
    {3, "温暖", 0.98, 0.94, 0.75},     {4, "紫丁香", 1.2, 0.88, 1.45}, {5, "怀旧", 0.96, 0.72, 0.54},
    {6, "红粉佳人", 1.45, 0.91, 0.96},
};

class PendantTest : public kt::EffectTest {
protected:
    void TearDown() override {
        pendant.UnInit();
        kt::EffectTest::TearDown();
    }
    // One 640 x 480 frame of one colour through the chain; returns the
    // centre pixel and checks that the frame stayed one colour.
    unsigned Run(int r, int g, int b, int streamType = 0) {
        std::vector<BYTE> frame = ct::Frame(640, 480, r, g, b);
        kernal.RunFrame(frame, streamType);
        unsigned centre = kt::PixelAt(frame, 640, 320, 240);
        EXPECT_EQ(kt::PixelAt(frame, 640, 0, 0), centre);
        EXPECT_EQ(kt::PixelAt(frame, 640, 639, 479), centre);
        return centre;
    }
    CVideoEffectPendant pendant;
};

TEST_F(PendantTest, BuildsTheSevenFiltersWithTheirNamesAndThumbnails) {
    ASSERT_TRUE(pendant.Init());
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTPENDANT), static_cast<IData*>(&pendant));
    VEPendantList list(1);  // entries are appended after what is there
    list[0].id = 99;
    EXPECT_TRUE(pendant.GetPendantList(list));
    ASSERT_EQ(list.size(), 8u);
    for (const Row& row : kTable) {
        const VEPendantEntry& item = list[row.id + 1];
        EXPECT_EQ(item.id, row.id);
        EXPECT_EQ(item.name, row.name);
        EXPECT_EQ(item.thumbPath, m_res + "filter\\" + row.name + ".jpg");
        EXPECT_EQ(pendant.GetPendantName(row.id), row.name);
    }
    EXPECT_EQ(pendant.FindItem(7), nullptr);
    EXPECT_EQ(pendant.GetPendantName(-1), "");
    EXPECT_EQ(pendant.GetPendantName(7), "");
    EXPECT_EQ(pendant.GetPendant(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u) << "no filter saved: not in the chain";
}

TEST_F(PendantTest, EachFilterTintsFramesOfEverySourceWithItsFactors) {
    ASSERT_TRUE(pendant.Init());
    const int r = 201, g = 147, b = 99;
    for (const Row& row : kTable) {
        pendant.SetPendant(row.id);
        const unsigned expected = Rgb(Scaled(r, row.r), Scaled(g, row.g), Scaled(b, row.b));
        for (int type = 0; type <= 3; ++type) EXPECT_EQ(Run(r, g, b, type), expected) << row.name << " type " << type;
    }
    EXPECT_EQ(kernal.chain.Count(), 1u) << "switching filters keeps one copy in the chain";
}

TEST_F(PendantTest, ChoosingAndClearingNotifiesSavesAndJoinsOrLeavesTheChainAndUnknownIdsChangeNothing) {
    ASSERT_TRUE(pendant.Init());
    PendantWatcher watcher;
    pendant.SetPendant(5);
    EXPECT_EQ(pendant.GetPendant(), 5);
    EXPECT_EQ(kernal.chain.Count(), 1u);
    int saved = 0;
    AfxGetConfigManager()->GetInt("VEPendant", "PendantID", saved);
    EXPECT_EQ(saved, 5);
    const std::string ini = IniText();
    EXPECT_NE(ini.find("PendantID=5"), std::string::npos) << ini;
    for (int id : {7, 9, -2, 1000}) pendant.SetPendant(id);  // not filters: nothing happens, nothing is sent
    EXPECT_EQ(pendant.GetPendant(), 5);
    EXPECT_EQ(IniText(), ini);
    EXPECT_EQ(Run(100, 100, 100), Rgb(96, 72, 54)) << "still filter 5";

    pendant.SetPendant(5);  // the current filter again: nothing happens
    pendant.SetPendant(3);
    pendant.SetPendant(-1);
    EXPECT_EQ(pendant.GetPendant(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(Run(10, 20, 30), Rgb(10, 20, 30));
    AfxGetConfigManager()->GetInt("VEPendant", "PendantID", saved);
    EXPECT_EQ(saved, -1);
    pendant.SetPendant(-1);  // already cleared: nothing happens
    EXPECT_EQ(watcher.calls, (std::vector<std::pair<int, std::string>>{{5, "怀旧"}, {3, "温暖"}, {-1, ""}}));
}

TEST_F(PendantTest, OverridesReplaceFactorsAndAreNeverWrittenBack) {
    WriteIni(
        "[VEPendant]\r\nHuaiJiuB=0.5\r\nHuaiJiuR=abc\r\nHongRunG=1.5\r\nRiXiR=\r\nQingLiangG=2.5xyz\r\n"
        "ZiDingXiangB=-1\r\n");
    ASSERT_TRUE(pendant.Init());
    const CVideoEffectPendant::PendantItem* nostalgia = pendant.FindItem(5);
    ASSERT_NE(nostalgia, nullptr);
    EXPECT_EQ(nostalgia->blue, 0.5);
    EXPECT_EQ(nostalgia->red, 0.0) << "unreadable text counts as 0";
    EXPECT_EQ(nostalgia->green, 0.72) << "no override: the table's factor";
    EXPECT_EQ(pendant.FindItem(0)->green, 1.5);
    EXPECT_EQ(pendant.FindItem(0)->red, 1.04);
    EXPECT_EQ(pendant.FindItem(1)->red, 0.0) << "an empty value is unreadable";
    EXPECT_EQ(pendant.FindItem(2)->green, 2.5) << "the number at the start of the text is read";
    EXPECT_EQ(pendant.FindItem(4)->blue, -1.0);

    pendant.SetPendant(5);
    EXPECT_EQ(Run(200, 100, 200), Rgb(0, Scaled(100, 0.72), 100));
    pendant.SetPendant(4);
    EXPECT_EQ(Run(200, 100, 200), Rgb(240, 88, 0)) << "a negative factor clamps to 0";

    const std::string ini = IniText();
    EXPECT_NE(ini.find("HuaiJiuR=abc"), std::string::npos) << "the bad value is kept as the user wrote it";
    EXPECT_EQ(ini.find("HongRunR"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("WenNuan"), std::string::npos) << ini;
}

TEST_F(PendantTest, SavedFilterReturnsAtTheNextStart) {
    ASSERT_TRUE(pendant.Init());
    pendant.SetPendant(6);
    pendant.UnInit();
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTPENDANT), nullptr);
    EXPECT_EQ(pendant.FindItem(6), nullptr) << "the filters are dropped";
    Reload();
    CVideoEffectPendant next;
    ASSERT_TRUE(next.Init());
    EXPECT_EQ(next.GetPendant(), 6);
    EXPECT_EQ(kernal.chain.Count(), 1u);
    EXPECT_EQ(Run(100, 100, 100), Rgb(145, 91, 96));
    next.UnInit();
}

TEST_F(PendantTest, SavedUnknownIdJoinsTheChainButPassesFramesUnchanged) {
    WriteIni("[VEPendant]\r\nPendantID=9\r\n");
    ASSERT_TRUE(pendant.Init());
    EXPECT_EQ(pendant.GetPendant(), 9);
    EXPECT_EQ(kernal.chain.Count(), 1u);
    EXPECT_EQ(pendant.GetPendantName(9), "");
    EXPECT_EQ(Run(12, 34, 56, 3), Rgb(12, 34, 56));
    // A real filter can be chosen from there; it is already in the chain.
    PendantWatcher watcher;
    pendant.SetPendant(3);
    EXPECT_EQ(kernal.chain.Count(), 1u);
    EXPECT_EQ(Run(100, 100, 100), Rgb(98, 94, 75));
    EXPECT_EQ(watcher.calls.size(), 1u);
}

TEST_F(PendantTest, DamagedSavedIdMeansNoFilter) {
    WriteIni("[VEPendant]\r\nPendantID=zwei\r\n");
    ASSERT_TRUE(pendant.Init());
    EXPECT_EQ(pendant.GetPendant(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);
}

TEST_F(PendantTest, BeforeStartOrAfterStopNothingCanBeChosen) {
    PendantWatcher watcher;
    VEPendantList list;
    EXPECT_FALSE(pendant.GetPendantList(list));
    EXPECT_TRUE(list.empty());
    pendant.SetPendant(2);
    EXPECT_EQ(pendant.GetPendant(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_TRUE(watcher.calls.empty());
}

}  // namespace
