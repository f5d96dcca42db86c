// The slide engine: the list of pictures, the loader threads that take
// pictures into it, and the render thread that shows them one after another
// with a transition between two different pictures, handing every frame to
// its ISlideMediaOut.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "SlidePicture.h"
#include "SlideSwitch.h"

// What the loader reports for one picture.
struct SlideItemReport {
    int id = -1;         // -1 when the picture could not be taken
    bool loaded = false;
    std::string path;
    std::string thumbPath;
    bool fromList = false;
};

// Where the engine's threads send their results (the slide list).
class ISlideMediaOut {
public:
    // A rendered frame, on the render thread.
    virtual void OnFrame(const BYTE* frame, int length) = 0;
    // A picture was taken into the list or failed to be, on a loader thread.
    virtual void OnItemLoaded(const SlideItemReport& report) = 0;
    // A picture left the list because its file vanished (or no longer
    // decodes), on the render thread.
    virtual void OnItemRemoved(int id, const std::string& path) = 0;

protected:
    ~ISlideMediaOut() {}
};

// The engine's time: the tick count and the short wait of the render loop.
// Tests put a clock of their own in its place to drive the show step by step.
class ISlideClock {
public:
    virtual DWORD Now() = 0;
    virtual void Wait(DWORD ms) = 0;

protected:
    ~ISlideClock() {}
};

struct SlideEntry {
    int id = -1;
    std::string path;
    std::string thumbPath;
};

class CSlideEngine {
public:
    // Pictures from the list file count up from here, user additions down
    // from just below, so every later addition sorts before all earlier ones
    // and the list file's pictures keep their order behind them.
    static constexpr int kFirstListId = 0x0E000000;
    static constexpr int kFirstUserId = 0x0DFFFFFF;
    // How long a still picture stays before the next one.
    static constexpr DWORD kStillMs = 2000;

    // What the render thread is doing.
    enum eStepState { kStepEmpty = 0, kStepAnimation = 1, kStepStill = 2, kStepTransition = 3 };

    CSlideEngine();
    ~CSlideEngine();

    // Starts the render thread (framesPerSecond frames a second at
    // width x height, 24-bit). False when already started or the thread or
    // its events cannot be made.
    bool Start(int framesPerSecond, int width, int height, ISlideMediaOut* out);
    // Stops the loaders (each finishes the picture it is on) and waits for
    // them; the paths they had not reached stay in SavePaths.
    void StopLoaders();
    // Stops the render thread (25 x 20 ms, then by force) and the loaders,
    // closes the events, destroys the transitions and empties the list,
    // deleting every thumbnail.
    void Shutdown();

    // Has the paths taken into the list by a new loader thread, in order.
    void AddPaths(const std::vector<std::string>& paths, bool fromList);
    // Removes the pictures, deleting their thumbnails.
    void Remove(const std::vector<int>& ids);
    void RemoveAll();

    // Plays, showing picture id next (-1 for none).
    void Play(int id);
    void Pause();
    void Stop();
    int GetPlayState() const { return m_playState; }

    void SetPlayMode(int mode) { m_playMode = mode; }
    int GetPlayMode() const { return m_playMode; }
    void SetRenderSize(int width, int height);
    void SetStretch(bool stretch) { m_stretch = stretch; }
    void SetBackgroundColor(unsigned argb) { m_background = argb; }

    std::string GetItemPath(int id);
    // The pictures in list order.
    std::vector<SlideEntry> GetItems();
    // What the list file must hold: the listed pictures in list order, with
    // the paths the loaders have not reached yet where they will go (user
    // additions before, list-file pictures behind), so writing the file
    // while a load is still running loses nothing.
    std::vector<std::string> SavePaths();

