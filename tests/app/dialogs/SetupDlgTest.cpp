// The setup dialog with its shipped skin: close options, the Run value, the
// record folders, the folder browser, and the voice page with the kernel loaded.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

#include "DialogsTestSupport.h"
#include "IDataAudioProcess.h"
#include "IDataMediaList.h"
#include "IDataRecordList.h"
#include "KernelModules.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVSetupDlg.h"

using namespace DuiLib;
using namespace dlgtest;

namespace {

// The setup dialog with the folder browser replaced by the test's answer.
class ScriptedSetupDlg : public CZxVSetupDlg {
public:
    std::string answer;
    bool answerChosen = true;
    int browsed = 0;
    std::string lastTitle, lastStart;

protected:
    std::string BrowseForFolder(const std::string& title, const std::string& start, bool& chosen) override {
        ++browsed;
        lastTitle = title;
        lastStart = start;
        chosen = answerChosen;
        return answer;
    }
};

int ConfigInt(const char* section, const char* key, int missing = -100) {
    int v = missing;
    AfxGetConfigManager()->GetInt(section, key, v);
    return v;
}

std::string ConfigString(const char* section, const char* key) {
    std::string v = "<missing>";
    AfxGetConfigManager()->GetString(section, key, v);
    return v;
}

bool IsSelected(duitest::WindowDriver& w, const char* option) {
    auto* o = w.FindAs<COptionUI>(option, "Option");
    return o && o->IsSelected();
}

TEST(SetupDlg, CloseOptionsShowAndWriteTheSetting) {
    const std::string home = FreshUserFolders("setup_close");
    {
        OpenDialog<CZxVSetupDlg> w;
        EXPECT_TRUE(IsSelected(w, "setupBasic_checkCloseHide")) << "hide to the tray when nothing is stored";
        w.Click("setupBasic_checkCloseExit");
        EXPECT_EQ(ConfigInt("SetupBasic", "Close"), 0);
        EXPECT_NE(zxtest::ReadFile(home + "ZxVCam.ini").find("Close=0"), std::string::npos) << "written at once";
        EXPECT_TRUE(IsSelected(w, "setupBasic_checkCloseExit"));
        w.Click("setupBasic_checkCloseHide");
        EXPECT_EQ(ConfigInt("SetupBasic", "Close"), 1);
        w.Click("setupBasic_checkCloseExit");
    }
    OpenDialog<CZxVSetupDlg> again;
    EXPECT_TRUE(IsSelected(again, "setupBasic_checkCloseExit")) << "the stored choice is shown";
    // The pages switch with their options.
    auto* tab = again.FindAs<CTabLayoutUI>("tabsetupmain", "TabLayout");
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetCurSel(), 0);
    again.Click("optionsetupVoice");
    EXPECT_EQ(tab->GetCurSel(), 1);
    again.Click("optionsetupBasic");
    EXPECT_EQ(tab->GetCurSel(), 0);
}

// The program's Run value of the current user ("<none>" when absent); set, or removed by nullptr.
std::wstring RunValue() {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, StartWithWindows::kRunKey, L"ZxVCam", RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return data;
}
void SetRunValue(const wchar_t* value) {
    if (!value) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, StartWithWindows::kRunKey, L"ZxVCam");
        return;
    }
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, StartWithWindows::kRunKey, L"ZxVCam", REG_SZ, value, bytes), ERROR_SUCCESS);
}

TEST(SetupDlg, StartWithWindowsWritesRemovesAndShowsTheRunValue) {
    FreshUserFolders("setup_start");
    SetRunValue(nullptr);
    const char kStart[] = "setupBasic_checkStartWithWindows";
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    {
        OpenDialog<CZxVSetupDlg> w;
        EXPECT_FALSE(IsSelected(w, kStart)) << "off by default";
        w.Click(kStart);
        EXPECT_TRUE(IsSelected(w, kStart));
        EXPECT_EQ(RunValue(), L"\"" + std::wstring(exe) + L"\" /tray") << "this program file, quoted, hidden in the tray";
    }
    SetRunValue(nullptr);  // removed by another tool
    {
        OpenDialog<CZxVSetupDlg> w;
        EXPECT_FALSE(IsSelected(w, kStart)) << "the registry is the truth";
    }
    SetRunValue(L"\"C:\\ZxVCam\\ZxVCam.exe\" /tray");
    {
        OpenDialog<CZxVSetupDlg> w;
        EXPECT_TRUE(IsSelected(w, kStart)) << "an entry made elsewhere shows ticked";
        w.Click(kStart);
        EXPECT_FALSE(IsSelected(w, kStart));
        EXPECT_EQ(RunValue(), L"<none>") << "unticking removes the value";
    }
    SetRunValue(nullptr);  // a later prefix start must not run anything
}

