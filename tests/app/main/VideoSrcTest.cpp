// The video-source page and the record preview dialog, with the whole kernel
// loaded, driven with real mouse messages; recordings from the test microphone.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <functional>
#include <set>

#include "DealVideoSrc.h"
#include "DialogsTestSupport.h"
#include "IDataMediaList.h"
#include "IDataPreview.h"
#include "IDataRecordList.h"
#include "IDataSlideList.h"
#include "KernelModules.h"
#include "MainWindowFixture.h"
#include "MediaTestSupport.h"
#include "RecordPreview.h"
#include "SettingKeys.h"
#include "TestDeviceSupport.h"
#include "TileListUI.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVCamDlg.h"

using namespace DuiLib;
using namespace dlgtest;
using namespace mainwin;

namespace {

// The seconds of a tile's "HH:MM:SS", or of "-HH:MM:SS" (time left) when left.
bool TileSeconds(const std::string& text, int& seconds, bool left = false) {
    int h = 0, m = 0, sec = 0;
    const char* format = left ? "-%2d:%2d:%2d" : "%2d:%2d:%2d";
    if (text.size() != (left ? 9u : 8u) || std::sscanf(text.c_str(), format, &h, &m, &sec) != 3) return false;
    seconds = h * 3600 + m * 60 + sec;
    return true;
}

// Chooses entry index of the next menu shown (-1: Escape) with the mouse.
std::unique_ptr<WhenShown> ChooseInMenu(int index) {
    return std::make_unique<WhenShown>(L"ZxDuiMenu", L"", [index](HWND m) {
        if (index < 0) {
            SendMessageW(m, WM_KEYDOWN, VK_ESCAPE, 0);
            return;
        }
        duitest::ClickAt(m, POINT{40, 4 + 30 * index + 15});   // a 4-pixel inset, entries of 30
    });
}

CTileListItemUI* TileAt(CTileListUI* layout, int i) {
    CControlUI* c = layout ? layout->GetItemAt(i) : nullptr;
    return c ? static_cast<CTileListItemUI*>(c->GetInterface("TileListItem")) : nullptr;
}

bool HasIcon(CTileListItemUI* tile, const std::string& picture) {
    return tile && tile->GetForeImage().find(picture) != std::string::npos;
}

class VideoSrcTest : public MainWindowFixture {
protected:
    VideoSrcTest() : MainWindowFixture("vsrc") {}
    void SetUp() override {
        MainWindowFixture::SetUp();
        records = home + "Records\\";
        Dir::MakeDir(records);
        for (const SettingKey& key : Settings::kRecordDir) Settings::SetString(key, records);
        AfxGetConfigManager()->SetString("AudioSetup", "AudioInputDev", "测试麦克风", 0);
    }
    // At a start of the program, first or later: the modules are new objects.
    void LoadKernel(bool again = false) {
        if (again) RestartKernel();
        else StartSession();
        media = KernelModule<IDataMediaList>();
        slides = KernelModule<IDataSlideList>();
        recordList = KernelModule<IDataRecordList>();
        ASSERT_TRUE(media && slides && recordList);
    }
    void TearDown() override {
        CThumbListPanel::s_shellRunner = nullptr;
        if (media) media->Stop();
        MainWindowFixture::TearDown();
    }
    void Open() {
        MainWindowFixture::Open();
        w->Click("optionVideoSrc");
        w->pm().UpdateNow();
    }
    void ShowList(const char* option) {
        w->Click(option);
        w->pm().UpdateNow();
    }
    CTileListUI* Layout(const char* name) { return w->FindAs<CTileListUI>(name, "TileList"); }
    int Count(const char* layout) { return Layout(layout) ? Layout(layout)->GetCount() : -1; }
    CDealVideoSrc& Panel() { return w->dlg.GetFunDlg().GetVideoSrc(); }
    CControlUI* VideoTile(int id) { return w->Find("VSMyRecordV_Item_" + std::to_string(id)); }
    // Right-clicks a tile and chooses menu entry index.
    void TileMenu(CControlUI* tile, int index) {
        auto menu = ChooseInMenu(index);
        w->pm().UpdateNow();
        w->RightClick(w->Center(tile));
        EXPECT_TRUE(menu->Done());
    }
    // Clicks a button that opens a menu and chooses entry index of it.
    void ButtonMenu(const char* button, int index) {
        auto menu = ChooseInMenu(index);
        w->Click(button);
        EXPECT_TRUE(menu->Done());
    }
    // Double-clicks a recording's tile and runs act in the preview it opens.
    void InPreview(CControlUI* tile, const std::function<void(CRecordPreview&)>& act) {
        WhenShown preview(L"CRecordPreview", L"", [&](HWND h) {
            if (auto* dlg = dynamic_cast<CRecordPreview*>(CWindowWnd::FromHandle(h))) act(*dlg);
        });
        w->DoubleClick(w->Center(tile));
        EXPECT_TRUE(preview.Done());
    }

