// The registry file: loaded, changed and written back whole under an exclusive lock for every
// change, so concurrent processes never lose each other's values. The file is small text:
//   [HKEY_LOCAL_MACHINE\Software\Kestrune\Application\Aerovant]
//   "machinegameid"=hex(3):00112233445566778899aabbccddeeff
//   "name"="text"
#include "platform/os/registry_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {

struct Value {
    std::string name;
    uint32_t type;
    std::string data;
};

struct Key {
    std::string path; // full path with the root's name, as first created
    std::vector<Value> values;
};

struct Store {
    std::vector<Key> keys; // in creation order
};

struct SettingsState {
    std::mutex lock;
    std::string dir;
};

SettingsState& settings_state() {
    static SettingsState s;
    return s;
}

const char* root_name(uint32_t root) {
    switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    default: return nullptr;
    }
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The full path of a key, or empty for an unknown root or a name the file cannot hold.
std::string full_path(uint32_t root, std::string_view key) {
    const char* name = root_name(root);
    if (!name) return {};
    std::string path = name;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string_view::npos) end = key.size();
        std::string_view part = key.substr(start, end - start);
        if (!part.empty()) {
            for (char c : part)
                if (static_cast<unsigned char>(c) < 0x20 || c == ']') return {};
            path += '\\';
            path += part;
        }
        start = end + 1;
    }
    return path;
}

bool is_root_path(std::string_view path) {
    return path.find('\\') == std::string_view::npos;
}

Key* find_key(Store& s, std::string_view path) {
    for (Key& k : s.keys)
        if (same_ignoring_case(k.path, path)) return &k;
    return nullptr;
}

Value* find_value(Key& k, std::string_view name) {
    for (Value& v : k.values)
        if (same_ignoring_case(v.name, name)) return &v;
    return nullptr;
}

// Makes the key and its parents; the roots themselves are not stored.
Key* create_path(Store& s, const std::string& path) {
    size_t pos = path.find('\\');
    for (;;) {
        std::string prefix = path.substr(0, pos);
        if (!is_root_path(prefix) && !find_key(s, prefix)) s.keys.push_back(Key{prefix, {}});
        if (pos == std::string::npos) break;
        pos = path.find('\\', pos + 1);
    }
    return find_key(s, path);
}

// --- The file ---

void append_quoted(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    out += '"';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string at `pos`; false on a malformed one.
bool read_quoted(std::string_view line, size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= line.size()) return false;
        char e = line[pos++];
        if (e == 'x') {
            if (pos + 2 > line.size()) return false;
            int hi = hex_value(line[pos]), lo = hex_value(line[pos + 1]);
            if (hi < 0 || lo < 0) return false;
            out += char(hi * 16 + lo);
            pos += 2;
        } else {
            out += e;
        }
    }
    return false;
}

bool parse_value_line(std::string_view line, Value& v) {
    size_t pos = 0;
    if (!line.empty() && line[0] == '@') {
        pos = 1;
    } else if (!read_quoted(line, pos, v.name)) {
        return false;
    }
    if (pos >= line.size() || line[pos++] != '=') return false;
    if (pos < line.size() && line[pos] == '"') {
        v.type = REG_SZ;
        if (!read_quoted(line, pos, v.data)) return false;
        v.data += '\0';
        return pos == line.size();
    }
    if (line.substr(pos, 4) != "hex(") return false;
    pos += 4;
    size_t close = line.find("):", pos);
    if (close == std::string_view::npos || close == pos || close - pos > 10) return false;
    uint64_t type = 0;
    for (size_t i = pos; i < close; ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
        type = type * 10 + uint64_t(line[i] - '0');
    }
    if (type > 0xFFFFFFFFu) return false;
    v.type = uint32_t(type);
    pos = close + 2;
    if ((line.size() - pos) % 2 != 0) return false;
    for (; pos < line.size(); pos += 2) {
        int hi = hex_value(line[pos]), lo = hex_value(line[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        v.data += char(hi * 16 + lo);
    }
    return true;
}

// Lines that do not parse are skipped: a damaged line costs that value, not the registry.
Store parse(const std::string& text) {
    Store s;
    Key* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 3) continue;
            std::string path(line.substr(1, line.size() - 2));
            if (is_root_path(path)) continue;
            current = find_key(s, path);
            if (!current) {
                s.keys.push_back(Key{path, {}});
                current = &s.keys.back();
            }
            continue;
        }
        Value v{};
        if (!current || !parse_value_line(line, v)) continue;
        if (Value* old = find_value(*current, v.name))
            *old = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
    return s;
}

std::string format(const Store& s) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "; corvel registry\n";
    for (const Key& k : s.keys) {
        out += '[';
        out += k.path;
        out += "]\n";
        for (const Value& v : k.values) {
            if (v.name.empty())
                out += '@';
            else
                append_quoted(out, v.name);
            out += '=';
            bool plain_string = v.type == REG_SZ && !v.data.empty() && v.data.back() == '\0' &&
                                v.data.find('\0') == v.data.size() - 1;
            if (plain_string) {
                append_quoted(out, std::string_view(v.data).substr(0, v.data.size() - 1));
            } else {
                out += "hex(" + std::to_string(v.type) + "):";
                for (unsigned char c : v.data) {
                    out += hex[c >> 4];
                    out += hex[c & 15];
                }
            }
            out += '\n';
        }
    }
    return out;
}

