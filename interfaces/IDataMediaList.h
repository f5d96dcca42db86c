// "modMediaList": the media-file playlist, a persistent list of video files
// of which one plays at a time as the picture's source, with its sound on
// the chosen wave-out device. The main program's video-source panel fills
// the list, plays it and observes "modMediaList_ob".
#pragma once

#include <string>
#include <vector>

#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_MEDIALIST "modMediaList"
#define ZX_MOD_MEDIALIST_OB "modMediaList_ob"

// Play states; the enum type itself travels in the state notification.
enum eMediaFileListPlayState {
    MEDIALIST_STATE_PLAYING = 0,
    MEDIALIST_STATE_PAUSED = 1,
    MEDIALIST_STATE_STOPPED = 2,
};

// Play modes ("VSMediaFile"/"PlayMode").
enum eMediaFileListPlayMode {
    MEDIALIST_MODE_ONCE = 0,    // in order, stopping after the last file
    MEDIALIST_MODE_LOOP = 1,    // in order, starting again at the first
    MEDIALIST_MODE_REPEAT = 2,  // the current file again
    MEDIALIST_MODE_RANDOM = 3,  // another file picked at random
};

// Notification types of "modMediaList_ob".
enum eMediaListMessage {
    // An item was added (added true) or reported by ReportAllItems (false);
    // arguments (int id, string path, string thumbnail path, bool added).
    MEDIALIST_MSG_ITEM = 0,
    // The position reached a new whole second; (int id, double seconds).
    MEDIALIST_MSG_POSITION = 1,
    // A file started playing as the current item; (int id).
    MEDIALIST_MSG_PLAYING = 2,
    // The play state changed; (eMediaFileListPlayState). Equal states may
    // repeat.
    MEDIALIST_MSG_STATE = 3,
    // The position has not moved for over 3 s while playing: the file has
    // ended. No arguments. Repeated until the position moves or the state
    // changes.
    MEDIALIST_MSG_END = 4,
};

class IDataMediaList : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_MEDIALIST;
    // Sends the item notification for every item, in list order, with added
    // false. Returns false.
    virtual bool ReportAllItems() = 0;
    // Appends the files that exist, are not listed yet and give a thumbnail;
    // one item notification each; writes the list file. Always true.
    virtual bool AddFiles(const std::vector<std::string>& paths) = 0;
    // Removes the items (deleting their files too when asked) and writes the
    // list file. Playback goes on.
    virtual void RemoveFiles(const std::vector<int>& ids, bool deleteFromDisk) = 0;
    // The file name without folder and extension; false for an unknown id.
    virtual bool GetItemTitle(int id, std::string& title) = 0;
    virtual bool GetItemThumbnail(int id, std::string& path) = 0;
    // Whole seconds; 0 for an unknown id.
    virtual int GetItemDuration(int id) = 0;
    // "" for an unknown id.
    virtual std::string GetItemPath(int id) = 0;
    // Plays the item and makes the media file the picture's source.
    virtual bool Play(int id) = 0;
    // The following / preceding item in list order; at an end, Stop.
    virtual void PlayNext() = 0;
    virtual void PlayPrev() = 0;
    // Stops and hands the picture back to the default source.
    virtual void Stop() = 0;
    // Seeks while playing or paused. Always true.
    virtual bool SetPlayPos(double seconds) = 0;
    // Always true.
    virtual bool Pause() = 0;
    virtual void Resume() = 0;
    virtual eMediaFileListPlayState GetPlayState() = 0;
    // Sound volume in percent, stored in the settings.
    virtual int GetVolume() = 0;
    virtual void SetVolume(int percent) = 0;
    // An eMediaFileListPlayMode, stored in the settings.
    virtual void SetPlayMode(int mode) = 0;
    virtual int GetPlayMode() = 0;
    // The current item's id, or -1.
    virtual int GetCurrentItem() = 0;
    // Takes the play mode's next step; called when a file has ended.
    virtual void PlayNextInterval() = 0;
    // Lists the wave-out devices again and picks the saved one.
    virtual void RefreshOutputDevices() = 0;
    virtual bool GetOutputDeviceName(int index, std::string& name) = 0;
    // The index of the device with exactly that name, or -1.
    virtual int FindOutputDevice(const std::string& name) = 0;
    // Used from the next file that starts; stored in the settings.
    virtual void SetOutputDevice(int index) = 0;
    // The device files play to: the index chosen or found by name at the
    // last RefreshOutputDevices, or -1 for the system's default device.
    virtual int GetOutputDevice() = 0;
};

// Observer of "modMediaList_ob" for the main program: reads the arguments by
// position and calls the typed operation.
class IDataMediaListObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_MEDIALIST_OB;
    // The notifications with their arguments, as the kernel sends them.
    using ItemMsg = CNotification<IDataMediaListObserver, MEDIALIST_MSG_ITEM, int, std::string, std::string, bool>;
    using PositionMsg = CNotification<IDataMediaListObserver, MEDIALIST_MSG_POSITION, int, double>;
    using PlayingMsg = CNotification<IDataMediaListObserver, MEDIALIST_MSG_PLAYING, int>;
    using StateMsg = CNotification<IDataMediaListObserver, MEDIALIST_MSG_STATE, eMediaFileListPlayState>;
    using EndMsg = CNotification<IDataMediaListObserver, MEDIALIST_MSG_END>;

    void OnMessage(int type, const ArgList& args) override {
        switch (type) {
        case ItemMsg::kType: ItemMsg::Call(args, this, &IDataMediaListObserver::OnItem); break;
        case PositionMsg::kType: PositionMsg::Call(args, this, &IDataMediaListObserver::OnPosition); break;
        case PlayingMsg::kType: PlayingMsg::Call(args, this, &IDataMediaListObserver::OnPlaying); break;
        case StateMsg::kType: StateMsg::Call(args, this, &IDataMediaListObserver::OnState); break;
        case EndMsg::kType: EndMsg::Call(args, this, &IDataMediaListObserver::OnEnd); break;
        default: break;
        }
    }
    virtual void OnItem(int id, const std::string& path, const std::string& thumbPath, bool added) {
        (void)id;
        (void)path;
        (void)thumbPath;
        (void)added;
    }
    virtual void OnPosition(int id, double seconds) {
        (void)id;
        (void)seconds;
    }
    virtual void OnPlaying(int id) { (void)id; }
    virtual void OnState(eMediaFileListPlayState state) { (void)state; }
    virtual void OnEnd() {}
};
