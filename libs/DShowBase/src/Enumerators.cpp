#include "Enumerators.h"

#include <new>

#include "DShowBase/Source.h"

CEnumPins::CEnumPins(CSource* filter, int position, LONG version)
    : CUnknown(L"pin enumerator", nullptr), m_filter(filter), m_position(position), m_version(version) {
    m_filter->AddRef();
}

CEnumPins::~CEnumPins() { m_filter->Release(); }

HRESULT STDMETHODCALLTYPE CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (!pins) return E_POINTER;
    // Without a place for the number fetched only one pin may be asked for.
    if (!fetched && count != 1) return E_INVALIDARG;
    if (m_version != m_filter->PinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;

    ULONG got = 0;
    const int total = m_filter->GetPinCount();
    while (got < count && m_position < total) {
        CSourceStream* pin = m_filter->GetPin(m_position++);
        if (!pin) break;
        pins[got] = pin;
        pin->AddRef();
        ++got;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG count) {
    if (m_version != m_filter->PinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    const int left = m_filter->GetPinCount() - m_position;
    if (left < 0 || count > static_cast<ULONG>(left)) {
        m_position = m_filter->GetPinCount();
        return S_FALSE;
    }
    m_position += static_cast<int>(count);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
    m_version = m_filter->PinVersion();
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** copy) {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    if (m_version != m_filter->PinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumPins* other = new (std::nothrow) CEnumPins(m_filter, m_position, m_version);
    if (!other) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumPins*>(other), reinterpret_cast<void**>(copy));
}

CEnumMediaTypes::CEnumMediaTypes(CSourceStream* pin, int position)
    : CUnknown(L"media type enumerator", nullptr), m_pin(pin), m_position(position) {
    m_pin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pin->Release(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IEnumMediaTypes) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (!types) return E_POINTER;
    if (!fetched && count != 1) return E_INVALIDARG;

    ULONG got = 0;
    while (got < count) {
        CMediaType mt;
        if (m_pin->GetMediaType(m_position, &mt) != S_OK) break;
        AM_MEDIA_TYPE* copy = CreateMediaType(&mt);
        if (!copy) break;
        types[got++] = copy;
        ++m_position;
    }
    if (fetched) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG count) {
    while (count > 0) {
        CMediaType mt;
        if (m_pin->GetMediaType(m_position, &mt) != S_OK) return S_FALSE;
        ++m_position;
        --count;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** copy) {
    if (!copy) return E_POINTER;
    CEnumMediaTypes* other = new (std::nothrow) CEnumMediaTypes(m_pin, m_position);
    if (!other) {
        *copy = nullptr;
        return E_OUTOFMEMORY;
    }
    return GetInterface(static_cast<IEnumMediaTypes*>(other), reinterpret_cast<void**>(copy));
}
