#include "IniDocument.h"

namespace zxcfg {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Reads a double-quoted value. False when the text is not exactly one quoted
// string (no closing quote, or more text after it); the caller then takes
// the text as it is.
bool Unquote(const std::string& text, std::string& out) {
    out.clear();
    size_t i = 1;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') break;
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            switch (n) {
                case '\\': out += '\\'; break;
                case '"': out += '"'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                default:
                    // Not one of ours (a hand-written path such as "C:\foo"):
                    // keep both characters.
                    out += '\\';
                    out += n;
                    break;
            }
            continue;
        }
        out += c;
    }
    return i + 1 == text.size();  // the closing quote is the last character
}

}  // namespace

bool NamesEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

bool IsValidSectionName(const std::string& name) {
    return !name.empty() && Trim(name) == name && !HasLineBreak(name) && name.find(']') == std::string::npos;
}

bool IsValidKeyName(const std::string& name) {
    if (name.empty() || Trim(name) != name || HasLineBreak(name)) return false;
    if (name.find('=') != std::string::npos) return false;
    // A key line starting like a comment or a section header would be read
    // back as one.
    return name[0] != ';' && name[0] != '#' && name[0] != '[';
}

std::string EncodeValue(const std::string& value) {
    bool quote = HasLineBreak(value) || (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                                            value.front() == '"'));
    if (!quote) return value;
    std::string out;
    out.reserve(value.size() + 8);
    out += '"';
    for (char c : value) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c; break;
        }
    }
    out += '"';
    return out;
}

std::string DecodeValue(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"') {
        std::string out;
        if (Unquote(text, out)) return out;
    }
    return text;
}

void IniDocument::Parse(const std::string& text, ParseReport* report) {
    ParseReport local;
    ParseReport& rep = report ? *report : local;
    rep = ParseReport();
    m_lines.clear();

    size_t pos = 0, number = 0;
    bool seenHeader = false;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        Line line;
        line.text = text.substr(pos, end - pos);
        ++number;
        pos = end;
        if (pos < text.size()) {
            if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
            ++pos;
        }

        std::string t = Trim(line.text);
        if (t.empty() || t[0] == ';' || t[0] == '#') {
            line.kind = Kind::kOther;
        } else if (t[0] == '[') {
            // A header always starts a new section, even a malformed one, so
            // the keys below it are never taken for keys of the section above.
            line.kind = Kind::kSection;
            seenHeader = true;
            size_t close = t.find(']');
            if (close != std::string::npos) line.name = Trim(t.substr(1, close - 1));
            line.matchable = close != std::string::npos && !line.name.empty();
            if (!line.matchable && rep.badHeaders++ == 0) rep.firstBadHeader = number;
        } else {
            size_t eq = t.find('=');
            std::string key = eq == std::string::npos ? std::string() : Trim(t.substr(0, eq));
            if (key.empty() || !seenHeader) {
                // Kept as it is, but means nothing: no key, or no section.
                line.kind = Kind::kOther;
                if (rep.ignoredLines++ == 0) rep.firstIgnoredLine = number;
            } else {
                line.kind = Kind::kKey;
                line.name = key;
                line.value = DecodeValue(Trim(t.substr(eq + 1)));
            }
        }
        m_lines.push_back(std::move(line));
    }
}

std::string IniDocument::Serialize() const {
    std::string out;
    size_t estimate = 0;
    for (const Line& line : m_lines) estimate += line.text.size() + line.name.size() + line.value.size() + 4;
    out.reserve(estimate);
    for (const Line& line : m_lines) {
        if (!line.rewrite) {
            out += line.text;
        } else if (line.kind == Kind::kSection) {
            out += '[';
            out += line.name;
            out += ']';
        } else {
            out += line.name;
            out += '=';
            out += EncodeValue(line.value);
        }
        out += "\r\n";
    }
    return out;
}

bool IniDocument::Find(const std::string& section, const std::string& key, std::string& value) const {
    bool inSection = false;
    for (const Line& line : m_lines) {
        if (line.kind == Kind::kSection) {
            inSection = line.matchable && NamesEqual(line.name, section);
        } else if (inSection && line.kind == Kind::kKey && NamesEqual(line.name, key)) {
            value = line.value;
            return true;
        }
    }
    return false;
}

bool IniDocument::Set(const std::string& section, const std::string& key, const std::string& value) {
    bool inSection = false;
    size_t insertAt = std::string::npos;  // after the last key of the first matching section
    bool firstSectionDone = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        Line& line = m_lines[i];
        if (line.kind == Kind::kSection) {
            if (inSection) firstSectionDone = true;
            inSection = line.matchable && NamesEqual(line.name, section);
            if (inSection && insertAt == std::string::npos) insertAt = i + 1;
        } else if (inSection && line.kind == Kind::kKey) {
            if (NamesEqual(line.name, key)) {
                if (line.value == value) return false;
                line.value = value;
                line.rewrite = true;
                return true;
            }
            if (!firstSectionDone) insertAt = i + 1;
        }
    }

    Line entry;
    entry.kind = Kind::kKey;
    entry.name = key;
    entry.value = value;
    entry.rewrite = true;
    if (insertAt != std::string::npos) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
        return true;
    }

    // A new section at the end, set off from the one before by a blank line.
    if (!m_lines.empty() && !(m_lines.back().kind == Kind::kOther && Trim(m_lines.back().text).empty())) {
        m_lines.push_back(Line());
    }
    Line header;
    header.kind = Kind::kSection;
    header.name = section;
    header.rewrite = true;
    m_lines.push_back(std::move(header));
    m_lines.push_back(std::move(entry));
    return true;
}

bool IniDocument::Remove(const std::string& section, const std::string& key) {
    bool inSection = false, changed = false;
    for (size_t i = 0; i < m_lines.size();) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::kSection) {
            inSection = line.matchable && NamesEqual(line.name, section);
        } else if (inSection && line.kind == Kind::kKey && NamesEqual(line.name, key)) {
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
            changed = true;
            continue;
        }
        ++i;
    }
    return changed;
}

}  // namespace zxcfg
