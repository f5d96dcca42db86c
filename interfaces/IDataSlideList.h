// "modSlideList": the slide show, a persistent list of pictures (still
// pictures and animated GIFs) shown one after another, with a transition
// between two different pictures. The main program's video-source panel
// fills the list, plays it and observes "modSlideList_ob".
#pragma once

#include <string>
#include <vector>

#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_SLIDELIST "modSlideList"
#define ZX_MOD_SLIDELIST_OB "modSlideList_ob"

// Notification types of "modSlideList_ob".
enum eSlideListMessage {
    // The loader processed a picture; arguments (int id, -1 on failure;
    // bool loaded; string path; string thumbnail path; bool from list file).
    SLIDELIST_MSG_ITEM_LOADED = 0,
    // A picture's file vanished and it left the list; arguments (int id,
    // string path).
    SLIDELIST_MSG_ITEM_REMOVED = 1,
};

// Play states of the slide engine.
enum eSlidePlayState {
    SLIDE_STATE_PLAYING = 0,
    SLIDE_STATE_PAUSED = 1,
    SLIDE_STATE_STOPPED = 2,
};

// Play modes ("VSSlide"/"PlayMode").
enum eSlidePlayMode {
    SLIDE_MODE_ONCE = 0,    // in order, stopping on the last picture
    SLIDE_MODE_LOOP = 1,    // in order, starting again at the first
    SLIDE_MODE_RANDOM = 2,  // a random picture each time
};

class IDataSlideList : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_SLIDELIST;
    // Reads the saved list and has its pictures loaded in the background.
    virtual void LoadList() = 0;
    // Has the pictures loaded in the background, each later addition before
    // all earlier ones; writes the list file at once. Always true.
    virtual bool AddFiles(const std::vector<std::string>& paths) = 0;
    // Removes the pictures and their thumbnails; writes the list file.
    virtual void RemoveFiles(const std::vector<int>& ids) = 0;
    // Removes every picture and every thumbnail.
    virtual void RemoveAll() = 0;
    // Plays, showing picture id next (-1: go on where the show is), and
    // makes the slide show the current video source. Always true.
    virtual bool Play(int id) = 0;
    // Pauses; the last frame stays. Always true.
    virtual bool Pause() = 0;
    // Stops and hands the picture back to the default source.
    virtual void Stop() = 0;
    // An eSlidePlayState.
    virtual int GetPlayState() = 0;
    // An eSlidePlayMode, stored in the settings.
    virtual void SetPlayMode(int mode) = 0;
    virtual int GetPlayMode() = 0;
    // The size pictures are composed for.
    virtual void SetRenderSize(int width, int height) = 0;
    // Pictures composed afterwards fill the frame instead of keeping their
    // aspect ratio.
    virtual void SetStretch(bool stretch) = 0;
    // Colour (0xAARRGGBB) of the bars around pictures composed afterwards.
    virtual void SetBackgroundColor(unsigned argb) = 0;
    // The picture's path; "" for an id that names no picture.
    virtual std::string GetItemPath(int id) = 0;
};

// Observer of "modSlideList_ob" for the main program: reads the arguments by
// position and calls the typed operation.
class IDataSlideListObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_SLIDELIST_OB;
    using LoadedMsg =
        CNotification<IDataSlideListObserver, SLIDELIST_MSG_ITEM_LOADED, int, bool, std::string, std::string, bool>;
    using RemovedMsg = CNotification<IDataSlideListObserver, SLIDELIST_MSG_ITEM_REMOVED, int, std::string>;

    void OnMessage(int type, const ArgList& args) override {
        if (type == LoadedMsg::kType) LoadedMsg::Call(args, this, &IDataSlideListObserver::OnItemLoaded);
        else if (type == RemovedMsg::kType) RemovedMsg::Call(args, this, &IDataSlideListObserver::OnItemRemoved);
    }
    virtual void OnItemLoaded(int id, bool loaded, const std::string& path, const std::string& thumbPath,
                              bool fromList) {
        (void)id;
        (void)loaded;
        (void)path;
        (void)thumbPath;
        (void)fromList;
    }
    virtual void OnItemRemoved(int id, const std::string& path) {
        (void)id;
        (void)path;
    }
};
