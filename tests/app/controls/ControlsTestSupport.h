// Helpers of the skin control tests: GDI+ for the whole run, a window built
// from a skin text through CDialogBuilderCallbackEx and shown at the
// top-left corner of the virtual display, real mouse and key messages (with
// Shift and Control held in the thread's key state), pictures made in
// memory and on disk, and pixels of the window's back buffer.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "DialogBuilderCallbackEx.h"
#include "DuiLib/UIlib.h"

namespace ctltest {

// A colour as the back buffer holds an opaque one (0xAARRGGBB).
const DWORD kSelectedMarkColor = 0xFFFF00FF;   // the test's selected mark picture

// Runs the messages waiting for this thread.
void Pump();

// Puts a picture of one colour into the image manager under name.
void AddSolidImage(const std::string& name, int cx, int cy, DWORD argb);
// Writes a PNG file of one colour (straight alpha); true on success.
bool WritePng(const std::string& path, int cx, int cy, DWORD argb);

// Holds keys down in this thread's key state (GetKeyState) while alive.
class HeldKeys {
public:
    HeldKeys(std::initializer_list<int> keys);
    ~HeldKeys();

private:
    std::vector<int> m_keys;
};

struct Recorder : DuiLib::INotifyUI {
    std::vector<std::pair<std::string, std::string>> events;  // type, sender name
    void Notify(DuiLib::TNotifyUI& msg) override {
        events.emplace_back(msg.sType, msg.pSender ? msg.pSender->GetName() : std::string());
    }
    int Count(const std::string& type, const std::string& sender = "") const {
        int n = 0;
        for (const auto& e : events)
            if (e.first == type && (sender.empty() || e.second == sender)) ++n;
        return n;
    }
    void Clear() { events.clear(); }
};

class TestDialog : public DuiLib::CZxBaseDialog {
public:
    TestDialog(const std::string& skinPath);

private:
    CDialogBuilderCallbackEx m_callback;
};

// A window built from the skin text (written to a fresh folder that is also
// the skin root), shown at (0, 0) and painted once.
class TestWindow {
public:
    explicit TestWindow(const std::string& skinXml, const std::string& folderName = "skin");
    ~TestWindow();
    TestDialog& dlg() { return *m_dlg; }
    HWND hwnd() const { return m_dlg->GetHWND(); }
    DuiLib::CPaintManagerUI& pm() { return m_dlg->GetPaintManager(); }
    DuiLib::CControlUI* Find(const std::string& name) { return m_dlg->FindControl(name); }
    template <class T>
    T* FindAs(const std::string& name, const char* iface) {
        DuiLib::CControlUI* c = Find(name);
        return c ? static_cast<T*>(c->GetInterface(iface)) : nullptr;
    }
    const std::string& Folder() const { return m_folder; }

    static POINT Center(const DuiLib::CControlUI* c);
    void Move(POINT pt, WPARAM keys = 0);
    // Button messages; keys adds MK_SHIFT / MK_CONTROL to the message.
    void Click(POINT pt, WPARAM keys = 0);
    void Click(DuiLib::CControlUI* c, WPARAM keys = 0) { Click(Center(c), keys); }
    void RightClick(POINT pt);
    void DoubleClick(POINT pt);
    void Wheel(POINT pt, int notches);
    void Key(UINT vk);
    // Paints what is pending and returns a pixel of the back buffer.
    DWORD Pixel(int x, int y);
    // Pixels of rc whose colour is c (alpha ignored).
    int CountColor(const RECT& rc, DWORD c);
    // Pixels of rc brighter than the threshold (sum of r, g, b).
    int BrightPixels(const RECT& rc, int threshold = 450);

    Recorder rec;

private:
    std::string m_folder;
    TestDialog* m_dlg = nullptr;
};

// Red, green and blue of a pixel.
inline int R(DWORD p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int G(DWORD p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int B(DWORD p) { return static_cast<int>(p & 0xFF); }

}  // namespace ctltest
