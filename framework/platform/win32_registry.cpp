// Win32Registry: string values below the maker's key of the machine registry.
#include "framework/platform/registry.h"

#include <string>

namespace {

// Splits a '/'-separated path into the key below the maker's key and the value name.
bool split_path(const char* path, std::string& key, std::string& name) {
    if (!path) return false;
    std::string p = path;
    size_t slash = p.rfind('/');
    key = OM_REGISTRY_BASE_KEY;
    if (slash != std::string::npos) {
        std::string rest = p.substr(0, slash);
        for (char& c : rest)
            if (c == '/') c = '\\';
        key += "\\" + rest;
        name = p.substr(slash + 1);
    } else {
        name = p;
    }
    return true;
}

class Win32Registry final : public OmObject<Win32Registry, IOmRegistry> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmRegistry, this}});
    }
    OmResult SetValue(const char* path, const char* text) override {
        std::string key, name;
        if (!split_path(path, key, name)) return OM_E_FAIL;
        if (!text || !*text)
            return OmRegDeleteValue(platform::HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
        return OmRegSetString(platform::HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), text);
    }
    OmResult GetValue(const char* path, char* buffer, uint32_t size) override {
        std::string key, name;
        if (!split_path(path, key, name)) return OM_E_FAIL;
        return OmRegGetString(platform::HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), buffer,
                              size);
    }
    OmResult DeleteKey(const char* path) override {
        if (!path || !*path) return OM_E_FAIL; // never the maker's whole key
        std::string key = std::string(OM_REGISTRY_BASE_KEY) + "\\" + path;
        for (char& c : key)
            if (c == '/') c = '\\';
        return OmRegDeleteKeyTree(platform::HKEY_LOCAL_MACHINE, key.c_str());
    }
};

const OmClassRecord classes[] = {
    {&CLSID_Win32Registry, nullptr, nullptr, OmCreateComponent<Win32Registry>, "Win32Registry"}};

} // namespace

OM_DEFINE_MODULE(Win32Registry, classes)
