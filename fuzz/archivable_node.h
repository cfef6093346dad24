// A class that archives itself, for the archive harness and its seeds: one field of every
// value type of the archive and two child objects, so a graph of them uses every transfer.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/object_manager.h"
#include "framework/io/archiver.h"

inline constexpr GUID CLSID_FuzzArchiveNode = om_guid("5E1A0060-0000-4000-8000-00000000F001");
inline constexpr GUID IID_IFuzzArchiveNode = om_guid("5E1A0061-0000-4000-8000-00000000F001");

struct IFuzzArchiveNode : IUnknown {
    virtual int32_t& number() = 0;
    virtual float& real() = 0;
    virtual char* name() = 0;     // 16 bytes
    virtual uint8_t* bytes() = 0; // 3 bytes
    virtual GUID& id() = 0;
    // Each holds one reference (null allowed).
    virtual IUnknown** children() = 0; // 2 slots
};

class FuzzArchiveNode final : public OmObject<FuzzArchiveNode, IFuzzArchiveNode, IArchivable> {
public:
    ~FuzzArchiveNode() {
        for (IUnknown* child : children_)
            if (child) child->Release();
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IFuzzArchiveNode, static_cast<IFuzzArchiveNode*>(this)},
                                   {&IID_IArchivable, static_cast<IArchivable*>(this)}});
    }
    int32_t& number() override { return number_; }
    float& real() override { return real_; }
    char* name() override { return name_; }
    uint8_t* bytes() override { return bytes_; }
    GUID& id() override { return id_; }
    IUnknown** children() override { return children_; }

    OmResult Transfer(IArchive* archive) override {
        GUID clsid = CLSID_FuzzArchiveNode;
        uint32_t code = om_archive_code("FUZN");
        OmResult r = archive->Transfer(OM_ARCHIVE_GUID, &clsid, sizeof clsid);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_CODE, &code, sizeof code);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_INT, &number_, sizeof number_);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_FLOAT, &real_, sizeof real_);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_STRING, name_, sizeof name_);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_BYTE, bytes_, sizeof bytes_);
        // A reading archive's Transfer passes GUIDs over (they head objects), so a GUID that
        // is data goes through Read and Write.
        if (r >= 0 && archive->IsWriting())
            r = archive->Write(OM_ARCHIVE_GUID, &id_, sizeof id_);
        else if (r >= 0)
            r = archive->Read(OM_ARCHIVE_GUID, &id_, sizeof id_);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_OBJECT, children_, sizeof children_);
        return r;
    }

private:
    int32_t number_ = 0;
    float real_ = 0.0f;
    char name_[16] = {};
    uint8_t bytes_[3] = {};
    GUID id_ = {};
    IUnknown* children_[2] = {};
};

inline const OmClassRecord fuzz_archive_node_classes[] = {{&CLSID_FuzzArchiveNode, nullptr, nullptr,
                                                           OmCreateComponent<FuzzArchiveNode>,
                                                           "FuzzArchiveNode"}};

// Registers the class with the running object manager.
inline OmResult fuzz_register_archive_node_class() {
    return OmRegisterClassTable(
        fuzz_archive_node_classes, 1,
        [](const GUID& clsid, const GUID& iid, void** out) {
            return OmGetClassObjectFromTable(fuzz_archive_node_classes, 1, clsid, iid, out);
        },
        OmGetObjectManager());
}
