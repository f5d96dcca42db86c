// The list files of the kernel: the media playlist, the slide pictures and
// the three record lists each keep their entries' paths, in order, in one
// small binary file: the six header bytes "ver1.0", then (layout B only) the
// number of entries, then each path as a 32-bit little-endian byte length
// followed by its bytes (UTF-8, no terminator).
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

    // Writes the list; when the file cannot be created nothing happens, and
    // when the header cannot be written the file is left as it is.
    static void Save(const std::string& file, const std::vector<std::string>& paths, eListFileLayout layout);

    // Reads the list into paths (emptied first). A damaged or truncated file
    // yields the entries before the damage. False when the file cannot be
    // opened, is shorter than its header (and count), or, with a count, when
    // fewer entries than counted were read.
    static bool Load(const std::string& file, std::vector<std::string>& paths, eListFileLayout layout);
};
