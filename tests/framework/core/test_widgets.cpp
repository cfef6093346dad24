// The test widget module.
#include "tests/framework/core/test_widgets.h"

Lonely* Lonely::instance = nullptr;

namespace {
const GUID* const widget_categories[] = {&CATID_Widgets, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_TwoFaced, widget_categories, nullptr, OmCreateComponent<TwoFaced>, "TwoFaced"},
    {&CLSID_Lonely, nullptr, nullptr, Lonely::Create, "Lonely"},
};
} // namespace

TwoFaced::~TwoFaced() {
    OmFreeMemory(buffer_);
}

OmResult TwoFaced::init() {
    buffer_ = OmAllocMemory(64);
    return buffer_ ? OM_S_OK : OM_E_OUTOFMEMORY;
}

OmResult TwoFaced::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out,
                              {{&IID_IGreeter, static_cast<IGreeter*>(this)},
                               {&IID_ICounter, static_cast<ICounter*>(this)}});
}

Lonely::~Lonely() {
    instance = nullptr;
}

OmResult Lonely::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_IGreeter, this}});
}

OmResult Lonely::Create(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(instance, outer, out);
}

OM_DEFINE_MODULE(TestWidgets, classes)
