// The filter's diagnostic log: connections, formats, failures and the
// launcher, one plain-text line each, in ZxCamSrc.log of the per-user log
// folder (Dir::GetLogPath), or in the file the environment variable
// ZXVCAM_FILTER_LOG names.
//
// A line is "Y-M-D-h-m-s: text" in local time, without leading zeros,
// followed by CR LF, at most kVCamLogLineMax bytes in all: a longer text is
// cut (at a character boundary) so the line still ends in CR LF.
//
// The filter runs inside other people's programs, so logging never holds up
// the caller: VCamLog only queues the line in memory (at most
// kVCamLogQueueMax lines wait; more are counted and reported as dropped) and
// a thread of the filter's own writes the queue out. That thread takes a
// session-wide mutex, so lines of several processes never interleave, and
// keeps the file under kVCamLogCap bytes: a line that would pass the cap
// moves the file to "<name>.1" (replacing the previous one) and starts a new
// one. The writer ends when nothing has come for a while and keeps the
// module loaded until it has ended.
// When the file cannot be opened the lines are lost and nothing else happens.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The line buffer is 260 bytes; a line is at most 259 bytes plus the end.
constexpr size_t kVCamLogLineBuffer = 260;
constexpr size_t kVCamLogLineMax = kVCamLogLineBuffer - 1;
// The most bytes a log file holds (the rotated one as well).
constexpr DWORD kVCamLogCap = 256 * 1024;
// The most lines that wait for the writer.
constexpr size_t kVCamLogQueueMax = 1024;

// Queues one line with text (UTF-8) stamped with the current local time.
// Never blocks on another process, never throws, keeps GetLastError.
void VCamLog(const char* text);

// The same with a printf format.
void VCamLogF(const char* format, ...);

// The line VCamLog writes for text at the given time, CR LF included.
std::string VCamLogLine(const SYSTEMTIME& time, const char* text);

// The log file: ZXVCAM_FILTER_LOG when set and not empty, else ZxCamSrc.log
// in the per-user log folder.
std::wstring VCamLogPath();

// Waits up to timeoutMs until every line queued so far is in the file;
// false when they are not. For tests and tools, never for a host's thread.
bool VCamLogFlush(DWORD timeoutMs);

// Runs work(context) on a new thread that holds a reference to the module
// that contains this code until it ends, so the host may unload the filter
// at any time. False (and nothing runs) when no thread could be made.
bool VCamRunDetached(DWORD(WINAPI* work)(void*), void* context);
