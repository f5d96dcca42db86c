// The Media Foundation camera: ZxCamMF.dll read through a source reader while a writer publishes
// known pictures; its life cycle, registration, registration tool and ZxCamCheck --mf.
#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <devicetopology.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "MFFormats.h"
#include "GlobalChannel.h"
#include "MFFrames.h"
#include "MFGlobalChannel.h"
#include "MFGuids.h"
#include "MFTestPattern.h"
#include "ZxLib/Lang.h"
#include "ShareMem.h"
#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxScale/ZxYuv.h"

using vct::Ptr;

namespace {

const DWORD kVideo = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);

std::wstring BinPath(const char* file) { return Charset::String2WString(Dir::GetCurrentPath() + file); }

// The module as a client without registration loads it: by its path.
HMODULE Module() {
    static HMODULE module = LoadLibraryW(BinPath("ZxCamMF.dll").c_str());
    return module;
}

template <class F>
F Export(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Module(), name)));
}

HRESULT MakeActivate(IMFActivate** activate) {
    typedef HRESULT(STDAPICALLTYPE * GetClassObject)(REFCLSID, REFIID, LPVOID*);
    const auto get = Export<GetClassObject>("DllGetClassObject");
    if (!get) return E_FAIL;
    Ptr<IClassFactory> factory;
    HRESULT hr = get(CLSID_ZxCamMF, IID_IClassFactory, factory.out());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IMFActivate, reinterpret_cast<void**>(activate));
}

HRESULT MakeSource(IMFMediaSource** source) {
    Ptr<IMFActivate> activate;
    HRESULT hr = MakeActivate(&activate);
    if (FAILED(hr)) return hr;
    return activate->ActivateObject(IID_IMFMediaSource, reinterpret_cast<void**>(source));
}

bool ModuleIdle() {
    typedef HRESULT(STDAPICALLTYPE * CanUnload)();
    const auto can = Export<CanUnload>("DllCanUnloadNow");
    return can && can() == S_OK;
}

class MFTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_com.Ok());
        ASSERT_EQ(S_OK, MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET));
        ASSERT_NE(nullptr, Module());
    }
    void TearDown() override { MFShutdown(); }
    vct::ComScope m_com;
};

// Waits until the channel holds no current frame (an earlier writer's last frame goes stale within two seconds).
bool ChannelQuiet() {
    CShareMem channel;
    if (!channel.Open(kShareMemFileName, kShareMemSize)) return false;
    return zxtest::WaitUntil([&] {
        ShareMemFrame frame;
        return !channel.BeginRead(frame, ShareMemNow());
    });
}

// One sample as the reader gave it.
struct Read {
    std::vector<uint8_t> bytes;
    LONGLONG stamp = 0, duration = 0;
};

bool ReadOne(IMFSourceReader* reader, Read& out) {
    for (int tries = 0; tries < 100; ++tries) {
        DWORD index = 0, flags = 0;
        LONGLONG stamp = 0;
        Ptr<IMFSample> sample;
        if (FAILED(reader->ReadSample(kVideo, 0, &index, &flags, &stamp, &sample))) return false;
        if (flags & (MF_SOURCE_READERF_ERROR | MF_SOURCE_READERF_ENDOFSTREAM)) return false;
        if (!sample) continue;
        Ptr<IMFMediaBuffer> buffer;
        BYTE* data = nullptr;
        DWORD length = 0;
        if (FAILED(sample->ConvertToContiguousBuffer(&buffer)) || FAILED(buffer->Lock(&data, nullptr, &length)))
            return false;
        out.bytes.assign(data, data + length);
        buffer->Unlock();
        out.stamp = stamp;
        sample->GetSampleDuration(&out.duration);
        return true;
    }
    return false;
}

