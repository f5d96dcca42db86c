// The pin's formats, IAMStreamConfig and IKsPropertySet, on a filter made directly from its class.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include <cstring>
#include <vector>

#include "DShowBase/DShowGuids.h"
#include "DShowBase/MediaType.h"
#include "TestSupport.h"
#include "VCam.h"
#include "VCamFormats.h"
#include "VCamTestSupport.h"
#include "ShareMem.h"
#include "ZxScale/ZxScale.h"
#include "ZxScale/ZxYuv.h"

namespace {

using vct::Ptr;

class Formats : public testing::Test {
protected:
    void SetUp() override {
        logPath = vct::RedirectFilterLog("formats");
        ASSERT_EQ(S_OK, vct::MakeFilterDirectly(&filter));
        filterObject = static_cast<CVCam*>(filter.get());
        pin = static_cast<CVCamStream*>(filterObject->GetPin(0));
        ASSERT_TRUE(pin != nullptr);
        ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMStreamConfig, config.out()));
    }

    static const VIDEOINFOHEADER& Vih(const AM_MEDIA_TYPE& mt) {
        return *reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    }

    std::string logPath;
    Ptr<IBaseFilter> filter;
    CVCam* filterObject = nullptr;
    CVCamStream* pin = nullptr;
    Ptr<IAMStreamConfig> config;
};

TEST_F(Formats, PositionsZeroToTwentyFourThenNoMoreItems) {
    CMediaType mt;
    EXPECT_EQ(E_INVALIDARG, pin->GetMediaType(-1, &mt));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, pin->GetMediaType(25, &mt));
    EXPECT_EQ(E_POINTER, pin->GetMediaType(1, nullptr));

    for (int position = 1; position <= 8; ++position) {
        ASSERT_EQ(S_OK, pin->GetMediaType(position, &mt)) << position;
        EXPECT_EQ(MEDIATYPE_Video, mt.majortype);
        EXPECT_EQ(MEDIASUBTYPE_RGB24, mt.subtype);
        EXPECT_EQ(FORMAT_VideoInfo, mt.formattype);
        ASSERT_EQ(sizeof(VIDEOINFOHEADER), mt.cbFormat);
        const VIDEOINFOHEADER& v = Vih(mt);
        EXPECT_TRUE(IsRectEmpty(&v.rcSource) && IsRectEmpty(&v.rcTarget));
        EXPECT_EQ(500000, v.AvgTimePerFrame) << "the producer's 20 frames a second";
        EXPECT_EQ(position * 80, v.bmiHeader.biWidth);
        EXPECT_EQ(position * 60, v.bmiHeader.biHeight);
        EXPECT_TRUE(v.bmiHeader.biSize == 40 && v.bmiHeader.biPlanes == 1 && v.bmiHeader.biBitCount == 24 &&
                    v.bmiHeader.biCompression == BI_RGB);
        const DWORD image = static_cast<DWORD>(position * position * 14400);
        EXPECT_EQ(image, v.bmiHeader.biSizeImage);
        EXPECT_TRUE(!mt.bTemporalCompression && mt.bFixedSizeSamples);
        EXPECT_EQ(image, mt.lSampleSize);
    }
    // After the RGB24 sizes, the same sizes in YUY2 and then in I420.
    for (int position = 9; position <= 24; ++position) {
        ASSERT_EQ(S_OK, pin->GetMediaType(position, &mt)) << position;
        const bool yuy2 = position <= 16;
        const int code = (position - 1) % 8 + 1;
        EXPECT_EQ(yuy2 ? MEDIASUBTYPE_YUY2 : ZX_MEDIASUBTYPE_I420, mt.subtype) << position;
        const VIDEOINFOHEADER& v = Vih(mt);
        EXPECT_EQ(code * 80, v.bmiHeader.biWidth);
        EXPECT_EQ(code * 60, v.bmiHeader.biHeight) << "YUV rows are top-down with a positive height";
        EXPECT_EQ(yuy2 ? 16 : 12, v.bmiHeader.biBitCount);
        EXPECT_EQ(yuy2 ? MAKEFOURCC('Y', 'U', 'Y', '2') : MAKEFOURCC('I', '4', '2', '0'), v.bmiHeader.biCompression);
        const DWORD image = static_cast<DWORD>(code * code * (yuy2 ? 9600 : 7200));
        EXPECT_EQ(image, v.bmiHeader.biSizeImage);
        EXPECT_EQ(image, mt.lSampleSize);
        EXPECT_EQ(500000, v.AvgTimePerFrame);
        EXPECT_EQ(S_OK, pin->CheckMediaType(&mt)) << "every offered type connects until a client chooses one";
    }
    // Position 0 is the current type: a fresh pin is at 640 x 480.
    CMediaType current, last;
    ASSERT_EQ(S_OK, pin->GetMediaType(0, &current));
    ASSERT_EQ(S_OK, pin->GetMediaType(8, &last));
    EXPECT_TRUE(current == last);
    EXPECT_EQ(S_OK, pin->CheckMediaType(&current));
    CMediaType other;
    ASSERT_EQ(S_OK, pin->GetMediaType(4, &other));
    EXPECT_EQ(S_OK, pin->CheckMediaType(&other));
    CMediaType rgb32(other);
    rgb32.SetSubtype(MEDIASUBTYPE_RGB32);
    EXPECT_EQ(E_INVALIDARG, pin->CheckMediaType(&rgb32)) << "a type the pin does not offer";
    // Once a client chose a type, only that one connects.
    ASSERT_EQ(S_OK, config->SetFormat(&last));
    EXPECT_EQ(E_INVALIDARG, pin->CheckMediaType(&other)) << "only the chosen type is taken";
    EXPECT_EQ(S_OK, pin->CheckMediaType(&last));
    EXPECT_EQ(E_POINTER, pin->CheckMediaType(nullptr));

    // Calls hosts make by the thousand leave the log alone.
    const std::string log = vct::ReadFilterLog(logPath);
    EXPECT_EQ(std::string::npos, log.find(": GetMediaType"));
    EXPECT_EQ(std::string::npos, log.find(": CheckMediaType"));
}

