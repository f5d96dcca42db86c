// The media source's side of the cross-session channel (GlobalChannel.h):
// it creates the mapping and both events in the Global\ namespace, each with
// an explicit security descriptor, before it opens them as a reader.
//
// Every object gets a protected DACL (no inherited entries) of three
// entries: full access for LocalSystem and for LOCAL SERVICE (the Frame
// Server's account, which creates and reads it), and full access for the
// interactive user's processes (INTERACTIVE), so the program publishes into
// it without any rights of its own. No other account, the network logon
// included, gets any access.
#pragma once

#include <windows.h>

// The DACLs, in the system's text form, with the objects' own full rights
// (SECTION_ALL_ACCESS and EVENT_ALL_ACCESS) spelt out, so they read back
// exactly as written.
inline constexpr wchar_t kMFGlobalMappingSddl[] = L"D:P(A;;0xf001f;;;SY)(A;;0xf001f;;;LS)(A;;0xf001f;;;IU)";
inline constexpr wchar_t kMFGlobalEventSddl[] = L"D:P(A;;0x1f0003;;;SY)(A;;0x1f0003;;;LS)(A;;0x1f0003;;;IU)";

// Creates (or finds) the three objects and keeps a handle to each while
// alive. Creating needs the right to create global objects, which services
// have and standard users do not; without it nothing is created.
class CMFGlobalObjects {
public:
    CMFGlobalObjects() = default;
    ~CMFGlobalObjects() { Close(); }
    CMFGlobalObjects(const CMFGlobalObjects&) = delete;
    CMFGlobalObjects& operator=(const CMFGlobalObjects&) = delete;

    // True when all three exist now.
    bool Create();
    void Close();

private:
    HANDLE m_mapping = nullptr;
    HANDLE m_readEvent = nullptr;
    HANDLE m_writeEvent = nullptr;
};
