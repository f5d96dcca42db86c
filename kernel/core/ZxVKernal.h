// The kernel object: owns every media module of the kernel and the chain of
// frame processors, and is the data module "modKernal".
#pragma once

#include <windows.h>

#include <atomic>

#include "IDataKernal.h"
#include "IDataVideoMgr.h"
#include "RecordList.h"
#include "VCamera.h"
#include "VideoDealChain.h"
#include "VideoEffectBorder.h"
#include "VideoEffectFaceThin.h"
#include "VideoEffectLogo.h"
#include "VideoEffectPendant.h"
#include "VideoEffectText.h"
#include "VideoMgr.h"

class CZxVKernal : public IDataKernal, public IVideoMgrCallBack {
public:
    CZxVKernal();
    ~CZxVKernal() override;

    bool Init();
    void UnInit();

    // IDataKernal
    bool AddVideoDeal(IVideoDeal* deal) override;
    void RemoveVideoDeal(IVideoDeal* deal) override;
    void RemoveAllVideoDeal() override;
    bool TakeSetAsideFile(std::string& file, std::string& copy) override;

    // IVideoMgrCallBack
    void OnStillVideoData(BYTE* frame, int bytes, int streamType, const BYTE* picture, bool samePicture) override;
    void OnVideoData(BYTE* frame, int bytes, int streamType) override;
    void OnVideoFormat(const VideoFrameFormat& format) override;

    CVideoMgr& VideoMgr() { return m_oVideoMgr; }
    CVideoDealChain& Chain() { return m_oVideoDealChain; }
    CRecordList& RecordList() { return m_oRecordList; }

protected:
    // One pass of the worker thread, every 100 ms: the recorder's and the
    // video manager's periodic steps.
    virtual void WorkerStep();

private:
    CZxVKernal(const CZxVKernal&);
    CZxVKernal& operator=(const CZxVKernal&);

    static DWORD WINAPI WorkerProc(void* self);
    void StopWorker();

    std::atomic<bool> m_exit;
    HANDLE m_hWorker;
    std::atomic<int> m_workerRunning;
    // Constructed in this order and destroyed in the reverse one; the chain
    // outlives every processor in it.
    CVideoMgr m_oVideoMgr;
    CVideoDealChain m_oVideoDealChain;
    CVideoEffectText m_oVideoEffectText;
    CVCamera m_oVCamera;
    CVideoEffectPendant m_oVEPendant;
    CVideoEffectLogo m_oVideoEffectLogo;
    CVideoEffectFaceThin m_oVideoEffectFaceThin;
    CVideoEffectBorder m_oVideoEffectBorder;
    CRecordList m_oRecordList;
};
