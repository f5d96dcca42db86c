// Helpers of the capture filter tests: COM, registration, the device enumerator, a graph
// camera -> Sample Grabber -> Null Renderer, the kernel host, the program's registry folder.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <cstdint>
#include <atomic>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "DShowBase/DShowGuids.h"
#include "ZxLib/ZxLib.h"

namespace vct {

// COM for the calling thread while alive.
class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_MULTITHREADED);
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

// A COM pointer that releases what it holds.
template <class T>
class Ptr {
public:
    Ptr() = default;
    ~Ptr() { Reset(); }
    Ptr(const Ptr&) = delete;
    Ptr& operator=(const Ptr&) = delete;
    T** operator&() {
        Reset();
        return &m_p;
    }
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }
    // Takes over a reference the caller holds.
    void Attach(T* p) {
        Reset();
        m_p = p;
    }
    void** out() { return reinterpret_cast<void**>(&*this); }

private:
    T* m_p = nullptr;
};

// The filter module of this build (next to the test program).
std::string FilterDllPath();

// Calls the module's DllRegisterServer or DllUnregisterServer, loading it as a setup tool does.
HRESULT CallRegistration(bool reg);

// Registers the filter while alive (and unregisters it afterwards).
class RegisteredFilter {
public:
    RegisteredFilter();
    ~RegisteredFilter();
    RegisteredFilter(const RegisteredFilter&) = delete;
    RegisteredFilter& operator=(const RegisteredFilter&) = delete;
    HRESULT result() const { return m_hr; }

private:
    HRESULT m_hr;
};

// The friendly names of the video input devices the system enumerator lists.
std::vector<std::wstring> VideoInputDevices();

// Binds the video input device named name to its filter, as a client does.
HRESULT BindDevice(const std::wstring& name, IBaseFilter** filter);

// The first pin of the filter.
HRESULT FirstPin(IBaseFilter* filter, IPin** pin);

// The filter made straight from its class in this process, without COM.
HRESULT MakeFilterDirectly(IBaseFilter** filter);

// Points the filter's log at a fresh file in the scratch folder; its path.
std::string RedirectFilterLog(const std::string& name);
// The filter's log once every line queued so far is written.
std::string ReadFilterLog(const std::string& path);

// Sets or deletes (folder null) the program's folder in the registry while alive, then puts
// back what was there. Deleting the user's value also sets aside the machine-wide ones (both
// views) the camera falls back to, which an install into the prefix leaves behind.
class ProgramFolderSetting {
public:
    explicit ProgramFolderSetting(const wchar_t* folder, HKEY root = HKEY_CURRENT_USER);
    ~ProgramFolderSetting();
    ProgramFolderSetting(const ProgramFolderSetting&) = delete;
    ProgramFolderSetting& operator=(const ProgramFolderSetting&) = delete;

private:
    struct Saved {
        HKEY root;
        REGSAM view;
        bool hadValue;
        std::wstring oldValue;
    };
    std::vector<Saved> m_saved;
};

// One sample as the Sample Grabber saw it.
struct Frame {
    std::vector<uint8_t> bytes;  // only kept for the newest samples
    long length = 0;             // the sample's actual data length
    REFERENCE_TIME start = 0, end = 0;
    bool timed = false;
    int first = -1;              // the sample's first byte
    bool uniform = false;        // every byte the same (a whole numbered frame)
    double receivedUs = 0;       // when it arrived, on the performance counter
};

// Keeps every sample's times and the bytes of the newest ones.
class FrameCollector : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

    // Waits until count samples have arrived in all (false after timeoutMs).
    bool WaitFor(size_t count, DWORD timeoutMs);
    // Waits until the first byte has changed count times from sample to sample.
    bool WaitForChanges(size_t count, DWORD timeoutMs);
    // Waits for a sample for which test is true; returns it in out.
    bool WaitForFrame(bool (*test)(const Frame&, const void*), const void* context, DWORD timeoutMs, Frame& out);
    size_t Count();
    Frame Last();
    std::vector<Frame> Since(size_t index);  // the frames kept from index on
    void Clear();

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Frame> m_frames;  // times of all, bytes of the newest ones only
    size_t m_keepFrom = 0;
    size_t m_changes = 0;
};