// The kernel loaded into the test program, as the program loads it.
class WithKernel : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        home = FreshUserFolders("setup_" + name);
        ASSERT_TRUE(devices.Ok());
        ASSERT_TRUE(devices.AddMicrophone(L"ZxTestMic0", L"测试麦克风"));
        ASSERT_TRUE(devices.AddMicrophone(L"ZxTestMic1", L"第二麦克风"));
        ASSERT_TRUE(AfxGetDataDllManager()->LoadDataLibraries(0));
        records = KernelModule<IDataRecordList>();
        audio = KernelModule<IDataAudioProcess>();
        media = KernelModule<IDataMediaList>();
        ASSERT_TRUE(records && audio && media);
    }
    void TearDown() override {
        AfxGetDataDllManager()->UnloadDataLibraries();
        ZxConfigSetFile(nullptr);
        CoUninitialize();
    }
    std::string home;
    tdev::TestDevices devices;
    IDataRecordList* records = nullptr;
    IDataAudioProcess* audio = nullptr;
    IDataMediaList* media = nullptr;
};

TEST_F(WithKernel, RecordFoldersAreChosenCheckedAndStored) {
    const std::string videoDir = zxtest::MakeTempDir("录像");
    AfxGetConfigManager()->SetString("VSRecord", "VideoDir", videoDir.c_str(), 0);
    OpenDialog<ScriptedSetupDlg> w;
    CControlUI* videoEdit = w.Find("setupBasic_editRecordSavePathVideo");
    CControlUI* audioEdit = w.Find("setupBasic_editRecordSavePathAudio");
    CControlUI* imageEdit = w.Find("setupBasic_editRecordSavePathImage");
    ASSERT_TRUE(videoEdit && audioEdit && imageEdit);
    EXPECT_EQ(videoEdit->GetText(), videoDir) << "the stored folder";
    EXPECT_EQ(audioEdit->GetText(), records->GetDefaultRecordDir(1)) << "the recorder's default folder";
    EXPECT_EQ(imageEdit->GetText(), records->GetDefaultRecordDir(2));
    EXPECT_FALSE(imageEdit->GetText().empty());

    // A folder chosen: stored with its trailing backslash and shown.
    const std::string chosen = zxtest::MakeTempDir("照片");
    w.dlg.answer = chosen.substr(0, chosen.size() - 1);
    w.Click("setupBasic_btnRecordSavepathImage");
    EXPECT_EQ(w.dlg.browsed, 1);
    EXPECT_EQ(w.dlg.lastTitle, "选择一个目录");
    EXPECT_EQ(w.dlg.lastStart, records->GetDefaultRecordDir(2)) << "the browser starts at the folder shown";
    EXPECT_EQ(ConfigString("VSRecord", "ImageDir"), chosen);
    EXPECT_EQ(imageEdit->GetText(), chosen);

    // Cancelled: nothing changes and nothing is said.
    w.dlg.answerChosen = false;
    w.dlg.answer = zxtest::MakeTempDir("other");
    w.Click("setupBasic_btnRecordSavepathVideo");
    EXPECT_EQ(ConfigString("VSRecord", "VideoDir"), videoDir);
    EXPECT_EQ(videoEdit->GetText(), videoDir);

    // An item that is no folder on disk: the message box, and no change.
    w.dlg.answerChosen = true;
    w.dlg.answer = "";
    std::wstring boxText;
    {
        WhenShown box(L"#32770", L"维莫提示", [&](HWND h) {
            boxText = MessageBoxText(h);
            PostMessageW(h, WM_COMMAND, IDOK, 0);
        });
        w.Click("setupBasic_btnRecordSavepathVideo");
        EXPECT_TRUE(box.Done());
    }
    EXPECT_EQ(boxText, L"没有选中一个本地目录, 请重新选择");
    EXPECT_EQ(ConfigString("VSRecord", "VideoDir"), videoDir);

    // Folders nobody can write to: the message tip, nothing stored. Under
    // Wine the Unix /proc (Z:\proc) refuses new files even to root.
    std::vector<std::string> refused = {chosen + "gone\\"};
    if (Dir::IsDirectory("Z:\\proc\\")) refused.push_back("Z:\\proc");
    for (const std::string& folder : refused) {
        SCOPED_TRACE(folder);
        w.dlg.answer = folder;
        TipWatcher tips;
        w.Click("setupBasic_btnRecordSavepathAudio");
        EXPECT_EQ(tips.texts, std::vector<std::string>{"无法写入该目录, 请选择其他目录"});
        EXPECT_EQ(ConfigString("VSRecord", "AudioDir"), "<missing>");
        EXPECT_EQ(audioEdit->GetText(), records->GetDefaultRecordDir(1));
    }
    EXPECT_NE(ReadProgramLog().find("is not writable"), std::string::npos);
}