TEST_F(Formats, EnumeratorHandsOutTheTypesAsCopies) {
    Ptr<IPin> ipin;
    ASSERT_EQ(S_OK, vct::FirstPin(filter.get(), &ipin));
    Ptr<IEnumMediaTypes> types;
    ASSERT_EQ(S_OK, ipin->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* got[12] = {};
    ULONG fetched = 0;
    // The types and their order are the positions' (checked above); the enumerator hands them out.
    EXPECT_EQ(S_OK, types->Next(12, got, &fetched));
    ASSERT_EQ(12u, fetched);
    for (ULONG i = 0; i < fetched; ++i) DeleteMediaType(got[i]);

    EXPECT_EQ(S_OK, types->Reset());
    EXPECT_EQ(S_OK, types->Skip(4));
    Ptr<IEnumMediaTypes> copy;
    ASSERT_EQ(S_OK, types->Clone(&copy));
    AM_MEDIA_TYPE* one = nullptr;
    ASSERT_EQ(S_OK, copy->Next(1, &one, nullptr));
    EXPECT_EQ(320, Vih(*one).bmiHeader.biWidth) << "the clone continues where its original was";
    DeleteMediaType(one);
    EXPECT_EQ(S_FALSE, types->Skip(30));
    EXPECT_EQ(E_INVALIDARG, types->Next(2, got, nullptr));
}

TEST_F(Formats, StreamCapsIndexZeroIs320AndTheOthersFollowTheIndex) {
    int count = 0, size = 0;
    EXPECT_EQ(E_POINTER, config->GetNumberOfCapabilities(nullptr, &size));
    EXPECT_EQ(E_POINTER, config->GetNumberOfCapabilities(&count, nullptr));
    ASSERT_EQ(S_OK, config->GetNumberOfCapabilities(&count, &size));
    EXPECT_EQ(24, count) << "eight sizes in RGB24, YUY2 and I420";
    EXPECT_EQ(static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)), size);

    const int widths[8] = {320, 80, 160, 240, 320, 400, 480, 560};
    for (int i = 0; i < 8; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        std::memset(&caps, 0xCC, sizeof(caps));
        ASSERT_EQ(S_OK, config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps))) << i;
        ASSERT_TRUE(mt != nullptr);
        EXPECT_TRUE(mt->majortype == MEDIATYPE_Video && mt->subtype == MEDIASUBTYPE_RGB24 &&
                    mt->formattype == FORMAT_VideoInfo && mt->cbFormat == sizeof(VIDEOINFOHEADER));
        EXPECT_TRUE(!mt->bFixedSizeSamples && !mt->bTemporalCompression);
        const VIDEOINFOHEADER& v = Vih(*mt);
        EXPECT_EQ(widths[i], v.bmiHeader.biWidth) << i;
        EXPECT_EQ(widths[i] * 3 / 4, v.bmiHeader.biHeight) << i;
        EXPECT_EQ(static_cast<DWORD>(widths[i] * widths[i] * 9 / 4), v.bmiHeader.biSizeImage);
        EXPECT_EQ(v.bmiHeader.biSizeImage, mt->lSampleSize);
        EXPECT_EQ(500000, v.AvgTimePerFrame) << "the frame time of the current type";
        EXPECT_EQ(24, v.bmiHeader.biBitCount);

        // One set of capabilities: 80 x 60 to 640 x 480 in steps of 80 x 60, 0.2 to 50 frames a second.
        EXPECT_EQ(FORMAT_VideoInfo, caps.guid);
        EXPECT_TRUE(caps.InputSize.cx == 640 && caps.InputSize.cy == 480);
        EXPECT_TRUE(caps.MinOutputSize.cx == 80 && caps.MinOutputSize.cy == 60 && caps.MaxOutputSize.cx == 640 &&
                    caps.MaxOutputSize.cy == 480);
        EXPECT_TRUE(caps.MinCroppingSize.cx == 80 && caps.MaxCroppingSize.cy == 480 && caps.CropGranularityX == 80 &&
                    caps.CropGranularityY == 60);
        EXPECT_TRUE(caps.MinFrameInterval == 200000 && caps.MaxFrameInterval == 50000000);
        EXPECT_TRUE(caps.MinBitsPerSecond == 23040 && caps.MaxBitsPerSecond == 368640000);
        DeleteMediaType(mt);
    }

    AM_MEDIA_TYPE* mt = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    VIDEO_STREAM_CONFIG_CAPS caps;
    EXPECT_EQ(E_POINTER, config->GetStreamCaps(0, nullptr, reinterpret_cast<BYTE*>(&caps)));
    EXPECT_EQ(E_POINTER, config->GetStreamCaps(0, &mt, nullptr));
    // Indexes 8 to 23: the YUY2 sizes, then the I420 ones, 80 x 60 first.
    for (int i = 8; i < 24; ++i) {
        ASSERT_EQ(S_OK, config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps))) << i;
        EXPECT_EQ(i < 16 ? MEDIASUBTYPE_YUY2 : ZX_MEDIASUBTYPE_I420, mt->subtype) << i;
        EXPECT_EQ((i % 8 + 1) * 80, Vih(*mt).bmiHeader.biWidth) << i;
        EXPECT_EQ(500000, Vih(*mt).AvgTimePerFrame);
        DeleteMediaType(mt);
    }
    EXPECT_EQ(S_FALSE, config->GetStreamCaps(24, &mt, reinterpret_cast<BYTE*>(&caps))) << "beyond the count";
    EXPECT_EQ(nullptr, mt);
    EXPECT_EQ(E_INVALIDARG, config->GetStreamCaps(-1, &mt, reinterpret_cast<BYTE*>(&caps)));
}

