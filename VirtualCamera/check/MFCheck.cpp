#include "MFCheck.h"

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CamCheck.h"
#include "MFGuids.h"

namespace camcheck {

namespace {

const DWORD kVideo = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);

std::wstring AttributeText(IMFAttributes* a, REFGUID key) {
    WCHAR* text = nullptr;
    UINT32 length = 0;
    if (FAILED(a->GetAllocatedString(key, &text, &length)) || !text) return L"";
    std::wstring out(text, length);
    CoTaskMemFree(text);
    return out;
}

}  // namespace

std::wstring MFSubtypeName(const GUID& subtype) {
    if (subtype == MFVideoFormat_NV12) return L"NV12";
    if (subtype == MFVideoFormat_YUY2) return L"YUY2";
    if (subtype == MFVideoFormat_RGB32) return L"RGB32";
    if (subtype == MFVideoFormat_RGB24) return L"RGB24";
    if (subtype == MFVideoFormat_MJPG) return L"MJPG";
    wchar_t text[64];
    StringFromGUID2(subtype, text, 64);
    return text;
}

namespace {

// The camera from the system's list of video capture devices (on Windows
// 11 the Frame Server's virtual cameras are among them); null when it is
// not listed.
IMFMediaSource* FromDeviceList(const std::wstring& name, bool log) {
    IMFAttributes* query = nullptr;
    if (FAILED(MFCreateAttributes(&query, 1))) return nullptr;
    query->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    IMFActivate** devices = nullptr;
    UINT32 count = 0;
    const HRESULT hr = MFEnumDeviceSources(query, &devices, &count);
    query->Release();
    if (FAILED(hr)) {
        if (log) Line(L"mf-devices: the system's device list failed (0x%08lX)", static_cast<unsigned long>(hr));
        return nullptr;
    }
    if (log) Line(L"mf-devices: %u", count);
    IMFMediaSource* source = nullptr;
    for (UINT32 i = 0; i < count; ++i) {
        const std::wstring friendly = AttributeText(devices[i], MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME);
        if (log) Line(L"mf-device: %ls", friendly.c_str());
        // The service adds its own words to the name ("ZXVCam Windows
        // Virtual Camera"), so the name is matched at its start.
        if (!source && friendly.compare(0, name.size(), name) == 0) {
            if (FAILED(devices[i]->ActivateObject(IID_IMFMediaSource, reinterpret_cast<void**>(&source)))) source = nullptr;
        }
        devices[i]->Release();
    }
    CoTaskMemFree(devices);
    return source;
}

// Our source made straight from its class: the registered class first,
// else the module beside the check (which need not be registered).
IMFMediaSource* Directly(std::wstring& how, HMODULE& module) {
    IMFActivate* activate = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ZxCamMF, nullptr, CLSCTX_INPROC_SERVER, IID_IMFActivate,
                                   reinterpret_cast<void**>(&activate)))) {
        how = L"the registered class";
    } else {
        wchar_t path[MAX_PATH * 4];
        const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
        std::wstring dll(path, n);
        dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"ZxCamMF.dll";
        module = LoadLibraryW(dll.c_str());
        typedef HRESULT(STDAPICALLTYPE * GetClassObject)(REFCLSID, REFIID, LPVOID*);
        const auto get = module ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject"))) : nullptr;
        IClassFactory* factory = nullptr;
        if (get && SUCCEEDED(get(CLSID_ZxCamMF, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
            if (FAILED(factory->CreateInstance(nullptr, IID_IMFActivate, reinterpret_cast<void**>(&activate))))
                activate = nullptr;
            factory->Release();
        }
        how = L"ZxCamMF.dll beside the check";
    }
    if (!activate) return nullptr;
    IMFMediaSource* source = nullptr;
    if (FAILED(activate->ActivateObject(IID_IMFMediaSource, reinterpret_cast<void**>(&source)))) source = nullptr;
    activate->Release();
    return source;
}

// RGB32 top-down rows into a 24-bit bottom-up picture (the check's BMP form).
void ToBgrBottomUp(const BYTE* data, DWORD length, int width, int height, std::vector<uint8_t>& out) {
    const size_t stride = static_cast<size_t>(((24 * width + 31) / 32) * 4);
    out.assign(stride * static_cast<size_t>(height), 0);
    if (length < static_cast<DWORD>(width * height * 4)) return;
    for (int y = 0; y < height; ++y) {
        const BYTE* s = data + static_cast<size_t>(y) * width * 4;
        uint8_t* d = out.data() + stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

}  // namespace

HRESULT MFReader::Open(const std::wstring& device, std::wstring& how) {
    Close();
    HRESULT hr = MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET);
    if (FAILED(hr)) {
        if (m_log) Line(L"media-foundation: failed to start (0x%08lX)", static_cast<unsigned long>(hr));
        return hr;
    }
    m_started = true;
    m_source = FromDeviceList(device, m_log);
    if (m_source) {
        how = L"the system's camera list";
    } else {
        m_source = Directly(how, m_module);
        if (!m_source) return MF_E_NOT_FOUND;
    }
    hr = MFCreateSourceReaderFromMediaSource(m_source, nullptr, &m_reader);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0;; ++i) {
        IMFMediaType* type = nullptr;
        if (FAILED(m_reader->GetNativeMediaType(kVideo, i, &type))) break;
        Type t;
        UINT32 w = 0, h = 0, num = 0, den = 0;
        type->GetGUID(MF_MT_SUBTYPE, &t.subtype);
        MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &w, &h);
        MFGetAttributeRatio(type, MF_MT_FRAME_RATE, &num, &den);
        t.width = static_cast<int>(w);
        t.height = static_cast<int>(h);
        t.fps = den ? static_cast<double>(num) / den : 0.0;
        m_types.push_back(t);
        type->Release();
    }
    return S_OK;
}

