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
    g.DrawImage(&picture, Gdiplus::Rect(m_dest.left, m_dest.top, kWidth, kHeight), 0, 0, kWidth, kHeight,
                Gdiplus::UnitPixel);
}

DuiLib::CControlUI* CDialogBuilderCallbackExVideShow::CreateControl(const std::string& className) {
    if (className == "ControlVideoShow") return new CControlVideoShow;
    return nullptr;
}
