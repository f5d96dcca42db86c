// The enumerators a filter and a pin hand out. Each holds a reference to the
// object it enumerates, so the filter outlives it.
#pragma once

#include <windows.h>

#include <dshow.h>

#include "DShowBase/ComBase.h"

class CSource;
class CSourceStream;

class CEnumPins : public CUnknown, public IEnumPins {
public:
    CEnumPins(CSource* filter, int position, LONG version);
    ~CEnumPins() override;

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // VFW_E_ENUM_OUT_OF_SYNC once the filter's pins changed; Reset
    // synchronises again.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** copy) override;

private:
    CSource* m_filter;
    int m_position;
    LONG m_version;
};

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
public:
    CEnumMediaTypes(CSourceStream* pin, int position);
    ~CEnumMediaTypes() override;

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Each type handed out is a copy in task memory for the caller to free
    // (DeleteMediaType).
    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** copy) override;

private:
    CSourceStream* m_pin;
    int m_position;
};
