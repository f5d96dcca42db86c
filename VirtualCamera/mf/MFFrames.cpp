#include "MFFrames.h"

#include <cstring>

#include "GlobalChannel.h"
#include "ZxLib/Lang.h"
#include "ZxScale/ZxYuv.h"

namespace {

constexpr int kFullWidth = 640, kFullHeight = 480;

// Draws one line of text centred in the band top..bottom.
void DrawLine(HDC dc, const wchar_t* face, int height, int weight, COLORREF colour, const wchar_t* text, int top,
              int bottom) {
    HFONT font = CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, colour);
    RECT band = {0, top, kFullWidth, bottom};
    DrawTextW(dc, text, -1, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT r = {left, top, right, bottom};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

}  // namespace

void MFDrawPlaceholder(std::vector<uint8_t>& out) {
    out.assign(CZxScaler::PictureBytes(kFullWidth, kFullHeight), 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kFullWidth;
    info.bmiHeader.biHeight = kFullHeight;  // bottom-up, as the channel's frames
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!bitmap || !bits) {
        // No drawing possible: a plain dark picture still says "no program".
        for (size_t i = 0; i + 2 < out.size(); i += 3) {
            out[i] = 0x41;
            out[i + 1] = 0x2A;
            out[i + 2] = 0x1B;
        }
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        return;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    // The program's look: deep navy, the logo's orange as the one accent.
    FillBox(dc, 0, 0, kFullWidth, kFullHeight, RGB(0x1B, 0x2A, 0x41));
    FillBox(dc, 0, 0, kFullWidth, 8, RGB(0xF2, 0x8C, 0x28));
    FillBox(dc, 0, kFullHeight - 8, kFullWidth, kFullHeight, RGB(0xF2, 0x8C, 0x28));
    // A camera: body, lens and viewfinder.
    FillBox(dc, 270, 110, 370, 175, RGB(0xF2, 0x8C, 0x28));
    FillBox(dc, 300, 98, 340, 110, RGB(0xF2, 0x8C, 0x28));
    FillBox(dc, 303, 125, 337, 160, RGB(0x1B, 0x2A, 0x41));
    FillBox(dc, 312, 134, 328, 151, RGB(0xE8, 0xEC, 0xF2));
    SetBkMode(dc, TRANSPARENT);
    // In the language of the process that shows the camera (the Frame
    // Server's account on Windows 11).
    DrawLine(dc, L"Microsoft YaHei", 40, FW_BOLD, RGB(0xE8, 0xEC, 0xF2), Lang::Text("app.placeholder.title").c_str(),
             200, 260);
    DrawLine(dc, L"Microsoft YaHei", 24, FW_NORMAL, RGB(0xE8, 0xEC, 0xF2), Lang::Text("app.placeholder.start").c_str(),
             275, 315);
    DrawLine(dc, L"Microsoft YaHei", 18, FW_NORMAL, RGB(0x9A, 0xA8, 0xBC), Lang::Text("app.placeholder.brand").c_str(),
             360, 390);
    GdiFlush();
    std::memcpy(out.data(), bits, out.size());
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

bool CMFFrames::WaitForNewFrame(DWORD timeoutMs) {
    // The channel the program publishes into is the one to wait on.
    if (!m_lastFrom || !m_lastFrom->IsOpen()) return false;
    return m_lastFrom->WaitForFrame(m_lastSequence, timeoutMs);
}

void CMFFrames::OpenChannels() {
    if (m_tried) return;
    // Opened at the first picture, never before. The cross-session objects
    // are made with their own security first, so opening them as a reader
    // only attaches; the session's channel is attached to (or created
    // empty, as the DirectShow camera does, for the program to find).
    m_tried = true;
    if (m_globalObjects.Create())
        m_global.Open(kGlobalChannelFileName, kShareMemSize, kGlobalChannelReadEvent, kGlobalChannelWriteEvent);
    m_local.Open(kShareMemFileName, kShareMemSize);
}

bool CMFFrames::TakeChannelFrame(CShareMem& channel, int code, Taken& taken) {
    if (!channel.IsOpen()) return false;
    const int width = code * 80, height = code * 60;
    const size_t bytes = CZxScaler::PictureBytes(width, height);
    // A frame overwritten while it was read is thrown away and the newest
    // one read again; a writer that keeps overwriting gives up the turn.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ShareMemFrame frame;
        if (!channel.BeginRead(frame, ShareMemNow())) return false;
        if (frame.code == code && frame.imageSize == bytes) {
            std::memcpy(m_rgb.data(), frame.pixels, bytes);
        } else {
            const int sw = frame.code * 80, sh = frame.code * 60;
            if (!m_scaler.Matches(sw, sh, width, height, ZxScaleFilter::Area) &&
                !m_scaler.Build(sw, sh, width, height, ZxScaleFilter::Area))
                return false;
            if (!m_scaler.Scale(frame.pixels, m_rgb.data())) return false;
        }
        if (channel.EndRead(frame)) {
            taken.live = true;
            taken.sequence = frame.sequence;
            m_lastSequence = frame.sequence;
            m_lastFrom = &channel;
            return true;
        }
    }
    return false;
}

void CMFFrames::TakePlaceholder(int code) {
    if (m_placeholder.empty()) MFDrawPlaceholder(m_placeholder);
    if (m_placeholderCode != code) {
        const int width = code * 80, height = code * 60;
        m_placeholderScaled.assign(CZxScaler::PictureBytes(width, height), 0);
        if (code == 8) {
            m_placeholderScaled = m_placeholder;
        } else {
            CZxScaler scaler;
            if (scaler.Build(kFullWidth, kFullHeight, width, height, ZxScaleFilter::Area))
                scaler.Scale(m_placeholder.data(), m_placeholderScaled.data());
        }
        m_placeholderCode = code;
    }
    m_rgb = m_placeholderScaled;
}

bool CMFFrames::Fill(const MFVideoFormat& format, uint8_t* destination, Taken& taken) {
    if (!destination || format.code < 1 || format.code > kMFSizeCodes) return false;
    taken = Taken();
    const int width = format.Width(), height = format.Height();
    m_rgb.resize(CZxScaler::PictureBytes(width, height));
    OpenChannels();
    if (!TakeChannelFrame(m_global, format.code, taken) && !TakeChannelFrame(m_local, format.code, taken))
        TakePlaceholder(format.code);
    switch (format.pixels) {
        case MFPixels::Yuy2: return ZxBgrToYuy2(m_rgb.data(), width, height, destination);
        case MFPixels::Rgb32: return ZxBgrToRgb32TopDown(m_rgb.data(), width, height, destination);
        default: return ZxBgrToNv12(m_rgb.data(), width, height, destination);
    }
}
