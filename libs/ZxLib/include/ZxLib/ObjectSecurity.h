// Security for the named objects the program's processes share with each
// other and with the camera inside client programs (the frame channel's
// mapping and events, the single-instance mutex).
//
// Without it such an object takes the default security of the token that
// creates it first: created by an elevated process it is owned by the
// Administrators group, opened only by elevated processes and labelled high,
// so the user's ordinary programs cannot open it at all. The descriptor
// built here instead says:
//   owner   the user of the creating process;
//   DACL    (protected, nothing inherited)
//           allow the user every right of the object (elevated or not: both
//           tokens carry the same user),
//           allow LocalSystem every right,
//           allow RESTRICTED (S-1-5-12) the reader's rights only, so a
//           process of the user whose token is restricted to that SID (a
//           sandbox) still reads and waits;
//   label   medium, no-write-up: a low-integrity process of the user (a
//           sandboxed browser process) may read and wait but never write;
//           the user's ordinary processes and elevated ones use the object
//           as the DACL says. A creator below medium gets its own level,
//           the highest label it may set.
// A reader opens with ReaderRights of its kind; a writer or owner with
// OwnerRights.
#pragma once

#include <windows.h>

#include <vector>

namespace ObjectSecurity {

enum class Kind { Mapping, Event, Mutex };

// Every right of the kind (what the user and LocalSystem get).
DWORD OwnerRights(Kind kind);
// What a reader needs and a restricted reader gets: map for reading and ask
// about the section; wait on an event or mutex.
DWORD ReaderRights(Kind kind);

// The integrity level the label names: medium (SECURITY_MANDATORY_MEDIUM_RID),
// or the calling process's own level when that is lower.
DWORD LabelLevel();

// A self-relative security descriptor for objects of one kind, and the
// attributes to create them with. Attributes() is null when the descriptor
// could not be built (the caller then gets the default security, as before).
class SharedObjectSecurity {
public:
    explicit SharedObjectSecurity(Kind kind);
    SharedObjectSecurity(const SharedObjectSecurity&) = delete;
    SharedObjectSecurity& operator=(const SharedObjectSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return m_sd.empty() ? nullptr : &m_sa; }
    PSECURITY_DESCRIPTOR Descriptor() { return m_sd.empty() ? nullptr : m_sd.data(); }

private:
    std::vector<BYTE> m_sd;
    SECURITY_ATTRIBUTES m_sa{};
};

}  // namespace ObjectSecurity
