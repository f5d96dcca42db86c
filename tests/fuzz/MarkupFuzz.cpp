// The skin markup parser on any text: it never fails without saying why and
// where; what it reads from UTF-8 is UTF-8; and a tree written out as markup
// reads back as the same tree.
#include "DuiLib/UIMarkup.h"
#include "FuzzCheck.h"
#include "ZxLib/ZxLib.h"

namespace {

std::string Escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c; break;
        }
    }
    return out;
}

void Write(const DuiLib::CMarkupNode& node, std::string& out) {
    out += "<" + node.name;
    for (const auto& a : node.attributes) out += " " + a.first + "=\"" + Escaped(a.second) + "\"";
    if (node.children.empty()) {
        out += "/>";
        return;
    }
    out += ">\n";
    for (const auto& c : node.children) Write(c, out);
    out += "</" + node.name + ">\n";
}

bool Same(const DuiLib::CMarkupNode& a, const DuiLib::CMarkupNode& b) {
    if (a.name != b.name || a.attributes != b.attributes || a.children.size() != b.children.size()) return false;
    for (size_t i = 0; i < a.children.size(); ++i)
        if (!Same(a.children[i], b.children[i])) return false;
    return true;
}

void CheckUtf8(const DuiLib::CMarkupNode& node) {
    FUZZ_CHECK(Charset::IsValidUtf8(node.name));
    for (const auto& a : node.attributes) {
        FUZZ_CHECK(Charset::IsValidUtf8(a.first));
        FUZZ_CHECK(Charset::IsValidUtf8(a.second));
    }
    for (const auto& c : node.children) CheckUtf8(c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    DuiLib::CMarkup markup;
    if (!markup.Load(text)) {
        FUZZ_CHECK(!markup.IsValid());
        FUZZ_CHECK(!markup.GetLastError().empty());
        FUZZ_CHECK(markup.GetErrorLine() >= 1);
        FUZZ_CHECK(markup.Root().name.empty());
        return 0;
    }
    const DuiLib::CMarkupNode& root = markup.Root();
    FUZZ_CHECK(!root.name.empty() && root.line >= 1);
    if (Charset::IsValidUtf8(text)) CheckUtf8(root);
    std::string written;
    Write(root, written);
    DuiLib::CMarkup again;
    FUZZ_CHECK(again.Load(written));
    FUZZ_CHECK(Same(root, again.Root()));
    return 0;
}
