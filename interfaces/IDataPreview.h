// "modRecordPreview": plays one recorded file for the record-preview dialog,
// apart from the live picture. The dialog pulls frames and the position on
// its own timer; every operation runs on the caller's thread.
#pragma once

#include <string>

#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_RECORDPREVIEW "modRecordPreview"

class IDataPreview : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_RECORDPREVIEW;
    // Always true.
    virtual bool SetPreviewFile(const std::string& path) = 0;
    // The file's duration in whole seconds, read from the file by its path.
    virtual int GetTotalTime() = 0;
    // Plays the file decoded to width x height; the first argument is
    // reserved. False when the file cannot be played.
    virtual bool PlayPreview(int reserved, int width, int height) = 0;
    virtual void PausePreview() = 0;
    virtual void ResumePreview() = 0;
    virtual void StopPreview() = 0;
    virtual void SeekPreview(int seconds) = 0;
    virtual void SetPreviewVolume(int percent) = 0;
    // Copies the frame due now (24-bit rows, bottom-up); above 0 when a
    // frame was copied.
    virtual int QueryPreviewFrame(unsigned char* buffer, int length) = 0;
    // The position in whole seconds (cut, not rounded).
    virtual int GetPreviewTime() = 0;
};
