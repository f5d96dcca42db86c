// The main window built in the test program with the whole kernel loaded,
// as the program builds it: driven by real messages on the virtual display,
// told of kernel changes through the real message manager.
#include <algorithm>
#include <climits>
#include <functional>
#include <map>

#include "AppLanguage.h"
#include "DialogsTestSupport.h"
#include "Feedback.h"
#include "IDataAudioProcess.h"
#include "IDataMediaList.h"
#include "KernelModules.h"
#include "MainWindowFixture.h"
#include "MediaTestSupport.h"
#include "TestSupport.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "RecordPreview.h"
#include "SettingKeys.h"
#include "VideoSrcLists.h"
#include "ZxAudioEffectDlg.h"
#include "ZxVCamDlg.h"
#include "ZxVMsgTip.h"
#include "ZxVSetupDlg.h"
#include "ZxVSkinMgrDlg.h"

using namespace DuiLib;
using namespace dlgtest;
using namespace mainwin;

namespace {

// A notification as the kernel sends it, then this thread's messages (mode-2
// observers run through its queue).
template <class Msg, class... A>
void Tell(A... values) {
    Msg::Send(values...);
    Pump();
}

// Runs this thread's messages until one of them asks the loop to end;
// false when none does before the hang guard.
bool PumpSeeingQuit() {
    return zxtest::WaitUntil([] {
        bool quit = false;
        MSG msg;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return quit;
    });
}

class MainWindowTest : public mainwin::MainWindowFixture {
protected:
    MainWindowTest() : MainWindowFixture("main") {}
    void SetUp() override {
        MainWindowFixture::SetUp();
        StartSession();
        media = KernelModule<IDataMediaList>();
        audio = KernelModule<IDataAudioProcess>();
        ASSERT_TRUE(media && audio);
    }

    IDataMediaList* media = nullptr;
    IDataAudioProcess* audio = nullptr;
};

TEST_F(MainWindowTest, TheSkinHasEveryControlAndTheTitleAndMark) {
    Open();
    // The controls no case below drives (those fail without theirs).
    for (const char* name : {"vFunWnd", "btnRecordAudioEnd", "btnPreMedia", "btnNextMedia", "BtnChangeSkin", "BtnSetup",
                             "btnGoHome", "BtnFeedback"})
        EXPECT_NE(w->Find(name), nullptr) << name;
    const RECT view = w->Find("ViewPortWnd")->GetPos();
    EXPECT_EQ(view.right - view.left, 480);
    EXPECT_EQ(view.bottom - view.top, 360);
    wchar_t title[64] = {};
    GetWindowTextW(w->hwnd(), title, 64);
    EXPECT_STREQ(title, L"星河助手");
    EXPECT_EQ(GetPropW(w->hwnd(), L"ZxVCamMainWnd"), reinterpret_cast<HANDLE>(1));
    const LONG style = GetWindowLongW(w->hwnd(), GWL_STYLE);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_THICKFRAME, 0);
    EXPECT_TRUE(w->dlg.HasTrayIcon()) << "icon 107 is in the program (and this test program)";
    // Every control of the skin draws something: no empty picture names.
    EXPECT_EQ(ReadProgramLog().find("picture file not found"), std::string::npos);
}

