// The preview window: a plain child window of the main window that joins
// the kernel's frame chain as a consumer of finished frames, scales each
// frame to a 480 x 360 picture, draws the recording bar while a recording
// runs and the open-camera button while no source is active, and puts the
// picture on screen with DirectDraw, or with GDI where DirectDraw cannot.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DDrawPresenter.h"
#include "DuiLib/UIlib.h"
#include "IDataRecordList.h"
#include "IVideoDeal.h"
#include "ObserverBase.h"
#include "ZxScale/ZxScale.h"

class CWndVideoShow : public IVideoDeal, public DuiLib::CWindowWnd, public IDataRecordListObserver {
public:
    // The picture's size; the skin's view port is expected to be this size.
    static const int kWidth = 480;
    static const int kHeight = 360;
    static const int kImageSize = 518400;   // 480 x 360 x 3, rows of 1440 bytes
    // The open-camera button in client (and picture) coordinates.
    static const RECT kButtonRect;
    // Button looks.
    enum { LOOK_NORMAL = 0, LOOK_HOVER = 8, LOOK_PRESSED = 16 };

    CWndVideoShow();
    ~CWndVideoShow() override;

    // IVideoDeal, called by the kernel's chain on its frame thread.
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_OUTPUT; }

    // The window's own message handlers (each sets handled when it answers
    // the message itself).
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSetCursor(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // Called by the main window when it is destroyed: leaves the recording
    // group and the chain (no frame arrives afterwards), releases
    // DirectDraw, closes the window and frees the picture buffers.
    void Uninit();

    // The open-camera button's three looks, copied from the image manager.
    // WM_CREATE does this; call again if the skin loads the pictures later.
    bool LoadButtonImages();
    // The language changed: the button's looks (their words are part of
    // the pictures) are those of the current language from now on; the
    // recording bar's text follows by itself.
    void OnLanguageChanged();

    // What a test or the benchmark reads: the composed picture (bottom-up
    // rows of 1440 bytes), the button look and the presenter.
    const BYTE* PreviewBits() const { return m_previewBits.empty() ? nullptr : m_previewBits.data(); }
    int ButtonLook() const { return m_buttonLook.load(); }
    bool BlinkOn() const { return m_blink.load(); }
    int RecordState() const { return m_recordState.load(); }
    int LastStreamType() const { return m_lastStreamType.load(); }
    CDDrawPresenter& Presenter() { return m_presenter; }

protected:
    std::string GetWindowClassName() const override { return "__Velmo_VirtualCamera_WindowClass__"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // IDataRecordListObserver.
    void OnRecordState(eZXVRecordState state, eZXVRecordType type) override;
    void OnProgress(eZXVRecordType type) override;

private:
    void OnCreate();
    void DrawRecordBar();
    void PaintOpenCameraButton();
    void Present();
    // Puts the picture in the window with plain GDI, for when DirectDraw
    // cannot (no DirectDraw, no surfaces on this desktop); says so once in
    // the log.
    bool DrawThroughGdi();
    // Whether a client point is on the button (the picture is stretched
    // over the whole window).
    bool InButton(POINT pt) const;
    void ReleaseBarResources();

    CDDrawPresenter m_presenter;
    BITMAPINFO m_previewInfo;
    std::vector<BYTE> m_previewBits;
    // Frames of another size are scaled with the filter's own fixed-point
    // scaler (area averaging); 32-bit frames are packed to 24 bits first.
    CZxScaler m_scaler;
    int m_srcWidth = 0, m_srcHeight = 0, m_srcBitCount = 0;
    std::vector<BYTE> m_packed;

    // The window's size (the view port's: larger than the picture on a
    // screen above 100 %), and the picture scaled to it by the shared
    // scaler when they differ; what the presenter was made for.
    std::atomic<int> m_clientWidth{kWidth}, m_clientHeight{kHeight};
    CZxScaler m_outScaler;
    std::vector<BYTE> m_outBits;
    BITMAPINFO m_outInfo;
    bool m_outScaled = false;
    int m_outWidth = kWidth, m_outHeight = kHeight;

    std::atomic<int> m_recordState;
    std::atomic<int> m_recordKind;
    std::atomic<unsigned> m_recordSeconds;
    std::atomic<bool> m_blink;

    // What the composed picture was made from: the frame and the state of
    // the bar and the button (frame thread; new button pictures from the
    // UI thread make it invalid).
    struct ComposeKey {
        int streamType, recordState, recordKind;
        unsigned recordSeconds;
        bool blink;
        int buttonLook;
        bool operator==(const ComposeKey& o) const {
            return streamType == o.streamType && recordState == o.recordState && recordKind == o.recordKind &&
                   recordSeconds == o.recordSeconds && blink == o.blink && buttonLook == o.buttonLook;
        }
    };
    ComposeKey m_composedKey{};
    std::vector<BYTE> m_lastFrame;
    std::atomic<bool> m_composedValid{false};

    // The picture last put on the screen, to leave an unchanged one alone;
    // kRefreshFrames unchanged frames (a second) are drawn once all the same.
    static const int kRefreshFrames = 20;
    std::vector<BYTE> m_shown = std::vector<BYTE>(kImageSize);
    bool m_shownValid = false;
    int m_unchangedFrames = 0;
    std::atomic<bool> m_repaint{false};

    std::atomic<int> m_buttonLook;
    std::atomic<bool> m_pressed;
    std::atomic<int> m_lastStreamType;

    // The three looks of the button (normal, hover, pressed) as 150 x 50
    // blue-green-red pixels, rows top-down; empty when the picture is missing.
    std::vector<BYTE> m_buttonPixels[3];
    std::mutex m_buttonLock;

    // GDI+ objects of the recording bar, made on the frame thread at first use.
    std::unique_ptr<Gdiplus::FontFamily> m_barFamily;
    std::unique_ptr<Gdiplus::Font> m_barFont;
    bool m_barFontTried;

    bool m_inChain;
    std::optional<CObserverLink<IDataRecordListObserver>> m_recordLink;
    bool m_gdiLogged = false;
};
