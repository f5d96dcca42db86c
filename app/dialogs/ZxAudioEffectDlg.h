// The sound-clip palette: one button per ".wav" clip of the program's "wav"
// folder, four to a row. A click plays the clip through the sound system
// (a new clip stops the one playing). The window is made once, shown on
// demand and hidden, not destroyed, by its close button.
#pragma once

#include <string>
#include <vector>

#include "DuiLib/UIlib.h"

class CZxAudioEffectDlg : public DuiLib::CZxBaseDialog {
public:
    CZxAudioEffectDlg();

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    // Also the change of language: the clips' names follow it.
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    std::string GetBkCfgName() const override { return "PopWndTranslucent"; }

    // The name a clip's button shows: the file name without its extension
    // and without its leading digits ("01掌声.wav" -> "掌声"); a name of
    // digits alone is kept whole. The program's own clips are named in the
    // current language ("Applause" in English); the files keep their names.
    static std::string ClipTitle(const std::string& path);

    const std::vector<std::string>& GetClips() const { return m_clips; }
    // The clip the last click asked for ("" before any) and whether the
    // sound system took it.
    const std::string& GetLastPlayed() const { return m_lastPlayed; }
    bool GetLastPlayAccepted() const { return m_lastAccepted; }

private:
    void BuildClipList();
    void SetClipTitles();
    void PlayClip(size_t index);

    std::vector<std::string> m_clips;
    DuiLib::CVerticalLayoutUI* m_pPanel = nullptr;
    std::string m_lastPlayed;
    bool m_lastAccepted = false;
};
