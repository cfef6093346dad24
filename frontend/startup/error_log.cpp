// The error log: a program-wide file handle that every writer tests before writing.
#include "frontend/startup/error_log.h"

#include "platform/message_box.h"
#include "platform/paths.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace {

constexpr char source_name[] = "tverror";

// Message boxes may come from another thread (the sound device's worker reports through
// them), so the handle is guarded.
std::mutex log_lock;
FILE* log_file = nullptr;

} // namespace

int TvOpenErrorLog(const char* path) {
    std::lock_guard guard(log_lock);
    if (log_file) std::fclose(log_file);
    log_file = path ? platform::open_file(path, "w") : nullptr;
    return log_file ? 1 : 0;
}

void TvCloseErrorLog() {
    std::lock_guard guard(log_lock);
    if (log_file) std::fclose(log_file);
    log_file = nullptr;
}

bool TvIsErrorLogOpen() {
    std::lock_guard guard(log_lock);
    return log_file != nullptr;
}

void TvWriteErrorLine(const char* source, int line, const char* message) {
    std::lock_guard guard(log_lock);
    if (!log_file) return;
    std::fprintf(log_file, "%s line %d: %s\n", source, line, message ? message : "");
    std::fflush(log_file);
}

void TvWriteErrorLine2(const char* source, int line, const char* message, const char* detail) {
    std::lock_guard guard(log_lock);
    if (!log_file) return;
    std::fprintf(log_file, "%s line %d: %s %s\n", source, line, message ? message : "",
                 detail ? detail : "");
    std::fflush(log_file);
}

void TvLogError(const char* message) {
    TvWriteErrorLine(source_name, __LINE__, message);
}

void TvLogError2(const char* message, const char* detail) {
    TvWriteErrorLine2(source_name, __LINE__, message, detail);
}

void TvRouteMessageBoxesToErrorLog() {
    platform::set_message_sink([](std::string_view title, std::string_view text) {
        TvLogError2(std::string(title).c_str(), std::string(text).c_str());
    });
}