HRESULT MFReader::Select(int width, int height) {
    if (!m_reader) return E_UNEXPECTED;
    for (DWORD i = 0; i < m_types.size(); ++i) {
        const Type& t = m_types[i];
        if (t.subtype != MFVideoFormat_RGB32 || t.width != width || t.height != height) continue;
        IMFMediaType* type = nullptr;
        HRESULT hr = m_reader->GetNativeMediaType(kVideo, i, &type);
        if (SUCCEEDED(hr)) hr = m_reader->SetCurrentMediaType(kVideo, nullptr, type);
        SafeRelease(type);
        if (SUCCEEDED(hr)) {
            m_width = width;
            m_height = height;
        }
        return hr;
    }
    return E_INVALIDARG;
}

HRESULT MFReader::Read(std::vector<uint8_t>& picture, LONGLONG& stamp) {
    if (!m_reader || m_width <= 0) return E_UNEXPECTED;
    DWORD index = 0, flags = 0;
    IMFSample* sample = nullptr;
    HRESULT hr = m_reader->ReadSample(kVideo, 0, &index, &flags, &stamp, &sample);
    if (SUCCEEDED(hr) && (flags & MF_SOURCE_READERF_ERROR)) hr = E_FAIL;
    if (SUCCEEDED(hr) && (flags & MF_SOURCE_READERF_ENDOFSTREAM)) hr = MF_E_END_OF_STREAM;
    if (FAILED(hr) || !sample) {
        SafeRelease(sample);
        return FAILED(hr) ? hr : S_FALSE;
    }
    IMFMediaBuffer* buffer = nullptr;
    BYTE* data = nullptr;
    DWORD length = 0;
    if (SUCCEEDED(sample->ConvertToContiguousBuffer(&buffer)) && SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
        ToBgrBottomUp(data, length, m_width, m_height, picture);
        buffer->Unlock();
    }
    SafeRelease(buffer);
    SafeRelease(sample);
    return S_OK;
}

void MFReader::Close() {
    SafeRelease(m_reader);
    if (m_source) m_source->Shutdown();
    SafeRelease(m_source);
    if (m_module) FreeLibrary(m_module);
    m_module = nullptr;
    m_types.clear();
    m_width = m_height = 0;
    if (m_started) MFShutdown();
    m_started = false;
}

