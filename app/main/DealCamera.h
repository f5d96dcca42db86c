// The camera page of the function area ("tabPageMainCamera"): the camera
// and its capture size, the driver's property pages, face thinning with its
// strength, and the red, green and blue levels of camera frames. Every
// action is a call on "modCamera" or "modVideoEffectFaceThin", fetched by
// name at the moment of use.
#pragma once

#include "DuiLib/UIlib.h"

class CDealCamera : public DuiLib::INotifyUI {
public:
    // Listens to the page, fills the camera and size lists and shows the
    // face-thin and colour settings the module holds. Always true.
    bool Init(DuiLib::CPaintManagerUI* pm);
    // Stops listening (the main window's OnDestroy).
    void Uninit();
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The camera's sizes again, with its current size selected.
    void FillFrameSizes();

private:
    void FillCameras();
    void FillFaceThin();
    // Splits "WxH" at its one "x" and asks the camera for that size; any
    // other text is ignored.
    void ChooseFrameSize(const std::string& text);
    void ShowPropertyPage();
    void SetColour(int channel, int value);

    DuiLib::CPaintManagerUI* m_pm = nullptr;
    DuiLib::CSliderUI* m_sliderColour[3] = {nullptr, nullptr, nullptr};
    DuiLib::CControlUI* m_lblColour[3] = {nullptr, nullptr, nullptr};
};
