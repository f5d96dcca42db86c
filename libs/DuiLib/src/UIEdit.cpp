// CEditUI: a text box whose editing happens in a native edit window laid
// over the control while it has the focus, so typing, selection, the
// clipboard and the input method (IME) are the system's own.
#include "DuiLib/UIControls.h"

#include <imm.h>

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "UIInternal.h"

namespace DuiLib {

class CEditWnd : public CWindowWnd {
public:
    explicit CEditWnd(CEditUI* owner) : m_pOwner(owner) {}
    ~CEditWnd() override {
        if (m_hBrush) DeleteObject(m_hBrush);
    }

    bool Init() {
        CPaintManagerUI* pm = m_pOwner->GetManager();
        if (!pm || !pm->GetPaintWindow()) return false;
        // A layered window (per-pixel alpha) shows only the picture it is
        // given, never its child windows: over one, the edit box is a
        // small window of its own, owned by it and laid over the control.
        m_bPopup = pm->IsLayered();
        DWORD style = (m_bPopup ? WS_POPUP : WS_CHILD) | ES_AUTOHSCROLL;
        if (m_pOwner->IsPasswordMode()) style |= ES_PASSWORD;
        if (m_pOwner->IsReadOnly()) style |= ES_READONLY;
        UINT align = m_pOwner->GetTextStyle();
        if (align & DT_CENTER) style |= ES_CENTER;
        else if (align & DT_RIGHT) style |= ES_RIGHT;
        if (!Create(pm->GetPaintWindow(), "", style, m_bPopup ? WS_EX_TOOLWINDOW : 0, WindowRect())) return false;
        HFONT font = pm->GetHFont(m_pOwner->GetFont());
        if (font) ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        ::SendMessageW(m_hWnd, EM_LIMITTEXT, static_cast<WPARAM>(m_pOwner->GetMaxChar()), 0);
        ::SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
        m_bSetting = true;
        SetWindowTextW(m_hWnd, ToW(m_pOwner->m_sText).c_str());
        m_bSetting = false;
        int len = GetWindowTextLengthW(m_hWnd);
        ::SendMessageW(m_hWnd, EM_SETSEL, static_cast<WPARAM>(len), len);
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        ::SetFocus(m_hWnd);
        return true;
    }

    // Where the edit window goes: the text area of the control, in the
    // paint window's client coordinates, or on the screen for a popup.
    RECT WindowRect() const {
        RECT rc = EditRect();
        CPaintManagerUI* pm = m_pOwner->GetManager();
        if (m_bPopup && pm && pm->GetPaintWindow()) {
            POINT tl{rc.left, rc.top};
            ClientToScreen(pm->GetPaintWindow(), &tl);
            OffsetRect(&rc, tl.x - rc.left, tl.y - rc.top);
        }
        return rc;
    }

    RECT EditRect() const {
        RECT rc = RectDeflate(m_pOwner->GetPos(), Px(m_pOwner, m_pOwner->GetTextPadding()));
        CPaintManagerUI* pm = m_pOwner->GetManager();
        TFontInfo* f = pm ? pm->GetFontInfo(m_pOwner->GetFont()) : nullptr;
        int h = Px(m_pOwner, (f ? f->size : 12) + 6);
        if (RectHeight(rc) > h) {
            rc.top += (RectHeight(rc) - h) / 2;
            rc.bottom = rc.top + h;
        }
        return rc;
    }

    void SetTextQuietly(const std::string& text) {
        m_bSetting = true;
        SetWindowTextW(m_hWnd, ToW(text).c_str());
        m_bSetting = false;
    }

    std::string ReadText() const {
        int len = GetWindowTextLengthW(m_hWnd);
        std::wstring w(static_cast<size_t>(len) + 1, L'\0');
        GetWindowTextW(m_hWnd, &w[0], len + 1);
        w.resize(static_cast<size_t>(len));
        return ToU8(w);
    }

