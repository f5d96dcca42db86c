// The message tip as the program shows it: modal, in the common look, its
// text shown, closed by either of its buttons.
#include "DialogsTestSupport.h"
#include "ZxVMsgTip.h"

using namespace DuiLib;
using namespace dlgtest;

namespace {

TEST(MsgTip, ShowsItsTextInTheCommonLookAndClosesOnEitherButton) {
    FreshUserFolders("msgtip");
    for (const char* button : {"BtnClose", "BtnOk"}) {
        SCOPED_TRACE(button);
        CZxVMsgTip tip;
        tip.SetMsgText("打开摄像头失败");
        std::string shown;
        LONG_PTR exStyle = 0;
        DWORD corner = 0, middle = 0;
        WhenShown when(L"CZxVMsgTip", L"", [&](HWND h) {
            auto* dlg = dynamic_cast<CZxBaseDialog*>(CWindowWnd::FromHandle(h));
            ASSERT_NE(dlg, nullptr);
            CPaintManagerUI& pm = dlg->GetPaintManager();
            pm.UpdateNow();
            CControlUI* label = dlg->FindControl("label_msgtext");
            ASSERT_NE(label, nullptr);
            shown = label->GetText();
            exStyle = GetWindowLongPtrW(h, GWL_EXSTYLE);
            corner = pm.GetBackBufferPixel(0, 0);
            middle = pm.GetBackBufferPixel(180, 20);
            if (!ClickIn(h, button)) PostMessageW(h, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(tip.ShowModalDlg(nullptr, true), static_cast<UINT>(IDOK));
        EXPECT_TRUE(when.Done()) << "the tip was shown";
        EXPECT_EQ(tip.GetHWND(), nullptr) << "closed by its button";
        EXPECT_EQ(shown, "打开摄像头失败");
        EXPECT_NE(exStyle & WS_EX_LAYERED, 0) << "the common look: a layered window";
        EXPECT_EQ(corner >> 24, 0u) << "rounded corners are transparent";
        EXPECT_EQ(middle >> 24, 0xFFu) << "the title bar is opaque";
        EXPECT_LT(R(middle) + G(middle) + B(middle), 150) << "a dark title bar";
    }
}

}  // namespace
