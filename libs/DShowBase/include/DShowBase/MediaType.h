// AM_MEDIA_TYPE with value semantics, and the functions that copy and free
// media types handed across COM calls.
//
// A media type's format block lives in task memory (CoTaskMemAlloc), so a
// copy given to a client can be freed by it with CoTaskMemFree or
// DeleteMediaType, and the object in pUnk holds one reference per copy.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <dshow.h>

// Frees the format block and the pUnk reference of mt, leaving it empty of
// both; the structure itself stays.
void FreeMediaType(AM_MEDIA_TYPE& mt);

// Frees a media type allocated by CreateMediaType (or by a COM call that
// hands one out): its format block, its pUnk reference and the structure.
void DeleteMediaType(AM_MEDIA_TYPE* mt);

// Deep copy into target (whose previous content is not freed).
// E_OUTOFMEMORY when the format block cannot be allocated: target then
// holds no format block.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// A deep copy in task memory, for handing out; null when out of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID& majorType);
    CMediaType(const AM_MEDIA_TYPE& other);  // NOLINT: converts like the structure it extends
    CMediaType(const CMediaType& other);
    CMediaType& operator=(const AM_MEDIA_TYPE& other);
    CMediaType& operator=(const CMediaType& other);
    ~CMediaType();

    // Equal major type, subtype, format type, format size and format bytes.
    bool operator==(const CMediaType& other) const;
    bool operator!=(const CMediaType& other) const { return !(*this == other); }
    static bool Equal(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);

    // A major type is set.
    bool IsValid() const { return majortype != GUID_NULL; }
    // The major type or the subtype is GUID_NULL, or the format type is
    // GUID_NULL: such a type names a family of types rather than one.
    bool IsPartiallySpecified() const;
    // True when every field partial sets matches this type; a GUID_NULL field
    // of partial matches anything, and a format type of GUID_NULL any format.
    bool MatchesPartial(const AM_MEDIA_TYPE& partial) const;

    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }

    void SetType(const GUID& type) { majortype = type; }
    void SetSubtype(const GUID& type) { subtype = type; }
    void SetFormatType(const GUID& type) { formattype = type; }
    void SetSampleSize(ULONG size);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }

    // A zeroed format block of length bytes (replacing the old one); null
    // when out of memory, which leaves the type without a format block.
    BYTE* AllocFormatBuffer(ULONG length);
    // Copies length bytes in as the format block; false when out of memory.
    bool SetFormat(const BYTE* format, ULONG length);
    void ResetFormatBuffer();

    // Frees everything and returns the type to its initial state.
    void Reset();

private:
    void Init();
};
