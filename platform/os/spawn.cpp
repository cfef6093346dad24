// Programs started through posix_spawn. Detached children get a session of their own, so they
// outlive the program and its terminal; they are reaped whenever another program is started.
#include "platform/os/spawn.h"

#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

struct SpawnState {
    std::mutex lock;
    std::vector<pid_t> detached;
    std::string shell_open_override;
};

SpawnState& state() {
    static SpawnState s;
    return s;
}

void reap_finished_children() {
    std::lock_guard guard(state().lock);
    std::erase_if(state().detached, [](pid_t pid) {
        int status;
        return ::waitpid(pid, &status, WNOHANG) != 0;
    });
}

bool is_executable_file(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

int spawn_program(std::string_view path, const std::vector<std::string>& argv, bool wait,
                  int* exit_code) {
    reap_finished_children();
    std::string program = resolve_path(path);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (int e = posix_spawnattr_init(&attributes)) return e;
    if (!wait) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    }
    pid_t pid = 0;
    int error = posix_spawn(&pid, program.c_str(), nullptr, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error) return error;

    if (!wait) {
        std::lock_guard guard(state().lock);
        state().detached.push_back(pid);
        return 0;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return errno;
    if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return 0;
}

std::string find_in_path(std::string_view name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string_view::npos) {
        std::string direct(name);
        return is_executable_file(direct) ? direct : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        std::string candidate = std::string(dir.empty() ? "." : dir) + "/" + std::string(name);
        if (is_executable_file(candidate)) return candidate;
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return {};
}

void set_shell_open_program(std::string path) {
    std::lock_guard guard(state().lock);
    state().shell_open_override = std::move(path);
}

std::string shell_open_program() {
    {
        std::lock_guard guard(state().lock);
        if (!state().shell_open_override.empty()) return state().shell_open_override;
    }
    return find_in_path("xdg-open");
}

} // namespace platform
