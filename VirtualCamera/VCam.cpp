#include "VCam.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "VCamGuids.h"
#include "VCamLog.h"
#include "VCamSource.h"
#include "ZxLib/ZxLib.h"
#include "ZxScale/ZxYuv.h"

namespace {

// The stream capabilities every size shares.
void FillCaps(VIDEO_STREAM_CONFIG_CAPS& caps) {
    std::memset(&caps, 0, sizeof(caps));
    caps.guid = FORMAT_VideoInfo;
    caps.VideoStandard = 0;
    caps.InputSize.cx = 640;
    caps.InputSize.cy = 480;
    caps.MinCroppingSize.cx = 80;
    caps.MinCroppingSize.cy = 60;
    caps.MaxCroppingSize.cx = 640;
    caps.MaxCroppingSize.cy = 480;
    caps.CropGranularityX = 80;
    caps.CropGranularityY = 60;
    caps.CropAlignX = 0;
    caps.CropAlignY = 0;
    caps.MinOutputSize.cx = 80;
    caps.MinOutputSize.cy = 60;
    caps.MaxOutputSize.cx = 640;
    caps.MaxOutputSize.cy = 480;
    caps.OutputGranularityX = 0;
    caps.OutputGranularityY = 0;
    caps.StretchTapsX = 0;
    caps.StretchTapsY = 0;
    caps.ShrinkTapsX = 0;
    caps.ShrinkTapsY = 0;
    caps.MinFrameInterval = 200000;
    caps.MaxFrameInterval = 50000000;
    caps.MinBitsPerSecond = 80 * 60 * 3 * 8 / 5;
    caps.MaxBitsPerSecond = 640 * 480 * 3 * 8 * 50;
}

// A sample with no newer frame waits at most this long for the next: the
// producer writes every 50 ms, so a longer wait finds nothing more.
constexpr REFERENCE_TIME kMaxFrameWait = 500000;
// A writer counts as running while its frames come at least this often.
constexpr REFERENCE_TIME kWriterQuiet = 10000000;

}  // namespace

// --- the filter ---------------------------------------------------------------

CUnknown* CVCam::CreateInstance(IUnknown* outer, HRESULT* result) {
    CVCam* filter = new (std::nothrow) CVCam(outer, result);
    if (!filter && result) *result = E_OUTOFMEMORY;
    return filter;
}

CVCam::CVCam(IUnknown* outer, HRESULT* result) : CSource(ZXVCAM_NAME, outer, CLSID_ZXVCam) {
    m_stream = new (std::nothrow) CVCamStream(result, this, ZXVCAM_NAME);
    if (!m_stream && result) *result = E_OUTOFMEMORY;
}

CVCam::~CVCam() {
    // The pin is stopped and deleted while the whole filter still exists.
    DeletePins();
    m_stream = nullptr;
}

HRESULT STDMETHODCALLTYPE CVCam::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if ((riid == IID_IAMStreamConfig || riid == IID_IKsPropertySet) && m_stream) {
        return m_stream->QueryInterface(riid, ppv);
    }
    return CSource::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CVCam::GetState(DWORD milliseconds, FILTER_STATE* state) {
    const HRESULT hr = CSource::GetState(milliseconds, state);
    return hr == S_OK && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}

int CVCam::GetPinCount() { return m_stream ? 1 : 0; }

CSourceStream* CVCam::GetPin(int /*index*/) { return m_stream; }

// --- the pin -----------------------------------------------------------------

CVCamStream::CVCamStream(HRESULT* result, CVCam* parent, const wchar_t* pinName)
    : CSourceStream(pinName, result, parent, pinName), m_parent(parent) {
    // Both buffers once per pin, zeroed: until a frame arrives every sample
    // is black.
    m_read = new (std::nothrow) BYTE[kShareMemSize]();
    m_output = new (std::nothrow) BYTE[kShareMemSize]();
    if ((!m_read || !m_output) && result) *result = E_OUTOFMEMORY;
    GetMediaType(kVCamDefaultSizeCode, &m_mt);
    TakeFormat(m_mt);
    m_outputCode = m_format.code;
    m_outputPixels = m_format.pixels;
}

