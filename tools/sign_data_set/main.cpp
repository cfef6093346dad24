// sign_data_set: signs the data files of a game folder into a secured data-file set (the list
// enciphered, its signature and the public key) and checks a signed folder.
#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "framework/crypto/secure_storage.h"
#include "framework/crypto/secure_storage_create.h"
#include "program/module_groups.h"
#include "tools/sign_data_set/plain_list.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

constexpr char kUsage[] =
    "usage: sign_data_set [options] <game folder> <plain list>\n"
    "\n"
    "Signs the files that <plain list> names, relative to <game folder> (the folder the game\n"
    "runs in), and writes the secured set there. The list is an INI text with the sections\n"
    "[warning], [secure] and [encrypt]; each key is a file path as the game opens it, with '/'\n"
    "separators, each value BINARY or TEXT. [warning] and [secure] files are checksummed;\n"
    "[encrypt] files are enciphered in place (the plain file is kept as <file>.bak) and come\n"
    "back 8-16 bytes longer, so only binary files that allow trailing bytes belong there.\n"
    "\n"
    "options:\n"
    "  --list NAME        the enciphered list (default data/demo1.bin)\n"
    "  --public-key NAME  the public key (default data/demo2.bin)\n"
    "  --signature NAME   the signature (default data/demo3.bin)\n"
    "  --list-pass TEXT   the list pass phrase (default: the game's)\n"
    "  --sign-pass TEXT   the signing pass phrase (default: the built-in one)\n"
    "  --check            sign nothing: open every listed file through the signed set and\n"
    "                     report what the game would get\n";

// The game's list pass phrase: the game opens its set with it.
constexpr char kGameListPassPhrase[] = "cloudr1der";

struct Options {
    std::string folder, plain_list;
    std::string list = "data/demo1.bin", public_key = "data/demo2.bin",
                signature = "data/demo3.bin";
    std::string list_pass = kGameListPassPhrase, sign_pass;
    bool check = false;
};

bool parse(int argc, char** argv, Options& o) {
    std::string* positional[] = {&o.folder, &o.plain_list};
    size_t next = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* value = arg == "--list"         ? &o.list
                             : arg == "--public-key" ? &o.public_key
                             : arg == "--signature"  ? &o.signature
                             : arg == "--list-pass"  ? &o.list_pass
                             : arg == "--sign-pass"  ? &o.sign_pass
                                                     : nullptr;
        if (value) {
            if (++i == argc) return false;
            *value = argv[i];
        } else if (arg == "--check") {
            o.check = true;
        } else if (arg.starts_with("--") || next == 2) {
            return false;
        } else {
            *positional[next++] = arg;
        }
    }
    return next == 2;
}

bool fill(char (&out)[OM_MAX_PATH], const std::string& text, const char* what) {
    if (text.size() >= OM_MAX_PATH) {
        std::fprintf(stderr, "sign_data_set: the %s is longer than %u characters\n", what,
                     OM_MAX_PATH - 1);
        return false;
    }
    std::snprintf(out, sizeof out, "%s", text.c_str());
    return true;
}

bool fill_pass(uint8_t (&out)[kSecurePassPhraseCapacity], uint32_t& length, const std::string& text,
               const char* what) {
    if (text.size() > kSecurePassPhraseCapacity) {
        std::fprintf(stderr, "sign_data_set: the %s is longer than %u bytes\n", what,
                     kSecurePassPhraseCapacity);
        return false;
    }
    std::memcpy(out, text.data(), text.size());
    length = uint32_t(text.size());
    return true;
}