TEST_F(Formats, SetFormatChangesTheCurrentTypeAndGetFormatCopiesIt) {
    AM_MEDIA_TYPE* mt = nullptr;
    EXPECT_EQ(E_POINTER, config->GetFormat(nullptr));
    ASSERT_EQ(S_OK, config->GetFormat(&mt));
    EXPECT_EQ(640, Vih(*mt).bmiHeader.biWidth);
    DeleteMediaType(mt);

    EXPECT_EQ(E_POINTER, config->SetFormat(nullptr));
    ASSERT_EQ(S_OK, vct::SelectCaps(config.get(), 0));
    ASSERT_EQ(S_OK, config->GetFormat(&mt));
    EXPECT_EQ(320, Vih(*mt).bmiHeader.biWidth);
    EXPECT_EQ(230400u, mt->lSampleSize);
    EXPECT_TRUE(mt->bFixedSizeSamples) << "the pin delivers fixed-size samples";
    CMediaType chosen(*mt);
    DeleteMediaType(mt);
    EXPECT_EQ(S_OK, pin->CheckMediaType(&chosen)) << "what was set is what connects";
    CMediaType current;
    ASSERT_EQ(S_OK, pin->GetMediaType(0, &current));
    EXPECT_TRUE(current == chosen);

    // A client's own frame time is kept.
    CMediaType thirty;
    ASSERT_TRUE(VCamMakeMediaType(2, 333333, &thirty));
    ASSERT_EQ(S_OK, config->SetFormat(&thirty));
    ASSERT_EQ(S_OK, config->GetFormat(&mt));
    EXPECT_EQ(333333, Vih(*mt).AvgTimePerFrame);
    DeleteMediaType(mt);

    const std::string log = vct::ReadFilterLog(logPath);
    EXPECT_EQ(std::string::npos, log.find(": GetFormat"));
    EXPECT_EQ(std::string::npos, log.find(": GetStreamCaps"));
}