TEST_F(MainWindowTest, ThePreviewShowsTheKernelsPictureOverTheViewPort) {
    Open();
    CWndVideoShow& preview = w->dlg.GetVideoShow();
    ASSERT_TRUE(IsWindow(preview.GetHWND()));
    RECT rc;
    GetWindowRect(preview.GetHWND(), &rc);
    MapWindowPoints(nullptr, w->hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    const RECT view = w->Find("ViewPortWnd")->GetPos();
    EXPECT_EQ(rc.left, view.left);
    EXPECT_EQ(rc.top, view.top);
    EXPECT_EQ(rc.right - rc.left, 480);
    EXPECT_EQ(rc.bottom - rc.top, 360);
    // The default picture with the open-camera button painted in: the
    // button's orange in the middle of its rectangle (165..315, 255..305).
    DWORD button = 0;
    PumpUntil([&] {
        button = duitest::ScreenPixel(preview.GetHWND(), 200, 268);
        return R(button) > 200 && G(button) > 90 && G(button) < 170 && B(button) < 60;
    });
    EXPECT_EQ(preview.LastStreamType(), 0) << "frames of the default picture reach the preview";
    EXPECT_GT(R(button), 200) << std::hex << button;
    EXPECT_LT(B(button), 60) << std::hex << button;
    const DWORD picture = duitest::ScreenPixel(preview.GetHWND(), 240, 60);
    EXPECT_LT(R(picture) + G(picture) + B(picture), 300) << "the dark default picture above it " << std::hex << picture;
}

TEST_F(MainWindowTest, TabsAndObserversSwitchThePages) {
    Open();
    EXPECT_EQ(Page("tabMain"), 0);
    w->Click("optionVideoSrc");
    EXPECT_EQ(Page("tabMain"), 1);
    EXPECT_EQ(w->Find("control_FunWndFill2")->GetBkColor(), 0x30000000u);
    EXPECT_EQ(w->Find("control_FunWndFill1")->GetBkColor(), 0u);
    w->Click("optionVideoEffect");
    EXPECT_EQ(Page("tabMain"), 2);
    EXPECT_EQ(w->Find("control_FunWndFill3")->GetBkColor(), 0x30000000u);
    EXPECT_EQ(w->Find("control_FunWndFill2")->GetBkColor(), 0u);
    w->dlg.GetFunDlg().ShowMyRecordVideos();
    EXPECT_EQ(Page("tabMain"), 1) << "a recording shows the video-source page";

    Tell<IDataCameraObserver::StateMsg>(true);
    EXPECT_EQ(Page("tablayoutbtnCameraOpen_Close"), 1) << "the close button once the camera is open";
    Tell<IDataCameraObserver::StateMsg>(false);
    EXPECT_EQ(Page("tablayoutbtnCameraOpen_Close"), 0);

    EXPECT_FALSE(Enabled("PlayerPosition"));
    Tell<IDataVideoMgrObserver::StreamTypeMsg>(0, 1);
    EXPECT_TRUE(Enabled("PlayerPosition")) << "the media stream";
    Tell<IDataVideoMgrObserver::StreamTypeMsg>(1, 3);
    EXPECT_FALSE(Enabled("PlayerPosition")) << "the camera stream";

    Tell<IDataRecordListObserver::StateMsg>(ZXV_RECORD_RECORDING, ZXV_RECORD_VIDEO);
    EXPECT_EQ(Page("tablayoutbtnRecordVideoBegin_End"), 1);
    EXPECT_FALSE(Enabled("btnRecordAudioBegin")) << "no sound recording beside a video recording";
    EXPECT_TRUE(Enabled("btnRecordVideoBegin"));
    Tell<IDataRecordListObserver::StateMsg>(ZXV_RECORD_STOPPED, ZXV_RECORD_VIDEO);
    EXPECT_EQ(Page("tablayoutbtnRecordVideoBegin_End"), 0);
    EXPECT_TRUE(Enabled("btnRecordAudioBegin"));
    Tell<IDataRecordListObserver::StateMsg>(ZXV_RECORD_RECORDING, ZXV_RECORD_AUDIO);
    EXPECT_EQ(Page("tablayoutbtnRecordAudioBegin_End"), 1);
    EXPECT_FALSE(Enabled("btnRecordVideoBegin"));
    Tell<IDataRecordListObserver::StateMsg>(ZXV_RECORD_RECORDING, ZXV_RECORD_IMAGE);
    EXPECT_FALSE(Enabled("btnRecordVideoBegin")) << "snapshots change nothing here";
    Tell<IDataRecordListObserver::StateMsg>(ZXV_RECORD_STOPPED, ZXV_RECORD_AUDIO);
    EXPECT_EQ(Page("tablayoutbtnRecordAudioBegin_End"), 0);
    EXPECT_TRUE(Enabled("btnRecordVideoBegin"));

    Tell<IDataMediaListObserver::StateMsg>(MEDIALIST_STATE_PLAYING);
    EXPECT_EQ(Page("tablayoutFoldPlay_Pause"), 1) << "the pause button while playing";
    Tell<IDataMediaListObserver::StateMsg>(MEDIALIST_STATE_PAUSED);
    EXPECT_EQ(Page("tablayoutFoldPlay_Pause"), 0);
}

TEST_F(MainWindowTest, PositionLabelsAndSliderFollowThePlaylist) {
    const std::vector<int> ids = AddClips({"三秒.flv"}, 3);
    ASSERT_EQ(ids.size(), 1u);
    const int id = ids[0];
    ASSERT_EQ(media->GetItemDuration(id), 3);

    Open();
    auto* slider = w->FindAs<CSliderUI>("PlayerPosition", "Slider");
    ASSERT_NE(slider, nullptr);
    Tell<IDataMediaListObserver::PlayingMsg>(id);
    EXPECT_EQ(Text("TotalPos"), "00:00:03");
    EXPECT_EQ(Text("CurPos"), "00:00:00");
    Tell<IDataMediaListObserver::PositionMsg>(id, 1.5);
    EXPECT_EQ(slider->GetValue(), slider->GetMaxValue() / 2);
    EXPECT_EQ(Text("CurPos"), "00:00:01");
    Tell<IDataMediaListObserver::PositionMsg>(id + 1000, 2.0);
    EXPECT_EQ(slider->GetValue(), 0) << "an item of unknown length keeps the slider at the start";
    EXPECT_EQ(Text("CurPos"), "00:00:02");
    Tell<IDataMediaListObserver::StateMsg>(MEDIALIST_STATE_STOPPED);
    EXPECT_EQ(Text("CurPos"), "00:00:00");
    EXPECT_EQ(Text("TotalPos"), "00:00:00");
    Tell<IDataMediaListObserver::PlayingMsg>(-1);
    EXPECT_EQ(Text("TotalPos"), "00:00:00");

    // Nothing current: moving the slider asks nothing of the playlist.
    ASSERT_EQ(media->GetCurrentItem(), -1);
    slider->SetEnabled(true);
    w->Click(slider);
    EXPECT_EQ(media->GetPlayState(), MEDIALIST_STATE_STOPPED);
}

TEST_F(MainWindowTest, MuteKeepsTheSliderLevels) {
    Open();
    auto* volume = w->FindAs<CSliderUI>("sliderValume", "Slider");
    auto* mic = w->FindAs<CSliderUI>("sliderMic", "Slider");
    ASSERT_TRUE(volume && mic);
    EXPECT_EQ(volume->GetValue(), media->GetVolume()) << "the sliders start at the modules' levels";
    EXPECT_EQ(mic->GetValue(), audio->GetInputVol());
    volume->SetValue(70);
    mic->SetValue(40);
    ClickNow("BtnValume");
    EXPECT_EQ(media->GetVolume(), 0);
    EXPECT_EQ(volume->GetValue(), 70);
    EXPECT_EQ(Page("tablayourVolume_mute"), 1);
    ClickNow("btnMute");
    EXPECT_EQ(media->GetVolume(), 70);
    EXPECT_EQ(Page("tablayourVolume_mute"), 0);
    ClickNow("BtnMic");
    EXPECT_EQ(audio->GetInputVol(), 0);
    EXPECT_EQ(mic->GetValue(), 40);
    EXPECT_EQ(Page("tablayoutbtnMicOpen_Close"), 1);
    ClickNow("btnMicClose");
    EXPECT_EQ(audio->GetInputVol(), 40);
    EXPECT_EQ(Page("tablayoutbtnMicOpen_Close"), 0);
    // Dragging a volume thumb sets the level as it moves, and unmutes.
    ClickNow("BtnValume");
    const RECT rc = volume->GetPos();
    w->Click(POINT{rc.left + (rc.right - rc.left) / 4, (rc.top + rc.bottom) / 2});
    EXPECT_NEAR(media->GetVolume(), 25, 6);
    EXPECT_EQ(media->GetVolume(), volume->GetValue());
    EXPECT_EQ(Page("tablayourVolume_mute"), 0);
}

// Failures are told in the message tip, in the current language; the texts
// the code sets follow a change of language.
TEST_F(MainWindowTest, FailuresAreToldInTheMessageTipAndCodeSetTextsFollowTheLanguage) {
    Open();
    // No camera in this prefix, and Wine's own microphone cannot capture.
    for (const auto& c : {std::make_pair("btnOpenCamera", "打开摄像头失败"),
                          std::make_pair("btnRecordAudioBegin", "录音需要麦克风：没有可用的麦克风，或打开麦克风失败")}) {
        SCOPED_TRACE(c.first);
        TipWatcher tips;
        w->Click(c.first);
        // The recorder's cause arrives through its observers' queue.
        EXPECT_TRUE(PumpUntil([&] { return !tips.texts.empty(); }));
        EXPECT_EQ(tips.texts, std::vector<std::string>{c.second});
    }
    EXPECT_EQ(Page("tabMain"), 1) << "the recorded-sound list was shown first";

    const HWND h = w->hwnd();
    const UINT changed = RegisterWindowMessageW(Lang::kChangedMessage);
    struct Restore {
        ~Restore() { Lang::SetCurrent(Lang::Language::Chinese); }
    } restore;
    wchar_t title[64] = {};
    Lang::SetCurrent(Lang::Language::English);
    SendMessageW(h, changed, 0, 0);
    GetWindowTextW(h, title, 64);
    EXPECT_STREQ(title, L"ZxVCam");
    EXPECT_EQ(w->dlg.TrayTip(), L"ZxVCam");
    EXPECT_EQ(Text("VSMediaFile_btnListMode"), CMediaListPanel::ModeName(media->GetPlayMode()));
    EXPECT_LT(static_cast<unsigned char>(Text("VSMediaFile_btnListMode").at(0)), 0x80u) << "an English mode name";
    EXPECT_EQ(ReadProgramLog().find("open-camera picture"), std::string::npos) << "the English button's pictures";
    TipWatcher tips;
    w->Click("btnOpenCamera");
    EXPECT_TRUE(PumpUntil([&] { return !tips.texts.empty(); }));
    EXPECT_EQ(tips.texts, std::vector<std::string>{"The camera could not be opened."});

    Lang::SetCurrent(Lang::Language::Chinese);
    SendMessageW(h, changed, 0, 0);
    GetWindowTextW(h, title, 64);
    EXPECT_STREQ(title, L"星河助手");
    EXPECT_EQ(w->dlg.TrayTip(), L"星河助手");
}

TEST_F(MainWindowTest, CloseHidesToTheTrayUnlessTheSetupSaysExit) {
    Open();
    const HWND h = w->hwnd();
    w->Click("BtnClose");
    EXPECT_TRUE(IsWindow(h)) << "nothing stored: hide to the tray";
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_TRUE(w->dlg.HasTrayIcon());
    SendMessageW(h, CZxVCamDlg::kTrayMessage, CZxVCamDlg::kTrayIconId, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(h)) << "a click on the tray icon shows it again";
    // Alt+F4 and the system menu close the same way.
    SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindowVisible(h));
    SendMessageW(h, CZxVCamDlg::kTrayMessage, CZxVCamDlg::kTrayIconId, WM_LBUTTONUP);

    AfxGetConfigManager()->SetInt("SetupBasic", "Close", 0);
    w->Click("BtnClose");
    EXPECT_TRUE(PumpSeeingQuit()) << "the message loop is asked to end";
    EXPECT_FALSE(IsWindow(h)) << "exit: the window is gone";
    EXPECT_FALSE(w->dlg.HasTrayIcon()) << "the tray icon went with it";
}

