#include "DumpReportDlg.h"

#include <shellapi.h>

#include "ZxCrashNames.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"

CDumpReportDlg::CDumpReportDlg(const std::string& argument, const std::vector<std::string>& folders)
    : m_argument(argument) {
    SetWindowClassName("CZxDumpReport");
    SetXMLPath(Dir::GetZxPath(Dir::kPathResource) + "skin\\base\\DumpReport.xml");
    m_stamp = ZxCrash::StampFromArgument(argument);
    m_dumpPath = ZxCrash::FindDump(m_stamp, folders);
    m_state = !m_dumpPath.empty() ? State::kFound : !m_stamp.empty() ? State::kMissing : State::kNoStamp;
}

void CDumpReportDlg::SetText(const char* control, const std::string& text) {
    if (DuiLib::CControlUI* c = FindControl(control)) c->SetText(text);
}

void CDumpReportDlg::Show(const char* control, bool visible) {
    if (DuiLib::CControlUI* c = FindControl(control)) c->SetVisible(visible);
}

LRESULT CDumpReportDlg::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    // The look of the program's dialogs: centred, a layered window with the
    // skin's rounded corners.
    CenterWindow();
    m_pm.SetAlphaTranspanrent(255);
    m_pm.SetLayerAttribute(true);
    m_pm.EnableBlur(true);
    // The window's own text (taskbar, task switcher) is the skin's title.
    if (DuiLib::CControlUI* title = FindControl("title"))
        SetWindowTextW(m_hWnd, Charset::String2WString(title->GetText()).c_str());

    switch (m_state) {
        case State::kFound:
            SetText("label_heading", Lang::TextUtf8("dump.heading"));
            SetText("label_message", Lang::TextUtf8("dump.message"));
            SetText("label_detail", Lang::TextUtf8("dump.detail"));
            SetText("label_dumpname", Lang::FormatUtf8("dump.file", {File::GetFileName(m_dumpPath)}));
            SetText("label_dumpfolder", DumpFolder());
            if (DuiLib::CControlUI* c = FindControl("label_dumpfolder")) c->SetToolTip(DumpFolder());
            break;
        case State::kMissing:
            SetText("label_heading", Lang::TextUtf8("dump.heading"));
            SetText("label_message", Lang::TextUtf8("dump.message"));
            SetText("label_detail", Lang::FormatUtf8("dump.missing", {m_stamp}));
            Show("dumpinfo", false);
            Show("BtnOpenFolder", false);
            break;
        case State::kNoStamp:
            SetText("label_heading", Lang::TextUtf8("dump.none.heading"));
            SetText("label_message", m_argument.empty() ? Lang::TextUtf8("dump.none.noargument")
                                                        : Lang::FormatUtf8("dump.none.notstamp", {m_argument}));
            SetText("label_detail", Lang::TextUtf8("dump.none.detail"));
            Show("dumpinfo", false);
            Show("BtnOpenFolder", false);
            break;
    }
    return res;
}

std::string CDumpReportDlg::DumpFolder() const {
    std::string folder = File::GetParentPath(m_dumpPath);
    if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return folder;
}

bool CDumpReportDlg::OpenDumpFolder() {
    if (m_dumpPath.empty()) return false;
    // The file browser opened on the folder with the dump selected, as
    // "explorer /select,<file>" does on every Windows.
    const std::wstring params = L"/select,\"" + Charset::String2WString(m_dumpPath) + L"\"";
    HINSTANCE r = ShellExecuteW(m_hWnd, L"open", L"explorer.exe", params.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

void CDumpReportDlg::Notify(DuiLib::TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender || msg.sType != "click") return;
    const std::string& name = msg.pSender->GetName();
    if (name == "BtnClose" || name == "BtnOk") Close(IDOK);
    else if (name == "BtnOpenFolder") OpenDumpFolder();
}
