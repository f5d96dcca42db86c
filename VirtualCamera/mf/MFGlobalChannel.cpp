#include "MFGlobalChannel.h"

#include <sddl.h>

#include <string>

#include "GlobalChannel.h"
#include "ShareMem.h"

namespace {

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

// Security attributes from a DACL in text form; the descriptor is freed
// with LocalFree.
bool MakeAttributes(const wchar_t* sddl, SECURITY_ATTRIBUTES& sa) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) return false;
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = sd;
    sa.bInheritHandle = FALSE;
    return true;
}

}  // namespace

bool CMFGlobalObjects::Create() {
    if (m_mapping && m_readEvent && m_writeEvent) return true;
    Close();
    SECURITY_ATTRIBUTES mappingSa = {}, eventSa = {};
    if (!MakeAttributes(kMFGlobalMappingSddl, mappingSa)) return false;
    if (!MakeAttributes(kMFGlobalEventSddl, eventSa)) {
        LocalFree(mappingSa.lpSecurityDescriptor);
        return false;
    }
    m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &mappingSa, PAGE_READWRITE, 0, kShareMemSize,
                                   Wide(kGlobalChannelFileName).c_str());
    // The same kind as the channel's events: auto-reset, unsignalled.
    m_readEvent = CreateEventW(&eventSa, FALSE, FALSE, Wide(kGlobalChannelReadEvent).c_str());
    m_writeEvent = CreateEventW(&eventSa, FALSE, FALSE, Wide(kGlobalChannelWriteEvent).c_str());
    LocalFree(mappingSa.lpSecurityDescriptor);
    LocalFree(eventSa.lpSecurityDescriptor);
    if (m_mapping && m_readEvent && m_writeEvent) return true;
    Close();
    return false;
}

void CMFGlobalObjects::Close() {
    for (HANDLE* h : {&m_mapping, &m_readEvent, &m_writeEvent}) {
        if (*h) CloseHandle(*h);
        *h = nullptr;
    }
}
