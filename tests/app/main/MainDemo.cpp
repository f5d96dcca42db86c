// The main window as a user sees it at a few moments (not a test; the
// screenshots in docs/ are taken of it): the window is built in this
// program with the kernel loaded, as ZxVCam.exe builds it, and driven with
// real mouse messages. With the test camera and microphone registered in
// the prefix for the camera, recording, effect and video-source moments.
//   ZxMainDemo.exe --demo idle|camera|record|tray|filter|caption|border|
//                  vsrc-media|vsrc-slides|vsrc-videos|vsrc-audio|
//                  vsrc-photos|vsrc-menu|preview-video|preview-audio|
//                  preview-photo [--at X,Y] [--exit-after MS]
// filter, caption and border open the camera, choose a border, switch the
// caption on and choose a filter on the effects page, and end on that
// effect's page. The video-source moments first make their media with the
// kernel itself (recordings and snapshots of the test camera, copies of
// them as media files, pictures for the slides), start the kernel again
// so the window finds them in its lists as on a later day, then show a
// list, a context menu or the record preview.
// Prints "demo shown" when the moment is on the screen.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "AppSession.h"
#include "DuiLib/UIlib.h"
#include "IDataCamera.h"
#include "IDataMediaList.h"
#include "IDataRecordList.h"
#include "IDataSlideList.h"
#include "KernelModules.h"
#include "SettingKeys.h"
#include "TestDeviceSupport.h"
#include "TileListUI.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVCamDlg.h"

using namespace DuiLib;

namespace {

std::string g_demo = "idle";
int g_step = 0;

void ClickControl(const char* name) {
    CControlUI* c = g_pMainDlg ? g_pMainDlg->FindControl(name) : nullptr;
    if (!c) return;
    const RECT rc = c->GetPos();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    const HWND h = g_pMainDlg->GetHWND();
    SendMessageW(h, WM_MOUSEMOVE, 0, at);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(h, WM_LBUTTONUP, 0, at);
    // The mouse leaves again, so no button is drawn hot in the picture.
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 300));
}

BOOL CALLBACK PaintNow(HWND h, LPARAM) {
    if (IsWindowVisible(h)) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return TRUE;
}

// Every window of the moment is painted before the line, so a screenshot
// taken when it appears shows the moment rather than a window still being
// drawn.
void Shown() {
    EnumThreadWindows(GetCurrentThreadId(), PaintNow, 0);
    GdiFlush();
    std::printf("demo shown\n");
    std::fflush(stdout);
}

bool IsSourceDemo() { return g_demo.compare(0, 5, "vsrc-") == 0 || g_demo.compare(0, 8, "preview-") == 0; }

