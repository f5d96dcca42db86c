#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "MessageManagerImpl.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

typedef void (*DllEntry)();

struct LoadedLibrary {
    std::string name;
    HMODULE module;
};

// The file names to load: ZXVCAM_DATA_LIBS when set, else the kernel. Only
// bare file names are accepted, so nothing outside the program's folder can
// be loaded this way.
std::vector<std::string> LibraryNames() {
    std::vector<std::string> names;
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(L"ZXVCAM_DATA_LIBS", buf, 4096);
    if (n == 0 || n >= 4096) {
        names.push_back("ZxVKernal.dll");
        return names;
    }
    std::string list = Charset::WString2String(std::wstring(buf, n));
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(start, end - start);
        if (!name.empty()) {
            if (name.find_first_of("\\/:") != std::string::npos || name.find("..") != std::string::npos)
                YL_Log("ZxMusicCore.txt", 2, "CDataDllManager", "ignored data library name \"%s\": not a file name",
                       name.c_str());
            else
                names.push_back(name);
        }
        start = end + 1;
    }
    return names;
}

class CDataDllManager : public IDataDllManager {
public:
    int GetLoadedCount() override {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        return static_cast<int>(m_loaded.size());
    }

    bool LoadDataLibraries(int /*reserved*/) override {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!m_loaded.empty()) return true;
        bool all = true;
        std::string folder = Dir::GetCurrentPath();
        for (const std::string& name : LibraryNames()) {
            std::string path = folder + name;
            // Altered search path: the library's own dependencies are found
            // beside it first.
            HMODULE module = LoadLibraryExW(Charset::String2WString(path).c_str(), nullptr,
                                            LOAD_WITH_ALTERED_SEARCH_PATH);
            if (!module) {
                YL_Log("ZxMusicCore.txt", 3, "CDataDllManager", "LoadLibrary(%s) failed, error %lu", path.c_str(),
                       static_cast<unsigned long>(GetLastError()));
                all = false;
                continue;
            }
            DllEntry init = reinterpret_cast<DllEntry>(reinterpret_cast<void*>(GetProcAddress(module, "ZxDllInit")));
            if (!init) {
                YL_Log("ZxMusicCore.txt", 3, "CDataDllManager", "%s has no ZxDllInit; not a data library",
                       path.c_str());
                FreeLibrary(module);
                all = false;
                continue;
            }
            m_loaded.push_back(LoadedLibrary{name, module});
            YL_Log("ZxMusicCore.txt", 0, "CDataDllManager", "loaded %s", path.c_str());
            init();
        }
        return all;
    }

    void UnloadDataLibraries() override {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        while (!m_loaded.empty()) {
            LoadedLibrary lib = m_loaded.back();
            m_loaded.pop_back();
            DllEntry exitFn =
                reinterpret_cast<DllEntry>(reinterpret_cast<void*>(GetProcAddress(lib.module, "ZxDllExit")));
            if (exitFn) exitFn();
            ZxDropQueuedMessages();
            FreeLibrary(lib.module);
            YL_Log("ZxMusicCore.txt", 0, "CDataDllManager", "unloaded %s", lib.name.c_str());
        }
    }

private:
    std::recursive_mutex m_lock;  // a library's entry may call back into the manager
    std::vector<LoadedLibrary> m_loaded;
};

}  // namespace

IDataDllManager* AfxGetDataDllManager() {
    static CDataDllManager* instance = new CDataDllManager;
    return instance;
}
