// The video-source page of the main window's function area: five lists of
// thumbnails (media files to play, pictures for the slide show, recorded
// videos, recorded sound, photos), each a panel of its own
// (VideoSrcLists.h). The page switches between them, loads a list at its
// first visit and hands each control's notification to the list whose
// skin names it carries.
#pragma once

#include <memory>
#include <string>

#include "DuiLib/UIlib.h"
#include "VideoSrcLists.h"

class CDealVideoSrc : public DuiLib::INotifyUI {
public:
    CDealVideoSrc();

    // Finds the page, its tab layout and the five lists; false (and the
    // panel stays inert) when one is missing. Then listens to the page,
    // starts the lists (their observers attach) and fills the media list.
    bool Init(DuiLib::CPaintManagerUI* pm);
    void Uninit();
    void Notify(DuiLib::TNotifyUI& msg) override;
    // The play-mode buttons show their modes again, in the current language.
    void OnLanguageChanged();

    CMediaListPanel& Media() { return m_media; }
    CSlideListPanel& Slides() { return m_slides; }
    // The list of recordings of type (an eZXVRecordType).
    CRecordListPanel& Records(int type) { return *m_records[type]; }

    // The tile of the media item now playing, and the tiles of the video
    // and sound being recorded (null when none).
    CTileListItemUI* GetPlayingTile() const { return m_media.GetPlayingTile(); }
    CTileListItemUI* GetRecordingTile(int type) const {
        return type == ZXV_RECORD_VIDEO || type == ZXV_RECORD_AUDIO ? m_records[type]->GetRecordingTile() : nullptr;
    }

private:
    void ShowPage(int page);
    // The lists in page order: media, slides, videos, sounds, photos.
    CThumbListPanel* List(int page);

    DuiLib::CPaintManagerUI* m_pm = nullptr;
    DuiLib::CTabLayoutUI* m_pTab = nullptr;
    CMediaListPanel m_media;
    CSlideListPanel m_slides;
    std::unique_ptr<CRecordListPanel> m_records[3];
    // Pages 1 to 4 load their lists at their first visit. One panel lives
    // as long as the program's one main window, so these last as long as
    // the process; kept in the panel so that a window made anew (the tests
    // make one per case) starts unloaded.
    bool m_loaded[5] = {true, false, false, false, false};
};
