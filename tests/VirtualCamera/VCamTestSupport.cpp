#include "VCamTestSupport.h"

#include "VCamLog.h"

#include <tlhelp32.h>

#include <chrono>
#include <cstring>

#include "DShowBase/MediaType.h"
#include "ShareMem.h"
#include "TestSupport.h"
#include "VCam.h"
#include "VCamGuids.h"
#include "ZxLib/ZxLib.h"

namespace vct {

ComScope::ComScope(DWORD model) { m_ok = SUCCEEDED(CoInitializeEx(nullptr, model)); }

ComScope::~ComScope() {
    if (m_ok) CoUninitialize();
}

std::string FilterDllPath() { return Dir::GetCurrentPath() + "ZxCamSrc.dll"; }

HRESULT CallRegistration(bool reg) {
    HMODULE module = LoadLibraryW(Charset::String2WString(FilterDllPath()).c_str());
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    typedef HRESULT(STDAPICALLTYPE * Entry)();
    auto entry = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module, reg ? "DllRegisterServer" : "DllUnregisterServer")));
    const HRESULT hr = entry ? entry() : E_NOINTERFACE;
    FreeLibrary(module);
    return hr;
}

RegisteredFilter::RegisteredFilter() : m_hr(CallRegistration(true)) {}

RegisteredFilter::~RegisteredFilter() {
    if (SUCCEEDED(m_hr)) CallRegistration(false);
}

namespace {

// Walks the video input category until visit(name, moniker) returns true (S_OK), else VFW_E_NOT_FOUND.
template <class Visit>
HRESULT ForEachVideoInput(Visit visit) {
    Ptr<ICreateDevEnum> devices;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  devices.out());
    if (FAILED(hr)) return hr;
    Ptr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) return VFW_E_NOT_FOUND;
    for (;;) {
        Ptr<IMoniker> moniker;
        if (monikers->Next(1, &moniker, nullptr) != S_OK) break;
        Ptr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.out()))) continue;
        VARIANT name;
        VariantInit(&name);
        const bool named = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR;
        const std::wstring friendly = named ? name.bstrVal : L"";
        VariantClear(&name);
        if (named && visit(friendly, moniker.get())) return S_OK;
    }
    return VFW_E_NOT_FOUND;
}

}  // namespace

std::vector<std::wstring> VideoInputDevices() {
    std::vector<std::wstring> names;
    ForEachVideoInput([&](const std::wstring& name, IMoniker*) {
        names.push_back(name);
        return false;
    });
    return names;
}

HRESULT BindDevice(const std::wstring& wanted, IBaseFilter** filter) {
    *filter = nullptr;
    HRESULT bound = VFW_E_NOT_FOUND;
    const HRESULT hr = ForEachVideoInput([&](const std::wstring& name, IMoniker* moniker) {
        if (name != wanted) return false;
        bound = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
        return true;
    });
    return FAILED(hr) ? hr : bound;
}

HRESULT FirstPin(IBaseFilter* filter, IPin** pin) {
    *pin = nullptr;
    Ptr<IEnumPins> pins;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    return pins->Next(1, pin, nullptr) == S_OK ? S_OK : VFW_E_NOT_FOUND;
}

HRESULT MakeFilterDirectly(IBaseFilter** filter) {
    *filter = nullptr;
    HRESULT hr = S_OK;
    CUnknown* object = CVCam::CreateInstance(nullptr, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    object->NonDelegatingAddRef();
    if (SUCCEEDED(hr)) hr = object->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter));
    object->NonDelegatingRelease();
    return hr;
}

std::string RedirectFilterLog(const std::string& name) {
    // Lines queued for the previous file go there first.
    VCamLogFlush(zxtest::kHangGuardMs);
    const std::string path = zxtest::MakeTempDir(name) + "VCam.log";
    SetEnvironmentVariableW(L"ZXVCAM_FILTER_LOG", Charset::String2WString(path).c_str());
    return path;
}

std::string ReadFilterLog(const std::string& path) {
    VCamLogFlush(zxtest::kHangGuardMs);
    return zxtest::ReadFile(path);
}

