// Observers of the module bus that attach when made and detach when
// destroyed. A CObserverLink<T> attaches observer interface T of its owner to
// T's group (T::kGroup), by default in thread mode (calls arrive on the
// attaching thread through its message loop); its destructor detaches it, so
// an observer that is gone is never called. CObserverLinks<T...> does the
// same for several interfaces of one owner:
//
//     class CPanel : public IDataMediaListObserver, public IDataSlideListObserver { ...
//         std::optional<CObserverLinks<IDataMediaListObserver, IDataSlideListObserver>> m_links;
//     };
//     m_links.emplace(this);   // attached from here ...
//     m_links.reset();         // ... to here (or until the panel is destroyed)
//
// CNotification<Observer, Type, Args...> is one notification of a group: its
// type and the types of its arguments, in order, written once in the
// interface header. The kernel sends with Send; the observer interface reads
// with Call, so sender and receiver cannot disagree on the order.
#pragma once

#include <tuple>
#include <utility>

#include "ZxMusicCore/ZxMusicCore.h"

template <class T>
class CObserverLink {
public:
    explicit CObserverLink(T* observer, int mode = OBSERVER_MODE_THREAD)
        : m_observer(observer), m_attached(AfxGetMessageManager()->AttachObserver(T::kGroup, observer, mode)) {}
    ~CObserverLink() {
        if (m_attached) AfxGetMessageManager()->DetachObserver(T::kGroup, m_observer);
    }
    CObserverLink(const CObserverLink&) = delete;
    CObserverLink& operator=(const CObserverLink&) = delete;

    bool Attached() const { return m_attached; }

private:
    T* m_observer;
    bool m_attached;
};

template <class... Observers>
class CObserverLinks {
public:
    template <class Owner>
    explicit CObserverLinks(Owner* owner) : m_links(static_cast<Observers*>(owner)...) {}

private:
    std::tuple<CObserverLink<Observers>...> m_links;
};

template <class Observer, int Type, class... Args>
struct CNotification {
    static constexpr int kType = Type;

    // Called by the kernel, on any thread.
    static void Send(const Args&... values) {
        ArgList args;
        ArgAppender appender(args);
        (void)(appender << ... << values);
        AfxGetMessageManager()->Notify(Observer::kGroup, Type, args);
    }

    // Calls target's handler with the arguments read back in order.
    template <class Target, class... Params>
    static void Call(const ArgList& args, Target* target, void (Target::*handler)(Params...)) {
        CallAt(args, target, handler, std::index_sequence_for<Args...>());
    }

private:
    template <class Target, class Handler, size_t... I>
    static void CallAt(const ArgList& args, Target* target, Handler handler, std::index_sequence<I...>) {
        (void)args;
        (target->*handler)(ArgAt<Args>(args, I)...);
    }
};
