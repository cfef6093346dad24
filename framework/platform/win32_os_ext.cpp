// Win32OSExt over the platform's opener, posix_spawn, GUID source and flock mutexes.
#include "framework/platform/os_extension.h"

#include "framework/core/object_manager.h"
#include "framework/core/portable_path.h"
#include "framework/core/static_state.h"
#include "framework/platform/os_service.h"
#include "framework/platform/registry.h"
#include "platform/guid_source.h"
#include "platform/os/spawn.h"
#include "platform/paths.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

uint32_t spawn_mode = OM_SPAWN_NOWAIT;
const OmStaticStateReset reset_spawn_mode([] { spawn_mode = OM_SPAWN_NOWAIT; });

// The program of a registered open command: its first word, double quotes removed.
std::string command_program(const char* command) {
    std::string program;
    bool quoted = false;
    for (const char* p = command; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            continue;
        }
        if (*p == ' ' && !quoted) {
            if (!program.empty()) break;
            continue;
        }
        program += *p;
    }
    return program;
}

// Reads the open command registered for a file type.
OmResult registered_program(const char* file_type, std::string& program) {
    std::string type_key = std::string("Software\\Classes\\.") + file_type;
    char class_name[OM_OPEN_COMMAND_SIZE];
    OmResult r = OmRegGetString(platform::HKEY_LOCAL_MACHINE, type_key.c_str(), "", class_name,
                                sizeof class_name);
    if (r < 0) return r;
    std::string command_key =
        std::string("Software\\Classes\\") + class_name + "\\Shell\\Open\\Command";
    char command[OM_OPEN_COMMAND_SIZE];
    r = OmRegGetString(platform::HKEY_LOCAL_MACHINE, command_key.c_str(), "", command,
                       sizeof command);
    if (r < 0) return r;
    program = command_program(command);
    return program.empty() ? OM_E_FAIL : OM_S_OK;
}

bool is_web_address(std::string_view target) {
    return target.find("://") != std::string_view::npos;
}

class Win32OSExt final : public OmObject<Win32OSExt, IOmOSExt> {
public:
    OmResult init() {
        return OmCreateInstance(CLSID_Win32OS, nullptr, 0, IID_IOmOS,
                                reinterpret_cast<void**>(&os_));
    }
    ~Win32OSExt() {
        if (os_) os_->Release();
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmOSExt, this}});
    }

    OmResult Reserved(void*) override { return OM_S_OK; }

    OmResult ShellOpen(const char* file_type, const char* target) override {
        if (!target) return OM_E_FAIL;
        std::string program;
        if (file_type) {
            OmResult r = registered_program(file_type, program);
            if (r < 0) return r;
        } else {
            // As the system's own lookup does, a document that is not there has no program.
            std::error_code ec;
            if (!is_web_address(target) &&
                !std::filesystem::exists(platform::resolve_path(target), ec))
                return OM_E_FAIL;
            program = platform::shell_open_program();
            if (program.empty()) return OM_E_FAIL;
        }
        std::string argument = is_web_address(target) ? target : platform::resolve_path(target);
        return platform::spawn_program(program, {program, argument}, false) == 0 ? OM_S_OK
                                                                                 : OM_E_FAIL;
    }

    OmResult OpenDocument(const char* path) override {
        if (!path) return OM_E_FAIL;
        std::string full = path;
        bool absolute = path[0] == '/' || (path[0] && path[1] == ':');
        if (!absolute && !is_web_address(path)) {
            char dir[OM_MAX_PATH];
            OmResult r = os_->GetAppPath(dir, sizeof dir);
            if (r < 0) return r;
            full = std::string(dir) + path;
        }
        return ShellOpen(nullptr, full.c_str());
    }

    OmResult Spawn(uint32_t mode, const char* path, const char* const* args) override {
        if (!path) return OM_E_FAIL;
        if (mode == OM_SPAWN_DEFAULT) mode = spawn_mode;
        std::vector<std::string> argv{" "};
        for (const char* const* a = args; a && *a; ++a) argv.emplace_back(*a);
        // Every failure is one: a program that did not start is never reported as started.
        return platform::spawn_program(path, argv, mode == OM_SPAWN_WAIT) == 0 ? OM_S_OK
                                                                               : OM_E_FAIL;
    }

    OmResult CreateGuid(GUID* out) override {
        if (!out) return OM_E_FAIL;
        uint8_t bytes[16];
        if (platform::new_guid(bytes) != 0) return OM_E_FAIL;
        std::memcpy(out, bytes, sizeof bytes);
        return OM_S_OK;
    }

    OmResult CreateMutex(const char* name, OmMutexHandle* out) override {
        if (!name || !out) return OM_E_FAIL;
        platform::MutexStatus status;
        *out = platform::create_named_mutex(name, &status);
        if (*out) return OM_S_OK;
        return status == platform::MutexStatus::already_exists ? OM_E_MUTEX_EXISTS : OM_E_FAIL;
    }

    OmResult OpenMutex(const char* name, OmMutexHandle* out) override {
        if (!name || !out) return OM_E_FAIL;
        *out = platform::open_named_mutex(name);
        return *out ? OM_S_OK : OM_E_FAIL;
    }

    OmResult ReleaseMutex(OmMutexHandle mutex) override {
        platform::release_named_mutex(mutex);
        return OM_S_OK;
    }

    OmResult CloseHandle(OmMutexHandle mutex) override {
        platform::close_named_mutex(mutex);
        return OM_S_OK;
    }

private:
    IOmOS* os_;
};

const OmClassRecord classes[] = {
    {&CLSID_Win32OSExt, nullptr, nullptr, OmCreateComponent<Win32OSExt>, "Win32OSExt"}};

} // namespace

void OmSetSpawnMode(uint32_t mode) {
    spawn_mode = mode;
}

uint32_t OmGetSpawnMode() {
    return spawn_mode;
}

OM_DEFINE_MODULE(Win32OSExt, classes)
