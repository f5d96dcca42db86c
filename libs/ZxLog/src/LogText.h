// Text helpers of the log: formatting a message, keeping it on one line,
// building the line with its time, thread, level and module, and checking
// log file names.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <string>

namespace zxlog {

// The file that takes lines whose log file name was refused, and the notes of
// the log itself.
constexpr const char* kFallbackFile = "ZxLog.txt";

// The module name the log uses for its own lines.
constexpr const char* kOwnModule = "ZxLog";

// Longest message text kept; a longer one is cut with a note of how much.
constexpr size_t kMaxTextBytes = 1u << 20;

// Longest log file name accepted.
constexpr size_t kMaxFileNameBytes = 200;

enum class FormatResult { kOk, kBadFormat, kNoMemory };

// printf-formats the message into `out`. Any length works; text beyond
// kMaxTextBytes is cut (at a character boundary) and a note says how many
// bytes were cut. kBadFormat when the C runtime reports a format error, or
// when a field is so wide (over 4096) that the runtime could not format it
// safely.
FormatResult FormatText(std::string& out, const char* format, va_list args) noexcept;

// Makes the text one line: trailing line breaks are removed, and every other
// control character (CR, LF, CR LF, NUL, ...) except tab becomes one space.
void MakeOneLine(std::string& text);

// A C string as one printable line of at most maxBytes ("(null)" for null).
std::string OneLine(const char* text, size_t maxBytes);

// The largest character boundary of the UTF-8 text that is not after `at`.
size_t Utf8Boundary(const std::string& text, size_t at);

// "2026-12-06 21:40:01.123 T<thread> L<level> <module> | <text>\r\n"
std::string BuildLine(const SYSTEMTIME& time, unsigned long threadId, int level, const std::string& module,
                      const std::string& text);

// A line of the log's own (module "ZxLog") stamped now on this thread.
std::string OwnLine(int level, const std::string& text);

// True when the name is a plain file name that can only address a file in
// the log folder itself: not empty, no path separators, no "..", no drive or
// stream colon, none of the characters Windows forbids in names, no trailing
// dot or space, and no device name such as "CON" or "NUL.txt".
bool IsBareFileName(const char* name);

}  // namespace zxlog
