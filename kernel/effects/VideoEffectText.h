// The caption "modVideoEffectText": one line of user text on a
// half-transparent band across the frame, still or scrolling sideways. Its
// settings live in the configuration section "VEText" and are written the
// moment they change, except the text: typed one key at a time, it is drawn
// at once but written by a saver thread after a pause in the typing (and at
// UnInit), so a slow disk never holds up the typing.
//
// GDI+ lays out and renders the text; the rendered glyph coverage is kept
// between frames (it changes only with the text and the font), so a frame
// costs one blend of the band and of the visible text pixels, whatever the
// length of the text.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AutoLock.h"
#include "GdiPlus.h"
#include "IDataVideoEffectText.h"
#include "IVideoDeal.h"

class CVideoEffectText : public IDataVideoEffectText, public IVideoDeal {
public:
    CVideoEffectText();
    ~CVideoEffectText() override;

    // Registers the data module, loads the settings, builds the drawing
    // objects and, when the caption was on, joins the chain. Always true.
    // GDI+ must be started.
    bool Init();
    // Leaves the chain and the bus and frees the drawing objects; the saved
    // settings (the enabled state too) stay for the next start. A text not
    // yet written is written first.
    void UnInit();

    // How long the typing must pause before the text is written (500 ms
    // unless changed).
    void SetTextSaveDelay(DWORD ms);
    // Waits until the last text given to SetText is written; false when
    // that takes longer than timeoutMs.
    bool WaitTextSaved(DWORD timeoutMs);

    // IDataVideoEffectText
    void SetEnable(bool enable) override;
    bool GetEnable() override;
    void SetText(const std::string& text) override;
    std::string GetText() override;
    void SetFont(const std::string& fontName) override;
    std::string GetFont() override;
    void SetFontSize(uint8_t size) override;
    uint8_t GetFontSize() override;
    void SetBold(bool bold) override;
    bool GetBold() override;
    void SetUnderLine(bool underLine) override;
    bool GetUnderLine() override;
    void SetItalic(bool italic) override;
    bool GetItalic() override;
    void SetTextColor(COLORREF color) override;
    COLORREF GetTextColor() override;
    void SetBkColor(COLORREF color) override;
    COLORREF GetBkColor() override;
    void SetMoveDirection(int direction) override;
    int GetMoveDirection() override;
    void SetMoveSpeed(uint8_t speed) override;
    uint8_t GetMoveSpeed() override;
    void SetTextPos(int pos) override;
    int GetTextPos() override;
    void SetBkAlpha(uint8_t alpha) override;
    uint8_t GetBkAlpha() override;

    // IVideoDeal
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_TEXT; }

    // The layout as last measured: the text's width and height (whole
    // pixels), the band's top row (counted from the top of the frame) and
    // the text's horizontal origin.
    float GetTextWidth();
    float GetTextHeight();
    int GetBandTop();
    float GetTextX();
    // The family the caption is drawn with: the chosen font, or the generic
    // sans-serif family when no installed font has that name. Empty before
    // Init.
    std::string GetDrawnFontFamily();

protected:
    // The clock of the scrolling, in milliseconds.
    virtual DWORD GetNow() { return GetTickCount(); }

private:
    CVideoEffectText(const CVideoEffectText&);
    CVideoEffectText& operator=(const CVideoEffectText&);

    // Adds the effect to the chain through "modKernal" (without m_lock held:
    // the chain calls back under its own lock).
    bool JoinChain();

    // All of these run with m_lock held.
    void LoadSettings();
    void RebuildFont();
    // Measures the text and places the band.
    void UpdateLayout();
    // Renders the text when it changed, around where it is now.
    void PrepareVisibleCoverage();
    void UpdateLayoutAndCoverage();
    void InvalidateCoverage();
    bool PrepareCoverage(int visibleFrom, int visibleTo);
    bool RenderCoverage(int x0, int width);
    int TextLeft() const;
    void UpdateBandTable();
    float StartX(int direction) const;
    void ScrollStep();
    void BlendBand(BYTE* frame, int width, int height, int stride);
    void BlendText(BYTE* frame, int width, int height, int stride);

    // A field read under the lock.
    template <typename T>
    T Locked(const T& field) {
        CAutoLock lock(m_lock);
        return field;
    }
    // Bold, underline, italic: stored, the font rebuilt, the text laid out
    // again, and saved under key.
    void SetFontStyle(bool& field, bool value, const char* key);

    void Save(const char* key, uint32_t value);
    void SaveBool(const char* key, bool value);
    void SaveString(const char* key, const std::wstring& value);
    // The text saver: hands a text over, the thread's loop, and the last
    // write with the thread stopped.
    void QueueTextSave(const std::wstring& text);
    void TextSaverLoop();
    void StopTextSaver();

    CRITICAL_SECTION m_lock;
    bool m_bInit;

    // The text saver's state, under m_saveMutex.
    std::mutex m_saveMutex;
    std::condition_variable m_saveCv;
    std::thread m_saver;
    std::wstring m_pendingText;
    bool m_bSavePending = false;
    bool m_bSaving = false;
    bool m_bSaverStop = false;
    unsigned m_textChanges = 0;
    DWORD m_textSaveDelay = 500;

    // Settings.
    bool m_bEnable;
    std::wstring m_text;
    std::wstring m_fontName;
    uint8_t m_fontSize;
    bool m_bBold;
    bool m_bUnderLine;
    bool m_bItalic;
    COLORREF m_textColor;
    COLORREF m_bkColor;
    int m_moveDirection;
    uint8_t m_moveSpeed;
    int m_textPos;
    uint8_t m_bkAlpha;

    // Working state.
    DWORD m_lastStepTime;
    VideoFrameFormat m_format;
    Gdiplus::StringFormat* m_pStringFormat;
    Gdiplus::SolidBrush* m_pTextBrush;
    Gdiplus::SolidBrush* m_pBkBrush;
    Gdiplus::Font* m_pFont;
    std::wstring m_drawnFamily;
    float m_textWidth;
    float m_textHeight;
    int m_bandTop;
    float m_textX;
    // Set by SetEnable before joining the chain: the chain's format call
    // then places the text at the start of its direction, so no frame sees
    // a position left over from before.
    bool m_bPlaceOnJoin;

    // The band's blend, one table per channel (blue, green, red): the new
    // value of a pixel channel of the given old value.
    BYTE m_bandTable[3][256];

    // The rendered text: coverage 0 to 255 per pixel of the text's picture,
    // whose text origin is m_textMargin pixels right of and below its
    // top-left corner (room for glyph parts outside the measured box). A
    // picture of moderate size is held whole; of a larger one only a window
    // of columns [m_coverageX0, m_coverageX0 + m_coverageWidth) is held and
    // rendered again once the visible part leaves it.
    // m_rowFirst/m_rowLast bound the covered columns of each held row
    // (first > last for an empty row).
    bool m_bCoverageValid;  // matches the text and font (or failed: m_bCoverageFailed)
    bool m_bCoverageFailed;
    int m_pictureWidth;
    int m_pictureHeight;
    int m_textMargin;
    int m_coverageX0;
    int m_coverageWidth;
    std::vector<BYTE> m_coverage;
    std::vector<int> m_rowFirst;
    std::vector<int> m_rowLast;
};
