// The text rules of skin attribute values; no Windows headers here.
#include "DuiLib/UIValueText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace DuiLib {

bool ParseIntList(const std::string& text, int* out, int count) {
    const char* p = text.c_str();
    const char* const last = p + text.size();
    std::vector<int> read(static_cast<size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        while (*p == ' ' || *p == '\t') ++p;
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
        read[static_cast<size_t>(i)] = static_cast<int>(v);
        p = end;
        while (*p == ' ' || *p == '\t') ++p;
        if (i + 1 < count) {
            if (*p != ',') return false;
            ++p;
        }
    }
    // The whole text: a zero byte inside it does not end it early.
    if (p != last) return false;
    for (int i = 0; i < count; ++i) out[i] = read[static_cast<size_t>(i)];
    return true;
}

bool ParseBool(const std::string& text, bool& out) {
    if (text == "true" || text == "1") { out = true; return true; }
    if (text == "false" || text == "0") { out = false; return true; }
    return false;
}

bool ParseInt(const std::string& text, int& out) { return ParseIntList(text, &out, 1); }

uint32_t ParseColor(const std::string& text) {
    std::string s = text;
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    if (s.empty()) return 0;
    int base = 10;
    if (s[0] == '#') {
        s = s.substr(1);
        base = 16;
        if (s.size() == 6) s = "FF" + s;
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s = s.substr(2);
        base = 16;
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s.c_str(), &end, base);
    return static_cast<uint32_t>(v);
}

std::vector<std::pair<std::string, std::string>> SplitImageString(const std::string& s) {
    std::vector<std::pair<std::string, std::string>> out;
    if (s.find('\'') == std::string::npos) {
        out.emplace_back("file", s);
        return out;
    }
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == ',')) ++i;
        size_t eq = s.find('=', i);
        if (eq == std::string::npos) break;
        std::string key = s.substr(i, eq - i);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        size_t q1 = s.find('\'', eq);
        if (q1 == std::string::npos) break;
        size_t q2 = s.find('\'', q1 + 1);
        if (q2 == std::string::npos) break;
        out.emplace_back(key, s.substr(q1 + 1, q2 - q1 - 1));
        i = q2 + 1;
    }
    return out;
}

}  // namespace DuiLib
