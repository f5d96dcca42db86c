#include "Camera.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "KernelModules.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVVideoSrc.txt";
const char kModule[] = "CCamera";
const char kSection[] = "Camera";
const char kKeyName[] = "CurrentUserCameraName";
const char kKeyWidth[] = "CameraCaptureWidth";
const char kKeyHeight[] = "CameraCaptureHeight";

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// Copies rows between a DIB buffer and a locked surface: one block when
// the pitches agree, else row by row.
void CopyRows(BYTE* to, int toPitch, const BYTE* from, int fromPitch, int rowBytes, int rows) {
    if (toPitch == fromPitch && toPitch == rowBytes) {
        std::memcpy(to, from, static_cast<size_t>(rowBytes) * rows);
        return;
    }
    for (int y = 0; y < rows; ++y)
        std::memcpy(to + static_cast<ptrdiff_t>(toPitch) * y, from + static_cast<ptrdiff_t>(fromPitch) * y, rowBytes);
}

}  // namespace

// --- the frame scaler --------------------------------------------------------------

CCameraFrameScaler::CCameraFrameScaler()
    : m_draw(nullptr),
      m_source(nullptr),
      m_dest(nullptr),
      m_sourceWidth(0),
      m_sourceHeight(0),
      m_destWidth(0),
      m_destHeight(0),
      m_bits(0) {}

CCameraFrameScaler::~CCameraFrameScaler() { Release(); }

void CCameraFrameScaler::Release() {
    SafeRelease(m_source);
    SafeRelease(m_dest);
    SafeRelease(m_draw);
    m_sourceWidth = m_sourceHeight = m_destWidth = m_destHeight = m_bits = 0;
}

