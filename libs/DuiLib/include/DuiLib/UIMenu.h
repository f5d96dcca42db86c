// DuiLib: popup menus. A CMenuUI holds ZxMenuItem entries and runs as a
// small skinned popup until an entry is chosen or the menu is dismissed
// (Escape, a click outside, losing the activation).
#pragma once

#include <memory>

#include "UIBase.h"
#include "UIManager.h"

namespace DuiLib {

struct ZxMenuItem {
    int nID = 0;
    std::string sText;
    std::string sIcon;      // picture shown normally ("" for none)
    std::string sIconHot;   // picture shown while the entry is hot ("" = sIcon)
    bool bEnabled = true;
    bool bSeparator = false;
};

class CMenuWnd;

class CMenuUI {
public:
    // bkCfgName names the background configuration of the skin manager
    // (CSkinMgr::AddBkCfg) the menu is drawn with ("MenuBk").
    explicit CMenuUI(const std::string& bkCfgName = "MenuBk");
    ~CMenuUI();
    void AddItem(const ZxMenuItem& item);
    void AddItem(int id, const std::string& text, const std::string& icon = "", const std::string& iconHot = "");
    void AddSeparator();
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    const ZxMenuItem& GetItem(int i) const { return m_items[static_cast<size_t>(i)]; }
    // Shows the menu with its top-left at pt (screen coordinates, moved to
    // stay on the screen) and waits. Returns the chosen entry's id, or -1
    // when dismissed. Menus run one at a time.
    int TrackPopupMenu(HWND hOwner, POINT pt);
    // The menu window while a menu runs (class "ZxDuiMenu"), else null.
    static HWND GetActiveMenuWindow();
    // Height of one entry and the width of the menu.
    static const int kItemHeight = 30;

private:
    std::string m_bkCfg;
    std::vector<ZxMenuItem> m_items;
};

}  // namespace DuiLib