CVCamStream::~CVCamStream() {
    // The streaming thread must be gone before the buffers are.
    {
        CAutoLock lock(m_pLock);
        Inactive();
    }
    delete[] m_read;
    delete[] m_output;
    delete[] m_scaled;
    m_read = m_output = m_scaled = nullptr;
    m_scaler.Drop();
    m_channel.Close();
}

HRESULT STDMETHODCALLTYPE CVCamStream::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

void CVCamStream::TakeFormat(const CMediaType& mt) {
    StreamFormat f;
    VCamPixels pixels = VCamPixels::Rgb24;
    // The picture is sized by the format block alone (width, height, bit
    // count): the sample size a client writes into a type is no measure of
    // the buffers the picture is scaled into.
    const int code = VCamDeliverableCode(mt, &pixels);
    f.pixels = code > 0 ? pixels : VCamPixels::Rgb24;
    f.code = code;
    f.imageSize = code > 0 ? std::min<DWORD>(VCamPictureBytes(f.pixels, code), kShareMemMaxImageSize) : 0;
    const VIDEOINFOHEADER* vih = VCamVideoInfo(mt);
    f.frameTime = VCamPacedFrameTime(vih ? vih->AvgTimePerFrame : kVCamFrameTime);
    CAutoLock lock(&m_formatLock);
    m_format = f;
}

CVCamStream::StreamFormat CVCamStream::CurrentFormat() {
    CAutoLock lock(&m_formatLock);
    return m_format;
}

HRESULT CVCamStream::GetMediaType(int position, CMediaType* mt) {
    if (!mt) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position > kVCamMediaTypes) return VFW_S_NO_MORE_ITEMS;
    if (position == 0) {
        CAutoLock lock(&m_typeLock);
        *mt = m_mt;
        return mt->cbFormat == m_mt.cbFormat ? S_OK : E_OUTOFMEMORY;
    }
    // The eight sizes of RGB24, then of YUY2, then of I420.
    const auto pixels = static_cast<VCamPixels>((position - 1) / kVCamSizeCodes);
    const int code = (position - 1) % kVCamSizeCodes + 1;
    return VCamMakeMediaType(pixels, code, kVCamFrameTime, mt) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CVCamStream::CheckMediaType(const CMediaType* mt) {
    if (!mt) return E_POINTER;
    // A type whose sizes disagree with its picture is refused whatever else
    // it says: its buffers would not fit the picture.
    if (VCamAgreeingCode(*mt) == 0) return E_INVALIDARG;
    // Until a client chooses a type through SetFormat, every type the pin
    // offers connects (a client that only takes YUY2 gets it from the list);
    // after that only the chosen one. Only the type lock is taken: a
    // downstream pin may ask this from inside the streaming thread's calls
    // while a stop holds the state lock.
    CAutoLock lock(&m_typeLock);
    if (!m_formatChosen || *mt == m_mt) return S_OK;
    return E_INVALIDARG;
}

HRESULT CVCamStream::SetMediaType(const CMediaType* mt) {
    if (!mt) return E_POINTER;
    // The connection's format, for diagnosis.
    const VIDEOINFOHEADER* vih = VCamVideoInfo(*mt);
    if (vih) {
        VCamLogF("SetMediaType: %ldx%ld, %u bits, compression 0x%08lx, lSampleSize %lu, frame time %lld",
                 static_cast<long>(vih->bmiHeader.biWidth), static_cast<long>(vih->bmiHeader.biHeight),
                 static_cast<unsigned>(vih->bmiHeader.biBitCount),
                 static_cast<unsigned long>(vih->bmiHeader.biCompression),
                 static_cast<unsigned long>(mt->lSampleSize), static_cast<long long>(vih->AvgTimePerFrame));
    } else {
        VCamLog("SetMediaType: not a video info type");
    }
    // The channel reader opens with the first type; the main program starts
    // when the graph runs (Active).
    if (!m_channel.IsOpen()) m_channel.Open(kShareMemFileName, kShareMemSize);
    CAutoLock lock(m_pLock);
    const HRESULT hr = CSourceStream::SetMediaType(mt);
    if (SUCCEEDED(hr)) TakeFormat(m_mt);
    return hr;
}

