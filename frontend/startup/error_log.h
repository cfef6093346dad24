// The game's error log TavrinErrorLog.txt: one line per failure, naming the source module and
// line that found it, each line flushed at once so the log survives a crash.
#pragma once

// The log's file name beside the program.
inline constexpr char TV_ERROR_LOG_NAME[] = "TavrinErrorLog.txt";

// Opens (truncating) the log at `path`; 1 when open, 0 otherwise. A log already open is
// closed first.
int TvOpenErrorLog(const char* path);
// Closes the log when it is open.
void TvCloseErrorLog();
// True while the log is open.
bool TvIsErrorLogOpen();

// "<source> line <line>: <message>\n", flushed; nothing while the log is closed.
void TvWriteErrorLine(const char* source, int line, const char* message);
// "<source> line <line>: <message> <detail>\n", flushed; nothing while the log is closed.
void TvWriteErrorLine2(const char* source, int line, const char* message, const char* detail);

// The log module's own writers (source "tverror").
void TvLogError(const char* message);
void TvLogError2(const char* message, const char* detail);

// Headless message boxes also land in the log (as TvLogError2(title, text)) while it is open.
void TvRouteMessageBoxesToErrorLog();
