#include "VCam.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "VCamFormats.h"
#include "VCamGuids.h"
#include "VCamLog.h"
#include "VCamSource.h"

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

uint32_t U32At(const BYTE* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
           (static_cast<uint32_t>(at[3]) << 24);
}

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
    VCamLog("CVCamStream");
}

CVCamStream::~CVCamStream() {
    // The streaming thread must be gone before the buffers are.
    {
        CAutoLock lock(m_pLock);
        Inactive();
    }
    delete[] m_read;
    delete[] m_output;
    m_read = m_output = nullptr;
    m_scaler.Drop();
    VCamLog("~CVCamStream");
    m_channel.Close();
}

HRESULT STDMETHODCALLTYPE CVCamStream::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    VCamLog("QueryInterface");
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

void CVCamStream::TakeFormat(const CMediaType& mt) {
    StreamFormat f;
    f.code = VCamSizeCodeOfSampleSize(mt.lSampleSize);
    // A sample never takes more than the picture of its code, nor more than
    // the image its format describes.
    const DWORD picture = static_cast<DWORD>(f.code) * static_cast<DWORD>(f.code) * 14400u;
    const DWORD formatImage = VCamFormatImageSize(mt);
    f.imageSize = std::min<DWORD>(formatImage ? std::min(picture, formatImage) : picture, kShareMemMaxImageSize);
    const VIDEOINFOHEADER* vih = VCamVideoInfo(mt);
    f.frameTime = vih ? vih->AvgTimePerFrame : kVCamFrameTime;
    CAutoLock lock(&m_formatLock);
    m_format = f;
}

CVCamStream::StreamFormat CVCamStream::CurrentFormat() {
    CAutoLock lock(&m_formatLock);
    return m_format;
}

HRESULT CVCamStream::GetMediaType(int position, CMediaType* mt) {
    VCamLog("GetMediaType");
    if (!mt) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (position < 0) return E_INVALIDARG;
    if (position > kVCamSizeCodes) return VFW_S_NO_MORE_ITEMS;
    if (position == 0) {
        *mt = m_mt;
        return S_OK;
    }
    return VCamMakeMediaType(position, kVCamFrameTime, mt) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CVCamStream::CheckMediaType(const CMediaType* mt) {
    VCamLog("CheckMediaType");
    if (!mt) return E_POINTER;
    CAutoLock lock(m_pLock);
    return *mt == m_mt ? S_OK : E_INVALIDARG;
}

HRESULT CVCamStream::SetMediaType(const CMediaType* mt) {
    VCamLog("SetMediaType");
    if (!mt) return E_POINTER;
    // The size code follows from the sample size (TakeFormat, below).
    if (mt->subtype == MEDIASUBTYPE_RGB24) {
        VCamLogF("SetMediaType-lSampleSize:%lu,size:3", static_cast<unsigned long>(mt->lSampleSize));
    } else if (mt->subtype == MEDIASUBTYPE_RGB32) {
        VCamLogF("SetMediaType-lSampleSize:%lu,size:4", static_cast<unsigned long>(mt->lSampleSize));
    } else {
        VCamLog("");
    }
    StartVCamSource(m_channel);
    CAutoLock lock(m_pLock);
    const HRESULT hr = CSourceStream::SetMediaType(mt);
    if (SUCCEEDED(hr)) TakeFormat(m_mt);
    return hr;
}

HRESULT CVCamStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    VCamLog("DecideBufferSize");
    if (!allocator || !request) return E_POINTER;
    CAutoLock lock(m_pLock);
    const VIDEOINFOHEADER* vih = VCamVideoInfo(m_mt);
    DWORD imageSize = vih ? vih->bmiHeader.biSizeImage : 0;
    // BI_RGB formats may leave the image size 0; the bitmap rule gives it.
    if (imageSize == 0) imageSize = VCamFormatImageSize(m_mt);
    if (imageSize == 0 || imageSize > kShareMemMaxImageSize) return E_FAIL;
    request->cBuffers = 1;
    request->cbBuffer = static_cast<long>(imageSize);
    ALLOCATOR_PROPERTIES actual = {};
    const HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < request->cbBuffer) return E_FAIL;
    return S_OK;
}

HRESULT CVCamStream::OnThreadCreate() {
    m_streamTime = 0;
    return S_OK;
}

