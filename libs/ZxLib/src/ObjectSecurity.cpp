#include "ZxLib/ObjectSecurity.h"

namespace ObjectSecurity {

namespace {

// The token the object is created under: the thread's when it impersonates,
// else the process's. Both the owner and the label must be ones it may set.
HANDLE EffectiveToken() {
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return token;
    return nullptr;
}

std::vector<BYTE> TokenData(HANDLE token, TOKEN_INFORMATION_CLASS what) {
    DWORD length = 0;
    GetTokenInformation(token, what, nullptr, 0, &length);
    if (length == 0) return {};
    std::vector<BYTE> data(length);
    if (!GetTokenInformation(token, what, data.data(), length, &length)) return {};
    return data;
}

DWORD TokenLevel(HANDLE token) {
    const std::vector<BYTE> data = TokenData(token, TokenIntegrityLevel);
    if (data.empty()) return SECURITY_MANDATORY_MEDIUM_RID;
    PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(data.data())->Label.Sid;
    if (!sid || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) return SECURITY_MANDATORY_MEDIUM_RID;
    return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
}

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD length = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &length)) return {};
    sid.resize(length);
    return sid;
}

std::vector<BYTE> LabelSid(DWORD level) {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    std::vector<BYTE> sid(GetSidLengthRequired(1));
    if (!InitializeSid(sid.data(), &authority, 1)) return {};
    *GetSidSubAuthority(sid.data(), 0) = level;
    return sid;
}

DWORD AceBytes(PSID sid) { return static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(sid); }

}  // namespace

DWORD OwnerRights(Kind kind) {
    switch (kind) {
    case Kind::Mapping: return SECTION_ALL_ACCESS;
    case Kind::Event: return EVENT_ALL_ACCESS;
    case Kind::Mutex: return MUTEX_ALL_ACCESS;
    }
    return 0;
}

DWORD ReaderRights(Kind kind) {
    switch (kind) {
    case Kind::Mapping: return SECTION_MAP_READ | SECTION_QUERY;
    case Kind::Event:
    case Kind::Mutex: return SYNCHRONIZE;
    }
    return 0;
}

DWORD LabelLevel() {
    HANDLE token = EffectiveToken();
    if (!token) return SECURITY_MANDATORY_MEDIUM_RID;
    const DWORD level = TokenLevel(token);
    CloseHandle(token);
    return level < SECURITY_MANDATORY_MEDIUM_RID ? level : SECURITY_MANDATORY_MEDIUM_RID;
}

SharedObjectSecurity::SharedObjectSecurity(Kind kind) {
    HANDLE token = EffectiveToken();
    if (!token) return;
    const std::vector<BYTE> userData = TokenData(token, TokenUser);
    const DWORD tokenLevel = TokenLevel(token);
    CloseHandle(token);
    if (userData.empty()) return;
    PSID user = reinterpret_cast<const TOKEN_USER*>(userData.data())->User.Sid;
    std::vector<BYTE> system = WellKnownSid(WinLocalSystemSid);
    std::vector<BYTE> restricted = WellKnownSid(WinRestrictedCodeSid);
    std::vector<BYTE> label =
        LabelSid(tokenLevel < SECURITY_MANDATORY_MEDIUM_RID ? tokenLevel : SECURITY_MANDATORY_MEDIUM_RID);
    if (!user || system.empty() || restricted.empty() || label.empty()) return;

    const DWORD daclBytes = sizeof(ACL) + AceBytes(user) + AceBytes(system.data()) + AceBytes(restricted.data());
    const DWORD saclBytes =
        sizeof(ACL) + static_cast<DWORD>(sizeof(SYSTEM_MANDATORY_LABEL_ACE) - sizeof(DWORD)) + GetLengthSid(label.data());
    std::vector<BYTE> dacl(daclBytes), sacl(saclBytes);
    PACL daclPtr = reinterpret_cast<PACL>(dacl.data());
    PACL saclPtr = reinterpret_cast<PACL>(sacl.data());
    if (!InitializeAcl(daclPtr, daclBytes, ACL_REVISION) ||
        !AddAccessAllowedAce(daclPtr, ACL_REVISION, OwnerRights(kind), user) ||
        !AddAccessAllowedAce(daclPtr, ACL_REVISION, OwnerRights(kind), system.data()) ||
        !AddAccessAllowedAce(daclPtr, ACL_REVISION, ReaderRights(kind), restricted.data()))
        return;
    if (!InitializeAcl(saclPtr, saclBytes, ACL_REVISION) ||
        !AddMandatoryAce(saclPtr, ACL_REVISION, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, label.data()))
        return;

    SECURITY_DESCRIPTOR absolute;
    if (!InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorOwner(&absolute, user, FALSE) ||
        !SetSecurityDescriptorDacl(&absolute, TRUE, daclPtr, FALSE) ||
        !SetSecurityDescriptorSacl(&absolute, TRUE, saclPtr, FALSE) ||
        !SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return;
    DWORD length = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &length);
    if (length == 0) return;
    std::vector<BYTE> relative(length);
    if (!MakeSelfRelativeSD(&absolute, relative.data(), &length)) return;
    m_sd = std::move(relative);
    m_sa.nLength = sizeof(m_sa);
    m_sa.lpSecurityDescriptor = m_sd.data();
    m_sa.bInheritHandle = FALSE;
}

}  // namespace ObjectSecurity
