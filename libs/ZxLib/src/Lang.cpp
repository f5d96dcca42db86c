#include "ZxLib/Lang.h"

#include <windows.h>

#include <atomic>

#include "ZxLib/ZxLib.h"

// The table files as bytes, built in by the library's build (embed.cmake).
extern const unsigned char kLangTableZh[];
extern const unsigned kLangTableZhSize;
extern const unsigned char kLangTableEn[];
extern const unsigned kLangTableEnSize;

namespace Lang {
namespace {

std::atomic<int> g_current{-1};

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool ValidKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_')) return false;
    return true;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\')) {
            out += s[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

Language FromUiLanguage(unsigned short langId) {
    return PRIMARYLANGID(langId) == LANG_CHINESE ? Language::Chinese : Language::English;
}

Language WindowsLanguage() { return FromUiLanguage(GetUserDefaultUILanguage()); }

Language Resolve(Choice choice) {
    switch (choice) {
        case Choice::Chinese: return Language::Chinese;
        case Choice::English: return Language::English;
        default: return WindowsLanguage();
    }
}

const char* ChoiceName(Choice choice) {
    switch (choice) {
        case Choice::Chinese: return "zh";
        case Choice::English: return "en";
        default: return "auto";
    }
}

bool ParseChoice(const std::string& name, Choice& choice) {
    for (Choice c : {Choice::AsWindows, Choice::Chinese, Choice::English}) {
        if (name == ChoiceName(c)) {
            choice = c;
            return true;
        }
    }
    return false;
}

Table Table::Parse(const std::string& utf8, int* skippedLines) {
    Table table;
    int skipped = 0;
    size_t start = 0;
    // A byte-order mark is not part of the first key.
    if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos) end = utf8.size();
        const std::string line = Trim(utf8.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const std::string key = eq == std::string::npos ? std::string() : Trim(line.substr(0, eq));
        if (!ValidKey(key)) {
            ++skipped;
            continue;
        }
        table.m_entries[key] = Charset::String2WString(Unescape(Trim(line.substr(eq + 1))));
    }
    if (skippedLines) *skippedLines = skipped;
    return table;
}

const std::wstring* Table::Find(const std::string& key) const {
    auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second;
}

std::vector<std::string> Table::Keys() const {
    std::vector<std::string> keys;
    for (const auto& entry : m_entries) keys.push_back(entry.first);
    return keys;
}

const Table& BuiltIn(Language language) {
    // Parsed once, on first use (a function-local static is thread-safe).
    static const Table zh = Table::Parse(std::string(reinterpret_cast<const char*>(kLangTableZh), kLangTableZhSize));
    static const Table en = Table::Parse(std::string(reinterpret_cast<const char*>(kLangTableEn), kLangTableEnSize));
    return language == Language::Chinese ? zh : en;
}

void SetCurrent(Language language) { g_current = static_cast<int>(language); }

Language Current() {
    int current = g_current;
    if (current < 0) {
        // ZXVCAM_LANG ("zh" or "en") stands in for the Windows language: a
        // test or a support call can see the other language without
        // changing the system's.
        wchar_t forced[8] = L"";
        const DWORD n = GetEnvironmentVariableW(L"ZXVCAM_LANG", forced, 8);
        Choice choice = Choice::AsWindows;
        if (n > 0 && n < 8) ParseChoice(Charset::WString2String(forced), choice);
        current = static_cast<int>(Resolve(choice));
        int unset = -1;
        // A language set meanwhile wins over the default.
        if (!g_current.compare_exchange_strong(unset, current)) current = g_current;
    }
    return static_cast<Language>(current);
}

std::wstring Text(const Table& own, const Table& chinese, const std::string& key) {
    if (const std::wstring* text = own.Find(key)) return *text;
    if (const std::wstring* text = chinese.Find(key)) return *text;
    return Charset::String2WString(key);
}

std::wstring Text(const std::string& key) { return Text(BuiltIn(Current()), BuiltIn(Language::Chinese), key); }

std::wstring FormatText(const std::wstring& text, const std::vector<std::wstring>& args) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'{') {
            size_t j = i + 1;
            size_t n = 0;
            while (j < text.size() && text[j] >= L'0' && text[j] <= L'9' && j - i < 4) n = n * 10 + (text[j++] - L'0');
            if (j > i + 1 && j < text.size() && text[j] == L'}' && n >= 1 && n <= args.size()) {
                out += args[n - 1];
                i = j;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::wstring Format(const std::string& key, const std::vector<std::wstring>& args) {
    return FormatText(Text(key), args);
}

}  // namespace Lang
