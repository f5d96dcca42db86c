// Reference-counted COM objects that can be aggregated, and the locks the
// DirectShow classes share.
//
// Every object derives from CUnknown. Its own IUnknown is the non-delegating
// one (INonDelegatingUnknown, laid out exactly like IUnknown so that an
// aggregating outer object can hold it as its inner IUnknown). The IUnknown
// methods of every other interface the object implements go to the owner:
// the outer object when aggregated, else the object's own non-delegating
// IUnknown. DECLARE_IUNKNOWN writes those three methods.
//
// Every living CUnknown counts as an active object of the module; together
// with the class factory's lock count this tells DllCanUnloadNow whether the
// module may be unloaded (ClassFactory.h).
#pragma once

#include <windows.h>
#include <objbase.h>

// Three methods in the order and calling convention of IUnknown: an inner
// object's non-delegating IUnknown is used through an IUnknown pointer.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown {
public:
    // outer is the aggregating object, or null for an object of its own.
    CUnknown(const wchar_t* objectName, IUnknown* outer);
    virtual ~CUnknown();
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    // Answers IUnknown with the non-delegating IUnknown; derived classes add
    // their interfaces and hand anything else to this.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    // Deletes the object when the count reaches zero.
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // The IUnknown every delegating call goes to.
    IUnknown* GetOwner() const { return m_owner; }
    // This object's non-delegating IUnknown as an IUnknown pointer.
    IUnknown* InnerUnknown() { return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this)); }

    // How many CUnknown objects of this module are alive.
    static LONG ActiveObjects();

protected:
    volatile LONG m_ref = 0;

private:
    IUnknown* m_owner;
};

// Stores the interface pointer in *ppv and adds a reference through it.
HRESULT GetInterface(IUnknown* unknown, void** ppv);

// The IUnknown methods of every interface a CUnknown implements.
#define DECLARE_IUNKNOWN                                                                                   \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {                           \
        return GetOwner()->QueryInterface(riid, ppv);                                                      \
    }                                                                                                      \
    ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }                             \
    ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }

// A recursive lock (a critical section).
class CCritSec {
public:
    CCritSec() { InitializeCriticalSection(&m_cs); }
    ~CCritSec() { DeleteCriticalSection(&m_cs); }
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;
    void Lock() { EnterCriticalSection(&m_cs); }
    void Unlock() { LeaveCriticalSection(&m_cs); }
    CRITICAL_SECTION* Native() { return &m_cs; }

private:
    CRITICAL_SECTION m_cs;
};

// Holds a CCritSec for the lifetime of the object.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : m_lock(lock) { m_lock->Lock(); }
    ~CAutoLock() { m_lock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_lock;
};
