#include "ZxVKernal.h"

#include "ListFile.h"
#include "ThreadStop.h"
#include "ZxLog/ZxLog.h"

namespace {
const char kLog[] = "ZxVKernal.txt";
const char kModule[] = "CZxVKernal";
}  // namespace

CZxVKernal::CZxVKernal() : m_exit(false), m_hWorker(nullptr), m_workerRunning(0) {}

CZxVKernal::~CZxVKernal() {}

bool CZxVKernal::Init() {
    // Registered first: the frame writer and the effects find the kernel by
    // this name to join the chain.
    AfxGetDataManager()->AddData(ZX_MOD_KERNAL, this);
    if (!m_oVideoMgr.Init(640, 480, this)) {
        YL_Log(kLog, 3, kModule, "m_oVideoMgr.Init return false");
        return false;
    }
    if (!m_oVideoEffectText.Init()) {
        YL_Log(kLog, 3, kModule, "m_oVideoEffectText.Init return false");
        return false;
    }
    m_oVCamera.Init();  // joins the chain even when the channel cannot open
    if (!m_oVEPendant.Init()) {
        YL_Log(kLog, 3, kModule, "m_oVEPendant.Init return false");
        return false;
    }
    if (!m_oVideoEffectFaceThin.Init()) {
        YL_Log(kLog, 3, kModule, "m_oVideoEffectFaceThin.Init return false");
        return false;
    }
    if (!m_oVideoEffectBorder.Init()) {
        YL_Log(kLog, 3, kModule, "m_oVideoEffectBorder.Init return false");
        return false;
    }
    if (!m_oRecordList.Init()) {
        YL_Log(kLog, 3, kModule, "m_oRecordList.Init return false");
        return false;
    }
    m_exit = false;
    m_hWorker = CreateThread(nullptr, 0, &CZxVKernal::WorkerProc, this, 0, nullptr);
    m_oVideoEffectLogo.EnableLogo(true);
    return true;
}

DWORD WINAPI CZxVKernal::WorkerProc(void* self) {
    CZxVKernal* kernel = static_cast<CZxVKernal*>(self);
    ++kernel->m_workerRunning;
    while (!kernel->m_exit) {
        kernel->WorkerStep();
        Sleep(100);
    }
    --kernel->m_workerRunning;
    return 0;
}

void CZxVKernal::WorkerStep() {
    m_oRecordList.ProgressTick();
    m_oVideoMgr.CheckPlayState();
}

void CZxVKernal::StopWorker() {
    if (!StopThreadBounded(m_hWorker, m_workerRunning, 20, 100))
        YL_Log(kLog, 1, kModule, "UnInit::检测线程2秒内没有停止，调用TerminateThread关闭线程");
}

void CZxVKernal::UnInit() {
    m_exit = true;
    m_oVideoEffectBorder.UnInit();
    m_oVideoEffectFaceThin.UnInit();
    m_oVEPendant.UnInit();
    m_oVideoEffectText.UnInit();
    StopWorker();
    m_oRecordList.UnInit();
    m_oVideoMgr.UnInit();
    m_oVCamera.UnInit();
    RemoveAllVideoDeal();
    AfxGetDataManager()->RemoveData(ZX_MOD_KERNAL);
}

bool CZxVKernal::AddVideoDeal(IVideoDeal* deal) { return m_oVideoDealChain.AddVideoDeal(deal); }

void CZxVKernal::RemoveVideoDeal(IVideoDeal* deal) { m_oVideoDealChain.RemoveVideoDeal(deal); }

void CZxVKernal::RemoveAllVideoDeal() { m_oVideoDealChain.RemoveAllVideoDeal(); }

// Every list of the kernel is read through CListFile, which keeps what it
// had to set aside until the program asks.
bool CZxVKernal::TakeSetAsideFile(std::string& file, std::string& copy) { return CListFile::TakeSetAside(file, copy); }

void CZxVKernal::OnVideoData(BYTE* frame, int bytes, int streamType) { m_oVideoDealChain.OnFrame(frame, bytes, streamType); }

void CZxVKernal::OnStillVideoData(BYTE* frame, int bytes, int streamType, const BYTE* picture, bool samePicture) {
    m_oVideoDealChain.OnStillFrame(frame, bytes, streamType, picture, samePicture);
}

void CZxVKernal::OnVideoFormat(const VideoFrameFormat& format) { m_oVideoDealChain.OnFrameFormat(format); }
