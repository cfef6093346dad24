// IO: registered, refused at creation.
#include "media/input/io.h"

namespace {

OmResult create_io(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    return OM_E_FAIL;
}

const OmClassRecord classes[] = {
    {&CLSID_IO, nullptr, nullptr, create_io, "IO"},
};

} // namespace

OM_DEFINE_MODULE(IO, classes)
