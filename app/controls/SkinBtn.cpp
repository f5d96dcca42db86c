#include "SkinBtn.h"

#include <cstdio>

using namespace DuiLib;

const char* const CSkinBtn::kSelectedMark = "titlelayoutItem_selected_icon.png";

std::string CSkinBtn::GetClass() const { return "SkinBtn"; }

void* CSkinBtn::GetInterface(const std::string& name) {
    if (name == "SkinBtn") return this;
    return COptionUI::GetInterface(name);
}

void CSkinBtn::PaintStatusImage(Gdiplus::Graphics& g) {
    COptionUI::PaintStatusImage(g);
    if (m_uButtonState & UISTATE_HOT) CRenderEngine::DrawBorder(g, m_rcItem, Scaled(2), kHotFrameColor);
    if (IsSelected()) {
        // (right - 30, bottom - 30, right - 5, bottom - 5), relative to the
        // control as picture modifiers are.
        const int w = Unscaled(GetWidth()), h = Unscaled(GetHeight());
        char dest[80];
        std::snprintf(dest, sizeof dest, "dest='%d,%d,%d,%d'", w - 30, h - 30, w - 5, h - 5);
        DrawImage(g, kSelectedMark, dest);
    }
}