// Runs this thread's messages for ms (the kernel works meanwhile).
void PumpFor(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG msg;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

// A picture for the slide show: a soft two-colour gradient with a circle.
void WriteSlide(const std::string& path, Gdiplus::Color from, Gdiplus::Color to) {
    Gdiplus::Bitmap bmp(640, 480, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics g(&bmp);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        Gdiplus::LinearGradientBrush ground(Gdiplus::Point(0, 0), Gdiplus::Point(640, 480), from, to);
        g.FillRectangle(&ground, 0, 0, 640, 480);
        Gdiplus::SolidBrush sun(Gdiplus::Color(170, 255, 240, 200));
        g.FillEllipse(&sun, 380, 90, 160, 160);
    }
    CLSID png{};
    if (CRenderEngine::FindImageEncoder(L"image/png", png)) bmp.Save(String2WString(path).c_str(), &png, nullptr);
}

// The media the video-source moments show, made with the kernel before the
// window opens: three video recordings and two sound recordings of the
// test camera and microphone, four snapshots, copies of the videos as
// media files and five pictures for the slide show.
void MakeSourceMedia() {
    auto* camera = KernelModule<IDataCamera>();
    auto* records = KernelModule<IDataRecordList>();
    auto* media = KernelModule<IDataMediaList>();
    auto* slides = KernelModule<IDataSlideList>();
    if (!camera || !records || !media || !slides) return;
    camera->StartCamera();
    PumpFor(1200);
    std::vector<std::string> videos;
    for (int i = 0; i < 3; ++i) {
        records->StartRecord(ZXV_RECORD_VIDEO);
        PumpFor(2300 + 2000 * i);
        const int id = records->GetRecordingId(ZXV_RECORD_VIDEO);
        videos.push_back(records->GetRecordPath(ZXV_RECORD_VIDEO, id));
        records->StopRecord();
        PumpFor(300);
    }
    // Sound recordings long enough that the preview shows one half played.
    for (int i = 0; i < 2; ++i) {
        records->StartRecord(ZXV_RECORD_AUDIO);
        PumpFor(2200 + 1000 * i);
        records->StopRecord();
        PumpFor(200);
    }
    for (int i = 0; i < 4; ++i) {
        records->TakeSnapshot();
        PumpFor(500);
        records->EndSnapshot();
        PumpFor(300);
    }
    const std::string folder = Dir::GetZxPath(Dir::kPathUserData) + "Media\\";
    Dir::MakeDir(folder);
    const char* const names[] = {"周末旅行.flv", "会议记录.flv", "生日聚会.flv", "小猫.flv", "日落.flv"};
    std::vector<std::string> files;
    for (size_t i = 0; i < 5; ++i) {
        files.push_back(folder + names[i]);
        CopyFileW(String2WString(videos[i % videos.size()]).c_str(), String2WString(files.back()).c_str(), FALSE);
    }
    media->AddFiles(files);
    const char* const slideNames[] = {"海边.png", "森林.png", "晚霞.png", "雪山.png", "城市.png"};
    const Gdiplus::Color colours[5][2] = {
        {Gdiplus::Color(255, 20, 90, 160), Gdiplus::Color(255, 120, 200, 230)},
        {Gdiplus::Color(255, 20, 80, 40), Gdiplus::Color(255, 120, 180, 90)},
        {Gdiplus::Color(255, 90, 30, 90), Gdiplus::Color(255, 240, 140, 60)},
        {Gdiplus::Color(255, 60, 80, 110), Gdiplus::Color(255, 230, 235, 245)},
        {Gdiplus::Color(255, 30, 30, 50), Gdiplus::Color(255, 200, 120, 40)}};
    std::vector<std::string> pictures;
    for (int i = 0; i < 5; ++i) {
        pictures.push_back(folder + slideNames[i]);
        WriteSlide(pictures.back(), colours[i][0], colours[i][1]);
    }
    // The slides load in the background; each one loaded is reported.
    struct Loaded : IDataSlideListObserver {
        void OnItemLoaded(int, bool loaded, const std::string&, const std::string&, bool) override {
            count += loaded ? 1 : 0;
        }
        std::atomic<int> count{0};
    } loaded;
    {
        CObserverLink<IDataSlideListObserver> link(&loaded, OBSERVER_MODE_DIRECT);
        slides->AddFiles(pictures);
        for (int waited = 0; loaded.count < 5 && waited < 200; ++waited) PumpFor(50);
    }
    camera->StopCamera();
    PumpFor(300);
}

// The control of a skinned window under the mouse: real messages at its
// centre; dbl adds a double click.
void MouseOn(HWND h, CControlUI* c, bool dbl = false, bool right = false) {
    if (!c) return;
    const RECT rc = c->GetPos();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageW(h, WM_MOUSEMOVE, 0, at);
    if (right) {
        PostMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, at);
        PostMessageW(h, WM_RBUTTONUP, 0, at);
        return;
    }
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(h, WM_LBUTTONUP, 0, at);
    if (dbl) {
        PostMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(h, WM_LBUTTONUP, 0, at);
    }
}

CTileListUI* Tiles(const char* layout) {
    CControlUI* c = g_pMainDlg->FindControl(layout);
    return c ? static_cast<CTileListUI*>(c->GetInterface("TileList")) : nullptr;
}

CControlUI* FirstTile(const char* layout, int index = 0) {
    CTileListUI* tiles = Tiles(layout);
    return tiles ? tiles->GetItemAt(index) : nullptr;
}

HWND FindPreview() { return FindWindowW(L"CRecordPreview", nullptr); }

// Plays the recording in the preview dialog once it is up, then shows it.
void CALLBACK PreviewTimer(HWND, UINT, UINT_PTR id, DWORD) {
    static int ticks = 0;
    HWND h = FindPreview();
    if (!h) return;
    auto* dlg = dynamic_cast<CZxBaseDialog*>(CWindowWnd::FromHandle(h));
    if (!dlg) return;
    ++ticks;
    if (ticks == 1 && g_demo != "preview-photo") MouseOn(h, dlg->FindControl("btnPlayMedia"));
    if (ticks == 4) {
        PostMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(2, 200));
        KillTimer(nullptr, id);
        Shown();
    }
}