bool read_file(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == ENOENT;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool write_file(const std::string& path, const std::string& text) {
    std::string temp = path + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fflush(f) == 0 && ok;
    ok = ::fsync(::fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
}

// Runs `change` on the loaded store under the file lock; writes the store back when it returns
// ok and `writes` is set. Reads of a registry that was never written see an empty store.
template <class F>
RegStatus with_store(bool writes, F&& change) {
    std::string dir = settings_dir();
    std::error_code ec;
    if (writes) std::filesystem::create_directories(dir, ec);
    std::string lock_path = dir + "/registry.lock";
    int lock = ::open(lock_path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lock < 0) {
        // Reading a registry whose directory was never made finds it empty.
        if (writes || errno != ENOENT) return RegStatus::failed;
        Store empty;
        return change(empty);
    }
    RegStatus status = RegStatus::failed;
    if (::flock(lock, writes ? LOCK_EX : LOCK_SH) == 0) {
        std::string text;
        if (read_file(registry_file_path(), text)) {
            Store s = parse(text);
            status = change(s);
            if (writes && status == RegStatus::ok && !write_file(registry_file_path(), format(s)))
                status = RegStatus::failed;
        }
        ::flock(lock, LOCK_UN);
    }
    ::close(lock);
    return status;
}

} // namespace

void set_settings_dir(std::string dir) {
    std::lock_guard guard(settings_state().lock);
    settings_state().dir = std::move(dir);
}

std::string settings_dir() {
    {
        std::lock_guard guard(settings_state().lock);
        if (!settings_state().dir.empty()) return settings_state().dir;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/corvel";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/corvel";
    return "/tmp/corvel";
}

std::string registry_file_path() {
    return settings_dir() + "/registry.txt";
}

RegStatus reg_create_key(uint32_t root, std::string_view key) {
    std::string path = full_path(root, key);
    if (path.empty()) return RegStatus::not_found;
    return with_store(true, [&](Store& s) {
        return create_path(s, path) || is_root_path(path) ? RegStatus::ok : RegStatus::failed;
    });
}

bool reg_key_exists(uint32_t root, std::string_view key) {
    std::string path = full_path(root, key);
    if (path.empty()) return false;
    if (is_root_path(path)) return true;
    return with_store(false, [&](Store& s) {
               return find_key(s, path) ? RegStatus::ok : RegStatus::not_found;
           }) == RegStatus::ok;
}

RegStatus reg_set_value(uint32_t root, std::string_view key, std::string_view name, uint32_t type,
                        const void* data, size_t size) {
    std::string path = full_path(root, key);
    if (path.empty() || is_root_path(path)) return RegStatus::not_found;
    if (size && !data) return RegStatus::failed;
    std::string bytes(static_cast<const char*>(data), size);
    return with_store(true, [&](Store& s) {
        Key* k = create_path(s, path);
        if (!k) return RegStatus::failed;
        if (Value* v = find_value(*k, name)) {
            v->type = type;
            v->data = bytes;
        } else {
            k->values.push_back(Value{std::string(name), type, bytes});
        }
        return RegStatus::ok;
    });
}

RegStatus reg_query_value(uint32_t root, std::string_view key, std::string_view name,
                          uint32_t* type, void* data, uint32_t* size) {
    std::string path = full_path(root, key);
    if (path.empty()) return RegStatus::not_found;
    return with_store(false, [&](Store& s) {
        Key* k = find_key(s, path);
        Value* v = k ? find_value(*k, name) : nullptr;
        if (!v) return RegStatus::not_found;
        if (type) *type = v->type;
        uint32_t room = size ? *size : 0;
        if (size) *size = uint32_t(v->data.size());
        if (!data) return RegStatus::ok;
        if (room < v->data.size()) return RegStatus::more_data;
        std::memcpy(data, v->data.data(), v->data.size());
        return RegStatus::ok;
    });
}

RegStatus reg_delete_value(uint32_t root, std::string_view key, std::string_view name) {
    std::string path = full_path(root, key);
    if (path.empty()) return RegStatus::not_found;
    return with_store(true, [&](Store& s) {
        Key* k = find_key(s, path);
        if (!k) return RegStatus::not_found;
        auto it = std::find_if(k->values.begin(), k->values.end(),
                               [&](const Value& v) { return same_ignoring_case(v.name, name); });
        if (it == k->values.end()) return RegStatus::not_found;
        k->values.erase(it);
        return RegStatus::ok;
    });
}

RegStatus reg_delete_key(uint32_t root, std::string_view key) {
    std::string path = full_path(root, key);
    if (path.empty() || is_root_path(path)) return RegStatus::not_found;
    return with_store(true, [&](Store& s) {
        auto it = std::find_if(s.keys.begin(), s.keys.end(),
                               [&](const Key& k) { return same_ignoring_case(k.path, path); });
        if (it == s.keys.end()) return RegStatus::not_found;
        std::string prefix = it->path + "\\";
        for (const Key& k : s.keys)
            if (k.path.size() > prefix.size() &&
                same_ignoring_case(std::string_view(k.path).substr(0, prefix.size()), prefix))
                return RegStatus::has_subkeys;
        s.keys.erase(it);
        return RegStatus::ok;
    });
}

RegStatus reg_enum_subkey(uint32_t root, std::string_view key, uint32_t index, std::string* name) {
    std::string path = full_path(root, key);
    if (path.empty()) return RegStatus::not_found;
    return with_store(false, [&](Store& s) {
        if (!is_root_path(path) && !find_key(s, path)) return RegStatus::not_found;
        std::string prefix = path + "\\";
        uint32_t seen = 0;
        for (const Key& k : s.keys) {
            if (k.path.size() <= prefix.size() ||
                !same_ignoring_case(std::string_view(k.path).substr(0, prefix.size()), prefix))
                continue;
            std::string_view rest = std::string_view(k.path).substr(prefix.size());
            if (rest.find('\\') != std::string_view::npos) continue;
            if (seen++ == index) {
                if (name) *name = rest;
                return RegStatus::ok;
            }
        }
        return RegStatus::not_found;
    });
}

} // namespace platform