HRESULT CVCamStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request) return E_POINTER;
    CAutoLock lock(m_pLock);
    // Buffers of the picture the format describes.
    const DWORD imageSize = CurrentFormat().imageSize;
    if (imageSize == 0 || imageSize > kShareMemMaxImageSize) {
        VCamLog("DecideBufferSize: the connection's format has no picture the camera delivers");
        return E_FAIL;
    }
    request->cBuffers = 1;
    request->cbBuffer = static_cast<long>(imageSize);
    ALLOCATOR_PROPERTIES actual = {};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < request->cbBuffer) {
        VCamLogF("DecideBufferSize: the allocator gives %ld bytes a buffer, the picture needs %ld",
                 actual.cbBuffer, request->cbBuffer);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVCamStream::OnThreadCreate() {
    // Every run starts its stream time at 0.
    m_pacing = false;
    return S_OK;
}

HRESULT CVCamStream::Active() {
    // The reader opens before the streaming thread that uses it starts.
    if (!ThreadExists() && !m_channel.IsOpen()) m_channel.Open(kShareMemFileName, kShareMemSize);
    const HRESULT hr = CSourceStream::Active();
    // Only a connected pin gets a streaming thread: a graph that runs
    // without using the camera starts nothing. The start itself runs on a
    // thread of its own, rarely and only when the program does not run.
    if (SUCCEEDED(hr) && ThreadExists()) RequestVCamProgram();
    return hr;
}

HRESULT CVCamStream::Inactive() {
    const HRESULT hr = CSourceStream::Inactive();
    if (hr == S_FALSE) VCamLog("Stop: the streaming thread is still inside the downstream filter; it ends by itself");
    return hr;
}

REFERENCE_TIME CVCamStream::Now() { return Clock::Now100ns(); }

bool CVCamStream::TakeNewestFrame(const StreamFormat& format) {
    if (!m_channel.IsOpen() || format.code <= 0) return false;
    const bool numbered = m_channel.Numbered();
    if (numbered && m_tookFrame && m_channel.Sequence() == m_lastFrame) return false;
    // A frame overwritten while it was read is dropped and the newest one
    // read instead; a writer that overwrites three reads in a row leaves
    // the picture as it was for this sample.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ShareMemFrame frame;
        if (!m_channel.BeginRead(frame, ShareMemNow())) return false;
        if (frame.numbered && m_tookFrame && frame.sequence == m_lastFrame) return false;
        const bool rgb = format.pixels == VCamPixels::Rgb24;
        const BYTE* picture = frame.pixels;
        if (frame.code != format.code) {
            const int w = VCamWidth(frame.code), h = VCamHeight(frame.code);
            const int dw = VCamWidth(format.code), dh = VCamHeight(format.code);
            if (!m_scaler.Matches(w, h, dw, dh, ZxScaleFilter::Area)) m_scaler.Build(w, h, dw, dh, ZxScaleFilter::Area);
            if (!rgb && !m_scaled) m_scaled = new (std::nothrow) BYTE[kShareMemSize];
            BYTE* scaled = rgb ? m_read : m_scaled;
            // A scaler that cannot be built (or no memory for its picture)
            // leaves the picture as it was.
            if (!scaled || !m_scaler.IsReady() || !m_scaler.Scale(frame.pixels, scaled)) return false;
            picture = scaled;
        } else if (rgb) {
            std::memcpy(m_read, frame.pixels, frame.imageSize);
        }
        if (!rgb) Convert(picture, format, m_read);
        if (!m_channel.EndRead(frame)) continue;
        std::swap(m_read, m_output);
        m_tookFrame = frame.numbered;
        m_lastFrame = frame.sequence;
        m_lastFresh = Now();
        return true;
    }
    return false;
}