HRESULT CVCamStream::FillBuffer(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    if (!m_read || !m_output) return E_OUTOFMEMORY;
    const StreamFormat format = CurrentFormat();

    // A new size makes the old picture meaningless: black until a frame of
    // the new size is there.
    if (format.code != m_outputCode) {
        std::memset(m_output, 0, kShareMemSize);
        m_outputCode = format.code;
    }

    DWORD length = 0;
    const bool got = m_channel.Read(m_read, kShareMemSize, length);
    if (!m_channel.IsOpen()) {
        // A closed channel returns at once; without this the thread would
        // spin and take a whole processor from the client.
        const REFERENCE_TIME ms = format.frameTime / 10000;
        Sleep(static_cast<DWORD>(std::min<REFERENCE_TIME>(std::max<REFERENCE_TIME>(ms, 10), 1000)));
    }
    if (got && length > kShareMemHeaderSize && format.code > 0) {
        // Read handed out the header it checked: both fields agree and the
        // picture lies within what was copied.
        const int code = static_cast<int8_t>(m_read[3]);
        const uint32_t imageSize = U32At(m_read + 8);
        const uint32_t picture = static_cast<uint32_t>(code) * static_cast<uint32_t>(code) * 14400u;
        if (code > 0 && imageSize == picture && imageSize + kShareMemHeaderSize == length) {
            const BYTE* pixels = m_read + kShareMemHeaderSize;
            if (code == format.code) {
                std::swap(m_read, m_output);
            } else {
                const int w = VCamWidth(code), h = VCamHeight(code);
                const int dw = VCamWidth(format.code), dh = VCamHeight(format.code);
                if (!m_scaler.Matches(w, h, 24, dw, dh, 24)) m_scaler.Build(w, h, 24, dw, dh, 24);
                // A scaler that cannot be built leaves the picture as it was.
                if (m_scaler.IsReady()) {
                    m_scaler.Scale(pixels, imageSize, m_output + kShareMemHeaderSize, kShareMemMaxImageSize);
                }
            }
        }
    }

    BYTE* data = nullptr;
    const long capacity = sample->GetSize();
    if (SUCCEEDED(sample->GetPointer(&data)) && data && capacity > 0) {
        const DWORD bytes = std::min<DWORD>(static_cast<DWORD>(capacity), format.imageSize);
        std::memcpy(data, m_output + kShareMemHeaderSize, bytes);
        sample->SetActualDataLength(static_cast<long>(bytes));
    }

    REFERENCE_TIME start = m_streamTime;
    REFERENCE_TIME end = start + format.frameTime;
    m_streamTime = end;
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVCamStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

// --- IAMStreamConfig -----------------------------------------------------------

HRESULT STDMETHODCALLTYPE CVCamStream::SetFormat(AM_MEDIA_TYPE* mt) {
    VCamLog("SetFormat");
    if (!mt) return E_POINTER;
    // Only a type the pin can really deliver becomes current: anything else
    // would be accepted by CheckMediaType and then filled with a picture of
    // another size or depth.
    const int code = VCamDeliverableCode(*mt);
    if (code == 0) {
        VCamLog("SetFormat: not one of the offered RGB24 sizes, refused");
        return VFW_E_INVALIDMEDIATYPE;
    }
    {
        CAutoLock lock(m_pLock);
        m_mt = *mt;
        // The sample size is what the size code is taken from: make it the
        // image size of the chosen picture whatever the client left there.
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(m_mt.pbFormat);
        vih->bmiHeader.biSizeImage = VCamImageSize(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, 24);
        m_mt.SetSampleSize(vih->bmiHeader.biSizeImage);
    }
    // Reconnecting runs outside the lock: the graph calls back into this pin
    // (Disconnect, Connect), possibly from another thread.
    IPin* peer = nullptr;
    if (SUCCEEDED(ConnectedTo(&peer)) && peer) {
        peer->Release();
        IFilterGraph* graph = m_parent->Graph();
        if (graph) graph->Reconnect(static_cast<IPin*>(this));
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVCamStream::GetFormat(AM_MEDIA_TYPE** mt) {
    VCamLog("GetFormat");
    if (!mt) return E_POINTER;
    CAutoLock lock(m_pLock);
    *mt = CreateMediaType(&m_mt);
    return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CVCamStream::GetNumberOfCapabilities(int* count, int* size) {
    VCamLog("GetNumberOfCapabilities");
    if (!count || !size) return E_POINTER;
    *count = kVCamSizeCodes;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CVCamStream::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
    VCamLog("GetStreamCaps");
    if (!mt || !caps) return E_POINTER;
    *mt = nullptr;
    // Indexes follow GetNumberOfCapabilities.
    if (index < 0) return E_INVALIDARG;
    if (index >= kVCamSizeCodes) return S_FALSE;
    const int code = index == 0 ? 4 : index;

    CAutoLock lock(m_pLock);
    CMediaType type(m_mt);
    const VIDEOINFOHEADER* current = VCamVideoInfo(m_mt);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih) return E_OUTOFMEMORY;
    if (current) *vih = *current;
    type.SetType(MEDIATYPE_Video);
    type.SetSubtype(MEDIASUBTYPE_RGB24);
    type.SetFormatType(FORMAT_VideoInfo);
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = FALSE;
    SetRectEmpty(&vih->rcSource);
    SetRectEmpty(&vih->rcTarget);
    if (!current) vih->AvgTimePerFrame = kVCamFrameTime;
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
