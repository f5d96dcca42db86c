// The list-file reader on any bytes, and the round trip of a list: a list written and read back is the same list.
#include "FuzzCheck.h"
#include "ListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const eListFileLayout layout = (data[0] & 1) ? LIST_FILE_WITH_COUNT : LIST_FILE_NO_COUNT;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The rest of the input as a file.
    std::vector<std::string> paths;
    bool whole = false;
    const bool ok = CListFile::Parse(bytes, paths, layout, &whole);
    FUZZ_CHECK(!whole || ok);
    for (const std::string& p : paths) {
        FUZZ_CHECK(p.size() <= CListFile::kMaxPathBytes);
        FUZZ_CHECK(p.find('\0') == std::string::npos);
    }
    // What was read, written again, reads back the same and whole.
    const std::string again = CListFile::Format(paths, layout);
    std::vector<std::string> back;
    bool backWhole = false;
    FUZZ_CHECK(CListFile::Parse(again, back, layout, &backWhole));
    FUZZ_CHECK(backWhole);
    FUZZ_CHECK(back == paths);
    // A whole file with our header and no path cut at a zero byte is exactly what the writer makes of its list.
    if (whole && bytes.compare(0, 6, "ver1.0") == 0 && again.size() == bytes.size()) FUZZ_CHECK(again == bytes);

    // The rest of the input as a list of paths (cut at '\n'): every path the
    // program can hold survives a write and a read.
    std::vector<std::string> list = fuzz::Split(bytes, '\n', 64);
    for (std::string& p : list) {
        if (p.size() > CListFile::kMaxPathBytes) p.resize(CListFile::kMaxPathBytes);
        for (char& c : p)
            if (c == '\0') c = '_';
    }
    std::vector<std::string> read;
    bool readWhole = false;
    FUZZ_CHECK(CListFile::Parse(CListFile::Format(list, layout), read, layout, &readWhole));
    FUZZ_CHECK(readWhole);
    FUZZ_CHECK(read == list);
    // Cut short anywhere inside its entries, it is no whole list any more
    // (with a count; without one, a cut between two entries looks whole).
    const std::string written = CListFile::Format(list, layout);
    const size_t cut = static_cast<size_t>(fuzz::Number(bytes, 0, 2)) % written.size();
    std::vector<std::string> partial;
    bool partialWhole = true;
    CListFile::Parse(written.substr(0, cut), partial, layout, &partialWhole);
    if (layout == LIST_FILE_WITH_COUNT) FUZZ_CHECK(!partialWhole);
    FUZZ_CHECK(partial.size() <= list.size());
    for (size_t i = 0; i < partial.size(); ++i) FUZZ_CHECK(partial[i] == list[i]);
    return 0;
}
