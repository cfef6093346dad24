// A small module of test components: a class with two interfaces and a singleton.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID IID_IGreeter = om_guid("5E1A0001-0000-4000-8000-00000000A001");
inline constexpr GUID IID_ICounter = om_guid("5E1A0002-0000-4000-8000-00000000A001");
inline constexpr GUID CLSID_TwoFaced = om_guid("5E1A0010-0000-4000-8000-00000000A001");
inline constexpr GUID CLSID_Lonely = om_guid("5E1A0011-0000-4000-8000-00000000A001");
inline constexpr GUID CATID_Widgets = om_guid("5E1A0020-0000-4000-8000-00000000A001");

struct IGreeter : IUnknown {
    virtual int32_t Greet() = 0;
};
struct ICounter : IUnknown {
    virtual uint32_t Count() = 0;
};

// Two interfaces on one count; owns a buffer from the allocator, made in init().
class TwoFaced final : public OmObject<TwoFaced, IGreeter, ICounter> {
public:
    ~TwoFaced();
    OmResult init();
    OmResult QueryInterface(const GUID& iid, void** out) override;
    int32_t Greet() override { return 42; }
    uint32_t Count() override { return ref_count(); }

private:
    void* buffer_;
};

// A singleton: every create hands out the same object.
class Lonely final : public OmObject<Lonely, IGreeter> {
public:
    ~Lonely();
    OmResult QueryInterface(const GUID& iid, void** out) override;
    int32_t Greet() override { return 7; }
    static OmResult Create(IUnknown* outer, IUnknown** out);
    static Lonely* instance;
};

OM_DECLARE_MODULE(TestWidgets);
