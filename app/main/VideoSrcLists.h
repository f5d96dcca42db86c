// The lists of the video-source page, one class each: the media files to
// play, the pictures of the slide show, and the recordings of one kind
// (videos, sounds, photos). Every action is a call on the kernel module at
// the moment of use; every change comes back through the list's observer,
// which the message manager calls on the window's thread while the list is
// started.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "IDataMediaList.h"
#include "IDataRecordList.h"
#include "IDataSlideList.h"
#include "ObserverBase.h"
#include "ThumbListPanel.h"

class CMediaListPanel : public CThumbListPanel, public IDataMediaListObserver {
public:
    CMediaListPanel();
    // The play-mode names (0..3) in the current language; "" for other
    // values.
    static std::string ModeName(int mode);
    // The mode button shows the current mode's name (again).
    void ShowMode();

    // Attaches the observer and fills the list.
    void Start(DuiLib::CPaintManagerUI* pm) override;
    void Stop() override;
    void OnNotify(DuiLib::TNotifyUI& msg, const std::string& name) override;
    // The tile of the item now playing (null when none).
    CTileListItemUI* GetPlayingTile() const { return m_playing; }

    void OnItem(int id, const std::string& path, const std::string& thumbPath, bool added) override;
    void OnPosition(int id, double seconds) override;
    void OnPlaying(int id) override;
    void OnState(eMediaFileListPlayState state) override;
    void OnEnd() override;

private:
    void DeleteSelected() override;
    void OnTileRemoved(DuiLib::CControlUI* tile) override;
    // The playing tile shows its length again.
    void RestorePlayingTile();

    CTileListItemUI* m_playing = nullptr;
    std::optional<CObserverLink<IDataMediaListObserver>> m_observer;
};

class CSlideListPanel : public CThumbListPanel, public IDataSlideListObserver {
public:
    CSlideListPanel();
    // The play-mode names (0..2) in the current language; "" for other
    // values.
    static std::string ModeName(int mode);
    // The mode button shows the current mode's name (again).
    void ShowMode();

    void Start(DuiLib::CPaintManagerUI* pm) override;
    void Stop() override;
    void OnNotify(DuiLib::TNotifyUI& msg, const std::string& name) override;
    // Reads the list (its pictures arrive as loaded notifications).
    void Load();

    void OnItemLoaded(int id, bool loaded, const std::string& path, const std::string& thumbPath,
                      bool fromList) override;
    void OnItemRemoved(int id, const std::string& path) override;

private:
    void DeleteSelected() override;

    std::optional<CObserverLink<IDataSlideListObserver>> m_observer;
};

class CRecordListPanel : public CThumbListPanel, public IDataRecordListObserver {
public:
    explicit CRecordListPanel(eZXVRecordType type);
    // The message tip for a recording's problem (detail: the folder or
    // file it names), and for a rename or move of target that failed.
    static std::string ProblemText(int type, int problem, const std::string& detail, bool midway);
    static std::string MoveProblemText(int problem, const std::string& target);

    void Start(DuiLib::CPaintManagerUI* pm) override;
    void Stop() override;
    void OnNotify(DuiLib::TNotifyUI& msg, const std::string& name) override;
    // Asks the kernel for the records (they arrive as record notifications).
    void Load();
    // The record preview of record id, with the list's part: the playlist
    // paused first, then the dialog's decision carried out.
    void ShowRecordPreview(int id, bool justRecorded);
    // The tile of the recording in progress (null when none).
    CTileListItemUI* GetRecordingTile() const { return m_recording; }

    // Notifications of the other kinds are left to their lists.
    void OnRecord(eZXVRecordType type, int id, const std::string& thumbnail, bool isNew) override;
    void OnRecordState(eZXVRecordState state, eZXVRecordType type) override;
    void OnProgress(eZXVRecordType type) override;
    void OnRecordProblem(eZXVRecordType type, eZXVRecordProblem problem, const std::string& detail,
                         bool midway) override;

private:
    void DeleteSelected() override;
    void TileMenu(DuiLib::TNotifyUI& msg);

    const eZXVRecordType m_type;
    CTileListItemUI* m_recording = nullptr;
    // Tips of recording problems, shown once the observer has returned
    // (the tip is modal).
    std::vector<std::string> m_pendingTips;
    std::optional<CObserverLink<IDataRecordListObserver>> m_observer;
};
