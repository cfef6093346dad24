// OmNameHash, COMHash and ObjHash.
#include "framework/containers/com_hash.h"
#include "framework/containers/name_hash.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "tests/framework/core/test_widgets.h"
#include "tests/support/framework_fixture.h"

#include <map>
#include <string>
#include <vector>

namespace {

class NameHashTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmNameHashInit(&hash, 0), 0); }
    void TearDown() override {
        OmNameHashDestroy(&hash);
        FrameworkTest::TearDown();
    }
    std::vector<std::string> walk() {
        std::vector<std::string> names;
        OmNameHashForEach(
            &hash,
            [](const char* name, void*, void* names) {
                static_cast<std::vector<std::string>*>(names)->push_back(name);
                return OM_S_OK;
            },
            &names);
        return names;
    }
    OmNameHash hash{};
};

TEST_F(NameHashTest, GrowsAtTheSeventhAndTwelfthNameAndWalksInBucketOrder) {
    std::map<std::string, int> values;
    for (int i = 1; i <= 12; ++i) {
        std::string name = "n" + std::to_string(i);
        values[name] = i;
        ASSERT_EQ(OmNameHashSet(&hash, name.c_str(), &values[name]), 0);
        const uint32_t expected_buckets = i <= 6 ? 1 : i <= 11 ? 2 : 4;
        EXPECT_EQ(hash.bucket_count, expected_buckets) << i << " names";
    }
    std::vector<std::string> order = walk();
    ASSERT_EQ(order.size(), 12u);
    uint32_t last_bucket = 0;
    for (const std::string& name : order) {
        EXPECT_EQ(*static_cast<int*>(OmNameHashGet(&hash, name.c_str())), values[name]);
        uint32_t bucket = om_hash_bytes(name.c_str(), uint32_t(name.size())) & hash.mask;
        EXPECT_GE(bucket, last_bucket) << "buckets are walked in index order";
        last_bucket = bucket;
    }
}

TEST_F(NameHashTest, NewestNameComesFirstInItsBucket) {
    // With one bucket every name shares it.
    int v = 0;
    for (const char* name : {"a", "b", "c"}) OmNameHashSet(&hash, name, &v);
    EXPECT_EQ(walk(), (std::vector<std::string>{"c", "b", "a"}));
}

TEST_F(NameHashTest, ElevenCharacterNamesLiveInTheNodeTwelveAreCopied) {
    int v = 1;
    OmNameHashSet(&hash, "x", &v);
    int64_t before = framework_.leaked_blocks();
    ASSERT_EQ(OmNameHashSet(&hash, "abcdefghijk", &v), 0);
    EXPECT_EQ(framework_.leaked_blocks(), before);
    ASSERT_EQ(OmNameHashSet(&hash, "abcdefghijkl", &v), 0);
    EXPECT_EQ(framework_.leaked_blocks(), before + 1);
    EXPECT_EQ(OmNameHashHas(&hash, "abcdefghijk"), 1);
    EXPECT_EQ(OmNameHashHas(&hash, "abcdefghijkl"), 1);
    EXPECT_EQ(OmNameHashHas(&hash, "ABCDEFGHIJK"), 0);
    EXPECT_EQ(OmNameHashRemove(&hash, "abcdefghijkl"), 0);
    EXPECT_EQ(OmNameHashRemove(&hash, "abcdefghijkl"), OM_E_FAIL);
    EXPECT_EQ(OmNameHashGet(&hash, "abcdefghijkl"), nullptr);
    OmNameHashClear(&hash);
    EXPECT_EQ(hash.count, 0u);
}

uint32_t count_of(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

class ObjHashTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(OmCreateObjHash(nullptr, hash.put()), 0);
        ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &widget), 0);
    }
    void TearDown() override {
        hash.reset();
        widget->Release();
        FrameworkTest::TearDown();
    }
    // A new reference on the widget, for handing to the hash.
    IUnknown* widget_ref() {
        widget->AddRef();
        return widget;
    }
    std::vector<std::string> matching(const char* pattern, int32_t mode) {
        std::vector<std::string> names;
        EXPECT_EQ(hash->ForEachMatching(
                      pattern, mode,
                      [](const char* name, IUnknown*, void* names) {
                          static_cast<std::vector<std::string>*>(names)->push_back(name);
                          return OM_S_OK;
                      },
                      &names),
                  0);
        std::sort(names.begin(), names.end());
        return names;
    }
    ComRef<IObjHash> hash;
    IUnknown* widget = nullptr;
};