    std::string records;
    IDataMediaList* media = nullptr;
    IDataSlideList* slides = nullptr;
    IDataRecordList* recordList = nullptr;
};

TEST_F(VideoSrcTest, TheMediaListIsFilledAtStartWithNamesLengthsAndThumbnails) {
    LoadKernel();
    const std::vector<int> ids = AddClips({"甲.flv", "乙.flv"}, 2);
    ASSERT_EQ(ids.size(), 2u);
    Open();
    auto* layout = Layout("VSMediaFile_tilelayout");
    ASSERT_TRUE(PumpUntil([&] { return Count("VSMediaFile_tilelayout") == 2; }));
    for (int i = 0; i < 2; ++i) {
        CTileListItemUI* tile = TileAt(layout, i);
        ASSERT_NE(tile, nullptr);
        EXPECT_EQ(static_cast<int>(tile->GetTag()), ids[static_cast<size_t>(i)]) << "in list order";
        EXPECT_EQ(tile->GetText(), i == 0 ? "甲" : "乙");
        EXPECT_EQ(tile->GetExtraText(), "00:00:02");
        std::string thumb;
        media->GetItemThumbnail(ids[static_cast<size_t>(i)], thumb);
        EXPECT_TRUE(HasIcon(tile, thumb));
        EXPECT_NE(CImageMgr::GetImage(thumb), nullptr) << "loaded into the image manager under its path";
    }
}

TEST_F(VideoSrcTest, ThePlayingTileCountsDownIsKeptByADeleteAndStoppingRestoresItsLength) {
    LoadKernel();
    const std::vector<int> ids = AddClips({"a.flv", "b.flv", "c.flv"}, 10);
    ASSERT_EQ(ids.size(), 3u);
    Open();
    auto* layout = Layout("VSMediaFile_tilelayout");
    ASSERT_TRUE(PumpUntil([&] { return Count("VSMediaFile_tilelayout") == 3; }));
    CTileListItemUI* tile = TileAt(layout, 1);
    EXPECT_EQ(tile->GetExtraText(), "00:00:10");
    w->DoubleClick(w->Center(tile));
    ASSERT_TRUE(PumpUntil([&] { return Panel().GetPlayingTile() == tile; }));
    // The time left counts down (a busy machine may skip a second).
    int left = 0;
    ASSERT_TRUE(PumpUntil([&] { return TileSeconds(tile->GetExtraText(), left, true) && left <= 9; })) << tile->GetExtraText();
    const int first = left;
    ASSERT_TRUE(PumpUntil([&] { return TileSeconds(tile->GetExtraText(), left, true) && left < first; }))
        << tile->GetExtraText();

    // All three deleted: the playing one stays, with one tip.
    layout->SelectItems({0, 1, 2});
    TipWatcher tips;
    w->Click("VSMediaFile_btnDelete");
    ASSERT_TRUE(PumpUntil([&] { return !tips.texts.empty(); }));
    // Nothing announces that no second tip comes: run the messages a little.
    Pump(100);
    EXPECT_EQ(tips.texts, std::vector<std::string>{"不能删除正在播放的视频"}) << "one tip for the playing file";
    ASSERT_EQ(layout->GetCount(), 1);
    tile = TileAt(layout, 0);
    EXPECT_EQ(static_cast<int>(tile->GetTag()), ids[1]);
    // The playlist was told to drop exactly the other two, files kept.
    EXPECT_EQ(media->GetItemPath(ids[0]), "");
    EXPECT_EQ(media->GetItemPath(ids[2]), "");
    EXPECT_EQ(media->GetItemPath(ids[1]), home + "b.flv");
    EXPECT_EQ(media->GetPlayState(), MEDIALIST_STATE_PLAYING);

    w->Click("VSMediaFile_btnStop");
    ASSERT_TRUE(PumpUntil([&] { return Panel().GetPlayingTile() == nullptr; }));
    EXPECT_EQ(tile->GetExtraText(), "00:00:10");
    EXPECT_EQ(media->GetPlayState(), MEDIALIST_STATE_STOPPED);
}

TEST_F(VideoSrcTest, AMissingFileShowsItsTipAndTheInvalidIconAndItsFolderItsNearestParent) {
    LoadKernel();
    AddClips({"keep\\sub\\clip.flv", "gone.flv"}, 1);
    Open();
    ASSERT_TRUE(PumpUntil([&] { return Count("VSMediaFile_tilelayout") == 2; }));
    CTileListItemUI* tile = TileAt(Layout("VSMediaFile_tilelayout"), 0);
    CTileListItemUI* gone = TileAt(Layout("VSMediaFile_tilelayout"), 1);
    std::vector<CThumbListPanel::ShellCommand> commands;
    CThumbListPanel::s_shellRunner = [&](const CThumbListPanel::ShellCommand& c) { commands.push_back(c); };

    // Double-clicked once its file is gone: the tip and the invalid icon.
    ASSERT_TRUE(File::RemoveFile(home + "gone.flv"));
    TipWatcher tips;
    w->DoubleClick(w->Center(gone));
    ASSERT_TRUE(PumpUntil([&] { return !tips.texts.empty(); }));
    EXPECT_EQ(tips.texts.at(0), "该文件不存在，无法播放");
    EXPECT_TRUE(HasIcon(gone, "recordVideo_thumbnail_invalid.png")) << gone->GetForeImage();
    EXPECT_EQ(media->GetPlayState(), MEDIALIST_STATE_STOPPED);
    // The placeholder's words follow the language.
    Lang::SetCurrent(Lang::Language::English);
    SendMessageW(w->hwnd(), RegisterWindowMessageW(Lang::kChangedMessage), 0, 0);
    Lang::SetCurrent(Lang::Language::Chinese);
    EXPECT_TRUE(HasIcon(gone, "recordVideo_thumbnail_invalid_en.png")) << gone->GetForeImage();

    // The file is there: the file manager with the file selected.
    TileMenu(tile, 1);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].file, "explorer.exe");
    EXPECT_EQ(commands[0].params, "/select,\"" + home + "keep\\sub\\clip.flv\"");
    EXPECT_FALSE(HasIcon(tile, "recordVideo_thumbnail_invalid.png"));

    // File and folder gone: the nearest folder that still exists.
    ASSERT_TRUE(File::RemoveFile(home + "keep\\sub\\clip.flv"));
    ASSERT_TRUE(RemoveDirectoryW(String2WString(home + "keep\\sub").c_str()));
    TileMenu(tile, 1);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1].file, home + "keep\\");
    EXPECT_EQ(commands[1].params, "");
    EXPECT_TRUE(HasIcon(tile, "recordVideo_thumbnail_invalid.png"));

    // Forward slashes are read as backslashes; nothing left opens nothing.
    EXPECT_EQ(CThumbListPanel::FolderCommand("Q:/no/such/file.flv").file, "");
    std::string slashed = home + "keep/x/y.flv";
    EXPECT_EQ(CThumbListPanel::FolderCommand(slashed).file, home + "keep\\");
}

