#include "DDrawPresenter.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "ZxLog/ZxLog.h"

namespace {

const char kLog[] = "Speed.txt";
const char kModule[] = "CDDrawPresenter";
// The objects are re-created at most this often after a failure.
const DWORD kRecreateIntervalMs = 2000;
// Blit flags used for the present (no effects structure is passed).
const DWORD kBltFlags = 0x10;

// {6C14DB80-A733-11CE-A521-0020AF0BE560}: IDirectDraw, given here so the
// program needs no GUID library for it.
const GUID kIID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

std::atomic<CDDrawPresenter::DirectDrawCreateFn> g_directDrawCreate{nullptr};

int ReadDesktopBitCount() {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
    return static_cast<int>(mode.dmBitsPerPel);
}

}  // namespace

CDDrawPresenter::CDDrawPresenter()
    : m_outHeight(360),
      m_outWidth(480),
      m_srcBitCount(24),
      m_bufferCapacity(0),
      m_frameBuffer(nullptr),
      m_draw(nullptr),
      m_primary(nullptr),
      m_offscreen(nullptr),
      m_clipper(nullptr),
      m_desktopBits(0),
      m_hwnd(nullptr),
      m_originX(0),
      m_originY(0),
      m_createTime(0),
      m_created(false),
      m_frameWidth(0),
      m_frameHeight(0),
      m_ddrawCalls(0),
      m_lastBlt(S_OK) {}

CDDrawPresenter::~CDDrawPresenter() {
    Release();
    std::free(m_frameBuffer);
}

void CDDrawPresenter::Release() {
    std::lock_guard<std::recursive_mutex> objects(m_objectsLock);
    ReleaseLocked();
}

void CDDrawPresenter::ReleaseLocked() {
    if (m_primary) m_primary->SetClipper(nullptr);
    SafeRelease(m_clipper);
    SafeRelease(m_offscreen);
    SafeRelease(m_primary);
    SafeRelease(m_draw);
}

bool CDDrawPresenter::IsReady() const {
    return m_draw && m_primary && m_offscreen;
}

void CDDrawPresenter::SetDirectDrawCreate(DirectDrawCreateFn create) { g_directDrawCreate = create; }

bool CDDrawPresenter::Create(HWND hwnd, int width, int height, int x, int y) {
    std::lock_guard<std::recursive_mutex> objects(m_objectsLock);
    return CreateLocked(hwnd, width, height, x, y);
}

bool CDDrawPresenter::CreateLocked(HWND hwnd, int width, int height, int x, int y) {
    ReleaseLocked();
    m_hwnd = hwnd;
    m_outWidth = width;
    m_outHeight = height;
    m_originX = x;
    m_originY = y;
    // The time of the attempt, not of a success: when DirectDraw is not
    // there at all, a new attempt is made at most once per interval rather
    // than on every frame.
    m_createTime = GetTickCount();
    m_created = true;
    Count();

    IDirectDraw* first = nullptr;
    const DirectDrawCreateFn create = g_directDrawCreate.load();
    HRESULT hr = (create ? create : &DirectDrawCreate)(nullptr, &first, nullptr);
    if (FAILED(hr) || !first) {
        YL_Log(kLog, 2, kModule, "DirectDrawCreate failed (0x%08lX)", static_cast<unsigned long>(hr));
        return false;
    }
    hr = first->QueryInterface(kIID_IDirectDraw, reinterpret_cast<void**>(&m_draw));
    first->Release();
    if (FAILED(hr) || !m_draw) {
        m_draw = nullptr;
        YL_Log(kLog, 2, kModule, "QueryInterface(IDirectDraw) failed (0x%08lX)", static_cast<unsigned long>(hr));
        return false;
    }
    hr = m_draw->SetCooperativeLevel(hwnd, DDSCL_NORMAL | DDSCL_NOWINDOWCHANGES);
    if (FAILED(hr)) {
        YL_Log(kLog, 2, kModule, "SetCooperativeLevel failed (0x%08lX)", static_cast<unsigned long>(hr));
        ReleaseLocked();
        return false;
    }
    m_desktopBits = ReadDesktopBitCount();
    if (m_desktopBits <= 15) {
        YL_Log(kLog, 2, kModule, "desktop of %d bits: no preview", m_desktopBits);
        ReleaseLocked();
        return false;
    }

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    if (FAILED(m_draw->CreateSurface(&desc, &m_primary, nullptr))) {
        m_primary = nullptr;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY;
        hr = m_draw->CreateSurface(&desc, &m_primary, nullptr);
        if (FAILED(hr)) {
            m_primary = nullptr;
            YL_Log(kLog, 2, kModule, "primary surface failed (0x%08lX)", static_cast<unsigned long>(hr));
            ReleaseLocked();
            return false;
        }
    }
    hr = m_draw->CreateClipper(0, &m_clipper, nullptr);
    if (SUCCEEDED(hr)) hr = m_clipper->SetHWnd(0, hwnd);
    if (SUCCEEDED(hr)) hr = m_primary->SetClipper(m_clipper);
    if (FAILED(hr)) {
        YL_Log(kLog, 2, kModule, "clipper failed (0x%08lX)", static_cast<unsigned long>(hr));
        ReleaseLocked();
        return false;
    }

    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    if (FAILED(m_draw->CreateSurface(&desc, &m_offscreen, nullptr))) {
        m_offscreen = nullptr;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        hr = m_draw->CreateSurface(&desc, &m_offscreen, nullptr);
        if (FAILED(hr)) {
            m_offscreen = nullptr;
            YL_Log(kLog, 2, kModule, "off-screen surface failed (0x%08lX)", static_cast<unsigned long>(hr));
            ReleaseLocked();
            return false;
        }
    }
    return true;
}

