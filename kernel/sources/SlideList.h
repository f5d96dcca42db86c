// The slide show source of the video manager, "modSlideList": the list of
// pictures kept in "SlideFileList.dat", the slide engine that shows them,
// and the newest frame the engine rendered, which the video manager's frame
// thread copies out.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "IDataSlideList.h"
#include "SlideEngine.h"
#include "IDataVideoMgr.h"
#include "VideoSource.h"

class CSlideList : public IDataSlideList, public ISlideMediaOut, public IVideoSource {
public:
    CSlideList();
    ~CSlideList() override;

    // The video manager's calls.
    bool Init(int width, int height) override;
    void UnInit() override;
    void StopEngine();
    void GetFrame(BYTE* destination, int length);

    // IVideoSource
    bool PullFrame(BYTE* buffer, int length) override {
        GetFrame(buffer, length);
        return true;
    }
    void StopSource() override { StopEngine(); }

    // IDataSlideList
    void LoadList() override;
    bool AddFiles(const std::vector<std::string>& paths) override;
    void RemoveFiles(const std::vector<int>& ids) override;
    void RemoveAll() override;
    bool Play(int id) override;
    bool Pause() override;
    void Stop() override;
    int GetPlayState() override { return m_oEngine.GetPlayState(); }
    void SetPlayMode(int mode) override;
    int GetPlayMode() override { return m_playMode; }
    void SetRenderSize(int width, int height) override { m_oEngine.SetRenderSize(width, height); }
    void SetStretch(bool stretch) override { m_oEngine.SetStretch(stretch); }
    void SetBackgroundColor(unsigned argb) override { m_oEngine.SetBackgroundColor(argb); }
    std::string GetItemPath(int id) override { return m_oEngine.GetItemPath(id); }

    // The list in order, and the engine (for its clock and step state).
    std::vector<SlideEntry> GetItems() { return m_oEngine.GetItems(); }
    CSlideEngine& Engine() { return m_oEngine; }
    // The list file: <data folder>SlideFileList.dat.
    static std::string ListFilePath();

private:
    CSlideList(const CSlideList&);
    CSlideList& operator=(const CSlideList&);

    // ISlideMediaOut
    void OnFrame(const BYTE* frame, int length) override;
    void OnItemLoaded(const SlideItemReport& report) override;
    void OnItemRemoved(int id, const std::string& path) override;

    void SaveList();
    IDataVideoMgr* VideoMgr();

    CSlideEngine m_oEngine;
    int m_width, m_height;
    // The show's newest frame: taken only when the show draws its first
    // one (a list that never plays keeps no frame-sized buffer); black
    // until then.
    std::vector<BYTE> m_frame;
    size_t m_frameBytes = 0;
    CRITICAL_SECTION m_frameLock;
    bool m_listLoaded;
    // The saved list as it was before the first write, kept while it has
    // not been loaded.
    bool m_savedRead;
    std::vector<std::string> m_savedPaths;
    bool m_inited;
    int m_playMode;
};
