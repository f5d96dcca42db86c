// The list files of the kernel: the media playlist, the slide pictures and
// the three record lists each keep their entries' paths, in order, in one
// small binary file: the six header bytes "ver1.0", then (layout B only) the
// number of entries, then each path as a 32-bit little-endian byte length
// followed by its bytes (UTF-8, no terminator).
//
// Parse and Format work on the bytes alone (no file, no Win32), so they also
// build natively, for the fuzzing of the reader; Save and Load add the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum eListFileLayout {
    LIST_FILE_NO_COUNT = 0,    // "MediaFileList.dat", "SlideFileList.dat"
    LIST_FILE_WITH_COUNT = 1,  // "VideoList.dat", "AudioList.dat", "ImageList.dat"
};

class CListFile {
public:
    // The longest path an entry may hold: 260 UTF-16 units of a Windows path
    // need at most 780 bytes of UTF-8.
    static const size_t kMaxPathBytes = 780;

    // The bytes of the list: header, (count,) then every path with its length.
    static std::string Format(const std::vector<std::string>& paths, eListFileLayout layout);

    // Reads the bytes of a list file into paths (emptied first). A damaged or
    // truncated file yields the entries before the damage. False when the
    // bytes are shorter than the header (and count), or, with a count, when
    // fewer entries than counted were read. whole (when given) says whether
    // the bytes are exactly one list: every entry complete and within the
    // limit, the last one ending at the last byte, and the count (layout B)
    // matching; a file cut short inside an entry, or random bytes, is not.
    static bool Parse(const std::string& bytes, std::vector<std::string>& paths, eListFileLayout layout,
                      bool* whole = nullptr);

    // Writes the list whole or not at all: into a temporary file beside it,
    // flushed, then moved over the old one. False (the old file untouched)
    // when that fails.
    static bool Save(const std::string& file, const std::vector<std::string>& paths, eListFileLayout layout);

    // Reads the list file into paths as Parse does. False also when the file
    // cannot be opened or read.
    static bool Load(const std::string& file, std::vector<std::string>& paths, eListFileLayout layout);

    // How the owners (media list, slide list, record lists) read their list:
    // a whole file gives its entries. A file that exists but is not a whole
    // list is moved aside to "<file>.bad" (or, when that exists from an
    // earlier time, "<file>.1.bad", "<file>.2.bad", ...: no copy is ever
    // overwritten), so the user's data is kept, with one line in the owner's
    // log, and the list starts empty; the file and its copy are kept for
    // TakeSetAside and "modKernal_ob" is told. A missing file gives an empty
    // list. Temporary files left beside it by a write that a crash cut short
    // are removed.
    static void LoadOrSetAside(const std::string& file, std::vector<std::string>& paths, eListFileLayout layout,
                               const char* logName, const char* module);

    // The oldest set-aside file not yet taken and its copy; false when none.
    static bool TakeSetAside(std::string& file, std::string& copy);
};
