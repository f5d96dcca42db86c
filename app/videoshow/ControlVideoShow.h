// A small picture control for the record-preview dialog: it shows a 400 x
// 300 24-bit picture that its owner fills, and the control's normal
// background until then. CDialogBuilderCallbackExVideShow creates it for the
// skin class "ControlVideoShow".
#pragma once

#include <windows.h>

#include <vector>

#include "DuiLib/UIlib.h"
#include "VideoFrame.h"

class CControlVideoShow : public DuiLib::CControlUI {
public:
    static const int kWidth = 400;
    static const int kHeight = 300;
    static const int kImageSize = 360000;   // 400 x 300 x 3, rows of 1200 bytes

    CControlVideoShow();

    std::string GetClass() const override { return "CControlVideoShow"; }
    void* GetInterface(const std::string& name) override;
    void PaintBkImage(Gdiplus::Graphics& g) override;

    // The picture: bottom-up rows of 1200 bytes, blue-green-red. Whoever
    // fills it calls SetHasPicture(true) and Invalidate().
    BYTE* GetPictureBits() { return m_bits.data(); }
    const BITMAPINFO& GetPictureInfo() const { return m_info; }
    void SetHasPicture(bool has) { m_hasPicture = has; }
    bool HasPicture() const { return m_hasPicture; }
    // Where the picture goes, in the window's client coordinates.
    const RECT& GetDestRect() const { return m_dest; }

private:
    BITMAPINFO m_info;
    std::vector<BYTE> m_bits;
    RECT m_dest;   // left, top, right, bottom
    bool m_hasPicture;
};

class CDialogBuilderCallbackExVideShow : public DuiLib::IDialogBuilderCallback {
public:
    DuiLib::CControlUI* CreateControl(const std::string& className) override;
};
