// The function area of the main window ("vFunWnd"): the three option
// buttons that switch its pages (camera, video sources, effects) and the
// shortcuts that open one list of the video-source page (recorded videos,
// recorded sounds, photos) when a recording or a snapshot starts.
#pragma once

#include "DealCamera.h"
#include "DealVideoEffect.h"
#include "DealVideoSrc.h"
#include "DuiLib/UIlib.h"

class CDealNotifyFunDlg : public DuiLib::INotifyUI {
public:
    // Remembers the window's paint manager, listens to "vFunWnd" and
    // initialises the panels of the pages: effects, camera, video sources.
    void Attach(DuiLib::CPaintManagerUI* pm);
    // Stops listening and lets the panels go (the main window's OnDestroy).
    void Detach();
    void Notify(DuiLib::TNotifyUI& msg) override;
    // Sets the texts the panels' code shows again, in the current language.
    void OnLanguageChanged();

    // Shows page 0 (camera), 1 (video sources) or 2 (effects) of "tabMain"
    // and marks its tab's filler.
    void ShowFunPage(int page);
    // The video-source page with its list of recorded videos, recorded
    // sounds or photos.
    void ShowMyRecordVideos() { ShowVideoSrcList("optionVideoSrcMyRecordV"); }
    void ShowMyRecordAudios() { ShowVideoSrcList("optionVideoSrcMyRecordA"); }
    void ShowMyPhotos() { ShowVideoSrcList("optionVideoSrcMyPhoto"); }

    DuiLib::CPaintManagerUI* GetPaintManager() const { return m_pm; }
    CDealCamera& GetCameraPanel() { return m_dealCamera; }
    CDealVideoEffect& GetVideoEffectPanel() { return m_dealVideoEffect; }
    CDealVideoSrc& GetVideoSrc() { return m_videoSrc; }

private:
    void ShowVideoSrcList(const char* option);
    DuiLib::CPaintManagerUI* m_pm = nullptr;
    CDealVideoEffect m_dealVideoEffect;
    CDealCamera m_dealCamera;
    CDealVideoSrc m_videoSrc;
};
