// ZxMusicCore: the module bus shared by the main program and the kernel.
//
// - the data manager: named data modules ("modKernal", "modCamera", ...);
// - the message manager: observer groups ("modCamera_ob", ...) and their
//   notifications;
// - the data-library manager: loads the data libraries (the kernel) and
//   calls their entry and exit functions.
// One instance of each per process, shared by every module of the process.
#pragma once

#include "ZxMusicCore/Variant.h"

#ifdef ZXMUSICCORE_BUILD
#define ZXMUSICCORE_API __declspec(dllexport)
#else
#define ZXMUSICCORE_API __declspec(dllimport)
#endif

// Base of every data module interface.
class IData {
public:
    virtual ~IData() {}
    // Two hooks every data module carries in its layout; no module
    // overrides them and the bus does not call them.
    virtual void Reserved1() {}
    virtual void Reserved2() {}
};

class IDataManager {
public:
    // How many modules are registered.
    virtual int GetDataCount() = 0;
    // The module registered under the name, or null.
    virtual IData* GetData(const char* name) = 0;
    // Registers (or re-registers) a module under a name; false for a null
    // name or module.
    virtual bool AddData(const char* name, IData* module) = 0;
    // Removes the name; false when it was not registered.
    virtual bool RemoveData(const char* name) = 0;

protected:
    ~IDataManager() {}
};

class IMessageObserver {
public:
    virtual ~IMessageObserver() {}
    // One notification of a group the observer is attached to. The argument
    // list belongs to the call; read it by position (ArgAt).
    virtual void OnMessage(int type, const ArgList& args) = 0;
};

// Observer modes.
enum eObserverMode {
    // Called on the notifying thread, before Notify returns.
    OBSERVER_MODE_DIRECT = 0,
    // Called on the thread that attached the observer, through that thread's
    // message queue (the thread must pump messages), with a copy of the
    // arguments. The main program attaches all its observers this way.
    OBSERVER_MODE_THREAD = 2,
};

class IMessageManager {
public:
    // How many observers are attached to the group.
    virtual int GetObserverCount(const char* group) = 0;
    // Attaches an observer to a group; attaching it twice keeps the first.
    virtual bool AttachObserver(const char* group, IMessageObserver* observer, int mode) = 0;
    // Detaches it. Once this returns the observer is never called again for
    // the group: queued notifications are dropped, and a call running on
    // another thread is waited for.
    virtual bool DetachObserver(const char* group, IMessageObserver* observer) = 0;
    // Detaches the observer from every group; returns how many.
    virtual int DetachFromAll(IMessageObserver* observer) = 0;
    // Notifies every observer of the group.
    virtual void Notify(const char* group, int type, const ArgList& args) = 0;
    // The same, with a reserved argument (always 0).
    virtual void NotifyEx(const char* group, int type, int reserved, const ArgList& args) = 0;

protected:
    ~IMessageManager() {}
};

class IDataDllManager {
public:
    // How many data libraries are loaded.
    virtual int GetLoadedCount() = 0;
    // Loads the data libraries from the program's folder and calls each one's
    // ZxDllInit. The data libraries are "ZxVKernal.dll"; the environment
    // variable ZXVCAM_DATA_LIBS may name others (file names in the program's
    // folder, separated by ';'), for tests and tools. True when all loaded.
    virtual bool LoadDataLibraries(int reserved) = 0;
    // Calls each library's ZxDllExit (last loaded first) and unloads it.
    virtual void UnloadDataLibraries() = 0;

protected:
    ~IDataDllManager() {}
};

ZXMUSICCORE_API IDataManager* AfxGetDataManager();
ZXMUSICCORE_API IMessageManager* AfxGetMessageManager();
ZXMUSICCORE_API IDataDllManager* AfxGetDataDllManager();
