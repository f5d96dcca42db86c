// "modVideoEffectText": the caption, one line of text on a half-transparent
// band across the frame, still or scrolling sideways. Every setter stores its
// value in the configuration section "VEText" at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_VIDEOEFFECTTEXT "modVideoEffectText"
#define ZX_MOD_VIDEOEFFECTTEXT_OB "modVideoEffectText_ob"

// Notification types of "modVideoEffectText_ob".
enum eVideoEffectTextMessage {
    // The caption was switched on or off; argument (bool enabled).
    VIDEOEFFECTTEXT_MSG_ENABLE = 0,
};

// Move directions of the caption.
enum eVideoEffectTextDirection {
    VIDEOEFFECTTEXT_RIGHT_TO_LEFT = 0,
    VIDEOEFFECTTEXT_STILL = 1,
    VIDEOEFFECTTEXT_LEFT_TO_RIGHT = 2,
};

class IDataVideoEffectText : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_VIDEOEFFECTTEXT;
    // Joins (true) or leaves (false) the frame chain; observers are told
    // when the state changes.
    virtual void SetEnable(bool enable) = 0;
    virtual bool GetEnable() = 0;
    // The caption text (UTF-8).
    virtual void SetText(const std::string& text) = 0;
    virtual std::string GetText() = 0;
    // The font's family name (UTF-8). A name no installed font has draws
    // with the generic sans-serif family; the name itself is kept.
    virtual void SetFont(const std::string& fontName) = 0;
    virtual std::string GetFont() = 0;
    // The font size in pixels.
    virtual void SetFontSize(uint8_t size) = 0;
    virtual uint8_t GetFontSize() = 0;
    virtual void SetBold(bool bold) = 0;
    virtual bool GetBold() = 0;
    virtual void SetUnderLine(bool underLine) = 0;
    virtual bool GetUnderLine() = 0;
    virtual void SetItalic(bool italic) = 0;
    virtual bool GetItalic() = 0;
    // Colours are COLORREF values (0x00BBGGRR); the high byte is ignored.
    virtual void SetTextColor(COLORREF color) = 0;
    virtual COLORREF GetTextColor() = 0;
    virtual void SetBkColor(COLORREF color) = 0;
    virtual COLORREF GetBkColor() = 0;
    // An eVideoEffectTextDirection.
    virtual void SetMoveDirection(int direction) = 0;
    virtual int GetMoveDirection() = 0;
    // 1 (one 2-pixel step every 500 ms) to 100 (one step every 5 ms).
    virtual void SetMoveSpeed(uint8_t speed) = 0;
    virtual uint8_t GetMoveSpeed() = 0;
    // Vertical place of the band in percent: 0 on the bottom edge, 100 on
    // the top edge.
    virtual void SetTextPos(int pos) = 0;
    virtual int GetTextPos() = 0;
    // Opacity of the band, 0 (clear) to 255 (opaque).
    virtual void SetBkAlpha(uint8_t alpha) = 0;
    virtual uint8_t GetBkAlpha() = 0;
};

// Observer of "modVideoEffectText_ob": unpacks the notification and calls
// the typed operation, which does nothing unless overridden.
class IDataVideoEffectTextObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_VIDEOEFFECTTEXT_OB;
    using EnableMsg = CNotification<IDataVideoEffectTextObserver, VIDEOEFFECTTEXT_MSG_ENABLE, bool>;

    void OnMessage(int type, const ArgList& args) override {
        if (type == EnableMsg::kType) EnableMsg::Call(args, this, &IDataVideoEffectTextObserver::OnTextEnable);
    }
    virtual void OnTextEnable(bool /*enabled*/) {}
};