TEST_F(ObjHashTest, SetTakesOverTheReferenceAndReplacesWhatWasThere) {
    ASSERT_EQ(hash->Set("w", widget_ref()), 0);
    EXPECT_EQ(count_of(widget), 2u);
    EXPECT_EQ(hash->Set("w", widget), 0) << "the same object again";
    EXPECT_EQ(count_of(widget), 2u);
    EXPECT_EQ(hash->Get("w"), widget);
    EXPECT_EQ(hash->SetInt("w", 3), 0);
    EXPECT_EQ(count_of(widget), 1u) << "the replaced object is released";
    EXPECT_EQ(hash->Set("w", widget_ref()), 0);
    EXPECT_EQ(hash->Set("null", nullptr), 0);
    EXPECT_EQ(hash->Count(), 2u);
    EXPECT_EQ(hash->Remove("w"), 0);
    EXPECT_EQ(count_of(widget), 1u);
    EXPECT_EQ(hash->Remove("w"), OM_E_FAIL);
    hash->Set("a", widget_ref());
    hash->Set("b", widget_ref());
    EXPECT_EQ(hash->RemoveAll(), 0);
    EXPECT_EQ(count_of(widget), 1u);
    EXPECT_EQ(hash->Count(), 0u);
}

TEST_F(ObjHashTest, TypedValuesRoundTripAndOtherKindsGiveTheDefault) {
    EXPECT_EQ(hash->SetInt("i", -7), 0);
    EXPECT_EQ(hash->SetReal("r", 1.5f), 0);
    EXPECT_EQ(hash->SetString("s", "text"), 0);
    EXPECT_EQ(hash->SetPtr("p", this), 0);
    EXPECT_EQ(hash->SetGuid("g", &CLSID_Int), 0);
    EXPECT_EQ(hash->GetInt("i", 0), -7);
    EXPECT_EQ(hash->GetReal("r", 0), 1.5f);
    EXPECT_STREQ(hash->GetString("s", nullptr), "text");
    EXPECT_EQ(hash->GetPtr("p", nullptr), this);
    GUID g{};
    EXPECT_EQ(hash->GetGuid("g", &g), 0);
    EXPECT_EQ(g, CLSID_Int);

    EXPECT_EQ(hash->GetReal("i", 9.0f), 9.0f) << "an Int does not answer IReal";
    EXPECT_EQ(hash->GetInt("missing", 4), 4);
    EXPECT_STREQ(hash->GetString("i", "dflt"), "dflt");
    GUID untouched = CLSID_Real;
    EXPECT_EQ(hash->GetGuid("i", &untouched), 0);
    EXPECT_EQ(untouched, CLSID_Real);
}

TEST_F(ObjHashTest, TypedSetterChangesItsOwnValueInPlace) {
    hash->SetInt("i", 1);
    IUnknown* first = hash->Get("i");
    hash->SetInt("i", 2);
    EXPECT_EQ(hash->Get("i"), first);
    EXPECT_EQ(hash->GetInt("i", 0), 2);
    hash->SetString("s", "a");
    const char* text = hash->GetString("s", nullptr);
    IUnknown* string = hash->Get("s");
    hash->SetString("s", "b");
    EXPECT_EQ(hash->Get("s"), string);
    EXPECT_NE(hash->GetString("s", nullptr), text);
}

// A component that is not an Int but answers IInt.
class IntLookalike final : public OmObject<IntLookalike, IInt> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IInt, this}});
    }
    OmResult Clone(uint32_t, IUnknown**) override { return OM_E_FAIL; }
    OmResult Write(IIFF*) override { return OM_E_FAIL; }
    OmResult Set(int32_t) override { return OM_S_OK; }
    int32_t Get() override { return 77; }
};

TEST_F(ObjHashTest, OtherObjectsAnsweringTheInterfaceAreReadButReplacedOnSet) {
    IUnknown* lookalike;
    ASSERT_EQ(OmCreateComponent<IntLookalike>(nullptr, &lookalike), 0);
    lookalike->AddRef();
    hash->Set("i", lookalike);
    EXPECT_EQ(hash->GetInt("i", 0), 77);
    EXPECT_EQ(count_of(lookalike), 2u) << "reading adds no lasting reference";
    hash->SetInt("i", 5);
    EXPECT_NE(hash->Get("i"), lookalike);
    EXPECT_EQ(count_of(lookalike), 1u);
    lookalike->Release();
}

