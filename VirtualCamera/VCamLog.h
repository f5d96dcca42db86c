// The filter's debug log: one plain-text line per call, appended to
// c:\VCam.log (or to the file the environment variable ZXVCAM_FILTER_LOG
// names), shared by every process and thread that loads the filter.
//
// A line is "Y-M-D-h-m-s: text" in local time, without leading zeros,
// followed by CR LF, at most kVCamLogLineMax bytes in all: a longer text is
// cut (at a character boundary) so the line still ends in CR LF. Each line
// is written with one append, one writer at a time, so lines of several
// writers never interleave or overwrite each other.
// When the file cannot be opened the line is lost and nothing else happens.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The line buffer is 260 bytes; a line is at most 259 bytes plus the end.
constexpr size_t kVCamLogLineBuffer = 260;
constexpr size_t kVCamLogLineMax = kVCamLogLineBuffer - 1;

// Appends one line with text (UTF-8) stamped with the current local time.
void VCamLog(const char* text);

// The same with a printf format.
void VCamLogF(const char* format, ...);

// The line VCamLog writes for text at the given time, CR LF included.
std::string VCamLogLine(const SYSTEMTIME& time, const char* text);

// The log file: ZXVCAM_FILTER_LOG when set and not empty, else c:\VCam.log.
std::wstring VCamLogPath();