// What the game gets for each listed file; true when every file opens as listed.
bool check_set(const PlainList& list, const SecureFileSet& set) {
    ComRef<ISecureStorage> secure;
    ComRef<IFileStorage> files;
    if (OmCreate(CLSID_SecureStorage, IID_ISecureStorage, secure.put()) < 0 ||
        secure->OpenFileSet(nullptr, "", &set) < 0 ||
        secure->QueryInterface(IID_IFileStorage, files.put_void()) < 0) {
        std::fprintf(stderr, "sign_data_set: cannot make the secure storage\n");
        return false;
    }
    bool all_good = true;
    for (const PlainListEntry& e : list.entries) {
        const uint32_t kind = e.form == "TEXT" ? OM_OPEN_TEXT : OM_OPEN_BINARY;
        ComRef<IByteStream> stream;
        const OmResult r = files->Open(e.path.c_str(), OM_OPEN_READ, kind, stream.put());
        uint32_t status[2] = {};
        secure->GetStatus(nullptr, status);
        const char* outcome;
        if (status[0] == OM_SECURE_NOT_LISTED)
            outcome = "NOT LISTED (the set does not verify, or was signed from another list)";
        else if (r == OM_S_INTEGRITY_FAILED)
            outcome = "CHANGED (opens with the damaged-installation warning)";
        else if (r < 0)
            outcome = "REFUSED (changed or missing)";
        else
            outcome = status[0] == OM_SECURE_ENCRYPT ? "ok (deciphered)" : "ok";
        const bool good = std::strncmp(outcome, "ok", 2) == 0;
        all_good = all_good && good;
        std::printf("%-8s %-40s %s\n", e.section.c_str(), e.path.c_str(), outcome);
    }
    return all_good;
}

int run(const Options& o) {
    ComRef<IFileStorage> storage;
    ComRef<IPropertySheet> sheet;
    if (OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()) < 0 ||
        OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) {
        std::fprintf(stderr, "sign_data_set: the framework's components are missing\n");
        return 1;
    }
    // The game opens its files relative to its folder: so does everything below.
    std::error_code ec;
    const std::string plain_list = std::filesystem::absolute(o.plain_list, ec).string();
    std::filesystem::current_path(o.folder, ec);
    if (ec) {
        std::fprintf(stderr, "sign_data_set: cannot enter %s: %s\n", o.folder.c_str(),
                     ec.message().c_str());
        return 1;
    }

    SecureFileSet set{};
    if (!fill(set.plain_list_name, plain_list, "plain list path") ||
        !fill(set.list_name, o.list, "list name") ||
        !fill(set.signature_name, o.signature, "signature name") ||
        !fill(set.public_key_name, o.public_key, "public key name") ||
        !fill_pass(set.list_pass_phrase, set.list_pass_phrase_length, o.list_pass,
                   "list pass phrase") ||
        !fill_pass(set.signing_pass_phrase, set.signing_pass_phrase_length, o.sign_pass,
                   "signing pass phrase"))
        return 1;

    const PlainList list = ReadPlainList(storage.get(), sheet.get(), plain_list);
    if (o.check) return check_set(list, set) ? 0 : 1;
    if (!list.problems.empty()) {
        for (const std::string& problem : list.problems)
            std::fprintf(stderr, "sign_data_set: %s\n", problem.c_str());
        std::fprintf(stderr, "sign_data_set: nothing was signed\n");
        return 1;
    }

    ComRef<ISecureStorageCreate> creator;
    OmResult r = OmCreate(CLSID_SecureStorageCreate, IID_ISecureStorageCreate, creator.put());
    if (r >= 0) r = creator->SetBasePath("");
    if (r >= 0) r = creator->Build(&set);
    if (r < 0) {
        std::fprintf(stderr, "sign_data_set: signing failed (0x%08X)\n", uint32_t(r));
        return 1;
    }
    std::printf("signed %zu files: list %s, signature %s, public key %s\n", list.entries.size(),
                o.list.c_str(), o.signature.c_str(), o.public_key.c_str());
    return check_set(list, set) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (OmStartup() < 0) {
        std::fprintf(stderr, "sign_data_set: the framework does not start\n");
        return 1;
    }
    OmRegisterAllModuleGroups(OmGetObjectManager());
    const int status = run(options);
    OmShutdown();
    return status;
}
