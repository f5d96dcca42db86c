// "modRecordList": records the finished picture with microphone sound to
// ".flv" files, microphone sound alone to ".mp3" files, takes snapshots as
// ".bmp" pictures, and keeps the three persisted lists of what was recorded.
// The main program observes "modRecordList_ob".
#pragma once

#include <string>
#include <vector>

#include "ObserverBase.h"
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
    // A recording or snapshot could not start, stopped by itself, or
    // records without sound: (eZXVRecordType, eZXVRecordProblem, string
    // detail (the folder or file concerned, may be ""), bool midway (it
    // stopped while recording; what was written is kept)).
    RECORDLIST_MSG_PROBLEM = 3,
};

// What went wrong with a recording, a rename or a move.
enum eZXVRecordProblem {
    ZXV_RECORD_OK = 0,
    ZXV_RECORD_ERR_FOLDER_MISSING = 1,   // the folder does not exist (or went away)
    ZXV_RECORD_ERR_FOLDER_READONLY = 2,  // the folder cannot be written
    ZXV_RECORD_ERR_DISK_FULL = 3,        // no room left on its drive
    ZXV_RECORD_ERR_ENCODER = 4,          // an encoder could not start or failed
    ZXV_RECORD_ERR_MICROPHONE = 5,       // no microphone, or it failed to open
    ZXV_RECORD_ERR_WRITE = 6,            // the file could not be written
    ZXV_RECORD_NOTE_NO_SOUND = 7,        // a video records without sound: no working microphone
    ZXV_RECORD_ERR_EXISTS = 8,           // another file already has that name
    ZXV_RECORD_ERR_BAD_NAME = 9,         // the name is not allowed for a file
    ZXV_RECORD_ERR_NO_FILE = 10,         // the record's own file is gone
};

// Whether a name can be a file's name on Windows: 0 it can; 1 empty (or
// spaces only); 2 a character Windows forbids (control characters and
// \ / : * ? " < > |); 3 ends in a dot or a space; 4 a device name Windows
// keeps for itself (CON, PRN, AUX, NUL, COM1-9, LPT1-9), with or without an
// extension.
inline int RecordNameRule(const std::string& name) {
    if (name.find_first_not_of(' ') == std::string::npos) return 1;
    for (unsigned char c : name)
        if (c < 32 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) return 2;
    if (name.back() == '.' || name.back() == ' ') return 3;
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const kReserved[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                            "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                            "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const char* r : kReserved)
        if (stem == r) return 4;
    return 0;
}

class IDataRecordList : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_RECORDLIST;
    // Announces every record of the type again (new false). False for the
    // three types; true, announcing nothing, for any other.
    virtual bool EnumRecords(int type) = 0;
    // Seconds of a video or sound record; 0 for pictures or unknown ids.
    virtual int GetRecordDuration(int type, int id) = 0;
    // The name of a video or sound record; "" otherwise.
    virtual std::string GetRecordName(int type, int id) = 0;
    // Gives a video or sound record a new name (its file moves along, in
    // the record folder, keeping its extension). The record changes only
    // when its file moved; an existing file is never replaced. The problem
    // (eZXVRecordProblem), ZXV_RECORD_OK when done.
    virtual int RenameRecord(int type, int id, const std::string& name) = 0;
    // The thumbnail of a video or picture; "" otherwise.
    virtual std::string GetRecordThumbnail(int type, int id) = 0;
    virtual std::string GetRecordPath(int type, int id) = 0;
    // Moves the record's file to path, replacing a file there (the user
    // confirmed it). A picture is written in the format of the new path's
    // extension (".bmp", ".jpg"/".jpeg", ".png"). The record changes only
    // when the file moved. The problem (eZXVRecordProblem), 0 when done.
    virtual int MoveRecord(int type, int id, const std::string& path) = 0;
    // Removes the records (and moves their files to the recycle bin when
    // asked); the one being recorded stays.
    virtual void DeleteRecords(int type, const std::vector<int>& ids, bool deleteFiles) = 0;
    // Opens the type's record folder in the file manager.
    virtual void OpenRecordDir(int type) = 0;
    // Starts a video (0) or sound (1) recording, ending one in progress
    // first. 0 when it started, 1 when not; the cause of a failure (and a
    // video that records without sound) is told by RECORDLIST_MSG_PROBLEM.
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
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_RECORDLIST_OB;
    using RecordMsg =
        CNotification<IDataRecordListObserver, RECORDLIST_MSG_RECORD, eZXVRecordType, int, std::string, bool>;
    using StateMsg = CNotification<IDataRecordListObserver, RECORDLIST_MSG_STATE, eZXVRecordState, eZXVRecordType>;
    using ProgressMsg = CNotification<IDataRecordListObserver, RECORDLIST_MSG_PROGRESS, eZXVRecordType>;
    using ProblemMsg = CNotification<IDataRecordListObserver, RECORDLIST_MSG_PROBLEM, eZXVRecordType,
                                     eZXVRecordProblem, std::string, bool>;

    void OnMessage(int type, const ArgList& args) override {
        switch (type) {
        case RecordMsg::kType: RecordMsg::Call(args, this, &IDataRecordListObserver::OnRecord); break;
        case StateMsg::kType: StateMsg::Call(args, this, &IDataRecordListObserver::OnRecordState); break;
        case ProgressMsg::kType: ProgressMsg::Call(args, this, &IDataRecordListObserver::OnProgress); break;
        case ProblemMsg::kType: ProblemMsg::Call(args, this, &IDataRecordListObserver::OnRecordProblem); break;
        default: break;
        }
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
    virtual void OnRecordProblem(eZXVRecordType type, eZXVRecordProblem problem, const std::string& detail,
                                 bool midway) {
        (void)type;
        (void)problem;
        (void)detail;
        (void)midway;
    }
};
