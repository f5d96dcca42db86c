#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MessageManagerImpl.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

const UINT WM_ZX_DELIVER = WM_APP + 0x5A1;
const wchar_t kMailboxClass[] = L"ZxMusicCoreMailbox";

struct Registration {
    std::string group;
    IMessageObserver* observer = nullptr;
    int mode = OBSERVER_MODE_DIRECT;
    DWORD thread = 0;
    bool alive = true;
    int inflight = 0;  // calls running now, on any thread
};
typedef std::shared_ptr<Registration> RegPtr;

struct Packet {
    RegPtr reg;
    int type;
    ArgList args;
};

// The queue of one thread that has observers in thread mode, and the
// message-only window through which that thread's message loop drains it.
struct Mailbox {
    HWND hwnd = nullptr;
    std::deque<Packet> queue;
    bool posted = false;  // a wake-up message is on its way
    int users = 0;        // registrations in thread mode on this thread
};

// Registrations whose OnMessage runs on the current thread right now,
// innermost last; a detach from inside OnMessage must not wait for itself.
// Plain data only: a thread-local std::vector in this DLL (emulated
// thread-local storage with a destructor run at thread exit) corrupted the
// heap when threads that notified ended while others attached and detached
// (seen under Wine with the mingw runtime). Calls nested deeper than
// kMaxNesting are counted but not recorded; no observer nests that deep.
const int kMaxNesting = 64;
thread_local Registration* t_calling[kMaxNesting];
thread_local int t_depth = 0;

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

class CMessageManager : public IMessageManager {
public:
    int GetObserverCount(const char* group) override {
        if (!group) return 0;
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_groups.find(group);
        return it == m_groups.end() ? 0 : static_cast<int>(it->second.size());
    }

    bool AttachObserver(const char* group, IMessageObserver* observer, int mode) override {
        if (!group || !observer) return false;
        DWORD thread = GetCurrentThreadId();
        std::unique_lock<std::mutex> lock(m_lock);
        Mailbox* box = nullptr;
        if (mode == OBSERVER_MODE_THREAD) {
            // May release the lock while it creates the window, so the group
            // is looked up only afterwards.
            box = MailboxFor(thread, lock);
            if (!box) {
                YL_Log("ZxMusicCore.txt", 2, "CMessageManager",
                       "AttachObserver(%s): no message window for thread %lu (error %lu)", group,
                       static_cast<unsigned long>(thread), static_cast<unsigned long>(GetLastError()));
                return false;
            }
        }
        std::vector<RegPtr>& regs = m_groups[group];
        for (const RegPtr& r : regs)
            if (r->observer == observer) return true;
        if (box) ++box->users;
        RegPtr reg = std::make_shared<Registration>();
        reg->group = group;
        reg->observer = observer;
        reg->mode = mode;
        reg->thread = thread;
        regs.push_back(reg);
        return true;
    }

    bool DetachObserver(const char* group, IMessageObserver* observer) override {
        if (!group || !observer) return false;
        HWND destroy = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            auto it = m_groups.find(group);
            if (it == m_groups.end()) return false;
            RegPtr reg;
            for (auto r = it->second.begin(); r != it->second.end(); ++r) {
                if ((*r)->observer == observer) {
                    reg = *r;
                    it->second.erase(r);
                    break;
                }
            }
            if (!reg) return false;
            if (it->second.empty()) m_groups.erase(it);
            destroy = Retire(reg, lock);
        }
        if (destroy) DestroyWindow(destroy);
        return true;
    }

    int DetachFromAll(IMessageObserver* observer) override {
        std::vector<std::string> groups;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (const auto& g : m_groups)
                for (const RegPtr& r : g.second)
                    if (r->observer == observer) groups.push_back(g.first);
        }
        int n = 0;
        for (const std::string& g : groups) n += DetachObserver(g.c_str(), observer) ? 1 : 0;
        return n;
    }

    void Notify(const char* group, int type, const ArgList& args) override { Deliver(group, type, args); }

    void NotifyEx(const char* group, int type, int /*reserved*/, const ArgList& args) override {
        Deliver(group, type, args);
    }

    // Runs on a mailbox thread when its wake-up message arrives: delivers
    // the oldest packet. When more are waiting a new wake-up is posted first,
    // so delivery goes on even inside a modal loop run by an observer.
    void DrainOne() {
        std::unique_lock<std::mutex> lock(m_lock);
        auto it = m_mailboxes.find(GetCurrentThreadId());
        if (it == m_mailboxes.end()) return;
        Mailbox& box = *it->second;
        box.posted = false;
        while (!box.queue.empty()) {
            Packet packet = std::move(box.queue.front());
            box.queue.pop_front();
            if (!packet.reg->alive) continue;
            if (!box.queue.empty()) Wake(box);
            Call(packet.reg, packet.type, packet.args, lock);
            return;
        }
    }

    void DropQueued() {
        std::deque<Packet> dropped;
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto& box : m_mailboxes) {
            for (Packet& p : box.second->queue) dropped.push_back(std::move(p));
            box.second->queue.clear();
        }
        // The values are destroyed here, while every library is still loaded.
        dropped.clear();
    }

