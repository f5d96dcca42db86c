#include "ZxVSetupDlg.h"

#include <shellapi.h>
#include <shlobj.h>

#include "AppLanguage.h"
#include "DialogCommon.h"
#include "IDataAudioProcess.h"
#include "IDataMediaList.h"
#include "IDataRecordList.h"
#include "KernelModules.h"
#include "SettingKeys.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

const char kStartOption[] = "setupBasic_checkStartWithWindows";
// Its items in Lang::Choice order: as Windows, Chinese, English.
const char kLanguageCombo[] = "setupBasic_comboLanguage";

// The three kinds of recording (in eZXVRecordType order): the edit box and
// button of each.
struct RecordDirRow {
    const char* edit;
    const char* button;
};
const RecordDirRow kRecordDirs[3] = {
    {"setupBasic_editRecordSavePathVideo", "setupBasic_btnRecordSavepathVideo"},
    {"setupBasic_editRecordSavePathAudio", "setupBasic_btnRecordSavepathAudio"},
    {"setupBasic_editRecordSavePathImage", "setupBasic_btnRecordSavepathImage"},
};

// Starts the folder browser at the folder the user had, when it exists.
int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

namespace StartWithWindows {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"ZxVCam";
const wchar_t kTraySwitch[] = L"/tray";

bool IsOn() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    const bool present = RegQueryValueExW(key, kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}

bool Set(bool on) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
        if (on) {
            wchar_t path[MAX_PATH * 2] = {};
            const DWORD n = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
            if (n == 0 || n >= ARRAYSIZE(path)) {
                rc = ERROR_INSUFFICIENT_BUFFER;
            } else {
                const std::wstring command = L"\"" + std::wstring(path) + L"\" " + kTraySwitch;
                rc = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
            }
        } else {
            rc = RegDeleteValueW(key, kValueName);
            if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    if (rc != ERROR_SUCCESS)
        ZxDlg::Log(2, "CZxVSetupDlg", "the Run entry could not be %s (error %ld)", on ? "written" : "removed",
                   static_cast<long>(rc));
    return rc == ERROR_SUCCESS;
}

bool StartedInTray() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    bool tray = false;
    for (int i = 1; i < argc && !tray; ++i) tray = lstrcmpiW(argv[i], kTraySwitch) == 0;
    LocalFree(argv);
    return tray;
}

}  // namespace StartWithWindows

CZxVSetupDlg::CZxVSetupDlg() {
    SetWindowClassName("CZxVSetupDlg");
    SetXMLPath(ZxDlg::SkinFile("ZxVSetup.xml"));
}

LRESULT CZxVSetupDlg::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    ZxDlg::ApplyCommonLook(*this);

    const char* option = Settings::GetInt(Settings::kCloseToTray, 1) != 0 ? "setupBasic_checkCloseHide" : "setupBasic_checkCloseExit";
    if (auto* opt = ZxDlg::FindAs<DuiLib::COptionUI>(*this, option, "Option")) opt->Selected(true, false);
    if (auto* start = ZxDlg::FindAs<DuiLib::COptionUI>(*this, kStartOption, "Option"))
        start->Selected(StartWithWindows::IsOn(), false);
    if (auto* language = ZxDlg::FindAs<DuiLib::CComboUI>(*this, kLanguageCombo, "Combo"))
        language->SelectItem(static_cast<int>(AppLanguage::StoredChoice()), false);

    auto* records = KernelModule<IDataRecordList>();
    for (int kind = 0; kind < 3; ++kind) {
        const std::string def = records ? records->GetDefaultRecordDir(kind) : std::string();
        if (DuiLib::CControlUI* edit = FindControl(kRecordDirs[kind].edit))
            edit->SetText(Settings::GetString(Settings::kRecordDir[kind], def));
    }
    return res;
}

void CZxVSetupDlg::Notify(DuiLib::TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    if (name.compare(0, 11, "setupBasic_") == 0) {
        OnBasicNotify(msg);
    } else if (name.compare(0, 11, "setupVoice_") == 0) {
        OnVoiceNotify(msg);
    } else if (msg.sType == "click") {
        if (name == "BtnClose") Close(IDOK);
        else if (name == "optionsetupBasic") SelectPage(0);
        else if (name == "optionsetupVoice") {
            if (!m_bVoiceLoaded) FillVoicePage();
            SelectPage(1);
        }
    }
}

void CZxVSetupDlg::SelectPage(int page) {
    if (auto* tab = ZxDlg::FindAs<DuiLib::CTabLayoutUI>(*this, "tabsetupmain", "TabLayout")) tab->SelectItem(page);
}

void CZxVSetupDlg::OnBasicNotify(DuiLib::TNotifyUI& msg) {
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == "itemselect" && name == kLanguageCombo) {
        const int index = static_cast<int>(msg.wParam);
        if (index >= 0 && index <= static_cast<int>(Lang::Choice::English))
            AppLanguage::Apply(static_cast<Lang::Choice>(index));
        return;
    }
    if (msg.sType != "click") return;
    if (name == "setupBasic_checkCloseHide") {
        Settings::SetInt(Settings::kCloseToTray, 1);
    } else if (name == "setupBasic_checkCloseExit") {
        Settings::SetInt(Settings::kCloseToTray, 0);
    } else if (name == kStartOption) {
        auto* start = static_cast<DuiLib::COptionUI*>(msg.pSender->GetInterface("Option"));
        if (!start) return;
        if (!StartWithWindows::Set(start->IsSelected())) {
            // The tick keeps showing what Windows will really do.
            start->Selected(StartWithWindows::IsOn(), false);
            ZxDlg::ShowMsgTip(m_hWnd, Lang::TextUtf8("ui.setup.startfailed"));
        }
    } else {
        for (int kind = 0; kind < 3; ++kind)
            if (name == kRecordDirs[kind].button) ChooseRecordDir(kind);
    }
}

