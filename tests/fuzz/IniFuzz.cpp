// The INI document on any text: parsing, lookups, changes, and the round
// trip of a save: an INI saved and loaded keeps every value.
#include "FuzzCheck.h"
#include "IniDocument.h"

namespace {

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Names that may be sections or keys of the text: what stands inside
// "[...]" and before '=' on its lines, a few dozen at most.
void Candidates(const std::string& text, std::vector<std::string>& sections, std::vector<std::string>& keys) {
    for (const std::string& raw : fuzz::Split(text, '\n', 64)) {
        const std::string line = Trimmed(raw.size() && raw.back() == '\r' ? raw.substr(0, raw.size() - 1) : raw);
        if (line.size() > 1 && line[0] == '[') {
            const size_t close = line.find(']');
            if (close != std::string::npos && sections.size() < 12) sections.push_back(Trimmed(line.substr(1, close - 1)));
        } else {
            const size_t eq = line.find('=');
            if (eq != std::string::npos && keys.size() < 12) keys.push_back(Trimmed(line.substr(0, eq)));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input: the file's text, then (after a zero byte) a section, a key
    // and a value to set, separated by zero bytes.
    const std::vector<std::string> parts =
        fuzz::Split(std::string(reinterpret_cast<const char*>(data), size), '\0', 4);
    const std::string& text = parts[0];
    zxcfg::IniDocument doc;
    zxcfg::ParseReport report;
    doc.Parse(text, &report);
    FUZZ_CHECK(report.ignoredLines == 0 || report.firstIgnoredLine > 0);
    FUZZ_CHECK(report.badHeaders == 0 || report.firstBadHeader > 0);

    std::vector<std::string> sections, keys;
    Candidates(text, sections, keys);
    if (parts.size() == 4) {
        sections.push_back(parts[1]);
        keys.push_back(parts[2]);
    }

    // Saved unchanged and loaded again: every value reads the same.
    const std::string saved = doc.Serialize();
    zxcfg::IniDocument loaded;
    loaded.Parse(saved, nullptr);
    FUZZ_CHECK(loaded.Serialize() == saved);
    for (const std::string& s : sections)
        for (const std::string& k : keys) {
            std::string a, b;
            const bool inDoc = doc.Find(s, k, a);
            FUZZ_CHECK(inDoc == loaded.Find(s, k, b));
            FUZZ_CHECK(a == b);
        }

    // A value set, saved and loaded: it reads back, and every other value stays as it was.
    if (parts.size() == 4 && zxcfg::IsValidSectionName(parts[1]) && zxcfg::IsValidKeyName(parts[2])) {
        zxcfg::IniDocument changed;
        changed.Parse(text, nullptr);
        changed.Set(parts[1], parts[2], parts[3]);
        std::string v;
        FUZZ_CHECK(changed.Find(parts[1], parts[2], v) && v == parts[3]);
        zxcfg::IniDocument reloaded;
        reloaded.Parse(changed.Serialize(), nullptr);
        FUZZ_CHECK(reloaded.Find(parts[1], parts[2], v));
        FUZZ_CHECK(v == parts[3]);
        for (const std::string& s : sections)
            for (const std::string& k : keys) {
                if (zxcfg::NamesEqual(s, parts[1]) && zxcfg::NamesEqual(k, parts[2])) continue;
                std::string a, b;
                const bool before = doc.Find(s, k, a);
                FUZZ_CHECK(before == reloaded.Find(s, k, b));
                FUZZ_CHECK(a == b);
            }
        // Removed, it is gone after a save too.
        reloaded.Remove(parts[1], parts[2]);
        zxcfg::IniDocument removed;
        removed.Parse(reloaded.Serialize(), nullptr);
        FUZZ_CHECK(!removed.Find(parts[1], parts[2], v));
    }
    // Any value survives the text of a key line.
    if (parts.size() >= 2) FUZZ_CHECK(zxcfg::DecodeValue(Trimmed(zxcfg::EncodeValue(parts.back()))) == parts.back());
    return 0;
}