// Hovers entry g_hoverEntry of a menu once it is up (a 4-pixel inset,
// entries of 30).
int g_hoverEntry = 0;
void CALLBACK MenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = CMenuUI::GetActiveMenuWindow();
    if (!menu) return;
    KillTimer(nullptr, id);
    SendMessageW(menu, WM_MOUSEMOVE, 0, MAKELPARAM(60, 4 + g_hoverEntry * 30 + 15));
    Shown();
}

void SourceStep(UINT_PTR id) {
    const HWND h = g_pMainDlg->GetHWND();
    static const struct {
        const char* demo;
        const char* option;
    } kLists[] = {{"vsrc-media", "optionVideoSrcMediaFile"}, {"vsrc-slides", "optionVideoSrcImage"},
                  {"vsrc-videos", "optionVideoSrcMyRecordV"}, {"vsrc-audio", "optionVideoSrcMyRecordA"},
                  {"vsrc-photos", "optionVideoSrcMyPhoto"}, {"vsrc-menu", "optionVideoSrcMyRecordV"},
                  {"preview-video", "optionVideoSrcMyRecordV"}, {"preview-audio", "optionVideoSrcMyRecordA"},
                  {"preview-photo", "optionVideoSrcMyPhoto"}};
    if (g_step == 1) {
        ClickControl("optionVideoSrc");
        for (const auto& l : kLists)
            if (g_demo == l.demo) ClickControl(l.option);
        return;
    }
    if (g_step != 3) return;
    KillTimer(nullptr, id);
    if (g_demo == "vsrc-media") {
        // One file playing (its tile counts down), another selected.
        if (CControlUI* tile = FirstTile("VSMediaFile_tilelayout", 2)) {
            if (auto* media = KernelModule<IDataMediaList>()) media->Play(static_cast<int>(tile->GetTag()));
        }
        if (CTileListUI* tiles = Tiles("VSMediaFile_tilelayout")) tiles->SelectItem(3);
        SetTimer(nullptr, 0, 2500, [](HWND, UINT, UINT_PTR t, DWORD) {
            KillTimer(nullptr, t);
            SendMessageW(g_pMainDlg->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 300));
            Shown();
        });
    } else if (g_demo == "vsrc-menu") {
        MouseOn(h, FirstTile("VSMyRecordV_tilelayout", 0), false, true);
        g_hoverEntry = 2;   // the third entry of the tile's menu
        SetTimer(nullptr, 0, 100, MenuTimer);
    } else if (g_demo == "preview-video") {
        // A fresh recording of the camera: the dialog with the rename bar,
        // playing what the camera showed.
        ClickControl("btnOpenCamera");
        SetTimer(nullptr, 0, 1000, [](HWND, UINT, UINT_PTR t, DWORD) {
            KillTimer(nullptr, t);
            ClickControl("VSMyRecordV_btnBeginRecord");
            SetTimer(nullptr, 0, 2600, [](HWND, UINT, UINT_PTR t2, DWORD) {
                KillTimer(nullptr, t2);
                SetTimer(nullptr, 0, 400, PreviewTimer);
                ClickControl("VSMyRecordV_btnEndRecord");
            });
        });
    } else if (g_demo == "preview-audio") {
        MouseOn(h, FirstTile("VSMyRecordA_tilelayout", 1), true);
        SetTimer(nullptr, 0, 400, PreviewTimer);
    } else if (g_demo == "preview-photo") {
        MouseOn(h, FirstTile("VSMyPhoto_tilelayout", 0), true);
        SetTimer(nullptr, 0, 400, PreviewTimer);
    } else {
        // The list as loaded (the slides load in the background), one tile
        // selected.
        SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR t, DWORD) {
            static int waited = 0;
            const char* layout = g_demo == "vsrc-slides"   ? "VSSlide_tilelayout"
                                 : g_demo == "vsrc-videos" ? "VSMyRecordV_tilelayout"
                                 : g_demo == "vsrc-audio"  ? "VSMyRecordA_tilelayout"
                                                           : "VSMyPhoto_tilelayout";
            CTileListUI* tiles = Tiles(layout);
            if (!tiles || (tiles->GetCount() < 2 && ++waited < 40)) return;
            KillTimer(nullptr, t);
            tiles->SelectItem(1);
            Shown();
        });
    }
}

