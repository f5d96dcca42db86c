#include "DialogBuilderCallbackEx.h"

#include "LiveButtonUI.h"
#include "SpinButtonUI.h"
#include "TileListUI.h"

using namespace DuiLib;

CControlUI* CDialogBuilderCallbackEx::CreateControl(const std::string& className) {
    if (className == "SpinButton") return new CSpinButtonUI;
    if (className == "LiveButton") return new CLiveButtonUI;
    if (className == "TileList") return new CTileListUI;
    return nullptr;
}