namespace {
const wchar_t kKey[] = L"SOFTWARE\\orbian\\ZXVCAM";

// Writes the program's folder value in one registry view, or deletes it when folder is null.
void WriteProgramFolder(HKEY root, REGSAM view, const wchar_t* folder) {
    HKEY key = nullptr;
    if (folder) {
        if (RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                           static_cast<DWORD>((wcslen(folder) + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    } else if (RegOpenKeyExW(root, kKey, 0, KEY_WRITE | view, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Path");
        RegCloseKey(key);
    }
}
}  // namespace

ProgramFolderSetting::ProgramFolderSetting(const wchar_t* folder, HKEY root) {
    // The machine-wide value given is the 64-bit view's, which the filter reads first.
    std::vector<std::pair<HKEY, REGSAM>> places{{root, root == HKEY_LOCAL_MACHINE ? KEY_WOW64_64KEY : 0}};
    if (!folder && root == HKEY_CURRENT_USER) {
        places.push_back({HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY});
        places.push_back({HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY});
    }
    for (const auto& place : places) {
        Saved saved{place.first, place.second, false, {}};
        HKEY key = nullptr;
        if (RegOpenKeyExW(place.first, kKey, 0, KEY_READ | place.second, &key) == ERROR_SUCCESS) {
            wchar_t value[1024] = {};
            DWORD bytes = sizeof(value) - sizeof(wchar_t);
            DWORD type = 0;
            if (RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
                    ERROR_SUCCESS &&
                type == REG_SZ) {
                saved.hadValue = true;
                saved.oldValue = value;
            }
            RegCloseKey(key);
        }
        m_saved.push_back(saved);
        WriteProgramFolder(place.first, place.second, folder);
    }
}

ProgramFolderSetting::~ProgramFolderSetting() {
    for (const Saved& saved : m_saved)
        WriteProgramFolder(saved.root, saved.view, saved.hadValue ? saved.oldValue.c_str() : nullptr);
}

// --- samples ---------------------------------------------------------------

HRESULT STDMETHODCALLTYPE FrameCollector::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == ZX_IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE FrameCollector::SampleCB(double, IMediaSample* sample) {
    Frame frame;
    frame.receivedUs = Clock::NowUs();
    BYTE* data = nullptr;
    if (SUCCEEDED(sample->GetPointer(&data)) && data) {
        const long n = sample->GetActualDataLength();
        frame.length = n;
        if (n > 0) {
            frame.first = data[0];
            frame.uniform = std::memcmp(data, data + 1, static_cast<size_t>(n - 1)) == 0;
            frame.bytes.assign(data, data + n);
        }
    }
    frame.timed = sample->GetTime(&frame.start, &frame.end) == S_OK;
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_frames.empty() && m_frames.back().first != frame.first) ++m_changes;
    m_frames.push_back(std::move(frame));
    // Only the newest 40 frames keep their bytes.
    while (m_frames.size() - m_keepFrom > 40) {
        std::vector<uint8_t>().swap(m_frames[m_keepFrom].bytes);
        ++m_keepFrom;
    }
    m_changed.notify_all();
    return S_OK;
}

bool FrameCollector::WaitFor(size_t count, DWORD timeoutMs) {
    std::unique_lock<std::mutex> g(m_lock);
    return m_changed.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return m_frames.size() >= count; });
}

bool FrameCollector::WaitForChanges(size_t count, DWORD timeoutMs) {
    std::unique_lock<std::mutex> g(m_lock);
    return m_changed.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return m_changes >= count; });
}

bool FrameCollector::WaitForFrame(bool (*test)(const Frame&, const void*), const void* context, DWORD timeoutMs,
                                  Frame& out) {
    const DWORD start = GetTickCount();
    size_t seen = 0;
    std::unique_lock<std::mutex> g(m_lock);
    seen = m_frames.size();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        m_changed.wait_for(g, std::chrono::milliseconds(timeoutMs - elapsed), [&] { return m_frames.size() > seen; });
        for (; seen < m_frames.size(); ++seen) {
            if (seen >= m_keepFrom && test(m_frames[seen], context)) {
                out = m_frames[seen];
                return true;
            }
        }
    }
}

size_t FrameCollector::Count() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_frames.size();
}

Frame FrameCollector::Last() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_frames.empty() ? Frame() : m_frames.back();
}

std::vector<Frame> FrameCollector::Since(size_t index) {
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<Frame> out;
    for (size_t i = index; i < m_frames.size(); ++i) out.push_back(m_frames[i]);
    return out;
}

void FrameCollector::Clear() {
    std::lock_guard<std::mutex> g(m_lock);
    m_frames.clear();
    m_keepFrom = 0;
    m_changes = 0;
}

// --- the graph ---------------------------------------------------------------

Graph::Graph() {}

Graph::~Graph() { TearDown(); }

HRESULT Graph::Build(Select select) {
    HRESULT hr = Create();
    if (SUCCEEDED(hr)) hr = AddCamera(true);
    if (SUCCEEDED(hr)) hr = Connect(select);
    return hr;
}

