// Sound capture over DirectShow: the audio input devices, and a capture
// graph device -> Sample Grabber -> default audio renderer whose grabber
// hands every buffer of 16-bit PCM to an event sink on DirectShow's
// streaming thread, scaled by the input volume, and then silences it, so
// the renderer plays nothing of what was captured.
//
// Like the video layer it does not log; failures are results.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <atomic>

#include "DShowBase/DShowGuids.h"

// Receives the captured sound (the audio module).
class IAudioCaptureEvent {
public:
    // On the streaming thread: length bytes of 16-bit PCM in the format
    // asked for at Open; sampleTime in seconds from the start of the stream.
    virtual void OnAudioCaptured(double sampleTime, BYTE* buffer, int length) = 0;

protected:
    ~IAudioCaptureEvent() {}
};

class CAudioCaptureDS;

// The grabber's callback for sound: one static object, never
// reference-counted, delivering to the open capture object.
class CAudioSampleGrabberCB : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample*) override { return 0; }
    HRESULT STDMETHODCALLTYPE BufferCB(double sampleTime, BYTE* buffer, LONG length) override;

    void SetTarget(CAudioCaptureDS* target) { m_target = target; }
    // Clears the target when it is still this one.
    void ClearTarget(CAudioCaptureDS* target) { m_target.compare_exchange_strong(target, nullptr); }

    static CAudioSampleGrabberCB& Instance();

private:
    std::atomic<CAudioCaptureDS*> m_target{nullptr};
};

// The audio input devices, every one in enumeration order.
int GetAudioDeviceCount();
// The device's "FriendlyName" in UTF-8 into buffer (terminated, cut to
// bufferSize); the buffer is left alone when no device has the index.
// Always 0.
int GetAudioDeviceName(int index, char* buffer, int bufferSize);

class CAudioCaptureDS {
public:
    CAudioCaptureDS();
    ~CAudioCaptureDS();

    // Builds the graph for device index capturing 16-bit PCM at the given
    // rate and channel count in buffers of bufferBytes; delivery to the
    // sink starts with the graph.
    bool Open(int deviceIndex, int sampleRate, int channels, int bufferBytes);
    // IMediaControl Run / Stop: 0 on success (or without a graph), -1 when
    // the call failed. Stop ends the delivery first.
    int Start();
    int Stop();
    // Ends the delivery and tears the graph down.
    void Close();
    // Clamped to [0, 1].
    void SetVolume(double factor);
    double GetVolume() const { return m_volume; }
    void SetEventSink(IAudioCaptureEvent* sink) { m_sink = sink; }

private:
    friend class CAudioSampleGrabberCB;
    CAudioCaptureDS(const CAudioCaptureDS&);
    CAudioCaptureDS& operator=(const CAudioCaptureDS&);

    void TearDown();
    void Deliver(double sampleTime, BYTE* buffer, LONG length);

    std::atomic<bool> m_delivering;
    bool m_graphBuilt;
    IGraphBuilder* m_graph;
    ICaptureGraphBuilder2* m_builder;
    IBasicAudio* m_basicAudio;
    IBaseFilter* m_device;
    IMediaControl* m_control;
    IVideoWindow* m_videoWindow;
    IBaseFilter* m_grabberFilter;
    ISampleGrabber* m_grabber;
    IPin* m_capturePin;
    std::atomic<double> m_volume;
    int m_bufferBytes;
    short m_channels;
    int m_deviceIndex;
    int m_sampleRate;
    std::atomic<IAudioCaptureEvent*> m_sink;
    bool m_comInit;
};
