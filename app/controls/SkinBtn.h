// The thumbnail button of one skin in the skin manager: an option with a
// yellow frame while the mouse is over it and a check mark when it is the
// skin in use.
#pragma once

#include "DuiLib/UIlib.h"

class CSkinBtn : public DuiLib::COptionUI {
public:
    // The mark drawn in the bottom-right corner of the selected skin.
    static const char* const kSelectedMark;   // "titlelayoutItem_selected_icon.png"
    static constexpr DWORD kHotFrameColor = 0xFFFFEA01;

    std::string GetClass() const override;
    // "SkinBtn" answers the control itself.
    void* GetInterface(const std::string& name) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;
};
