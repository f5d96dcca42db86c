// DuiLib: common definitions of the skinned-window library: GDI+, events,
// control states, notifications and small rectangle helpers.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

#include "DuiLib/UIValueText.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// Events the paint manager hands to controls (CControlUI::DoEvent).
enum UIEventType {
    UIEVENT_MOUSEMOVE = 1,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSEHOVER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_DBLCLICK,
    UIEVENT_RBUTTONDOWN,
    UIEVENT_RBUTTONUP,
    UIEVENT_CONTEXTMENU,
    UIEVENT_SCROLLWHEEL,
    UIEVENT_KEYDOWN,
    UIEVENT_KEYUP,
    UIEVENT_CHAR,
    UIEVENT_SETFOCUS,
    UIEVENT_KILLFOCUS,
    UIEVENT_TIMER,
    UIEVENT_SETCURSOR,
};

// Control state bits.
enum : UINT {
    UISTATE_FOCUSED = 0x01,
    UISTATE_SELECTED = 0x02,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_CAPTURED = 0x40,
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};   // client coordinates of the paint window
    wchar_t chKey = 0;     // key code (KEYDOWN/KEYUP) or character (CHAR)
    WORD wKeyState = 0;    // MK_* flags for mouse events
    WPARAM wParam = 0;     // wheel: WHEEL_DELTA multiples (positive = away from the user); timer: timer id
    LPARAM lParam = 0;
};

// A notification sent by a control to the notifiers of its window.
struct TNotifyUI {
    std::string sType;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Messages a parent window gets about a native child window (WM_COMMAND,
// WM_CTLCOLOREDIT) are passed to the child's window object at this offset.
const UINT UIMSG_REFLECT = WM_USER + 0x1C00;

inline int LParamX(LPARAM lp) { return static_cast<int>(static_cast<short>(LOWORD(lp))); }
inline int LParamY(LPARAM lp) { return static_cast<int>(static_cast<short>(HIWORD(lp))); }

// Rectangle helpers.
inline int RectWidth(const RECT& rc) { return rc.right - rc.left; }
inline int RectHeight(const RECT& rc) { return rc.bottom - rc.top; }
inline bool RectEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }
inline bool RectContains(const RECT& rc, POINT pt) {
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}
inline RECT RectIntersect(const RECT& a, const RECT& b) {
    RECT r{(std::max)(a.left, b.left), (std::max)(a.top, b.top), (std::min)(a.right, b.right),
           (std::min)(a.bottom, b.bottom)};
    if (RectEmpty(r)) r = RECT{0, 0, 0, 0};
    return r;
}
inline RECT RectUnion(const RECT& a, const RECT& b) {
    if (RectEmpty(a)) return b;
    if (RectEmpty(b)) return a;
    return RECT{(std::min)(a.left, b.left), (std::min)(a.top, b.top), (std::max)(a.right, b.right),
                (std::max)(a.bottom, b.bottom)};
}
inline RECT RectDeflate(const RECT& rc, const RECT& by) {
    return RECT{rc.left + by.left, rc.top + by.top, rc.right - by.right, rc.bottom - by.bottom};
}

// Text helpers shared by the library (UTF-8 <-> UTF-16).
std::wstring ToW(const std::string& s);
std::string ToU8(const std::wstring& s);

// Parses "a,b,c,d" (four integers, as ParseIntList reads them); false when
// the text does not hold four.
bool ParseRect(const std::string& text, RECT& out);
// Parses "a,b"; false when the text does not hold two integers.
bool ParseSize(const std::string& text, SIZE& out);

// Writes a line to the library's log ("DuiLib.txt").
void DuiLog(int level, const char* module, const char* format, ...);

}  // namespace DuiLib
