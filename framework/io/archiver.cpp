// The Archiver component: hands out archives and keeps the registration table.
#include "framework/io/archiver.h"

#include "framework/io/archive.h"
#include "framework/io/archive_key_table.h"

namespace {

class Archiver final : public OmObject<Archiver, IArchiver> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IArchiver, this}});
    }

    OmResult CreateArchive(uint32_t mode, IByteStream* stream, IArchive** out) override {
        return OmNewArchive(this, mode, true, stream, out);
    }
    OmResult CreateBinaryArchive(uint32_t mode, IByteStream* stream, IArchive** out) override {
        return OmNewArchive(this, mode, false, stream, out);
    }

    OmResult Register(const GUID* id, uint32_t key, uint32_t value) override {
        if (!id) return OM_E_FAIL;
        ArchiveKeyTable::Entry* group = table_.find(id->Data1);
        if (!group) {
            group = table_.add(id->Data1);
            if (!group) return OM_E_OUTOFMEMORY;
            group->inner = new ArchiveKeyTable;
            if (!group->inner) {
                table_.remove(id->Data1);
                return OM_E_OUTOFMEMORY;
            }
        }
        if (group->inner->find(key)) return OM_S_OK;
        ArchiveKeyTable::Entry* entry = group->inner->add(key);
        if (!entry) return OM_E_OUTOFMEMORY;
        entry->value = value;
        return OM_S_OK;
    }
    OmResult Unregister(const GUID* id, uint32_t key) override {
        if (!id) return OM_E_FAIL;
        ArchiveKeyTable::Entry* group = table_.find(id->Data1);
        if (!group || !group->inner->remove(key)) return OM_E_FAIL;
        return OM_S_OK;
    }

private:
    ArchiveKeyTable table_;
};

const OmClassRecord classes[] = {
    {&CLSID_Archiver, nullptr, nullptr, OmCreateComponent<Archiver>, "Archiver"}};

} // namespace

OM_DEFINE_MODULE(Archiver, classes)
