#include "VCamFormats.h"

#include <cstring>

#include "DShowBase/DShowGuids.h"

namespace {

constexpr DWORD kFourccYuy2 = MAKEFOURCC('Y', 'U', 'Y', '2');
constexpr DWORD kFourccI420 = MAKEFOURCC('I', '4', '2', '0');

const GUID& SubtypeOf(VCamPixels pixels) {
    switch (pixels) {
        case VCamPixels::Yuy2: return MEDIASUBTYPE_YUY2;
        case VCamPixels::I420: return ZX_MEDIASUBTYPE_I420;
        default: return MEDIASUBTYPE_RGB24;
    }
}

WORD BitsOf(VCamPixels pixels) {
    switch (pixels) {
        case VCamPixels::Yuy2: return 16;
        case VCamPixels::I420: return 12;
        default: return 24;
    }
}

DWORD CompressionOf(VCamPixels pixels) {
    switch (pixels) {
        case VCamPixels::Yuy2: return kFourccYuy2;
        case VCamPixels::I420: return kFourccI420;
        default: return BI_RGB;
    }
}

}  // namespace

DWORD VCamImageSize(LONG width, LONG height, WORD bitCount) {
    if (width <= 0 || height == 0 || bitCount == 0) return 0;
    const unsigned long long stride = ((static_cast<unsigned long long>(bitCount) * width + 31) / 32) * 4;
    const unsigned long long size = stride * static_cast<unsigned long long>(height < 0 ? -static_cast<long long>(height) : height);
    return size > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(size);
}

DWORD VCamPictureBytes(VCamPixels pixels, int code) {
    const DWORD rgb = FrameCodePictureBytes(code);
    switch (pixels) {
        case VCamPixels::Yuy2: return rgb / 3 * 2;
        case VCamPixels::I420: return rgb / 2;
        default: return rgb;
    }
}

int VCamSizeCodeOfSampleSize(ULONG sampleSize) { return FrameSizeCode(sampleSize); }

bool VCamMakeMediaType(int code, REFERENCE_TIME frameTime, CMediaType* mt) {
    return VCamMakeMediaType(VCamPixels::Rgb24, code, frameTime, mt);
}

bool VCamMakeMediaType(VCamPixels pixels, int code, REFERENCE_TIME frameTime, CMediaType* mt) {
    if (!mt || code < 1) return false;
    mt->Reset();
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih) return false;
    vih->AvgTimePerFrame = frameTime;
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = VCamWidth(code);
    bmi.biHeight = VCamHeight(code);
    bmi.biPlanes = 1;
    bmi.biBitCount = BitsOf(pixels);
    bmi.biCompression = CompressionOf(pixels);
    bmi.biSizeImage = VCamPictureBytes(pixels, code);
    bmi.biClrImportant = 0;
    mt->SetType(MEDIATYPE_Video);
    mt->SetSubtype(SubtypeOf(pixels));
    mt->SetFormatType(FORMAT_VideoInfo);
    mt->SetTemporalCompression(FALSE);
    mt->SetSampleSize(bmi.biSizeImage);
    return true;
}

const VIDEOINFOHEADER* VCamVideoInfo(const AM_MEDIA_TYPE& mt) {
    if (mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

int VCamDeliverableCode(const AM_MEDIA_TYPE& mt, VCamPixels* pixelsOut) {
    if (mt.majortype != MEDIATYPE_Video) return 0;
    VCamPixels pixels;
    if (mt.subtype == MEDIASUBTYPE_RGB24) {
        pixels = VCamPixels::Rgb24;
    } else if (mt.subtype == MEDIASUBTYPE_YUY2) {
        pixels = VCamPixels::Yuy2;
    } else if (mt.subtype == ZX_MEDIASUBTYPE_I420) {
        pixels = VCamPixels::I420;
    } else {
        return 0;
    }
    const VIDEOINFOHEADER* vih = VCamVideoInfo(mt);
    if (!vih) return 0;
    const BITMAPINFOHEADER& bmi = vih->bmiHeader;
    if (bmi.biBitCount != BitsOf(pixels) || bmi.biCompression != CompressionOf(pixels) || vih->AvgTimePerFrame <= 0)
        return 0;
    for (int code = 1; code <= kVCamSizeCodes; ++code) {
        if (bmi.biWidth == VCamWidth(code) && bmi.biHeight == VCamHeight(code)) {
            if (pixelsOut) *pixelsOut = pixels;
            return code;
        }
    }
    return 0;
}

int VCamAgreeingCode(const AM_MEDIA_TYPE& mt, VCamPixels* pixelsOut) {
    VCamPixels pixels = VCamPixels::Rgb24;
    const int code = VCamDeliverableCode(mt, &pixels);
    if (code == 0) return 0;
    const DWORD picture = VCamPictureBytes(pixels, code);
    const DWORD image = VCamVideoInfo(mt)->bmiHeader.biSizeImage;
    if ((image != 0 && image != picture) || (mt.lSampleSize != 0 && mt.lSampleSize != picture)) return 0;
    if (pixelsOut) *pixelsOut = pixels;
    return code;
}

DWORD VCamFormatImageSize(const AM_MEDIA_TYPE& mt) {
    const VIDEOINFOHEADER* vih = VCamVideoInfo(mt);
    if (!vih) return 0;
    VCamPixels pixels = VCamPixels::Rgb24;
    const int code = VCamDeliverableCode(mt, &pixels);
    if (code > 0 && pixels != VCamPixels::Rgb24) return VCamPictureBytes(pixels, code);
    return VCamImageSize(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, vih->bmiHeader.biBitCount);
}

REFERENCE_TIME VCamPacedFrameTime(REFERENCE_TIME requested) {
    if (requested <= 0) return kVCamFrameTime;
    if (requested < kVCamMinFrameTime) return kVCamMinFrameTime;
    if (requested > kVCamMaxFrameTime) return kVCamMaxFrameTime;
    return requested;
}