void CVCamStream::Convert(const BYTE* bgr, const StreamFormat& format, BYTE* out) {
    const int w = VCamWidth(format.code), h = VCamHeight(format.code);
    if (format.pixels == VCamPixels::Yuy2) ZxBgrToYuy2(bgr, w, h, out);
    else if (format.pixels == VCamPixels::I420) ZxBgrToI420(bgr, w, h, out);
}

void CVCamStream::FillSample(IMediaSample* sample, const StreamFormat& format) {
    BYTE* data = nullptr;
    const long capacity = sample->GetSize();
    if (FAILED(sample->GetPointer(&data)) || !data || capacity <= 0 || format.code <= 0) {
        sample->SetActualDataLength(0);
        return;
    }
    // m_output holds the picture in the format's pixels; what fits.
    const DWORD bytes = std::min<DWORD>(static_cast<DWORD>(capacity), format.imageSize);
    std::memcpy(data, m_output, bytes);
    sample->SetActualDataLength(static_cast<long>(bytes));
}

HRESULT CVCamStream::FillBuffer(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    if (!m_read || !m_output) return E_OUTOFMEMORY;
    const StreamFormat format = CurrentFormat();
    const REFERENCE_TIME interval = format.frameTime;

    // A new size or pixel format makes the old picture meaningless: black
    // until a frame of the new format is there.
    if (format.code != m_outputCode || format.pixels != m_outputPixels) {
        std::memset(m_output, 0, kShareMemSize);
        if (format.pixels != VCamPixels::Rgb24) {
            std::memset(m_read, 0, kShareMemSize);
            Convert(m_read, format, m_output);
        }
        m_outputCode = format.code;
        m_outputPixels = format.pixels;
        m_tookFrame = false;
    }

    // The slot of this sample on a grid of frame intervals in real time:
    // the graph's stream time while the graph runs with a clock (so a
    // renderer that waits for a sample's time shows it at once), else the
    // time elapsed since the stream's first sample. A stream that fell
    // behind by more than a slot (a client that took its time) goes on from
    // the current slot; the missed ones are gone.
    // A live camera has nothing to show before the graph runs: the streaming
    // thread of a paused graph (or of one on its way from stopped to
    // running) waits here, so a sample's time is always a time of the run.
    bool command = false;
    while (!command && ThreadExists() && m_pFilter->StreamState() != State_Running) command = WaitForCommand(20);

    REFERENCE_TIME streamTime = 0;
    const bool clocked = m_pFilter->StreamTime(&streamTime);
    if (!m_pacing) {
        // The time base is chosen once per run: switching it in the middle
        // (a clock reading that failed for a moment) would start the stamps
        // again from another origin.
        m_pacing = true;
        m_clocked = clocked;
        m_origin = Now();
        m_slot = clocked && streamTime > 0 ? (streamTime + interval - 1) / interval : 0;
        m_tookFrame = false;
        m_lastFresh = Now() - kWriterQuiet;
        m_lastStreamTime = clocked ? streamTime : 0;
        m_lastStreamAt = Now();
    }
    auto timeNow = [this, &streamTime]() {
        if (!m_clocked) return Now() - m_origin;
        if (m_pFilter->StreamTime(&streamTime)) {
            m_lastStreamTime = streamTime;
            m_lastStreamAt = Now();
            return streamTime;
        }
        // The graph's clock did not answer this time: its time goes on
        // from the last reading.
        return m_lastStreamTime + (Now() - m_lastStreamAt);
    };
    REFERENCE_TIME now = timeNow();
    REFERENCE_TIME due = m_slot * interval;
    if (now - due > interval) {
        m_slot = now / interval;
        due = m_slot * interval;
    }
    // Wait for the slot; a state change asked of the thread ends the wait
    // (the sample then goes out early, its slot unchanged).
    while (now < due && !command) {
        const REFERENCE_TIME left = due - now;
        command = WaitForCommand(static_cast<DWORD>((left + 9999) / 10000));
        now = timeNow();
    }

    // The newest whole frame; when none is newer than the last one and the
    // writer is running, wait a little for the next.
    bool fresh = TakeNewestFrame(format);
    if (!fresh && !command && m_channel.Numbered() && Now() - m_lastFresh < kWriterQuiet) {
        const REFERENCE_TIME until = due + std::min(interval / 2, kMaxFrameWait);
        while (!fresh && now < until) {
            const DWORD ms = static_cast<DWORD>(std::min<REFERENCE_TIME>((until - now + 9999) / 10000, 10));
            if (m_channel.WaitForFrame(m_lastFrame, ms)) fresh = TakeNewestFrame(format);
            if (WaitForCommand(0)) break;
            now = timeNow();
        }
    }

    FillSample(sample, format);
    REFERENCE_TIME start = m_slot * interval;
    REFERENCE_TIME end = start + interval;
    ++m_slot;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVCamStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

// --- IAMStreamConfig -----------------------------------------------------------

HRESULT STDMETHODCALLTYPE CVCamStream::SetFormat(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    // Only a type the pin can really deliver becomes current: anything else
    // would be accepted by CheckMediaType and then filled with a picture of
    // another size or depth.
    VCamPixels pixels = VCamPixels::Rgb24;
    const int code = VCamDeliverableCode(*mt, &pixels);
    if (code == 0) {
        VCamLog("SetFormat: not one of the offered sizes and pixel formats, refused");
        return VFW_E_INVALIDMEDIATYPE;
    }
    // The sizes are those of the chosen picture whatever the client left
    // there.
    CMediaType chosen(*mt);
    if (!chosen.pbFormat || chosen.cbFormat != mt->cbFormat) return E_OUTOFMEMORY;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(chosen.pbFormat);
    vih->bmiHeader.biSizeImage = VCamPictureBytes(pixels, code);
    chosen.SetSampleSize(vih->bmiHeader.biSizeImage);

    IPin* peer = nullptr;
    CMediaType previous;
    bool previousChosen = false;
    {
        CAutoLock lock(m_pLock);
        // A running or paused stream keeps its type: the buffers are sized
        // for it, and the host sizes its own by what the pin reports.
        if (m_pFilter->State() != State_Stopped) {
            VCamLog("SetFormat: the graph is not stopped, refused");
            return VFW_E_NOT_STOPPED;
        }
        peer = m_connected;
        // The connected pin is asked first; nothing changes when it refuses.
        if (peer && peer->QueryAccept(&chosen) != S_OK) {
            VCamLog("SetFormat: the connected pin does not accept the type, refused");
            return VFW_E_INVALIDMEDIATYPE;
        }
        previous = m_mt;
        if (previous.cbFormat != m_mt.cbFormat) return E_OUTOFMEMORY;
        previousChosen = m_formatChosen;
        {
            CAutoLock type(&m_typeLock);
            m_mt = chosen;
            m_formatChosen = true;
        }
        if (m_mt.cbFormat != chosen.cbFormat) {
            CAutoLock type(&m_typeLock);
            m_mt = previous;
            m_formatChosen = previousChosen;
            return E_OUTOFMEMORY;
        }
        if (!peer) {
            TakeFormat(m_mt);
            return S_OK;
        }
        peer->AddRef();
    }
    // Reconnecting runs outside the lock: the graph calls back into this pin
    // (Disconnect, Connect), possibly from another thread. A reconnection
    // that fails leaves the previous type, connected again.
    HRESULT hr = Reconnect(peer, chosen);
    if (FAILED(hr)) {
        VCamLogF("SetFormat: the reconnection failed (0x%08lx), the previous type stays", static_cast<unsigned long>(hr));
        {
            CAutoLock lock(m_pLock);
            CAutoLock type(&m_typeLock);
            m_mt = previous;
            m_formatChosen = previousChosen;
            TakeFormat(m_mt);
        }
        if (FAILED(Reconnect(peer, previous))) VCamLog("SetFormat: the previous type did not connect again");
    }
    peer->Release();
    return hr;
}

HRESULT CVCamStream::Reconnect(IPin* peer, const CMediaType& type) {
    HRESULT hr = E_FAIL;
    IFilterGraph* graph = m_parent->Graph();
    IFilterGraph2* graph2 = nullptr;
    if (graph && SUCCEEDED(graph->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2))) && graph2) {
        hr = graph2->ReconnectEx(static_cast<IPin*>(this), &type);
        graph2->Release();
    } else if (graph) {
        hr = graph->Reconnect(static_cast<IPin*>(this));
    } else {
        // A pin connected without a graph is reconnected directly.
        peer->Disconnect();
        Disconnect();
        hr = Connect(peer, &type);
    }
    if (FAILED(hr)) return hr;
    // The connection must be the one asked for.
    CAutoLock lock(&m_typeLock);
    return m_connected == peer && m_mt == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT STDMETHODCALLTYPE CVCamStream::GetFormat(AM_MEDIA_TYPE** mt) {
    if (!mt) return E_POINTER;
    CAutoLock lock(&m_typeLock);
    *mt = CreateMediaType(&m_mt);
    return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CVCamStream::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = kVCamMediaTypes;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVCamStream::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
    if (!mt || !caps) return E_POINTER;
    *mt = nullptr;
    // Indexes follow GetNumberOfCapabilities: the eight RGB24 sizes (index 0
    // being 320 x 240), then the eight of YUY2 and of I420 in order.
    if (index < 0) return E_INVALIDARG;
    if (index >= kVCamMediaTypes) return S_FALSE;
    const auto pixels = static_cast<VCamPixels>(index / kVCamSizeCodes);
    const int within = index % kVCamSizeCodes;
    const int code = pixels == VCamPixels::Rgb24 ? (within == 0 ? 4 : within) : within + 1;

    CAutoLock lock(&m_typeLock);
    const VIDEOINFOHEADER* current = VCamVideoInfo(m_mt);
    const REFERENCE_TIME frameTime = current ? current->AvgTimePerFrame : kVCamFrameTime;
    CMediaType type(m_mt);
    if (pixels == VCamPixels::Rgb24) {
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        if (!vih) return E_OUTOFMEMORY;
        if (current) *vih = *current;
        type.SetType(MEDIATYPE_Video);
        type.SetSubtype(MEDIASUBTYPE_RGB24);
        type.SetFormatType(FORMAT_VideoInfo);
        SetRectEmpty(&vih->rcSource);
        SetRectEmpty(&vih->rcTarget);
        vih->AvgTimePerFrame = frameTime;
        BITMAPINFOHEADER& bmi = vih->bmiHeader;
        bmi.biSize = sizeof(BITMAPINFOHEADER);
        bmi.biWidth = VCamWidth(code);
        bmi.biHeight = VCamHeight(code);
        bmi.biPlanes = 1;
        bmi.biBitCount = 24;
        bmi.biCompression = BI_RGB;
        bmi.biClrImportant = 0;
        bmi.biSizeImage = VCamImageSize(bmi.biWidth, bmi.biHeight, 24);
        type.lSampleSize = bmi.biSizeImage;
    } else if (!VCamMakeMediaType(pixels, code, frameTime, &type)) {
        return E_OUTOFMEMORY;
    }
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = FALSE;

    *mt = CreateMediaType(&type);
    if (!*mt) return E_OUTOFMEMORY;
    FillCaps(*reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps));
    return S_OK;
}

// --- IKsPropertySet ------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CVCamStream::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CVCamStream::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataBytes,
                                           DWORD* returned) {
    return CapturePinCategoryGet(set, id, data, dataBytes, returned);
}

HRESULT STDMETHODCALLTYPE CVCamStream::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    return CapturePinCategorySupported(set, id, support);
}
