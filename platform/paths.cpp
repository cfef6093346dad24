// Path resolution with case-insensitive matching of each component.
#include "platform/paths.h"

#include <array>
#include <cctype>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

struct PathState {
    std::mutex lock;
    std::array<std::string, 26> drive_roots;
    std::string program_dir_override;
};

PathState& state() {
    static PathState s;
    return s;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool is_drive_letter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The entry of `dir` whose name equals `name` ignoring case; empty when there is none.
std::string find_entry_ignoring_case(const std::string& dir, std::string_view name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string best;
    while (dirent* e = ::readdir(d)) {
        std::string_view entry = e->d_name;
        if (!equals_ignoring_case(entry, name)) continue;
        if (best.empty() || entry < best) best = entry;
    }
    ::closedir(d);
    return best;
}

std::string join(const std::string& base, std::string_view name) {
    if (base.empty()) return std::string(name);
    if (base.back() == '/') return base + std::string(name);
    return base + "/" + std::string(name);
}

// Splits off a drive form and returns the root it stands for, leaving the rest in `rest`.
bool take_drive_prefix(std::string& path, std::string& root) {
    static constexpr std::string_view portable = "/dev/drive-";
    if (path.size() >= portable.size() + 1 && path.compare(0, portable.size(), portable) == 0 &&
        is_drive_letter(path[portable.size()]) &&
        (path.size() == portable.size() + 1 || path[portable.size() + 1] == '/')) {
        root = drive_root(path[portable.size()]);
        path.erase(0, portable.size() + 1);
        return true;
    }
    if (path.size() >= 2 && is_drive_letter(path[0]) && path[1] == ':') {
        root = drive_root(path[0]);
        path.erase(0, 2);
        return true;
    }
    return false;
}

} // namespace

void set_drive_root(char drive, std::string root) {
    if (!is_drive_letter(drive)) return;
    std::lock_guard guard(state().lock);
    state().drive_roots[std::tolower(static_cast<unsigned char>(drive)) - 'a'] = std::move(root);
}

std::string drive_root(char drive) {
    if (!is_drive_letter(drive)) return "/";
    std::lock_guard guard(state().lock);
    const std::string& r = state().drive_roots[std::tolower(static_cast<unsigned char>(drive)) - 'a'];
    return r.empty() ? std::string("/") : r;
}

std::string resolve_path(std::string_view input) {
    std::string path(input);
    for (char& c : path)
        if (c == '\\') c = '/';

    std::string base;
    std::string root;
    if (take_drive_prefix(path, root)) {
        base = root;
    } else if (!path.empty() && path[0] == '/') {
        base = "/";
    }

    std::vector<std::string_view> parts;
    std::string_view rest = path;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    bool trailing_slash = !path.empty() && path.back() == '/' && !parts.empty();

    std::string exact = base;
    for (std::string_view p : parts) exact = join(exact, p);
    if (parts.empty()) return base.empty() ? std::string(".") : base;
    if (exists(exact)) return trailing_slash ? exact + "/" : exact;

    std::string out = base;
    size_t i = 0;
    for (; i < parts.size(); ++i) {
        std::string_view p = parts[i];
        std::string candidate = join(out, p);
        if (p == "." || p == ".." || exists(candidate)) {
            out = candidate;
            continue;
        }
        std::string match = find_entry_ignoring_case(out, p);
        if (match.empty()) break;
        out = join(out, match);
    }
    for (; i < parts.size(); ++i) out = join(out, parts[i]);
    return trailing_slash ? out + "/" : out;
}

std::string program_dir() {
    {
        std::lock_guard guard(state().lock);
        if (!state().program_dir_override.empty()) return state().program_dir_override;
    }
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string exe(buf, size_t(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return exe.substr(0, slash);
}

void set_program_dir(std::string dir) {
    std::lock_guard guard(state().lock);
    state().program_dir_override = std::move(dir);
}

FILE* open_file(std::string_view path, const char* mode) {
    return std::fopen(resolve_path(path).c_str(), mode);
}

DIR* open_dir(std::string_view path) { return ::opendir(resolve_path(path).c_str()); }

int change_dir(std::string_view path) { return ::chdir(resolve_path(path).c_str()); }

} // namespace platform
