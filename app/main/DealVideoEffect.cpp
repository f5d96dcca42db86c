#include "DealVideoEffect.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DialogCommon.h"
#include "KernelModules.h"
#include "LangUi.h"
#include "LiveButtonUI.h"
#include "TileListUI.h"
#include "ZxLib/ZxLib.h"
#include "ZxMusicCore/ZxMusicCore.h"

using namespace DuiLib;

namespace {

const char kPendantTile[] = "VEPendant_titleItem_";   // 20 characters
const char kBorderTile[] = "VEBorder_titleItem_";     // 19 characters
const char kInUseLabel[] = "VECurUse_ContanerItem_Label_";
const char kInUseButton[] = "VECurUse_ContanerItem_Btn_";   // 26 characters
const int kFirstFontSize = 15, kLastFontSize = 64;

template <class T>
T* FindAs(CPaintManagerUI* pm, const std::string& name, const char* kind) {
    CControlUI* c = pm ? pm->FindControl(name) : nullptr;
    return c ? static_cast<T*>(c->GetInterface(kind)) : nullptr;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

// The number after a name's prefix; -1 when the rest is not a number.
int IdAfter(const std::string& name, size_t prefixLength) {
    const std::string rest = name.substr(prefixLength);
    if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::atoi(rest.c_str());
}

std::string Numbered(const char* prefix, int n) {
    char text[96];
    std::snprintf(text, sizeof text, "%s%d", prefix, n);
    return text;
}

void AddItem(CComboUI* combo, const std::string& text) {
    auto* item = new CListLabelElementUI;
    item->SetText(text);
    item->SetUserData(text);
    combo->Add(item);
}

// The caption module speaks COLORREF (0x00BBGGRR), the skin ARGB.
DWORD ArgbOf(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) {
    // Faces beginning with "@" are the vertical forms of other fonts.
    if (font->lfFaceName[0] != L'@')
        reinterpret_cast<std::vector<std::string>*>(param)->push_back(Charset::WString2String(font->lfFaceName));
    return 1;
}

// A tile of the filter or border list.
CTileListItemUI* MakeTile(const char* prefix, int id, const std::string& name, const std::string& thumb) {
    auto* tile = new CTileListItemUI;
    tile->SetName(Numbered(prefix, id));
    tile->SetTag(static_cast<UINT_PTR>(id));
    tile->SetFixedWidth(84);
    tile->SetFixedHeight(79);
    tile->SetTextPadding(RECT{2, 64, 2, 2});
    tile->SetText(name);
    tile->SetToolTip(name);
    tile->SetTextColor(0xFFFFFFFF);
    tile->SetAttribute("setcursor", "true");
    tile->SetAttribute("align", "center");
    if (!thumb.empty()) {
        if (!CImageMgr::GetImage(thumb)) CImageMgr::AddImage(thumb, CRenderEngine::LoadFullPathImageFile(thumb));
        tile->SetIcon(thumb, RECT{2, 2, 82, 62});
    }
    return tile;
}

}  // namespace

bool CDealVideoEffect::Init(CPaintManagerUI* pm) {
    m_pm = pm;
    if (!m_pm) return false;
    if (CControlUI* page = m_pm->FindControl("tabPageMainVideoEffect")) page->AddNotifier(this);
    if (CControlUI* strip = m_pm->FindControl("panelVECurUse")) strip->AddNotifier(this);
    m_pendantTiles = FindAs<CTileListUI>(m_pm, "VEPendant_tilelayout", "TileList");
    m_borderTiles = FindAs<CTileListUI>(m_pm, "VEBorder_tilelayout", "TileList");
    if (!m_pendantTiles || !m_borderTiles) {
        ZxDlg::Log(3, "CDealVideoEffect", "the skin has no filter or border tile list");
        return false;
    }
    m_observers.emplace(this);
    FillFontNames();
    FillFontSizes();
    FillFilterTiles();
    FillInUse();
    return true;
}

void CDealVideoEffect::Uninit() {
    if (m_pm) {
        if (CControlUI* page = m_pm->FindControl("tabPageMainVideoEffect")) page->RemoveNotifier(this);
        if (CControlUI* strip = m_pm->FindControl("panelVECurUse")) strip->RemoveNotifier(this);
    }
    m_observers.reset();
}

void CDealVideoEffect::FillFontNames() {
    auto* combo = FindAs<CComboUI>(m_pm, "VEText_comboFontName", "Combo");
    if (!combo) return;
    std::vector<std::string> faces;
    HDC dc = m_pm->GetPaintDC();
    const bool ownDc = !dc;
    if (ownDc) dc = GetDC(nullptr);
    EnumFontFamiliesW(dc, nullptr, CollectFace, reinterpret_cast<LPARAM>(&faces));
    if (ownDc) ReleaseDC(nullptr, dc);
    std::stable_sort(faces.begin(), faces.end());
    combo->RemoveAll();
    for (const std::string& face : faces) AddItem(combo, face);
    combo->SelectItem(0, false);
}

void CDealVideoEffect::FillFontSizes() {
    auto* combo = FindAs<CComboUI>(m_pm, "VEText_comboFontSize", "Combo");
    if (!combo) return;
    combo->RemoveAll();
    for (int size = kFirstFontSize; size <= kLastFontSize; ++size) AddItem(combo, Numbered("", size));
    combo->SelectItem(0, false);
}

void CDealVideoEffect::FillFilterTiles() {
    IDataVideoEffectPendant* pendant = KernelModule<IDataVideoEffectPendant>();
    if (!pendant) return;
    VEPendantList list;
    pendant->GetPendantList(list);
    m_pendantTiles->RemoveAll();
    for (const VEPendantEntry& e : list)
        m_pendantTiles->Add(MakeTile(kPendantTile, e.id, FilterName(e.id, e.name), e.thumbPath));
    SelectTile(m_pendantTiles, pendant->GetPendant());
}

void CDealVideoEffect::FillBorderTiles() {
    IDataVEBorder* border = KernelModule<IDataVEBorder>();
    if (!border) return;
    std::vector<VEBorderItem*> list;
    border->GetBorderList(list);
    m_borderTiles->RemoveAll();
    for (const VEBorderItem* item : list)
        if (item) m_borderTiles->Add(MakeTile(kBorderTile, item->id, BorderName(item->name), item->thumbPath));
    SelectTile(m_borderTiles, border->GetBorder());
}

void CDealVideoEffect::SelectTile(CTileListUI* layout, int id) {
    if (!layout) return;
    std::vector<int> chosen;
    if (id != -1)
        for (int i = 0; i < layout->GetCount(); ++i)
            if (ITileListItem* tile = layout->GetTileAt(i))
                if (tile->GetTagValue() == id) chosen.push_back(i);
    layout->SelectItems(chosen, true);
}

void CDealVideoEffect::FillTextControls() {
    IDataVideoEffectText* text = KernelModule<IDataVideoEffectText>();
    if (!text) return;
    if (CControlUI* edit = m_pm->FindControl("VEText_TextEdit")) edit->SetText(text->GetText());
    if (auto* combo = FindAs<CComboUI>(m_pm, "VEText_comboFontName", "Combo"))
        combo->SelectItemByText(text->GetFont(), false);
    if (auto* combo = FindAs<CComboUI>(m_pm, "VEText_comboFontSize", "Combo"))
        combo->SelectItemByText(Numbered("", text->GetFontSize()), false);
    if (auto* combo = FindAs<CComboUI>(m_pm, "VEText_comboTextPos", "Combo")) {
        const int pos = text->GetTextPos();
        combo->SelectItem(pos <= 49 ? 0 : pos == 50 ? 1 : 2, false);
    }
    if (auto* combo = FindAs<CComboUI>(m_pm, "VEText_comboTextState", "Combo"))
        combo->SelectItem(text->GetMoveDirection(), false);
    if (auto* button = FindAs<CLiveButtonUI>(m_pm, "VEText_TextColor", "LiveButton"))
        button->SetIconColor(ArgbOf(text->GetTextColor()));
    if (auto* button = FindAs<CLiveButtonUI>(m_pm, "VEText_BKColor", "LiveButton"))
        button->SetIconColor(ArgbOf(text->GetBkColor()));
    CheckBox("VEText_checkboxEnable", text->GetEnable());
}

void CDealVideoEffect::FillInUse() {
    if (IDataVideoEffectPendant* pendant = KernelModule<IDataVideoEffectPendant>()) {
        const int id = pendant->GetPendant();
        const std::string name = id == -1 ? std::string() : pendant->GetPendantName(id);
        if (!name.empty()) ShowInUse(kUseFilter, FilterName(id, name));
        CheckBox("VEPendant_checkboxEnable", id != -1);
    }
    if (IDataVideoEffectText* text = KernelModule<IDataVideoEffectText>())
        if (text->GetEnable()) ShowInUse(kUseCaption, Lang::TextUtf8("app.effect.caption"));
    if (IDataVEBorder* border = KernelModule<IDataVEBorder>()) {
        const int id = border->GetBorder();
        const std::string name = id == -1 ? std::string() : border->GetBorderName(id);
        if (!name.empty()) ShowInUse(kUseBorder, BorderName(name));
    }
}

std::string CDealVideoEffect::FilterName(int id, const std::string& storedName) {
    // The kernel's filters by id, in its order.
    static const char* const kKeys[] = {"app.colour.rosy", "app.colour.airy",  "app.colour.cool",
                                        "app.colour.warm", "app.colour.lilac", "app.colour.vintage",
                                        "app.colour.blush"};
    return id >= 0 && id < static_cast<int>(sizeof kKeys / sizeof kKeys[0]) ? Lang::TextUtf8(kKeys[id]) : storedName;
}

std::string CDealVideoEffect::BorderName(const std::string& storedName) {
    // The borders the program ships, by their files' names.
    static const char* const kShipped[][2] = {{"星光", "app.border.stars"},   {"胶片", "app.border.film"},
                                              {"彩虹", "app.border.rainbow"}, {"爱心", "app.border.hearts"},
                                              {"相框", "app.border.frame"}};
    for (const auto& border : kShipped)
        if (storedName == border[0]) return Lang::TextUtf8(border[1]);
    return storedName;
}

void CDealVideoEffect::OnLanguageChanged() {
    if (!m_pm || !m_pendantTiles || !m_borderTiles) return;
    FillFilterTiles();
    if (m_borderLoaded) FillBorderTiles();
    // The strip's entries keep their places; their texts and buttons' tips
    // are set again.
    FillInUse();
    for (int n = kUseFilter; n <= kUseBorder; ++n)
        if (CControlUI* button = m_pm->FindControl(Numbered(kInUseButton, n)))
            button->SetToolTip(Lang::TextUtf8("app.effect.remove"));
}

CContainerUI* CDealVideoEffect::Strip() { return FindAs<CContainerUI>(m_pm, "VECurUse_horizontallayout", "Container"); }

void CDealVideoEffect::ShowInUse(int n, const std::string& text) {
    CContainerUI* strip = Strip();
    if (!strip) return;
    const std::string labelName = Numbered(kInUseLabel, n);
    auto* label = FindAs<CLabelUI>(m_pm, labelName, "Label");
    const bool fresh = !label;
    if (fresh) {
        label = new CLabelUI;
        label->SetName(labelName);
        label->SetTextColor(0xFFFFFFFF);
        label->SetAttribute("showshadow", "true");
        label->SetAttribute("shadowcolor", "#80000000");
        label->SetFont("tileItem.Font");
    }
    label->SetText(text);
    label->SetToolTip(text);
    if (fresh) {
        auto* button = new CButtonUI;
        button->SetName(Numbered(kInUseButton, n));
        button->SetNormalImage("btn_curVE_delete.png");
        button->SetFixedWidth(22);
        button->SetFixedHeight(20);
        button->SetAttribute("setcursor", "true");
        button->SetPadding(RECT{0, 0, 10, 0});
        button->SetToolTip(Lang::TextUtf8("app.effect.remove"));
        strip->Add(label);
        strip->Add(button);
    }
    // Fitted to the text in its font (measured once the label has its
    // paint manager).
    label->SetFixedWidth(label->MeasureTextWidth());
}

void CDealVideoEffect::HideInUse(int n) {
    CContainerUI* strip = Strip();
    if (!strip) return;
    if (CControlUI* label = m_pm->FindControl(Numbered(kInUseLabel, n))) strip->Remove(label);
    if (CControlUI* button = m_pm->FindControl(Numbered(kInUseButton, n))) strip->Remove(button);
}

void CDealVideoEffect::CheckBox(const char* name, bool checked) {
    if (auto* check = FindAs<COptionUI>(m_pm, name, "Option"))
        if (check->IsSelected() != checked) check->Selected(checked, false);
}

void CDealVideoEffect::ShowPage(int page) {
    if (auto* tab = FindAs<CTabLayoutUI>(m_pm, "tabVideoEffect", "TabLayout")) tab->SelectItem(page);
    if (page == 1 && !m_textLoaded) {
        m_textLoaded = true;
        FillTextControls();
    } else if (page == 2 && !m_borderLoaded) {
        m_borderLoaded = true;
        FillBorderTiles();
    }
}

void CDealVideoEffect::Notify(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    if (StartsWith(name, "VEPendant_")) NotifyFilter(msg, name);
    else if (StartsWith(name, "VEText_")) NotifyText(msg, name);
    else if (StartsWith(name, "VEBorder_")) NotifyBorder(msg, name);
    else if (StartsWith(name, "VECurUse_")) NotifyInUse(msg, name);
    else if (msg.sType == "click") {
        if (name == "VE_optionPendant") ShowPage(0);
        else if (name == "VE_optionVideoText") ShowPage(1);
        else if (name == "VE_optionBorder") ShowPage(2);
    }
}

void CDealVideoEffect::NotifyFilter(TNotifyUI& msg, const std::string& name) {
    if (msg.sType != "click") return;
    IDataVideoEffectPendant* pendant = KernelModule<IDataVideoEffectPendant>();
    if (!pendant) return;
    if (name == "VEPendant_checkboxEnable") {
        auto* check = static_cast<COptionUI*>(msg.pSender->GetInterface("Option"));
        if (check) pendant->SetPendant(check->IsSelected() ? 0 : -1);
    } else if (StartsWith(name, kPendantTile)) {
        const int id = IdAfter(name, sizeof kPendantTile - 1);
        if (id >= 0) pendant->SetPendant(id);
    }
}

void CDealVideoEffect::NotifyBorder(TNotifyUI& msg, const std::string& name) {
    if (msg.sType != "click" || !StartsWith(name, kBorderTile)) return;
    const int id = IdAfter(name, sizeof kBorderTile - 1);
    if (id < 0) return;
    if (IDataVEBorder* border = KernelModule<IDataVEBorder>())
        if (!border->SetBorder(id)) ZxDlg::Log(2, "CDealVideoEffect", "border %d could not be shown", id);
}

void CDealVideoEffect::NotifyText(TNotifyUI& msg, const std::string& name) {
    IDataVideoEffectText* text = KernelModule<IDataVideoEffectText>();
    if (!text) return;
    if (msg.sType == "TextChange") {
        if (name == "VEText_TextEdit") text->SetText(msg.pSender->GetText());
    } else if (msg.sType == "itemselect") {
        auto* combo = static_cast<CComboUI*>(msg.pSender->GetInterface("Combo"));
        if (!combo || combo->GetCurSel() < 0) return;
        const int index = combo->GetCurSel();
        if (name == "VEText_comboFontName") text->SetFont(combo->GetText());
        else if (name == "VEText_comboFontSize")
            text->SetFontSize(static_cast<uint8_t>(std::strtol(combo->GetText().c_str(), nullptr, 10)));
        else if (name == "VEText_comboTextPos") text->SetTextPos(index * 50);
        else if (name == "VEText_comboTextState") text->SetMoveDirection(index);
    } else if (msg.sType == "click") {
        if (name == "VEText_checkboxEnable") {
            auto* check = static_cast<COptionUI*>(msg.pSender->GetInterface("Option"));
            if (check) text->SetEnable(check->IsSelected());
        } else if (name == "VEText_TextColor") {
            PickColour(msg.pSender, true);
        } else if (name == "VEText_BKColor") {
            PickColour(msg.pSender, false);
        }
    }
}

void CDealVideoEffect::PickColour(CControlUI* button, bool textColour) {
    COLORREF chosen = 0;
    if (!ChooseColour(chosen)) return;
    if (auto* live = static_cast<CLiveButtonUI*>(button->GetInterface("LiveButton"))) live->SetIconColor(ArgbOf(chosen));
    button->Invalidate();
    if (IDataVideoEffectText* text = KernelModule<IDataVideoEffectText>()) {
        if (textColour) text->SetTextColor(chosen);
        else text->SetBkColor(chosen);
    }
}

bool CDealVideoEffect::ChooseColour(COLORREF& chosen) {
    COLORREF custom[16];
    std::fill(std::begin(custom), std::end(custom), RGB(255, 255, 255));
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = m_pm ? m_pm->GetPaintWindow() : nullptr;
    cc.rgbResult = RGB(0, 0, 0);
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&cc)) return false;
    chosen = cc.rgbResult | 0xFF000000u;
    return true;
}

