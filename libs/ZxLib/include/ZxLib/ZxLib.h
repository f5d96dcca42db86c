// ZxLib: small utility functions shared by the program, the kernel and the
// libraries: folders by type, files, character sets and MD5 text.
//
// Strings are UTF-8 in std::string; every Win32 call underneath uses the W
// form, so a path with any Unicode character survives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Charset {
// UTF-8 to UTF-16 and back. Invalid input bytes become U+FFFD rather than
// being dropped, so a damaged name still shows where it was damaged.
std::wstring String2WString(const std::string& text);
std::string WString2String(const std::wstring& text);
// Whether the bytes are well-formed UTF-8: no stray or missing continuation
// bytes, no over-long forms, no surrogates, nothing above U+10FFFF
// (Utf8.cpp, plain C++).
bool IsValidUtf8(const std::string& text);
}  // namespace Charset

namespace Dir {

// Folder types understood by GetZxPath.
enum : int {
    kPathResource = 100,   // the program's folder: default.jpg, Logo.png, skin\ ...
    kPathUserData = 101,   // %APPDATA%\ZxVCam\   (lists, Record\Dat\, the INI)
    kPathThumbCache = 109, // %LOCALAPPDATA%\ZxVCam\Cache\   (thumbnails)
};

// The folder of the given type, ending in a backslash, created when it does
// not exist yet (the resource folder is never created). An unknown type
// gives an empty string.
//
// The folders can be redirected, for tests and portable installs, by the
// environment variables ZXVCAM_RES_DIR (100), ZXVCAM_DATA_DIR (101),
// ZXVCAM_CACHE_DIR (109) and ZXVCAM_LOG_DIR (the log folder).
std::string GetZxPath(int type);

// The folder log files go to: %LOCALAPPDATA%\ZxVCam\Log\ (created).
std::string GetLogPath();

// The folder of the running program (the main executable), ending in a
// backslash.
std::string GetCurrentPath();

// The folder of the module (EXE or DLL) that contains the given address,
// ending in a backslash.
std::string GetModulePath(const void* addressInModule);

bool IsDirectory(const std::string& path);

// True when a file can be created in the folder: tried with a small
// temporary file that is deleted again at once. False for a folder that does
// not exist, a file, a read-only or full volume, or a folder the user may
// not write to.
bool IsWritableDir(const std::string& path);

// Creates the folder and every missing parent; true when it exists afterwards.
bool MakeDir(const std::string& path);

// The root ("D:\\") of the fixed, writable drive with the most free space
// for the user; "" when there is none.
std::string GetLargestFreeBytesDisk();

// The path with every short (8.3) part in its long form, as the system's
// GetLongPathName gives it; the path as it is when that fails (for one that
// does not exist).
std::string GetLongPath(const std::string& path);

// Adds a trailing backslash when the path has none.
std::string WithSlash(const std::string& path);

// What FindAllFiles reports; the flags may be combined.
enum : int {
    kFindFiles = 1,    // the files of the folder itself
    kFindFolders = 2,  // the sub-folders of the folder itself
};

// Appends to list the full paths (folder, a backslash, the name) of the
// entries of the folder whose names match pattern, as flags choose; it does
// not descend into sub-folders. The pattern holds '*' (any run of
// characters) and '?' (one character) and is matched against the whole long
// name without regard to case, as Windows file names are; a short 8.3 name
// never matches in place of its long name ("*.gif" finds no "a.gifx").
// Entries are appended ordered by name, ignoring case, so the order is the
// same on every file system. Returns false (appending nothing) when the
// folder cannot be read; an empty folder gives true.
bool FindAllFiles(std::vector<std::string>& list, const std::string& folder, const std::string& pattern, int flags);

// True when the whole name matches the pattern as FindAllFiles matches it.
bool MatchFileName(const std::string& name, const std::string& pattern);

}  // namespace Dir

