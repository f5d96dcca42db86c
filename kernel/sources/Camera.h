// The camera source of the video manager, "modCamera": the user's choice of
// camera and capture size (section "Camera" of the settings), the capture
// graph of CCameraDS, and the newest camera frame handed to the frame
// thread, stretched to the output size when the camera delivers another.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <string>
#include <vector>

#include "CameraDS.h"
#include "IDataCamera.h"
#include "IDataVideoMgr.h"
#include "VideoSource.h"
#include "ZxScale/ZxScale.h"

// Stretches one DIB picture onto another size with DirectDraw: two
// off-screen surfaces in system memory and a Blt between them, a plain
// stretch that does not keep the aspect ratio. Rows are copied as they are,
// so a bottom-up picture stays bottom-up. The surfaces are kept while the
// sizes and the depth stay the same.
class CCameraFrameScaler {
public:
    CCameraFrameScaler();
    ~CCameraFrameScaler();

    // Scales source (sourceWidth x sourceHeight, bits per pixel 15, 16, 24
    // or 32, DIB rows) into destination (destWidth x destHeight). False when
    // a buffer is too small for its size or DirectDraw fails; the
    // destination then holds what was written before the failure.
    bool Scale(const BYTE* source, int sourceBytes, int sourceWidth, int sourceHeight, BYTE* destination,
               int destBytes, int destWidth, int destHeight, int bits);
    void Release();

    // DIB row bytes; 15-bit pixels take 16 bits each.
    static int RowBytes(int width, int bits) { return ((width * (bits == 15 ? 16 : bits) + 31) / 32) * 4; }

private:
    CCameraFrameScaler(const CCameraFrameScaler&);
    CCameraFrameScaler& operator=(const CCameraFrameScaler&);

    bool Build(int sourceWidth, int sourceHeight, int destWidth, int destHeight, int bits);
    IDirectDrawSurface* CreateSurface(int width, int height, int bits);

    IDirectDraw* m_draw;
    IDirectDrawSurface* m_source;
    IDirectDrawSurface* m_dest;
    int m_sourceWidth, m_sourceHeight, m_destWidth, m_destHeight, m_bits;
};

class CCamera : public IDataCamera, public IVideoSource {
public:
    CCamera();
    ~CCamera() override;

    // The video manager's calls.
    bool Init(int outputWidth, int outputHeight) override;
    void UnInit() override;
    void CloseCameraInternal();
    void GetFrame(BYTE* destination, int length);

    // IVideoSource: the camera's frame is delivered every period, whether
    // or not a new one arrived.
    bool PullFrame(BYTE* buffer, int length) override {
        GetFrame(buffer, length);
        return true;
    }
    void StopSource() override { CloseCameraInternal(); }

    // IDataCamera
    void GetCameraList(std::vector<CameraEntry>& cameras) override;
    int GetCurrentCamera() override { return m_currentIndex; }
    bool SelectCameraByName(const std::string& name) override;
    bool SelectCamera(int index) override;
    bool GetCameraName(int index, std::string& name) override;
    void GetAllFrameSize(std::vector<int>& widths, std::vector<int>& heights) override;
    void SetFrameSize(int width, int height) override;
    void GetFrameSize(int& width, int& height) override;
    bool StartCamera() override;
    void StopCamera() override;
    void ShowPropertyPage(HWND owner) override;

    bool IsRunning() const { return m_running; }
    // The first device whose name is exactly name, -1 when none is.
    int FindCameraIndex(const std::string& name);

    // The name of the system's own virtual camera, never listed.
    static const char* VirtualCameraName() { return "ZXVCam"; }

private:
    CCamera(const CCamera&);
    CCamera& operator=(const CCamera&);

    bool OpenCameraInternal();
    // Takes the size the capture layer chose after a successful open when
    // it differs from the capture size, and stores it.
    void AdoptChosenSize();
    void SaveCaptureSize();
    static std::string DeviceName(int index, int bufferSize);
    IDataVideoMgr* VideoMgr();
    void Notify(bool open);

    CCameraDS m_oCameraCapture;
    int m_outputWidth, m_outputHeight;
    int m_captureWidth, m_captureHeight;
    volatile bool m_running;
    int m_currentIndex;
    bool m_inited;
    // Used on the frame thread only, under the capture layer's lock.
    CCameraFrameScaler m_scaler;
    // A camera picture larger than the output on both sides is shrunk by
    // area averaging (every camera pixel counts once, several times faster
    // than DirectDraw's stretch); DirectDraw stretches the rest.
    CZxScaler m_shrink;
};
