// "modRecordList": records the finished picture with microphone sound to
// ".flv" files, microphone sound alone to ".mp3" files, takes snapshots as
// ".bmp" pictures, and keeps the three persisted lists of what was recorded.
// The main program observes "modRecordList_ob".
#pragma once

#include <string>
#include <vector>

#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_RECORDLIST "modRecordList"
#define ZX_MOD_RECORDLIST_OB "modRecordList_ob"

enum eZXVRecordType {
    ZXV_RECORD_VIDEO = 0,
    ZXV_RECORD_AUDIO = 1,
    ZXV_RECORD_IMAGE = 2,
};

enum eZXVRecordState {
    ZXV_RECORD_RECORDING = 0,
    ZXV_RECORD_STOPPED = 1,
};

// Notification types of "modRecordList_ob".
enum eRecordListMessage {
    // A record: (eZXVRecordType, int id, string thumbnail path, "" for
    // sound and for a recording just started; bool new).
    RECORDLIST_MSG_RECORD = 0,
    // A recording started or stopped: (eZXVRecordState, eZXVRecordType).
    RECORDLIST_MSG_STATE = 1,
    // The recording time moved on; ask GetRecordTime: (eZXVRecordType).
    RECORDLIST_MSG_PROGRESS = 2,
};

class IDataRecordList : public IData {
public:
    // Announces every record of the type again (new false). False for the
    // three types; true, announcing nothing, for any other.
    virtual bool EnumRecords(int type) = 0;
    // Seconds of a video or sound record; 0 for pictures or unknown ids.
    virtual int GetRecordDuration(int type, int id) = 0;
    // The name of a video or sound record; "" otherwise.
    virtual std::string GetRecordName(int type, int id) = 0;
    // Gives a video or sound record a new name (its file moves along, in
    // the record folder, keeping its extension).
    virtual void RenameRecord(int type, int id, const std::string& name) = 0;
    // The thumbnail of a video or picture; "" otherwise.
    virtual std::string GetRecordThumbnail(int type, int id) = 0;
    virtual std::string GetRecordPath(int type, int id) = 0;
    // Moves the record's file.
    virtual void MoveRecord(int type, int id, const std::string& path) = 0;
    // Removes the records (and their files when asked); the one being
    // recorded stays.
    virtual void DeleteRecords(int type, const std::vector<int>& ids, bool deleteFiles) = 0;
    // Opens the type's record folder in the file manager.
    virtual void OpenRecordDir(int type) = 0;
    // Starts a video (0) or sound (1) recording, ending one in progress
    // first. 0 when it started, 1 when not.
    virtual int StartRecord(int type) = 0;
    // Seconds recorded so far.
    virtual int GetRecordTime() = 0;
    virtual void StopRecord() = 0;
    // The id of the record being recorded when it is of the type, else -1.
    virtual int GetRecordingId(int type) = 0;
    // Saves the next finished frame as a picture; EndSnapshot once the
    // picture's record has been announced.
    virtual void TakeSnapshot() = 0;
    virtual void EndSnapshot() = 0;
    // The type's default folder (created).
    virtual std::string GetDefaultRecordDir(int type) = 0;
};

// Observer of "modRecordList_ob" for the main program.
class IDataRecordListObserver : public IMessageObserver {
public:
    void OnMessage(int type, const ArgList& args) override {
        if (type == RECORDLIST_MSG_RECORD)
            OnRecord(ArgAt<eZXVRecordType>(args, 0), ArgAt<int>(args, 1), ArgAt<std::string>(args, 2),
                     ArgAt<bool>(args, 3));
        else if (type == RECORDLIST_MSG_STATE)
            OnRecordState(ArgAt<eZXVRecordState>(args, 0), ArgAt<eZXVRecordType>(args, 1));
        else if (type == RECORDLIST_MSG_PROGRESS)
            OnProgress(ArgAt<eZXVRecordType>(args, 0));
    }
    virtual void OnRecord(eZXVRecordType type, int id, const std::string& thumbnail, bool isNew) {
        (void)type;
        (void)id;
        (void)thumbnail;
        (void)isNew;
    }
    virtual void OnRecordState(eZXVRecordState state, eZXVRecordType type) {
        (void)state;
        (void)type;
    }
    virtual void OnProgress(eZXVRecordType type) { (void)type; }
};
