// The two exports of the kernel library, called by the data-library manager
// once after loading and once before unloading.
#include "DataPreview.h"
#include "GdiPlus.h"
#include "ZxLog/ZxLog.h"
#include "ZxVKernal.h"

namespace {

CZxVKernal* g_pKernal = nullptr;
// The record preview lives beside the kernel object, not inside it.
CDataPreview* g_pPreview = nullptr;
// The kernel draws with GDI+ on its own threads; GDI+ counts start-ups, so
// starting it here is harmless when the program has started it too.
ULONG_PTR g_gdiplusToken = 0;

}  // namespace

extern "C" __declspec(dllexport) void ZxDllInit() {
    YL_Log("ZxVKernal.txt", 0, "ZxVKernal", "ZxDllInit");
    if (!g_pKernal) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr) != Gdiplus::Ok) g_gdiplusToken = 0;
        g_pKernal = new CZxVKernal;
        // A kernel whose start-up failed stays in place, half started;
        // ZxDllExit stops whatever did start.
        g_pKernal->Init();
    }
    if (!g_pPreview) {
        g_pPreview = new CDataPreview;
        g_pPreview->Init();
    }
}

extern "C" __declspec(dllexport) void ZxDllExit() {
    YL_Log("ZxVKernal.txt", 0, "ZxVKernal", "ZxDllExit");
    if (g_pKernal) {
        g_pKernal->UnInit();
        delete g_pKernal;
        g_pKernal = nullptr;
        if (g_gdiplusToken) Gdiplus::GdiplusShutdown(g_gdiplusToken);
        g_gdiplusToken = 0;
    }
    if (g_pPreview) {
        g_pPreview->UnInit();
        delete g_pPreview;
        g_pPreview = nullptr;
    }
    LogFlush(2000);
}