// The moments, one step a timer tick.
void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ++g_step;
    if (IsSourceDemo()) {
        SourceStep(id);
        return;
    }
    if (g_demo == "idle" || g_demo == "tray") {
        KillTimer(nullptr, id);
        if (g_demo == "idle") {
            Shown();
            return;
        }
        // The tray icon's right click with the mouse near the screen's
        // lower right corner, as over a task bar.
        SetCursorPos(760, 560);
        g_hoverEntry = 1;   // the tray menu's exit
        SetTimer(nullptr, 0, 100, MenuTimer);
        PostMessageW(g_pMainDlg->GetHWND(), CZxVCamDlg::kTrayMessage, CZxVCamDlg::kTrayIconId, WM_RBUTTONUP);
    } else if (g_step == 1) {
        ClickControl("btnOpenCamera");
    } else if (g_demo == "camera" && g_step == 3) {
        KillTimer(nullptr, id);
        Shown();
    } else if (g_demo == "record" && g_step == 3) {
        ClickControl("btnRecordVideoBegin");
    } else if (g_demo == "record" && g_step == 10) {
        KillTimer(nullptr, id);
        Shown();
    } else if (g_demo == "filter" || g_demo == "caption" || g_demo == "border") {
        // One click a tick, as a user would go through the effects page.
        static const char* const kClicks[] = {"optionVideoEffect", "VE_optionBorder", "VEBorder_titleItem_0",
                                              "VE_optionVideoText", "VEText_checkboxEnable", "VE_optionPendant",
                                              "VEPendant_titleItem_1"};
        const int n = g_step - 2;
        if (n >= 0 && n < static_cast<int>(sizeof kClicks / sizeof kClicks[0])) {
            ClickControl(kClicks[n]);
        } else if (n == 7) {
            if (g_demo == "caption") ClickControl("VE_optionVideoText");
            else if (g_demo == "border") ClickControl("VE_optionBorder");
        } else if (n == 9) {
            KillTimer(nullptr, id);
            Shown();
        }
    }
}

void CALLBACK ExitTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND menu = CMenuUI::GetActiveMenuWindow()) SendMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    if (HWND preview = FindPreview()) {
        // The modal preview goes first; the window follows on the next tick.
        PostMessageW(preview, WM_CLOSE, 0, 0);
        SetTimer(nullptr, 0, 500, ExitTimer);
        return;
    }
    if (g_pMainDlg && g_pMainDlg->GetHWND()) {
        if (g_demo == "record") ClickControl("btnRecordVideoEnd");
        DestroyWindow(g_pMainDlg->GetHWND());
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    POINT at{-1, -1};
    int exitAfter = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = WString2String(wargv[i]), value = WString2String(wargv[i + 1]);
        if (arg == "--demo") g_demo = value;
        else if (arg == "--at") std::sscanf(value.c_str(), "%ld,%ld", &at.x, &at.y);
        else if (arg == "--exit-after") exitAfter = std::atoi(value.c_str());
    }
    LocalFree(wargv);

    // Registered before the kernel loads (it lists the devices at load) and
    // removed after the session has ended.
    std::unique_ptr<tdev::TestDevices> devices;
    if (g_demo != "idle" && g_demo != "tray") {
        devices = std::make_unique<tdev::TestDevices>();
        devices->AddCamera(L"ZxTestCamera0", L"USB 测试摄像头");
        devices->AddMicrophone(L"ZxTestMicrophone0", L"测试麦克风", 660, 6000);
    }
    CAppSession session(GetModuleHandleW(nullptr), {Dir::GetZxPath(Dir::kPathResource) + "skin\\", true});
    if (devices) {
        // Recordings go to the scratch data folder, with the test microphone.
        const std::string records = Dir::GetZxPath(Dir::kPathUserData) + "Records\\";
        Dir::MakeDir(records);
        for (const SettingKey& key : Settings::kRecordDir) Settings::SetString(key, records);
        AfxGetConfigManager()->SetString("AudioSetup", "AudioInputDev", "测试麦克风", 0);
    }
    if (IsSourceDemo()) {
        MakeSourceMedia();
        // The kernel started again, as the program starts on a later day:
        // every list comes from its file (the slide page reads its list at
        // its first visit; pictures added to a running kernel before the
        // window watched were reported to nobody).
        session.ReloadKernel();
    }
    int status = 0;
    g_pMainDlg = new CZxVCamDlg;
    session.AdoptWindow(g_pMainDlg, [] { g_pMainDlg = nullptr; });
    if (!g_pMainDlg->Create(nullptr, "", g_pMainDlg->GetCreateWindowStyle(), 0, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT)) {
        status = 1;
    } else {
        if (at.x >= 0) SetWindowPos(g_pMainDlg->GetHWND(), HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
        g_pMainDlg->ShowWindow(true, true);
        SetTimer(nullptr, 0, 700, StepTimer);
        SetTimer(nullptr, 0, static_cast<UINT>(exitAfter), ExitTimer);
        CPaintManagerUI::MessageLoop();
    }
    return status;
}
