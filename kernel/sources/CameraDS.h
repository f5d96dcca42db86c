// Video capture over DirectShow: the video input devices, a capture graph
// camera -> Sample Grabber -> Null Renderer for one of them, the frame size
// negotiated with the camera, and the newest frame copied out on request.
//
// The layer is thin and synchronous: it does not log and knows nothing of
// the module bus; failures are results to the caller.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <string>

#include "DShowBase/DShowGuids.h"

// Device enumeration shared by video and audio capture. Walks the monikers
// of a device category in enumeration order; with needDevicePath only those
// whose property bag yields "DevicePath" count. Returns the number of
// counted devices (0 for an empty or unusable category, -1 when the
// enumerator itself cannot be created); with wanted >= 0 the moniker of
// that counted index is handed out in *moniker (referenced) when it exists.
int EnumCaptureDevices(REFCLSID category, bool needDevicePath, int wanted, IMoniker** moniker);
// A string value of a moniker's property bag, as UTF-8; false when missing.
bool ReadDeviceProperty(IMoniker* moniker, const wchar_t* name, std::string& value);

// The grabber's callback for video. Frames are pulled with QueryFrame, so
// the callback only makes the grabber run; it is one static object that is
// never reference-counted.
class CVideoSampleGrabberCB : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample*) override { return 0; }
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, LONG) override { return 0; }

    static CVideoSampleGrabberCB& Instance();
};

class CCameraDS {
public:
    CCameraDS();
    ~CCameraDS();

    // The video input devices that have a "DevicePath" in their property
    // bag; the index of each is its place among those.
    static int GetCameraCount();
    // The device's "FriendlyName" in UTF-8 into buffer (terminated, cut to
    // bufferSize). The buffer is left alone when no device has the index;
    // false only when the category cannot be enumerated.
    static bool GetCameraName(int index, char* buffer, int bufferSize);

    // Builds and connects the graph for device index at the frame size
    // nearest to width x height; the graph does not run yet.
    bool OpenCamera(int index, int width, int height);
    // IMediaControl Run / Stop: 0 on success (or without a graph), -1 when
    // the call failed.
    int StartCapture();
    int StopCapture();
    // Tears the graph down; harmless on a closed object.
    void CloseCamera();

    // The frame size chosen at the last OpenCamera (0 when closed).
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    bool IsConnected() const { return m_connected; }

    // Copies the newest sample (RGB24 DIB rows as the camera delivered them)
    // into the copy buffer and returns it, with its size in size; size 0
    // when the graph is not connected or no sample has arrived yet. The
    // buffer stays valid until the next QueryFrame or CloseCamera; callers
    // on another thread than the one that closes hold Lock() while they use
    // it.
    BYTE* QueryFrame(int& size);

    // Appends the sizes the open camera offers as "WxH" separated by "|";
    // the text is left alone when the camera is not open.
    void GetFrameSizes(std::string& out);

    // Shows the device's own property pages, modal over the window: the
    // open camera's, else device index's. False (nothing shown) without a
    // window, without such a device, or when it names no page.
    bool ShowPropertyPage(HWND owner, int index);

    // Serialises QueryFrame (and the use of its buffer) with CloseCamera,
    // OpenCamera and the other graph operations. Recursive.
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    // The size choice: among the candidates (in capability order) the
    // requested size itself if offered, else the one whose width is nearest
    // (the earlier on a tie); the request when there are none.
    static void ChooseFrameSize(const int* widths, const int* heights, int count, int& width, int& height);

private:
    CCameraDS(const CCameraDS&);
    CCameraDS& operator=(const CCameraDS&);

    void ReleaseGraph();

    // The last sample copied out, reallocated when the sample size changes.
    BYTE* m_frame;
    int m_frameSize;
    bool m_connected;
    int m_width, m_height;
    IGraphBuilder* m_graph;
    IBaseFilter* m_device;
    IMediaControl* m_control;
    IBaseFilter* m_grabberFilter;
    ISampleGrabber* m_grabber;
    IPin* m_grabberIn;
    IPin* m_grabberOut;
    IPin* m_cameraOut;
    IMediaEvent* m_event;
    IBaseFilter* m_null;
    IPin* m_nullIn;
    // This object holds one of the process-wide opens.
    bool m_counted;
    bool m_comInit;
    CRITICAL_SECTION m_lock;

    static int s_openCount;
};
