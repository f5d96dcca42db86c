// What the video manager needs of one source. The camera, the media-file
// list and the slide show each plug in under their stream type.
#pragma once

#include <windows.h>

class IVideoSource {
public:
    virtual bool Init(int width, int height) = 0;
    virtual void UnInit() = 0;
    // Fills the buffer with the source's current frame. Returns false when
    // there is no frame to deliver this time.
    virtual bool PullFrame(BYTE* buffer, int length) = 0;
    // Stops the source when another one becomes current.
    virtual void StopSource() = 0;
    // The 100 ms step of the kernel's worker thread.
    virtual void Tick() {}

protected:
    ~IVideoSource() {}
};
