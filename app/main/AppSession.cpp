#include "AppSession.h"

#include <objbase.h>

#include "AppLanguage.h"
#include "DuiLib/UIlib.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"

CAppSession::CAppSession(HINSTANCE instance, const Options& options) : m_kernel(options.loadKernel) {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok) m_gdiplusToken = 0;
    m_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (m_kernel) {
        AfxGetMessageManager();
        m_kernelLoaded = AfxGetDataDllManager()->LoadDataLibraries(0);
        if (!m_kernelLoaded)
            YL_Log("Speed.txt", 3, "main", "the data libraries did not all load; the program runs without them");
    }
    DuiLib::CSkinMgr::SetSkinRootPath(options.skinRoot);
    DuiLib::CPaintManagerUI::SetInstance(instance);
    AppLanguage::Start();
}

CAppSession::~CAppSession() {
    EndWindow();
    if (m_kernel) {
        AfxGetDataDllManager()->UnloadDataLibraries();
        YL_Log("Speed.txt", 0, "main", "the kernel is unloaded; GDI+ shuts down");
    }
    if (m_com) CoUninitialize();
    DuiLib::CImageMgr::RemoveAll();
    DuiLib::CPaintManagerUI::RemoveAllSharedFonts();
    if (m_gdiplusToken) Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

void CAppSession::AdoptWindow(DuiLib::CWindowWnd* window, std::function<void()> onDeleted) {
    EndWindow();
    m_window = window;
    m_onDeleted = std::move(onDeleted);
}

void CAppSession::EndWindow() {
    if (!m_window) return;
    if (m_window->GetHWND() && IsWindow(m_window->GetHWND())) m_window->SendMessage(WM_CLOSE);
    delete m_window;
    m_window = nullptr;
    if (m_onDeleted) m_onDeleted();
    m_onDeleted = nullptr;
}

bool CAppSession::ReloadKernel() {
    EndWindow();
    if (!m_kernel) return false;
    AfxGetDataDllManager()->UnloadDataLibraries();
    m_kernelLoaded = AfxGetDataDllManager()->LoadDataLibraries(0);
    return m_kernelLoaded;
}
