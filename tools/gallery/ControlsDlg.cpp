#include "ControlsDlg.h"

#include <cstdio>

#include "LiveButtonUI.h"
#include "SkinBtn.h"
#include "SpinButtonUI.h"
#include "TileListUI.h"

using namespace DuiLib;

namespace {
const int kTileCount = 15;
const char* const kTilePrefix = "VSMediaFile_ListItem_";

std::string Hms(int seconds, bool remaining) {
    char text[24];
    std::snprintf(text, sizeof text, "%s%02d:%02d:%02d", remaining ? "-" : "", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

int DurationOf(int id) { return 47 + id * 211 + (id % 3) * 1800; }
}  // namespace

CControlsDlg::CControlsDlg() {
    SetWindowClassName("ZxDuiGalleryControls");
    SetXMLPath("controls.xml");
    SetBuilderCallback(&m_callback);
}

LRESULT CControlsDlg::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT r = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    if (CControlUI* c = FindControl("VSMediaFile_tilelayout"))
        m_pTiles = static_cast<CTileListUI*>(c->GetInterface("TileList"));
    FillTiles();
    FillSkinButtons();
    return r;
}

LRESULT CControlsDlg::OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT r = CZxBaseDialog::OnDestroy(uMsg, wParam, lParam, bHandled);
    if (m_bQuitOnDestroy) PostQuitMessage(0);
    return r;
}

void CControlsDlg::FillTiles() {
    if (!m_pTiles) return;
    // The media list's tiles: 84 x 92, thumbnail (2, 2, 82, 62), name under
    // it, the length in its own band at the bottom.
    for (int id = 1; id <= kTileCount; ++id) {
        auto* tile = new CTileListItemUI;
        tile->SetName(kTilePrefix + std::to_string(id));
        tile->SetTag(static_cast<UINT_PTR>(id));
        tile->SetText("视频 " + std::to_string(id));
        tile->SetToolTip("第 " + std::to_string(id) + " 个视频");
        tile->SetTextColor(0xFFFFFFFF);
        tile->SetTextPadding(RECT{2, 64, 2, 14});
        tile->SetIcon("tile_" + std::to_string(id) + ".png", RECT{2, 2, 82, 62});
        tile->SetExtraText(Hms(DurationOf(id), false));
        tile->SetExtraTextPadding(RECT{2, 76, 2, 2});
        tile->SetContextMenuUsed(true);
        m_pTiles->Add(tile);
    }
}

void CControlsDlg::FillSkinButtons() {
    auto* panel = static_cast<CContainerUI*>(FindControl("localskinpanel"));
    if (!panel) return;
    // Two to a row here (the skin manager puts four).
    CHorizontalLayoutUI* row = nullptr;
    for (int id = 1; id <= 4; ++id) {
        if (id % 2 == 1) {
            row = new CHorizontalLayoutUI;
            row->SetFixedHeight(61);
            row->SetChildPadding(8);
            panel->Add(row);
        }
        auto* b = new CSkinBtn;
        b->SetName("localskin_" + std::to_string(id));
        b->SetFixedWidth(98);
        b->SetFixedHeight(60);
        b->SetPadding(RECT{0, 1, 0, 0});
        b->SetBkImage("skin_thumb_" + std::to_string(id) + ".png");
        b->SetGroup("localskin");
        b->SetToolTip("皮肤 " + std::to_string(id));
        row->Add(b);
        if (id == 1) b->Selected(true, false);
    }
}

void CControlsDlg::SetStatus(const std::string& text) {
    if (CControlUI* p = FindControl("lblStatus")) p->SetText("状态：" + text);
}

void CControlsDlg::DeleteSelectedTiles() {
    if (!m_pTiles) return;
    std::vector<int> sel = m_pTiles->GetSelectedItems();
    for (auto it = sel.rbegin(); it != sel.rend(); ++it) m_pTiles->RemoveAt(*it);
    SetStatus("删除了 " + std::to_string(sel.size()) + " 项");
}

void CControlsDlg::ShowDemoState(POINT pt) {
    if (m_pTiles) {
        m_pTiles->SelectItems(std::vector<int>{1, 2, 3}, true);
        m_pTiles->SelectItem(6, true, false);
        if (auto* playing = static_cast<CTileListItemUI*>(
                m_pTiles->GetItemAt(0) ? m_pTiles->GetItemAt(0)->GetInterface("TileListItem") : nullptr))
            playing->SetExtraText(Hms(DurationOf(1) - 42, true));
    }
    GetPaintManager().EnsureLayout();
    POINT screen = pt;
    ClientToScreen(m_hWnd, &screen);
    SetCursorPos(screen.x, screen.y);
    ::SendMessageW(m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
}

void CControlsDlg::Notify(TNotifyUI& msg) {
    if (!msg.pSender || !m_hWnd) return;
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == "itemselect" && msg.pSender == m_pTiles) {
        std::string list;
        for (int i : m_pTiles->GetSelectedItems()) list += (list.empty() ? "" : ",") + std::to_string(i + 1);
        SetStatus("已选 " + std::to_string(m_pTiles->GetSelectedItems().size()) + " 项 " + list);
    } else if (msg.sType == "delete" && msg.pSender == m_pTiles) {
        DeleteSelectedTiles();
    } else if (msg.sType == "dbbuttondown" && name.compare(0, 21, kTilePrefix) == 0) {
        SetStatus("播放 " + msg.pSender->GetText());
    } else if (msg.sType == "spinvaluechanged") {
        auto* spin = static_cast<CSpinButtonUI*>(msg.pSender->GetInterface("SpinButton"));
        if (spin) SetStatus("帧率 " + std::to_string(spin->GetValue()));
    } else if (msg.sType == "click") {
        if (name == "BtnClose") {
            Close();
        } else if (name == "VEText_TextColor" || name == "VEText_BKColor") {
            static const DWORD palette[] = {0xFFE53935, 0xFFFDD835, 0xFF43A047, 0xFF1E88E5, 0xFF8E24AA};
            auto* live = static_cast<CLiveButtonUI*>(msg.pSender->GetInterface("LiveButton"));
            if (live) live->SetIconColor(palette[++m_colorStep % 5]);
            SetStatus("颜色 " + name);
        } else if (name.compare(0, 10, "localskin_") == 0) {
            SetStatus("皮肤 " + name.substr(10));
        }
    }
}