TEST_F(Formats, SetFormatRefusesWhatThePinCannotDeliver) {
    CMediaType good;
    ASSERT_TRUE(VCamMakeMediaType(4, 1000000, &good));
    struct Case {
        const char* what;
        void (*spoil)(CMediaType&);
    };
    const Case cases[] = {
        {"32-bit subtype", [](CMediaType& m) { m.SetSubtype(MEDIASUBTYPE_RGB32); }},
        {"YUY2 subtype with a 24-bit header", [](CMediaType& m) { m.SetSubtype(MEDIASUBTYPE_YUY2); }},
        {"audio", [](CMediaType& m) { m.SetType(MEDIATYPE_Audio); }},
        {"32 bits in the header",
         [](CMediaType& m) { reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->bmiHeader.biBitCount = 32; }},
        {"width not a size of the camera",
         [](CMediaType& m) { reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->bmiHeader.biWidth = 330; }},
        {"720 x 540", [](CMediaType& m) {
             reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->bmiHeader.biWidth = 720;
             reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->bmiHeader.biHeight = 540;
         }},
        {"top-down rows",
         [](CMediaType& m) { reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->bmiHeader.biHeight = -240; }},
        {"compressed", [](CMediaType& m) { reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->bmiHeader.biCompression = 1; }},
        {"no frame time", [](CMediaType& m) { reinterpret_cast<VIDEOINFOHEADER*>(m.pbFormat)->AvgTimePerFrame = 0; }},
        {"format block cut short", [](CMediaType& m) { m.cbFormat = 40; }},
        {"no format block", [](CMediaType& m) { m.ResetFormatBuffer(); }},
        {"other format type", [](CMediaType& m) { m.SetFormatType(FORMAT_VideoInfo2); }},
    };
    for (const Case& c : cases) {
        CMediaType bad(good);
        c.spoil(bad);
        EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, config->SetFormat(&bad)) << c.what;
        AM_MEDIA_TYPE* mt = nullptr;
        ASSERT_EQ(S_OK, config->GetFormat(&mt));
        EXPECT_EQ(640, Vih(*mt).bmiHeader.biWidth) << c.what << ": the current type is kept";
        DeleteMediaType(mt);
    }
    // A client that leaves the sizes 0 gets them filled in.
    CMediaType lazy(good);
    lazy.lSampleSize = 0;
    reinterpret_cast<VIDEOINFOHEADER*>(lazy.pbFormat)->bmiHeader.biSizeImage = 0;
    ASSERT_EQ(S_OK, config->SetFormat(&lazy));
    AM_MEDIA_TYPE* mt = nullptr;
    ASSERT_EQ(S_OK, config->GetFormat(&mt));
    EXPECT_EQ(230400u, mt->lSampleSize);
    EXPECT_EQ(230400u, Vih(*mt).bmiHeader.biSizeImage);
    DeleteMediaType(mt);
    EXPECT_NE(std::string::npos, vct::ReadFilterLog(logPath).find("SetFormat: not one of the offered"));
}

