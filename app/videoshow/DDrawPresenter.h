// Puts the preview picture on screen with DirectDraw: the frame is copied
// into an off-screen surface in the desktop's pixel format and blitted to
// the primary surface (clipped to the window) at the window's client origin.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <atomic>
#include <mutex>
#include <vector>

class CDDrawPresenter {
public:
    CDDrawPresenter();
    ~CDDrawPresenter();
    CDDrawPresenter(const CDDrawPresenter&) = delete;
    CDDrawPresenter& operator=(const CDDrawPresenter&) = delete;

    // Releases any previous objects and creates DirectDraw for the window:
    // the primary surface with a clipper bound to the window and an
    // off-screen surface of width x height. The picture goes to the client
    // point (x, y). False leaves the presenter unusable until the next
    // re-creation.
    bool Create(HWND hwnd, int width, int height, int x, int y);
    void Release();

    // Copies a frame (bottom-up rows, bitCount 24 or 32) into the frame
    // buffer, growing it as needed; false when the memory is not there (the
    // frame is dropped).
    bool SetFrame(const BYTE* frame, int width, int height, int bitCount);

    // Shows the frame buffer. Does nothing (and succeeds) while the window
    // is minimised or far off-screen. Restores lost surfaces once, and
    // re-creates the objects when a copy or a blit fails and the last
    // creation is more than 2000 ms old.
    bool Draw();

    // Re-creates the objects with the stored window, size and origin, when
    // the last attempt is more than 2000 ms old; true when it ran and
    // succeeded.
    bool RecreateIfDue();

    bool IsReady() const;

    // The function that makes the DirectDraw object (DirectDrawCreate
    // unless replaced; null puts it back). Lets a test refuse DirectDraw as
    // a machine without it does.
    typedef HRESULT(WINAPI* DirectDrawCreateFn)(GUID* device, LPDIRECTDRAW* out, IUnknown* outer);
    static void SetDirectDrawCreate(DirectDrawCreateFn create);
    // Calls made on DirectDraw objects so far (creation, lock, unlock,
    // restore, blit): lets a test see that nothing reaches DirectDraw.
    long DDrawCallCount() const { return m_ddrawCalls.load(); }
    int DesktopBitCount() const { return m_desktopBits; }
    // What the last blit to the primary surface returned.
    HRESULT LastBltResult() const { return m_lastBlt; }
    // Copies the off-screen surface (top-down rows of width x 4 bytes at 32
    // bits, width x 2 at 16) into out; false when there is none.
    bool ReadOffscreen(std::vector<BYTE>& out, int& pitchOut);

private:
    bool CreateLocked(HWND hwnd, int width, int height, int x, int y);
    void ReleaseLocked();
    bool DueForRecreate() const;
    bool CopyToOffscreen();
    HRESULT LockOffscreen(DDSURFACEDESC& desc);
    HRESULT BltToPrimary(const RECT& screen);
    void Count() { ++m_ddrawCalls; }

    int m_outHeight;
    int m_outWidth;
    int m_srcBitCount;
    int m_bufferCapacity;
    BYTE* m_frameBuffer;
    std::recursive_mutex m_objectsLock;
    std::mutex m_bufferLock;
    IDirectDraw* m_draw;
    IDirectDrawSurface* m_primary;
    IDirectDrawSurface* m_offscreen;
    IDirectDrawClipper* m_clipper;
    int m_desktopBits;
    HWND m_hwnd;
    int m_originX;
    int m_originY;
    DWORD m_createTime;
    bool m_created;   // an attempt was made (m_createTime is valid)
    int m_frameWidth;
    int m_frameHeight;
    std::atomic<long> m_ddrawCalls;
    HRESULT m_lastBlt;
};
