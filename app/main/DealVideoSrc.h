// The video-source page of the main window's function area: five lists of
// thumbnails (media files to play, pictures for the slide show, recorded
// videos, recorded sound, photos). The user adds and deletes files, plays
// an item with a double click, picks the play order, records, snaps, opens
// an item's folder and moves recordings into the playlists; each recording
// is looked at in the record preview dialog. Every action is a call on the
// kernel module fetched by name at the moment of use; every change comes
// back through the three observers, which the message manager calls on the
// window's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DuiLib/UIlib.h"
#include "IDataMediaList.h"
#include "IDataRecordList.h"
#include "IDataSlideList.h"

class CTileLayoutVSSlide;
class CTileLayoutVSSlideItem;

class CDealVideoSrc : public DuiLib::INotifyUI,
                      public IDataMediaListObserver,
                      public IDataSlideListObserver,
                      public IDataRecordListObserver {
public:
    // What opening an item's folder hands to the shell: ShellExecute's file
    // and parameters ("explorer.exe" with "/select,\"path\"", or a folder
    // with no parameters). Empty file: nothing to open.
    struct ShellCommand {
        std::string file;
        std::string params;
    };
    // The command that shows path in the file manager: the file selected
    // when it exists, otherwise its nearest existing parent folder.
    static ShellCommand FolderCommand(const std::string& path);
    // Where the folder commands go; by default ShellExecute with "open".
    // The tests read the command here instead of starting a file manager.
    static std::function<void(const ShellCommand&)> s_shellRunner;

    // Finds the page, its tab layout and the five lists; false (and the
    // panel stays inert) when one is missing. Then listens to the page,
    // attaches the three observers and fills the media list.
    bool Init(DuiLib::CPaintManagerUI* pm);
    void Uninit();
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The record preview for record id of type, with the caller's part:
    // the playlist paused first, then the dialog's decision carried out.
    void ShowRecordPreview(int type, int id, bool justRecorded);

    // Media list observer.
    void OnItem(int id, const std::string& path, const std::string& thumbPath, bool added) override;
    void OnPosition(int id, double seconds) override;
    void OnPlaying(int id) override;
    void OnState(eMediaFileListPlayState state) override;
    void OnEnd() override;
    // Slide list observer.
    void OnItemLoaded(int id, bool loaded, const std::string& path, const std::string& thumbPath,
                      bool fromList) override;
    void OnItemRemoved(int id, const std::string& path) override;
    // Record list observer.
    void OnRecord(eZXVRecordType type, int id, const std::string& thumbnail, bool isNew) override;
    void OnRecordState(eZXVRecordState state, eZXVRecordType type) override;
    void OnProgress(eZXVRecordType type) override;
    void OnRecordProblem(eZXVRecordType type, eZXVRecordProblem problem, const std::string& detail,
                         bool midway) override;

    // The message tip for a recording's problem (detail: the folder or
    // file it names), and for a rename or move of target that failed.
    static std::string ProblemText(int type, int problem, const std::string& detail, bool midway);
    static std::string MoveProblemText(int problem, const std::string& target);

    // The play-mode names of the media list (0..3) and the slide show
    // (0..2); null for other values.
    static const char* MediaModeName(int mode);
    static const char* SlideModeName(int mode);

    // The tile of the media item now playing, and the tiles of the video
    // and sound being recorded (null when none).
    CTileLayoutVSSlideItem* GetPlayingTile() const { return m_pPlayingItem; }
    CTileLayoutVSSlideItem* GetRecordingTile(int type) const {
        return type == 0 ? m_pRecordingVideo : type == 1 ? m_pRecordingAudio : nullptr;
    }

private:
    void OnMediaNotify(DuiLib::TNotifyUI& msg, const std::string& name);
    void OnSlideNotify(DuiLib::TNotifyUI& msg, const std::string& name);
    void OnRecordNotify(DuiLib::TNotifyUI& msg, const std::string& name, int type);
    void ShowPage(int page);

    void LoadMediaList();
    void LoadSlideList();
    // Multi-select open-file dialog; the chosen files that exist.
    std::vector<std::string> ChooseFiles(const wchar_t* filter);

    void DeleteSelectedMedia();
    void DeleteSelectedSlides();
    void DeleteSelectedRecords(int type);

    void MediaTileMenu(DuiLib::TNotifyUI& msg);
    void SlideTileMenu(DuiLib::TNotifyUI& msg);
    void RecordTileMenu(DuiLib::TNotifyUI& msg, int type);
    void MediaModeMenu();
    void SlideModeMenu();
    // A menu at a point of the window's client area; the chosen id or -1.
    int PopupMenu(DuiLib::CMenuUI& menu, POINT client);

    // A tile with the look every list shares, added at the front (index 0)
    // or appended.
    CTileLayoutVSSlideItem* AddTile(CTileLayoutVSSlide* layout, const std::string& name, int id,
                                    const std::string& text, const std::string& icon, const SIZE& size,
                                    const RECT& textPadding, bool front);
    CTileLayoutVSSlideItem* TileByTag(CTileLayoutVSSlide* layout, int tag) const;
    CTileLayoutVSSlideItem* TileOf(DuiLib::CControlUI* sender) const;
    CTileLayoutVSSlide* RecordLayout(int type) const;
    void RestorePlayingTile();
    void OpenFolderOf(const std::string& path);
    void ShowTip(const char* text);
    HWND Window() const;

    DuiLib::CPaintManagerUI* m_pm = nullptr;
    DuiLib::CTabLayoutUI* m_pTab = nullptr;
    CTileLayoutVSSlide* m_pSlides = nullptr;
    CTileLayoutVSSlide* m_pMedia = nullptr;
    CTileLayoutVSSlide* m_pRecordV = nullptr;
    CTileLayoutVSSlide* m_pRecordA = nullptr;
    CTileLayoutVSSlide* m_pPhotos = nullptr;
    CTileLayoutVSSlideItem* m_pPlayingItem = nullptr;
    CTileLayoutVSSlideItem* m_pRecordingVideo = nullptr;
    CTileLayoutVSSlideItem* m_pRecordingAudio = nullptr;
    // Tips of recording problems, shown once the observer has returned
    // (the tip is modal).
    std::vector<std::string> m_pendingTips;
    // Pages 1 to 4 load their lists at their first visit. One panel lives
    // as long as the program's one main window, so these last as long as
    // the process; kept in the panel so that a window made anew (the tests
    // make one per case) starts unloaded.
    bool m_loaded[5] = {true, false, false, false, false};
};
