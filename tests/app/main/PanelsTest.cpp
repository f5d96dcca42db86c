// The camera and effects pages with the whole kernel and two test cameras,
// driven by real window messages, checked in the modules and the controls.
#include <algorithm>

#include "DialogsTestSupport.h"
#include "IDataCamera.h"
#include "IDataVEBorder.h"
#include "IDataVEFaceThin.h"
#include "IDataVideoEffectPendant.h"
#include "IDataVideoEffectText.h"
#include "KernelModules.h"
#include "LiveButtonUI.h"
#include "MainWindowFixture.h"
#include "MediaTestSupport.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"
#include "TileListUI.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVCamDlg.h"

using namespace DuiLib;
using namespace dlgtest;
using namespace mainwin;

namespace {

// 0xRRGGBB at (x, y) of a capture client's picture, y from the top.
struct Bmp : mediatest::Bitmap {
    DWORD At(int x, int y) const {
        const mediatest::Rgb c = mediatest::PixelAt(rows.data(), width, height, x, y);
        return static_cast<DWORD>(c.r) << 16 | static_cast<DWORD>(c.g) << 8 | static_cast<DWORD>(c.b);
    }
};

int Distance(DWORD a, DWORD b) {
    return std::abs(R(a) - R(b)) + std::abs(G(a) - G(b)) + std::abs(B(a) - B(b));
}

std::vector<std::string> Items(CComboUI* combo) {
    std::vector<std::string> texts;
    for (int i = 0; combo && i < combo->GetCount(); ++i) texts.push_back(combo->GetItemAt(i)->GetText());
    return texts;
}

class PanelsTest : public MainWindowFixture {
protected:
    PanelsTest() : MainWindowFixture("panels") {}
    void SetUp() override {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(devices.Ok());
        ASSERT_TRUE(devices.AddCamera(L"ZxTestCamera0", L"USB 测试摄像头", L"640x480,1280x720"));
        ASSERT_TRUE(devices.AddCamera(L"ZxTestCamera1", L"测试摄像头二号", L"320x240,800x600,1024x768"));
        StartSession();
        camera = KernelModule<IDataCamera>();
        thin = KernelModule<IDataVEFaceThin>();
        pendant = KernelModule<IDataVideoEffectPendant>();
        text = KernelModule<IDataVideoEffectText>();
        border = KernelModule<IDataVEBorder>();
        ASSERT_TRUE(camera && thin && pendant && text && border);
    }
    void EffectsPage(const char* option) {
        ClickNow("optionVideoEffect");
        ClickNow(option);
        w->pm().UpdateNow();
    }
    CComboUI* Combo(const char* name) { return w->FindAs<CComboUI>(name, "Combo"); }
    // Opens a combo box's list with the mouse and clicks its item index.
    void ChooseInList(const char* name, int index) {
        ClickNow(name);
        Pump();
        CComboUI* combo = Combo(name);
        ASSERT_TRUE(combo && combo->GetDropWindow()) << name << " opens its list";
        duitest::ClickListItem(combo, index);
    }
    CSliderUI* Slider(const char* name) { return w->FindAs<CSliderUI>(name, "Slider"); }
    bool Has(const std::string& name) { return w->Find(name) != nullptr; }
    std::string CurrentSize() {
        int width = 0, height = 0;
        camera->GetFrameSize(width, height);
        return std::to_string(width) + "x" + std::to_string(height);
    }

