// A scoped hold of a critical section.
#pragma once

#include <windows.h>

class CAutoLock {
public:
    explicit CAutoLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~CAutoLock() { LeaveCriticalSection(&m_cs); }

private:
    CAutoLock(const CAutoLock&);
    CAutoLock& operator=(const CAutoLock&);
    CRITICAL_SECTION& m_cs;
};