namespace File {

bool IsExistFile(const std::string& path);

// Size in bytes, or -1 when the file cannot be opened.
int64_t GetFileSize(const std::string& path);

// Reads at most maxBytes of the file; false when it cannot be read or is
// larger than maxBytes.
bool ReadAll(const std::string& path, std::string& out, size_t maxBytes = 64u << 20);

// Writes the file through a temporary file in the same folder and a rename,
// so a reader never sees half a file and a failed write keeps the old one.
bool WriteAllAtomic(const std::string& path, const std::string& data);

// Removes the temporary files that WriteAllAtomic of a process that has
// ended (a crash in the middle of a write) left beside path. Those of
// running processes are left alone: they may be writing now.
void RemoveStaleTemps(const std::string& path);

bool RemoveFile(const std::string& path);

// "C:\a\b.txt" -> "b.txt"; "C:\a\b.txt" -> "b"; "C:\a\b.txt" -> "C:\a\"
std::string GetFileName(const std::string& path);
std::string GetFileNameWithoutExtension(const std::string& path);
std::string GetParentPath(const std::string& path);

}  // namespace File

namespace Dir {
// The file-name helper also under the folder functions' namespace.
using File::GetFileNameWithoutExtension;
}  // namespace Dir

// The text of a picture size, "1280x720", as the camera's sizes are listed
// and chosen. Plain C++ (SizeText.cpp), so it also builds natively.
namespace SizeText {
// Largest width or height taken from a text; no camera comes near it, and
// width x height x 4 stays far inside an int.
const int kMaxSide = 16384;
std::string Format(int width, int height);
// Exactly "<width>x<height>", each decimal digits only, from 1 to kMaxSide;
// false (width and height untouched) otherwise.
bool Parse(const std::string& text, int& width, int& height);
// The sizes of a list "640x480|1280x720", in order; pieces that are no size
// are skipped.
void ParseList(const std::string& text, std::vector<int>& widths, std::vector<int>& heights);
}  // namespace SizeText

// The one high-resolution clock of the system: the performance counter, read
// by the filter (sample stamps), the check tool, the kernel host, the tests
// and the benchmarks. Only differences between two readings mean anything.
namespace Clock {
// Milliseconds, with fractions.
double NowMs();
// Microseconds, with fractions.
double NowUs();
// Whole 100-ns units (the unit of DirectShow and Media Foundation stamps),
// exact and without overflow for any uptime.
long long Now100ns();
}  // namespace Clock

namespace Entrypt {
// Lower-case hexadecimal MD5 of the bytes (32 characters), computed by the
// system's cryptography provider. Empty only if the provider fails.
std::string GenerateMD5(const std::string& bytes);
std::string GenerateMD5(const void* data, size_t length);
}  // namespace Entrypt

namespace Process {

// Ends every other running process whose executable has the file name
// exeName (compared without regard to case; "" = the name of this
// program's own executable), and waits up to waitMs for each to end. This
// process is never touched. True when none of them is left running (also
// when there was none).
bool KillOtherInstance(const std::string& exeName = std::string(), unsigned waitMs = 5000);

// How many processes other than this one run an executable of that file
// name ("" = this program's).
int CountOtherInstances(const std::string& exeName = std::string());

// True inside Wine (its ntdll exports wine_get_version). Only for working
// around a difference of Wine's; never for a behaviour Windows users see.
bool RunsUnderWine();

}  // namespace Process

// Starts programs by command line.
class ProcessExecutor {
public:
    // Runs the command line (UTF-8; the program is looked up as
    // CreateProcess does: its own folder, the current folder, the system
    // folders, PATH). With wait, returns only when the program has ended.
    // True when the program started.
    static bool Exec(const std::string& commandLine, bool wait);
};

namespace Url {
// Opens a web address (or any document) with the user's default program.
// newWindow is kept for callers that ask for a new browser window; the
// shell decides. True when the shell took it.
bool OpenUrl(const std::string& url, bool newWindow);
}  // namespace Url

// The same functions by their short names.
using Charset::String2WString;
using Charset::WString2String;
using Dir::GetCurrentPath;
using Entrypt::GenerateMD5;
using File::GetFileNameWithoutExtension;
using File::IsExistFile;