// Our filter (from the device enumerator) -> Sample Grabber (RGB24) -> Null Renderer.
class Graph {
public:
    Graph();
    ~Graph();
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    typedef HRESULT (*Select)(IAMStreamConfig*);
    // Another receiver instead of collector (before Build or Create); it must outlive the graph.
    void UseCallback(ISampleGrabberCB* callback) { m_callback = callback; }
    // Builds and connects the graph; select (optional) runs on the camera's IAMStreamConfig first.
    HRESULT Build(Select select = nullptr);
    // The same in steps (the camera from the enumerator or from its class); RemoveCamera undoes the last two.
    HRESULT Create();
    HRESULT AddCamera(bool fromDevice);
    HRESULT Connect(Select select);
    void RemoveCamera();
    HRESULT Run();
    HRESULT Stop();
    // No clock: the renderer takes every sample at once, so only the pin's own pacing holds it.
    HRESULT RemoveClock();
    // Disconnects every pin and removes the filters.
    void TearDown();

    // The size of the connection camera -> grabber; 0 when not connected.
    void ConnectedSize(int& width, int& height);

    IGraphBuilder* builder() const { return m_graph.get(); }
    IBaseFilter* camera() const { return m_camera.get(); }
    IPin* cameraPin() const { return m_cameraOut.get(); }
    FrameCollector collector;

private:
    Ptr<IGraphBuilder> m_graph;
    Ptr<IMediaControl> m_control;
    Ptr<IBaseFilter> m_camera, m_grabber, m_null;
    Ptr<ISampleGrabber> m_grab;
    Ptr<IPin> m_cameraOut, m_grabIn, m_grabOut, m_nullIn;
    ISampleGrabberCB* m_callback = nullptr;
};

// For a graph without a clock run at runAtUs (taken before Run), no sample may arrive before
// runAtUs + its stamp (load only makes samples later): the number that did (20 ms allowed).
int SamplesBeforeTheirTime(const std::vector<Frame>& frames, double runAtUs);

// SetFormat to the capability at index (GetStreamCaps).
HRESULT SelectCaps(IAMStreamConfig* config, int index);

// The kernel host in another process, publishing for the given seconds.
class KernelHost {
public:
    explicit KernelHost(double seconds);
    ~KernelHost();  // waits for it to end (ends it when it hangs)
    KernelHost(const KernelHost&) = delete;
    KernelHost& operator=(const KernelHost&) = delete;
    bool Started() const { return m_process != nullptr; }
    // Waits for the host to end by itself; its exit code, or -1.
    int Wait(DWORD timeoutMs);

private:
    HANDLE m_process = nullptr;
};

// Writes 640 x 480 frames into the real channel from a thread until stopped: paced at 20 a
// second or back to back; fill paints frame n (BGR, bottom-up). signalEveryMs also signals the
// channel's event every millisecond.
class ChannelWriter {
public:
    typedef void (*Fill)(uint8_t* pixels, int n);
    static constexpr int kWidth = 640, kHeight = 480;
    ChannelWriter(Fill fill, bool paced, bool signalEveryMs = false);
    ~ChannelWriter() { Stop(); }
    ChannelWriter(const ChannelWriter&) = delete;
    ChannelWriter& operator=(const ChannelWriter&) = delete;
    void Stop();
    int Written() const { return m_written; }

private:
    void Run(Fill fill, bool paced, bool signalEveryMs);
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_written{0};
    std::thread m_thread;
};

// Reads one published frame (header checked) from the real channel: its pixels.
bool ReadPublishedFrame(std::vector<uint8_t>& pixels, int& sizeCode, DWORD timeoutMs);

// Pixel (x, y from the bottom) of a 24-bit bottom-up picture, as 0xRRGGBB.
unsigned PixelAt(const std::vector<uint8_t>& picture, int width, int x, int yFromBottom);

bool AllZero(const std::vector<uint8_t>& bytes);

// The number of CRLF-ended lines in text.
size_t CountLines(const std::string& text);

// Waits until no process of this prefix runs exeName (any case); false on timeout.
bool WaitUntilNoProcess(const std::wstring& exeName, DWORD timeoutMs);

// The process's handle count (Wine 8 answers GetProcessHandleCount with 0: handles are probed).
DWORD CountHandles();

}  // namespace vct
