#include "VCamera.h"

#include <algorithm>
#include <cstring>

#include "GlobalChannel.h"
#include "IDataKernal.h"
#include "KernelModules.h"

CVCamera::CVCamera() : m_frameBytes(0) {}

CVCamera::~CVCamera() {}

bool CVCamera::Init() {
    IDataKernal* kernel = KernelModule<IDataKernal>();
    if (kernel) kernel->AddVideoDeal(this);
    return m_shareMem.Open(kShareMemFileName, kShareMemSize);
}

void CVCamera::UnInit() {
    IDataKernal* kernel = KernelModule<IDataKernal>();
    if (kernel) kernel->RemoveVideoDeal(this);
    m_shareMem.Close();
    m_globalChannel.Close();
    m_frameBytes = 0;
}

bool CVCamera::OnNotifyFrameSize(const VideoFrameFormat& format) {
    m_frameBytes = static_cast<size_t>(VideoFrameStride(format)) * std::max<LONG>(format.bmiHeader.biHeight, 0);
    return true;
}

void CVCamera::DealVideo(BYTE* frame, const VideoFrameFormat* format, int /*streamType*/) {
    if (!frame || !format) return;
    const DWORD imageSize = format->bmiHeader.biSizeImage;
    // A picture whose size code is 0, or that does not fit the channel, is
    // not written at all. The frame goes straight from the chain's buffer
    // into the channel: no copy of its own.
    if (!ShareMemMakeHeader(m_header, imageSize, ShareMemNow())) return;
    const DWORD pixels = static_cast<DWORD>(std::min<size_t>(m_frameBytes, imageSize));
    m_shareMem.Write(m_header, kShareMemHeaderSize, frame, pixels);
    FindGlobalChannel();
    if (m_globalChannel.IsOpen()) m_globalChannel.Write(m_header, kShareMemHeaderSize, frame, pixels);
}

void CVCamera::FindGlobalChannel() {
    if (m_globalChannel.IsOpen()) return;
    const DWORD now = GetTickCount();
    if (m_globalLooked && now - m_lastGlobalLook < 1000) return;
    m_globalLooked = true;
    m_lastGlobalLook = now;
    // Only an existing channel is opened: one this program created would
    // carry its own default security, which the camera's service could not
    // open.
    HANDLE existing = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kGlobalChannelFileName);
    if (!existing) return;
    CloseHandle(existing);
    m_globalChannel.Open(kGlobalChannelFileName, kShareMemSize, kGlobalChannelReadEvent, kGlobalChannelWriteEvent);
}
