// The secured data-file set end to end: SecureStorageCreate builds a set in a temporary tree
// and SecureStorage reads it back with checks, deciphering and pass-through; plus the checksum
// and the key-text characters.
#include "framework/crypto/secure_storage.h"

#include "framework/core/object_manager.h"
#include "framework/crypto/secure_storage_create.h"
#include "platform/paths.h"
#include "tests/framework/crypto/stream_fixture.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace testsupport;

const std::string kWarn = "warning file contents, any bytes \x01\x02";
const std::string kSecure = "[section]\nkey=value\n";
const std::string kEncrypted = "enciphered on disk, plain in memory: 37";
const std::string kPlain = "never listed";

const char kPlainList[] = "[warning]\ndata/warn.bin=BINARY\n"
                          "[secure]\ndata/secure.ini=TEXT\n"
                          "[encrypt]\ndata/enc.bin=BINARY\n";

// Changes the current directory for its lifetime.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~CurrentDirectory() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

void fill_text(char (&out)[OM_MAX_PATH], const std::string& text) {
    std::snprintf(out, sizeof out, "%s", text.c_str());
}

class SecureStorageTest : public FrameworkTest {
protected:
    SecureStorageTest() {
        testsupport::register_framework_classes(OmGetObjectManager());
        platform::set_drive_root('t', tree_.path());
        tree_.write_file("data/warn.bin", kWarn);
        tree_.write_file("data/secure.ini", kSecure);
        tree_.write_file("data/enc.bin", kEncrypted);
        tree_.write_file("data/plain.bin", kPlain);
        tree_.write_file("plain.ini", kPlainList);
        set_ = file_set("/dev/drive-t/");
    }
    ~SecureStorageTest() override { platform::set_drive_root('t', ""); }
    void TearDown() override {
        storage_.reset();
        FrameworkTest::TearDown();
    }

    // A record naming the set files under `prefix`, with the game's list pass phrase.
    static SecureFileSet file_set(const std::string& prefix) {
        SecureFileSet set{};
        fill_text(set.plain_list_name, prefix + "plain.ini");
        fill_text(set.list_name, prefix + "list.txt");
        fill_text(set.signature_name, prefix + "sig.txt");
        fill_text(set.public_key_name, prefix + "key.bin");
        std::memcpy(set.list_pass_phrase, "cloudr1der", 10);
        set.list_pass_phrase_length = 10;
        return set;
    }

    OmResult build(SecureFileSet& set, const char* base_path) {
        ComRef<ISecureStorageCreate> creator;
        EXPECT_EQ(OmCreate(CLSID_SecureStorageCreate, IID_ISecureStorageCreate, creator.put()), 0);
        EXPECT_EQ(creator->SetBasePath(base_path), 0);
        return creator->Build(&set);
    }
    // A reader on the set, as the program's storage.
    void open_set(const char* directory, const SecureFileSet& set) {
        ComRef<ISecureStorage> secure;
        ASSERT_EQ(OmCreate(CLSID_SecureStorage, IID_ISecureStorage, secure.put()), 0);
        ASSERT_EQ(secure->OpenFileSet(nullptr, directory, &set), 0);
        ASSERT_EQ(secure->QueryInterface(IID_IFileStorage, storage_.put_void()), 0);
    }
    ComRef<IByteStream> open(const char* path, OmResult expected, uint32_t mode = OM_OPEN_READ,
                             uint32_t kind = OM_OPEN_BINARY) {
        ComRef<IByteStream> stream;
        EXPECT_EQ(storage_->Open(path, mode, kind, stream.put()), expected) << path;
        return stream;
    }
    std::pair<uint32_t, uint32_t> status(const char* path, OmResult expected = 0) {
        ComRef<ISecureStorage> secure;
        EXPECT_EQ(storage_->QueryInterface(IID_ISecureStorage, secure.put_void()), 0);
        uint32_t pair[2] = {99, 99};
        EXPECT_EQ(secure->GetStatus(path, pair), expected) << (path ? path : "(last)");
        return {pair[0], pair[1]};
    }
    using Status = std::pair<uint32_t, uint32_t>;

    TempDir tree_;
    SecureFileSet set_;
    ComRef<IFileStorage> storage_;
};