namespace {

// The check itself; the reader's objects and Media Foundation go at its end.
int ReadCamera(const Options& o) {
    HRESULT hr = S_OK;
    int code = kExitOk;
    {
        MFReader reader(true);
        std::wstring how;
        hr = reader.Open(o.device, how);
        if (!reader.Started()) {
            Line(L"result: no camera");
            return kExitNoCamera;
        }
        if (hr == MF_E_NOT_FOUND) {
            Line(L"camera: %ls is not in the system's camera list and its source could not be created",
                 o.device.c_str());
            Line(L"result: no camera");
            return kExitNoCamera;
        }
        if (FAILED(hr)) {
            Line(L"reader: failed (0x%08lX)", static_cast<unsigned long>(hr));
            Line(L"result: graph failed");
            return kExitGraph;
        }
        Line(L"camera: %ls %ls %ls", o.device.c_str(),
             how == L"the system's camera list" ? L"found in" : L"created directly from", how.c_str());
        // The formats the camera offers, in its order.
        const std::vector<MFReader::Type>& types = reader.Types();
        Line(L"formats: %u", static_cast<unsigned>(types.size()));
        for (size_t i = 0; i < types.size(); ++i)
            Line(L"format: %u %ls %dx%d %.2f fps", static_cast<unsigned>(i), MFSubtypeName(types[i].subtype).c_str(),
                 types[i].width, types[i].height, types[i].fps);
        if (o.listOnly) {
            Line(L"program: %ls", Running(ProgramRunning()));
            Line(L"result: ok");
            return kExitOk;
        }
        hr = reader.Select(o.width, o.height);
        if (hr == E_INVALIDARG) {
            Line(L"size: %dx%d RGB32 is not offered", o.width, o.height);
            Line(L"result: size not offered");
            return kExitUsage;
        }
        if (FAILED(hr)) {
            Line(L"size: %dx%d RGB32 refused (0x%08lX)", o.width, o.height, static_cast<unsigned long>(hr));
            Line(L"result: graph failed");
            return kExitGraph;
        }
        Line(L"size: %dx%d RGB32", o.width, o.height);
        Line(L"program: %ls", Running(ProgramRunning()));

        // Samples are read one after the other, as a capture client reads
        // them; the channel is watched beside to tell the program's frames.
        PublishWatch watch;
        const double startUs = Clock::NowUs();
        const double timeoutUs = o.timeoutSeconds * 1e6;
        std::vector<uint8_t> pixels;
        bool live = false, readFailed = false;
        uint64_t counted = 0;
        double firstUs = 0, lastUs = 0;
        double ageSum = 0, ageMax = 0, newestAge = -1;
        uint64_t aged = 0;
        LONGLONG lastStamp = 0;
        uint64_t backwards = 0;
        bool counting = false;
        const double countLimitUs = (5000.0 + o.frames * 250.0) * 1000.0;
        double countStartUs = 0;
        for (;;) {
            const double now = Clock::NowUs();
            if (!counting && now - startUs > timeoutUs) break;
            if (counting && (counted >= static_cast<uint64_t>(o.frames) || now - countStartUs > countLimitUs)) break;
            LONGLONG stamp = 0;
            hr = reader.Read(pixels, stamp);
            if (FAILED(hr)) {
                readFailed = true;
                break;
            }
            if (hr == S_FALSE) continue;
            const double arrival = Clock::NowUs();
            const double age = watch.NewestAgeMs();
            if (stamp <= lastStamp && lastStamp != 0) ++backwards;
            lastStamp = stamp;
            if (!counting) {
                if (age >= 0 && age < 1000) {
                    // The program's frames arrive: the count starts with the
                    // next sample, timed from this one.
                    live = true;
                    counting = true;
                    countStartUs = firstUs = lastUs = arrival;
                    Line(L"publisher: frames arriving after %.1f s", (arrival - startUs) / 1e6);
                }
                continue;
            }
            ++counted;
            lastUs = arrival;
            newestAge = age;
            if (age >= 0) {
                ++aged;
                ageSum += age;
                ageMax = std::max(ageMax, age);
            }
        }
        if (!live) Line(L"publisher: no frames within %.0f s", o.timeoutSeconds);
        const double spanS = lastUs > firstUs ? (lastUs - firstUs) / 1e6 : 0;
        Line(L"frames: %llu in %.2f s", static_cast<unsigned long long>(counted), spanS);
        Line(L"fps: %.1f", spanS > 0 ? static_cast<double>(counted) / spanS : 0.0);
        if (aged > 0) {
            Line(L"frame-age-ms: newest %.0f, mean %.0f, max %.0f", newestAge, ageSum / aged, ageMax);
        } else {
            Line(L"frame-age-ms: no frame published");
        }
        Line(L"stamps: %ls", backwards ? L"not increasing" : L"increasing");
        Line(L"program: %ls", Running(ProgramRunning()));
        bool black = true;
        if (!ReportPicture(o, pixels.empty() ? nullptr : &pixels, o.width, o.height, black)) code = kExitSave;
        if (code == kExitOk) {
            if (readFailed) {
                Line(L"result: reading failed (0x%08lX)", static_cast<unsigned long>(hr));
                code = kExitGraph;
            } else if (counted < static_cast<uint64_t>(o.frames)) {
                Line(L"result: only %llu of %d frames within %.0f s", static_cast<unsigned long long>(counted),
                     o.frames, o.timeoutSeconds);
                code = kExitNoFrames;
            } else if (!live || black || backwards) {
                Line(L"result: no picture from the program");
                code = kExitNoFrames;
            } else {
                Line(L"result: ok");
            }
        }
    }
    return code;
}

}  // namespace

int RunMFConsole(const Options& o) {
    Line(L"check: ZxCamCheck %d-bit, Media Foundation", static_cast<int>(sizeof(void*) * 8));
    return ReadCamera(o);
}

}  // namespace camcheck
