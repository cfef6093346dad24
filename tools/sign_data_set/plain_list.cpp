// Reading and checking the plain list of sign_data_set.
#include "tools/sign_data_set/plain_list.h"

#include "framework/core/com_ref.h"
#include "framework/crypto/secure_file_set.h"

#include <cstring>

namespace {

bool is_file(IFileStorage* storage, const std::string& path) {
    OmFileInfo info{};
    return storage->GetInfo(path.c_str(), &info) >= 0 && info.kind == OM_FILE_REGULAR;
}

std::string value_of(IPropertySheet* sheet, const char* key) {
    const uint32_t length = sheet->GetStringLength(key);
    if (!length) return "";
    std::string value(length, '\0');
    if (sheet->GetString(key, value.data(), length) < 0) return "";
    value.resize(length - 1);
    return value;
}

void check_entry(IFileStorage* storage, const PlainListEntry& e, PlainList& list) {
    const std::string where = "[" + e.section + "] " + e.path + ": ";
    if (e.form != "BINARY" && e.form != "TEXT")
        list.problems.push_back(where + "the value must be BINARY or TEXT, not \"" + e.form + "\"");
    if (e.path.find('\\') != std::string::npos)
        list.problems.push_back(where + "write the path with '/' as the game looks it up");
    if (!is_file(storage, e.path)) list.problems.push_back(where + "no such file");
    if (e.section != "encrypt") return;
    // Enciphered files come back 8-16 bytes longer than they were.
    if (e.form == "TEXT")
        list.problems.push_back(where + "text files cannot be enciphered (they would come back "
                                        "padded); list them under [secure] or [warning]");
    if (is_file(storage, e.path + ".bak"))
        list.problems.push_back(where + e.path +
                                ".bak exists: the file may be enciphered already; restore "
                                "the plain file or remove the backup first");
}

} // namespace

PlainList ReadPlainList(IFileStorage* storage, IPropertySheet* sheet, const std::string& path) {
    PlainList list;
    ComRef<IByteStream> text;
    if (storage->Open(path.c_str(), OM_OPEN_READ, OM_OPEN_TEXT, text.put()) < 0) {
        list.problems.push_back(path + ": cannot open the list");
        return list;
    }
    sheet->Clear();
    if (sheet->Load(text.get()) < 0) {
        list.problems.push_back(path + ": not a readable INI list");
        return list;
    }
    char section[OM_SHEET_NAME_SIZE];
    for (OmResult moved = sheet->MoveSection(OM_MOVE_FIRST); moved >= 0;
         moved = sheet->MoveSection(OM_MOVE_NEXT)) {
        sheet->GetSectionName(section);
        bool known = false;
        for (const char* name : kSecureSections) known = known || std::strcmp(name, section) == 0;
        char key[OM_SHEET_NAME_SIZE];
        bool has_keys = sheet->MoveKey(key, nullptr, OM_MOVE_FIRST) >= 0;
        if (!known) {
            if (has_keys || section[0])
                list.problems.push_back(std::string("[") + section +
                                        "]: unknown section (use warning, secure or encrypt)");
            continue;
        }
        for (; has_keys; has_keys = sheet->MoveKey(key, nullptr, OM_MOVE_NEXT) >= 0) {
            PlainListEntry entry{section, key, value_of(sheet, key)};
            check_entry(storage, entry, list);
            list.entries.push_back(std::move(entry));
        }
    }
    if (list.entries.empty() && list.problems.empty())
        list.problems.push_back(path + ": the list names no files");
    return list;
}
