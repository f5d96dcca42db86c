#include "GalleryDlg.h"

using namespace DuiLib;

CGalleryDlg::CGalleryDlg() {
    SetWindowClassName("ZxDuiGallery");
    SetXMLPath("gallery.xml");
}

void CGalleryDlg::SetStatus(const std::string& text) {
    if (CControlUI* p = FindControl("lblStatus")) p->SetText("状态：" + text);
}

int CGalleryDlg::ShowMenu(POINT pt) {
    CMenuUI menu("MenuBk");
    menu.AddItem(1, "打开主界面");
    menu.AddSeparator();
    menu.AddItem(3, "退出", "menu_icon_exit_2.png", "menu_icon_exit_1.png");
    ClientToScreen(m_hWnd, &pt);
    m_lastMenu = menu.TrackPopupMenu(m_hWnd, pt);
    if (m_hWnd) SetStatus(m_lastMenu < 0 ? "菜单已取消" : "菜单项 " + std::to_string(m_lastMenu));
    return m_lastMenu;
}

void CGalleryDlg::Notify(TNotifyUI& msg) {
    if (!msg.pSender || !m_hWnd) return;
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == "click") {
        if (name == "BtnClose") {
            Close();
        } else if (name == "BtnMin") {
            ::ShowWindow(m_hWnd, SW_MINIMIZE);
        } else if (name == "optPage0" || name == "optPage1" || name == "optPage2") {
            if (auto* tab = static_cast<CTabLayoutUI*>(FindControl("tabDemo")))
                tab->SelectItem(name[7] - '0');
        } else if (name == "btnMenu") {
            RECT rc = msg.pSender->GetPos();
            ShowMenu(POINT{rc.left, rc.bottom});
        } else {
            SetStatus("点击 " + name);
        }
    } else if ((msg.sType == "valuechanging" || msg.sType == "valuechanged") && name == "sliderA") {
        auto* slider = static_cast<CSliderUI*>(msg.pSender->GetInterface("Slider"));
        if (CControlUI* lbl = FindControl("lblSlider")) lbl->SetText(std::to_string(slider->GetValue()));
    } else if (msg.sType == "itemselect" && name == "comboFruit") {
        SetStatus("已选 " + msg.pSender->GetText());
    } else if (msg.sType == "TextChange" && name == "editName") {
        SetStatus("输入 " + msg.pSender->GetText());
    } else if (msg.sType == "menu") {
        SetStatus("右键 " + name);
    }
}

LRESULT CGalleryDlg::OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT r = CZxBaseDialog::OnDestroy(uMsg, wParam, lParam, bHandled);
    if (m_bQuitOnDestroy) PostQuitMessage(0);
    return r;
}