// The picture the camera must deliver in format f while the writer shows its frame of phase:
// that frame scaled (area averaging) to the format's size and converted (the conversions
// themselves are the scaler suite's).
std::vector<uint8_t> ExpectedPicture(const MFVideoFormat& f, int phase) {
    const int w = f.Width(), h = f.Height();
    std::vector<uint8_t> frame(921600), scaled(CZxScaler::PictureBytes(w, h)), out(f.Bytes());
    mftest::FillFrame(frame.data(), phase);
    CZxScaler scaler;
    if (f.code == 8) {
        scaled = frame;
    } else if (scaler.Build(640, 480, w, h, ZxScaleFilter::Area)) {
        scaler.Scale(frame.data(), scaled.data());
    }
    switch (f.pixels) {
        case MFPixels::Yuy2: ZxBgrToYuy2(scaled.data(), w, h, out.data()); break;
        case MFPixels::Rgb32: ZxBgrToRgb32TopDown(scaled.data(), w, h, out.data()); break;
        default: ZxBgrToNv12(scaled.data(), w, h, out.data());
    }
    return out;
}

// The writer's frame phase a picture shows when it is exactly that frame's picture in format f;
// -1 otherwise. The phase is read from the top-left quadrant's grey (in YUV, from its luma).
int PatternPhase(const MFVideoFormat& f, const std::vector<uint8_t>& p) {
    if (p.size() != f.Bytes()) return -1;
    const size_t at = static_cast<size_t>(f.Height() / 4) * f.Width() + f.Width() / 4;
    const int level = f.pixels == MFPixels::Rgb32 ? p[at * 4 + 1] : p[f.pixels == MFPixels::Yuy2 ? at * 2 : at];
    const double grey = f.pixels == MFPixels::Rgb32 ? level : (level - 16) * 255.0 / 219.0;
    const int guess = static_cast<int>(std::lround((grey - 20) / 4));
    for (int phase = std::max(0, guess - 1); phase <= std::min(mftest::kPhases - 1, guess + 1); ++phase)
        if (p == ExpectedPicture(f, phase)) return phase;
    return -1;
}

// Reads until a sample shows the writer's pattern in format f; its phase.
int ReadPattern(IMFSourceReader* reader, const MFVideoFormat& f, Read& read, std::vector<LONGLONG>& stamps) {
    for (int i = 0; i < 60; ++i) {
        if (!ReadOne(reader, read)) return -1;
        stamps.push_back(read.stamp);
        const int phase = PatternPhase(f, read.bytes);
        if (phase >= 0) return phase;
    }
    return -1;
}

HRESULT SelectType(IMFSourceReader* reader, DWORD index) {
    Ptr<IMFMediaType> type;
    HRESULT hr = reader->GetNativeMediaType(kVideo, index, &type);
    if (SUCCEEDED(hr)) hr = reader->SetCurrentMediaType(kVideo, nullptr, type.get());
    return hr;
}

// A source and its reader.
struct Camera {
    Ptr<IMFMediaSource> source;
    Ptr<IMFSourceReader> reader;
    HRESULT Open() {
        HRESULT hr = MakeSource(&source);
        if (SUCCEEDED(hr)) hr = MFCreateSourceReaderFromMediaSource(source.get(), nullptr, &reader);
        return hr;
    }
    ~Camera() {
        reader.Reset();
        if (source) source->Shutdown();
    }
};

}  // namespace