TEST_F(MainWindowTest, TheTrayMenuShowsTheWindowOrEndsTheProgram) {
    Open();
    const HWND h = w->hwnd();
    w->dlg.ShowWindow(false, true);
    for (int item : {0, 1}) {   // 0 "打开主界面", 1 "退出"
        SCOPED_TRACE(item);
        DWORD background = 0, hotText = 0;
        WhenShown menu(L"ZxDuiMenu", L"", [&](HWND m) {
            RECT rc;
            GetClientRect(m, &rc);
            // The entries start below a 4-pixel inset, 30 pixels each.
            const LPARAM at = MAKELPARAM(40, 4 + 30 * item + 15);
            SendMessageW(m, WM_MOUSEMOVE, 0, at);
            HDC dc = GetDC(m);
            background = GetPixel(dc, rc.right - 3, rc.bottom - 2);
            hotText = GetPixel(dc, 10, 4 + 30 * item + 2);
            ReleaseDC(m, dc);
            SendMessageW(m, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(m, WM_LBUTTONUP, 0, at);
        });
        SendMessageW(h, CZxVCamDlg::kTrayMessage, CZxVCamDlg::kTrayIconId, WM_RBUTTONUP);
        EXPECT_TRUE(menu.Done());
        // The menu in the program's look: the panel navy, a lighter hot entry.
        EXPECT_LT(GetRValue(background) + GetGValue(background) + GetBValue(background), 150) << std::hex << background;
        EXPECT_GT(GetBValue(hotText), GetRValue(hotText)) << std::hex << hotText;
        if (item == 0) {
            EXPECT_TRUE(IsWindowVisible(h)) << "打开主界面";
        }
    }
    Pump();
    EXPECT_FALSE(IsWindow(h)) << "退出 closes the main window";
}

TEST_F(MainWindowTest, EachDamagedListIsToldOnceInATipNamingItsNumberedCopy) {
    // Two lists damaged before the program starts: the playlist (with a
    // copy from an earlier time beside it) and the recorded videos.
    AfxGetDataDllManager()->UnloadDataLibraries();
    const std::string data = Dir::GetZxPath(Dir::kPathUserData);
    ASSERT_TRUE(Dir::MakeDir(data + "Record\\Dat\\"));
    const std::string playlist = data + "MediaFileList.dat", videos = data + "Record\\Dat\\VideoList.dat";
    ASSERT_TRUE(zxtest::WriteFile(playlist + ".bad", "an earlier copy"));
    ASSERT_TRUE(zxtest::WriteFile(playlist, "ver1"));   // cut short inside its header
    ASSERT_TRUE(zxtest::WriteFile(videos, "ver1.0\x05"));
    ASSERT_TRUE(AfxGetDataDllManager()->LoadDataLibraries(0));

    TipWatcher tips;
    const std::vector<std::string>& said = tips.texts;
    Open();
    zxtest::WaitUntil([&] {
        Pump();
        return said.size() >= 2;
    });
    for (int i = 0; i < 20; ++i) Pump();   // nothing more is told
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("媒体文件列表"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find(playlist + ".1.bad"), std::string::npos) << said[0];
    EXPECT_NE(said[1].find("录像列表"), std::string::npos) << said[1];
    EXPECT_NE(said[1].find(videos + ".bad"), std::string::npos) << said[1];
}

// The entries of a zip whose files are stored: name -> bytes; each one's
// checksum checked with the system's own CRC-32 (ntdll). Empty on any fault.
std::map<std::string, std::string> ReadStoredZip(const std::string& zip) {
    typedef DWORD(WINAPI * Crc32Fn)(DWORD, const BYTE*, INT);
    auto crc32 = reinterpret_cast<Crc32Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlComputeCrc32")));
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(static_cast<BYTE>(zip[at]) | static_cast<BYTE>(zip[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::map<std::string, std::string> entries;
    size_t at = 0;
    while (at + 30 <= zip.size() && u32(at) == 0x04034B50) {
        const uint32_t crc = u32(at + 14), size = u32(at + 18), nameLength = u16(at + 26), extra = u16(at + 28);
        if (u16(at + 8) != 0 || u32(at + 22) != size || at + 30 + nameLength + extra + size > zip.size()) return {};
        const std::string name = zip.substr(at + 30, nameLength);
        const std::string bytes = zip.substr(at + 30 + nameLength + extra, size);
        if (!crc32 || crc32(0, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<INT>(size)) != crc) return {};
        entries[name] = bytes;
        at += 30 + nameLength + extra + size;
    }
    // Then the central directory with one record per entry, and its end.
    const size_t end = zip.size() - 22;
    if (zip.size() < 22 || u32(end) != 0x06054B50 || u16(end + 10) != entries.size() || u32(end + 16) != at) return {};
    return entries;
}

TEST_F(MainWindowTest, TheFeedbackZipHoldsLogsSettingsListsAndVersionButNoMedia) {
    const std::string data = Dir::GetZxPath(Dir::kPathUserData);
    ZxConfigSetFile((data + "ZxVCam.ini").c_str());
    ASSERT_TRUE(AfxGetConfigManager()->SetInt("SetupBasic", "Close", 0));
    ASSERT_TRUE(Dir::MakeDir(data + "Record\\Dat\\"));
    const std::map<std::string, std::string> wanted = {
        {"settings/ZxVCam.ini", data + "ZxVCam.ini"},
        {"lists/MediaFileList.dat", data + "MediaFileList.dat"},
        {"lists/MediaFileList.dat.bad", data + "MediaFileList.dat.bad"},
        {"lists/Record/Dat/VideoList.dat", data + "Record\\Dat\\VideoList.dat"},
        {"lists/Record/Dat/ImageList.dat.1.bad", data + "Record\\Dat\\ImageList.dat.1.bad"},
    };
    for (const auto& w : wanted)
        if (w.first.find(".ini") == std::string::npos) {
            ASSERT_TRUE(zxtest::WriteFile(w.second, "ver1.0 " + w.first));
        }
    // Recordings, sounds and pictures, also where lists and logs lie.
    for (const char* media : {"Record\\0101_0000000001.flv", "Record\\a.mp3", "snap.jpg", "Record\\Dat\\p.png"})
        ASSERT_TRUE(zxtest::WriteFile(data + media, "media"));
    ASSERT_TRUE(zxtest::WriteFile(Dir::GetLogPath() + "shot.bmp", "media"));

    const std::string folder = zxtest::MakeTempDir("feedback");
    std::string zip, error;
    ASSERT_TRUE(Feedback::MakeZip(folder, zip, error)) << error;
    EXPECT_EQ(zip.compare(0, folder.size(), folder), 0) << zip;
    const std::map<std::string, std::string> entries = ReadStoredZip(zxtest::ReadFile(zip));
    ASSERT_FALSE(entries.empty()) << "a readable zip";
    for (const auto& w : wanted) {
        auto e = entries.find(w.first);
        ASSERT_NE(e, entries.end()) << w.first;
        EXPECT_EQ(e->second, zxtest::ReadFile(w.second)) << w.first;
    }
    ASSERT_TRUE(entries.count("version.txt"));
    EXPECT_NE(entries.at("version.txt").find(std::string("ZxVCam ") + Feedback::Version()), std::string::npos);
    ASSERT_TRUE(entries.count("logs/ZxVKernal.txt")) << "the kernel's log";
    for (const auto& e : entries) {
        const bool known = wanted.count(e.first) || e.first == "version.txt" ||
                           (e.first.compare(0, 5, "logs/") == 0 && e.first.find(".txt") != std::string::npos);
        EXPECT_TRUE(known) << "nothing else, no media: " << e.first;
    }
}

// ------------------------------------------------------------ screen scale

// The screen scale a process runs at is read when it starts, so each scale
// runs the case below in a child process of this program, started after
// the scale is set in the prefix's registry (and set back after).
const char* const kScaleEnv = "ZX_TEST_EXPECT_DPI";

int Near(int v, int dpi) { return MulDiv(v, dpi, 96); }

// The smallest rectangle holding the points i of a cx-wide grid at (x0, y0)
// for which inked(i) holds; left > right when there are none.
template <class Inked>
RECT InkBox(LONG x0, LONG y0, LONG cx, size_t points, Inked inked) {
    RECT ink{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (size_t i = 0; i < points; ++i) {
        if (!inked(i)) continue;
        const LONG x = x0 + static_cast<LONG>(i) % cx, y = y0 + static_cast<LONG>(i) / cx;
        ink = RECT{(std::min)(ink.left, x), (std::min)(ink.top, y), (std::max)(ink.right, x + 1), (std::max)(ink.bottom, y + 1)};
    }
    return ink;
}

// The ink of a text drawn by GDI in a font, unclipped: its width and height.
SIZE InkSize(HFONT font, const std::string& text) {
    const int cx = 2000, cy = 400;
    BITMAPINFO bmi{};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const std::wstring w = Charset::String2WString(text);
    RECT rc{100, 100, cx, cy};
    ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &rc, DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();
    const RECT ink = InkBox(0, 0, cx, static_cast<size_t>(cx) * cy,
                            [&](size_t i) { return (static_cast<const DWORD*>(bits)[i] & 0xFFFFFF) != 0; });
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    return ink.left > ink.right ? SIZE{0, 0} : SIZE{ink.right - ink.left, ink.bottom - ink.top};
}

// Paints the whole window into its back buffer, also the part beyond the
// edge of the virtual screen (a window at 200 % is larger than it), which
// ordinary painting leaves out.
void PaintAll(duitest::WindowDriver& w) {
    w.pm().UpdateNow();
    RECT rc;
    GetClientRect(w.hwnd(), &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageW(w.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

// The text a control draws is whole: the pixels the text changes (painted
// with it and without it) span as much as the same text drawn unclipped in
// the control's font (a pixel less where the faintest edge blends away). ""
// when it is whole, else what was seen.
std::string TextCut(duitest::WindowDriver& w, CControlUI* c) {
    auto* label = c ? static_cast<CLabelUI*>(c->GetInterface("Label")) : nullptr;
    if (!label || c->GetText().empty()) return "no label with text";
    CPaintManagerUI& pm = w.pm();
    const RECT tr = c->GetPos();
    auto grab = [&] {
        PaintAll(w);
        std::vector<DWORD> px;
        for (LONG y = tr.top; y < tr.bottom; ++y)
            for (LONG x = tr.left; x < tr.right; ++x) px.push_back(pm.GetBackBufferPixel(x, y));
        return px;
    };
    const std::string text = c->GetText();
    const std::vector<DWORD> with = grab();
    c->SetText("");
    const std::vector<DWORD> without = grab();
    c->SetText(text);
    PaintAll(w);
    const RECT ink = InkBox(tr.left, tr.top, tr.right - tr.left, with.size(), [&](size_t i) { return with[i] != without[i]; });
    const SIZE whole = InkSize(pm.GetHFont(label->GetFont()), text);
    const LONG iw = ink.right - ink.left, ih = ink.bottom - ink.top;
    if (ink.left <= ink.right && whole.cx > 0 && iw + 1 >= whole.cx && ih + 1 >= whole.cy) return "";
    return c->GetName() + ": ink " + std::to_string(iw) + "x" + std::to_string(ih) + ", whole text " +
           std::to_string(whole.cx) + "x" + std::to_string(whole.cy);
}

// Shows the pages (of every tab layout above it) that hold c.
void ShowPage(duitest::WindowDriver& w, CControlUI* c) {
    for (; c && c->GetParent(); c = c->GetParent())
        if (auto* tab = static_cast<CTabLayoutUI*>(c->GetParent()->GetInterface("TabLayout"))) tab->SelectItem(c);
    w.pm().UpdateNow();
}

TEST_F(MainWindowTest, LaysOutAtTheScreenScale) {
    const char* want = getenv(kScaleEnv);
    if (!want) GTEST_SKIP() << "run by ScreenScale at each scale";
    const int dpi = atoi(want);
    Open();
    ASSERT_EQ(w->pm().GetDpi(), dpi) << "the prefix's scale reached this process";
    RECT client;
    GetClientRect(w->hwnd(), &client);
    EXPECT_NEAR(client.right, Near(940, dpi), 2);
    EXPECT_NEAR(client.bottom, Near(566, dpi), 2);
    const RECT view = w->Find("ViewPortWnd")->GetPos();
    EXPECT_NEAR(view.right - view.left, Near(480, dpi), 2);
    EXPECT_NEAR(view.bottom - view.top, Near(360, dpi), 2);

    // Text keeps inside its control: the title, the tabs, buttons, the
    // caption box and the effect tiles' names.
    for (const char* name : {"title", "optionCamera", "optionVideoSrc", "optionVideoEffect", "btnOpenCamera",
                             "btnRecordVideoBegin", "btnRecordImage", "btnPlayAudioEffect", "MC_btnAjustCamera",
                             "MC_btnColorDefault"})
        EXPECT_EQ(TextCut(*w, w->Find(name)), "") << name;
    auto show = [&](CControlUI* c) { ShowPage(*w, c); };
    auto* caption = w->Find("VEText_TextEdit");
    ASSERT_NE(caption, nullptr);
    show(caption);
    caption->SetText("星河助手 ZxVCam 字幕");
    EXPECT_EQ(TextCut(*w, caption), "");
    auto* tiles = w->FindAs<CContainerUI>("VEPendant_tilelayout", "Container");
    ASSERT_TRUE(tiles && tiles->GetCount() > 0);
    show(tiles);
    for (int i = 0; i < tiles->GetCount(); ++i) EXPECT_EQ(TextCut(*w, tiles->GetItemAt(i)), "") << i;

    // From 150 % up the window draws the larger pictures: the 2x set's mark
    // pixel lands on the screen as it is in the picture.
    if (dpi >= 192) {
        TImageInfo* big = w->pm().GetImage("btn_min_normal@2x.png");
        ASSERT_NE(big, nullptr);
        POINT mark{-1, -1};
        const DWORD* bits = reinterpret_cast<const DWORD*>(big->pBits());
        for (int i = 0; i < big->nX * big->nY; ++i)
            if (bits[i] == 0xFFE6ECF4) mark = POINT{i % big->nX, i / big->nX};
        ASSERT_GE(mark.x, 0) << "the 2x set has its mark";
        const RECT btn = w->Find("BtnMin")->GetPos();
        PaintAll(*w);
        EXPECT_EQ(w->pm().GetBackBufferPixel(btn.left + mark.x, btn.top + mark.y) & 0xFFFFFF, 0xE6ECF4u);
    }

    // Dialogs open at the scaled size of their skin.
    auto scaled = [&](auto&& dlg, const char* what) {
        GetClientRect(dlg.hwnd(), &client);
        EXPECT_NEAR(client.right, Near(dlg.pm().GetInitSize().cx, dpi), 1) << what;
        EXPECT_NEAR(client.bottom, Near(dlg.pm().GetInitSize().cy, dpi), 1) << what;
    };
    scaled(OpenDialog<CZxVSetupDlg>(), "setup");
    scaled(OpenDialog<CZxAudioEffectDlg>(), "sound clips");

    // Told of another scale (moved to another monitor), the window takes the
    // suggested rectangle and lays itself out again, the preview with it.
    const int other = dpi == 96 ? 144 : 96;
    RECT suggested{0, 0, Near(940, other), Near(566, other)};
    SendMessageW(w->hwnd(), WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    w->pm().UpdateNow();
    GetClientRect(w->hwnd(), &client);
    EXPECT_EQ(client.right, suggested.right);
    EXPECT_EQ(client.bottom, suggested.bottom);
    const RECT moved = w->Find("ViewPortWnd")->GetPos();
    EXPECT_NEAR(moved.right - moved.left, Near(480, other), 2);
    RECT preview;
    GetClientRect(w->dlg.GetVideoShow().GetHWND(), &preview);
    EXPECT_EQ(preview.right, moved.right - moved.left) << "the preview covers the view port";
    EXPECT_EQ(TextCut(*w, w->Find("title")), "");
}

class ScreenScale : public ::testing::TestWithParam<int> {};

TEST_P(ScreenScale, TheMainWindowAndDialogsLayOutAtIt) {
    const std::string out = zxtest::MakeTempDir("scale_" + std::to_string(GetParam())) + "out.txt";
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    int code = -1;
    {
        // The screen scale of the prefix for the processes started next.
        zxtest::UserRegistryDword scale(L"Control Panel\\Desktop", L"LogPixels", static_cast<DWORD>(GetParam()));
        SetEnvironmentVariableA(kScaleEnv, std::to_string(GetParam()).c_str());
        // Set back only once the child has read it and ended.
        code = zxtest::RunProcess("\"" + Charset::WString2String(self) +
                                      "\" --gtest_filter=MainWindowTest.LaysOutAtTheScreenScale",
                                  4 * zxtest::kHangGuardMs, out);
        SetEnvironmentVariableA(kScaleEnv, nullptr);
    }
    const std::string log = zxtest::ReadFile(out);
    EXPECT_EQ(code, 0) << log;
    EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScreenScale, ::testing::Values(96, 120, 144, 192));

// ------------------------------------------------------------ language

// The texts of a window that are cut off, each with its key (or name) and
// what was seen: every visible text with a key, on whichever page holds it,
// and the controls named in more. Combo boxes' items are drawn by their
// lists, not in the window.
std::vector<std::string> CutTexts(duitest::WindowDriver& w, const std::vector<std::string>& more = {}) {
    std::vector<CControlUI*> texts;
    std::function<void(CControlUI*)> walk = [&](CControlUI* c) {
        if (!c || !c->IsVisible() || c->GetInterface("Combo")) return;
        if (!c->GetTextId().empty() && !c->GetText().empty()) texts.push_back(c);
        if (auto* box = static_cast<CContainerUI*>(c->GetInterface("Container")))
            for (int i = 0; i < box->GetCount(); ++i) walk(box->GetItemAt(i));
    };
    walk(w.pm().GetRoot());
    for (const std::string& name : more) texts.push_back(w.Find(name));
    std::vector<std::string> cut;
    for (CControlUI* c : texts) {
        ShowPage(w, c);
        const std::string why = TextCut(w, c);
        if (!why.empty()) cut.push_back((c && !c->GetTextId().empty() ? c->GetTextId() + " " : "") + why);
    }
    return cut;
}
std::vector<std::string> CutTexts(duitest::WindowDriver&& w, const std::vector<std::string>& more = {}) {
    return CutTexts(w, more);
}

// The preview of a photo just taken: the rename bar, the longest "add to
// list" text and every action.
struct PhotoPreview : CRecordPreview {
    PhotoPreview() { Open(kPhoto, 0, true); }
};

TEST_F(MainWindowTest, EveryTextIsWholeInChineseAndInEnglish) {
    const std::vector<std::string> none;
    for (Lang::Choice choice : {Lang::Choice::Chinese, Lang::Choice::English}) {
        SCOPED_TRACE(Lang::ChoiceName(choice));
        AppLanguage::Apply(choice);
        Open();
        EXPECT_EQ(CutTexts(*w), none) << "main window";
        EXPECT_EQ(CutTexts(OpenDialog<CZxVSetupDlg>()), none) << "setup";
        EXPECT_EQ(CutTexts(OpenDialog<CZxVSkinMgrDlg>(nullptr)), none) << "skins";
        EXPECT_EQ(CutTexts(OpenDialog<CZxVMsgTip>()), none) << "message tip";
        EXPECT_EQ(CutTexts(OpenDialog<PhotoPreview>(), {"btnAddToList"}), none) << "record preview";
        OpenDialog<CZxAudioEffectDlg> clips;
        std::vector<std::string> buttons;
        for (size_t i = 0; i < clips.dlg.GetClips().size(); ++i) buttons.push_back("audioeffect_" + std::to_string(i));
        ASSERT_FALSE(buttons.empty());
        EXPECT_EQ(CutTexts(clips, buttons), none) << "sound clips";
        Close();
    }
}

TEST_F(MainWindowTest, TheSetupDialogSwitchesEveryOpenWindowAtOnceAndStoresTheChoice) {
    const Lang::Language asWindows = Lang::Current();
    const std::string file = Dir::GetZxPath(Dir::kPathUserData) + "ZxVCam.ini";
    ZxConfigSetFile(file.c_str());
    Open();
    {
        OpenDialog<CZxAudioEffectDlg> clips;
        OpenDialog<CZxVSetupDlg> setup;
        auto* combo = setup.FindAs<CComboUI>("setupBasic_comboLanguage", "Combo");
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->GetCurSel(), 0) << "as Windows when nothing is stored";
        // Each item, what it stores and the language it speaks, seen in a text
        // of the main window and of the setup dialog (skins) and of the clip
        // palette (set by its own code).
        struct Step {
            int item;
            const char* stored;
            Lang::Language language;
        };
        for (const Step& step : {Step{1, "zh", Lang::Language::Chinese}, Step{0, "auto", asWindows},
                                 Step{2, "en", Lang::Language::English}}) {
            SCOPED_TRACE(step.stored);
            setup.Click("setupBasic_comboLanguage");
            Pump();
            HWND list = combo->GetDropWindow();
            ASSERT_TRUE(list) << "the list opens";
            const LPARAM at = MAKELPARAM(20, 1 + combo->GetItemHeight() * step.item + combo->GetItemHeight() / 2);
            SendMessageW(list, WM_MOUSEMOVE, 0, at);
            SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(list, WM_LBUTTONUP, 0, at);
            Pump();
            const bool en = step.language == Lang::Language::English;
            EXPECT_EQ(w->Find("optionVideoSrc")->GetText(), en ? "Sources" : "视频源");
            EXPECT_EQ(TextCut(*w, w->Find("optionVideoSrc")), "") << "laid out again";
            EXPECT_EQ(setup.Find("optionsetupBasic")->GetText(), en ? "General" : "常规");
            EXPECT_EQ(setup.Find("title")->GetText(), en ? "Settings" : "设置");
            EXPECT_EQ(clips.Find("audioeffect_0")->GetText(), en ? "Applause" : "掌声");
            EXPECT_EQ(combo->GetCurSel(), step.item);
            const std::string ini = zxtest::ReadFile(file);
            EXPECT_NE(ini.find(std::string("Language=") + step.stored), std::string::npos) << ini;
            EXPECT_EQ(AppLanguage::StoredChoice(), static_cast<Lang::Choice>(step.item));
        }
    }
    // The next start speaks the stored language.
    Close();
    session.reset();
    StartSession();
    Open();
    EXPECT_EQ(w->Find("optionVideoSrc")->GetText(), "Sources");
}

}  // namespace
