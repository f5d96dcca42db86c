// Shared by the skinned-window and control tests: GDI+, the message pump, a
// notification recorder and a window at (0, 0) driven by real messages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "DuiLib/UIlib.h"

namespace duitest {

// GDI+ and the library's instance for a test program; the shared pictures
// and fonts go before GDI+ does.
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    ULONG_PTR m_token = 0;
};

// Runs the messages waiting for this thread (timers, posted messages); with
// ms > 0 it goes on doing so for that long.
void Pump(int ms = 0);

// A left click (move, press, release) sent to a window at a client point.
void ClickAt(HWND h, POINT pt);
// What the screen shows at a client point of a window (0xRRGGBB): what
// DirectDraw draws there is not in the window's own DC.
DWORD ScreenPixel(HWND wnd, int x, int y);

// Clicks item index in the open list of a combo box, then runs the messages.
void ClickListItem(DuiLib::CComboUI* combo, int index);

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

// Red, green and blue of a back buffer pixel (0xAARRGGBB).
inline int R(DWORD p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int G(DWORD p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int B(DWORD p) { return static_cast<int>(p & 0xFF); }
inline DWORD Rgb(DWORD argb) { return argb & 0x00FFFFFF; }

// Drives a skinned window: Open shows it at (0, 0), records its notifications
// in rec and paints it; a derived class owns the dialog and Closes it first.
class WindowDriver {
public:
    WindowDriver() = default;
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    HWND hwnd() const { return m_dlg ? m_dlg->GetHWND() : nullptr; }
    DuiLib::CPaintManagerUI& pm() { return m_dlg->GetPaintManager(); }
    DuiLib::CControlUI* Find(const std::string& name) { return m_dlg->FindControl(name); }
    template <class T>
    T* FindAs(const std::string& name, const char* iface) {
        DuiLib::CControlUI* c = Find(name);
        return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
    }

    // The middle of a control's rectangle; (-1, -1) and a failure when there
    // is no such control.
    static POINT Center(const DuiLib::CControlUI* c);
    POINT Center(const std::string& name);

    // Mouse messages at client points; keys adds MK_SHIFT / MK_CONTROL.
    void Move(POINT pt, WPARAM keys = 0);
    void Down(POINT pt, WPARAM keys = 0);
    void Up(POINT pt, WPARAM keys = 0);
    void Click(POINT pt, WPARAM keys = 0);
    void Click(DuiLib::CControlUI* c, WPARAM keys = 0) { Click(Center(c), keys); }
    void Click(const std::string& name) { Click(Center(name)); }
    void RightClick(POINT pt);
    void DoubleClick(POINT pt);
    // keys adds MK_SHIFT (a sideways scroll) or MK_CONTROL.
    void Wheel(POINT pt, int notches, WPARAM keys = 0);
    // A key pressed and let go, sent to the focused window (else this one).
    void Key(UINT vk);

    // Paints what is pending and returns a pixel of the back buffer (0xAARRGGBB).
    DWORD Pixel(int x, int y);
    // Pixels of rc whose colour is c (alpha ignored).
    int CountColor(const RECT& rc, DWORD c);
    // Pixels of rc darker / brighter than the threshold (sum of r, g, b).
    int DarkPixels(const RECT& rc, int threshold = 300);
    int BrightPixels(const RECT& rc, int threshold = 450);

    Recorder rec;

protected:
    void Open(DuiLib::CZxBaseDialog* dlg, const std::string& title, DWORD style);
    void Close();

private:
    // Paints what is pending and counts the pixels of rc that pass.
    template <class Test>
    int CountPixels(const RECT& rc, Test test);

    DuiLib::CZxBaseDialog* m_dlg = nullptr;
};

}  // namespace duitest
