#include "ZxLib/ZxLib.h"

#include <windows.h>

#include <algorithm>

using Charset::String2WString;
using Charset::WString2String;

namespace Dir {
namespace {

// Upper case as the file system compares names (simple one-to-one mapping,
// independent of the user's locale).
std::wstring Upper(const std::wstring& text) {
    std::wstring out = text;
    if (!out.empty()) CharUpperBuffW(&out[0], static_cast<DWORD>(out.size()));
    return out;
}

// '*' and '?' matching with one backtrack point per star, which is enough
// because a later star can always absorb what an earlier one would have.
bool Match(const std::wstring& name, const std::wstring& pattern) {
    size_t n = 0, p = 0;
    size_t starP = std::wstring::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

bool NameLess(const std::wstring& a, const std::wstring& b) {
    int c = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
    if (c != CSTR_EQUAL) return c == CSTR_LESS_THAN;
    return a < b;  // names differing only in case: a fixed order all the same
}

}  // namespace

bool MatchFileName(const std::string& name, const std::string& pattern) {
    return Match(Upper(String2WString(name)), Upper(String2WString(pattern)));
}

bool FindAllFiles(std::vector<std::string>& list, const std::string& folder, const std::string& pattern, int flags) {
    if (folder.empty()) return false;
    std::wstring base = String2WString(WithSlash(folder));
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW((base + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring upperPattern = Upper(String2WString(pattern));
    std::vector<std::wstring> names;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!(flags & (isFolder ? kFindFolders : kFindFiles))) continue;
        if (Match(Upper(name), upperPattern)) names.push_back(name);
    } while (FindNextFileW(h, &data));
    FindClose(h);
    std::sort(names.begin(), names.end(), NameLess);
    for (const std::wstring& name : names) list.push_back(WString2String(base + name));
    return true;
}

}  // namespace Dir
