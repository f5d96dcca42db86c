#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

IMessageManager* Bus() { return AfxGetMessageManager(); }

// Records every call: type, first argument and the thread it ran on.
class Recorder : public IMessageObserver {
public:
    void OnMessage(int type, const ArgList& args) override {
        std::lock_guard<std::mutex> lock(m);
        types.push_back(type);
        values.push_back(ArgAt<int>(args, 0));
        threads.push_back(GetCurrentThreadId());
        if (onCall) onCall(type);
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(m);
        return types.size();
    }
    std::mutex m;
    std::vector<int> types, values;
    std::vector<DWORD> threads;
    std::function<void(int)> onCall;
};

// Dispatches what is waiting; bounded, since notifiers that never stop
// keep the queue full.
void Pump(int atMost = 100000) {
    MSG msg;
    for (int i = 0; i < atMost && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) DispatchMessageW(&msg);
}

void Send(const char* group, int type, int value) {
    ArgList args;
    ArgAppender(args) << value;
    Bus()->NotifyEx(group, type, 0, args);
}

// A thread with a message loop, like the program's user-interface thread.
class UiThread {
public:
    explicit UiThread(std::function<void()> setup) {
        thread_ = std::thread([this, setup] {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue
            id_ = GetCurrentThreadId();
            setup();
            ready_ = true;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (msg.message == WM_APP && msg.hwnd == nullptr) {
                    (*reinterpret_cast<std::function<void()>*>(msg.lParam))();
                    continue;
                }
                DispatchMessageW(&msg);
            }
        });
        zxtest::WaitUntil([this] { return ready_.load(); });
    }
    // Runs a function on the thread and waits for it.
    void Run(std::function<void()> fn) {
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::function<void()> call = [&] {
            fn();
            SetEvent(done);
        };
        PostThreadMessageW(id_, WM_APP, 0, reinterpret_cast<LPARAM>(&call));
        WaitForSingleObject(done, zxtest::kHangGuardMs);
        CloseHandle(done);
    }
    ~UiThread() {
        PostThreadMessageW(id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    DWORD id() const { return id_; }

private:
    std::thread thread_;
    std::atomic<DWORD> id_{0};
    std::atomic<bool> ready_{false};
};

TEST(MessageManager, ThreadModeRunsOnTheAttachingThreadInOrder) {
    Recorder rec;
    UiThread ui([&] { ASSERT_TRUE(Bus()->AttachObserver("modOrder_ob", &rec, OBSERVER_MODE_THREAD)); });
    EXPECT_EQ(Bus()->GetObserverCount("modOrder_ob"), 1);
    std::thread other([] {
        for (int i = 0; i < 200; ++i) Send("modOrder_ob", 1, i);
    });
    other.join();
    for (int i = 200; i < 400; ++i) Send("modOrder_ob", 2, i);
    ASSERT_TRUE(zxtest::WaitUntil([&] { return rec.Count() == 400; })) << rec.Count();
    for (size_t i = 0; i < 400; ++i) {
        EXPECT_EQ(rec.values[i], static_cast<int>(i));
        EXPECT_EQ(rec.threads[i], ui.id());
    }
    ui.Run([&] { EXPECT_TRUE(Bus()->DetachObserver("modOrder_ob", &rec)); });
    EXPECT_EQ(Bus()->GetObserverCount("modOrder_ob"), 0);
}

TEST(MessageManager, ThreadModeWaitsForTheMessageLoopAndCopiesArguments) {
    Recorder rec;
    ASSERT_TRUE(Bus()->AttachObserver("modCopy_ob", &rec, OBSERVER_MODE_THREAD));
    class TextObserver : public IMessageObserver {
    public:
        void OnMessage(int, const ArgList& args) override { text = ArgAt<std::string>(args, 0); }
        std::string text;
    } textObs;
    ASSERT_TRUE(Bus()->AttachObserver("modCopy_ob", &textObs, OBSERVER_MODE_THREAD));
    {
        ArgList args;
        ArgAppender(args) << std::string("original");
        std::thread t([&] { Bus()->Notify("modCopy_ob", 3, args); });
        t.join();
        args[0] = Variant(std::string("changed after notify"));
    }
    // Only this thread's pumping could run the observers, and nothing
    // announces that no other thread does: a moment passes first.
    Sleep(20);
    EXPECT_EQ(rec.Count(), 0u) << "nothing runs before this thread pumps its messages";
    Pump();
    ASSERT_EQ(rec.Count(), 1u);
    EXPECT_EQ(rec.threads[0], GetCurrentThreadId());
    EXPECT_EQ(rec.types[0], 3);
    EXPECT_EQ(textObs.text, "original");
    EXPECT_EQ(Bus()->DetachFromAll(&rec), 1);
    EXPECT_TRUE(Bus()->DetachObserver("modCopy_ob", &textObs));
}

TEST(MessageManager, DetachBetweenNotifyAndDeliveryDropsTheMessage) {
    Recorder kept, dropped;
    ASSERT_TRUE(Bus()->AttachObserver("modDrop_ob", &kept, OBSERVER_MODE_THREAD));
    ASSERT_TRUE(Bus()->AttachObserver("modDrop_ob", &dropped, OBSERVER_MODE_THREAD));
    Send("modDrop_ob", 1, 1);
    Send("modDrop_ob", 1, 2);
    EXPECT_TRUE(Bus()->DetachObserver("modDrop_ob", &dropped));
    EXPECT_FALSE(Bus()->DetachObserver("modDrop_ob", &dropped)) << "already detached";
    Pump();
    EXPECT_EQ(kept.Count(), 2u);
    EXPECT_EQ(dropped.Count(), 0u);
    // Detached and attached again: only what is sent afterwards arrives.
    Send("modDrop_ob", 1, 3);
    EXPECT_TRUE(Bus()->DetachObserver("modDrop_ob", &kept));
    ASSERT_TRUE(Bus()->AttachObserver("modDrop_ob", &kept, OBSERVER_MODE_THREAD));
    Send("modDrop_ob", 1, 4);
    Pump();
    ASSERT_EQ(kept.Count(), 3u);
    EXPECT_EQ(kept.values[2], 4);
    Bus()->DetachObserver("modDrop_ob", &kept);
}

TEST(MessageManager, AttachingTwiceDeliversOnce) {
    Recorder rec;
    ASSERT_TRUE(Bus()->AttachObserver("modTwice_ob", &rec, OBSERVER_MODE_THREAD));
    ASSERT_TRUE(Bus()->AttachObserver("modTwice_ob", &rec, OBSERVER_MODE_THREAD));
    EXPECT_EQ(Bus()->GetObserverCount("modTwice_ob"), 1);
    Send("modTwice_ob", 1, 1);
    Send("modOther_ob", 1, 1);
    Send("modTwice_ob_", 1, 1);
    Pump();
    EXPECT_EQ(rec.Count(), 1u) << "groups are separate and exact";
    Bus()->DetachObserver("modTwice_ob", &rec);
    EXPECT_FALSE(Bus()->AttachObserver(nullptr, &rec, OBSERVER_MODE_THREAD));
    EXPECT_FALSE(Bus()->AttachObserver("modTwice_ob", nullptr, OBSERVER_MODE_THREAD));
    Bus()->NotifyEx(nullptr, 1, 0, ArgList());
    Bus()->NotifyEx("modNobody_ob", 1, 0, ArgList());
}

TEST(MessageManager, DirectModeRunsBeforeNotifyReturns) {
    Recorder rec;
    ASSERT_TRUE(Bus()->AttachObserver("modDirect_ob", &rec, OBSERVER_MODE_DIRECT));
    DWORD notifier = 0;
    std::thread t([&] {
        notifier = GetCurrentThreadId();
        Send("modDirect_ob", 9, 42);
        EXPECT_EQ(rec.Count(), 1u);
    });
    t.join();
    ASSERT_EQ(rec.Count(), 1u);
    EXPECT_EQ(rec.threads[0], notifier);
    EXPECT_EQ(rec.values[0], 42);
    Bus()->DetachObserver("modDirect_ob", &rec);
}

TEST(MessageManager, DetachWaitsForACallOnAnotherThread) {
    Recorder rec;
    std::atomic<bool> inCall{false}, release{false}, finished{false};
    rec.onCall = [&](int) {
        inCall = true;
        zxtest::WaitUntil([&] { return release.load(); });
        Sleep(30);  // a call that takes its time after the release
        finished = true;
    };
    ASSERT_TRUE(Bus()->AttachObserver("modWait_ob", &rec, OBSERVER_MODE_DIRECT));
    std::thread notifier([] { Send("modWait_ob", 1, 1); });
    ASSERT_TRUE(zxtest::WaitUntil([&] { return inCall.load(); }));
    // Released a moment after Detach has begun to wait (nothing inside
    // Detach can announce that; should Detach begin late, the call is over
    // sooner and the test still holds).
    std::thread releaser([&] {
        Sleep(20);
        release = true;
    });
    EXPECT_TRUE(Bus()->DetachObserver("modWait_ob", &rec));
    EXPECT_TRUE(finished) << "Detach returned while the observer was still running";
    notifier.join();
    releaser.join();
    Send("modWait_ob", 1, 2);
    EXPECT_EQ(rec.Count(), 1u);
}

TEST(MessageManager, ObserversMayDetachAndNotifyFromInsideOnMessage) {
    Recorder self, second;
    self.onCall = [&](int type) {
        if (type == 1) Send("modReenter_ob", 2, 0);  // queued behind this one
        if (type == 2) {
            EXPECT_TRUE(Bus()->DetachObserver("modReenter_ob", &self));
        }
    };
    ASSERT_TRUE(Bus()->AttachObserver("modReenter_ob", &self, OBSERVER_MODE_THREAD));
    ASSERT_TRUE(Bus()->AttachObserver("modReenter_ob", &second, OBSERVER_MODE_THREAD));
    Send("modReenter_ob", 1, 0);
    Pump();
    Send("modReenter_ob", 3, 0);
    Pump();
    EXPECT_EQ(self.types, (std::vector<int>{1, 2}));
    EXPECT_EQ(second.types, (std::vector<int>{1, 2, 3}));
    Bus()->DetachObserver("modReenter_ob", &second);
}

TEST(MessageManager, DeliveryGoesOnInsideAModalLoopOfAnObserver) {
    // An observer that opens a dialog runs a nested message loop; the
    // notifications behind it must still arrive meanwhile.
    Recorder rec;
    rec.onCall = [&](int type) {
        if (type != 1) return;
        for (int i = 0; i < 200 && rec.types.size() < 3; ++i) {
            rec.m.unlock();
            Pump();
            Sleep(1);
            rec.m.lock();
        }
    };
    ASSERT_TRUE(Bus()->AttachObserver("modModal_ob", &rec, OBSERVER_MODE_THREAD));
    Send("modModal_ob", 1, 0);
    Send("modModal_ob", 2, 0);
    Send("modModal_ob", 3, 0);
    Pump();
    EXPECT_EQ(rec.types, (std::vector<int>{1, 2, 3}));
    Bus()->DetachObserver("modModal_ob", &rec);
}

TEST(MessageManager, ConcurrentNotifyAttachDetachIsSafe) {
    std::atomic<bool> stop{false};
    std::atomic<int> delivered{0};
    class Counter : public IMessageObserver {
    public:
        explicit Counter(std::atomic<int>& n) : n_(n) {}
        void OnMessage(int, const ArgList& args) override {
            if (ArgAt<std::string>(args, 1) != "payload") ADD_FAILURE() << "argument damaged";
            ++n_;
        }
        std::atomic<int>& n_;
    };
    std::vector<std::thread> notifiers;
    for (int t = 0; t < 3; ++t) {
        notifiers.emplace_back([&] {
            while (!stop) {
                ArgList args;
                ArgAppender(args) << 1 << std::string("payload");
                Bus()->NotifyEx("modChurn_ob", 1, 0, args);
            }
        });
    }
    std::vector<std::thread> churners;
    for (int t = 0; t < 2; ++t) {
        churners.emplace_back([&, t] {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            for (int i = 0; i < 100; ++i) {
                Counter c(delivered);
                int mode = (i + t) % 2 ? OBSERVER_MODE_THREAD : OBSERVER_MODE_DIRECT;
                EXPECT_TRUE(Bus()->AttachObserver("modChurn_ob", &c, mode));
                Pump(20);
                EXPECT_TRUE(Bus()->DetachObserver("modChurn_ob", &c));
                Pump(20);  // nothing may reach the detached observer
            }
        });
    }
    for (auto& t : churners) t.join();
    stop = true;
    for (auto& t : notifiers) t.join();
    EXPECT_GT(delivered.load(), 0);
    EXPECT_EQ(Bus()->GetObserverCount("modChurn_ob"), 0);
}

}  // namespace