TEST_F(VideoSrcTest, TheSlidePageLoadsItsListAtTheFirstVisitOnlyAndThePlayModeMenusSetTheModes) {
    LoadKernel();
    std::vector<std::string> pictures;
    for (int i = 0; i < 3; ++i) {
        pictures.push_back(home + "slide" + std::to_string(i) + ".png");
        ASSERT_TRUE(WritePicture(pictures.back(), 64, 48, 0xFF204080 + static_cast<DWORD>(i) * 0x300000));
    }
    struct Loaded : IDataSlideListObserver {
        void OnItemLoaded(int, bool loaded, const std::string&, const std::string&, bool) override { n += loaded; }
        int n = 0;
    } loaded;
    {
        CObserverLink<IDataSlideListObserver> link(&loaded, OBSERVER_MODE_DIRECT);
        slides->AddFiles({pictures[0], pictures[1]});
        ASSERT_TRUE(PumpUntil([&] { return loaded.n == 2; }));
    }
    // The module starts again from its list file, as at a program start.
    LoadKernel(true);
    media->SetPlayMode(1);
    Open();
    EXPECT_EQ(Text("VSMediaFile_btnListMode"), "列表循环") << "read at start";
    ButtonMenu("VSMediaFile_btnListMode", 2);
    EXPECT_EQ(media->GetPlayMode(), 2);
    EXPECT_EQ(Text("VSMediaFile_btnListMode"), "单曲循环");
    ButtonMenu("VSMediaFile_btnListMode", -1);
    EXPECT_EQ(media->GetPlayMode(), 2) << "a dismissed menu changes nothing";
    EXPECT_EQ(Text("VSMediaFile_btnListMode"), "单曲循环");

    // Nothing announces that nothing loads: the messages run a while first.
    Pump(200);
    EXPECT_EQ(Count("VSSlide_tilelayout"), 0) << "nothing before the first visit";
    ShowList("optionVideoSrcImage");
    ASSERT_TRUE(PumpUntil([&] { return Count("VSSlide_tilelayout") == 2; }));
    CTileListItemUI* first = TileAt(Layout("VSSlide_tilelayout"), 0);
    const std::set<std::string> names{first->GetText(), TileAt(Layout("VSSlide_tilelayout"), 1)->GetText()};
    EXPECT_EQ(names, (std::set<std::string>{"slide0", "slide1"}));

    ShowList("optionVideoSrcMediaFile");
    ShowList("optionVideoSrcImage");
    // A picture added now arrives after anything a second load would add.
    slides->AddFiles({pictures[2]});
    ASSERT_TRUE(PumpUntil([&] { return Count("VSSlide_tilelayout") >= 3; }));
    Pump(300);
    EXPECT_EQ(Count("VSSlide_tilelayout"), 3) << "the second visit only switched the page";
    EXPECT_EQ(TileAt(Layout("VSSlide_tilelayout"), 0)->GetText(), "slide2") << "a new picture goes to the front";

    EXPECT_EQ(Text("VSSlide_btnPlayMode"), CSlideListPanel::ModeName(slides->GetPlayMode()));
    ButtonMenu("VSSlide_btnPlayMode", 2);
    EXPECT_EQ(slides->GetPlayMode(), 2);
    EXPECT_EQ(Text("VSSlide_btnPlayMode"), "随机播放");
}