TEST_F(WithKernel, VoicePageListsTheDevicesAndSelectsTheCurrentOnes) {
    const int second = audio->FindInputDevByName("第二麦克风");
    ASSERT_GE(second, 0);
    audio->SetInputDev(second);
    const int outputs = static_cast<int>(waveOutGetNumDevs());
    ASSERT_GE(outputs, 1) << "the null sound device gives one wave-out device";
    {
        OpenDialog<CZxVSetupDlg> w;
        auto* input = w.FindAs<CComboUI>("setupVoice_comboAudioInput", "Combo");
        auto* output = w.FindAs<CComboUI>("setupVoice_comboAudioOutput", "Combo");
        ASSERT_TRUE(input && output);
        EXPECT_EQ(input->GetCount(), 0) << "filled when the page is first shown";
        w.Click("optionsetupVoice");
        std::vector<std::string> names;
        for (int i = 0; i < input->GetCount(); ++i) names.push_back(input->GetItemAt(i)->GetText());
        EXPECT_NE(std::find(names.begin(), names.end(), "测试麦克风"), names.end());
        EXPECT_NE(std::find(names.begin(), names.end(), "第二麦克风"), names.end());
        EXPECT_EQ(input->GetText(), "第二麦克风") << "the current microphone is selected";
        ASSERT_EQ(output->GetCount(), outputs);
        for (int i = 0; i < outputs; ++i) {
            std::string name;
            ASSERT_TRUE(media->GetOutputDeviceName(i, name));
            EXPECT_EQ(output->GetItemAt(i)->GetText(), name);
        }
        EXPECT_EQ(output->GetCurSel(), 0) << "the system's default device: the first one";

        // Choosing in the lists sets and stores the devices at once.
        ASSERT_TRUE(input->SelectItemByText("测试麦克风", true));
        EXPECT_EQ(audio->GetInputDev(), audio->FindInputDevByName("测试麦克风"));
        EXPECT_EQ(ConfigString("AudioSetup", "AudioInputDev"), "测试麦克风");
        // (Wine's null sound device is one device: chosen again all the same.)
        output->SelectItem(-1, false);
        ASSERT_TRUE(output->SelectItem(outputs - 1, true));
        EXPECT_EQ(media->GetOutputDevice(), outputs - 1);
        std::string last;
        media->GetOutputDeviceName(outputs - 1, last);
        EXPECT_EQ(ConfigString("AudioSetup", "AudioOutputDev"), last);
    }
    OpenDialog<CZxVSetupDlg> again;
    again.Click("optionsetupVoice");
    EXPECT_EQ(again.FindAs<CComboUI>("setupVoice_comboAudioInput", "Combo")->GetText(), "测试麦克风");
    EXPECT_EQ(again.FindAs<CComboUI>("setupVoice_comboAudioOutput", "Combo")->GetCurSel(), outputs - 1);
}

TEST(SetupDlg, TheSystemFolderBrowserStartsAtTheFolderShownAndReturnsIt) {
    FreshUserFolders("setup_browser");
    // A folder of the prefix's own drive: Wine's browser cannot open the
    // folder tree of Z: (the Unix root), so it could not select a folder there.
    const std::string start = "C:\\windows\\";
    OpenDialog<CZxVSetupDlg> w;
    WhenShown browser(L"#32770", L"", [](HWND h) { PostMessageW(h, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(w.dlg.SelectFolder("选择一个目录", start), start);
    EXPECT_TRUE(browser.Done());
}

}  // namespace
