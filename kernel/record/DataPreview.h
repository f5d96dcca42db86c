// The record preview, "modRecordPreview": one player for one recording,
// created with the kernel library and living beside the kernel object.
#pragma once

#include <string>

#include "IDataPreview.h"
#include "LibStream/LibStream.h"

class CDataPreview : public IDataPreview {
public:
    CDataPreview() {}
    ~CDataPreview() override {}

    // Registers "modRecordPreview". Always true.
    bool Init();
    // Stops the player and removes "modRecordPreview".
    void UnInit();
    LibReplay& Player() { return m_oPlayer; }

    bool SetPreviewFile(const std::string& path) override;
    int GetTotalTime() override;
    bool PlayPreview(int reserved, int width, int height) override;
    void PausePreview() override { m_oPlayer.PasueSwitch(true); }
    void ResumePreview() override { m_oPlayer.PasueSwitch(false); }
    void StopPreview() override { m_oPlayer.Uint(); }
    void SeekPreview(int seconds) override { m_oPlayer.Seek(static_cast<double>(seconds)); }
    void SetPreviewVolume(int percent) override { m_oPlayer.SetVolume(percent / 100.0); }
    int QueryPreviewFrame(unsigned char* buffer, int length) override;
    int GetPreviewTime() override;

private:
    CDataPreview(const CDataPreview&);
    CDataPreview& operator=(const CDataPreview&);

    LibReplay m_oPlayer;
    std::string m_path;
};
