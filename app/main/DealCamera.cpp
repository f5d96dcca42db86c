#include "DealCamera.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "DialogCommon.h"
#include "IDataCamera.h"
#include "IDataVEFaceThin.h"
#include "KernelModules.h"
#include "ZxLib/ZxLib.h"
#include "ZxMusicCore/ZxMusicCore.h"

using namespace DuiLib;

namespace {

const char* const kSliders[3] = {"MC_sliderRed", "MC_sliderGreen", "MC_sliderBlue"};
const char* const kLabels[3] = {"MC_lblRed", "MC_lblGreen", "MC_lblBlue"};

template <class T>
T* FindAs(CPaintManagerUI* pm, const char* name, const char* kind) {
    CControlUI* c = pm ? pm->FindControl(name) : nullptr;
    return c ? static_cast<T*>(c->GetInterface(kind)) : nullptr;
}

void AddItem(CComboUI* combo, const std::string& text, bool withData) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    if (withData) item->SetUserData(text);
    combo->Add(item);
}

std::string Number(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

}  // namespace

bool CDealCamera::Init(CPaintManagerUI* pm) {
    m_pm = pm;
    if (CControlUI* page = m_pm ? m_pm->FindControl("tabPageMainCamera") : nullptr) page->AddNotifier(this);
    for (int i = 0; i < 3; ++i) {
        m_sliderColour[i] = FindAs<CSliderUI>(m_pm, kSliders[i], "Slider");
        m_lblColour[i] = m_pm ? m_pm->FindControl(kLabels[i]) : nullptr;
    }
    FillCameras();
    FillFaceThin();
    return true;
}

void CDealCamera::Uninit() {
    if (CControlUI* page = m_pm ? m_pm->FindControl("tabPageMainCamera") : nullptr) page->RemoveNotifier(this);
}

void CDealCamera::FillCameras() {
    IDataCamera* camera = KernelModule<IDataCamera>();
    if (!camera) return;
    std::vector<CameraEntry> cameras;
    camera->GetCameraList(cameras);
    std::string current;
    camera->GetCameraName(camera->GetCurrentCamera(), current);
    if (auto* combo = FindAs<CComboUI>(m_pm, "MC_comboCameras", "Combo")) {
        combo->RemoveAll();
        // The module lists the devices by ascending index.
        for (const CameraEntry& entry : cameras) AddItem(combo, entry.name, false);
        if (!current.empty()) combo->SelectItemByText(current, false);
    }
    // Without a camera the boxes and the property button are shown
    // disabled rather than as empty boxes that seem to offer something.
    for (const char* name : {"MC_comboCameras", "MC_comboFormatSize", "MC_btnAjustCamera"})
        if (CControlUI* c = m_pm->FindControl(name)) c->SetEnabled(!cameras.empty());
    FillFrameSizes();
}

void CDealCamera::FillFrameSizes() {
    auto* combo = FindAs<CComboUI>(m_pm, "MC_comboFormatSize", "Combo");
    IDataCamera* camera = KernelModule<IDataCamera>();
    if (!combo || !camera) return;
    std::vector<int> widths, heights;
    camera->GetAllFrameSize(widths, heights);
    int width = 0, height = 0;
    camera->GetFrameSize(width, height);
    combo->RemoveAll();
    for (size_t i = 0; i < widths.size() && i < heights.size(); ++i) AddItem(combo, SizeText::Format(widths[i], heights[i]), true);
    combo->SelectItemByText(SizeText::Format(width, height), false);
}

void CDealCamera::FillFaceThin() {
    IDataVEFaceThin* thin = KernelModule<IDataVEFaceThin>();
    if (!thin) return;
    if (thin->GetEnable())
        if (auto* check = FindAs<COptionUI>(m_pm, "MC_checkboxThin", "Option")) check->Selected(true, false);
    if (auto* slider = FindAs<CSliderUI>(m_pm, "MC_sliderThin", "Slider")) slider->SetValue(thin->GetStretchRatio());
    // The colour sliders show the levels the module applies, so a level
    // kept from an earlier run can be seen and taken back.
    const int levels[3] = {thin->GetRed(), thin->GetGreen(), thin->GetBlue()};
    for (int i = 0; i < 3; ++i) {
        if (m_sliderColour[i]) m_sliderColour[i]->SetValue(levels[i]);
        if (m_lblColour[i]) m_lblColour[i]->SetText(Number(m_sliderColour[i] ? m_sliderColour[i]->GetValue() : levels[i]));
    }
}

void CDealCamera::ChooseFrameSize(const std::string& text) {
    int width = 0, height = 0;
    if (!SizeText::Parse(text, width, height)) return;
    if (IDataCamera* camera = KernelModule<IDataCamera>()) camera->SetFrameSize(width, height);
}

void CDealCamera::ShowPropertyPage() {
    IDataCamera* camera = KernelModule<IDataCamera>();
    if (!camera) {
        ZxDlg::Log(2, "CDealCamera", "no camera module: no property pages");
        return;
    }
    if (camera->GetCurrentCamera() < 0) {
        ZxDlg::Log(1, "CDealCamera", "no camera is chosen: no property pages");
        return;
    }
    camera->ShowPropertyPage(m_pm->GetPaintWindow());
}

void CDealCamera::SetColour(int channel, int value) {
    if (IDataVEFaceThin* thin = KernelModule<IDataVEFaceThin>()) {
        if (channel == 0) thin->SetRed(value);
        else if (channel == 1) thin->SetGreen(value);
        else thin->SetBlue(value);
    }
}

void CDealCamera::Notify(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == "click") {
        if (name == "MC_btnAjustCamera") {
            ShowPropertyPage();
        } else if (name == "MC_checkboxThin") {
            // The click arrives after the check box toggled itself.
            auto* check = static_cast<COptionUI*>(msg.pSender->GetInterface("Option"));
            if (check)
                if (IDataVEFaceThin* thin = KernelModule<IDataVEFaceThin>()) thin->SetEnable(check->IsSelected());
        } else if (name == "MC_btnColorDefault") {
            for (int i = 0; i < 3; ++i) {
                SetColour(i, 0);
                if (m_sliderColour[i]) m_sliderColour[i]->SetValue(0);
                if (m_lblColour[i]) m_lblColour[i]->SetText("0");
            }
        }
    } else if (msg.sType == "itemselect") {
        auto* combo = static_cast<CComboUI*>(msg.pSender->GetInterface("Combo"));
        CListLabelElementUI* item = combo ? combo->GetSelectedItem() : nullptr;
        if (!item) return;
        if (name == "MC_comboCameras") {
            if (IDataCamera* camera = KernelModule<IDataCamera>()) camera->SelectCameraByName(item->GetText());
            FillFrameSizes();
        } else if (name == "MC_comboFormatSize") {
            ChooseFrameSize(item->GetText());
        }
    } else if (msg.sType == "valuechanging" || msg.sType == "valuechanged") {
        auto* slider = static_cast<CSliderUI*>(msg.pSender->GetInterface("Slider"));
        if (!slider) return;
        const int value = slider->GetValue();
        if (name == "MC_sliderThin") {
            if (IDataVEFaceThin* thin = KernelModule<IDataVEFaceThin>()) thin->SetStretchRatio(value);
            return;
        }
        for (int i = 0; i < 3; ++i) {
            if (name != kSliders[i]) continue;
            SetColour(i, value);
            if (m_lblColour[i]) m_lblColour[i]->SetText(Number(value));
        }
    }
}