IDirectDrawSurface* CCameraFrameScaler::CreateSurface(int width, int height, int bits) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    pf.dwSize = sizeof(pf);
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = static_cast<DWORD>(bits);
    if (bits == 15) {
        pf.dwRGBBitCount = 16;
        pf.dwRBitMask = 0x7C00;
        pf.dwGBitMask = 0x03E0;
        pf.dwBBitMask = 0x001F;
    } else if (bits == 16) {
        pf.dwRBitMask = 0xF800;
        pf.dwGBitMask = 0x07E0;
        pf.dwBBitMask = 0x001F;
    } else if (bits == 24 || bits == 32) {
        pf.dwRBitMask = 0xFF0000;
        pf.dwGBitMask = 0x00FF00;
        pf.dwBBitMask = 0x0000FF;
    } else {
        return nullptr;
    }
    IDirectDrawSurface* surface = nullptr;
    if (FAILED(m_draw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

bool CCameraFrameScaler::Build(int sourceWidth, int sourceHeight, int destWidth, int destHeight, int bits) {
    Release();
    if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
    if (FAILED(DirectDrawCreate(nullptr, &m_draw, nullptr)) || !m_draw) return false;
    if (FAILED(m_draw->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
        Release();
        return false;
    }
    m_source = CreateSurface(sourceWidth, sourceHeight, bits);
    m_dest = CreateSurface(destWidth, destHeight, bits);
    if (!m_source || !m_dest) {
        Release();
        return false;
    }
    m_sourceWidth = sourceWidth;
    m_sourceHeight = sourceHeight;
    m_destWidth = destWidth;
    m_destHeight = destHeight;
    m_bits = bits;
    return true;
}

bool CCameraFrameScaler::Scale(const BYTE* source, int sourceBytes, int sourceWidth, int sourceHeight,
                               BYTE* destination, int destBytes, int destWidth, int destHeight, int bits) {
    if (!source || !destination || sourceWidth <= 0 || sourceHeight <= 0 || destWidth <= 0 || destHeight <= 0)
        return false;
    const int sourceRow = RowBytes(sourceWidth, bits), destRow = RowBytes(destWidth, bits);
    if (static_cast<long long>(sourceRow) * sourceHeight > sourceBytes) return false;
    if (static_cast<long long>(destRow) * destHeight > destBytes) return false;
    if (!m_draw || sourceWidth != m_sourceWidth || sourceHeight != m_sourceHeight || destWidth != m_destWidth ||
        destHeight != m_destHeight || bits != m_bits) {
        if (!Build(sourceWidth, sourceHeight, destWidth, destHeight, bits)) return false;
    }

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(m_source->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return false;
    CopyRows(static_cast<BYTE*>(desc.lpSurface), static_cast<int>(desc.lPitch), source, sourceRow, sourceRow,
             sourceHeight);
    m_source->Unlock(nullptr);

    if (FAILED(m_dest->Blt(nullptr, m_source, nullptr, DDBLT_WAIT, nullptr))) return false;

    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(m_dest->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return false;
    CopyRows(destination, destRow, static_cast<const BYTE*>(desc.lpSurface), static_cast<int>(desc.lPitch), destRow,
             destHeight);
    m_dest->Unlock(nullptr);
    return true;
}

// --- the camera module -------------------------------------------------------------

CCamera::CCamera()
    : m_outputWidth(640),
      m_outputHeight(480),
      m_captureWidth(640),
      m_captureHeight(480),
      m_running(false),
      m_currentIndex(-1),
      m_inited(false) {}

CCamera::~CCamera() {
    if (m_inited) UnInit();
}

std::string CCamera::DeviceName(int index, int bufferSize) {
    std::vector<char> buffer(static_cast<size_t>(bufferSize), 0);
    CCameraDS::GetCameraName(index, buffer.data(), bufferSize);
    return std::string(buffer.data());
}

IDataVideoMgr* CCamera::VideoMgr() {
    return KernelModule<IDataVideoMgr>();
}

void CCamera::Notify(bool open) {
    IDataCameraObserver::StateMsg::Send(open);
}

bool CCamera::Init(int outputWidth, int outputHeight) {
    AfxGetDataManager()->AddData(ZX_MOD_CAMERA, this);
    m_inited = true;
    m_outputWidth = outputWidth;
    m_outputHeight = outputHeight;
    IConfigManager* config = AfxGetConfigManager();
    std::string name;
    config->GetString(kSection, kKeyName, name, "");
    m_currentIndex = FindCameraIndex(name);
    config->GetInt(kSection, kKeyWidth, m_captureWidth, m_outputWidth);
    config->GetInt(kSection, kKeyHeight, m_captureHeight, m_outputHeight);
    if (m_currentIndex != -1) return true;

    const int count = CCameraDS::GetCameraCount();
    if (count <= 0) {
        YL_Log(kLog, 0, kModule, "电脑中没有安装摄像头");
        return true;
    }
    // A USB camera first, else the first that is not the virtual camera.
    int chosen = -1, firstReal = -1;
    std::string chosenName, firstRealName;
    for (int i = 0; i < count && chosen < 0; ++i) {
        std::string device = DeviceName(i, 1024);
        std::string upper = device;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper.find("USB") != std::string::npos) {
            chosen = i;
            chosenName = device;
        } else if (firstReal < 0 && device != VirtualCameraName()) {
            firstReal = i;
            firstRealName = device;
        }
    }
    if (chosen < 0) {
        chosen = firstReal;
        chosenName = firstRealName;
    }
    if (chosen >= 0) {
        m_currentIndex = chosen;
        config->SetString(kSection, kKeyName, chosenName.c_str(), 0);
    }
    return true;
}

void CCamera::UnInit() {
    if (!m_inited) return;
    if (m_running) {
        m_oCameraCapture.StopCapture();
        m_oCameraCapture.CloseCamera();
        m_running = false;
    }
    m_oCameraCapture.Lock();
    m_scaler.Release();
    m_oCameraCapture.Unlock();
    AfxGetDataManager()->RemoveData(ZX_MOD_CAMERA);
    m_inited = false;
}

int CCamera::FindCameraIndex(const std::string& name) {
    if (name.empty()) return -1;
    const int count = CCameraDS::GetCameraCount();
    for (int i = 0; i < count; ++i)
        if (DeviceName(i, 1024) == name) return i;
    return -1;
}

void CCamera::SaveCaptureSize() {
    AfxGetConfigManager()->SetInt(kSection, kKeyWidth, m_captureWidth);
    AfxGetConfigManager()->SetInt(kSection, kKeyHeight, m_captureHeight);
}

void CCamera::AdoptChosenSize() {
    const int w = m_oCameraCapture.GetWidth(), h = m_oCameraCapture.GetHeight();
    // A camera that was not really built (0 x 0) has chosen nothing.
    if (w <= 0 || h == 0) return;
    if (w != m_captureWidth || h != m_captureHeight) {
        m_captureWidth = w;
        m_captureHeight = h;
        SaveCaptureSize();
    }
}

bool CCamera::OpenCameraInternal() {
    m_oCameraCapture.CloseCamera();
    if (!m_oCameraCapture.OpenCamera(m_currentIndex, m_captureWidth, m_captureHeight)) {
        YL_Log(kLog, 2, kModule, "OpenCameraInternal调用m_oCameraCapture.OpenCamera(%d)打开摄像头失败", m_currentIndex);
        // What a failed open built is released at once.
        m_oCameraCapture.CloseCamera();
        return false;
    }
    AdoptChosenSize();
    const int started = m_oCameraCapture.StartCapture();
    if (started != 0) {
        YL_Log(kLog, 2, kModule, "OpenCameraInternal(%d)调用m_oCameraCapture.StartCapture(%d)开始采集摄像头失败",
               m_currentIndex, started);
        m_oCameraCapture.CloseCamera();
        return false;
    }
    m_running = true;
    Notify(true);
    return true;
}

void CCamera::CloseCameraInternal() {
    m_running = false;
    Notify(false);
    m_oCameraCapture.StopCapture();
    m_oCameraCapture.CloseCamera();
}

void CCamera::GetCameraList(std::vector<CameraEntry>& cameras) {
    cameras.clear();
    const int count = CCameraDS::GetCameraCount();
    for (int i = 0; i < count; ++i) {
        std::string name = DeviceName(i, 128);
        if (name == VirtualCameraName()) continue;
        CameraEntry entry;
        entry.index = i;
        entry.name = name;
        cameras.push_back(entry);
    }
}

bool CCamera::SelectCameraByName(const std::string& name) { return SelectCamera(FindCameraIndex(name)); }

bool CCamera::SelectCamera(int index) {
    if (index == m_currentIndex) return true;
    m_currentIndex = index;
    AfxGetConfigManager()->SetString(kSection, kKeyName, DeviceName(index, 1024).c_str(), 0);
    if (m_running) {
        m_oCameraCapture.StopCapture();
        m_oCameraCapture.CloseCamera();
        if (m_oCameraCapture.OpenCamera(m_currentIndex, m_captureWidth, m_captureHeight)) AdoptChosenSize();
        m_oCameraCapture.StartCapture();
    }
    return true;
}

bool CCamera::GetCameraName(int index, std::string& name) {
    name = DeviceName(index, 1024);
    return true;
}

void CCamera::GetAllFrameSize(std::vector<int>& widths, std::vector<int>& heights) {
    if (m_currentIndex == -1) return;
    const bool wasRunning = m_running;
    if (!wasRunning && m_oCameraCapture.OpenCamera(m_currentIndex, m_captureWidth, m_captureHeight))
        AdoptChosenSize();
    std::string text;
    m_oCameraCapture.GetFrameSizes(text);
    YL_Log(kLog, 0, kModule, "GetAllFrameSize返回%s", text.c_str());
    SizeText::ParseList(text, widths, heights);
    if (!wasRunning) m_oCameraCapture.CloseCamera();
}

void CCamera::SetFrameSize(int width, int height) {
    if (width == m_captureWidth && height == m_captureHeight) return;
    const bool running = m_running;
    if (running) {
        m_oCameraCapture.StopCapture();
        m_oCameraCapture.CloseCamera();
    }
    m_captureWidth = width;
    m_captureHeight = height;
    SaveCaptureSize();
    if (running) {
        if (m_oCameraCapture.OpenCamera(m_currentIndex, m_captureWidth, m_captureHeight)) AdoptChosenSize();
        m_oCameraCapture.StartCapture();
    }
}

void CCamera::GetFrameSize(int& width, int& height) {
    width = m_captureWidth;
    height = m_captureHeight;
}

bool CCamera::StartCamera() {
    if (m_currentIndex == -1 || !OpenCameraInternal()) return false;
    IDataVideoMgr* videoMgr = VideoMgr();
    if (videoMgr) videoMgr->OnVideoStreamTypeChange(VIDEO_STREAM_CAMERA);
    return true;
}

void CCamera::StopCamera() {
    IDataVideoMgr* videoMgr = VideoMgr();
    if (videoMgr) videoMgr->OnVideoStreamTypeChange(VIDEO_STREAM_NONE);
    CloseCameraInternal();
}

void CCamera::ShowPropertyPage(HWND owner) {
    if (m_currentIndex < 0 || !m_oCameraCapture.ShowPropertyPage(owner, m_currentIndex))
        YL_Log(kLog, 1, kModule, "ShowPropertyPage(%d): the camera has no property pages to show", m_currentIndex);
}

void CCamera::GetFrame(BYTE* destination, int length) {
    if (!destination || length <= 0) return;
    m_oCameraCapture.Lock();
    int size = 0;
    const BYTE* sample = m_oCameraCapture.QueryFrame(size);
    if (sample && size > 0) {
        // The graph's own size: the capture size after every open.
        const int w = m_oCameraCapture.GetWidth(), h = m_oCameraCapture.GetHeight();
        const int rows = std::abs(h);
        if (w == m_outputWidth && h == m_outputHeight) {
            std::memcpy(destination, sample, static_cast<size_t>(std::min(length, size)));
        } else if (w >= m_outputWidth && rows >= m_outputHeight &&
                   static_cast<size_t>(size) >= CZxScaler::PictureBytes(w, rows) &&
                   static_cast<size_t>(length) >= CZxScaler::PictureBytes(m_outputWidth, m_outputHeight) &&
                   (m_shrink.Matches(w, rows, m_outputWidth, m_outputHeight, ZxScaleFilter::Area) ||
                    m_shrink.Build(w, rows, m_outputWidth, m_outputHeight, ZxScaleFilter::Area))) {
            // Rows as they come, as DirectDraw copies them.
            m_shrink.Scale(sample, destination);
        } else {
            m_scaler.Scale(sample, size, w, rows, destination, length, m_outputWidth, m_outputHeight, 24);
        }
    }
    m_oCameraCapture.Unlock();
}
