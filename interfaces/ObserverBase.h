// A base for observers of the module bus: attaches to one group in thread
// mode (calls arrive on the attaching thread through its message loop) and
// detaches when destroyed, so a destroyed observer is never called.
#pragma once

#include <string>

#include "ZxMusicCore/ZxMusicCore.h"

class CObserverBase : public IMessageObserver {
public:
    CObserverBase() {}
    ~CObserverBase() override { DetachGroup(); }

    bool AttachGroup(const char* group) {
        DetachGroup();
        if (!AfxGetMessageManager()->AttachObserver(group, this, OBSERVER_MODE_THREAD)) return false;
        m_group = group;
        return true;
    }

    void DetachGroup() {
        if (m_group.empty()) return;
        AfxGetMessageManager()->DetachObserver(m_group.c_str(), this);
        m_group.clear();
    }

private:
    CObserverBase(const CObserverBase&);
    CObserverBase& operator=(const CObserverBase&);
    std::string m_group;
};
