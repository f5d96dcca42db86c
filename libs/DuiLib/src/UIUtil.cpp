// Small helpers shared by the library.
#include "DuiLib/UIDefine.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

namespace DuiLib {

std::wstring ToW(const std::string& s) { return Charset::String2WString(s); }
std::string ToU8(const std::wstring& s) { return Charset::WString2String(s); }

namespace {
// Reads count integers separated by commas; false unless exactly count.
bool ParseInts(const std::string& text, long* out, int count) {
    const char* p = text.c_str();
    for (int i = 0; i < count; ++i) {
        while (*p == ' ' || *p == '\t') ++p;
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p) return false;
        out[i] = v;
        p = end;
        while (*p == ' ' || *p == '\t') ++p;
        if (i + 1 < count) {
            if (*p != ',') return false;
            ++p;
        }
    }
    return *p == '\0';
}
}  // namespace

bool ParseRect(const std::string& text, RECT& out) {
    long v[4];
    if (!ParseInts(text, v, 4)) return false;
    out = RECT{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSize(const std::string& text, SIZE& out) {
    long v[2];
    if (!ParseInts(text, v, 2)) return false;
    out = SIZE{v[0], v[1]};
    return true;
}

bool ParseBool(const std::string& text, bool& out) {
    if (text == "true" || text == "1") { out = true; return true; }
    if (text == "false" || text == "0") { out = false; return true; }
    return false;
}

bool ParseInt(const std::string& text, int& out) {
    long v[1];
    if (!ParseInts(text, v, 1)) return false;
    out = static_cast<int>(v[0]);
    return true;
}

void DuiLog(int level, const char* module, const char* format, ...) {
    char buf[2048];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    YL_Log("DuiLib.txt", level, module, "%s", buf);
}

}  // namespace DuiLib
