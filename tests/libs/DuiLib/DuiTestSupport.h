// Helpers of the skinned-window library tests: GDI+ for the whole run, the
// gallery window opened at the top-left corner of the virtual display, a
// recorder of notifications, and real mouse and key messages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "DuiLib/UIlib.h"
#include "GalleryDlg.h"

namespace duitest {

// The folder of the test program's own gallery skin copy ("...\gallery\").
std::string GallerySkinDir();

// Runs the messages waiting for this thread (timers, posted messages).
void Pump(int ms = 0);

// The notifications a window sent, in order.
struct Recorder : DuiLib::INotifyUI {
    std::vector<std::pair<std::string, std::string>> events;  // type, sender name
    std::vector<DuiLib::TNotifyUI> msgs;
    void Notify(DuiLib::TNotifyUI& msg) override {
        events.emplace_back(msg.sType, msg.pSender ? msg.pSender->GetName() : std::string());
        msgs.push_back(msg);
    }
    int Count(const std::string& type, const std::string& sender = "") const {
        int n = 0;
        for (const auto& e : events)
            if (e.first == type && (sender.empty() || e.second == sender)) ++n;
        return n;
    }
    void Clear() {
        events.clear();
        msgs.clear();
    }
};

// The gallery, shown at (0, 0) and painted once.
class GalleryWindow {
public:
    GalleryWindow();
    ~GalleryWindow();
    CGalleryDlg dlg;
    Recorder rec;
    HWND hwnd() const { return dlg.GetHWND(); }
    DuiLib::CPaintManagerUI& pm() { return dlg.GetPaintManager(); }
    DuiLib::CControlUI* Find(const std::string& name) { return dlg.FindControl(name); }
    template <class T>
    T* FindAs(const std::string& name, const char* iface) {
        DuiLib::CControlUI* c = Find(name);
        return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
    }
    POINT Center(const std::string& name);
    void Move(POINT pt, WPARAM keys = 0);
    void Down(POINT pt);
    void Up(POINT pt);
    void Click(const std::string& name);
    void Click(POINT pt);
    void RightClick(POINT pt);
    void DoubleClick(POINT pt);
    void Wheel(POINT pt, int notches);
    void Key(UINT vk);
    // Paints what is pending and returns a pixel of the back buffer (0xAARRGGBB).
    DWORD Pixel(int x, int y);
    // Number of pixels in rc darker than the threshold (sum of r, g, b).
    int DarkPixels(const RECT& rc, int threshold = 300);
};

}  // namespace duitest
