// The main window: the live preview, the controls that open the camera,
// record, snap and drive playback, the function area with its panels, the
// tray icon and its menu. It holds no media logic: every action is a call
// on a kernel data module fetched by name at the moment of use, and every
// change in the kernel comes back through the four observers, which the
// message manager calls on this window's thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>

#include "DealNotifyFunDlg.h"
#include "DialogBuilderCallbackEx.h"
#include "DuiLib/UIlib.h"
#include "IDataCamera.h"
#include "IDataKernal.h"
#include "IDataMediaList.h"
#include "IDataRecordList.h"
#include "IDataVideoMgr.h"
#include "ObserverBase.h"
#include "SkinList.h"
#include "WndVideoShow.h"
#include "ZxAudioEffectDlg.h"

class CZxVCamDlg : public DuiLib::CZxBaseDialog,
                   public IDataRecordListObserver,
                   public IDataMediaListObserver,
                   public IDataCameraObserver,
                   public IDataVideoMgrObserver,
                   public IDataKernalObserver {
public:
    // The tray icon's id and the message it sends the window.
    static const UINT kTrayIconId = 109;
    static const UINT kTrayMessage = 2557;
    // The window property that marks the main window for a second start,
    // set once the window is made and about to be shown.
    static const wchar_t* const kWindowMark;   // L"ZxVCamMainWnd"

    CZxVCamDlg();
    ~CZxVCamDlg() override;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Observer reactions (on this window's thread).
    void OnCameraState(bool open) override;
    void OnStreamTypeChanged(int oldType, int newType) override;
    void OnRecordState(eZXVRecordState state, eZXVRecordType type) override;
    void OnPosition(int id, double seconds) override;
    void OnPlaying(int id) override;
    void OnState(eMediaFileListPlayState state) override;
    void OnFileSetAside() override;

    // Shows the window from the tray (or wherever it is) and brings it to
    // the front.
    void ShowMainWindow();
    // The tray menu at the cursor: its first entry shows the window, the
    // second ("退出", exit) closes it, which ends the program.
    void ShowTrayMenu();

    CSkinList& GetSkinList() { return m_skins; }
    CDealNotifyFunDlg& GetFunDlg() { return m_funDlg; }
    CZxAudioEffectDlg& GetAudioEffectDlg() { return m_audioEffect; }
    CWndVideoShow& GetVideoShow() { return m_wndVideoShow; }
    bool HasTrayIcon() const { return m_tray && m_tray->hIcon; }
    std::wstring TrayTip() const { return m_tray ? m_tray->szTip : L""; }
    // "主页": opens the help page installed with the program.
    void OpenHelpPage();
    // "反馈": writes the feedback zip into the folder (the desktop when
    // empty), opens the folder and says in the message tip what to send.
    // The zip's path, or empty (the tip then says what failed).
    std::string MakeFeedback(const std::string& folder = std::string());

    // Why the window could not be made (its skin missing or damaged); empty
    // when it was made or Windows itself refused the window.
    const std::string& CreateFailure() const { return m_createFailure; }

private:
    void AddTrayIcon();
    void RemoveTrayIcon();
    void ShowTip(const char* text);
    // One message tip for each list file the kernel could not read and set
    // aside, naming the list and its copy; each is told once.
    void TellSetAsideFiles();
    // Selects a page of a tab layout by name; a missing layout is skipped.
    void SelectPage(const char* tabLayout, int page);
    void EnableControl(const char* name, bool enable);
    // The playback position slider, value and labels for a position.
    void ShowPosition(int id, double seconds);
    void OnSliderValue(const std::string& name, int value);

    CDialogBuilderCallbackEx* m_pCallback;
    CZxAudioEffectDlg m_audioEffect;
    CWndVideoShow m_wndVideoShow;
    CDealNotifyFunDlg m_funDlg;
    DuiLib::CSliderUI* m_pPlayerPosition = nullptr;
    DuiLib::CControlUI* m_pCurPos = nullptr;
    DuiLib::CControlUI* m_pTotalPos = nullptr;
    HICON m_hIcon = nullptr;
    CSkinList m_skins;
    std::unique_ptr<NOTIFYICONDATAW> m_tray;
    std::string m_createFailure;
    bool m_created = false;
    // Attached while the window exists (from OnCreate to OnDestroy).
    std::optional<CObserverLinks<IDataRecordListObserver, IDataMediaListObserver, IDataCameraObserver,
                                 IDataVideoMgrObserver, IDataKernalObserver>>
        m_observers;
    bool m_tellingSetAside = false;
};

// The program's one main window, for the tray and start-up code; null
// before it is made and after it is gone.
extern CZxVCamDlg* g_pMainDlg;