// Every offered type, NV12 first, at 20 a second, delivers the writer's frame converted; the
// stamps increase and every sample lasts a frame. Then, in RGB32: no sample before its 50 ms
// slot; between samples the writer moves on no more than the stamps allow, never back, and the
// samples follow it rather than repeating one frame.
TEST_F(MFTest, EveryTypeDeliversTheWritersFramesAndStampsAgreeWithTheRate) {
    vct::ChannelWriter writer(mftest::FillFrame, true);
    Camera cam;
    ASSERT_EQ(S_OK, cam.Open());
    std::vector<LONGLONG> stamps;
    int types = 0;
    for (DWORD i = 0;; ++i) {
        Ptr<IMFMediaType> type;
        if (FAILED(cam.reader->GetNativeMediaType(kVideo, i, &type))) break;
        MFVideoFormat f;
        ASSERT_TRUE(MFFormatOf(type.get(), f)) << "type " << i;
        const MFVideoFormat offered = MFFormatAt(static_cast<int>(i));
        EXPECT_EQ(offered.pixels, f.pixels) << "type " << i;
        EXPECT_EQ(offered.code, f.code) << "type " << i;
        UINT32 num = 0, den = 0;
        EXPECT_EQ(S_OK, MFGetAttributeRatio(type.get(), MF_MT_FRAME_RATE, &num, &den));
        EXPECT_EQ(20u, num / (den ? den : 1)) << "type " << i;
        ASSERT_EQ(S_OK, cam.reader->SetCurrentMediaType(kVideo, nullptr, type.get())) << "type " << i;
        Read read;
        EXPECT_GE(ReadPattern(cam.reader.get(), f, read, stamps), 0)
            << MFPixelsName(f.pixels) << " " << f.Width() << "x" << f.Height();
        EXPECT_EQ(kMFFrameTime, read.duration);
        ++types;
    }
    EXPECT_EQ(kMFFormatCount, types);
    EXPECT_EQ(MFPixels::Nv12, MFFormatAt(0).pixels);
    for (size_t i = 1; i < stamps.size(); ++i) EXPECT_GT(stamps[i], stamps[i - 1]) << "sample " << i;

    ASSERT_EQ(S_OK, SelectType(cam.reader.get(), 2 * kMFSizeCodes));  // RGB32 640x480
    const MFVideoFormat f = MFFormatAt(2 * kMFSizeCodes);
    Read read;
    int phase = ReadPattern(cam.reader.get(), f, read, stamps);
    ASSERT_GE(phase, 0);
    const LONGLONG first = read.stamp;
    LONGLONG last = first;
    int advanced = 0, distinct = 1;
    constexpr int kSamples = 30;
    for (int i = 1; i <= kSamples; ++i) {
        ASSERT_TRUE(ReadOne(cam.reader.get(), read));
        const int now = PatternPhase(f, read.bytes);
        ASSERT_GE(now, 0) << "sample " << i;
        const int step = (now - phase + mftest::kPhases) % mftest::kPhases;
        EXPECT_LT(step, mftest::kPhases / 2) << "the frames went back at sample " << i;
        // The writer writes frame n no sooner than n x 50 ms after its
        // first: over the time between two stamps it adds at most that many
        // frames, and one more.
        EXPECT_LE(step, (read.stamp - last) / kMFFrameTime + 1) << "sample " << i;
        if (step > 0) ++distinct;
        advanced += step;
        phase = now;
        EXPECT_GE(read.stamp - first, (i - 2) * kMFFrameTime) << "sample " << i << " came before its slot";
        EXPECT_GT(read.stamp, last);
        last = read.stamp;
    }
    EXPECT_GE(distinct, kSamples / 2);
    EXPECT_GT(advanced, 0);
}

// Without the program the camera keeps delivering the placeholder; a writer
// that starts later gets its frames through without a restart.
TEST_F(MFTest, PlaceholderUntilTheWriterStarts) {
    ASSERT_TRUE(ChannelQuiet());
    Camera cam;
    ASSERT_EQ(S_OK, cam.Open());
    ASSERT_EQ(S_OK, SelectType(cam.reader.get(), 2 * kMFSizeCodes));  // RGB32 640x480
    std::vector<uint8_t> placeholder;
    MFDrawPlaceholder(placeholder);
    std::vector<uint8_t> expected(ZxRgb32Bytes(640, 480));
    ASSERT_TRUE(ZxBgrToRgb32TopDown(placeholder.data(), 640, 480, expected.data()));
    // Not an empty picture: it has the dark ground and light text.
    int light = 0;
    for (size_t i = 0; i < expected.size(); i += 4) light += expected[i + 1] > 200;
    EXPECT_GT(light, 1000);
    LONGLONG last = 0;
    for (int i = 0; i < 5; ++i) {
        Read read;
        ASSERT_TRUE(ReadOne(cam.reader.get(), read));
        EXPECT_TRUE(read.bytes == expected) << "sample " << i;
        EXPECT_GT(read.stamp, last);
        last = read.stamp;
    }
    vct::ChannelWriter writer(mftest::FillFrame, true);
    std::vector<LONGLONG> stamps;
    Read read;
    EXPECT_GE(ReadPattern(cam.reader.get(), MFFormatAt(2 * kMFSizeCodes), read, stamps), 0);
}

