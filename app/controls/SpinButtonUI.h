// A number box: an edit box with up and down buttons that step the value
// within a range; a typed value is taken when the edit box loses the focus
// and only when it is a number inside the range.
#pragma once

#include "DuiLib/UIlib.h"

class CSpinButtonUI : public DuiLib::CContainerUI, public DuiLib::INotifyUI {
public:
    static constexpr DWORD kEnabledBorderColor = 0xFFCDB192;
    static constexpr DWORD kDisabledBorderColor = 0xFFE2E2E2;

    CSpinButtonUI();
    ~CSpinButtonUI() override;

    std::string GetClass() const override;
    // "SpinButton" answers the control itself.
    void* GetInterface(const std::string& name) override;
    void DoInit() override;
    // "e_", "bu_", "bd_", "v_" and "h_" prefixed attributes go to the edit
    // box, the up button, the down button, the vertical and the horizontal
    // layout; "maxrange", "minrange", "interval"; "enabled" also colours
    // the edit box's border; the rest goes to the container.
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void SetEnabled(bool bEnable = true) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    int GetValue() const { return m_nValue; }
    // Sets the value (kept inside the range), shows it and, when it changed
    // and bNotify is set, sends "spinvaluechanged".
    void SetValue(int value, bool bNotify = true);
    int GetMaxValue() const { return m_nMax; }
    int GetMinValue() const { return m_nMin; }
    int GetStep() const { return m_nStep; }
    // A value outside the new range moves to its nearer end (no
    // notification).
    void SetRange(int minimum, int maximum);
    // False (and the step kept) for a step below 1.
    bool SetStep(int step);

    DuiLib::CEditUI* GetEdit() const { return m_pEdit; }
    DuiLib::CButtonUI* GetUpButton() const { return m_pUp; }
    DuiLib::CButtonUI* GetDownButton() const { return m_pDown; }

private:
    // Takes the edit box's text when it is a number inside the range;
    // otherwise shows the current value again.
    void AcceptTypedValue();
    void ShowValue();
    void ApplyValue(int value, bool bNotify);

    int m_nMax = 100;
    int m_nMin = 0;
    int m_nStep = 1;
    int m_nValue = 0;
    DuiLib::CButtonUI* m_pUp = nullptr;
    DuiLib::CButtonUI* m_pDown = nullptr;
    DuiLib::CEditUI* m_pEdit = nullptr;
    DuiLib::CVerticalLayoutUI* m_pVert = nullptr;
    DuiLib::CHorizontalLayoutUI* m_pHorz = nullptr;
};
