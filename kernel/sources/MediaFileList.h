// The media-file source of the video manager, "modMediaList": the playlist
// kept in "MediaFileList.dat" (with an 80 x 60 thumbnail and the duration of
// every file), the player of the current file, and the playback monitor the
// kernel's worker runs to notice the end of a file.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IDataMediaList.h"
#include "IDataVideoMgr.h"
#include "LibStream/LibStream.h"
#include "VideoSource.h"

struct MediaItem {
    int id;
    std::string path;
    std::string thumbnail;
    int duration;  // whole seconds
};

class CMediaFileList : public IDataMediaList, public IVideoSource {
public:
    CMediaFileList();
    ~CMediaFileList() override;

    // The video manager's calls.
    bool Init(int width, int height) override;
    void UnInit() override;
    void StopInterval();
    // The playback monitor, about every 100 ms from the kernel's worker.
    void CheckPlayState();
    LibReplay& Player() { return m_oPlayer; }

    // IVideoSource
    bool PullFrame(BYTE* buffer, int length) override {
        return m_oPlayer.QueryFrame(buffer, static_cast<unsigned>(length)) > 0;
    }
    void StopSource() override { StopInterval(); }
    void Tick() override { CheckPlayState(); }

    // IDataMediaList
    bool ReportAllItems() override;
    bool AddFiles(const std::vector<std::string>& paths) override;
    void RemoveFiles(const std::vector<int>& ids, bool deleteFromDisk) override;
    bool GetItemTitle(int id, std::string& title) override;
    bool GetItemThumbnail(int id, std::string& path) override;
    int GetItemDuration(int id) override;
    std::string GetItemPath(int id) override;
    bool Play(int id) override;
    void PlayNext() override;
    void PlayPrev() override;
    void Stop() override;
    bool SetPlayPos(double seconds) override;
    bool Pause() override;
    void Resume() override;
    eMediaFileListPlayState GetPlayState() override { return static_cast<eMediaFileListPlayState>(m_state.load()); }
    int GetVolume() override { return m_volume; }
    void SetVolume(int percent) override;
    void SetPlayMode(int mode) override;
    int GetPlayMode() override { return m_playMode; }
    int GetCurrentItem() override { return m_currentId; }
    void PlayNextInterval() override;
    void RefreshOutputDevices() override;
    bool GetOutputDeviceName(int index, std::string& name) override;
    int FindOutputDevice(const std::string& name) override;
    void SetOutputDevice(int index) override;

    int GetOutputDevice() override { return m_outputDev; }
    // The items in list order.
    std::vector<MediaItem> GetItems() const;
    // The list file: <data folder>MediaFileList.dat.
    static std::string ListFilePath();
    // The thumbnail a media file has: <cache folder>ZxVCamMediaFileThumbnail\<md5>.bmp.
    static std::string ThumbnailPath(const std::string& mediaPath);
    // The millisecond clock of the monitor (GetTickCount unless a test
    // drives time itself).
    void SetClock(DWORD (*now)()) { m_now = now ? now : &GetTickCount; }

private:
    CMediaFileList(const CMediaFileList&);
    CMediaFileList& operator=(const CMediaFileList&);

    bool PlayInterval(const std::string& path);
    // Stops the current file and plays item as the current one; on failure
    // hands the picture back to the default source. False on failure.
    bool StepTo(const MediaItem& item);
    void NotifyPlaying(int id);
    // The item to play after (or before) the current one, or null.
    const MediaItem* FindNext(int mode);
    const MediaItem* FindPrev();
    const MediaItem* FindItem(int id) const;
    const MediaItem* FindItemByPath(const std::string& path) const;
    // Makes a new item of the file; false when its thumbnail cannot be made.
    bool MakeItem(const std::string& path, MediaItem& item);
    void SaveList();
    void SetState(eMediaFileListPlayState state);
    void SwitchVideo(eVideoStreamType type);

    LibReplay m_oPlayer;
    std::vector<std::unique_ptr<MediaItem>> m_items;
    int m_playMode;
    std::atomic<int> m_state;
    int m_nextId;
    std::atomic<int> m_currentId;
    int m_width, m_height;
    std::atomic<int> m_lastSecond;
    std::atomic<DWORD> m_lastChange;
    DWORD m_lastCheck;
    bool m_checked;
    std::map<int, std::string> m_devices;
    int m_outputDev;
    int m_volume;
    bool m_inited;
    DWORD (*m_now)();
};