void CDealVideoEffect::NotifyInUse(TNotifyUI& msg, const std::string& name) {
    if (msg.sType != "click") return;
    if (name == "VECurUse_btnClear") {
        // The strip empties through the modules' notifications.
        if (IDataVideoEffectPendant* pendant = KernelModule<IDataVideoEffectPendant>()) pendant->SetPendant(-1);
        if (IDataVideoEffectText* text = KernelModule<IDataVideoEffectText>()) text->SetEnable(false);
        if (IDataVEBorder* border = KernelModule<IDataVEBorder>()) border->SetBorder(-1);
        CheckBox("VEText_checkboxEnable", false);
    } else if (StartsWith(name, kInUseButton)) {
        switch (IdAfter(name, sizeof kInUseButton - 1)) {
        case kUseFilter:
            if (IDataVideoEffectPendant* pendant = KernelModule<IDataVideoEffectPendant>()) pendant->SetPendant(-1);
            break;
        case kUseCaption:
            if (IDataVideoEffectText* text = KernelModule<IDataVideoEffectText>()) text->SetEnable(false);
            CheckBox("VEText_checkboxEnable", false);
            break;
        case kUseBorder:
            if (IDataVEBorder* border = KernelModule<IDataVEBorder>()) border->SetBorder(-1);
            break;
        default:
            break;   // unknown entries are ignored
        }
    }
}

void CDealVideoEffect::OnPendantChanged(int id, const std::string& name) {
    if (id != -1) {
        ShowInUse(kUseFilter, FilterName(id, name));
        SelectTile(m_pendantTiles, id);
    } else {
        HideInUse(kUseFilter);
        if (m_pendantTiles) m_pendantTiles->SelectNone();
    }
    CheckBox("VEPendant_checkboxEnable", id != -1);
}

void CDealVideoEffect::OnTextEnable(bool enabled) {
    if (enabled) ShowInUse(kUseCaption, Lang::TextUtf8("app.effect.caption"));
    else HideInUse(kUseCaption);
    CheckBox("VEText_checkboxEnable", enabled);
}

void CDealVideoEffect::OnBorderChanged(int id, const std::string& name) {
    if (id != -1) {
        ShowInUse(kUseBorder, BorderName(name));
        SelectTile(m_borderTiles, id);
    } else {
        HideInUse(kUseBorder);
        if (m_borderTiles) m_borderTiles->SelectNone();
    }
}
