// The value components: String, Real, Int, Ptr and Guid each hold one value so that it can
// travel wherever the framework passes objects.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_String = om_guid("DAAF9A60-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Real = om_guid("DA9C8790-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Int = om_guid("DA719D3C-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Ptr = om_guid("DA97C2DC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Guid = om_guid("1A3DD4C3-1667-11D5-8DAA-0010B58247E7");
inline constexpr GUID IID_IString = om_guid("DADA84B4-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IReal = om_guid("DAD35DA6-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IInt = om_guid("DAD5C000-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IPtr = om_guid("DADF4968-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IGuidValue = om_guid("1A3DD4C4-1667-11D5-8DAA-0010B58247E7");

inline constexpr uint32_t OM_TAG_STRING = om_chunk_tag("STRI");
inline constexpr uint32_t OM_TAG_REAL = om_chunk_tag("REAL");
inline constexpr uint32_t OM_TAG_INT = om_chunk_tag("INT ");
inline constexpr uint32_t OM_TAG_PTR = om_chunk_tag("PTR ");
inline constexpr uint32_t OM_TAG_GUID = om_chunk_tag("GUID");

struct IString : IObjectIO {
    // Keeps a copy of the text (null makes the value null). OM_E_OUTOFMEMORY, old value kept.
    virtual OmResult Set(const char* text) = 0;
    // The stored text or null; owned by the object.
    virtual const char* Get() = 0;
    // Adds text at the end; null or "" changes nothing. OM_E_OUTOFMEMORY, old value kept.
    virtual OmResult Append(const char* text) = 0;
    // The length without terminator, or -1 when the value is null.
    virtual int32_t Length() = 0;
};

struct IReal : IObjectIO {
    virtual OmResult Set(float value) = 0;
    virtual float Get() = 0;
};

struct IInt : IObjectIO {
    virtual OmResult Set(int32_t value) = 0;
    virtual int32_t Get() = 0;
};

// Holds a pointer it does not own.
struct IPtr : IObjectIO {
    virtual OmResult Set(void* value) = 0;
    virtual void* Get() = 0;
};

struct IGuidValue : IObjectIO {
    // Copies 16 bytes in; OM_E_FAIL for a null pointer.
    virtual OmResult Set(const GUID* value) = 0;
    // Copies 16 bytes out; OM_E_FAIL for a null pointer.
    virtual OmResult Get(GUID* value) = 0;
};

OM_DECLARE_MODULE(String);
OM_DECLARE_MODULE(Real);
OM_DECLARE_MODULE(Int);
OM_DECLARE_MODULE(Ptr);
OM_DECLARE_MODULE(Guid);

// New value objects holding a value, made directly (not through the object manager, so they
// work while the class registry itself is being filled). OM_E_OUTOFMEMORY.
OmResult OmNewString(const char* text, IString** out);
OmResult OmNewReal(float value, IReal** out);
OmResult OmNewInt(int32_t value, IInt** out);
OmResult OmNewPtr(void* value, IPtr** out);
OmResult OmNewGuid(const GUID& value, IGuidValue** out);

// The object's value interface when it is exactly a component of that class (no reference
// added), else null. Other objects that merely answer the interface do not count.
IString* om_exact_string(IUnknown* object);
IReal* om_exact_real(IUnknown* object);
IInt* om_exact_int(IUnknown* object);
IPtr* om_exact_ptr(IUnknown* object);
IGuidValue* om_exact_guid(IUnknown* object);
