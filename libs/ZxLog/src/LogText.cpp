#include "LogText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace zxlog {

namespace {

// Widest field a format may ask for. The mingw-w64 printf builds padded
// numbers in a stack buffer of the field's size, so "%100000000d" overflows
// the stack and kills the program; no log line needs fields this wide.
constexpr unsigned long kMaxField = 4096;

// Reads a decimal field size, saturating instead of overflowing.
unsigned long ReadNumber(const char*& p) {
    unsigned long n = 0;
    while (*p >= '0' && *p <= '9') {
        if (n <= kMaxField) n = n * 10 + static_cast<unsigned long>(*p - '0');
        ++p;
    }
    return n;
}

// True when a conversion of the format has an explicit width, or a precision
// on anything but a string, larger than kMaxField. (A '*' takes its size
// from the arguments and is not checked.)
bool HasOversizedField(const char* p) {
    while ((p = std::strchr(p, '%')) != nullptr) {
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        while (*p && std::strchr("-+ #0'", *p)) ++p;
        if (*p == '*') ++p;
        const unsigned long width = ReadNumber(p);
        unsigned long precision = 0;
        if (*p == '.') {
            ++p;
            if (*p == '*') ++p;
            precision = ReadNumber(p);
        }
        while (*p && std::strchr("hlLqjztI0123456789", *p)) ++p;  // size modifiers, "I64" included
        const bool text = *p == 's' || *p == 'S';
        if (width > kMaxField || (!text && precision > kMaxField)) return true;
        if (*p) ++p;
    }
    return false;
}

}  // namespace

FormatResult FormatText(std::string& out, const char* format, va_list args) noexcept {
    if (HasOversizedField(format)) return FormatResult::kBadFormat;
    try {
        // Most messages fit the stack buffer; a longer one is formatted a
        // second time into a buffer of the size the first pass reported.
        char small[1024];
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(small, sizeof(small), format, copy);
        va_end(copy);
        if (n < 0) return FormatResult::kBadFormat;
        const size_t full = static_cast<size_t>(n);
        if (full < sizeof(small)) {
            out.assign(small, full);
            return FormatResult::kOk;
        }
        const size_t keep = std::min(full, kMaxTextBytes);
        out.assign(keep + 1, '\0');
        va_copy(copy, args);
        n = std::vsnprintf(&out[0], keep + 1, format, copy);
        va_end(copy);
        if (n < 0) return FormatResult::kBadFormat;
        out.resize(keep);
        if (full > keep) {
            out.resize(Utf8Boundary(out, keep));
            out += " ...[" + std::to_string(full - out.size()) + " more bytes cut]";
        }
        return FormatResult::kOk;
    } catch (...) {
        return FormatResult::kNoMemory;
    }
}

void MakeOneLine(std::string& text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    size_t to = 0;
    for (size_t from = 0; from < text.size(); ++from) {
        const unsigned char c = static_cast<unsigned char>(text[from]);
        if (c == '\r' && from + 1 < text.size() && text[from + 1] == '\n') ++from;  // CR LF is one break
        text[to++] = (c < 0x20 && c != '\t') || c == 0x7f ? ' ' : static_cast<char>(c);
    }
    text.resize(to);
}

std::string OneLine(const char* text, size_t maxBytes) {
    if (!text) return "(null)";
    std::string out(text, strnlen(text, maxBytes + 1));
    if (out.size() > maxBytes) out.resize(Utf8Boundary(out, maxBytes));
    MakeOneLine(out);
    return out;
}

size_t Utf8Boundary(const std::string& text, size_t at) {
    if (at >= text.size()) return text.size();
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

std::string BuildLine(const SYSTEMTIME& time, unsigned long threadId, int level, const std::string& module,
                      const std::string& text) {
    char head[96];
    int n = std::snprintf(head, sizeof(head), "%04u-%02u-%02u %02u:%02u:%02u.%03u T%lu L%d ",
                          static_cast<unsigned>(time.wYear), static_cast<unsigned>(time.wMonth),
                          static_cast<unsigned>(time.wDay), static_cast<unsigned>(time.wHour),
                          static_cast<unsigned>(time.wMinute), static_cast<unsigned>(time.wSecond),
                          static_cast<unsigned>(time.wMilliseconds), threadId, level);
    if (n < 0) n = 0;
    std::string line;
    line.reserve(static_cast<size_t>(n) + module.size() + text.size() + 5);
    line.append(head, static_cast<size_t>(n));
    line += module;
    line += " | ";
    line += text;
    line += "\r\n";
    return line;
}

std::string OwnLine(int level, const std::string& text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return BuildLine(now, GetCurrentThreadId(), level, kOwnModule, text);
}

namespace {

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices whatever extension
// follows them ("NUL.txt" is the null device too).
bool IsDeviceName(const char* name) {
    std::string base(name, strcspn(name, "."));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsBareFileName(const char* name) {
    if (!name) return false;
    const size_t n = strnlen(name, kMaxFileNameBytes + 1);
    if (n == 0 || n > kMaxFileNameBytes) return false;
    if (std::strstr(name, "..")) return false;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7f || std::strchr("<>:\"/\\|?*", c)) return false;
    }
    if (name[n - 1] == '.' || name[n - 1] == ' ') return false;  // Windows would drop them silently
    return !IsDeviceName(name);
}

}  // namespace zxlog
