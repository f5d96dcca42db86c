// The skin file reader: a strict, small XML parser. Any fault (an
// unclosed element, a mismatched end tag, a broken attribute, a stray '<')
// stops the parse with the line it was found on. No Windows headers here
// (the file is read in UIUtil.cpp), so the parser also builds natively.
#include "DuiLib/UIMarkup.h"

#include <algorithm>
#include <cstdlib>

namespace DuiLib {

bool CMarkupNode::HasAttribute(const std::string& n) const {
    for (const auto& a : attributes)
        if (a.first == n) return true;
    return false;
}

std::string CMarkupNode::GetAttribute(const std::string& n, const std::string& def) const {
    for (const auto& a : attributes)
        if (a.first == n) return a.second;
    return def;
}

namespace {

class Parser {
public:
    explicit Parser(const std::string& s) : m_s(s) {}

    bool Document(CMarkupNode& root) {
        // A UTF-8 byte order mark is allowed at the start.
        if (m_s.compare(0, 3, "\xEF\xBB\xBF") == 0) m_pos = 3;
        bool haveRoot = false;
        for (;;) {
            SkipSpace();
            if (m_pos >= m_s.size()) break;
            if (m_s[m_pos] != '<') return Fail("text outside the root element");
            if (Starts("<?")) {
                if (!SkipPast("?>")) return Fail("unterminated processing instruction");
            } else if (Starts("<!--")) {
                if (!SkipPast("-->")) return Fail("unterminated comment");
            } else if (Starts("<!")) {
                if (!SkipPast(">")) return Fail("unterminated declaration");
            } else {
                if (haveRoot) return Fail("a second root element");
                if (!Element(root, 0)) return false;
                haveRoot = true;
            }
        }
        if (!haveRoot) return Fail("no root element");
        return true;
    }

    std::string error;
    int errorLine = 0;

private:
    bool Fail(const std::string& what) {
        if (error.empty()) {
            error = what;
            errorLine = Line();
        }
        return false;
    }
    // The line of the current position; the position only moves forward,
    // so the count continues from the last call.
    int Line() {
        size_t end = (std::min)(m_pos, m_s.size());
        if (end < m_linePos) { m_linePos = 0; m_line = 1; }
        for (; m_linePos < end; ++m_linePos)
            if (m_s[m_linePos] == '\n') ++m_line;
        return m_line;
    }
    bool Starts(const char* t) const { return m_s.compare(m_pos, std::char_traits<char>::length(t), t) == 0; }
    bool SkipPast(const char* t) {
        size_t p = m_s.find(t, m_pos);
        if (p == std::string::npos) return false;
        m_pos = p + std::char_traits<char>::length(t);
        return true;
    }
    void SkipSpace() {
        while (m_pos < m_s.size() && (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\r' || m_s[m_pos] == '\n'))
            ++m_pos;
    }
    static bool NameChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.' || c == ':' || (static_cast<unsigned char>(c) >= 0x80);
    }
    bool Name(std::string& out) {
        size_t start = m_pos;
        while (m_pos < m_s.size() && NameChar(m_s[m_pos])) ++m_pos;
        if (m_pos == start) return false;
        out = m_s.substr(start, m_pos - start);
        return true;
    }
    static void AppendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool Entity(std::string& out) {
        size_t semi = m_s.find(';', m_pos);
        if (semi == std::string::npos || semi - m_pos > 12) return Fail("broken entity");
        std::string e = m_s.substr(m_pos + 1, semi - m_pos - 1);
        if (e == "lt") out += '<';
        else if (e == "gt") out += '>';
        else if (e == "amp") out += '&';
        else if (e == "quot") out += '"';
        else if (e == "apos") out += '\'';
        else if (e.size() > 1 && e[0] == '#') {
            // Digits only (no sign or blank, which strtoul would take), and
            // a Unicode scalar value: no surrogate, which has no UTF-8 form.
            const bool hex = e[1] == 'x' || e[1] == 'X';
            const std::string digits = e.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
                return Fail("broken character reference");
            const unsigned long cp = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
            if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return Fail("broken character reference");
            AppendUtf8(out, static_cast<unsigned>(cp));
        } else {
            return Fail("unknown entity &" + e + ";");
        }
        m_pos = semi + 1;
        return true;
    }
    bool Element(CMarkupNode& node, int depth) {
        if (depth > 200) return Fail("elements nested too deep");
        node.line = Line();
        ++m_pos;  // '<'
        if (!Name(node.name)) return Fail("element name expected");
        for (;;) {
            size_t before = m_pos;
            SkipSpace();
            if (m_pos >= m_s.size()) return Fail("unterminated element <" + node.name + ">");
            if (Starts("/>")) {
                m_pos += 2;
                return true;
            }
            if (m_s[m_pos] == '>') {
                ++m_pos;
                break;
            }
            if (before == m_pos) return Fail("space expected before attribute in <" + node.name + ">");
            std::string an;
            if (!Name(an)) return Fail("attribute name expected in <" + node.name + ">");
            SkipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != '=') return Fail("'=' expected after attribute " + an);
            ++m_pos;
            SkipSpace();
            if (m_pos >= m_s.size() || (m_s[m_pos] != '"' && m_s[m_pos] != '\''))
                return Fail("quoted value expected for attribute " + an);
            char q = m_s[m_pos++];
            std::string value;
            for (;;) {
                if (m_pos >= m_s.size()) return Fail("unterminated value of attribute " + an);
                char c = m_s[m_pos];
                if (c == q) { ++m_pos; break; }
                if (c == '<') return Fail("'<' inside the value of attribute " + an);
                if (c == '&') {
                    if (!Entity(value)) return false;
                    continue;
                }
                value += c;
                ++m_pos;
            }
            if (node.HasAttribute(an)) return Fail("attribute " + an + " given twice");
            node.attributes.emplace_back(an, value);
        }
        // Content: child elements, comments and ignored text.
        for (;;) {
            size_t lt = m_s.find('<', m_pos);
            if (lt == std::string::npos) {
                m_pos = m_s.size();
                return Fail("element <" + node.name + "> is not closed");
            }
            m_pos = lt;
            if (Starts("</")) {
                m_pos += 2;
                std::string end;
                if (!Name(end)) return Fail("element name expected in end tag");
                if (end != node.name) return Fail("end tag </" + end + "> does not match <" + node.name + ">");
                SkipSpace();
                if (m_pos >= m_s.size() || m_s[m_pos] != '>') return Fail("'>' expected in end tag");
                ++m_pos;
                return true;
            }
            if (Starts("<!--")) {
                if (!SkipPast("-->")) return Fail("unterminated comment");
                continue;
            }
            if (Starts("<![CDATA[")) {
                if (!SkipPast("]]>")) return Fail("unterminated CDATA");
                continue;
            }
            node.children.emplace_back();
            if (!Element(node.children.back(), depth + 1)) return false;
        }
    }

    const std::string& m_s;
    size_t m_pos = 0;
    size_t m_linePos = 0;
    int m_line = 1;
};

}  // namespace

bool CMarkup::Load(const std::string& xml) {
    m_root = CMarkupNode();
    Parser p(xml);
    m_valid = p.Document(m_root);
    m_error = p.error;
    m_errorLine = p.errorLine;
    if (!m_valid) m_root = CMarkupNode();
    return m_valid;
}

}  // namespace DuiLib