// Recordings with the test microphone (and the default picture).
class VideoSrcRecordTest : public VideoSrcTest {
protected:
    void SetUp() override {
        VideoSrcTest::SetUp();
        devices = std::make_unique<tdev::TestDevices>();
        ASSERT_TRUE(devices->Ok());
        ASSERT_TRUE(devices->AddMicrophone(L"ZxTestMicrophone0", L"测试麦克风", 660, 6000));
        LoadKernel();
    }
    void TearDown() override {
        VideoSrcTest::TearDown();
        devices.reset();
    }
    // Records about seconds from the video page, runs act in the preview
    // shown at the stop; the new record's id.
    int RecordVideo(int seconds, std::function<void(CRecordPreview&)> act) {
        ShowList("optionVideoSrcMyRecordV");
        w->Click("VSMyRecordV_btnBeginRecord");
        int id = -1;
        EXPECT_TRUE(PumpUntil([&] { return Panel().GetRecordingTile(0) != nullptr; }));
        if (CTileListItemUI* tile = Panel().GetRecordingTile(0)) {
            id = static_cast<int>(tile->GetTag());
            EXPECT_TRUE(HasIcon(tile, "recordVideo_thumbnail_Recording.png"));
            EXPECT_EQ(Page("tablayoutRecordVideoBegin_End"), 1);
            EXPECT_FALSE(w->Find("VSMyRecordA_btnBeginRecord")->IsEnabled());
            // The live time, until it shows the seconds asked for.
            int shown = 0;
            EXPECT_TRUE(PumpUntil([&] { return TileSeconds(tile->GetExtraText(), shown) && shown >= seconds; },
                                (seconds + 60) * 1000))
                << tile->GetExtraText();
        }
        bool shown = false;
        WhenShown preview(L"CRecordPreview", L"", [&](HWND h) {
            shown = true;
            auto* dlg = dynamic_cast<CRecordPreview*>(CWindowWnd::FromHandle(h));
            if (dlg) act(*dlg);
            if (IsWindow(h)) PostMessageW(h, WM_CLOSE, 0, 0);
        });
        w->pm().UpdateNow();
        w->Click("VSMyRecordV_btnEndRecord");
        EXPECT_TRUE(PumpUntil([&] { return shown; }));
        EXPECT_TRUE(PumpUntil([&] { return Page("tablayoutRecordVideoBegin_End") == 0; }));
        EXPECT_TRUE(w->Find("VSMyRecordA_btnBeginRecord")->IsEnabled());
        return id;
    }
    std::unique_ptr<tdev::TestDevices> devices;
};

