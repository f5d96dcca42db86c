#include "DumpReportDlg.h"

#include <shellapi.h>

#include "ZxCrashNames.h"
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
            SetText("label_heading", "程序意外退出");
            SetText("label_message", "星河助手遇到意外错误，已经关闭。");
            SetText("label_detail", "出错时的状态已保存到下面的转储文件中，把它发给我们，可以帮助我们找到并修正问题。");
            SetText("label_dumpname", "转储文件：" + File::GetFileName(m_dumpPath));
            SetText("label_dumpfolder", DumpFolder());
            if (DuiLib::CControlUI* c = FindControl("label_dumpfolder")) c->SetToolTip(DumpFolder());
            break;
        case State::kMissing:
            SetText("label_heading", "程序意外退出");
            SetText("label_message", "星河助手遇到意外错误，已经关闭。");
            SetText("label_detail", "没有找到这次出错的转储文件（" + m_stamp + "），它可能没能写入磁盘。");
            Show("dumpinfo", false);
            Show("BtnOpenFolder", false);
            break;
        case State::kNoStamp:
            SetText("label_heading", "没有要报告的错误");
            SetText("label_message", m_argument.empty() ? "没有指定转储文件。" : "参数不是转储文件的标记：" + m_argument);
            SetText("label_detail", "星河助手意外退出时会启动本程序，并告诉它这次的转储文件。");
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
