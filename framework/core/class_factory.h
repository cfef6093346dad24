// The generic class factory and the functions a module uses to register its class table.
#pragma once

#include "framework/core/class_record.h"
#include "framework/core/component.h"

#include <iterator>

// Made per request by OmGetClassObjectFromTable; creates objects of one class record.
class OmClassFactory final : public OmObject<OmClassFactory, IClassFactory> {
public:
    explicit OmClassFactory(const OmClassRecord* record) : record_(record) {}

    OmResult QueryInterface(const GUID& iid, void** out) override;
    OmResult CreateInstance(IUnknown* outer, const GUID& iid, void** out) override;
    OmResult LockServer(int32_t lock) override;

private:
    const OmClassRecord* record_;
};

// Registers each record (description with its name, its category lists) and its
// "CreateObject" entry pointing at `get_class_object`. The first failure ends the walk and is
// returned; a count below 1 returns 0.
OmResult OmRegisterClassTable(const OmClassRecord* records, int32_t count,
                              OmGetClassObjectFunction get_class_object, IObjectManager* manager);
// Unregisters every record's class, ignoring the results; 0.
OmResult OmUnregisterClassTable(const OmClassRecord* records, int32_t count,
                                IObjectManager* manager);
// A factory for the record of `clsid` queried for `iid`. OM_E_CLASSNOTAVAILABLE when the
// table lacks the class, OM_E_OUTOFMEMORY, or the query's result.
OmResult OmGetClassObjectFromTable(const OmClassRecord* records, int32_t count, const GUID& clsid,
                                   const GUID& iid, void** out);

// Declares a module's three table functions: <Module>_GetClassObject,
// <Module>_RegisterClasses and <Module>_UnregisterClasses.
#define OM_DECLARE_MODULE(Module)                                                                  \
    OmResult Module##_GetClassObject(const GUID& clsid, const GUID& iid, void** out);              \
    OmResult Module##_RegisterClasses(IObjectManager* manager);                                    \
    OmResult Module##_UnregisterClasses(IObjectManager* manager)

// Defines them over a module's class table (an array of OmClassRecord).
#define OM_DEFINE_MODULE(Module, table)                                                            \
    OmResult Module##_GetClassObject(const GUID& clsid, const GUID& iid, void** out) {             \
        return OmGetClassObjectFromTable(table, int32_t(std::size(table)), clsid, iid, out);       \
    }                                                                                              \
    OmResult Module##_RegisterClasses(IObjectManager* manager) {                                   \
        return OmRegisterClassTable(table, int32_t(std::size(table)), Module##_GetClassObject,     \
                                    manager);                                                      \
    }                                                                                              \
    OmResult Module##_UnregisterClasses(IObjectManager* manager) {                                 \
        return OmUnregisterClassTable(table, int32_t(std::size(table)), manager);                  \
    }