TEST_F(VideoSrcRecordTest, ARecordingIsKeptUnderANewNameAfterRefusalsAndPlaysToTheEndInItsPreview) {
    Open();
    // Another file already carries the name tried third.
    ASSERT_TRUE(mediatest::RecordPattern(records + "已有.flv", 160, 120, 10));
    std::vector<std::string> tipTexts;
    std::string shownName;
    bool hadRenameBar = false;
    const int id = RecordVideo(2, [&](CRecordPreview& dlg) {
        hadRenameBar = dlg.FindControl("horizontallayoutRename") != nullptr;
        shownName = dlg.FindControl("editpreviewRename")->GetText();
        TipWatcher tips;
        for (const char* bad : {"", "a:b", "已有"}) {
            dlg.FindControl("editpreviewRename")->SetText(bad);
            const size_t before = tips.texts.size();
            ClickIn(dlg.GetHWND(), "btnSave");
            EXPECT_TRUE(PumpUntil([&] { return tips.texts.size() > before; })) << bad;
            EXPECT_TRUE(IsWindow(dlg.GetHWND())) << "refused: the dialog stays for " << bad;
        }
        tipTexts = tips.texts;
        dlg.FindControl("editpreviewRename")->SetText("我的录像");
        ClickIn(dlg.GetHWND(), "btnSave");
    });
    ASSERT_NE(id, -1);
    EXPECT_TRUE(hadRenameBar);
    EXPECT_EQ(shownName.size(), 15u) << "the automatic name MMDD_hhmmssmmmm: " << shownName;
    ASSERT_EQ(tipTexts.size(), 3u);
    EXPECT_NE(tipTexts[2].find("同名"), std::string::npos) << tipTexts[2];
    EXPECT_TRUE(File::IsExistFile(records + "已有.flv")) << "nothing lost";
    EXPECT_EQ(recordList->GetRecordPath(0, id), records + "我的录像.flv");
    EXPECT_TRUE(File::IsExistFile(records + "我的录像.flv"));
    CControlUI* tile = VideoTile(id);
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->GetText(), "我的录像");
    EXPECT_EQ(Panel().GetRecordingTile(0), nullptr);
    auto* item = static_cast<CTileListItemUI*>(tile->GetInterface("TileListItem"));
    EXPECT_TRUE(HasIcon(item, recordList->GetRecordThumbnail(0, id))) << "the final thumbnail: " << item->GetForeImage();
    EXPECT_FALSE(recordList->GetRecordThumbnail(0, id).empty());

    // An older recording: no rename bar; played to the end it returns to the
    // stopped look, a seek while paused does nothing; the caption's close
    // only closes.
    bool bar = true;
    int result = 0;
    InPreview(tile, [&](CRecordPreview& dlg) {
        bar = dlg.FindControl("horizontallayoutRename") != nullptr;
        const HWND h = dlg.GetHWND();
        auto* video = static_cast<CControlVideoShow*>(dlg.FindControl("previewVideShow")->GetInterface("ControlVideoShow"));
        auto* position = static_cast<CSliderUI*>(dlg.FindControl("PlayerPosition")->GetInterface("Slider"));
        auto* preview = KernelModule<IDataPreview>();
        // About two seconds: the whole seconds depend on the frames encoded.
        const int duration = dlg.GetDuration();
        EXPECT_GE(duration, 1);
        EXPECT_LE(duration, 3);
        char total[16];
        std::snprintf(total, sizeof total, "00:00:%02d", duration);
        EXPECT_EQ(dlg.FindControl("TotalPos")->GetText(), total);
        ClickIn(h, "btnPlayMedia");
        EXPECT_EQ(dlg.GetPlayState(), 0);
        EXPECT_TRUE(PumpUntil([&] { return video->HasPicture(); })) << "the worker's frames reach the picture";
        // Paused: moving the position slider does not seek.
        ClickIn(h, "btnPauseMedia");
        EXPECT_EQ(dlg.GetPlayState(), 1);
        const int pausedAt = preview->GetPreviewTime();
        position->SetValue(position->GetMaxValue() * 9 / 10);
        dlg.GetPaintManager().SendNotify(position, "valuechanged");
        // Nothing announces that no seek comes: run the messages a while.
        Pump(300);
        EXPECT_EQ(preview->GetPreviewTime(), pausedAt);
        ClickIn(h, "btnPlayMedia");
        EXPECT_TRUE(PumpUntil([&] { return dlg.GetPlayState() == 2; })) << "the end of the recording was never detected";
        auto* playPause = static_cast<CTabLayoutUI*>(dlg.FindControl("tablayoutFoldPlay_Pause")->GetInterface("TabLayout"));
        EXPECT_EQ(playPause->GetCurSel(), 0);
        EXPECT_EQ(dlg.FindControl("CurPos")->GetText(), "00:00:00");
        EXPECT_EQ(position->GetValue(), 0);
        ClickIn(h, "BtnClose");
        result = dlg.GetResult();
    });
    EXPECT_FALSE(bar);
    EXPECT_EQ(result, CRecordPreview::kResultClose);
    EXPECT_TRUE(File::IsExistFile(records + "我的录像.flv"));
    EXPECT_NE(VideoTile(id), nullptr);
}

