#include "ValueText.h"

#include <charconv>
#include <system_error>

#include "IniDocument.h"

namespace zxcfg {
namespace {

// The text between surrounding blanks, as [first, last).
void Bounds(const std::string& text, const char*& first, const char*& last) {
    first = text.data();
    last = text.data() + text.size();
    while (first < last && (*first == ' ' || *first == '\t')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t')) --last;
}

// from_chars reads no leading '+'; a person may well write one.
void SkipPlus(const char*& first, const char* last) {
    if (last - first >= 2 && *first == '+' && first[1] != '-' && first[1] != '+') ++first;
}

template <typename T>
bool ParseWhole(const std::string& text, T& out, int base) {
    const char* first;
    const char* last;
    Bounds(text, first, last);
    SkipPlus(first, last);
    if (first == last) return false;
    T value{};
    auto result = std::from_chars(first, last, value, base);
    if (result.ec != std::errc() || result.ptr != last) return false;
    out = value;
    return true;
}

}  // namespace

bool ParseInt(const std::string& text, int& out) { return ParseWhole(text, out, 10); }

bool ParseInt64(const std::string& text, int64_t& out) { return ParseWhole(text, out, 10); }

bool ParseUInt(const std::string& text, uint32_t& out) {
    const char* first;
    const char* last;
    Bounds(text, first, last);
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        uint32_t value = 0;
        auto result = std::from_chars(first + 2, last, value, 16);
        if (result.ec != std::errc() || result.ptr != last) return false;
        out = value;
        return true;
    }
    return ParseWhole(text, out, 10);
}

bool ParseDouble(const std::string& text, double& out) {
    const char* first;
    const char* last;
    Bounds(text, first, last);
    SkipPlus(first, last);
    if (first == last) return false;
    double value = 0;
    auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last) return false;
    out = value;
    return true;
}

bool ParseBool(const std::string& text, bool& out) {
    const char* first;
    const char* last;
    Bounds(text, first, last);
    std::string word(first, last);
    if (word == "1" || NamesEqual(word, "true") || NamesEqual(word, "yes")) {
        out = true;
        return true;
    }
    if (word == "0" || NamesEqual(word, "false") || NamesEqual(word, "no")) {
        out = false;
        return true;
    }
    return false;
}

std::string FormatInt64(int64_t value) {
    char buf[32];
    auto result = std::to_chars(buf, buf + sizeof(buf), value);
    return std::string(buf, result.ptr);
}

std::string FormatUInt(uint32_t value) {
    char buf[16];
    auto result = std::to_chars(buf, buf + sizeof(buf), value);
    return std::string(buf, result.ptr);
}

std::string FormatDouble(double value) {
    // Shortest text that reads back as the same double.
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof(buf), value);
    if (result.ec != std::errc()) return std::string();
    return std::string(buf, result.ptr);
}

}  // namespace zxcfg