namespace {

// Waits for an event of type from a generator (others are skipped); false
// after the hang guard or when the generator is shut down.
bool WaitEvent(IMFMediaEventGenerator* gen, MediaEventType type, Ptr<IMFMediaEvent>& out) {
    const bool found = zxtest::WaitUntil([&] {
        Ptr<IMFMediaEvent> event;
        if (FAILED(gen->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event))) return false;
        MediaEventType t = MEUnknown;
        event->GetType(&t);
        if (t != type) return false;
        out.Attach(event.get());
        event.get()->AddRef();
        return true;
    });
    return found;
}

HRESULT StartSource(IMFMediaSource* source) {
    Ptr<IMFPresentationDescriptor> pd;
    HRESULT hr = source->CreatePresentationDescriptor(&pd);
    PROPVARIANT start;
    PropVariantInit(&start);
    if (SUCCEEDED(hr)) hr = source->Start(pd.get(), nullptr, &start);
    return hr;
}

// The stream from the source's MENewStream or MEUpdatedStream event.
bool StreamOf(IMFMediaEvent* event, IMFMediaStream** stream) {
    PROPVARIANT value;
    PropVariantInit(&value);
    if (FAILED(event->GetValue(&value)) || value.vt != VT_UNKNOWN || !value.punkVal) return false;
    const bool ok = SUCCEEDED(value.punkVal->QueryInterface(IID_IMFMediaStream, reinterpret_cast<void**>(stream)));
    PropVariantClear(&value);
    return ok;
}

}  // namespace

// Start, stop, start, shutdown with a request waiting, a second shutdown: nothing hangs or stays.
TEST_F(MFTest, StartStopStartAndShutdownWhileARequestWaits) {
    {
        Ptr<IMFMediaSource> source;
        ASSERT_EQ(S_OK, MakeSource(&source));
        Ptr<IMFMediaEvent> event;
        // A stop before any start, and a start that nobody reads from.
        EXPECT_EQ(S_OK, source->Stop());
        ASSERT_EQ(S_OK, StartSource(source.get()));
        ASSERT_TRUE(WaitEvent(source.get(), MENewStream, event));
        Ptr<IMFMediaStream> stream;
        ASSERT_TRUE(StreamOf(event.get(), &stream));
        ASSERT_TRUE(WaitEvent(source.get(), MESourceStarted, event));
        ASSERT_TRUE(WaitEvent(stream.get(), MEStreamStarted, event));

        // One request, one sample carrying the request's token.
        Ptr<IMFAttributes> token;
        ASSERT_EQ(S_OK, MFCreateAttributes(&token, 0));
        ASSERT_EQ(S_OK, stream->RequestSample(token.get()));
        ASSERT_TRUE(WaitEvent(stream.get(), MEMediaSample, event));
        PROPVARIANT value;
        PropVariantInit(&value);
        ASSERT_EQ(S_OK, event->GetValue(&value));
        ASSERT_EQ(VT_UNKNOWN, value.vt);
        Ptr<IMFSample> sample;
        ASSERT_EQ(S_OK, value.punkVal->QueryInterface(IID_IMFSample, sample.out()));
        PropVariantClear(&value);
        Ptr<IUnknown> carried;
        EXPECT_EQ(S_OK, sample->GetUnknown(MFSampleExtension_Token, IID_IUnknown, carried.out()));
        Ptr<IUnknown> mine;
        token->QueryInterface(IID_IUnknown, mine.out());
        EXPECT_EQ(mine.get(), carried.get());

        // Stopped, a stream takes no requests; started again it is the same stream, updated, and delivers again.
        ASSERT_EQ(S_OK, source->Stop());
        ASSERT_TRUE(WaitEvent(source.get(), MESourceStopped, event));
        ASSERT_TRUE(WaitEvent(stream.get(), MEStreamStopped, event));
        EXPECT_EQ(MF_E_MEDIA_SOURCE_WRONGSTATE, stream->RequestSample(nullptr));
        ASSERT_EQ(S_OK, StartSource(source.get()));
        ASSERT_TRUE(WaitEvent(source.get(), MEUpdatedStream, event));
        ASSERT_TRUE(WaitEvent(stream.get(), MEStreamStarted, event));
        ASSERT_EQ(S_OK, stream->RequestSample(nullptr));
        ASSERT_TRUE(WaitEvent(stream.get(), MEMediaSample, event));

        // The next request waits for its 50 ms slot; the source is shut down meanwhile.
        ASSERT_EQ(S_OK, stream->RequestSample(token.get()));
        EXPECT_EQ(S_OK, source->Shutdown());
        EXPECT_EQ(MF_E_SHUTDOWN, source->Shutdown());
        EXPECT_EQ(MF_E_SHUTDOWN, StartSource(source.get()));
        EXPECT_EQ(MF_E_SHUTDOWN, source->Stop());
        EXPECT_EQ(MF_E_SHUTDOWN, stream->RequestSample(nullptr));
        Ptr<IMFMediaEvent> none;
        EXPECT_EQ(MF_E_SHUTDOWN, stream->GetEvent(MF_EVENT_FLAG_NO_WAIT, &none));
        EXPECT_EQ(MF_E_SHUTDOWN, source->GetEvent(MF_EVENT_FLAG_NO_WAIT, &none));
    }
    // The source and its stream hold each other only until the shutdown.
    EXPECT_TRUE(ModuleIdle());
}

