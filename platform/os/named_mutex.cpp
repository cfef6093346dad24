// Named mutexes over flock: the lock lives with the open file description, so a second holder
// in the same process is refused just like one in another process, and a crashed holder's lock
// goes with it.
#include "platform/os/named_mutex.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct NamedMutex {
    int fd = -1;
    bool owned = false;
};

namespace {

struct LockDirState {
    std::mutex lock;
    std::string dir;
};

LockDirState& lock_dir_state() {
    static LockDirState s;
    return s;
}

int open_lock_file(std::string_view name) {
    std::string path = lock_file_path(name);
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

} // namespace

void set_lock_dir(std::string dir) {
    std::lock_guard guard(lock_dir_state().lock);
    lock_dir_state().dir = std::move(dir);
}

std::string lock_dir() {
    {
        std::lock_guard guard(lock_dir_state().lock);
        if (!lock_dir_state().dir.empty()) return lock_dir_state().dir;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) return tmp;
    return "/tmp";
}

std::string lock_file_path(std::string_view name) {
    std::string file = "corvel-";
    for (char c : name) file += (c == '/' || c == '\0') ? '_' : c;
    file += ".lock";
    return lock_dir() + "/" + file;
}

NamedMutex* create_named_mutex(std::string_view name, MutexStatus* status) {
    MutexStatus dummy;
    MutexStatus& s = status ? *status : dummy;
    s = MutexStatus::failed;
    int fd = open_lock_file(name);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) s = MutexStatus::already_exists;
        ::close(fd);
        return nullptr;
    }
    auto* m = new (std::nothrow) NamedMutex{fd, true};
    if (!m) {
        ::close(fd);
        return nullptr;
    }
    s = MutexStatus::created;
    return m;
}

NamedMutex* open_named_mutex(std::string_view name) {
    int fd = open_lock_file(name);
    if (fd < 0) return nullptr;
    // Nobody holds it when we can take it: then there is no such mutex to open.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
        ::close(fd);
        return nullptr;
    }
    auto* m = new (std::nothrow) NamedMutex{fd, false};
    if (!m) ::close(fd);
    return m;
}

bool release_named_mutex(NamedMutex* mutex) {
    if (!mutex || !mutex->owned) return false;
    ::flock(mutex->fd, LOCK_UN);
    mutex->owned = false;
    return true;
}

void close_named_mutex(NamedMutex* mutex) {
    if (!mutex) return;
    if (mutex->owned) ::flock(mutex->fd, LOCK_UN);
    ::close(mutex->fd);
    delete mutex;
}

} // namespace platform
