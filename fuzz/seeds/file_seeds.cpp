// Seeds of the harnesses over whole files: WAV files put together as the sound tests do, and
// secured data-file sets built by SecureStorageCreate.
#include "framework/core/object_manager.h"
#include "framework/crypto/secure_storage_create.h"
#include "fuzz/framework_harness.h"
#include "fuzz/scratch_directory.h"
#include "fuzz/seeds/seed_set.h"
#include "platform/paths.h"

#include <cstdio>
#include <string>

namespace {

using fuzzing::FuzzInputWriter;
using fuzzing::require;

std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string le16(uint16_t v) {
    return {char(v), char(v >> 8)};
}
// A chunk with its header, padded to an even size.
std::string chunk(const char* id, const std::string& body) {
    std::string out = std::string(id, 4) + le32(uint32_t(body.size())) + body;
    if (body.size() & 1) out += '\0';
    return out;
}
std::string riff(const std::string& chunks) {
    return "RIFF" + le32(uint32_t(4 + chunks.size())) + "WAVE" + chunks;
}
std::string pcm_format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    const uint16_t align = uint16_t(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

void fill_text(char (&out)[OM_MAX_PATH], const std::string& text) {
    std::snprintf(out, sizeof out, "%s", text.c_str());
}

} // namespace

FUZZ_SEEDS(wav_read) {
    const std::string samples = "0123456789abcdef";
    seeds.add("pcm16", FuzzInputWriter().byte(2).rest(riff(
                           chunk("fmt ", pcm_format(1, 2, 22050, 16)) + chunk("data", samples))));
    seeds.add("odd_chunk_first",
              FuzzInputWriter().byte(0).rest(riff(chunk("LIST", "odd") +
                                                  chunk("fmt ", pcm_format(1, 1, 11025, 8)) +
                                                  chunk("data", samples.substr(0, 9)))));
    seeds.add("extra_format_bytes",
              FuzzInputWriter().byte(1).rest(
                  riff(chunk("fmt ", pcm_format(2, 1, 22050, 4) + le16(4) + "\x01\x02\x03\x04") +
                       chunk("fact", le32(32)) + chunk("data", samples))));
    seeds.add("data_cut_short",
              FuzzInputWriter().byte(3).rest(
                  riff(chunk("fmt ", pcm_format(1, 1, 8000, 8)) + "data" + le32(400) + samples)));
}

// Sets built by SecureStorageCreate with the built-in pass phrases, as the game's own set is.
FUZZ_SEEDS(secure_storage) {
    fuzzing::FrameworkRun framework;
    OmRegisterAllModuleGroups(OmGetObjectManager());
    fuzzing::ScratchDirectory tree;
    platform::set_drive_root('s', tree.path());
    const std::string a = "warning file contents \x01\x02\x03";
    const std::string b = "[section]\nkey=value\n";
    const std::string c = "enciphered on disk, plain in memory";
    tree.write("data/a.bin", a);
    tree.write("data/b.ini", b);
    tree.write("data/c.bin", c);
    const std::string plain_list = "[warning]\ndata/a.bin=BINARY\n[secure]\ndata/b.ini=TEXT\n"
                                   "[encrypt]\ndata/c.bin=BINARY\n";
    tree.write("plain.ini", plain_list);

    SecureFileSet set{};
    fill_text(set.plain_list_name, "/dev/drive-s/plain.ini");
    fill_text(set.list_name, "/dev/drive-s/list.bin");
    fill_text(set.signature_name, "/dev/drive-s/sig.bin");
    fill_text(set.public_key_name, "/dev/drive-s/public.bin");
    ComRef<ISecureStorageCreate> creator;
    require(OmCreate(CLSID_SecureStorageCreate, IID_ISecureStorageCreate, creator.put()) >= 0,
            "a set creator is made");
    creator->SetBasePath("/dev/drive-s/");
    require(creator->Build(&set) >= 0, "a set is built");
    platform::set_drive_root('s', "");

    const std::string list = tree.read("list.bin");
    const std::string signature = tree.read("sig.bin");
    const std::string key = tree.read("public.bin");
    const std::string enciphered = tree.read("data/c.bin");
    seeds.add("built_set",
              FuzzInputWriter().byte(0).part(list).part(signature).part(key).part(a).part(b).rest(
                  enciphered));
    seeds.add("built_set_changed_files", FuzzInputWriter()
                                             .byte(0)
                                             .part(list)
                                             .part(signature)
                                             .part(key)
                                             .part(a + "!")
                                             .part(b.substr(1))
                                             .rest(c));
    // Plain lists the harness signs itself.
    seeds.add("signed_plain_list",
              FuzzInputWriter().byte(1).part(plain_list).part("").part("").part(a).part(b).rest(c));
    seeds.add("signed_checksums",
              FuzzInputWriter()
                  .byte(1)
                  .part("[warning]\ndata/a.bin=12345\n[secure]\n"
                        "data/b.ini=-7\n[encrypt]\ndata/c.bin=abcdefghijklmno\n")
                  .part("")
                  .part("")
                  .part(a)
                  .part(b)
                  .rest(enciphered));
}
