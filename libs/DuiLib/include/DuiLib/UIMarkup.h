// DuiLib: a small XML reader for skin files. It keeps elements, their
// attributes and the line each element starts on; text between elements is
// ignored. Entities &lt; &gt; &amp; &quot; &apos; and &#N; / &#xN; are
// decoded.
#pragma once

#include <string>
#include <vector>

namespace DuiLib {

struct CMarkupNode {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<CMarkupNode> children;
    int line = 0;
    bool HasAttribute(const std::string& n) const;
    std::string GetAttribute(const std::string& n, const std::string& def = "") const;
};

class CMarkup {
public:
    // Parses a whole document; false with an error text and line when it is
    // not well formed.
    bool Load(const std::string& xml);
    bool LoadFromFile(const std::string& path);
    const CMarkupNode& Root() const { return m_root; }
    bool IsValid() const { return m_valid; }
    const std::string& GetLastError() const { return m_error; }
    int GetErrorLine() const { return m_errorLine; }

private:
    CMarkupNode m_root;
    bool m_valid = false;
    std::string m_error;
    int m_errorLine = 0;
};

}  // namespace DuiLib