TEST_F(VideoSrcRecordTest, TheCaptionCloseKeepsAFreshRecordingAndDeletingRecyclesIt) {
    Open();
    std::string path;
    int result = 0;
    std::vector<std::string> tipTexts;
    const int id = RecordVideo(1, [&](CRecordPreview& dlg) {
        path = dlg.GetFilePath();
        EXPECT_TRUE(File::IsExistFile(path));
        ClickIn(dlg.GetHWND(), "BtnClose");
        result = dlg.GetResult();
    });
    ASSERT_NE(id, -1);
    EXPECT_EQ(result, CRecordPreview::kResultClose);
    EXPECT_TRUE(File::IsExistFile(path)) << "the file is kept";
    CControlUI* tile = VideoTile(id);
    ASSERT_NE(tile, nullptr) << "and its tile";
    EXPECT_EQ(recordList->GetRecordPath(0, id), path);

    // A rename the record folder cannot take: a tip names it, nothing moves.
    const char* unwritable = "Z:\\proc\\";
    if (Dir::IsDirectory(unwritable)) {
        const std::string name = tile->GetText();
        TipWatcher tips;
        const int second = RecordVideo(1, [&](CRecordPreview& dlg) {
            AfxGetConfigManager()->SetString("VSRecord", "VideoDir", unwritable, 0);
            dlg.FindControl("editpreviewRename")->SetText("新名字");
            ClickIn(dlg.GetHWND(), "btnSave");
        });
        EXPECT_TRUE(PumpUntil([&] { return !tips.texts.empty(); }));
        AfxGetConfigManager()->SetString("VSRecord", "VideoDir", records.c_str(), 0);
        ASSERT_EQ(tips.texts.size(), 1u);
        EXPECT_NE(tips.texts[0].find("无法写入"), std::string::npos) << tips.texts[0];
        EXPECT_NE(tips.texts[0].find(unwritable), std::string::npos) << tips.texts[0];
        const std::string kept = recordList->GetRecordPath(0, second);
        EXPECT_TRUE(File::IsExistFile(kept));
        EXPECT_EQ(File::GetParentPath(kept), records);
        EXPECT_EQ(VideoTile(second)->GetText(), File::GetFileNameWithoutExtension(kept));
        EXPECT_EQ(tile->GetText(), name);
    }

    // The preview's delete moves the file to the recycle bin.
    InPreview(tile, [](CRecordPreview& dlg) { ClickIn(dlg.GetHWND(), "btnDelete"); });
    EXPECT_FALSE(File::IsExistFile(path));
    EXPECT_TRUE(mediatest::InRecycleBin(File::GetFileName(path)));
    EXPECT_EQ(VideoTile(id), nullptr);
    EXPECT_EQ(recordList->GetRecordPath(0, id), "");
}

