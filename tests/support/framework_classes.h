// The framework's own classes for the tests of the layers below the program, which cannot call
// the program's module groups: each function registers one kind of class, in the order the
// groups use.
#pragma once

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
#include "framework/crypto/cipher.h"
#include "framework/crypto/digital_signature.h"
#include "framework/crypto/secure_storage.h"
#include "framework/crypto/secure_storage_create.h"
#include "framework/io/archiver.h"
#include "framework/io/binary_stream_composer.h"
#include "framework/io/fifo_stream.h"
#include "framework/io/iff.h"
#include "framework/io/lex_analyser.h"
#include "framework/io/memory_stream.h"
#include "framework/io/meta_object_rw.h"
#include "framework/io/object_rw.h"
#include "framework/io/object_streamer.h"
#include "framework/io/sync_stream.h"
#include "framework/maths/expression.h"
#include "framework/maths/expression_parser.h"
#include "framework/maths/random.h"
#include "framework/maths/std_c_maths.h"
#include "framework/platform/cpuid.h"
#include "framework/platform/debug_message.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_extension.h"
#include "framework/platform/os_service.h"
#include "framework/platform/profile.h"
#include "framework/platform/registry.h"
#include "framework/platform/timer.h"

namespace testsupport {

// Containers and values.
inline void register_container_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {COMArray_RegisterClasses, COMHash_RegisterClasses, COMStack_RegisterClasses,
          ObjHash_RegisterClasses, COMList_RegisterClasses, PropertySheet_RegisterClasses,
          BitFieldIntSet_RegisterClasses, Int_RegisterClasses, Ptr_RegisterClasses,
          Real_RegisterClasses, String_RegisterClasses, Guid_RegisterClasses,
          SimpleArray_RegisterClasses, COMSet_RegisterClasses})
        f(manager);
}

// Streams, readers and writers, secured storage and file storage.
inline void register_storage_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {Archiver_RegisterClasses, SyncStream_RegisterClasses, FifoStream_RegisterClasses,
          MemoryStream_RegisterClasses, ObjectStreamer_RegisterClasses, IFF_RegisterClasses,
          ObjectRW_RegisterClasses, MetaObjectRW_RegisterClasses,
          BinaryStreamComposer_RegisterClasses, SecureStorage_RegisterClasses,
          SecureStorageCreate_RegisterClasses, Win32Storage_RegisterClasses})
        f(manager);
}

// Timers, the debug log and the operating-system services.
inline void register_system_classes(IObjectManager* manager) {
    for (OmRegisterFunction f :
         {Timer_RegisterClasses, DebugMessage_RegisterClasses, Win32CPUID_RegisterClasses,
          Win32Registry_RegisterClasses, Win32OS_RegisterClasses, Win32OSExt_RegisterClasses,
          Win32HighResTimer_RegisterClasses, Win32Profile_RegisterClasses})
        f(manager);
}

inline void register_crypto_classes(IObjectManager* manager) {
    for (OmRegisterFunction f : {AsciiCrypt_RegisterClasses, CryptPW_RegisterClasses,
                                 TinyCrypt_RegisterClasses, DigitalSignature_RegisterClasses})
        f(manager);
}

// Random numbers, expressions, the maths service and the lexers.
inline void register_maths_classes(IObjectManager* manager) {
    for (OmRegisterFunction f : {Random_RegisterClasses, Expression_RegisterClasses,
                                 ExpressionParser_RegisterClasses, StdCMaths_RegisterClasses,
                                 DFALexAnalyser_RegisterClasses, NFALexAnalyser_RegisterClasses})
        f(manager);
}

// Every class of the framework.
inline void register_framework_classes(IObjectManager* manager) {
    register_container_classes(manager);
    register_crypto_classes(manager);
    register_maths_classes(manager);
    StdCMemory_RegisterClasses(manager);
    register_system_classes(manager);
    register_storage_classes(manager);
}

} // namespace testsupport