TEST_F(SecureStorageTest, BuiltSetReadsBackThroughTheList) {
    ASSERT_EQ(build(set_, "/dev/drive-t/"), 0);
    EXPECT_EQ(tree_.read_file("data/enc.bin.bak"), kEncrypted);
    EXPECT_EQ(tree_.read_file("data/enc.bin").size(), 8 * (kEncrypted.size() / 8 + 1));
    EXPECT_EQ(tree_.read_file("key.bin").size(), 38u);
    const std::string list = tree_.read_file("list.txt");
    EXPECT_EQ(list.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(list.find("warn"), std::string::npos);

    open_set("t:\\", set_);
    auto plain = open("t:\\data\\plain.bin", 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(text_of(plain.get()), kPlain);
    EXPECT_EQ(status(nullptr), Status(OM_SECURE_NOT_LISTED, 0));

    auto warn = open("t:\\data\\warn.bin", 0);
    ASSERT_TRUE(warn);
    EXPECT_EQ(position_of(warn.get()), 0u);
    EXPECT_EQ(text_of(warn.get()), kWarn);
    EXPECT_EQ(status("t:\\data\\warn.bin"), Status(OM_SECURE_WARNING, 0));

    auto secure = open("t:\\data\\secure.ini", 0, OM_OPEN_READ, OM_OPEN_TEXT);
    ASSERT_TRUE(secure);
    EXPECT_EQ(text_of(secure.get()), kSecure);

    // Deciphered into memory even when asked for writing as text; padded to whole blocks.
    auto enc = open("t:\\data\\enc.bin", 0, OM_OPEN_WRITE, OM_OPEN_TEXT);
    ASSERT_TRUE(enc);
    EXPECT_EQ(position_of(enc.get()), 0u);
    const std::string deciphered = text_of(enc.get());
    EXPECT_EQ(deciphered.size(), 8 * (8 * (kEncrypted.size() / 8 + 1) / 8 + 1));
    EXPECT_EQ(deciphered.substr(0, kEncrypted.size()), kEncrypted);
    EXPECT_EQ(status(nullptr), Status(OM_SECURE_ENCRYPT, 0));
}

TEST_F(SecureStorageTest, ChangedFilesAreReportedOrRefused) {
    ASSERT_EQ(build(set_, "/dev/drive-t/"), 0);
    std::string changed_warn = kWarn;
    changed_warn[5] ^= 1;
    tree_.write_file("data/warn.bin", changed_warn);
    std::string changed_secure = kSecure;
    changed_secure.back() = ' ';
    tree_.write_file("data/secure.ini", changed_secure);
    open_set("t:\\", set_);

    auto warn = open("t:\\data\\warn.bin", OM_S_INTEGRITY_FAILED);
    ASSERT_TRUE(warn);
    EXPECT_EQ(position_of(warn.get()), 0u);
    EXPECT_EQ(text_of(warn.get()), changed_warn);
    EXPECT_EQ(status("t:\\data\\warn.bin"), Status(OM_SECURE_WARNING, 1));

    EXPECT_FALSE(open("t:\\data\\secure.ini", OM_E_FAIL));
    EXPECT_EQ(status(nullptr), Status(OM_SECURE_SECURE, 1));
    EXPECT_EQ(status("t:\\data\\secure.ini", OM_E_FAIL), Status(99, 99));

    // A listed file that is gone is refused as well.
    std::filesystem::remove(tree_ / "data/secure.ini");
    EXPECT_FALSE(open("t:\\data\\secure.ini", OM_E_FAIL));
}

TEST_F(SecureStorageTest, SetThatDoesNotVerifyPassesEverythingThrough) {
    ASSERT_EQ(build(set_, "/dev/drive-t/"), 0);
    tree_.write_file("data/warn.bin", kWarn + "!");
    const std::string list = tree_.read_file("list.txt");
    const std::string signature = tree_.read_file("sig.txt");
    const std::string key = tree_.read_file("key.bin");
    std::string bad_list = list;
    bad_list[10] = bad_list[10] == 'A' ? 'B' : 'A';
    std::string bad_signature = signature;
    bad_signature[0] = bad_signature[0] == '1' ? '2' : '1';

    SecureFileSet wrong_pass = set_;
    wrong_pass.list_pass_phrase[0] = 'C';
    SecureFileSet huge_length = set_; // counts as the 260 bytes of the record
    huge_length.list_pass_phrase_length = 0xFFFFFFFFu;
    SecureFileSet missing = set_;
    fill_text(missing.signature_name, "/dev/drive-t/none.txt");
    SecureFileSet defaults = set_; // list.bin and friends do not exist here
    defaults.use_default_names = 1;
    struct Case {
        const char* name;
        std::string list, signature;
        const SecureFileSet* set;
    };
    const Case cases[] = {
        {"changed list", bad_list, signature, &set_},
        {"changed signature", list, bad_signature, &set_},
        {"oversized signature", list, std::string(500, '7'), &set_},
        {"wrong list pass phrase", list, signature, &wrong_pass},
        {"pass phrase length beyond the record", list, signature, &huge_length},
        {"missing signature file", list, signature, &missing},
        {"default names", list, signature, &defaults},
    };
    for (const Case& c : cases) {
        tree_.write_file("list.txt", c.list);
        tree_.write_file("sig.txt", c.signature);
        open_set("t:\\", *c.set);
        EXPECT_TRUE(open("t:\\data\\warn.bin", 0)) << c.name;
        EXPECT_EQ(status(nullptr), Status(OM_SECURE_NOT_LISTED, 0)) << c.name;
        auto enc = open("t:\\data\\enc.bin", 0);
        EXPECT_EQ(enc ? text_of(enc.get()) : "", tree_.read_file("data/enc.bin")) << c.name;
    }

    // A key of another signer, and a hostile key file.
    tree_.write_file("list.txt", list);
    tree_.write_file("sig.txt", signature);
    for (const std::string& bad_key : {std::string(38, '\xFF'), std::string(3, '\x01'),
                                       key.substr(0, 2) + char(key[2] ^ 1) + key.substr(3)}) {
        tree_.write_file("key.bin", bad_key);
        open_set("t:\\", set_);
        EXPECT_TRUE(open("t:\\data\\warn.bin", 0));
    }
}

TEST_F(SecureStorageTest, KeysAreRelativeToTheSetDirectory) {
    tree_.write_file("game/sound/x.wav", "RIFF");
    tree_.write_file("game/plain.ini", "[secure]\nsound/x.wav=BINARY\n");
    SecureFileSet set = file_set("/dev/drive-t/game/");
    ASSERT_EQ(build(set, "/dev/drive-t/game/"), 0);
    tree_.write_file("game/sound/x.wav", "RIFX");
    platform::set_drive_root('u', tree_.path());

    // With a trailing separator on the directory and without one.
    for (const char* directory : {"T:\\game", "t:\\game\\"}) {
        open_set(directory, set);
        EXPECT_FALSE(open("t:\\game\\sound\\x.wav", OM_E_FAIL)) << directory;
        EXPECT_FALSE(open("T:\\Game\\sound\\x.wav", OM_E_FAIL)) << directory;
        EXPECT_FALSE(open("sound\\x.wav", OM_E_FAIL)) << directory; // relative: as it stands
        // Another drive is not under the directory, although its path is as long.
        EXPECT_TRUE(open("u:\\game\\sound\\x.wav", 0)) << directory;
    }
    platform::set_drive_root('u', "");
}

// The game's own layout: an empty directory and the set files under data/, relative to the
// current directory, with the keys as the game opens them.
TEST_F(SecureStorageTest, RelativeSetInTheCurrentDirectory) {
    const CurrentDirectory in_tree(tree_.path());
    SecureFileSet set = file_set("");
    fill_text(set.list_name, "data/demo1.bin");
    fill_text(set.public_key_name, "data/demo2.bin");
    fill_text(set.signature_name, "data/demo3.bin");
    EXPECT_EQ(build(set, ""), 0);
    // Default names: list.bin, sig.bin and public.bin with the built-in pass phrases.
    SecureFileSet defaults = file_set("");
    defaults.use_default_names = 1;
    EXPECT_EQ(build(defaults, ""), 0);
    EXPECT_EQ(defaults.list_pass_phrase_length, 0u);
    EXPECT_TRUE(std::filesystem::exists("public.bin"));
    // The second build enciphered data/enc.bin again: its backup is the first ciphertext.
    EXPECT_NE(tree_.read_file("data/enc.bin.bak"), kEncrypted);

    tree_.write_file("data/secure.ini", kSecure + "#");
    open_set("", set);
    EXPECT_FALSE(open("data\\secure.ini", OM_E_FAIL, OM_OPEN_READ, OM_OPEN_TEXT));
    EXPECT_TRUE(open("data/warn.bin", 0));
    open_set(nullptr, defaults);
    EXPECT_FALSE(open("data/secure.ini", OM_E_FAIL));
}

TEST_F(SecureStorageTest, InvalidFormWritesNoSetButStillEnciphers) {
    tree_.write_file("plain.ini", "[warning]\ndata/warn.bin=BINARY\ndata/plain.bin=binary\n"
                                  "[encrypt]\ndata/enc.bin=BINARY\n");
    EXPECT_EQ(build(set_, "/dev/drive-t/"), OM_E_FAIL);
    EXPECT_FALSE(std::filesystem::exists(tree_ / "list.txt"));
    EXPECT_EQ(tree_.read_file("data/enc.bin.bak"), kEncrypted);

    // A list that cannot be read writes nothing either.
    SecureFileSet missing = set_;
    fill_text(missing.plain_list_name, "/dev/drive-t/absent.ini");
    EXPECT_LT(build(missing, "/dev/drive-t/"), 0);
    EXPECT_FALSE(std::filesystem::exists(tree_ / "list.txt"));
}

TEST_F(SecureStorageTest, OnlyTheListedSectionsAreWritten) {
    tree_.write_file("plain.ini", "[secure]\ndata/secure.ini=TEXT\ndata/absent.bin=BINARY\n");
    ASSERT_EQ(build(set_, "/dev/drive-t/"), 0);
    open_set("t:\\", set_);
    EXPECT_TRUE(open("t:\\data\\secure.ini", 0));
    EXPECT_TRUE(open("t:\\data\\warn.bin", 0));
    EXPECT_EQ(status(nullptr), Status(OM_SECURE_NOT_LISTED, 0));
    // An entry whose file was missing kept its form word and never matches.
    tree_.write_file("data/absent.bin", "now here");
    EXPECT_FALSE(open("t:\\data\\absent.bin", OM_E_FAIL));
}

TEST_F(SecureStorageTest, InterfacesShareOneObject) {
    ComRef<ISecureStorage> secure;
    ASSERT_EQ(OmCreate(CLSID_SecureStorage, IID_ISecureStorage, secure.put()), 0);
    ComRef<IFileStorage> files;
    ASSERT_EQ(secure->QueryInterface(IID_IFileStorage, files.put_void()), 0);
    ComRef<IUnknown> a, b;
    ASSERT_EQ(secure->QueryInterface(IID_IUnknown, a.put_void()), 0);
    ASSERT_EQ(files->QueryInterface(IID_IUnknown, b.put_void()), 0);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(a.get(), static_cast<IUnknown*>(files.get()));
    ComRef<IByteStream> none;
    EXPECT_EQ(files->QueryInterface(IID_IByteStream, none.put_void()), OM_E_NOINTERFACE);
    // Forwarded operations reach the inner storage.
    tree_.write_file("x.txt", "12345");
    OmFileInfo info{};
    EXPECT_EQ(files->GetInfo("t:\\x.txt", &info), 0);
    EXPECT_EQ(info.size, 5u);
    EXPECT_EQ(files->Rename("t:\\x.txt", "t:\\y.txt"), 0);
    EXPECT_TRUE(std::filesystem::exists(tree_ / "y.txt"));
}

// The format's definition over the bytes themselves: 4 bytes at a time into one word buffer,
// the buffer added after each step, the step that finds fewer than 4 bytes being the last.
uint32_t checksum_by_definition(const std::vector<uint8_t>& data) {
    uint32_t sum = 0;
    uint8_t word[4] = {};
    for (size_t position = 0;; position += 4) {
        const size_t got = std::min<size_t>(4, data.size() - position);
        std::copy_n(data.begin() + long(position), got, word);
        sum += uint32_t(word[0]) | uint32_t(word[1]) << 8 | uint32_t(word[2]) << 16 |
               uint32_t(word[3]) << 24;
        if (got < 4) return sum;
    }
}

TEST_F(SecureStorageTest, ChecksumCountsTheLastWordAgain) {
    EXPECT_EQ(SecureStorage_ComputeChecksum(empty_stream().get()), 0u);
    EXPECT_EQ(SecureStorage_ComputeChecksum(stream_of("abcd").get()), 2 * 0x64636261u);
    EXPECT_EQ(SecureStorage_ComputeChecksum(stream_of("abcdx").get()), 0x64636261u + 0x64636278u);
    for (size_t size : {1u, 3u, 8u, 65535u, 65536u, 65537u, 65539u, 200003u}) {
        std::vector<uint8_t> data(size);
        for (size_t i = 0; i < size; ++i) data[i] = uint8_t(i * 131 + size);
        auto stream = stream_of(data, 0);
        EXPECT_EQ(SecureStorage_ComputeChecksum(stream.get()), checksum_by_definition(data))
            << size;
        EXPECT_EQ(position_of(stream.get()), 0u);
    }
}

TEST(SecureKeyText, CharactersSurviveTheListFormat) {
    const std::pair<uint8_t, uint8_t> cases[] = {
        {0x80, 0xB0}, {0x00, '0'}, {0x41, 'A'}, {0xBF, 'A'}, {0x7B, 's'}, {0x7F, 'w'},
        {0x2B, 'a'},  {0x2D, 'a'}, {0x0D, 'a'}, {0xF3, 'a'}, {0xFF, '1'}, {0x7A, 'z'},
    };
    for (const auto& [random, expected] : cases)
        EXPECT_EQ(uint8_t(SecureKeyTextChar(random)), expected) << int(random);
    for (int b = 0; b < 256; ++b) {
        const char c = SecureKeyTextChar(uint8_t(b));
        EXPECT_EQ(std::strchr("[]#=", c) == nullptr || c == 0, true) << b;
        EXPECT_NE(c, 0) << b;
    }
}

} // namespace
