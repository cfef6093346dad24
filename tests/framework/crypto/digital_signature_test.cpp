// The DigitalSignature component: the same keys and signatures as the signature maths, the
// stream positions it keeps, and refusal of hostile keys and signatures.
#include "framework/crypto/digital_signature.h"

#include "framework/core/object_manager.h"
#include "framework/crypto/signature.h"
#include "tests/framework/crypto/stream_fixture.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"

namespace {

using namespace testsupport;

class DigitalSignatureTest : public FrameworkTest {
protected:
    DigitalSignatureTest() {
        testsupport::register_crypto_classes(OmGetObjectManager());
        EXPECT_EQ(OmCreate(CLSID_DigitalSignature, IID_IDigitalSignature, ds_.put()), 0);
    }
    void TearDown() override {
        ds_.reset();
        FrameworkTest::TearDown();
    }

    std::string sign(std::string_view data, std::string_view pass) {
        auto signature = empty_stream();
        EXPECT_EQ(ds_->Sign(stream_of(data).get(), signature.get(), stream_of(pass).get()), 0);
        EXPECT_EQ(position_of(signature.get()), 0u);
        return text_of(signature.get());
    }
    OmResult verify(std::string_view data, std::string_view signature,
                    std::span<const uint8_t> key) {
        return ds_->Verify(stream_of(data).get(), stream_of(signature).get(), stream_of(key).get());
    }

    ComRef<IDigitalSignature> ds_;
    const std::string pass_ = "signing pass";
    const DsPublicKeyBytes key_ = DsMakePublicKeyBytes(as_bytes(pass_));
};

TEST_F(DigitalSignatureTest, KeysAndSignaturesMatchTheSignatureMaths) {
    auto key = empty_stream();
    EXPECT_EQ(ds_->MakePublicKey(key.get(), stream_of(pass_).get()), 0);
    const auto key_bytes = contents(key.get());
    EXPECT_EQ(std::vector<uint8_t>(key_.begin(), key_.end()), key_bytes);

    const std::string data = "the list of protected files";
    const std::string signature = sign(data, pass_);
    EXPECT_EQ(signature, DsSignData(as_bytes(data), as_bytes(pass_)));
    EXPECT_EQ(sign(data, pass_), signature); // deterministic
    EXPECT_EQ(verify(data, signature, key_bytes), 0);
    EXPECT_EQ(verify(data, "\r\n " + signature + "\n", key_bytes), 0);

    // An empty pass phrase and empty data are valid too.
    const auto empty_key = DsMakePublicKeyBytes({});
    EXPECT_EQ(verify("", sign("", ""), empty_key), 0);
}

TEST_F(DigitalSignatureTest, DataIsReadFromItsPositionAndLeftThere) {
    const std::string data = "HEADdata after the header";
    auto data_stream = stream_of(data, 4);
    auto pass = stream_of("xx" + pass_, 2);
    auto signature = empty_stream();
    ASSERT_EQ(ds_->Sign(data_stream.get(), signature.get(), pass.get()), 0);
    EXPECT_EQ(position_of(data_stream.get()), 4u);
    EXPECT_EQ(position_of(pass.get()), 2u);
    EXPECT_EQ(text_of(signature.get()), DsSignData(as_bytes(data.substr(4)), as_bytes(pass_)));

    auto key = stream_of(key_);
    EXPECT_EQ(ds_->Verify(data_stream.get(), signature.get(), key.get()), 0);
    EXPECT_EQ(position_of(data_stream.get()), 4u);
}

TEST_F(DigitalSignatureTest, ChangedOrHostileInputFailsVerification) {
    const std::string data = "protected";
    const std::string signature = sign(data, pass_);
    const auto other_key = DsMakePublicKeyBytes(as_bytes("another pass"));
    std::string changed_signature = signature;
    changed_signature[3] = changed_signature[3] == '0' ? '1' : '0';
    std::vector<uint8_t> huge_count(key_.begin(), key_.end());
    huge_count[0] = 0xFF;
    huge_count[1] = 0xFF;
    std::vector<uint8_t> longer_key(key_.begin(), key_.end());
    longer_key.insert(longer_key.end(), 10, 0xAB);

    struct Case {
        const char* name;
        std::string data, signature;
        std::vector<uint8_t> key;
        OmResult expected;
    };
    const std::vector<uint8_t> key(key_.begin(), key_.end());
    const Case cases[] = {
        {"valid", data, signature, key, 0},
        {"only the first 38 key bytes count", data, signature, longer_key, 0},
        {"changed data", "Protected", signature, key, OM_E_FAIL},
        {"changed signature", data, changed_signature, key, OM_E_FAIL},
        {"key of another pass phrase",
         data,
         signature,
         {other_key.begin(), other_key.end()},
         OM_E_FAIL},
        {"digit count above 18", data, signature, huge_count, OM_E_FAIL},
        {"empty key", data, signature, {}, OM_E_FAIL},
        {"empty signature", data, "", key, OM_E_FAIL},
        {"oversized s", data, std::string(400, 'f') + ":1", key, OM_E_FAIL},
        {"oversized r", data, "1:" + std::string(73, '9'), key, OM_E_FAIL},
    };
    for (const Case& c : cases) EXPECT_EQ(verify(c.data, c.signature, c.key), c.expected) << c.name;
}

TEST_F(DigitalSignatureTest, StreamFailuresAreReportedBeforeWriting) {
    BrokenStream broken;
    auto signature = empty_stream();
    EXPECT_EQ(ds_->Sign(stream_of("data").get(), signature.get(), &broken), OM_E_FAIL);
    EXPECT_EQ(ds_->Sign(&broken, signature.get(), stream_of(pass_).get()), OM_E_FAIL);
    EXPECT_TRUE(contents(signature.get()).empty());
    // A signature that cannot be written is not reported as made.
    EXPECT_EQ(ds_->Sign(stream_of("data").get(), &broken, stream_of(pass_).get()), OM_E_FAIL);
    EXPECT_EQ(ds_->MakePublicKey(&broken, stream_of(pass_).get()), OM_E_FAIL);
    EXPECT_EQ(ds_->Verify(&broken, stream_of("1:1").get(), stream_of(key_).get()), OM_E_FAIL);
    EXPECT_EQ(ds_->Sign(nullptr, signature.get(), stream_of(pass_).get()), OM_E_FAIL);
}

} // namespace