bool CDDrawPresenter::DueForRecreate() const {
    return !m_created || GetTickCount() - m_createTime > kRecreateIntervalMs;
}

bool CDDrawPresenter::RecreateIfDue() {
    std::lock_guard<std::recursive_mutex> objects(m_objectsLock);
    if (!DueForRecreate()) return false;
    return CreateLocked(m_hwnd, m_outWidth, m_outHeight, m_originX, m_originY);
}

bool CDDrawPresenter::SetFrame(const BYTE* frame, int width, int height, int bitCount) {
    if (!frame || width <= 0 || height <= 0 || (bitCount != 24 && bitCount != 32)) return false;
    const long long stride = ((static_cast<long long>(bitCount) * width + 31) / 32) * 4;
    const long long size = stride * height;
    if (size > 0x7FFFFFFF) return false;
    std::lock_guard<std::mutex> buffer(m_bufferLock);
    if (size > m_bufferCapacity) {
        BYTE* grown = static_cast<BYTE*>(std::realloc(m_frameBuffer, static_cast<size_t>(size)));
        if (!grown) {
            std::free(m_frameBuffer);
            m_frameBuffer = nullptr;
            m_bufferCapacity = 0;
            return false;
        }
        m_frameBuffer = grown;
        m_bufferCapacity = static_cast<int>(size);
    }
    std::memcpy(m_frameBuffer, frame, static_cast<size_t>(size));
    m_frameWidth = width;
    m_frameHeight = height;
    m_srcBitCount = bitCount;
    return true;
}

HRESULT CDDrawPresenter::LockOffscreen(DDSURFACEDESC& desc) {
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    HRESULT hr;
    for (;;) {
        Count();
        hr = m_offscreen->Lock(nullptr, &desc, DDLOCK_WRITEONLY, nullptr);
        if (hr != DDERR_WASSTILLDRAWING) break;
        Sleep(1);
    }
    return hr;
}

