// DuiLib: helpers shared by the library's own source files (not part of
// the public interface).
#pragma once

#include <windows.h>

#include <functional>

namespace DuiLib {

// Runs the thread's messages while running() holds. stopOn (may be empty)
// sees each message first; true ends the loop with that message used up.
// skinKeys sends keys through CPaintManagerUI::TranslateMessage (Tab
// between controls). A WM_QUIT ends the loop and is posted again for the
// outer loop; the result is then true.
bool RunModalLoop(const std::function<bool()>& running, const std::function<bool(const MSG&)>& stopOn,
                  bool skinKeys);

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
