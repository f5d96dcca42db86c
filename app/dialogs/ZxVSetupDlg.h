// The setup dialog: the language the program speaks, what the close button
// does, whether the program starts with Windows, where recordings, sound
// recordings and snapshots are saved, and which microphone and playback
// device are used. Every change takes effect and is stored at once; there is
// no OK or Cancel.
#pragma once

#include <string>

#include "DuiLib/UIlib.h"

// Starting with Windows: a value of the current user's Run key that starts
// this program file with the tray switch, so it comes up hidden in the tray
// and publishes as usual. The registry is the truth: a value removed by
// another tool reads as off.
namespace StartWithWindows {

extern const wchar_t kRunKey[];     // under HKEY_CURRENT_USER
extern const wchar_t kValueName[];  // L"ZxVCam"
extern const wchar_t kTraySwitch[]; // L"/tray"

// Whether the Run value exists.
bool IsOn();
// Writes the value (the quoted path of this program file, then the switch)
// or removes it. False when the registry refused; the reason is logged.
bool Set(bool on);
// Whether this process was started with the tray switch.
bool StartedInTray();

}  // namespace StartWithWindows

class CZxVSetupDlg : public DuiLib::CZxBaseDialog {
public:
    CZxVSetupDlg();

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The folder picker: the system's folder browser over this window with
    // the title, starting at start. Returns the chosen folder with a
    // trailing backslash; "" when the user cancelled or chose an item that
    // is no folder on disk (the user is told so in a message box).
    std::string SelectFolder(const std::string& title, const std::string& start);

protected:
    // The system's folder browser itself: the file-system path of the chosen
    // item ("" for an item without one, such as "Computer"); chosen is false
    // when the user cancelled.
    virtual std::string BrowseForFolder(const std::string& title, const std::string& start, bool& chosen);

private:
    void OnBasicNotify(DuiLib::TNotifyUI& msg);
    void OnVoiceNotify(DuiLib::TNotifyUI& msg);
    // Lets the user choose the folder of one kind of recording (0 video,
    // 1 sound, 2 snapshots) and stores it.
    void ChooseRecordDir(int kind);
    void FillVoicePage();
    void SelectPage(int page);

    bool m_bVoiceLoaded = false;
};