    // Test seams: the clock, and what the render thread has done.
    void SetClock(ISlideClock* clock) { m_clock = clock ? clock : &m_systemClock; }
    int StepCount() const { return m_stepCount; }
    int StepState() const { return m_stepState; }
    int CurrentId() const { return m_shownId; }
    int TransitionsStarted() const { return m_transitions; }

private:
    CSlideEngine(const CSlideEngine&);
    CSlideEngine& operator=(const CSlideEngine&);

    struct LoadRequest {
        std::vector<std::string> paths;
        bool fromList = false;
        bool cancelled = false;  // RemoveAll ran: take nothing more
        size_t next = 0;         // the first path not yet taken (under m_listLock)
    };

    class SystemClock : public ISlideClock {
    public:
        DWORD Now() override { return GetTickCount(); }
        void Wait(DWORD ms) override { Sleep(ms); }
    };

    void LoaderThread(std::shared_ptr<LoadRequest> request);
    static DWORD WINAPI RenderThreadProc(void* self);
    void RenderThread();
    void Resize();
    void RenderStep();

    // The next picture after the current one in the play mode, dropping
    // vanished files on the way; transition tells whether a transition may
    // be used (the current picture is still listed and its file exists).
    bool ChooseNext(const CSlidePicture* current, SlideEntry& next, bool& transition);
    // Restarts the current picture from its first frame (a still stays).
    void RestartCurrent();
    void TransitionStep();
    void ShowRequested(int id);
    // Composes the entry at the render size; a picture that cannot be
    // composed is dropped like a vanished one.
    std::unique_ptr<CSlidePicture> Compose(const SlideEntry& entry);
    // Chooses and composes the next picture that can be shown.
    // same is set (and nothing returned) when the choice is the current
    // picture itself.
    std::unique_ptr<CSlidePicture> ComposeNext(const CSlidePicture* current, bool& transition, bool& same);
    void Drop(int id, bool notify);
    bool IsListed(int id);
    // Draws the picture's frame due now; true when it is done (a still once
    // drawn, an animation after its last frame's delay).
    bool DrawPicture(CSlidePicture& picture);
    void MakeCurrent(std::unique_ptr<CSlidePicture> picture);
    void NotifyRemoved(const std::vector<SlideEntry>& removed);

    ISlideMediaOut* m_out;
    SystemClock m_systemClock;
    std::atomic<ISlideClock*> m_clock;

    // The list and the loaders.
    std::mutex m_listLock;
    std::map<int, SlideEntry> m_list;
    int m_nextListId;
    int m_nextUserId;
    std::vector<std::shared_ptr<LoadRequest>> m_requests;  // unfinished, oldest first
    std::set<std::string> m_making;  // pictures a loader makes the thumbnail of right now
    std::mutex m_loaderLock;
    std::vector<std::thread> m_loaders;
    std::atomic<bool> m_stopLoaders;

    // Settings.
    std::atomic<int> m_playState;
    std::atomic<int> m_playMode;
    std::atomic<bool> m_stretch;
    std::atomic<unsigned> m_background;
    std::atomic<int> m_requestedId;
    std::mutex m_sizeLock;
    int m_pendingWidth, m_pendingHeight;
    DWORD m_intervalMs;

    // The render thread and what only it touches.
    HANDLE m_hStopEvent, m_hResizeEvent, m_hPlayEvent;
    HANDLE m_hThread;
    std::atomic<int> m_running;
    std::atomic<bool> m_resetSchedule;
    int m_width, m_height;
    // The frame the show draws into, taken at its first use (Output()), so
    // an engine whose show never plays holds no frame-sized buffer.
    std::vector<BYTE> m_output;
    BYTE* Output();
    std::unique_ptr<CSlidePicture> m_current;
    std::unique_ptr<CSlidePicture> m_next;
    std::unique_ptr<CSlideSwitchPool> m_switches;
    CSlideSwitchBase* m_switch;

    std::atomic<int> m_stepState;
    std::atomic<int> m_stepCount;
    std::atomic<int> m_shownId;
    std::atomic<int> m_transitions;
};
