// Small helpers shared by the library.
#include "DuiLib/UIDefine.h"
#include "DuiLib/UIMarkup.h"

#include <cstdarg>
#include <cstdio>

#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

namespace DuiLib {

std::wstring ToW(const std::string& s) { return Charset::String2WString(s); }
std::string ToU8(const std::wstring& s) { return Charset::WString2String(s); }

bool ParseRect(const std::string& text, RECT& out) {
    int v[4];
    if (!ParseIntList(text, v, 4)) return false;
    out = RECT{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSize(const std::string& text, SIZE& out) {
    int v[2];
    if (!ParseIntList(text, v, 2)) return false;
    out = SIZE{v[0], v[1]};
    return true;
}

bool CMarkup::LoadFromFile(const std::string& path) {
    m_valid = false;
    FILE* f = _wfopen(ToW(path).c_str(), L"rb");
    if (!f) {
        m_error = "cannot open the file";
        m_errorLine = 0;
        return false;
    }
    std::string data;
    char buf[16384];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    fclose(f);
    return Load(data);
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
