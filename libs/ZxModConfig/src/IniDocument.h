// The in-memory form of the INI file: every line of the file as it was read,
// so that a rewrite changes only the lines of the keys that were set.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zxcfg {

// What Parse noticed about the text, for the log.
struct ParseReport {
    size_t ignoredLines = 0;       // lines that are neither comment, section nor "key=value" in a section
    size_t firstIgnoredLine = 0;   // 1-based number of the first of them
    size_t badHeaders = 0;         // "[" lines without "]" or with an empty name
    size_t firstBadHeader = 0;
};

class IniDocument {
public:
    // Replaces the document by the lines of the text (UTF-8, BOM already
    // removed). Lines end in CRLF, LF or CR.
    void Parse(const std::string& text, ParseReport* report);

    // The whole file: untouched lines exactly as read, changed and new lines
    // as "key=value", each line ended by CRLF.
    std::string Serialize() const;

    void Clear() { m_lines.clear(); }

    // The value of the first copy of the key in the first section of that
    // name that holds it.
    bool Find(const std::string& section, const std::string& key, std::string& value) const;

    // Sets the first copy of the key, or adds the key after the last key of
    // the first section of that name, or adds the section at the end.
    // Returns true when the document changed.
    bool Set(const std::string& section, const std::string& key, const std::string& value);

    // Removes every copy of the key from every section of that name. Returns
    // true when the document changed.
    bool Remove(const std::string& section, const std::string& key);

private:
    enum class Kind { kOther, kSection, kKey };
    struct Line {
        Kind kind = Kind::kOther;
        std::string text;   // the line as read (without its line end)
        std::string name;   // section or key name, trimmed
        std::string value;  // decoded value of a key line
        bool matchable = true;  // false for a section header that names nothing
        bool rewrite = false;   // true: write from name and value, not text
    };

    std::vector<Line> m_lines;
};

// ASCII case-insensitive equality of names.
bool NamesEqual(const std::string& a, const std::string& b);

// Whether a name can be stored and read back as the same name.
bool IsValidSectionName(const std::string& name);
bool IsValidKeyName(const std::string& name);

// The text after "key=" that reads back as exactly the value: the value
// itself, or a double-quoted form with C escapes when the raw form would not
// survive (line breaks, leading or trailing blanks, a leading quote).
std::string EncodeValue(const std::string& value);

// The value of the text after "key=" (already trimmed of blanks).
std::string DecodeValue(const std::string& text);

}  // namespace zxcfg
