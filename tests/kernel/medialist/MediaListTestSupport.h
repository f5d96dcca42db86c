// Media for the playlist tests, recorded once per test program, and an
// observer of "modMediaList_ob" that keeps what it was told.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "IDataMediaList.h"
#include "KernelTestSupport.h"
#include "MediaTestSupport.h"

namespace mlt {

// The pattern recorded for seconds (FLV, H.264 + AAC, 160 x 120), made the first time it is asked for.
inline std::string SharedMedia(const std::string& name, int seconds) {
    static std::mutex lock;
    static std::string folder;
    std::lock_guard<std::mutex> g(lock);
    if (folder.empty()) folder = zxtest::MakeTempDir("shared_media");
    std::string path = folder + name + ".flv";
    if (!File::IsExistFile(path)) mediatest::RecordPattern(path, 160, 120, seconds * 20);
    return path;
}

// A copy of a shared file in folder, under name.
inline std::string CopyMedia(const std::string& from, const std::string& folder, const std::string& name) {
    std::string to = folder + name;
    CopyFileW(Charset::String2WString(from).c_str(), Charset::String2WString(to).c_str(), FALSE);
    return to;
}

struct Event {
    int kind;
    int id;
    std::string path, thumb;
    bool added;
    int state;
    double seconds;
};

class Journal : public IDataMediaListObserver, public kt::Journal<Event> {
public:
    void OnItem(int id, const std::string& path, const std::string& thumb, bool added) override {
        Add(Event{MEDIALIST_MSG_ITEM, id, path, thumb, added, -1, 0});
    }
    void OnPosition(int id, double seconds) override { Add(Event{MEDIALIST_MSG_POSITION, id, "", "", false, -1, seconds}); }
    void OnPlaying(int id) override { Add(Event{MEDIALIST_MSG_PLAYING, id, "", "", false, -1, 0}); }
    void OnState(eMediaFileListPlayState state) override {
        Add(Event{MEDIALIST_MSG_STATE, -1, "", "", false, static_cast<int>(state), 0});
    }
    void OnEnd() override { Add(Event{MEDIALIST_MSG_END, -1, "", "", false, -1, 0}); }
};

}  // namespace mlt
