#include "VCamFormats.h"

#include <cmath>
#include <cstring>

DWORD VCamImageSize(LONG width, LONG height, WORD bitCount) {
    if (width <= 0 || height == 0 || bitCount == 0) return 0;
    const unsigned long long stride = ((static_cast<unsigned long long>(bitCount) * width + 31) / 32) * 4;
    const unsigned long long size = stride * static_cast<unsigned long long>(height < 0 ? -static_cast<long long>(height) : height);
    return size > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(size);
}

int VCamSizeCodeOfSampleSize(ULONG sampleSize) {
    return static_cast<int>(std::sqrt(static_cast<double>(sampleSize / 14400u)));
}

bool VCamMakeMediaType(int code, REFERENCE_TIME frameTime, CMediaType* mt) {
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
    bmi.biBitCount = 24;
    bmi.biCompression = BI_RGB;
    bmi.biSizeImage = VCamImageSize(bmi.biWidth, bmi.biHeight, 24);
    bmi.biClrImportant = 0;
    mt->SetType(MEDIATYPE_Video);
    mt->SetSubtype(MEDIASUBTYPE_RGB24);
    mt->SetFormatType(FORMAT_VideoInfo);
    mt->SetTemporalCompression(FALSE);
    mt->SetSampleSize(bmi.biSizeImage);
    return true;
}

const VIDEOINFOHEADER* VCamVideoInfo(const AM_MEDIA_TYPE& mt) {
    if (mt.formattype != FORMAT_VideoInfo || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

int VCamDeliverableCode(const AM_MEDIA_TYPE& mt) {
    if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_RGB24) return 0;
    const VIDEOINFOHEADER* vih = VCamVideoInfo(mt);
    if (!vih) return 0;
    const BITMAPINFOHEADER& bmi = vih->bmiHeader;
    if (bmi.biBitCount != 24 || bmi.biCompression != BI_RGB || vih->AvgTimePerFrame <= 0) return 0;
    for (int code = 1; code <= kVCamSizeCodes; ++code) {
        if (bmi.biWidth == VCamWidth(code) && bmi.biHeight == VCamHeight(code)) return code;
    }
    return 0;
}

DWORD VCamFormatImageSize(const AM_MEDIA_TYPE& mt) {
    const VIDEOINFOHEADER* vih = VCamVideoInfo(mt);
    if (!vih) return 0;
    return VCamImageSize(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, vih->bmiHeader.biBitCount);
}