TEST_F(Formats, PropertySetAnswersThePinCategoryOnly) {
    Ptr<IKsPropertySet> props;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IKsPropertySet, props.out())) << "the filter hands out the pin's";
    Ptr<IKsPropertySet> pinProps;
    Ptr<IPin> ipin;
    ASSERT_EQ(S_OK, vct::FirstPin(filter.get(), &ipin));
    ASSERT_EQ(S_OK, ipin->QueryInterface(IID_IKsPropertySet, pinProps.out()));
    EXPECT_EQ(props.get(), pinProps.get());

    GUID category = GUID_NULL;
    DWORD returned = 0;
    EXPECT_EQ(S_OK, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof(category), &returned));
    EXPECT_EQ(PIN_CATEGORY_CAPTURE, category);
    EXPECT_EQ(16u, returned);

    returned = 0;
    EXPECT_EQ(S_OK, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned))
        << "asking for the size only";
    EXPECT_EQ(16u, returned);
    EXPECT_EQ(E_UNEXPECTED, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 15, &returned));
    EXPECT_EQ(E_POINTER, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 16, nullptr));
    EXPECT_EQ(S_OK, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, nullptr));
    EXPECT_EQ(E_PROP_SET_UNSUPPORTED, props->Get(PIN_CATEGORY_CAPTURE, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned));
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &category, 16, &returned));

    DWORD support = 0;
    EXPECT_EQ(S_OK, props->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support));
    EXPECT_EQ(static_cast<DWORD>(KSPROPERTY_SUPPORT_GET), support);
    EXPECT_EQ(E_PROP_SET_UNSUPPORTED, props->QuerySupported(GUID_NULL, AMPROPERTY_PIN_CATEGORY, &support));
    EXPECT_EQ(E_PROP_ID_UNSUPPORTED, props->QuerySupported(AMPROPSETID_Pin, 7, &support));
    EXPECT_EQ(E_NOTIMPL, props->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16));
}

TEST_F(Formats, PinIdentity) {
    Ptr<IPin> ipin;
    ASSERT_EQ(S_OK, vct::FirstPin(filter.get(), &ipin));
    PIN_INFO info = {};
    ASSERT_EQ(S_OK, ipin->QueryPinInfo(&info));
    EXPECT_STREQ(L"ZXVCam", info.achName);
    EXPECT_EQ(PINDIR_OUTPUT, info.dir);
    EXPECT_EQ(filter.get(), info.pFilter);
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(S_OK, ipin->QueryId(&id));
    EXPECT_STREQ(L"ZXVCam", id);
    CoTaskMemFree(id);
    Ptr<IPin> found;
    EXPECT_EQ(S_OK, filter->FindPin(L"ZXVCam", &found));
    EXPECT_EQ(ipin.get(), found.get());
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(L"Output", &found));

    Ptr<IQualityControl> quality;
    EXPECT_EQ(S_OK, ipin->QueryInterface(IID_IQualityControl, quality.out()));

    // One pin, whatever index is asked for.
    EXPECT_EQ(1, filterObject->GetPinCount());
    EXPECT_EQ(filterObject->GetPin(0), filterObject->GetPin(5));
    Ptr<IEnumPins> pins;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    IPin* all[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, pins->Next(3, all, &fetched));
    EXPECT_EQ(1u, fetched);
    if (all[0]) all[0]->Release();
    EXPECT_EQ(std::string::npos, vct::ReadFilterLog(logPath).find(": QueryInterface"));
}

// A sample of the system's memory allocator with room for bytes.
class RealSample {
public:
    explicit RealSample(long bytes) {
        if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                    allocator.out())))
            return;
        ALLOCATOR_PROPERTIES want = {1, bytes, 1, 0}, got = {};
        if (FAILED(allocator->SetProperties(&want, &got)) || FAILED(allocator->Commit())) return;
        allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    }
    ~RealSample() {
        sample.Reset();
        if (allocator) allocator->Decommit();
    }
    Ptr<IMemAllocator> allocator;
    Ptr<IMediaSample> sample;
};

TEST_F(Formats, FillBufferNeverWritesMoreThanTheSampleOrTheFormatHolds) {
    vct::ComScope com;
    EXPECT_EQ(E_POINTER, pin->FillBuffer(nullptr));
    pin->OnThreadCreate();

    // A sample smaller than the picture gets what fits.
    RealSample small(1000);
    ASSERT_TRUE(small.sample);
    ASSERT_EQ(S_OK, pin->FillBuffer(small.sample.get()));
    EXPECT_EQ(1000, small.sample->GetActualDataLength());

    // A larger one gets the format's image and no more.
    RealSample large(2000000);
    ASSERT_TRUE(large.sample);
    BYTE* data = nullptr;
    ASSERT_EQ(S_OK, large.sample->GetPointer(&data));
    const long size = large.sample->GetSize();
    ASSERT_GE(size, 2000000);
    std::memset(data, 0xAB, static_cast<size_t>(size));
    ASSERT_EQ(S_OK, pin->FillBuffer(large.sample.get()));
    EXPECT_EQ(921600, large.sample->GetActualDataLength());
    EXPECT_EQ(0, data[0]) << "black before any frame";
    EXPECT_EQ(0, data[921599]);
    for (long i = 921600; i < size; i += 4099) ASSERT_EQ(0xAB, data[i]) << i;

    // Times go on from 0 in frames of the format's duration.
    REFERENCE_TIME start = -1, end = -1;
    ASSERT_EQ(S_OK, small.sample->GetTime(&start, &end));
    EXPECT_EQ(0, start);
    EXPECT_EQ(500000, end);
    ASSERT_EQ(S_OK, large.sample->GetTime(&start, &end));
    EXPECT_EQ(500000, start);
    EXPECT_EQ(1000000, end);
    EXPECT_EQ(S_OK, large.sample->IsSyncPoint());
}

