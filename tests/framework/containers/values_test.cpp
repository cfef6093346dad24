// The value components and OmCopyObject.
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "tests/framework/core/test_widgets.h"
#include "tests/support/framework_fixture.h"

#include <string>

namespace {

using ValuesTest = testsupport::FrameworkTest;

template <class T>
ComRef<T> created(const GUID& clsid, const GUID& iid, OmGetClassObjectFunction module) {
    ComRef<IClassFactory> factory;
    EXPECT_EQ(module(clsid, IID_IClassFactory, factory.put_void()), 0);
    ComRef<T> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, iid, object.put_void()), 0);
    return object;
}

uint32_t count_of(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(ValuesTest, FreshValuesHoldZeroAndRoundTrip) {
    auto i = created<IInt>(CLSID_Int, IID_IInt, Int_GetClassObject);
    auto r = created<IReal>(CLSID_Real, IID_IReal, Real_GetClassObject);
    auto p = created<IPtr>(CLSID_Ptr, IID_IPtr, Ptr_GetClassObject);
    auto g = created<IGuidValue>(CLSID_Guid, IID_IGuidValue, Guid_GetClassObject);
    EXPECT_EQ(i->Get(), 0);
    EXPECT_EQ(r->Get(), 0.0f);
    EXPECT_EQ(p->Get(), nullptr);
    GUID held = CLSID_Int;
    EXPECT_EQ(g->Get(&held), 0);
    EXPECT_TRUE(om_guid_is_null(held));

    i->Set(-5);
    r->Set(2.5f);
    EXPECT_EQ(p->Set(&held), 0);
    EXPECT_EQ(g->Set(&CLSID_Real), 0);
    EXPECT_EQ(i->Get(), -5);
    EXPECT_EQ(r->Get(), 2.5f);
    EXPECT_EQ(p->Get(), &held);
    EXPECT_EQ(g->Get(&held), 0);
    EXPECT_EQ(held, CLSID_Real);
    EXPECT_EQ(g->Set(nullptr), OM_E_FAIL);
}

TEST_F(ValuesTest, EachValueAnswersItsOwnInterfaceAndObjectIOOnly) {
    struct Row {
        const GUID& clsid;
        const GUID& own;
        OmGetClassObjectFunction module;
    };
    const Row rows[] = {{CLSID_String, IID_IString, String_GetClassObject},
                        {CLSID_Real, IID_IReal, Real_GetClassObject},
                        {CLSID_Int, IID_IInt, Int_GetClassObject},
                        {CLSID_Ptr, IID_IPtr, Ptr_GetClassObject},
                        {CLSID_Guid, IID_IGuidValue, Guid_GetClassObject}};
    for (const Row& row : rows) {
        auto object = created<IUnknown>(row.clsid, row.own, row.module);
        ComRef<IUnknown> io, unknown;
        EXPECT_EQ(object->QueryInterface(IID_IObjectIO, io.put_void()), 0);
        EXPECT_EQ(object->QueryInterface(IID_IUnknown, unknown.put_void()), 0);
        EXPECT_EQ(io.get(), object.get()) << "one table for IObjectIO and the own interface";
        EXPECT_EQ(unknown.get(), object.get());
        for (const Row& other : rows) {
            if (&other.own == &row.own) continue;
            void* out = &out;
            EXPECT_EQ(object->QueryInterface(other.own, &out), OM_E_NOINTERFACE);
            EXPECT_EQ(out, nullptr);
        }
    }
}

TEST_F(ValuesTest, StringLengthGetAndAppend) {
    auto s = created<IString>(CLSID_String, IID_IString, String_GetClassObject);
    EXPECT_EQ(s->Length(), -1);
    EXPECT_EQ(s->Get(), nullptr);
    EXPECT_EQ(s->Append(""), 0);
    EXPECT_EQ(s->Append(nullptr), 0);
    EXPECT_EQ(s->Get(), nullptr);
    EXPECT_EQ(s->Append("wing"), 0);
    EXPECT_STREQ(s->Get(), "wing");
    EXPECT_EQ(s->Append("span"), 0);
    EXPECT_STREQ(s->Get(), "wingspan");
    EXPECT_EQ(s->Length(), 8);
    EXPECT_EQ(s->Set(""), 0);
    EXPECT_EQ(s->Length(), 0);
    EXPECT_EQ(s->Set(nullptr), 0);
    EXPECT_EQ(s->Get(), nullptr);
}

TEST_F(ValuesTest, StringKeepsItsTextWhenMemoryRunsOut) {
    IString* s;
    ASSERT_EQ(OmNewString("old", &s), 0);
    platform::fail_allocation_after(1);
    EXPECT_EQ(s->Set("new"), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(s->Append("er"), OM_E_OUTOFMEMORY);
    EXPECT_STREQ(s->Get(), "old");
    IUnknown* copy = s;
    platform::fail_allocation_after(2);
    EXPECT_EQ(s->Clone(0, &copy), OM_E_OUTOFMEMORY);
    EXPECT_EQ(copy, nullptr);
    s->Release();
}

TEST_F(ValuesTest, CloneMakesAnIndependentObjectWithCountOne) {
    IInt* i;
    ASSERT_EQ(OmNewInt(-5, &i), 0);
    ComRef<IUnknown> copy;
    ASSERT_EQ(i->Clone(0, copy.put()), 0);
    IInt* cloned = om_exact_int(copy.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(static_cast<IUnknown*>(cloned), static_cast<IUnknown*>(i));
    EXPECT_EQ(cloned->Get(), -5);
    EXPECT_EQ(count_of(copy.get()), 1u);
    i->Release();

    IString* s;
    ASSERT_EQ(OmNewString("text", &s), 0);
    ComRef<IUnknown> scopy;
    ASSERT_EQ(s->Clone(0, scopy.put()), 0);
    ASSERT_NE(om_exact_string(scopy.get()), nullptr);
    EXPECT_NE(om_exact_string(scopy.get())->Get(), s->Get()) << "a fresh copy of the text";
    EXPECT_STREQ(om_exact_string(scopy.get())->Get(), "text");
    s->Release();

    IGuidValue* g;
    ASSERT_EQ(OmNewGuid(CLSID_Ptr, &g), 0);
    ComRef<IUnknown> gcopy;
    ASSERT_EQ(g->Clone(0, gcopy.put()), 0);
    GUID out{};
    om_exact_guid(gcopy.get())->Get(&out);
    EXPECT_EQ(out, CLSID_Ptr);
    g->Release();
}

TEST_F(ValuesTest, ExactTypeTestsTellTheClassesApart) {
    IInt* i;
    IReal* r;
    ASSERT_EQ(OmNewInt(1, &i), 0);
    ASSERT_EQ(OmNewReal(1, &r), 0);
    EXPECT_EQ(om_exact_int(i), i);
    EXPECT_EQ(om_exact_real(i), nullptr);
    EXPECT_EQ(om_exact_ptr(r), nullptr);
    EXPECT_EQ(om_exact_string(nullptr), nullptr);
    i->Release();
    r->Release();
}

TEST_F(ValuesTest, CopyObjectFollowsTheFlags) {
    IInt* value;
    ASSERT_EQ(OmNewInt(9, &value), 0);
    IUnknown* plain;
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &plain), 0);
    struct Row {
        IUnknown* object;
        uint32_t flags;
        OmResult result;
        enum { null_copy, same_object, new_object } copy;
    };
    const Row rows[] = {
        {nullptr, OM_COPY_DEEP, 0, Row::null_copy},
        {value, 0, 0, Row::same_object},
        {value, OM_COPY_DEEP, 0, Row::new_object},
        {plain, 0, 0, Row::same_object},
        {plain, OM_COPY_DEEP, 0, Row::null_copy},
        {plain, OM_COPY_DEEP | 2, 0, Row::null_copy},
        {plain, OM_COPY_DEEP | OM_COPY_SHARE_UNCOPYABLE, 0, Row::same_object},
        {plain, OM_COPY_DEEP | OM_COPY_REFUSE_UNCOPYABLE, OM_E_FAIL, Row::null_copy},
    };
    for (const Row& row : rows) {
        IUnknown* copy = plain;
        uint32_t before = row.object ? count_of(row.object) : 0;
        EXPECT_EQ(OmCopyObject(row.object, row.flags, &copy), row.result) << row.flags;
        switch (row.copy) {
        case Row::null_copy: EXPECT_EQ(copy, nullptr); break;
        case Row::same_object:
            EXPECT_EQ(copy, row.object);
            EXPECT_EQ(count_of(row.object), before + 1);
            break;
        case Row::new_object:
            ASSERT_NE(copy, nullptr);
            EXPECT_NE(copy, row.object);
            EXPECT_EQ(om_exact_int(copy)->Get(), 9);
            break;
        }
        if (copy) copy->Release();
    }
    value->Release();
    plain->Release();
}

TEST_F(ValuesTest, CreationFailuresAreReportedWithoutLeaks) {
    const OmGetClassObjectFunction modules[] = {String_GetClassObject, Real_GetClassObject,
                                                Int_GetClassObject, Ptr_GetClassObject,
                                                Guid_GetClassObject};
    const GUID* ids[] = {&CLSID_String, &CLSID_Real, &CLSID_Int, &CLSID_Ptr, &CLSID_Guid};
    for (int k = 0; k < 5; ++k) {
        ComRef<IClassFactory> factory;
        ASSERT_EQ(modules[k](*ids[k], IID_IClassFactory, factory.put_void()), 0);
        void* out = &out;
        platform::fail_allocation_after(1);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectIO, &out), OM_E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);
    }
    IString* s = nullptr;
    platform::fail_allocation_after(2);
    EXPECT_EQ(OmNewString("x", &s), OM_E_OUTOFMEMORY);
    EXPECT_EQ(s, nullptr);
}

} // namespace
