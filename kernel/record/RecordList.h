// The recorder, "modRecordList": a consumer of finished frames (it joins the
// chain only while it records a video or a snapshot is due) and of the
// microphone's samples, which it encodes through LibRecorder; and the keeper
// of the video, sound and picture record lists ("Record\Dat\*.dat").
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "AudioProcess.h"
#include "IDataRecordList.h"
#include "IVideoDeal.h"
#include "LibStream/LibStream.h"

struct RecordItem {
    int id = 0;
    std::string path;
    std::string name;       // videos and sound: the file name without extension
    std::string thumbnail;  // videos and pictures
    int duration = 0;       // videos and sound: seconds
};

class CRecordList : public IDataRecordList, public IVideoDeal, public IAudioProcessEvent {
public:
    CRecordList();
    ~CRecordList() override;

    // The kernel's calls. Init always succeeds.
    bool Init();
    void UnInit();
    // The worker's 100 ms step: the progress notification, at most once per
    // 500 ms of the tick count.
    void ProgressTick();
    // The same step at the tick count now (tests drive it with a clock of
    // their own).
    void ProgressTick(DWORD now);
    CAudioProcess& AudioProcess() { return m_oAudioProcess; }

    // IDataRecordList
    bool EnumRecords(int type) override;
    int GetRecordDuration(int type, int id) override;
    std::string GetRecordName(int type, int id) override;
    int RenameRecord(int type, int id, const std::string& name) override;
    std::string GetRecordThumbnail(int type, int id) override;
    std::string GetRecordPath(int type, int id) override;
    int MoveRecord(int type, int id, const std::string& path) override;
    void DeleteRecords(int type, const std::vector<int>& ids, bool deleteFiles) override;
    void OpenRecordDir(int type) override;
    int StartRecord(int type) override;
    int GetRecordTime() override;
    void StopRecord() override;
    int GetRecordingId(int type) override;
    void TakeSnapshot() override;
    void EndSnapshot() override;
    std::string GetDefaultRecordDir(int type) override;

    // IVideoDeal
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_OUTPUT; }

    // IAudioProcessEvent
    void OnAudioProcess(double sampleTime, BYTE* data, int length) override;

    // The records of a type, newest first.
    std::vector<RecordItem> GetRecords(int type);
    // The type's folder from the settings ("VSRecord"), or the default one.
    std::string GetRecordDir(int type);
    // "MMDD_hhmmssmmmm" and the type's extension.
    static std::string RecordFileName(const SYSTEMTIME& time, int type);
    // <data folder>Record\Dat\VideoList.dat and so on.
    static std::string ListFilePath(int type);
    static std::string GetThumbnailPath(int type, const std::string& source);
    // Saves a scaled copy of a picture with the GDI+ encoder of "image/jpeg"
    // (0), "image/bmp" (1) or "image/png" (2). An existing file is kept.
    static bool MakePictureThumbnail(int encoder, const std::string& source, const std::string& thumbnail, int width,
                                     int height);
    // How many reasons the recorder has to be in the chain.
    static int ChainReferences();
    // Why a name cannot be a file name (ZXV_RECORD_ERR_BAD_NAME), or
    // ZXV_RECORD_OK: empty, characters Windows forbids, a trailing dot or
    // space, a reserved device name.
    static int CheckFileName(const std::string& name);
    // The problem a failed file operation's Windows error stands for.
    static int ProblemOf(unsigned long systemError);
    // Moves a file to the recycle bin (undoable). True when it went.
    static bool RecycleFile(const std::string& path);

private:
    CRecordList(const CRecordList&);
    CRecordList& operator=(const CRecordList&);

    std::vector<std::unique_ptr<RecordItem>>* List(int type);
    RecordItem* Find(int type, int id);
    void LoadList(int type);
    void SaveList(int type);
    void NotifyRecord(int type, int id, const std::string& thumbnail, bool isNew);
    void NotifyState(int state, int type);
    void NotifyProblem(int type, int problem, const std::string& detail, bool midway);
    // The folder a new recording of the type goes to; a configured folder
    // that is missing and cannot be made is reported, not replaced.
    int RecordFolderFor(int type, std::string& folder);
    // The recorder's failure as a problem and its detail.
    int RecorderProblem(const std::string& path, std::string& detail, bool midway);
    void StopAfterFailure();
    int MoveItemFile(int type, RecordItem& item, const std::string& path, bool replace);
    void AddRecordDeal();
    void ReleaseRecordDeal();
    std::string NewRecordPath(int type);
    void SaveSnapshot(const BYTE* frame, int width, int height);

    std::vector<std::unique_ptr<RecordItem>> m_lists[3];
    int m_nextId[3];
    // The lists change on the user's thread and (snapshots) on the frame
    // thread.
    CRITICAL_SECTION m_listLock;
    std::atomic<int> m_state;
    std::atomic<int> m_type;
    std::atomic<RecordItem*> m_current;
    bool m_firstFrame;
    std::atomic<bool> m_snapshot;
    // An append failed (a write or the encoder): the worker's next step
    // stops the recording.
    std::atomic<bool> m_writeFailed;
    // Starts and stops (from the user's thread and, after a failure, from
    // the worker) never overlap.
    CRITICAL_SECTION m_controlLock;
    std::atomic<int> m_lastElapsed;
    DWORD m_lastTick;
    bool m_ticked;
    int m_width, m_height;
    LibRecorder m_oRecorder;
    // Appends and the close of the recorder never overlap.
    CRITICAL_SECTION m_recorderLock;
    CAudioProcess m_oAudioProcess;
    bool m_inited;
};