HRESULT Graph::Create() {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, m_graph.out());
    if (FAILED(hr)) return hr;
    hr = m_graph->QueryInterface(IID_IMediaControl, m_control.out());
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_grabber.out());
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_null.out());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = m_graph->AddFilter(m_grabber.get(), L"grabber"))) return hr;
    if (FAILED(hr = m_graph->AddFilter(m_null.get(), L"null"))) return hr;

    hr = m_grabber->QueryInterface(ZX_IID_ISampleGrabber, m_grab.out());
    if (FAILED(hr)) return hr;
    CMediaType wanted(MEDIATYPE_Video);
    wanted.SetSubtype(MEDIASUBTYPE_RGB24);
    m_grab->SetMediaType(&wanted);
    m_grab->SetBufferSamples(FALSE);
    m_grab->SetCallback(m_callback ? m_callback : &collector, 0);

    Ptr<IEnumPins> pins;
    if (FAILED(hr = m_grabber->EnumPins(&pins))) return hr;
    for (;;) {
        Ptr<IPin> pin;
        if (pins->Next(1, &pin, nullptr) != S_OK) break;
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        IPin* raw = pin.get();
        raw->AddRef();
        if (dir == PINDIR_INPUT) {
            m_grabIn.Attach(raw);
        } else {
            m_grabOut.Attach(raw);
        }
    }
    if (FAILED(hr = FirstPin(m_null.get(), &m_nullIn))) return hr;
    return m_grabIn && m_grabOut ? S_OK : E_FAIL;
}

HRESULT Graph::AddCamera(bool fromDevice) {
    HRESULT hr = fromDevice ? BindDevice(ZXVCAM_NAME, &m_camera)
                            : CoCreateInstance(CLSID_ZXVCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                               m_camera.out());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = m_graph->AddFilter(m_camera.get(), L"camera"))) return hr;
    return FirstPin(m_camera.get(), &m_cameraOut);
}

HRESULT Graph::Connect(Select select) {
    HRESULT hr = S_OK;
    if (select) {
        Ptr<IAMStreamConfig> config;
        hr = m_camera->QueryInterface(IID_IAMStreamConfig, config.out());
        if (FAILED(hr)) return hr;
        hr = select(config.get());
        if (FAILED(hr)) return hr;
    }
    if (FAILED(hr = m_graph->ConnectDirect(m_cameraOut.get(), m_grabIn.get(), nullptr))) return hr;
    if (FAILED(hr = m_graph->ConnectDirect(m_grabOut.get(), m_nullIn.get(), nullptr))) return hr;
    return S_OK;
}

void Graph::RemoveCamera() {
    if (m_control) m_control->Stop();
    if (m_graph) {
        if (m_cameraOut) m_graph->Disconnect(m_cameraOut.get());
        if (m_grabIn) m_graph->Disconnect(m_grabIn.get());
        if (m_grabOut) m_graph->Disconnect(m_grabOut.get());
        if (m_nullIn) m_graph->Disconnect(m_nullIn.get());
        if (m_camera) m_graph->RemoveFilter(m_camera.get());
    }
    m_cameraOut.Reset();
    m_camera.Reset();
}

HRESULT Graph::Run() {
    if (!m_control) return E_UNEXPECTED;
    HRESULT hr = m_control->Run();
    if (FAILED(hr)) return hr;
    OAFilterState state;
    // Only a guard against a graph that never gets there.
    return m_control->GetState(10000, &state);
}

HRESULT Graph::Stop() { return m_control ? m_control->Stop() : E_UNEXPECTED; }

HRESULT Graph::RemoveClock() {
    Ptr<IMediaFilter> filter;
    HRESULT hr = m_graph ? m_graph->QueryInterface(IID_IMediaFilter, filter.out()) : E_UNEXPECTED;
    return SUCCEEDED(hr) ? filter->SetSyncSource(nullptr) : hr;
}

void Graph::TearDown() {
    RemoveCamera();
    if (m_grab) m_grab->SetCallback(nullptr, 0);
    if (m_graph) {
        if (m_grabber) m_graph->RemoveFilter(m_grabber.get());
        if (m_null) m_graph->RemoveFilter(m_null.get());
    }
    m_grabIn.Reset();
    m_grabOut.Reset();
    m_nullIn.Reset();
    m_grab.Reset();
    m_grabber.Reset();
    m_null.Reset();
    m_control.Reset();
    m_graph.Reset();
}

void Graph::ConnectedSize(int& width, int& height) {
    width = height = 0;
    if (!m_cameraOut) return;
    AM_MEDIA_TYPE mt = {};
    if (m_cameraOut->ConnectionMediaType(&mt) != S_OK) return;
    if (mt.formattype == FORMAT_VideoInfo && mt.pbFormat && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        width = vih->bmiHeader.biWidth;
        height = vih->bmiHeader.biHeight;
    }
    FreeMediaType(mt);
}

HRESULT SelectCaps(IAMStreamConfig* config, int index) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps;
    HRESULT hr = config->GetStreamCaps(index, &mt, reinterpret_cast<BYTE*>(&caps));
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
    hr = config->SetFormat(mt);
    DeleteMediaType(mt);
    return hr;
}