// The source a reader holds is shut down by the reader when it goes, in
// the middle of a stream; and a source shut down twice by its client first.
TEST_F(MFTest, ReaderReleasedWhileStreaming) {
    {
        Camera cam;
        ASSERT_EQ(S_OK, cam.Open());
        Read read;
        ASSERT_TRUE(ReadOne(cam.reader.get(), read));
        EXPECT_EQ(MFFormatAt(0).Bytes(), read.bytes.size());  // NV12 640x480 unless chosen otherwise
        EXPECT_EQ(S_OK, cam.source->Shutdown());
        Read after;
        EXPECT_FALSE(ReadOne(cam.reader.get(), after));
    }
    EXPECT_TRUE(ModuleIdle());
}

// What the Frame Server asks: a live, shared capture stream; absent camera controls answered as such.
TEST_F(MFTest, CameraInterfaces) {
    Ptr<IMFMediaSource> source;
    ASSERT_EQ(S_OK, MakeSource(&source));
    DWORD characteristics = 0;
    EXPECT_EQ(S_OK, source->GetCharacteristics(&characteristics));
    EXPECT_TRUE(characteristics & MFMEDIASOURCE_IS_LIVE);
    Ptr<IMFMediaSourceEx> ex;
    ASSERT_EQ(S_OK, source->QueryInterface(IID_IMFMediaSourceEx, ex.out()));
    Ptr<IMFAttributes> attributes;
    ASSERT_EQ(S_OK, ex->GetStreamAttributes(0, &attributes));
    GUID category = GUID_NULL;
    EXPECT_EQ(S_OK, attributes->GetGUID(ZX_MF_DEVICESTREAM_STREAM_CATEGORY, &category));
    EXPECT_TRUE(category == ZX_PINNAME_VIDEO_CAPTURE);
    EXPECT_EQ(1u, MFGetAttributeUINT32(attributes.get(), ZX_MF_DEVICESTREAM_FRAMESERVER_SHARED, 0));
    EXPECT_EQ(MF_E_INVALIDSTREAMNUMBER, ex->GetStreamAttributes(1, &attributes));
    Ptr<IMFGetService> service;
    EXPECT_EQ(S_OK, source->QueryInterface(IID_IMFGetService, service.out()));
    Ptr<IKsControl> ks;
    ASSERT_EQ(S_OK, source->QueryInterface(ZX_IID_IKsControl, ks.out()));
    KSPROPERTY property = {};
    property.Set = ZX_PINNAME_VIDEO_CAPTURE;
    property.Id = 1;
    property.Flags = 1;  // KSPROPERTY_TYPE_GET
    ULONG data = 0, returned = 7;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND), ks->KsProperty(&property, sizeof(property), &data, sizeof(data), &returned));
    EXPECT_EQ(0u, returned);
    EXPECT_EQ(S_OK, source->Shutdown());
    EXPECT_EQ(MF_E_SHUTDOWN, ks->KsProperty(&property, sizeof(property), &data, sizeof(data), &returned));
}

