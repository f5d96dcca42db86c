// The class factory of a filter module and what its COM exports need.
//
// A module describes each class it serves with a CFactoryTemplate and calls
// DShowGetClassObject and DShowCanUnloadNow from its DllGetClassObject and
// DllCanUnloadNow, and DShowDllEntry from its DllMain.
//
// The module may be unloaded when no CUnknown of it is alive (every
// factory and every object it made is one) and no client holds a lock taken
// with IClassFactory::LockServer.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "DShowBase/ComBase.h"

struct FilterSetup;

// Creates an object of a class: outer is the aggregating object (or null);
// on failure set *result and return null or an object that is deleted.
typedef CUnknown* (*CreateInstanceFn)(IUnknown* outer, HRESULT* result);

struct CFactoryTemplate {
    const wchar_t* name;           // COM class name in the registry
    const CLSID* clsid;
    CreateInstanceFn create;
    const FilterSetup* setup;      // filter registration data, or null
};

class CClassFactory : public CUnknown, public IClassFactory {
public:
    explicit CClassFactory(const CFactoryTemplate* factoryTemplate);

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // An aggregated object must be asked for its IUnknown (E_NOINTERFACE
    // otherwise, as COM requires).
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    // Locks taken with LockServer and not yet given back.
    static LONG ServerLocks();

private:
    const CFactoryTemplate* m_template;
};

// DllGetClassObject for the given classes: a new class factory for clsid.
HRESULT DShowGetClassObject(const CFactoryTemplate* templates, int count, REFCLSID clsid, REFIID riid, void** ppv);

// DllCanUnloadNow: S_OK when no object is alive and no lock held, else
// S_FALSE.
HRESULT DShowCanUnloadNow();

// DllMain's work: remembers the module handle on attach.
BOOL DShowDllEntry(HINSTANCE instance, DWORD reason);

// The module the base classes are linked into (set by DShowDllEntry; the
// executable when they are linked into a program).
HINSTANCE DShowModule();
