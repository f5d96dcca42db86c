// The message tip: a small modal box in the program's look with one line of
// text and a button that closes it. Every error the program shows the user
// goes through it.
#pragma once

#include <string>

#include "DuiLib/UIlib.h"

class CZxVMsgTip : public DuiLib::CZxBaseDialog {
public:
    CZxVMsgTip();
    // The text shown in "label_msgtext"; set before the window is shown.
    void SetMsgText(const std::string& text) { m_sMsgText = text; }
    const std::string& GetMsgText() const { return m_sMsgText; }

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    std::string m_sMsgText;
};
