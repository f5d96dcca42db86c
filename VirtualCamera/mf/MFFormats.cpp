#include "MFFormats.h"

#include <mferror.h>

namespace {

const GUID& SubtypeOf(MFPixels pixels) {
    switch (pixels) {
        case MFPixels::Yuy2: return MFVideoFormat_YUY2;
        case MFPixels::Rgb32: return MFVideoFormat_RGB32;
        default: return MFVideoFormat_NV12;
    }
}

}  // namespace

DWORD MFVideoFormat::Bytes() const {
    const DWORD pixelsCount = static_cast<DWORD>(Width()) * static_cast<DWORD>(Height());
    switch (pixels) {
        case MFPixels::Yuy2: return pixelsCount * 2;
        case MFPixels::Rgb32: return pixelsCount * 4;
        default: return pixelsCount * 3 / 2;
    }
}

LONG MFVideoFormat::Stride() const {
    switch (pixels) {
        case MFPixels::Yuy2: return Width() * 2;
        case MFPixels::Rgb32: return Width() * 4;
        default: return Width();
    }
}

MFVideoFormat MFFormatAt(int index) {
    MFVideoFormat f;
    if (index < 0 || index >= kMFFormatCount) index = 0;
    f.pixels = static_cast<MFPixels>(index / kMFSizeCodes);
    f.code = kMFSizeCodes - index % kMFSizeCodes;
    return f;
}

const wchar_t* MFPixelsName(MFPixels pixels) {
    switch (pixels) {
        case MFPixels::Yuy2: return L"YUY2";
        case MFPixels::Rgb32: return L"RGB32";
        default: return L"NV12";
    }
}

HRESULT MFMakeMediaType(const MFVideoFormat& f, IMFMediaType** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IMFMediaType* type = nullptr;
    HRESULT hr = MFCreateMediaType(&type);
    if (FAILED(hr)) return hr;
    const UINT64 size = (static_cast<UINT64>(f.Width()) << 32) | static_cast<UINT32>(f.Height());
    const UINT64 rate = (static_cast<UINT64>(kMFFramesPerSecond) << 32) | 1u;
    const UINT64 aspect = (1ull << 32) | 1u;
    if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_SUBTYPE, SubtypeOf(f.pixels));
    if (SUCCEEDED(hr)) hr = type->SetUINT64(MF_MT_FRAME_SIZE, size);
    if (SUCCEEDED(hr)) hr = type->SetUINT64(MF_MT_FRAME_RATE, rate);
    if (SUCCEEDED(hr)) hr = type->SetUINT64(MF_MT_FRAME_RATE_RANGE_MAX, rate);
    if (SUCCEEDED(hr)) hr = type->SetUINT64(MF_MT_FRAME_RATE_RANGE_MIN, rate);
    if (SUCCEEDED(hr)) hr = type->SetUINT64(MF_MT_PIXEL_ASPECT_RATIO, aspect);
    if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive);
    if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE);
    if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_FIXED_SIZE_SAMPLES, TRUE);
    if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_SAMPLE_SIZE, f.Bytes());
    if (SUCCEEDED(hr)) hr = type->SetUINT32(MF_MT_DEFAULT_STRIDE, static_cast<UINT32>(f.Stride()));
    if (FAILED(hr)) {
        type->Release();
        return hr;
    }
    *out = type;
    return S_OK;
}

bool MFFormatOf(IMFMediaType* type, MFVideoFormat& f) {
    if (!type) return false;
    GUID major = GUID_NULL, subtype = GUID_NULL;
    UINT64 size = 0;
    if (FAILED(type->GetGUID(MF_MT_MAJOR_TYPE, &major)) || major != MFMediaType_Video) return false;
    if (FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) || FAILED(type->GetUINT64(MF_MT_FRAME_SIZE, &size))) return false;
    MFVideoFormat out;
    if (subtype == MFVideoFormat_NV12) {
        out.pixels = MFPixels::Nv12;
    } else if (subtype == MFVideoFormat_YUY2) {
        out.pixels = MFPixels::Yuy2;
    } else if (subtype == MFVideoFormat_RGB32) {
        out.pixels = MFPixels::Rgb32;
    } else {
        return false;
    }
    const int width = static_cast<int>(size >> 32), height = static_cast<int>(size & 0xFFFFFFFFu);
    for (int code = 1; code <= kMFSizeCodes; ++code) {
        if (width == code * 80 && height == code * 60) {
            out.code = code;
            f = out;
            return true;
        }
    }
    return false;
}