TEST(RecordPreviewRules, ARenameIsRefusedWhenEmptyForbiddenReservedOrTaken) {
    const std::string dir = FreshUserFolders("vsrc_rename");
    ASSERT_TRUE(WritePicture(dir + "taken.jpg", 8, 8, 0xFF000000));
    const std::string current = dir + "0101_0000000000.jpg";
    EXPECT_EQ(CRecordPreview::RenameProblem("new name", dir, ".jpg", current), "");
    EXPECT_EQ(CRecordPreview::RenameProblem("0101_0000000000", dir, ".jpg", current), "") << "unchanged";
    EXPECT_NE(CRecordPreview::RenameProblem("", dir, ".jpg", current), "");
    EXPECT_NE(CRecordPreview::RenameProblem("   ", dir, ".jpg", current), "");
    for (const char* bad : {"a\\b", "a/b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b", "ends.", "CON", "lpt1.x"})
        EXPECT_NE(CRecordPreview::RenameProblem(bad, dir, ".jpg", current), "") << bad;
    EXPECT_NE(CRecordPreview::RenameProblem("TAKEN", dir, ".jpg", current), "") << "Windows names ignore case";
    EXPECT_EQ(CRecordPreview::RenameProblem("taken", dir, ".flv", current), "") << "another extension is free";

    // A photo saved without a picture extension takes the chosen format's.
    EXPECT_EQ(CRecordPreview::SaveAsPath(CRecordPreview::kPhoto, "C:\\a\\p", 3), "C:\\a\\p.png");
    EXPECT_EQ(CRecordPreview::SaveAsPath(CRecordPreview::kPhoto, "C:\\a\\p.v1", 2), "C:\\a\\p.v1.jpg");
    EXPECT_EQ(CRecordPreview::SaveAsPath(CRecordPreview::kPhoto, "C:\\a\\p.JPEG", 3), "C:\\a\\p.JPEG");
    EXPECT_EQ(CRecordPreview::SaveAsPath(CRecordPreview::kVideo, "C:\\a\\v", 1), "C:\\a\\v");
}

// Chooses files in the next open-file dialog as a user does (the folder,
// Open, the quoted names, Open), a timer tick at a time so it runs inside
// the modal loop. A message box of the dialog, or a step that has not come
// after 30 s, cancels the dialog: Chose() is then false.
class OpenFileDriver {
public:
    OpenFileDriver(const std::string& folder, const std::vector<std::string>& names)
        : m_folder(String2WString(folder)), m_deadline(GetTickCount() + 30000) {
        while (!m_folder.empty() && m_folder.back() == L'\\') m_folder.pop_back();
        for (const std::string& n : names) m_names += L"\"" + String2WString(n) + L"\" ";
        s_self = this;
        m_timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { s_self->Tick(); });
    }
    ~OpenFileDriver() {
        KillTimer(nullptr, m_timer);
        s_self = nullptr;
    }
    // The dialog closed after it was given the names.
    bool Chose() const { return m_state == kClosing && !IsWindow(m_dialog); }

private:
    enum State { kFindDialog, kInFolder, kClosing, kGaveUp };
    static const int kFileNameBox = 0x47C;   // cmb13, the file-name box of the common dialog

    // A visible dialog of this thread with the file-name box (the open-file
    // dialog) or without it (a message box).
    static HWND FindDialog(bool fileDialog) {
        std::pair<bool, HWND> s{fileDialog, nullptr};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND h, LPARAM lp) -> BOOL {
                auto* s = reinterpret_cast<std::pair<bool, HWND>*>(lp);
                wchar_t cls[8] = {};
                GetClassNameW(h, cls, 8);
                if (IsWindowVisible(h) && wcscmp(cls, L"#32770") == 0 && (GetDlgItem(h, kFileNameBox) != nullptr) == s->first)
                    s->second = h;
                return !s->second;
            },
            reinterpret_cast<LPARAM>(&s));
        return s.second;
    }
    void Type(const std::wstring& text) {
        SetDlgItemTextW(m_dialog, kFileNameBox, text.c_str());
        PostMessageW(GetDlgItem(m_dialog, IDOK), BM_CLICK, 0, 0);
    }
    bool InFolder() {
        wchar_t path[MAX_PATH * 2] = {};
        SendMessageW(m_dialog, CDM_GETFOLDERPATH, MAX_PATH * 2, reinterpret_cast<LPARAM>(path));
        std::wstring p = path;
        while (!p.empty() && p.back() == L'\\') p.pop_back();
        return lstrcmpiW(p.c_str(), m_folder.c_str()) == 0;
    }
    void Tick() {
        if (m_state == kGaveUp || (m_dialog && !IsWindow(m_dialog))) return;
        HWND box = m_dialog ? FindDialog(false) : nullptr;
        if (box || static_cast<int>(GetTickCount() - m_deadline) > 0) {
            if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
            if (m_dialog) PostMessageW(m_dialog, WM_COMMAND, IDCANCEL, 0);
            m_state = kGaveUp;
        } else if (m_state == kFindDialog && (m_dialog = FindDialog(true)) != nullptr) {
            Type(m_folder);
            m_state = kInFolder;
        } else if (m_state == kInFolder && InFolder()) {
            Type(m_names);
            m_state = kClosing;
        }
    }

    static OpenFileDriver* s_self;
    std::wstring m_folder, m_names;
    DWORD m_deadline;
    UINT_PTR m_timer = 0;
    HWND m_dialog = nullptr;
    State m_state = kFindDialog;
};
OpenFileDriver* OpenFileDriver::s_self = nullptr;

}  // namespace

