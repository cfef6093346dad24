// NullLexAnalyser: the token state alone; every matching operation fails.
#include "framework/containers/new_direct.h"
#include "framework/io/lex_analyser_object.h"

#include "platform/guid_source.h"

#include <cstring>

namespace {

class NullLexAnalyser final : public LexAnalyserObject<NullLexAnalyser> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ILexAnalyser, this}});
    }
};

// The class has no fixed id: a fresh one is made when the program starts.
GUID make_class_id() {
    uint8_t bytes[16];
    GUID id{};
    if (platform::new_guid(bytes) == 0) std::memcpy(&id, bytes, sizeof id);
    return id;
}
const GUID null_lex_class_id = make_class_id();

const OmClassRecord classes[] = {
    {&null_lex_class_id, nullptr, nullptr, OmCreateComponent<NullLexAnalyser>, "NullLexAnalyser"}};

} // namespace

const GUID& OmNullLexAnalyserClassId() {
    return null_lex_class_id;
}

OmResult OmNewNullLexAnalyser(ILexAnalyser** out) {
    return om_new_direct<NullLexAnalyser>(out);
}

OM_DEFINE_MODULE(NullLexAnalyser, classes)
