// The group registration functions. Each lists the modules of its group in registration
// order; a module joins its list, at its place, when it is built into the program.
#include "framework/core/module_groups.h"

#include "framework/containers/bit_field_int_set.h"
#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "framework/containers/com_list.h"
#include "framework/containers/com_set.h"
#include "framework/containers/com_stack.h"
#include "framework/containers/property_sheet.h"
#include "framework/containers/simple_array.h"
#include "framework/containers/values.h"
#include "framework/core/std_c_memory.h"
#include "framework/io/archiver.h"
#include "framework/io/binary_stream_composer.h"
#include "framework/io/fifo_stream.h"
#include "framework/io/iff.h"
#include "framework/io/memory_stream.h"
#include "framework/io/meta_object_rw.h"
#include "framework/io/object_rw.h"
#include "framework/io/object_streamer.h"
#include "framework/io/sync_stream.h"
#include "framework/platform/file_storage.h"

#include <iterator>

namespace {

template <size_t N>
OmResult register_each(const OmRegisterFunction (&modules)[N], IObjectManager* manager) {
    for (OmRegisterFunction register_module : modules) register_module(manager);
    return OM_S_OK;
}

// The Guid value sits with the other values so chunked files can create it by its tag.
const OmRegisterFunction container_modules[] = {
    COMArray_RegisterClasses,       COMHash_RegisterClasses, COMStack_RegisterClasses,
    ObjHash_RegisterClasses,        COMList_RegisterClasses, PropertySheet_RegisterClasses,
    BitFieldIntSet_RegisterClasses, Int_RegisterClasses,     Ptr_RegisterClasses,
    Real_RegisterClasses,           String_RegisterClasses,  Guid_RegisterClasses,
    SimpleArray_RegisterClasses,    COMSet_RegisterClasses,
};

const OmRegisterFunction storage_modules[] = {
    Archiver_RegisterClasses,
    SyncStream_RegisterClasses,
    FifoStream_RegisterClasses,
    MemoryStream_RegisterClasses,
    ObjectStreamer_RegisterClasses,
    IFF_RegisterClasses,
    ObjectRW_RegisterClasses,
    MetaObjectRW_RegisterClasses,
    BinaryStreamComposer_RegisterClasses,
    Win32Storage_RegisterClasses,
};

const OmRegisterFunction memory_modules[] = {StdCMemory_RegisterClasses};

const OmModuleGroup startup_order[] = {
    {"display", OmRegisterDisplayModules}, {"containers", OmRegisterContainerModules},
    {"sound", OmRegisterSoundModules},     {"crypto", OmRegisterCryptoModules},
    {"web", OmRegisterWebModules},         {"input", OmRegisterInputModules},
    {"maths", OmRegisterMathsModules},     {"memory", OmRegisterMemoryModule},
    {"network", OmRegisterNetworkModules}, {"system", OmRegisterSystemModules},
    {"storage", OmRegisterStorageModules}, {"text", OmRegisterTextModules},
};

} // namespace

// Groups whose modules are not part of the program yet have nothing to register.
OmResult OmRegisterTextModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterSystemModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterNetworkModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterMathsModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterInputModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterWebModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterCryptoModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterSoundModules(IObjectManager*) {
    return OM_S_OK;
}
OmResult OmRegisterDisplayModules(IObjectManager*) {
    return OM_S_OK;
}

OmResult OmRegisterMemoryModule(IObjectManager* manager) {
    return register_each(memory_modules, manager);
}

OmResult OmRegisterContainerModules(IObjectManager* manager) {
    return register_each(container_modules, manager);
}

OmResult OmRegisterStorageModules(IObjectManager* manager) {
    return register_each(storage_modules, manager);
}

std::span<const OmModuleGroup> OmModuleGroupsInStartupOrder() {
    return startup_order;
}

OmResult OmRegisterAllModuleGroups(IObjectManager* manager) {
    for (const OmModuleGroup& group : startup_order) group.register_modules(manager);
    return OM_S_OK;
}