void CZxVSetupDlg::ChooseRecordDir(int kind) {
    const RecordDirRow& row = kRecordDirs[kind];
    DuiLib::CControlUI* edit = FindControl(row.edit);
    const std::string folder =
        SelectFolder(Lang::TextUtf8("ui.setup.choosefolder"), edit ? edit->GetText() : std::string());
    if (folder.empty()) return;
    // A folder nobody can write to would make every later recording fail
    // without a word; refuse it now, while the user is looking.
    if (!Dir::IsWritableDir(folder)) {
        ZxDlg::Log(2, "CZxVSetupDlg", "record folder %s is not writable; kept %s", folder.c_str(),
                   edit ? edit->GetText().c_str() : "");
        ZxDlg::ShowMsgTip(m_hWnd, Lang::TextUtf8("ui.setup.notwritable"));
        return;
    }
    Settings::SetString(Settings::kRecordDir[kind], folder);
    if (edit) edit->SetText(folder);
}

std::string CZxVSetupDlg::SelectFolder(const std::string& title, const std::string& start) {
    bool chosen = false;
    std::string path = BrowseForFolder(title, start, chosen);
    if (!chosen) return std::string();
    if (path.empty()) {
        MessageBoxW(m_hWnd, Lang::Text("ui.setup.nofolder").c_str(), Lang::Text("ui.tip.title").c_str(), MB_OK);
        return std::string();
    }
    return Dir::WithSlash(path);
}

std::string CZxVSetupDlg::BrowseForFolder(const std::string& title, const std::string& start, bool& chosen) {
    chosen = false;
    const std::wstring wtitle = Charset::String2WString(title);
    const std::wstring wstart = Charset::String2WString(start);
    BROWSEINFOW bi{};
    bi.hwndOwner = m_hWnd;
    bi.lpszTitle = wtitle.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    if (Dir::IsDirectory(start)) {
        bi.lpfn = BrowseCallback;
        bi.lParam = reinterpret_cast<LPARAM>(wstart.c_str());
    }
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&bi);
    if (!item) return std::string();
    chosen = true;
    wchar_t path[MAX_PATH * 2] = {};
    std::string result;
    if (SHGetPathFromIDListW(item, path)) result = Charset::WString2String(path);
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&malloc)) && malloc) {
        malloc->Free(item);
        malloc->Release();
    }
    return result;
}

void CZxVSetupDlg::OnVoiceNotify(DuiLib::TNotifyUI& msg) {
    if (msg.sType != "itemselect") return;
    auto* combo = static_cast<DuiLib::CComboUI*>(msg.pSender->GetInterface("Combo"));
    DuiLib::CListLabelElementUI* item = combo ? combo->GetSelectedItem() : nullptr;
    if (!item) return;
    const int index = static_cast<int>(item->GetTag());
    const std::string& name = msg.pSender->GetName();
    if (name == "setupVoice_comboAudioInput") {
        if (auto* audio = KernelModule<IDataAudioProcess>()) audio->SetInputDev(index);
    } else if (name == "setupVoice_comboAudioOutput") {
        if (auto* media = KernelModule<IDataMediaList>()) media->SetOutputDevice(index);
    }
}

void CZxVSetupDlg::FillVoicePage() {
    m_bVoiceLoaded = true;
    auto addItem = [](DuiLib::CComboUI* combo, int tag, const std::string& text) {
        auto* item = new DuiLib::CListLabelElementUI;
        item->SetTag(static_cast<UINT_PTR>(tag));
        item->SetText(text);
        item->SetToolTip(text);
        combo->Add(item);
    };

    auto* input = ZxDlg::FindAs<DuiLib::CComboUI>(*this, "setupVoice_comboAudioInput", "Combo");
    auto* audio = KernelModule<IDataAudioProcess>();
    if (input && audio) {
        audio->RefreshInputDevs();
        const AudioInputDevMap* devices = audio->GetInputDevList(nullptr);
        if (devices)
            for (const auto& dev : *devices) addItem(input, dev.second.index, dev.second.name);
        const int current = audio->GetInputDev();
        if (current == -1 || !input->SelectItemByText(audio->GetInputDevNameEx(current), false))
            input->SelectItem(0, false);
    }

    auto* output = ZxDlg::FindAs<DuiLib::CComboUI>(*this, "setupVoice_comboAudioOutput", "Combo");
    auto* media = KernelModule<IDataMediaList>();
    if (output && media) {
        media->RefreshOutputDevices();
        std::string name;
        for (int i = 0; media->GetOutputDeviceName(i, name); ++i) addItem(output, i, name);
        // The device the media list plays to, by its name; the first one
        // when it plays to the system's default.
        std::string current;
        const int dev = media->GetOutputDevice();
        if (dev == -1 || !media->GetOutputDeviceName(dev, current) || !output->SelectItemByText(current, false))
            output->SelectItem(0, false);
    }
}