// --- the kernel --------------------------------------------------------------

KernelHost::KernelHost(double seconds) {
    // The host sits beside the tests; the 32-bit tests find the 64-bit host of the enclosing tree.
    std::string host = Dir::GetCurrentPath() + "ZxVKernelHost.exe";
    if (!File::IsExistFile(host)) host = Dir::GetCurrentPath() + "..\\..\\bin\\ZxVKernelHost.exe";
    m_process = zxtest::StartProcess("\"" + host + "\" --seconds " + std::to_string(seconds));
}

KernelHost::~KernelHost() {
    if (!m_process) return;
    if (WaitForSingleObject(m_process, 30000) != WAIT_OBJECT_0) TerminateProcess(m_process, 99);
    CloseHandle(m_process);
}

int KernelHost::Wait(DWORD timeoutMs) {
    if (!m_process || WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return static_cast<int>(code);
}

ChannelWriter::ChannelWriter(Fill fill, bool paced, bool signalEveryMs) {
    m_thread = std::thread([this, fill, paced, signalEveryMs] { Run(fill, paced, signalEveryMs); });
}

void ChannelWriter::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void ChannelWriter::Run(Fill fill, bool paced, bool signalEveryMs) {
    constexpr DWORD kImage = kWidth * kHeight * 3;
    CShareMem channel;
    if (!channel.Open(kShareMemFileName, kShareMemSize)) return;
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, Charset::String2WString(kShareMemReadEvent).c_str());
    std::vector<uint8_t> packet(kShareMemHeaderSize + kImage);
    const double start = Clock::NowUs();
    double lastSignal = start;
    for (int n = 0; !m_stop; ++n) {
        fill(packet.data() + kShareMemHeaderSize, n);
        ShareMemMakeHeader(packet.data(), kImage, ShareMemNow());
        channel.Write(packet.data(), static_cast<DWORD>(packet.size()));
        m_written = n + 1;
        if (!paced) continue;
        const double next = start + (n + 1) * 50000.0;
        for (double now = Clock::NowUs(); now < next && !m_stop; now = Clock::NowUs()) {
            if (signalEveryMs) {
                if (now - lastSignal >= 1000 && event) {
                    SetEvent(event);
                    lastSignal = now;
                }
                Sleep(1);
            } else {
                const DWORD ms = static_cast<DWORD>((next - now) / 1000);
                Sleep(ms > 0 ? ms : 1);
            }
        }
    }
    if (event) CloseHandle(event);
}

bool ReadPublishedFrame(std::vector<uint8_t>& pixels, int& sizeCode, DWORD timeoutMs) {
    CShareMem channel;
    if (!channel.Open(kShareMemFileName, kShareMemSize)) return false;
    std::vector<uint8_t> packet(kShareMemSize);
    const DWORD start = GetTickCount();
    do {
        DWORD length = 0;
        if (channel.Read(packet.data(), kShareMemSize, length)) {
            sizeCode = static_cast<int8_t>(packet[3]);
            pixels.assign(packet.begin() + kShareMemHeaderSize, packet.begin() + length);
            return true;
        }
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

unsigned PixelAt(const std::vector<uint8_t>& picture, int width, int x, int yFromBottom) {
    const size_t stride = static_cast<size_t>(((24 * width + 31) / 32) * 4);
    const size_t at = stride * static_cast<size_t>(yFromBottom) + 3 * static_cast<size_t>(x);
    if (at + 2 >= picture.size()) return 0xFFFFFFFFu;
    return (static_cast<unsigned>(picture[at + 2]) << 16) | (static_cast<unsigned>(picture[at + 1]) << 8) |
           picture[at];
}

bool AllZero(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        if (b) return false;
    return true;
}

size_t CountLines(const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
    return n;
}

int SamplesBeforeTheirTime(const std::vector<Frame>& frames, double runAtUs) {
    int early = 0;
    for (const Frame& f : frames)
        if (runAtUs + static_cast<double>(f.start) / 10.0 - f.receivedUs > 20000) ++early;
    return early;
}

bool WaitUntilNoProcess(const std::wstring& exeName, DWORD timeoutMs) {
    auto running = [&exeName] {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return true;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        bool found = false;
        for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
            found = lstrcmpiW(entry.szExeFile, exeName.c_str()) == 0;
        CloseHandle(snapshot);
        return found;
    };
    return zxtest::WaitUntil([&] { return !running(); }, timeoutMs);
}

DWORD CountHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    // Handle values are multiples of 4; a value that names no handle fails
    // GetHandleInformation. The table of a test program stays far below
    // this bound.
    count = 0;
    for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace vct
