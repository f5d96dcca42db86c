// Reading log files back in the tests.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

namespace zxlogtest {

struct LogLine {
    std::string stamp;  // "YYYY-MM-DD HH:MM:SS.mmm"
    unsigned long thread = 0;
    int level = 0;
    std::string module;
    std::string text;
};

inline bool IsHeader(const LogLine& l) { return l.module == "ZxLog" && l.text.compare(0, 5, "==== ") == 0; }

// "2026-12-06 21:40:01.123 T<thread> L<level> <module> | <text>"
inline bool ParseLine(const std::string& raw, LogLine& out) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd T";
    const size_t shape = sizeof(kShape) - 1;
    if (raw.size() < shape) return false;
    for (size_t i = 0; i < shape; ++i) {
        const bool ok = kShape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(raw[i])) != 0 : raw[i] == kShape[i];
        if (!ok) return false;
    }
    out.stamp = raw.substr(0, 23);
    size_t p = shape, start = p;
    while (p < raw.size() && std::isdigit(static_cast<unsigned char>(raw[p]))) ++p;
    if (p == start || raw.compare(p, 2, " L") != 0) return false;
    out.thread = std::stoul(raw.substr(start, p - start));
    p += 2;
    start = p;
    if (p < raw.size() && raw[p] == '-') ++p;
    while (p < raw.size() && std::isdigit(static_cast<unsigned char>(raw[p]))) ++p;
    if (p == start || p >= raw.size() || raw[p] != ' ') return false;
    out.level = std::stoi(raw.substr(start, p - start));
    const size_t bar = raw.find(" | ", p + 1);
    if (bar == std::string::npos || bar == p + 1) return false;
    out.module = raw.substr(p + 1, bar - p - 1);
    out.text = raw.substr(bar + 3);
    return raw.find_first_of("\r\n") == std::string::npos;
}

// Every line of the file; each must end in CR LF and parse (failures are
// reported). A missing file gives no lines.
inline std::vector<LogLine> ReadLog(const std::string& path) {
    std::vector<LogLine> lines;
    const std::string data = zxtest::ReadFile(path);
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find("\r\n", pos);
        if (end == std::string::npos) {
            ADD_FAILURE() << path << ": last line has no CR LF: " << data.substr(pos, 200);
            break;
        }
        LogLine line;
        if (!ParseLine(data.substr(pos, end - pos), line))
            ADD_FAILURE() << path << ": bad line: " << data.substr(pos, std::min<size_t>(end - pos, 200));
        else
            lines.push_back(line);
        pos = end + 2;
    }
    return lines;
}

// The lines without the headers each process writes first.
inline std::vector<LogLine> Body(const std::vector<LogLine>& lines) {
    std::vector<LogLine> body;
    for (const auto& l : lines)
        if (!IsHeader(l)) body.push_back(l);
    return body;
}

// The named mutex every writer of the file takes: "Local\ZxLog_" and the MD5
// of the full path lower-cased. Computed here independently, since other
// processes (and other builds of the log) must agree on it.
inline std::wstring MutexNameFor(const std::string& path) {
    std::wstring w = Charset::String2WString(path);
    wchar_t full[4096];
    DWORD n = GetFullPathNameW(w.c_str(), 4096, full, nullptr);
    std::wstring lower(n, L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, full, static_cast<int>(n), &lower[0], static_cast<int>(n),
                  nullptr, nullptr, 0);
    return L"Local\\ZxLog_" + Charset::String2WString(Entrypt::GenerateMD5(Charset::WString2String(lower)));
}

// The files and folders in a folder (full paths).
inline std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> entries;
    Dir::FindAllFiles(entries, folder, "*", Dir::kFindFiles | Dir::kFindFolders);
    return entries;
}

}  // namespace zxlogtest