bool CDDrawPresenter::CopyToOffscreen() {
    if (!m_offscreen) return false;
    std::lock_guard<std::mutex> buffer(m_bufferLock);
    if (!m_frameBuffer || (m_srcBitCount != 24 && m_srcBitCount != 32)) return false;
    DDSURFACEDESC desc;
    HRESULT hr = LockOffscreen(desc);
    if (hr == DDERR_SURFACELOST) {
        Count();
        m_offscreen->Restore();
        hr = LockOffscreen(desc);
    }
    if (FAILED(hr)) return false;

    BYTE* surface = static_cast<BYTE*>(desc.lpSurface);
    const int pitch = static_cast<int>(desc.lPitch);
    const int rows = (std::min)(m_frameHeight, static_cast<int>(desc.dwHeight));
    const int cols = (std::min)(m_frameWidth, static_cast<int>(desc.dwWidth));
    const int stride = ((m_srcBitCount * m_frameWidth + 31) / 32) * 4;
    const int srcBytes = m_srcBitCount / 8;
    // The frame is bottom-up and the surface top-down: the frame's last row
    // is the surface's first.
    for (int y = 0; y < rows; ++y) {
        const BYTE* from = m_frameBuffer + static_cast<ptrdiff_t>(stride) * (m_frameHeight - 1 - y);
        BYTE* to = surface + static_cast<ptrdiff_t>(pitch) * y;
        if (m_desktopBits == 32) {
            if (m_srcBitCount == 32) {
                std::memcpy(to, from, static_cast<size_t>(cols) * 4);
            } else {
                for (int x = 0; x < cols; ++x) {
                    to[0] = from[0];
                    to[1] = from[1];
                    to[2] = from[2];
                    to += 4;
                    from += 3;
                }
            }
        } else if (m_desktopBits == 16) {
            WORD* out = reinterpret_cast<WORD*>(to);
            for (int x = 0; x < cols; ++x) {
                const BYTE b = from[0], g = from[1], r = from[2];
                out[x] = static_cast<WORD>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
                from += srcBytes;
            }
        }
    }
    Count();
    m_offscreen->Unlock(nullptr);
    return true;
}

HRESULT CDDrawPresenter::BltToPrimary(const RECT& screen) {
    RECT dest = screen;
    Count();
    m_lastBlt = m_primary->Blt(&dest, m_offscreen, nullptr, kBltFlags, nullptr);
    return m_lastBlt;
}

bool CDDrawPresenter::Draw() {
    std::lock_guard<std::recursive_mutex> objects(m_objectsLock);
    if (!m_offscreen || !m_primary) return false;
    {
        std::lock_guard<std::mutex> buffer(m_bufferLock);
        if (!m_frameBuffer) return false;
    }
    // A minimised window (its top-level window is iconic, which on Windows
    // also puts it at -32000) or one far off the screen shows nothing.
    HWND top = GetAncestor(m_hwnd, GA_ROOT);
    if (top && IsIconic(top)) return true;
    POINT pt{m_originX, m_originY};
    ClientToScreen(m_hwnd, &pt);
    if (pt.x < -800 || pt.y < -600) return true;

    if (!CopyToOffscreen()) {
        if (!DueForRecreate()) return false;
        if (!CreateLocked(m_hwnd, m_outWidth, m_outHeight, m_originX, m_originY)) return false;
        if (!CopyToOffscreen()) return false;
    }
    const RECT screen{pt.x, pt.y, pt.x + m_outWidth, pt.y + m_outHeight};
    HRESULT hr = BltToPrimary(screen);
    if (hr == DDERR_SURFACELOST) {
        Count();
        m_primary->Restore();
        hr = BltToPrimary(screen);
    }
    if (FAILED(hr)) {
        if (!DueForRecreate()) return false;
        if (!CreateLocked(m_hwnd, m_outWidth, m_outHeight, m_originX, m_originY)) return false;
        // The new off-screen surface is empty: fill it before showing it.
        if (!CopyToOffscreen()) return false;
        hr = BltToPrimary(screen);
    }
    return SUCCEEDED(hr);
}

bool CDDrawPresenter::ReadOffscreen(std::vector<BYTE>& out, int& pitchOut) {
    std::lock_guard<std::recursive_mutex> objects(m_objectsLock);
    if (!m_offscreen) return false;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    Count();
    if (FAILED(m_offscreen->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return false;
    pitchOut = static_cast<int>(desc.lPitch);
    const BYTE* p = static_cast<const BYTE*>(desc.lpSurface);
    out.assign(p, p + static_cast<size_t>(desc.lPitch) * desc.dwHeight);
    Count();
    m_offscreen->Unlock(nullptr);
    return true;
}