    // Puts the input method's composition and candidate windows at the
    // caret, in the box's font, so what is being composed shows where the
    // text goes rather than in a corner of the screen.
    void PlaceImeWindows() {
        HIMC imc = ImmGetContext(m_hWnd);
        if (!imc) return;
        POINT caret{0, 0};
        GetCaretPos(&caret);
        COMPOSITIONFORM cf{};
        cf.dwStyle = CFS_POINT;
        cf.ptCurrentPos = caret;
        ImmSetCompositionWindow(imc, &cf);
        int lineHeight = RectHeight(EditRect());
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
        LOGFONTW lf{};
        if (font && GetObjectW(font, sizeof lf, &lf)) {
            ImmSetCompositionFontW(imc, &lf);
            if (lf.lfHeight != 0) lineHeight = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        }
        CANDIDATEFORM cand{};
        cand.dwIndex = 0;
        cand.dwStyle = CFS_CANDIDATEPOS;
        cand.ptCurrentPos = POINT{caret.x, caret.y + lineHeight + 2};
        ImmSetCandidateWindow(imc, &cand);
        ImmReleaseContext(m_hWnd, imc);
    }

    CEditUI* m_pOwner;

protected:
    std::string GetWindowClassName() const override { return "ZxDuiEdit"; }
    std::string GetSuperClassName() const override { return "EDIT"; }
    void OnFinalMessage(HWND) override {
        if (m_pOwner && m_pOwner->m_pWindow == this) m_pOwner->m_pWindow = nullptr;
        delete this;
    }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        switch (uMsg) {
        case WM_KILLFOCUS: {
            LRESULT r = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
            // Editing ends when the box loses the keyboard focus; the window
            // goes once this message is done.
            if (m_pOwner) m_pOwner->EndEdit();
            return r;
        }
        case UIMSG_REFLECT + WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE && m_pOwner && !m_bSetting) {
                m_pOwner->m_sText = ReadText();
                if (CPaintManagerUI* pm = m_pOwner->GetManager()) pm->SendNotify(m_pOwner, "TextChange");
            }
            return 0;
        case UIMSG_REFLECT + WM_CTLCOLOREDIT:
        case UIMSG_REFLECT + WM_CTLCOLORSTATIC: {
            if (!m_pOwner) break;
            HDC hdc = reinterpret_cast<HDC>(wParam);
            DWORD tc = m_pOwner->GetTextColor();
            if (tc == 0) tc = 0xFF000000;
            SetTextColor(hdc, RGB((tc >> 16) & 0xFF, (tc >> 8) & 0xFF, tc & 0xFF));
            DWORD bc = m_pOwner->m_dwEditBkColor;
            COLORREF bk = RGB((bc >> 16) & 0xFF, (bc >> 8) & 0xFF, bc & 0xFF);
            SetBkColor(hdc, bk);
            if (!m_hBrush) m_hBrush = CreateSolidBrush(bk);
            return reinterpret_cast<LRESULT>(m_hBrush);
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN && m_pOwner) {
                if (CPaintManagerUI* pm = m_pOwner->GetManager()) pm->SendNotify(m_pOwner, "return");
                return 0;
            }
            break;
        case WM_IME_STARTCOMPOSITION:
        case WM_IME_COMPOSITION:
            // Placed before the system's own handling, which opens the
            // composition window. The composed text then arrives as
            // WM_IME_CHAR / WM_CHAR (or is inserted by the edit window
            // itself) and shows up through EN_CHANGE like typed text.
            PlaceImeWindows();
            break;
        case WM_IME_CHAR:
            // A character the input method made: typed like any other, at
            // once. (Windows' edit window takes WM_IME_CHAR itself; Wine's
            // leaves it to the default handling, which only posts a
            // WM_CHAR for later. Handing it on as WM_CHAR here is the same
            // on both.)
            return CWindowWnd::HandleMessage(WM_CHAR, wParam, lParam);
        case WM_CHAR:
            // Enter and Tab are handled above and by the paint manager; the
            // edit window would only beep at them.
            if (wParam == VK_RETURN || wParam == VK_TAB) return 0;
            break;
        case WM_CLOSE:
            DestroyWindow(m_hWnd);
            return 0;
        default:
            break;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    HBRUSH m_hBrush = nullptr;
    bool m_bSetting = false;
    bool m_bPopup = false;
};

CEditUI::CEditUI() {
    m_rcTextPadding = RECT{4, 3, 4, 3};
    m_dwBkColor = 0xFFFFFFFF;
}

CEditUI::~CEditUI() { DiscardOwnedWindow(m_pWindow); }

std::string CEditUI::GetClass() const { return "EditUI"; }

void* CEditUI::GetInterface(const std::string& name) {
    if (name == "Edit") return this;
    return CLabelUI::GetInterface(name);
}

HWND CEditUI::GetNativeEditWindow() const { return m_pWindow ? m_pWindow->GetHWND() : nullptr; }

void CEditUI::SetText(const std::string& text) {
    if (m_sText == text) return;
    m_sText = text;
    if (m_pWindow) m_pWindow->SetTextQuietly(text);
    Invalidate();
}

void CEditUI::StartEdit() {
    if (m_pWindow || !m_pManager || !IsEnabled() || !IsVisible()) return;
    CEditWnd* w = new CEditWnd(this);
    m_pWindow = w;
    if (!w->Init()) {
        DiscardOwnedWindow(m_pWindow);
        DuiLog(2, "CEditUI", "cannot open the edit window of %s", m_sName.c_str());
        return;
    }
    Invalidate();
}

void CEditUI::EndEdit() {
    CEditWnd* w = m_pWindow;
    if (!w) return;
    m_pWindow = nullptr;
    if (w->GetHWND()) {
        m_sText = w->ReadText();
        w->m_pOwner = nullptr;
        ::ShowWindow(w->GetHWND(), SW_HIDE);
        ::PostMessageW(w->GetHWND(), WM_CLOSE, 0, 0);
    } else {
        delete w;
    }
    Invalidate();
    if (m_pManager) m_pManager->SendNotify(this, "killfocus");
}

void CEditUI::SetPos(RECT rc) {
    CLabelUI::SetPos(rc);
    if (m_pWindow && m_pWindow->GetHWND()) {
        RECT r = m_pWindow->WindowRect();
        SetWindowPos(m_pWindow->GetHWND(), nullptr, r.left, r.top, RectWidth(r), RectHeight(r),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CEditUI::SetVisible(bool bVisible) {
    if (!bVisible) EndEdit();
    CLabelUI::SetVisible(bVisible);
}

void CEditUI::SetInternVisible(bool bVisible) {
    if (!bVisible) EndEdit();
    CLabelUI::SetInternVisible(bVisible);
}

void CEditUI::SetEnabled(bool bEnable) {
    if (!bEnable) EndEdit();
    CLabelUI::SetEnabled(bEnable);
}

void CEditUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
        CLabelUI::DoEvent(event);
        StartEdit();
        return;
    case UIEVENT_KILLFOCUS:
        EndEdit();
        CLabelUI::DoEvent(event);
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        // Focused already but not editing (the window was deactivated):
        // editing starts again.
        if (m_bFocused && !m_pWindow) StartEdit();
        return;
    case UIEVENT_BUTTONUP:
        return;
    case UIEVENT_SETCURSOR:
        ::SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
        event.lParam = 1;
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

bool CEditUI::SetAttribute(const std::string& name, const std::string& value) {
    bool b;
    int n;
    if (name == "readonly") {
        if (!ParseBool(value, b)) return false;
        m_bReadOnly = b;
    } else if (name == "password") {
        if (!ParseBool(value, b)) return false;
        m_bPassword = b;
    } else if (name == "maxchar") {
        if (!ParseInt(value, n) || n <= 0) return false;
        m_nMaxChar = n;
    } else if (TStateImages{&m_sNormalImage, &m_sHotImage, nullptr, &m_sFocusedImage, &m_sDisabledImage}.SetAttribute(
                   name, value)) {
    } else if (name == "nativebkcolor") m_dwEditBkColor = CRenderEngine::GetColorValue(value);
    else return CLabelUI::SetAttribute(name, value);
    Invalidate();
    return true;
}

void CEditUI::PaintStatusImage(Gdiplus::Graphics& g) {
    const bool enabled = IsEnabled();
    DrawStateImage(*this, g,
                   {{!enabled, &m_sDisabledImage, nullptr},
                    {m_bFocused, &m_sFocusedImage, nullptr},
                    {(m_uButtonState & UISTATE_HOT) != 0, &m_sHotImage, nullptr}},
                   m_sNormalImage);
}

void CEditUI::PaintText(Gdiplus::Graphics& g) {
    if (m_pWindow) return;  // the edit window shows the text
    if (m_bPassword) {
        std::string saved = m_sText;
        std::wstring w = ToW(m_sText);
        m_sText = ToU8(std::wstring(w.size(), L'\x25CF'));
        PaintTextWith(g, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor);
        m_sText = saved;
        return;
    }
    CLabelUI::PaintText(g);
}

}  // namespace DuiLib
