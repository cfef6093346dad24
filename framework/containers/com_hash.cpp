// COMHash: names to objects.
#include "framework/containers/hash_component.h"

namespace {

class COMHash final : public HashComponent<COMHash, ICOMHash> {
public:
    static constexpr uint32_t chunk_tag = OM_TAG_COMHASH;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICOMHash, this}, {&IID_IObjectIO, this}});
    }
};

const OmClassRecord classes[] = {
    {&CLSID_COMHash, nullptr, nullptr, OmCreateComponent<COMHash>, "COMHash"}};

} // namespace

OM_DEFINE_MODULE(COMHash, classes)
