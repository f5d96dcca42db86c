#include "DialogCommon.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxVMsgTip.h"

namespace ZxDlg {

std::string SkinFile(const char* name) {
    return Dir::GetZxPath(Dir::kPathResource) + "skin\\base\\" + name;
}

void ApplyCommonLook(DuiLib::CZxBaseDialog& dlg) {
    dlg.CenterWindow();
    DuiLib::CPaintManagerUI& pm = dlg.GetPaintManager();
    pm.SetAlphaTranspanrent(255);
    pm.SetLayerAttribute(true);
    pm.EnableBlur(true);
}

void ShowMsgTip(HWND owner, const std::string& text) {
    CZxVMsgTip tip;
    tip.SetMsgText(text);
    tip.ShowModalDlg(owner, true);
}

void Log(int level, const char* module, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::vector<char> text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    YL_Log("Speed.txt", level, module, "%s", text.data());
}

}  // namespace ZxDlg
