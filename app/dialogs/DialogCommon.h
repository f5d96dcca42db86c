// What every dialog of the program shares: where its skin file lies, the
// look it is shown with, the message tip for errors, and the program's log.
#pragma once

#include <windows.h>

#include <string>

#include "DuiLib/UIlib.h"

namespace ZxDlg {

// The program's resource folder (beside ZxVCam.exe) + "skin\\base\\" + name.
std::string SkinFile(const char* name);

// The common look of the dialogs, applied in OnCreate once the controls are
// built: centred, fully opaque, a layered window with per-pixel alpha (the
// rounded corners of the skin), and the system blur behind it where the
// system has one.
void ApplyCommonLook(DuiLib::CZxBaseDialog& dlg);

// Shows text in the message tip, modal over owner (the program's one way of
// telling the user about a failure).
void ShowMsgTip(HWND owner, const std::string& text);

// One line in the program's log "Speed.txt".
void Log(int level, const char* module, const char* format, ...);

// A control of a dialog by name and kind ("Option", "Combo", ...), or null
// when the skin lacks it or it is of another kind.
template <class T>
T* FindAs(DuiLib::CZxBaseDialog& dlg, const char* name, const char* kind) {
    DuiLib::CControlUI* c = dlg.FindControl(name);
    return c ? static_cast<T*>(c->GetInterface(kind)) : nullptr;
}

}  // namespace ZxDlg