    tdev::TestDevices devices;
    IDataCamera* camera = nullptr;
    IDataVEFaceThin* thin = nullptr;
    IDataVideoEffectPendant* pendant = nullptr;
    IDataVideoEffectText* text = nullptr;
    IDataVEBorder* border = nullptr;
};

TEST_F(PanelsTest, TheCameraListAndTheSizesOfTheChosenCamera) {
    Open();
    CComboUI* cameras = Combo("MC_comboCameras");
    CComboUI* sizes = Combo("MC_comboFormatSize");
    ASSERT_TRUE(cameras && sizes);
    EXPECT_EQ(Items(cameras), (std::vector<std::string>{"USB 测试摄像头", "测试摄像头二号"}));
    EXPECT_EQ(cameras->GetText(), "USB 测试摄像头") << "the camera the module chose";
    EXPECT_EQ(Items(sizes), (std::vector<std::string>{"640x480", "1280x720"}));
    EXPECT_EQ(sizes->GetText(), CurrentSize());

    // The other camera: its sizes, with the size the camera took selected.
    cameras->SelectItem(1);
    EXPECT_EQ(camera->GetCurrentCamera(), 1);
    EXPECT_EQ(Items(sizes), (std::vector<std::string>{"320x240", "800x600", "1024x768"}));
    EXPECT_EQ(sizes->GetText(), CurrentSize());

    // Back, and 1280x720 chosen.
    cameras->SelectItem(0);
    ASSERT_EQ(Items(sizes), (std::vector<std::string>{"640x480", "1280x720"}));
    sizes->SelectItemByText("1280x720");
    EXPECT_EQ(CurrentSize(), "1280x720");
}

TEST_F(PanelsTest, WithoutCamerasTheListsStayEmptyAndDisabled) {
    devices.RemoveAll();
    Open();
    EXPECT_EQ(Combo("MC_comboCameras")->GetCount(), 0);
    EXPECT_EQ(Combo("MC_comboCameras")->GetCurSel(), -1);
    EXPECT_EQ(Combo("MC_comboFormatSize")->GetCount(), 0);
    for (const char* name : {"MC_comboCameras", "MC_comboFormatSize", "MC_btnAjustCamera"})
        EXPECT_FALSE(w->Find(name)->IsEnabled()) << name;
}

TEST_F(PanelsTest, ThePropertyPagesOfACameraWithoutThemLogAndReturn) {
    Open();
    ClickNow("MC_btnAjustCamera");   // the test camera has no property pages
    LogFlush(zxtest::kHangGuardMs);
    const std::string log = zxtest::ReadFile(Dir::GetLogPath() + "ZxVVideoSrc.txt");
    EXPECT_NE(log.find("no property pages"), std::string::npos) << log;
    EXPECT_TRUE(IsWindowEnabled(w->hwnd())) << "no frame was left over the window";
}

TEST_F(PanelsTest, TheRedSliderSetsTheLevelWhileDraggedAndTheResetPutsAllThreeBackToZero) {
    thin->SetRed(30);
    thin->SetGreen(40);
    thin->SetBlue(50);
    Open();
    EXPECT_EQ(Slider("MC_sliderGreen")->GetValue(), 40) << "the sliders show the levels kept from before";
    EXPECT_EQ(Text("MC_lblBlue"), "50");
    CSliderUI* red = Slider("MC_sliderRed");
    ASSERT_TRUE(red);
    const RECT thumb = red->GetThumbRect();
    const RECT track = red->GetPos();
    POINT at{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    w->Down(at);
    std::vector<int> seen;
    for (int x : {track.left + (track.right - track.left) / 4, track.left + (track.right - track.left) / 2,
                  track.left + (track.right - track.left) * 3 / 4}) {
        w->Move(POINT{x, at.y}, MK_LBUTTON);
        seen.push_back(thin->GetRed());
        EXPECT_EQ(thin->GetRed(), red->GetValue()) << "while the thumb moves";
        EXPECT_EQ(Text("MC_lblRed"), std::to_string(red->GetValue()));
    }
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.front(), 10);
    EXPECT_LT(seen.front(), seen.back());
    w->Up(POINT{track.left + (track.right - track.left) * 3 / 4, at.y});
    EXPECT_EQ(thin->GetRed(), red->GetValue());
    EXPECT_EQ(thin->GetGreen(), 40);
    EXPECT_EQ(thin->GetBlue(), 50);

    ClickNow("MC_btnColorDefault");
    EXPECT_EQ(thin->GetRed() + thin->GetGreen() + thin->GetBlue(), 0);
    for (const char* name : {"MC_sliderRed", "MC_sliderGreen", "MC_sliderBlue"}) EXPECT_EQ(Slider(name)->GetValue(), 0);
    for (const char* name : {"MC_lblRed", "MC_lblGreen", "MC_lblBlue"}) EXPECT_EQ(Text(name), "0");
}

TEST_F(PanelsTest, TheThinningBoxAndSliderReachTheModule) {
    Open();
    EXPECT_FALSE(thin->GetEnable());
    ClickNow("MC_checkboxThin");
    EXPECT_TRUE(thin->GetEnable());
    CSliderUI* strength = Slider("MC_sliderThin");
    ASSERT_TRUE(strength);
    const RECT track = strength->GetPos();
    w->Click(POINT{track.left + (track.right - track.left) * 2 / 3, (track.top + track.bottom) / 2});
    EXPECT_GT(strength->GetValue(), 0);
    EXPECT_EQ(thin->GetStretchRatio(), strength->GetValue());
    ClickNow("MC_checkboxThin");
    EXPECT_FALSE(thin->GetEnable());

    // A new window shows what the module holds.
    thin->SetEnable(true);
    thin->SetStretchRatio(12);
    Close();
    Open();
    EXPECT_TRUE(w->FindAs<COptionUI>("MC_checkboxThin", "Option")->IsSelected());
    EXPECT_EQ(Slider("MC_sliderThin")->GetValue(), 12);
}

TEST_F(PanelsTest, TheFilterBoxChoosesTheFirstFilterAndTheStripDeletesIt) {
    Open();
    EffectsPage("VE_optionPendant");
    auto* tiles = w->FindAs<CTileListUI>("VEPendant_tilelayout", "TileList");
    ASSERT_TRUE(tiles);
    EXPECT_EQ(tiles->GetCount(), 7);
    EXPECT_TRUE(tiles->GetSelectedItems().empty());
    ClickNow("VEPendant_checkboxEnable");
    EXPECT_EQ(pendant->GetPendant(), 0);
    EXPECT_FALSE(Has("VECurUse_ContanerItem_Label_0")) << "the strip follows the module's notification";
    Pump();
    EXPECT_EQ(Text("VECurUse_ContanerItem_Label_0"), pendant->GetPendantName(0));
    ASSERT_TRUE(Has("VECurUse_ContanerItem_Btn_0"));
    EXPECT_EQ(tiles->GetSelectedItems(), std::vector<int>{0});

    // Another filter by its tile.
    ClickNow("VEPendant_titleItem_3");
    Pump();
    EXPECT_EQ(pendant->GetPendant(), 3);
    EXPECT_EQ(Text("VECurUse_ContanerItem_Label_0"), pendant->GetPendantName(3));
    EXPECT_EQ(tiles->GetSelectedItems(), std::vector<int>{3});

    ClickNow("VECurUse_ContanerItem_Btn_0");
    EXPECT_EQ(pendant->GetPendant(), -1);
    Pump();
    EXPECT_FALSE(Has("VECurUse_ContanerItem_Label_0"));
    EXPECT_FALSE(Has("VECurUse_ContanerItem_Btn_0"));
    EXPECT_TRUE(tiles->GetSelectedItems().empty());
    EXPECT_FALSE(w->FindAs<COptionUI>("VEPendant_checkboxEnable", "Option")->IsSelected());
}

TEST_F(PanelsTest, TheCaptionBoxesMapToTheModuleTheFontListLeavesOutVerticalFontsAndKeysShowAtOnce) {
    text->SetTextColor(RGB(255, 255, 255));
    text->SetTextPos(30);
    text->SetText("你好");
    Open();
    // The font list: sorted, without the vertical fonts the system lists.
    CComboUI* fonts = Combo("VEText_comboFontName");
    ASSERT_TRUE(fonts);
    const std::vector<std::string> names = Items(fonts);
    ASSERT_GT(names.size(), 3u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    for (const std::string& n : names) EXPECT_NE(n[0], '@') << n;
    bool vertical = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesW(
        dc, nullptr,
        [](const LOGFONTW* f, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
            if (f->lfFaceName[0] == L'@') *reinterpret_cast<bool*>(p) = true;
            return 1;
        },
        reinterpret_cast<LPARAM>(&vertical));
    ReleaseDC(nullptr, dc);
    EXPECT_TRUE(vertical) << "the system lists vertical fonts, which the box leaves out";
    EXPECT_EQ(fonts->GetCurSel(), 0);

    EffectsPage("VE_optionVideoText");
    // The colour chooser changes nothing on Cancel and the colour on OK.
    auto* button = w->FindAs<CLiveButtonUI>("VEText_TextColor", "LiveButton");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->GetIconColor(), 0xFFFFFFFFu);
    {
        WhenShown cancel(L"#32770", L"", [](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
        ClickNow("VEText_TextColor");
        EXPECT_TRUE(cancel.Done()) << "the colour dialog came up";
    }
    EXPECT_EQ(text->GetTextColor() & 0xFFFFFF, RGB(255, 255, 255));
    EXPECT_EQ(button->GetIconColor(), 0xFFFFFFFFu);
    {
        // OK on the dialog as it opens: the colour it starts from, black.
        WhenShown ok(L"#32770", L"", [](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDOK, 0); });
        ClickNow("VEText_TextColor");
        EXPECT_TRUE(ok.Done());
    }
    EXPECT_EQ(text->GetTextColor() & 0xFFFFFF, RGB(0, 0, 0));
    EXPECT_EQ(button->GetIconColor(), 0xFF000000u);

    CComboUI* pos = Combo("VEText_comboTextPos");
    ASSERT_TRUE(pos);
    EXPECT_EQ(pos->GetCurSel(), 0) << "30 shows the first item";
    EXPECT_EQ(Text("VEText_TextEdit"), "你好");
    pos->SelectItem(2);
    EXPECT_EQ(text->GetTextPos(), 100);

    CComboUI* move = Combo("VEText_comboTextState");
    ASSERT_TRUE(move);
    move->SelectItem(1);
    EXPECT_EQ(text->GetMoveDirection(), VIDEOEFFECTTEXT_STILL);
    Combo("VEText_comboFontSize")->SelectItemByText("40");
    EXPECT_EQ(text->GetFontSize(), 40);

    text->SetTextPos(70);
    Close();
    Open();
    EffectsPage("VE_optionVideoText");
    EXPECT_EQ(Combo("VEText_comboTextPos")->GetCurSel(), 2) << "70 shows the last item";
    EXPECT_EQ(Combo("VEText_comboTextState")->GetCurSel(), 1);
    EXPECT_EQ(Combo("VEText_comboFontSize")->GetText(), "40");

    // A caption typed shows each key at once.
    text->SetEnable(true);
    ClickNow("VEText_TextEdit");
    HWND edit = w->FindAs<CEditUI>("VEText_TextEdit", "Edit")->GetNativeEditWindow();
    ASSERT_TRUE(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    const std::wstring keys = L"Hi 你好";
    for (size_t i = 0; i < keys.size(); ++i) {
        SendMessageW(edit, WM_CHAR, keys[i], 0);
        EXPECT_EQ(text->GetText(), WString2String(keys.substr(0, i + 1))) << "after key " << i;
    }
}

TEST_F(PanelsTest, ClearingAllRemovesTheThreeEntriesThroughTheModules) {
    pendant->SetPendant(2);
    text->SetEnable(true);
    ASSERT_TRUE(border->SetBorder(1));
    Open();
    Pump();
    for (int n = 0; n < 3; ++n) EXPECT_TRUE(Has("VECurUse_ContanerItem_Label_" + std::to_string(n))) << n;
    EXPECT_EQ(Text("VECurUse_ContanerItem_Label_1"), "字幕");
    EXPECT_EQ(Text("VECurUse_ContanerItem_Label_2"), border->GetBorderName(1));
    EffectsPage("VE_optionVideoText");
    EXPECT_TRUE(w->FindAs<COptionUI>("VEText_checkboxEnable", "Option")->IsSelected());

    ClickNow("VECurUse_btnClear");
    EXPECT_EQ(pendant->GetPendant(), -1);
    EXPECT_FALSE(text->GetEnable());
    EXPECT_EQ(border->GetBorder(), -1);
    EXPECT_FALSE(w->FindAs<COptionUI>("VEText_checkboxEnable", "Option")->IsSelected());
    EXPECT_TRUE(Has("VECurUse_ContanerItem_Label_0")) << "not removed directly";
    Pump();
    for (int n = 0; n < 3; ++n) {
        EXPECT_FALSE(Has("VECurUse_ContanerItem_Label_" + std::to_string(n))) << n;
        EXPECT_FALSE(Has("VECurUse_ContanerItem_Btn_" + std::to_string(n))) << n;
    }

    // The caption's own entry.
    ClickNow("VEText_checkboxEnable");
    EXPECT_TRUE(text->GetEnable());
    Pump();
    ASSERT_TRUE(Has("VECurUse_ContanerItem_Btn_1"));
    ClickNow("VECurUse_ContanerItem_Btn_1");
    EXPECT_FALSE(text->GetEnable());
    Pump();
    EXPECT_FALSE(Has("VECurUse_ContanerItem_Label_1"));
}

TEST_F(PanelsTest, TheBorderPageFillsAtItsFirstVisitOnly) {
    Open();
    auto* tiles = w->FindAs<CTileListUI>("VEBorder_tilelayout", "TileList");
    ASSERT_TRUE(tiles);
    EXPECT_EQ(tiles->GetCount(), 0) << "not before the page is visited";
    EffectsPage("VE_optionBorder");
    std::vector<VEBorderItem*> list;
    border->GetBorderList(list);
    ASSERT_FALSE(list.empty());
    ASSERT_EQ(tiles->GetCount(), static_cast<int>(list.size()));
    CControlUI* first = tiles->GetItemAt(0);
    EXPECT_EQ(first->GetName(), "VEBorder_titleItem_" + std::to_string(list[0]->id));
    EXPECT_EQ(first->GetText(), list[0]->name);
    ClickNow(("VEBorder_titleItem_" + std::to_string(list[1]->id)).c_str());
    EXPECT_EQ(border->GetBorder(), list[1]->id);
    Pump();
    EXPECT_EQ(Text("VECurUse_ContanerItem_Label_2"), list[1]->name);

    ClickNow("VE_optionPendant");
    ClickNow("VE_optionBorder");
    EXPECT_EQ(tiles->GetItemAt(0), first) << "the second visit keeps the tiles";
    EXPECT_EQ(tiles->GetSelectedItems(), std::vector<int>{1});
}

// A session through the window's controls, seen by a client in another process.
TEST_F(PanelsTest, ASessionThroughTheWindowReachesACaptureClientInAnotherProcess) {
    vct::RegisteredFilter filter;
    ASSERT_EQ(filter.result(), S_OK);
    vct::ProgramFolderSetting noProgram(nullptr);   // the program is this test; nothing to start
    Open();

    ClickNow("btnOpenCamera");
    auto* cameraButtons = w->FindAs<CTabLayoutUI>("tablayoutbtnCameraOpen_Close", "TabLayout");
    ASSERT_TRUE(cameraButtons);
    ASSERT_TRUE(PumpUntil([&] { return cameraButtons->GetCurSel() == 1; }));
    ChooseInList("MC_comboFormatSize", 1);
    ASSERT_EQ(CurrentSize(), "1280x720");
    ClickNow("MC_checkboxThin");
    const RECT track = w->Find("MC_sliderThin")->GetPos();
    w->Click(POINT{track.left + (track.right - track.left) * 2 / 3, (track.top + track.bottom) / 2});
    ASSERT_TRUE(thin->GetEnable());
    ASSERT_GE(thin->GetStretchRatio(), 15);

    EffectsPage("VE_optionPendant");
    ClickNow("VEPendant_titleItem_1");   // 日系: red x 0.86, green x 1.07
    EffectsPage("VE_optionVideoText");
    ChooseInList("VEText_comboTextState", VIDEOEFFECTTEXT_STILL);
    ClickNow("VEText_checkboxEnable");
    EffectsPage("VE_optionBorder");
    ClickNow("VEBorder_titleItem_0");
    Pump();
    ASSERT_EQ(pendant->GetPendant(), 1);
    ASSERT_TRUE(text->GetEnable());
    ASSERT_EQ(text->GetMoveDirection(), VIDEOEFFECTTEXT_STILL);
    ASSERT_EQ(border->GetBorder(), 0);
    for (int n = 0; n < 3; ++n) EXPECT_TRUE(Has("VECurUse_ContanerItem_Label_" + std::to_string(n))) << n;

    const std::string picture = home + "client.bmp";
    ASSERT_EQ(RunCaptureClient(picture), 0);

    Bmp shot;
    ASSERT_TRUE(mediatest::ReadBmp(picture, shot));
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    // Each effect is seen in the client's picture; how each one draws is
    // its module's suite's. The filter: the camera's white quarter (upper
    // right) with its red lowered to about 219.
    const DWORD white = shot.At(420, 200);
    EXPECT_NEAR(R(white), 219, 12) << std::hex << white;

    // Thinning: the grey top band (60 rows) loses rows, stretched back.
    int above = 0;
    while (above < 240 && Distance(shot.At(420, above), white) > 40) ++above;
    EXPECT_LT(above, 50) << "60 rows without thinning";

    // The border: edge pixels differ from the quarters beside them.
    int framed = 0;
    for (const POINT& p : {POINT{2, 200}, POINT{637, 200}, POINT{2, 330}, POINT{637, 330}}) {
        const DWORD px = shot.At(p.x, p.y);
        const DWORD inner = p.y < 240 ? (p.x < 320 ? shot.At(200, 200) : white) : (p.x < 320 ? shot.At(200, 330) : shot.At(420, 330));
        if (Distance(px, inner) > 90) ++framed;
    }
    EXPECT_GE(framed, 3) << "the border's frame at the sides";

    // The caption: white text at the bottom.
    int textPixels = 0;
    for (int y = 440; y < 470; ++y)
        for (int x = 40; x < 600; ++x) {
            const DWORD px = shot.At(x, y);
            if (R(px) > 200 && G(px) > 200 && B(px) > 200) ++textPixels;
        }
    EXPECT_GT(textPixels, 100) << "white caption text";
}

}  // namespace
