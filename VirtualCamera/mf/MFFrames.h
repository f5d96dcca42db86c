// What the Media Foundation camera puts into each sample: the newest whole
// frame the program published, scaled to the chosen size and converted to
// the chosen pixel format; when there is no current frame (the program is
// not running), the placeholder picture that tells the user so.
//
// Frames come from the cross-session channel (GlobalChannel.h), which this
// side creates, when it holds a current one (the program in another session
// than the Frame Server's); else from the program's channel of this session
// (the camera read in the user's own session, as the check tool does).
//
// One object per stream, used by the stream's delivery thread only. Nothing
// is opened or drawn until the first picture is asked for, so a source that
// is created and never started costs nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "MFFormats.h"
#include "MFGlobalChannel.h"
#include "ShareMem.h"
#include "ZxScale/ZxScale.h"

// The placeholder at 640 x 480: 24-bit blue-green-red, rows bottom-up. It
// says, in the program's language, that ZxVCam is not running and that the
// picture comes once it is started.
void MFDrawPlaceholder(std::vector<uint8_t>& bgrBottomUp);

class CMFFrames {
public:
    // What the last picture was.
    struct Taken {
        bool live = false;      // a frame of the channel (false: the placeholder)
        uint32_t sequence = 0;  // its number on the channel
    };

    // Waits up to timeoutMs for a frame of the channel newer than the last
    // one taken; true when there is one.
    bool WaitForNewFrame(DWORD timeoutMs);

    // Writes the picture of format into destination (format.Bytes() bytes).
    bool Fill(const MFVideoFormat& format, uint8_t* destination, Taken& taken);

private:
    bool TakeChannelFrame(CShareMem& channel, int code, Taken& taken);
    void TakePlaceholder(int code);
    void OpenChannels();

    CMFGlobalObjects m_globalObjects;
    CShareMem m_global;  // the cross-session channel, when it could be made
    CShareMem m_local;   // the program's channel of this session
    CShareMem* m_lastFrom = nullptr;  // the channel of the last frame taken
    bool m_tried = false;
    uint32_t m_lastSequence = 0;
    CZxScaler m_scaler;
    std::vector<uint8_t> m_rgb;  // the picture at the chosen size, 24-bit bottom-up
    std::vector<uint8_t> m_placeholder;
    std::vector<uint8_t> m_placeholderScaled;
    int m_placeholderCode = 0;
};
