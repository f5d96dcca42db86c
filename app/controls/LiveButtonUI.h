// A button that shows a colour swatch or a picture in its icon area (the
// control rectangle less the text padding): the text and background colour
// buttons of the caption page use it.
#pragma once

#include "DuiLib/UIlib.h"

class CLiveButtonUI : public DuiLib::CButtonUI {
public:
    CLiveButtonUI();

    std::string GetClass() const override;
    // "LiveButton" answers the control itself.
    void* GetInterface(const std::string& name) override;

    // "icontype" ("color" = colour swatch, anything else = picture),
    // "isgradient" ("true" = the swatch is not filled) and "iconcolor";
    // every attribute also goes to the button.
    bool SetAttribute(const std::string& name, const std::string& value) override;

    void PaintText(Gdiplus::Graphics& g) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;

    DWORD GetIconColor() const { return m_dwIconColor; }
    void SetIconColor(DWORD argb);
    bool IsPictureMode() const { return m_bIconPicture; }
    void SetPictureMode(bool bPicture);
    bool IsGradient() const { return m_bGradient; }
    void SetGradient(bool bGradient);

    // The icon area in window coordinates.
    RECT GetIconRect() const;
    // The full path of the file the foreground picture names, or "" when
    // it names no existing file.
    std::string FindForeImageFile() const;

private:
    bool m_bGradient = false;
    DWORD m_dwIconColor = 0;
    bool m_bIconPicture = true;
};
