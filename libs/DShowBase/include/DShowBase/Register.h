// Registration of a filter module: its COM classes and its filters.
//
// For each class of the module DShowRegisterServers writes (or removes)
//   HKEY_CLASSES_ROOT\CLSID\{clsid}             default value: the class name
//   HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32
//                                               default value: this module's path
//                                               ThreadingModel: "Both"
// and, for a class with filter setup data, registers the filter with the
// filter mapper in DirectShow's default filter category ("DirectShow
// Filters", CLSID_LegacyAmFilterCategory) with its merit and pins.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <string>

#include "DShowBase/ClassFactory.h"

// What the filter mapper needs to know of a filter.
struct FilterSetup {
    const CLSID* clsid;
    const wchar_t* name;
    DWORD merit;
    UINT pinCount;
    const REGFILTERPINS* pins;
};

// Registers (reg true) or unregisters every class of templates. Stops at
// the first failure and returns it. Unregistering something that is not
// registered is not a failure. Initialises COM on the calling thread for
// the duration when the caller has not.
HRESULT DShowRegisterServers(const CFactoryTemplate* templates, int count, bool reg);

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", upper case, as the registry
// writes class identifiers.
std::wstring DShowGuidString(REFGUID guid);

// Keeps COM initialised on the calling thread while alive, if it was not.
class CComInit {
public:
    CComInit();
    ~CComInit();
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;
    // COM is usable on this thread (initialised here or before).
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
    bool m_mustUninit = false;
};
