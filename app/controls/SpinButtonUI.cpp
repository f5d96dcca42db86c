#include "SpinButtonUI.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace DuiLib;

CSpinButtonUI::CSpinButtonUI() {
    m_pUp = new CButtonUI;
    m_pDown = new CButtonUI;
    m_pEdit = new CEditUI;
    m_pVert = new CVerticalLayoutUI;
    m_pHorz = new CHorizontalLayoutUI;
    for (CButtonUI* b : {m_pUp, m_pDown}) {
        b->SetAttribute("padding", "0,0,0,0");
        b->SetAttribute("width", "17");
        b->SetAttribute("height", "10");
        // Visible without skin pictures; a skin sets its own with bu_/bd_.
        b->SetBkColor(0xFFF4F4F4);
        b->SetBorderColor(0xFFCDB192);
        b->SetBorderSize(1);
    }
    m_pUp->SetName("spin_up");
    m_pDown->SetName("spin_down");
    m_pEdit->SetName("spin_edit");
    m_pEdit->SetAttribute("height", "20");
    m_pEdit->SetAttribute("padding", "1,1,0,0");
    m_pEdit->SetAttribute("textpadding", "1,1,0,1");
    m_pEdit->SetBorderSize(1);
    m_pEdit->SetBorderColor(kEnabledBorderColor);
    // The buttons' column keeps their width; the edit box takes the rest.
    m_pVert->SetFixedWidth(17);
    m_pVert->Add(m_pUp);
    m_pVert->Add(m_pDown);
    m_pHorz->Add(m_pEdit);
    m_pHorz->Add(m_pVert);
    Add(m_pHorz);
}

CSpinButtonUI::~CSpinButtonUI() {
    // The children are deleted by the container; stop hearing from them first.
    if (m_pEdit) m_pEdit->RemoveNotifier(this);
    if (m_pUp) m_pUp->RemoveNotifier(this);
    if (m_pDown) m_pDown->RemoveNotifier(this);
}

std::string CSpinButtonUI::GetClass() const { return "SpinButtonUI"; }

void* CSpinButtonUI::GetInterface(const std::string& name) {
    if (name == "SpinButton") return this;
    return CContainerUI::GetInterface(name);
}

void CSpinButtonUI::DoInit() {
    ShowValue();
    m_pEdit->AddNotifier(this);
    m_pUp->AddNotifier(this);
    m_pDown->AddNotifier(this);
}

bool CSpinButtonUI::SetAttribute(const std::string& name, const std::string& value) {
    struct Prefix {
        const char* text;
        CControlUI* target;
    };
    const Prefix prefixes[] = {{"e_", m_pEdit}, {"bu_", m_pUp}, {"bd_", m_pDown}, {"v_", m_pVert}, {"h_", m_pHorz}};
    for (const Prefix& p : prefixes) {
        const std::string pre = p.text;
        if (name.compare(0, pre.size(), pre) == 0 && name.size() > pre.size())
            return p.target->SetAttribute(name.substr(pre.size()), value);
    }
    int n = 0;
    if (name == "maxrange") {
        if (!ParseInt(value, n)) return false;
        SetRange(m_nMin, n);
        return true;
    }
    if (name == "minrange") {
        if (!ParseInt(value, n)) return false;
        SetRange(n, m_nMax);
        return true;
    }
    if (name == "interval") {
        if (!ParseInt(value, n)) return false;
        return SetStep(n);
    }
    if (name == "enabled") {
        bool ok = CContainerUI::SetAttribute(name, value);
        m_pEdit->SetBorderColor(value == "true" ? kEnabledBorderColor : kDisabledBorderColor);
        return ok;
    }
    return CContainerUI::SetAttribute(name, value);
}

void CSpinButtonUI::SetEnabled(bool bEnable) {
    CContainerUI::SetEnabled(bEnable);
    // The parts follow, so a disabled box takes neither clicks nor typing.
    m_pEdit->SetEnabled(bEnable);
    m_pUp->SetEnabled(bEnable);
    m_pDown->SetEnabled(bEnable);
    m_pEdit->SetBorderColor(bEnable ? kEnabledBorderColor : kDisabledBorderColor);
}

void CSpinButtonUI::SetRange(int minimum, int maximum) {
    m_nMin = minimum;
    m_nMax = maximum;
    // The value stays inside the range (a box from 1 to 30 must not show
    // the initial 0), quietly: nothing was chosen by the user.
    if (m_nMin <= m_nMax && (m_nValue < m_nMin || m_nValue > m_nMax)) {
        m_nValue = m_nValue < m_nMin ? m_nMin : m_nMax;
        ShowValue();
    }
}

bool CSpinButtonUI::SetStep(int step) {
    // A step of zero or less would make the buttons do nothing or run the
    // wrong way.
    if (step <= 0) {
        DuiLog(2, "CSpinButtonUI", "spin box %s: step %d refused, keeping %d", m_sName.c_str(), step, m_nStep);
        return false;
    }
    m_nStep = step;
    return true;
}

void CSpinButtonUI::ShowValue() {
    char text[16];
    std::snprintf(text, sizeof text, "%d", m_nValue);
    m_pEdit->SetText(text);
}

void CSpinButtonUI::ApplyValue(int value, bool bNotify) {
    const bool changed = value != m_nValue;
    m_nValue = value;
    ShowValue();
    if (changed && bNotify && m_pManager) m_pManager->SendNotify(this, "spinvaluechanged");
}

void CSpinButtonUI::SetValue(int value, bool bNotify) {
    if (m_nMin <= m_nMax) value = (std::max)(m_nMin, (std::min)(m_nMax, value));
    ApplyValue(value, bNotify);
}

void CSpinButtonUI::AcceptTypedValue() {
    const std::string text = m_pEdit->GetText();
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(begin, &end);
    bool ok = end != begin && errno == 0 && std::isfinite(d);
    // Only a number, perhaps with blanks around it ("12abc" is not one).
    if (ok)
        for (const char* p = end; *p; ++p)
            if (*p != ' ' && *p != '\t') ok = false;
    const double truncated = ok ? std::trunc(d) : 0.0;
    if (!ok || truncated < m_nMin || truncated > m_nMax) {
        ShowValue();
        return;
    }
    ApplyValue(static_cast<int>(truncated), true);
}

void CSpinButtonUI::Notify(TNotifyUI& msg) {
    if (msg.sType == "click") {
        // In 64 bits, so a step near the ends of int cannot wrap around.
        if (msg.pSender == m_pUp) {
            const long long next = static_cast<long long>(m_nValue) + m_nStep;
            if (next <= m_nMax) ApplyValue(static_cast<int>(next), true);
        } else if (msg.pSender == m_pDown) {
            const long long next = static_cast<long long>(m_nValue) - m_nStep;
            if (next >= m_nMin) ApplyValue(static_cast<int>(next), true);
        }
    } else if (msg.sType == "killfocus" && msg.pSender == m_pEdit) {
        AcceptTypedValue();
    }
}
