// Loading the component libraries listed in dlls.ini.
#include "framework/core/component_libraries.h"

#include "framework/core/text_line.h"
#include "platform/message_box.h"
#include "platform/paths.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>

void om_bind_object_manager(IObjectManager* manager);
void om_bind_allocator(IMemory* allocator);

namespace {

// The list file read a byte at a time, the way the line reader expects a stream to behave.
class ListFile {
public:
    explicit ListFile(const std::string& path) : file_(platform::open_file(path, "rb")) {}
    ~ListFile() {
        if (file_) std::fclose(file_);
    }
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    bool is_open() const { return file_ != nullptr; }
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) {
        size_t got = std::fread(buffer, 1, count, file_);
        if (done) *done = uint32_t(got);
        return got < count ? OM_E_ENDOFSTREAM : OM_S_OK;
    }

private:
    FILE* file_;
};

std::string program_relative(const char* name) {
    if (name[0] == '/') return name;
    char directory[OM_COMPONENT_LINE_SIZE];
    if (OmGetProgramDirectory(directory, sizeof directory) < 0) return name;
    return std::string(directory) + name;
}

} // namespace

OmResult OmGetProgramDirectory(char* out, uint32_t size) {
    if (!out || size == 0) return OM_E_FAIL;
    std::string directory = platform::program_dir();
    if (directory.empty() || directory.back() != '/') directory += '/';
    if (directory.size() + 1 > size) {
        out[0] = '\0';
        return OM_E_FAIL;
    }
    std::memcpy(out, directory.c_str(), directory.size() + 1);
    return OM_S_OK;
}

OmResult OmLoadComponentDll(const char* line) {
    if (!line || !*line) return OM_E_FAIL;
    std::string path = platform::resolve_path(program_relative(line));
    // Libraries stay loaded for the life of the program: classes they registered keep
    // pointing into them.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return OM_E_NOTFOUND;
    auto set_com = reinterpret_cast<OmDllSetCOMFunction>(dlsym(library, "DllSetCOM"));
    if (!set_com) return OM_E_FAIL;
    set_com(OmGetObjectManager(), OmGetAllocator());
    auto register_server =
        reinterpret_cast<OmDllRegisterServerFunction>(dlsym(library, "DllRegisterServer"));
    if (!register_server) return OM_E_FAIL;
    register_server();
    return OM_S_OK;
}

OmResult OmProcessComponentList(const char* list_name) {
    ListFile list(program_relative(list_name ? list_name : OM_COMPONENT_LIST_NAME));
    if (!list.is_open()) return OM_E_NOTFOUND;
    char line[OM_COMPONENT_LINE_SIZE];
    while (OmReadTextLine(&list, line, sizeof line) >= 0) {
        if (line[0] == '\0' || line[0] == '#' || line[0] == ' ') continue;
        OmResult r = OmLoadComponentDll(line);
        if (r < 0) {
            platform::message_box("Unable to load dll",
                                  std::string("Unable to load '") + line + "'");
            return r;
        }
    }
    return OM_S_OK;
}

OmResult OmAdoptSuppliedObjectManager() {
    IObjectManager* supplied = nullptr;
    OmResult r = OmCreateInstance(CLSID_SuppliedObjectManager, nullptr, 0, IID_IObjectManager,
                                  reinterpret_cast<void**>(&supplied));
    if (r < 0) return r;
    OmSetObjectManager(nullptr);
    return OmSetObjectManager(supplied);
}

OmResult OmLoadComponentDlls(const char* list_name) {
    OmResult r = OmProcessComponentList(list_name);
    if (r < 0) return r;
    if (OmAdoptSuppliedObjectManager() < 0) return OM_S_OK;
    return OmProcessComponentList(list_name);
}

void OmUseProgramServices(IObjectManager* manager, IMemory* allocator) {
    om_bind_object_manager(manager);
    om_bind_allocator(allocator);
}
