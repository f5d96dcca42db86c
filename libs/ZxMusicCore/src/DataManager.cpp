#include <map>
#include <mutex>
#include <string>

#include "ZxMusicCore/ZxMusicCore.h"

namespace {

class CDataManager : public IDataManager {
public:
    int GetDataCount() override {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<int>(m_modules.size());
    }

    IData* GetData(const char* name) override {
        if (!name) return nullptr;
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_modules.find(name);
        return it == m_modules.end() ? nullptr : it->second;
    }

    bool AddData(const char* name, IData* module) override {
        if (!name || !module) return false;
        std::lock_guard<std::mutex> lock(m_lock);
        m_modules[name] = module;
        return true;
    }

    bool RemoveData(const char* name) override {
        if (!name) return false;
        std::lock_guard<std::mutex> lock(m_lock);
        return m_modules.erase(name) > 0;
    }

private:
    std::mutex m_lock;
    std::map<std::string, IData*> m_modules;
};

}  // namespace

IDataManager* AfxGetDataManager() {
    // Never destroyed: modules may still look each other up while the
    // process's static objects are torn down.
    static CDataManager* instance = new CDataManager;
    return instance;
}
