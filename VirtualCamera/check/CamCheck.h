// ZxCamCheck's engine: opens a video capture device the way a video-call
// program does (the system device enumerator, the device's moniker bound to
// its filter, a capture graph builder that renders the capture pin into a
// Sample Grabber taking RGB24 and a Null Renderer), lists the formats the
// device offers, and keeps figures on what arrives: the number of samples,
// their rate, the newest picture, and how old the newest frame the main
// program published was when a sample arrived.
//
// Used by the console mode and by the window of ZxCamCheck.exe; links no
// part of the filter, only what a client has.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <cstdint>
#include <mutex>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "DShowBase/DShowGuids.h"
#include "ShareMem.h"
#include "ZxLib/ZxLib.h"

namespace camcheck {

// Releases a COM pointer when it holds one and clears it.
template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// The camera the program publishes to.
inline constexpr wchar_t kCameraName[] = L"ZXVCam";
// The main program's single-instance mutex: it exists while a copy runs.
inline constexpr wchar_t kProgramMutex[] = L"Velmo_ZxVCam_2014-1-2";

// A video input device as the system device enumerator lists it.
struct Device {
    std::wstring name;        // "FriendlyName"
    std::wstring devicePath;  // "DevicePath", empty when the device has none
    std::wstring clsid;       // "CLSID", empty when the device has none
};

// Every video input device, in the enumerator's order. hr (optional) gets
// the enumerator's result (S_FALSE: the category is empty).
std::vector<Device> ListDevices(HRESULT* hr = nullptr);

// One format of the device's stream capabilities (IAMStreamConfig).
struct Format {
    int index = 0;                  // the capability's index
    GUID subtype = GUID_NULL;
    int width = 0, height = 0;
    int bits = 0;
    REFERENCE_TIME interval = 0;    // the type's frame time, 100 ns
    REFERENCE_TIME minInterval = 0, maxInterval = 0;  // from the capabilities
};

// "RGB24", "YUY2", "I420", "RGB32", a FOURCC, or the GUID.
std::wstring SubtypeName(const GUID& subtype);

// Frames per second of a frame time in 100 ns units (0 for none).
double FramesPerSecond(REFERENCE_TIME interval);

// Whether the main program runs now (its single-instance mutex exists).
bool ProgramRunning();

// The folder the filter starts the main program from ("Path" under
// HKEY_CURRENT_USER\SOFTWARE\orbian\ZXVCAM), empty when it is not set.
std::wstring LaunchFolder();

// The figures at one moment.
struct Figures {
    uint64_t samples = 0;        // samples received since Run
    double fps = 0;              // over the last second or so (0 until two samples)
    double newestAgeMs = -1;     // age of the newest published frame when the
                                 // last sample arrived; -1 when none was seen
    double sinceSampleMs = -1;   // time since the last sample arrived; -1 before one
    bool publisherLive = false;  // the channel has had a frame within the last second
    int width = 0, height = 0;   // of the connected RGB24 stream
};

// Watches the shared-memory channel's frame number, without waiting on its
// events, so that it takes no wake-up from the filter: the moment of each new
// frame, to the millisecond.
class PublishWatch {
public:
    PublishWatch();
    ~PublishWatch();
    PublishWatch(const PublishWatch&) = delete;
    PublishWatch& operator=(const PublishWatch&) = delete;
    // Milliseconds since the newest frame was published, -1 when no frame
    // has been seen since the watch started.
    double NewestAgeMs() const;

private:
    void Loop();
    CShareMem m_channel;
    HANDLE m_stop = nullptr;
    std::thread m_thread;
    mutable std::mutex m_lock;
    double m_lastChangeUs = -1;
};

// The capture client.
class Client : public ISampleGrabberCB {
public:
    Client();
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Binds the device named name and builds the graph around it (not yet
    // connected). VFW_E_NOT_FOUND when there is no such device.
    HRESULT Open(const std::wstring& name = kCameraName);
    // The device's formats, in capability order.
    std::vector<Format> Formats();
    // The stream's current format as text ("RGB24 640x480 20.00 fps").
    std::wstring CurrentFormat();
    // Makes RGB24 of width x height the stream's format: the capability of
    // that size, or the current format when it is that already, or the type
    // of that size in the capture pin's list. E_INVALIDARG when the device
    // offers no such size.
    HRESULT Select(int width, int height);
    // Renders the capture pin into the grabber and the renderer.
    HRESULT Connect();
    HRESULT Run();
    void Stop();
    // Drops the graph and the device.
    void Close();

    // Waits until count samples have arrived since Run, or timeoutMs pass.
    // True when they arrived.
    bool WaitSamples(uint64_t count, DWORD timeoutMs);
    // Waits until a sample arrives after the given count; false on timeout.
    bool WaitNextSample(uint64_t after, DWORD timeoutMs);
    Figures Now();
    // The number of samples so far and when the last one arrived
    // (microseconds on the performance counter, 0 before any).
    void Clock(uint64_t& samples, double& lastArrivalUs);
    // The newest frame's age at each sample's arrival, from the last
    // ResetAges on: samples that saw a frame, mean and largest age in ms.
    void ResetAges();
    void Ages(uint64_t& count, double& meanMs, double& maxMs);
    // The newest picture: 24-bit, bottom-up, rows padded to four bytes.
    bool NewestPicture(std::vector<uint8_t>& pixels, int& width, int& height);

    // The figures kept for a stream another reader delivers (the Media
    // Foundation way): Restart before it runs, at its size; Record for each
    // sample's picture (24-bit, bottom-up) as it arrives.
    void Restart(int width, int height);
    void Record(const BYTE* picture, size_t length);

    // ISampleGrabberCB; the object lives on the stack or as a member, so
    // the counts are fixed.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }

private:
    void ClearFigures();  // under m_lock

    IGraphBuilder* m_graph = nullptr;
    ICaptureGraphBuilder2* m_builder = nullptr;
    IMediaControl* m_control = nullptr;
    IBaseFilter* m_camera = nullptr;
    IBaseFilter* m_grabberFilter = nullptr;
    ISampleGrabber* m_grabber = nullptr;
    IBaseFilter* m_renderer = nullptr;
    IAMStreamConfig* m_config = nullptr;
    PublishWatch m_watch;

    std::mutex m_lock;
    std::condition_variable m_arrived;
    uint64_t m_samples = 0;
    std::vector<double> m_arrivals;  // arrival times of the recent samples, microseconds
    double m_newestAgeMs = -1;
    uint64_t m_ageCount = 0;
    double m_ageSum = 0, m_ageMax = 0;
    std::vector<uint8_t> m_picture;
    int m_width = 0, m_height = 0;
};

// Writes a 24-bit bottom-up picture as a BMP file.
bool SaveBmp(const std::wstring& path, const std::vector<uint8_t>& pixels, int width, int height);

// True when every byte of the picture is 0.
bool IsBlack(const std::vector<uint8_t>& pixels);

}  // namespace camcheck