// Files chosen in the real open-file dialog join the media list; a recording
// of the camera joins it through its tile's menu, and a snapshot, its
// preview showing the picture, joins the slide list.
TEST_F(VideoSrcRecordTest, FilesFromTheOpenFileDialogARecordingAndASnapshotJoinTheLists) {
    // A tip (a failure the window reports) is closed and fails the case.
    TipWatcher tips;
    const std::string clips = home + "片段\\";
    Dir::MakeDir(clips);
    for (const char* n : {"一.flv", "二.flv", "三.flv"}) ASSERT_TRUE(mediatest::RecordPattern(clips + n, 160, 120, 20)) << n;
    ASSERT_TRUE(devices->AddCamera(L"ZxTestCamera0", L"USB 测试摄像头"));
    // The camera module lists the cameras when it loads, as at a program start.
    LoadKernel(true);
    Open();

    {
        OpenFileDriver chooser(clips, {"一.flv", "二.flv", "三.flv"});
        w->Click("VSMediaFile_btnAdd");
        EXPECT_TRUE(chooser.Chose()) << "the dialog took the three names";
    }
    ASSERT_TRUE(PumpUntil([&] { return Count("VSMediaFile_tilelayout") == 3; }));
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i) names.insert(TileAt(Layout("VSMediaFile_tilelayout"), i)->GetText());
    EXPECT_EQ(names, (std::set<std::string>{"一", "二", "三"}));

    w->Click("btnOpenCamera");
    ASSERT_TRUE(PumpUntil([&] { return Page("tablayoutbtnCameraOpen_Close") == 1; })) << "the camera opened";
    const int id = RecordVideo(1, [](CRecordPreview&) {});
    ASSERT_NE(VideoTile(id), nullptr);
    TileMenu(VideoTile(id), 2);   // "添加到视频列表"
    ASSERT_TRUE(PumpUntil([&] { return Count("VSMediaFile_tilelayout") == 4; }));
    EXPECT_EQ(media->GetItemPath(static_cast<int>(TileAt(Layout("VSMediaFile_tilelayout"), 0)->GetTag())),
              recordList->GetRecordPath(ZXV_RECORD_VIDEO, id))
        << "a new file goes to the front";

    ShowList("optionVideoSrcMyPhoto");
    w->Click("VSMyPhoto_btnSnapshot");
    ASSERT_TRUE(PumpUntil([&] { return Count("VSMyPhoto_tilelayout") == 1; }));
    CControlUI* photo = TileAt(Layout("VSMyPhoto_tilelayout"), 0);
    InPreview(photo, [&](CRecordPreview& dlg) {
        EXPECT_EQ(dlg.FindControl("previewPlayControl"), nullptr) << "no play controls for a photo";
        auto* video = static_cast<CControlVideoShow*>(dlg.FindControl("previewVideShow")->GetInterface("ControlVideoShow"));
        EXPECT_TRUE(video->HasPicture());
        ClickIn(dlg.GetHWND(), "btnClose");
    });
    TileMenu(photo, 2);   // "添加到图片列表"
    ShowList("optionVideoSrcImage");
    ASSERT_TRUE(PumpUntil([&] { return Count("VSSlide_tilelayout") == 1; }));
    EXPECT_EQ(slides->GetItemPath(static_cast<int>(TileAt(Layout("VSSlide_tilelayout"), 0)->GetTag())),
              recordList->GetRecordPath(ZXV_RECORD_IMAGE, static_cast<int>(photo->GetTag())));
    w->Click("btnCloseCamera");
    EXPECT_EQ(tips.texts, std::vector<std::string>{}) << "no failure reported by the window";
}
