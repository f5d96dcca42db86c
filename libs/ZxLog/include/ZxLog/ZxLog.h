// ZxLog: the log of the program and the kernel.
//
// One file per log name ("Speed.txt", "ZxVKernal.txt", ...) in the per-user
// log folder (Dir::GetLogPath, looked up at each write, so ZXVCAM_LOG_DIR
// redirects it). Each line is
//   "2026-12-06 21:40:01.123 T<thread id> L<level> <module> | <text>\r\n"
// in local time, UTF-8; line breaks and other control characters inside the
// text become spaces, so one call is always one line. Each file this process
// starts writing begins with "==== <application> pid <process id> ====".
//
// Logging never waits for the disk: the line is queued and a background
// thread (started on first use, ended after a short idle time) appends the
// queued lines to their files in batches. The queue holds at most 10000
// lines or 8 MiB; beyond that new lines are dropped and counted, and a line
// "N log lines dropped" follows once there is room again. Lines still queued
// when the process ends are written on the way out.
//
// Safe from any thread and from several modules (the program and the kernel
// share one DLL instance); separate processes writing one file are
// serialised by a named mutex. Each file is bounded in size: when the next
// lines would take it past the limit it is renamed to "<name>.old"
// (replacing an older one) and a new file is started, so a log name takes at
// most about twice the limit on disk.
//
// No function throws, and none changes the caller's GetLastError.
#pragma once

#ifdef ZXLOG_BUILD
#define ZXLOG_API __declspec(dllexport)
#else
#define ZXLOG_API __declspec(dllimport)
#endif

#include <cstddef>

extern "C" {

// Names the application in the first line of each file this process starts
// writing from then on. May be called once at start; logging works without
// it, and the program's file name (without ".exe") is used until then.
ZXLOG_API void LogInit(const char* appName);

// One log line: log file name (a bare file name such as "ZxVKernal.txt"),
// level (0 events, 1 forced stops, 2 recoverable failures, 3 start-up
// failures), module (the writing class), printf format (UTF-8) and arguments.
// A name that is not a bare file name (a path, "..", a device name such as
// "CON", characters Windows forbids) is refused: the line goes to
// "ZxLog.txt" instead, with the refused name. A message longer than 1 MiB is
// cut with a note; a format the C runtime cannot handle (or a field wider
// than 4096) gives a line saying so. A null module is written as "-".
ZXLOG_API void YL_Log(const char* logFile, int level, const char* module, const char* format, ...);

// Waits until every line queued before the call is in its file (at most
// timeoutMs). Returns true when they are.
ZXLOG_API bool LogFlush(unsigned timeoutMs);

// The size limit of one log file in bytes (default 4 MiB; smaller values
// count as 4 KiB). A single line longer than the limit is cut to fit.
ZXLOG_API void LogSetMaxFileSize(size_t bytes);
}