private:
    void Deliver(const char* group, int type, const ArgList& args) {
        if (!group) return;
        std::vector<RegPtr> direct;
        std::unique_lock<std::mutex> lock(m_lock);
        auto it = m_groups.find(group);
        if (it == m_groups.end()) return;
        for (const RegPtr& reg : it->second) {
            if (reg->mode != OBSERVER_MODE_THREAD) {
                direct.push_back(reg);
                continue;
            }
            auto box = m_mailboxes.find(reg->thread);
            if (box == m_mailboxes.end()) continue;
            box->second->queue.push_back(Packet{reg, type, args});
            if (!box->second->posted) Wake(*box->second);
        }
        for (const RegPtr& reg : direct)
            if (reg->alive) Call(reg, type, args, lock);
    }

    // Calls one observer with the lock released; the in-flight count lets a
    // detach on another thread wait for the call to end.
    void Call(const RegPtr& reg, int type, const ArgList& args, std::unique_lock<std::mutex>& lock) {
        ++reg->inflight;
        lock.unlock();
        if (t_depth < kMaxNesting) t_calling[t_depth] = reg.get();
        ++t_depth;
        reg->observer->OnMessage(type, args);
        --t_depth;
        lock.lock();
        --reg->inflight;
        m_idle.notify_all();
    }

    void Wake(Mailbox& box) {
        box.posted = PostMessageW(box.hwnd, WM_ZX_DELIVER, 0, 0) != 0;
        if (!box.posted) {
            // The thread is gone or its queue is full: nothing can reach it.
            YL_Log("ZxMusicCore.txt", 2, "CMessageManager", "PostMessage failed (error %lu); %u notifications dropped",
                   static_cast<unsigned long>(GetLastError()), static_cast<unsigned>(box.queue.size()));
            box.queue.clear();
        }
    }

    // Marks a removed registration dead, drops its queued packets, waits for
    // calls on other threads, and returns the mailbox window to destroy when
    // it was the last user on this thread.
    HWND Retire(const RegPtr& reg, std::unique_lock<std::mutex>& lock) {
        reg->alive = false;
        HWND destroy = nullptr;
        if (reg->mode == OBSERVER_MODE_THREAD) {
            auto box = m_mailboxes.find(reg->thread);
            if (box != m_mailboxes.end()) {
                std::deque<Packet>& q = box->second->queue;
                q.erase(std::remove_if(q.begin(), q.end(), [&](const Packet& p) { return p.reg == reg; }), q.end());
                if (--box->second->users <= 0 && reg->thread == GetCurrentThreadId() && q.empty()) {
                    destroy = box->second->hwnd;
                    m_mailboxes.erase(box);
                }
            }
        }
        int own = static_cast<int>(std::count(t_calling, t_calling + std::min(t_depth, kMaxNesting), reg.get()));
        m_idle.wait(lock, [&] { return reg->inflight <= own; });
        return destroy;
    }

    Mailbox* MailboxFor(DWORD thread, std::unique_lock<std::mutex>& lock) {
        auto it = m_mailboxes.find(thread);
        if (it != m_mailboxes.end()) return it->second.get();
        // Window creation sends messages to the new window; keep the lock free.
        lock.unlock();
        HWND hwnd = CreateMailboxWindow();
        lock.lock();
        if (!hwnd) return nullptr;
        std::unique_ptr<Mailbox>& box = m_mailboxes[thread];
        if (!box) {
            box.reset(new Mailbox);
            box->hwnd = hwnd;
        } else {
            DestroyWindow(hwnd);
        }
        return box.get();
    }

    static LRESULT CALLBACK MailboxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    static HWND CreateMailboxWindow() {
        static std::once_flag registered;
        std::call_once(registered, [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = &CMessageManager::MailboxProc;
            wc.hInstance = ThisModule();
            wc.lpszClassName = kMailboxClass;
            RegisterClassW(&wc);
        });
        return CreateWindowExW(0, kMailboxClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
    }

    std::mutex m_lock;
    std::condition_variable m_idle;
    std::map<std::string, std::vector<RegPtr>> m_groups;
    std::map<DWORD, std::unique_ptr<Mailbox>> m_mailboxes;
};

CMessageManager* Instance() {
    // Never destroyed: observers may detach while static objects are torn down.
    static CMessageManager* instance = new CMessageManager;
    return instance;
}

LRESULT CALLBACK CMessageManager::MailboxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ZX_DELIVER) {
        Instance()->DrainOne();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

IMessageManager* AfxGetMessageManager() { return Instance(); }

void ZxDropQueuedMessages() { Instance()->DropQueued(); }
