// DuiLib: helpers shared by the library's own source files (not part of
// the public interface).
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "DuiLib/UIControl.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

// Lengths of the skin and of the program's code are in 96-DPI units; these
// give them in pixels of the window the control is in (unchanged while it
// is in none).
inline int Px(const CControlUI* c, int v) {
    const CPaintManagerUI* pm = c ? c->GetManager() : nullptr;
    return pm ? pm->Scale(v) : v;
}
inline SIZE Px(const CControlUI* c, SIZE s) {
    const CPaintManagerUI* pm = c ? c->GetManager() : nullptr;
    return pm ? pm->Scale(s) : s;
}
// A rectangle of lengths (an inset, a padding, a float position) in pixels:
// each edge scaled on its own.
inline RECT Px(const CControlUI* c, const RECT& r) {
    const CPaintManagerUI* pm = c ? c->GetManager() : nullptr;
    return pm ? pm->Scale(r) : r;
}
inline int Unpx(const CControlUI* c, int px) {
    const CPaintManagerUI* pm = c ? c->GetManager() : nullptr;
    return pm ? pm->Unscale(px) : px;
}

// Runs the thread's messages while running() holds. stopOn (may be empty)
// sees each message first; true ends the loop with that message used up.
// skinKeys sends keys through CPaintManagerUI::TranslateMessage (Tab
// between controls). A WM_QUIT ends the loop and is posted again for the
// outer loop; the result is then true.
bool RunModalLoop(const std::function<bool()>& running, const std::function<bool(const MSG&)>& stopOn,
                  bool skinKeys);

// The state pictures of a control, as the control keeps them (a slot the
// control lacks stays null).
struct TStateImages {
    std::string* normal = nullptr;
    std::string* hot = nullptr;
    std::string* pushed = nullptr;
    std::string* focused = nullptr;
    std::string* disabled = nullptr;
    // Takes "normalimage", "hotimage", "pushedimage", "focusedimage" and
    // "disabledimage" (those the control has); false for any other name.
    bool SetAttribute(const std::string& name, const std::string& value) const;
};

// One state of the order a control's pictures are chosen in: whether it
// holds now, its picture and one to try when that cannot be drawn.
struct TStateStep {
    bool holds;
    const std::string* image;
    const std::string* fallback;
};

// Draws the picture of the first state that holds (its fallback when it
// cannot be drawn), or else the normal picture; false when nothing could
// be drawn.
bool DrawStateImage(CControlUI& control, Gdiplus::Graphics& g, std::initializer_list<TStateStep> steps,
                    const std::string& normal);

// Ends the window object a control keeps for its popup or native child
// (it has a public m_pOwner): the object forgets its owner and goes with its
// window, or at once when it has none. The control's pointer is cleared.
template <class W>
void DiscardOwnedWindow(W*& window) {
    W* w = window;
    window = nullptr;
    if (!w) return;
    w->m_pOwner = nullptr;
    if (w->GetHWND()) DestroyWindow(w->GetHWND());
    else delete w;
}

}  // namespace DuiLib
