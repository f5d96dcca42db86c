// The record preview: a modal dialog that shows one recording (a video, a
// sound recording or a photo) and lets the user decide what becomes of it -
// keep it under a new name, move it elsewhere, add it to a playlist,
// delete it, or just close. Videos and sound play through
// "modRecordPreview"; a worker thread pulls the frames and hands each one to
// the window's thread, which draws it in the picture control. The caller
// reads the result code and text and carries the decision out.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ControlVideoShow.h"
#include "DuiLib/UIlib.h"

class CRecordPreview : public DuiLib::CZxBaseDialog {
public:
    enum Kind { kVideo = 0, kAudio = 1, kPhoto = 2 };
    enum Result {
        kResultDelete = 1,   // delete the recording
        kResultRename = 2,   // rename it to the result text
        kResultMove = 3,     // move it to the path in the result text
        kResultAddToList = 4,
        kResultClose = 5,    // close without action
    };
    // How often the position is read while playing, and how many reads
    // without progress mean the recording has ended.
    static const UINT kPositionTimerMs = 800;
    static const int kStillTicksAtEnd = 4;
    // The message the worker posts when a new picture is in the buffer.
    static const UINT kFrameMessage = WM_APP + 0x1A;

    CRecordPreview();
    ~CRecordPreview() override;

    // Before showing: the record (kind, id) of "modRecordList", and whether
    // it was just recorded (then it can be renamed). Videos and sound are handed to "modRecordPreview" and the frame
    // worker starts.
    void Open(int kind, int id, bool justRecorded);
    // Stops the frame worker and waits for it (also done when the window
    // goes).
    void StopWorker();

    int GetResult() const { return m_result; }
    const std::string& GetResultText() const { return m_resultText; }
    int GetPlayState() const { return m_playState; }
    const std::string& GetFilePath() const { return m_path; }
    int GetDuration() const { return m_duration; }

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The position read on a timer tick (public so a test can take ticks
    // without waiting 800 ms each).
    void UpdatePosition();

    // Why a new name cannot be used, or "" when it can: empty, characters
    // Windows forbids in a file name, a reserved device name, or another
    // file of that name already in folder with extension ext.
    // The path a "save as" of a record of the kind ends with: a photo
    // named without a picture extension gets that of the chosen filter
    // (1 BMP, 2 JPEG, 3 PNG).
    static std::string SaveAsPath(int kind, const std::string& chosen, int filterIndex);

    static std::string RenameProblem(const std::string& name, const std::string& folder, const std::string& ext,
                                     const std::string& currentPath);

private:
    void LayOut();
    // The title and the add button's text, in the current language.
    void SetTexts();
    void ShowPhoto();
    void Play();
    void Pause();
    void EndWithResult(int result, const std::string& text = std::string());
    void SaveAs();
    void TryRename();
    void Worker();
    void SetPage(const char* tabLayout, int page);
    void ShowPosition(int seconds);

    CDialogBuilderCallbackExVideShow m_callback;
    int m_kind = kVideo;
    int m_id = -1;
    bool m_justRecorded = false;
    std::string m_path;
    // The worker's picture (400 x 300, 24 bits, bottom-up); copied into the
    // picture control on the window's thread.
    std::vector<unsigned char> m_picture;
    std::vector<unsigned char> m_pending;
    CRITICAL_SECTION m_pendingLock;
    std::atomic<bool> m_framePosted{false};
    CControlVideoShow* m_pVideo = nullptr;
    DuiLib::CControlUI* m_pCurPos = nullptr;
    DuiLib::CSliderUI* m_pPosition = nullptr;
    std::atomic<int> m_playState{2};   // 0 playing, 1 paused, 2 stopped
    int m_duration = 0;
    int m_lastPos = 0;
    int m_stillTicks = 0;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_running{0};
    int m_result = kResultClose;
    std::string m_resultText;
};