namespace {

std::wstring ReadValue(const std::wstring& key, const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"(none)";
    return text;
}

// Runs a program of this build; its exit code and standard output.
int RunCapture(const std::wstring& args, std::string& output) {
    const std::string file = zxtest::MakeTempDir("mfrun") + "out.txt";
    const int code = zxtest::RunProcess(Charset::WString2String(args), 4 * zxtest::kHangGuardMs, file);
    output = zxtest::ReadFile(file);
    return code;
}

}  // namespace

// Registered under HKEY_LOCAL_MACHINE with the threading model Both, the class gives the
// activation object through COM; unregistered, it is gone. Wine has no virtual-camera service:
// the registration tool says so and succeeds, so the installer carries on with the DirectShow camera.
TEST_F(MFTest, RegistrationUnderTheMachineAndTheToolWithoutTheService) {
    const std::wstring key = std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kZxCamMFClsidText + L"\\InprocServer32";
    typedef HRESULT(STDAPICALLTYPE * Reg)();
    ASSERT_EQ(S_OK, Export<Reg>("DllRegisterServer")());
    EXPECT_EQ(L"Both", ReadValue(key, L"ThreadingModel"));
    const std::wstring path = ReadValue(key, nullptr);
    EXPECT_EQ(0, _wcsicmp(path.c_str(), BinPath("ZxCamMF.dll").c_str())) << Charset::WString2String(path);
    Ptr<IMFActivate> activate;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ZxCamMF, nullptr, CLSCTX_INPROC_SERVER, IID_IMFActivate,
                                     reinterpret_cast<void**>(&activate)));
    activate.Reset();
    ASSERT_EQ(S_OK, Export<Reg>("DllUnregisterServer")());
    EXPECT_EQ(L"(none)", ReadValue(key, L"ThreadingModel"));
    EXPECT_EQ(S_OK, Export<Reg>("DllUnregisterServer")());

    for (const wchar_t* mode : {L" --add", L" --remove"}) {
        std::string output;
        EXPECT_EQ(0, RunCapture(L"\"" + BinPath("ZxCamMFReg.exe") + L"\"" + mode, output));
        EXPECT_NE(std::string::npos,
                  output.find("this Windows has no virtual-camera service (Windows 11 is needed); "
                              "the DirectShow camera is installed"))
            << output;
    }
    std::string output;
    EXPECT_EQ(1, RunCapture(L"\"" + BinPath("ZxCamMFReg.exe") + L"\" --bogus", output));
}

// ZxCamCheck --mf reads the camera through a source reader and passes on
// the writer's frames; the frame it saves is the writer's picture.
TEST_F(MFTest, CheckToolReadsTheCamera) {
    vct::ChannelWriter writer(mftest::FillFrame, true);
    const std::string bmp = zxtest::MakeTempDir("mfcheck") + "mf.bmp";
    std::string output;
    const int code = RunCapture(L"\"" + BinPath("ZxCamCheck.exe") + L"\" --mf --frames 40 --save \"" +
                                    Charset::String2WString(bmp) + L"\"",
                                output);
    EXPECT_EQ(0, code) << output;
    EXPECT_NE(std::string::npos, output.find("result: ok")) << output;
    EXPECT_NE(std::string::npos, output.find("formats: 24")) << output;
    // Under the report, one sentence in the user's language (the tests' Chinese).
    EXPECT_NE(std::string::npos, output.find("\n" + Lang::TextUtf8("console.conclusion.ok"))) << output;
    const std::string file = zxtest::ReadFile(bmp);
    ASSERT_EQ(54u + 640 * 480 * 3, file.size());
    // The saved picture (bottom-up) shows the pattern: fixed quadrant colours, exactly.
    const uint8_t* px = reinterpret_cast<const uint8_t*>(file.data()) + 54;
    auto at = [&](int x, int yTop) { return px + (static_cast<size_t>(479 - yTop) * 640 + x) * 3; };
    const mftest::Rgb tr = mftest::QuadrantColour(1, 0), bl = mftest::QuadrantColour(2, 0);
    EXPECT_EQ(tr.r, at(480, 100)[2]);
    EXPECT_EQ(tr.g, at(480, 100)[1]);
    EXPECT_EQ(bl.b, at(100, 400)[0]);
    EXPECT_GE(mftest::PhaseOfGrey(at(100, 100)[1]), 0);
}

