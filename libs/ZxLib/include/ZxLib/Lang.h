// Lang: the language the program speaks and its texts by key.
//
// Every user-visible text has a stable key (for example "check.title") and
// one entry per language in the text tables resources/lang/zh.txt (the
// program's own Chinese texts, the default) and resources/lang/en.txt,
// which are built into this library. A key the current language has no
// entry for shows its Chinese text, and a key neither table knows shows the
// key itself, so a missing entry is visible but never empty.
//
// Table files are UTF-8, one entry a line: "key = text". Lines starting
// with '#' and blank lines are skipped; in a text "\n" is a line break and
// "\\" a backslash; "{1}", "{2}"... are the places Format fills in.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace Lang {

enum class Language { Chinese, English };

// The user's choice, as stored in the settings: follow Windows, or one of
// the two languages.
enum class Choice { AsWindows, Chinese, English };

// Chinese for any Chinese Windows display language (Simplified or
// Traditional, any region), English for every other.
Language FromUiLanguage(unsigned short langId);
// The language of the signed-in user's Windows display language.
Language WindowsLanguage();
Language Resolve(Choice choice);

// The stored names of the choices: "auto", "zh" and "en"; anything else
// read back is not a choice (ParseChoice returns false).
const char* ChoiceName(Choice choice);
bool ParseChoice(const std::string& name, Choice& choice);

// One language's table.
class Table {
public:
    // Parses table text; lines that are not "key = text" are skipped and
    // counted. A later entry of a key replaces an earlier one.
    static Table Parse(const std::string& utf8, int* skippedLines = nullptr);
    // The entry of key, or nullptr.
    const std::wstring* Find(const std::string& key) const;
    std::vector<std::string> Keys() const;
    size_t Size() const { return m_entries.size(); }

private:
    std::map<std::string, std::wstring> m_entries;
};

// The built-in tables.
const Table& BuiltIn(Language language);

// The language texts are given in; at start the Windows display language
// (or ZXVCAM_LANG, "zh" or "en", where that is set).
// Safe to call from any thread; a window that shows texts reads them again
// when the language changes.
void SetCurrent(Language language);
Language Current();

// The name of the registered window message (RegisterWindowMessageW) the
// program sends to each of its top-level windows after the language has
// changed: a window that sets texts from its own code sets them again.
constexpr const wchar_t* kChangedMessage = L"ZxVCam.LanguageChanged";

// The text of key in the current language (see the top of this file for
// what a missing entry gives).
std::wstring Text(const std::string& key);
// The same from the given tables, for tests of other tables.
std::wstring Text(const Table& own, const Table& chinese, const std::string& key);

// The same in UTF-8 (for the skinned windows, whose texts are UTF-8).
std::string TextUtf8(const std::string& key);
// The current language's own entry for key, in UTF-8; false where it has
// none (a skin then shows its own text, the Chinese one). The form the
// skinned-window library takes as its text lookup.
bool LookUp(const std::string& key, std::string& utf8);

// The text of key with {1}, {2}... replaced by the arguments in turn; a
// place with no argument stays as it is, an argument with no place is left
// out. Arguments are inserted as they are, never read as places.
std::wstring Format(const std::string& key, const std::vector<std::wstring>& args);
std::wstring FormatText(const std::wstring& text, const std::vector<std::wstring>& args);
std::string FormatUtf8(const std::string& key, const std::vector<std::string>& args);

}  // namespace Lang
