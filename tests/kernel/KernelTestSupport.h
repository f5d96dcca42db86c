// Helpers of the kernel tests: GDI+ for the test program, pictures written
// to files, and frame consumers that record what they are given.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "IDataKernal.h"
#include "IDataVideoMgr.h"
#include "IVideoDeal.h"
#include "ListFile.h"
#include "TestSupport.h"
#include "VideoDealChain.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace kt {

// Starts GDI+ once for the whole test program.
void EnsureGdiplus();

// Writes a picture file of width x height filled with one colour
// (0xAARRGGBB); the format follows the MIME type ("image/png", "image/bmp").
bool WritePicture(const std::string& path, int width, int height, unsigned argb, const wchar_t* mime);

// A processor that records its calls.
class RecordingDeal : public IVideoDeal {
public:
    explicit RecordingDeal(int type, std::vector<std::string>* journal = nullptr, const char* name = "")
        : m_type(type), m_journal(journal), m_name(name) {}
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return m_type; }

    bool acceptFormat = true;
    std::atomic<int> formats{0};
    std::atomic<int> frames{0};
    std::atomic<int> lastStreamType{-1};
    int lastWidth = 0;
    // A copy of the newest frame.
    std::mutex lock;
    std::vector<BYTE> lastFrame;
    bool keepFrames = false;

private:
    int m_type;
    std::vector<std::string>* m_journal;
    std::string m_name;
};

// "modKernal" for tests of a single effect: the real chain behind the
// kernel's data module, registered while the object lives.
class TestKernal : public IDataKernal {
public:
    TestKernal();
    ~TestKernal() override;
    bool AddVideoDeal(IVideoDeal* deal) override { return chain.AddVideoDeal(deal); }
    void RemoveVideoDeal(IVideoDeal* deal) override { chain.RemoveVideoDeal(deal); }
    void RemoveAllVideoDeal() override { chain.RemoveAllVideoDeal(); }
    // Announces a 640 x 480 format and runs one frame through the chain.
    void AnnounceFormat(int width = 640, int height = 480);
    void RunFrame(std::vector<BYTE>& frame, int streamType);
    CVideoDealChain chain;
};

// The fixture of the effect tests: a fresh settings file, resource folder
// (ZXVCAM_RES_DIR) and log folder per test, and the real chain behind
// "modKernal" with a 640 x 480 format announced.
class EffectTest : public testing::Test {
protected:
    void SetUp() override {
        EnsureGdiplus();
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_root = zxtest::RedirectUserFolders(name);
        m_res = zxtest::MakeTempDir(name + "-res");
        SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", Charset::String2WString(m_res).c_str());
        m_ini = m_root + "ZxVCam.ini";
        ZxConfigSetFile(m_ini.c_str());
        kernal.AnnounceFormat();
    }
    void TearDown() override {
        ZxConfigSetFile(nullptr);
        SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", nullptr);
    }

    // Replaces the settings file with this text and loads it.
    void WriteIni(const std::string& text) {
        ASSERT_TRUE(zxtest::WriteFile(m_ini, text));
        ZxConfigSetFile(m_ini.c_str());
    }
    std::string IniText() { return zxtest::ReadFile(m_ini); }
    // Loads the settings file again, as the next start of the program would.
    void Reload() { ZxConfigSetFile(m_ini.c_str()); }

    TestKernal kernal;
    std::string m_root, m_res, m_ini;
};

// The kernel's side of the video manager: counts formats and frames, keeps the newest frame.
class FrameSink : public IVideoMgrCallBack {
public:
    void OnVideoData(BYTE* frame, int bytes, int streamType) override;
    void OnVideoFormat(const VideoFrameFormat& format) override;
    int Frames();
    // Pixel (x, y from the bottom) of the newest frame when it is 640 x 480 of the stream type; 0xFFFFFFFF otherwise.
    unsigned NewestPixel(int x, int y, int streamType);

    std::mutex lock;
    int frames = 0, formats = 0, width = 0;
    bool formatsBeforeFrames = false;
    std::vector<int> types;
    std::vector<DWORD> threads;
    std::vector<BYTE> last;
};

// What an observer was told, under a lock: the kernel tells it from its own threads.
// Event has an int field kind, the notification it came with.
template <class Event>
class Journal {
public:
    void Add(const Event& e) {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back(e);
    }
    std::vector<Event> Of(int kind) {
        std::lock_guard<std::mutex> g(m_lock);
        std::vector<Event> out;
        for (const Event& e : m_events)
            if (e.kind == kind) out.push_back(e);
        return out;
    }
    size_t Count(int kind) { return Of(kind).size(); }
    void Clear() {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.clear();
    }

private:
    std::mutex m_lock;
    std::vector<Event> m_events;
};

// Lets this thread's mode-2 observers run until done() is true or ms have passed; false on the time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD ms);

// Frame pixel (x, y), y counted from the bottom row, as 0xRRGGBB.
unsigned PixelAt(const std::vector<BYTE>& frame, int width, int x, int yFromBottom);

// The damaged list files a user may meet, for a list of the given layout:
// random bytes, and the good file of paths cut short inside its last entry.
std::vector<std::string> DamagedListFiles(const std::vector<std::string>& paths, eListFileLayout layout);

// What the newest set-aside copy of a damaged list file holds ("<file>.bad",
// then "<file>.1.bad", "<file>.2.bad", ...); empty when there is none.
std::string NewestCopyOf(const std::string& file);

// The name of a temporary file that a save cut short by a crash left beside
// file: one written by a process that has ended.
std::string StaleTempOf(const std::string& file);

// How many lines of the log file (in the log folder) hold text; pending log lines are written first.
size_t LogLinesWith(const std::string& logName, const std::string& text);

}  // namespace kt