TEST_F(ObjHashTest, FailedTypedSetterLeavesTheEntryAsItWas) {
    hash->SetString("s", "kept");
    platform::fail_allocation_after(1);
    EXPECT_EQ(hash->SetInt("s", 1), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    EXPECT_STREQ(hash->GetString("s", nullptr), "kept");
    platform::fail_allocation_after(1, true);
    EXPECT_EQ(hash->SetInt("new", 1), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    EXPECT_EQ(hash->Has("new"), 0);
}

TEST_F(ObjHashTest, MatchingByPrefixSuffixAndWholeName) {
    for (const char* name : {"abc", "abcdef", "xabc", "defabc", "ab"}) hash->SetInt(name, 0);
    using Names = std::vector<std::string>;
    EXPECT_EQ(matching("abc", OM_MATCH_PREFIX), (Names{"abc", "abcdef"}));
    EXPECT_EQ(matching("abc", OM_MATCH_SUFFIX), (Names{"abc", "defabc", "xabc"}));
    EXPECT_EQ(matching("abc", OM_MATCH_EXACT), (Names{"abc"}));
    EXPECT_EQ(matching("abc", 3), Names{});
}

TEST_F(ObjHashTest, CopyFromAndClonesShareOrCopyTheObjects) {
    hash->SetInt("i", 5);
    hash->Set("w", widget_ref());
    ComRef<ICOMHash> other;
    ASSERT_EQ(COMHash_GetClassObject(CLSID_COMHash, IID_IClassFactory, nullptr), OM_E_FAIL);
    {
        ComRef<IClassFactory> factory;
        ASSERT_EQ(COMHash_GetClassObject(CLSID_COMHash, IID_IClassFactory, factory.put_void()), 0);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICOMHash, other.put_void()), 0);
    }
    ASSERT_EQ(other->CopyFrom(hash.get()), 0);
    EXPECT_EQ(other->Get("i"), hash->Get("i"));
    EXPECT_EQ(count_of(widget), 3u);

    ComRef<IUnknown> shallow, deep;
    ASSERT_EQ(hash->Clone(0, shallow.put()), 0);
    ASSERT_EQ(hash->Clone(OM_COPY_DEEP | OM_COPY_SHARE_UNCOPYABLE, deep.put()), 0);
    ComRef<IObjHash> deep_hash;
    ASSERT_EQ(deep->QueryInterface(IID_IObjHash, deep_hash.put_void()), 0);
    EXPECT_NE(deep_hash->Get("i"), hash->Get("i"));
    EXPECT_EQ(deep_hash->GetInt("i", 0), 5);
    EXPECT_EQ(deep_hash->Get("w"), widget);
    EXPECT_EQ(count_of(widget), 5u);

    ComRef<IUnknown> refused;
    EXPECT_EQ(hash->Clone(OM_COPY_DEEP | OM_COPY_REFUSE_UNCOPYABLE, refused.put()), OM_E_FAIL);
    EXPECT_FALSE(refused);
    EXPECT_EQ(count_of(widget), 5u);
}

TEST_F(ObjHashTest, ResetEmptiesAndReleases) {
    hash->Set("w", widget_ref());
    for (int i = 0; i < 20; ++i) hash->SetInt(("k" + std::to_string(i)).c_str(), i);
    EXPECT_EQ(hash->Reset(2), 0);
    EXPECT_EQ(hash->Count(), 0u);
    EXPECT_EQ(count_of(widget), 1u);
    EXPECT_EQ(hash->SetInt("again", 1), 0);
}

TEST_F(ObjHashTest, AnswersItsThreeInterfacesOnOneTable) {
    ComRef<IUnknown> com, io;
    EXPECT_EQ(hash->QueryInterface(IID_ICOMHash, com.put_void()), 0);
    EXPECT_EQ(hash->QueryInterface(IID_IObjectIO, io.put_void()), 0);
    EXPECT_EQ(com.get(), static_cast<IUnknown*>(hash.get()));
    EXPECT_EQ(io.get(), static_cast<IUnknown*>(hash.get()));
    IObjHash* refused = nullptr;
    EXPECT_EQ(OmCreateObjHash(widget, &refused), OM_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
}

} // namespace
