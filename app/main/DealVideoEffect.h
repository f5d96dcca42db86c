// The effects page of the function area ("tabPageMainVideoEffect"): the
// colour filters, the caption and the borders on the three pages of
// "tabVideoEffect", and the strip of effects in use ("panelVECurUse") with
// a delete button for each and a clear button. Every action is a call on
// "modVideoEffectPendant", "modVideoEffectText" or "modVideoEffectBorder";
// the strip follows those modules' notifications, which the message manager
// delivers on this window's thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "DuiLib/UIlib.h"
#include "IDataVEBorder.h"
#include "IDataVideoEffectPendant.h"
#include "IDataVideoEffectText.h"
#include "ObserverBase.h"

class CTileListUI;

class CDealVideoEffect : public DuiLib::INotifyUI,
                         public IDataVEPendantObserver,
                         public IDataVideoEffectTextObserver,
                         public IDataVEBorderObserver {
public:
    // In-use entries of the strip.
    enum { kUseFilter = 0, kUseCaption = 1, kUseBorder = 2 };

    // Listens to the page and the strip, attaches the three observers and
    // fills the font lists, the filter tiles and the strip. False (and no
    // observer attached) when a tile layout is missing from the skin.
    bool Init(DuiLib::CPaintManagerUI* pm);
    // Stops listening and detaches the observers.
    void Uninit();
    void Notify(DuiLib::TNotifyUI& msg) override;

    void OnPendantChanged(int id, const std::string& name) override;
    void OnTextEnable(bool enabled) override;
    void OnBorderChanged(int id, const std::string& name) override;

    // The page of "tabVideoEffect" (0 filters, 1 caption, 2 borders); the
    // caption and border pages are filled at their first visit.
    void ShowPage(int page);
    // Shows the names of the filters, borders and effects in use in the
    // current language.
    void OnLanguageChanged();

    // The name a filter (by id) or a border (by its stored name) shows: the
    // built-in ones are named in the current language, a border of the
    // user's own keeps its file's name.
    static std::string FilterName(int id, const std::string& storedName);
    static std::string BorderName(const std::string& storedName);

private:
    // Asks the user for a colour, starting from black. True with the chosen
    // colour (a COLORREF, top byte 0xFF) when the user confirms.
    bool ChooseColour(COLORREF& chosen);
    // Shows entry n of the strip with a text, or takes it away.
    void ShowInUse(int n, const std::string& text);
    void HideInUse(int n);
    void FillFontNames();
    void FillFontSizes();
    void FillFilterTiles();
    void FillBorderTiles();
    void FillTextControls();
    void FillInUse();
    void NotifyFilter(DuiLib::TNotifyUI& msg, const std::string& name);
    void NotifyText(DuiLib::TNotifyUI& msg, const std::string& name);
    void NotifyBorder(DuiLib::TNotifyUI& msg, const std::string& name);
    void NotifyInUse(DuiLib::TNotifyUI& msg, const std::string& name);
    void PickColour(DuiLib::CControlUI* button, bool text);
    void CheckBox(const char* name, bool checked);
    // Selects the tile of an id, or none for -1.
    void SelectTile(CTileListUI* layout, int id);
    DuiLib::CContainerUI* Strip();

    DuiLib::CPaintManagerUI* m_pm = nullptr;
    CTileListUI* m_pendantTiles = nullptr;
    CTileListUI* m_borderTiles = nullptr;
    // Kept per window (not per process): a window made again, as the tests
    // do, fills its own pages and strip.
    bool m_textLoaded = false;
    bool m_borderLoaded = false;
    std::optional<CObserverLinks<IDataVEPendantObserver, IDataVideoEffectTextObserver, IDataVEBorderObserver>>
        m_observers;
};
