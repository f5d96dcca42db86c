// ZxCamCheck --mf: opens the camera the Media Foundation way and gives the
// same figures and the same "result: ok" rule as the DirectShow check.
//
// On Windows 11 the Frame Server's camera is found through
// MFEnumDeviceSources, as the Camera app finds it. Where the system lists no
// such camera (Windows 10, Wine, or the camera not added to the service) the
// check creates the media source itself, from its registered class or from
// ZxCamMF.dll beside the check, and reads it through a source reader, as
// every Media Foundation client reads a camera. It asks for RGB32 at the
// chosen size.
#pragma once

#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <string>
#include <vector>

#include "ConsoleCheck.h"

namespace camcheck {

// The camera read the Media Foundation way, as the console mode and the
// window both read it: Media Foundation started, the source (the system's
// camera list first, else created directly), a source reader around it.
class MFReader {
public:
    // With log, each finding is a console line (the console mode).
    explicit MFReader(bool log) : m_log(log) {}
    ~MFReader() { Close(); }
    MFReader(const MFReader&) = delete;
    MFReader& operator=(const MFReader&) = delete;

    struct Type {
        GUID subtype = GUID_NULL;
        int width = 0, height = 0;
        double fps = 0;
    };
    // Opens the camera named device; how tells where it came from.
    // MF_E_NOT_FOUND when it is neither listed nor can be created.
    HRESULT Open(const std::wstring& device, std::wstring& how);
    // Whether Media Foundation started (false after an Open that failed there).
    bool Started() const { return m_started; }
    // The camera's types, in its order (after Open).
    const std::vector<Type>& Types() const { return m_types; }
    // Makes RGB32 of width x height the stream's type; E_INVALIDARG when the
    // camera does not offer it.
    HRESULT Select(int width, int height);
    // Reads the next sample, blocking: S_OK with its picture (24-bit,
    // bottom-up) and stamp, S_FALSE for a gap without a sample, a failure
    // when the stream ended or failed.
    HRESULT Read(std::vector<uint8_t>& picture, LONGLONG& stamp);
    // The reader, the source and Media Foundation go.
    void Close();

private:
    bool m_log;
    bool m_started = false;
    HMODULE m_module = nullptr;
    IMFMediaSource* m_source = nullptr;
    IMFSourceReader* m_reader = nullptr;
    std::vector<Type> m_types;
    int m_width = 0, m_height = 0;
};

// "NV12", "YUY2", "RGB32", ... or the GUID.
std::wstring MFSubtypeName(const GUID& subtype);

int RunMFConsole(const Options& options);

}  // namespace camcheck