TEST_F(Formats, SamplesAreTheNewestFrameScaledAndConverted) {
    vct::ComScope com;
    // A frame with detail everywhere in the real channel.
    CShareMem writer;
    ASSERT_TRUE(writer.Open(kShareMemFileName, kShareMemSize));
    std::vector<uint8_t> packet(kShareMemHeaderSize + 921600);
    unsigned seed = 99;
    for (size_t i = kShareMemHeaderSize; i < packet.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        packet[i] = static_cast<uint8_t>(seed >> 16);
    }
    const std::vector<uint8_t> picture(packet.begin() + kShareMemHeaderSize, packet.end());

    struct Case {
        VCamPixels pixels;
        int code;
    };
    for (const Case c : {Case{VCamPixels::Rgb24, 8}, Case{VCamPixels::Rgb24, 4}, Case{VCamPixels::Yuy2, 4},
                         Case{VCamPixels::I420, 8}, Case{VCamPixels::Yuy2, 8}}) {
        CMediaType mt;
        ASSERT_TRUE(VCamMakeMediaType(c.pixels, c.code, 500000, &mt));
        ASSERT_EQ(S_OK, config->SetFormat(&mt));
        ASSERT_EQ(S_OK, pin->SetMediaType(&mt));
        pin->OnThreadCreate();
        ShareMemMakeHeader(packet.data(), 921600, ShareMemNow());
        writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
        RealSample sample(static_cast<long>(mt.lSampleSize));
        ASSERT_TRUE(sample.sample);
        ASSERT_EQ(S_OK, pin->FillBuffer(sample.sample.get()));
        ASSERT_EQ(static_cast<long>(mt.lSampleSize), sample.sample->GetActualDataLength());

        // What the filter must deliver: the frame (bottom-up RGB24 as it is)
        // scaled (area averaging) to the chosen size, then converted.
        const int w = c.code * 80, h = c.code * 60;
        std::vector<uint8_t> scaled = picture;
        if (c.code != 8) {
            CZxScaler scaler;
            ASSERT_TRUE(scaler.Build(640, 480, w, h, ZxScaleFilter::Area));
            scaled.assign(CZxScaler::PictureBytes(w, h), 0);
            scaler.Scale(picture.data(), scaled.data());
        }
        std::vector<uint8_t> expected = scaled;
        expected.resize(mt.lSampleSize);
        if (c.pixels == VCamPixels::Yuy2) {
            ASSERT_TRUE(ZxBgrToYuy2(scaled.data(), w, h, expected.data()));
        } else if (c.pixels == VCamPixels::I420) {
            ASSERT_TRUE(ZxBgrToI420(scaled.data(), w, h, expected.data()));
        }
        BYTE* data = nullptr;
        ASSERT_EQ(S_OK, sample.sample->GetPointer(&data));
        EXPECT_EQ(0, std::memcmp(expected.data(), data, expected.size())) << w << "x" << h;
        // No newer frame: the next sample repeats the converted picture.
        RealSample again(static_cast<long>(mt.lSampleSize));
        ASSERT_EQ(S_OK, pin->FillBuffer(again.sample.get()));
        ASSERT_EQ(S_OK, again.sample->GetPointer(&data));
        EXPECT_EQ(0, std::memcmp(expected.data(), data, expected.size())) << w << "x" << h << ", repeated";
    }
}

TEST(FormatRules, BitmapSizeAndSizeCodes) {
    EXPECT_EQ(921600u, VCamImageSize(640, 480, 24));
    EXPECT_EQ(static_cast<DWORD>(4 * 3), VCamImageSize(3, 3, 8)) << "rows padded to 4 bytes";
    EXPECT_EQ(0u, VCamImageSize(0, 480, 24));
    EXPECT_EQ(8, VCamSizeCodeOfSampleSize(921600));
    EXPECT_EQ(0, VCamSizeCodeOfSampleSize(14399));
}

}  // namespace
