#include "ControlVideoShow.h"

#include <cstring>

CControlVideoShow::CControlVideoShow() : m_bits(kImageSize, 255), m_dest{20, 35, 20 + kWidth, 35 + kHeight}, m_hasPicture(false) {
    VideoFrameFormatInit(m_info, kWidth, kHeight);
}

void* CControlVideoShow::GetInterface(const std::string& name) {
    if (name == "ControlVideoShow") return this;
    return CControlUI::GetInterface(name);
}

void CControlVideoShow::PaintBkImage(Gdiplus::Graphics& g) {
    if (!m_hasPicture) {
        CControlUI::PaintBkImage(g);
        return;
    }
    Gdiplus::Bitmap picture(&m_info, m_bits.data());
    if (picture.GetLastStatus() != Gdiplus::Ok) return;
    // The place is given at 100 %: scaled with the window (the picture is
    // then stretched to it).
    const RECT d = Scaled(m_dest);
    g.DrawImage(&picture, Gdiplus::Rect(d.left, d.top, d.right - d.left, d.bottom - d.top), 0, 0, kWidth, kHeight,
                Gdiplus::UnitPixel);
}

DuiLib::CControlUI* CDialogBuilderCallbackExVideShow::CreateControl(const std::string& className) {
    if (className == "ControlVideoShow") return new CControlVideoShow;
    return nullptr;
}