namespace {

// The DACL of a security descriptor in text form (the descriptor is freed).
std::wstring DaclText(PSECURITY_DESCRIPTOR sd) {
    LPWSTR text = nullptr;
    std::wstring out;
    if (sd && ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                   &text, nullptr)) {
        out = text;
        LocalFree(text);
    }
    if (sd) LocalFree(sd);
    return out;
}

// The DACL of a named object; empty when it cannot be read.
std::wstring DaclOf(HANDLE object) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                        &sd) != ERROR_SUCCESS)
        return L"";
    return DaclText(sd);
}

// A DACL text as the system writes it back (the same rights may be spelt in more than one way).
std::wstring Canonical(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) return L"?";
    return DaclText(sd);
}

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

}  // namespace

// A started source (not before) makes the cross-session channel with its designed security, and
// frames published there reach the samples while the session's channel has none.
TEST_F(MFTest, CrossSessionChannel) {
    ASSERT_TRUE(ChannelQuiet());
    Camera cam;
    ASSERT_EQ(S_OK, cam.Open());
    HANDLE early = OpenFileMappingW(READ_CONTROL, FALSE, Wide(kGlobalChannelFileName).c_str());
    EXPECT_EQ(nullptr, early) << "made before the first sample";
    if (early) CloseHandle(early);
    ASSERT_EQ(S_OK, SelectType(cam.reader.get(), 2 * kMFSizeCodes));  // RGB32 640x480
    Read read;
    ASSERT_TRUE(ReadOne(cam.reader.get(), read));

    HANDLE mapping = OpenFileMappingW(READ_CONTROL, FALSE, Wide(kGlobalChannelFileName).c_str());
    ASSERT_NE(nullptr, mapping);
    EXPECT_EQ(Canonical(kMFGlobalMappingSddl), DaclOf(mapping));
    CloseHandle(mapping);
    for (const char* name : {kGlobalChannelReadEvent, kGlobalChannelWriteEvent}) {
        HANDLE event = OpenEventW(READ_CONTROL, FALSE, Wide(name).c_str());
        ASSERT_NE(nullptr, event) << name;
        EXPECT_EQ(Canonical(kMFGlobalEventSddl), DaclOf(event)) << name;
        CloseHandle(event);
    }

    // The program's side: it attaches to what exists and publishes there.
    CShareMem global;
    ASSERT_TRUE(global.Open(kGlobalChannelFileName, kShareMemSize, kGlobalChannelReadEvent, kGlobalChannelWriteEvent));
    std::vector<uint8_t> packet(kShareMemHeaderSize + 921600);
    bool seen = false;
    std::vector<LONGLONG> stamps;
    for (int i = 0; i < 60 && !seen; ++i) {
        mftest::FillFrame(packet.data() + kShareMemHeaderSize, 7);
        ASSERT_TRUE(ShareMemMakeHeader(packet.data(), 921600, ShareMemNow()));
        global.Write(packet.data(), static_cast<DWORD>(packet.size()));
        ASSERT_TRUE(ReadOne(cam.reader.get(), read));
        seen = PatternPhase(MFFormatAt(2 * kMFSizeCodes), read.bytes) == 7;
    }
    EXPECT_TRUE(seen);
}
