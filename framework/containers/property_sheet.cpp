// The property sheet: sections and keys in pool records, kept in creation order, found
// through a name index.
#include "framework/containers/property_sheet.h"

#include "framework/containers/property_sheet_load.h"
#include "framework/containers/property_sheet_nodes.h"

#include <cstring>

namespace {

constexpr uint32_t nodes_per_pool_block = 64;

char* copy_text(const char* text) {
    size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(OmAllocMemory(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

bool fits_current_name(const char* name) {
    return name && std::strlen(name) < OM_SHEET_NAME_SIZE;
}

// Writes `text` as one piece; an empty piece is not written at all.
OmResult write_piece(IByteStream* stream, const char* text, size_t length) {
    if (!length) return OM_S_OK;
    return stream->Write(text, uint32_t(length), nullptr);
}

class PropertySheet final : public OmObject<PropertySheet, IPropertySheet> {
public:
    ~PropertySheet() {
        remove_all_sections();
        if (pool_) pool_->Release();
    }

    OmResult init() {
        sheet_list_init(&sections_);
        OmResult r = OmCreateMemoryPool(sizeof(SheetNode), nodes_per_pool_block, &pool_);
        if (r < 0) return r;
        r = index_.init();
        if (r < 0) return r;
        return UseSection("");
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IPropertySheet, this}});
    }

    OmResult Clear() override {
        remove_all_sections();
        return UseSection("");
    }

    OmResult Load(IByteStream* stream) override { return om_load_sheet_text(this, stream); }

    OmResult Save(IByteStream* stream) override {
        if (!stream) return OM_E_FAIL;
        for (SheetLink* s = sections_.next; s != &sections_; s = s->next) {
            SheetNode* section = sheet_node(s);
            OmResult r = write_piece(stream, "\n[", 2);
            if (r >= 0) r = write_piece(stream, section->name, std::strlen(section->name));
            if (r >= 0) r = write_piece(stream, "]\n", 2);
            for (SheetLink* k = section->children.next; r >= 0 && k != &section->children;
                 k = k->next) {
                SheetNode* key = sheet_node(k);
                r = write_piece(stream, key->name, std::strlen(key->name));
                if (r >= 0) r = write_piece(stream, "=", 1);
                if (r >= 0 && key->value)
                    r = write_piece(stream, key->value, std::strlen(key->value));
                if (r >= 0) r = write_piece(stream, "\n", 1);
            }
            if (r < 0) return r;
        }
        return OM_S_OK;
    }

    OmResult UseSection(const char* name) override {
        if (!fits_current_name(name)) return OM_E_FAIL;
        if (!find_section(name)) {
            SheetNode* section = new_node(nullptr, name);
            if (!section) return OM_E_FAIL;
            sheet_list_append(&sections_, &section->link);
            index_.insert(section);
        }
        make_current(name);
        return OM_S_OK;
    }

    OmResult RemoveSection() override {
        if (SheetNode* section = find_section(current_section_)) {
            while (section->children.next != &section->children)
                delete_key(sheet_node(section->children.next));
            unindex_section(section);
            sheet_list_unlink(&section->link);
            free_node(section);
        }
        current_section_[0] = '\0';
        current_key_[0] = '\0';
        return OM_S_OK;
    }

    OmResult SetSection(const char* name) override {
        if (!fits_current_name(name) || !find_section(name)) return OM_E_FAIL;
        make_current(name);
        return OM_S_OK;
    }

    OmResult MoveSection(int32_t mode) override {
        SheetLink* reached = step(&sections_, match_from(mode), mode);
        if (!reached) return OM_E_FAIL;
        make_current(sheet_node(reached)->name);
        return OM_S_OK;
    }

    OmResult GetSectionName(char* buffer) override {
        if (!buffer) return OM_E_FAIL;
        std::memcpy(buffer, current_section_, std::strlen(current_section_) + 1);
        return OM_S_OK;
    }

    OmResult RenameSection(const char* name) override {
        SheetNode* section = find_section(current_section_);
        if (!section || !fits_current_name(name)) return OM_E_FAIL;
        char* copy = copy_text(name);
        if (!copy) return OM_E_FAIL;
        unindex_section(section);
        OmFreeMemory(section->name);
        section->name = copy;
        section->hash = SheetIndex::hash_of(nullptr, copy);
        index_first_of_name(section);
        make_current(copy);
        return OM_S_OK;
    }

    OmResult SetString(const char* key_name, const char* value) override {
        SheetNode* section = find_section(current_section_);
        if (!section || !fits_current_name(key_name) || !value) return OM_E_FAIL;
        SheetNode* key = index_.find(section, key_name);
        if (!key) {
            key = new_node(section, key_name);
            if (!key) return OM_E_FAIL;
            sheet_list_append(&section->children, &key->link);
            index_.insert(key);
        }
        std::memmove(current_key_, key_name, std::strlen(key_name) + 1);
        OmFreeMemory(key->value);
        key->value = copy_text(value);
        return key->value ? OM_S_OK : OM_E_FAIL;
    }

    OmResult GetString(const char* key_name, char* buffer, uint32_t size) override {
        SheetNode* key = find_key(key_name);
        if (!key || !fits_current_name(key_name)) return OM_E_FAIL;
        std::memmove(current_key_, key_name, std::strlen(key_name) + 1);
        if (!key->value || !buffer) return OM_E_FAIL;
        size_t needed = std::strlen(key->value) + 1;
        if (needed > size) return OM_E_FAIL;
        std::memcpy(buffer, key->value, needed);
        return OM_S_OK;
    }

    uint32_t GetStringLength(const char* key_name) override {
        SheetNode* key = find_key(key_name);
        if (!key || !key->value) return 0;
        return uint32_t(std::strlen(key->value) + 1);
    }

    OmResult RemoveKey(const char* key_name) override {
        SheetNode* key = find_key(key_name);
        if (!key) return OM_E_FAIL;
        delete_key(key);
        return OM_S_OK;
    }

    OmResult MoveKey(char* name, uint32_t* length, int32_t mode) override {
        SheetNode* section = find_section(current_section_);
        if (!section) return OM_E_FAIL;
        SheetNode* match = mode == OM_MOVE_NEXT || mode == OM_MOVE_PREVIOUS
                               ? index_.find(section, current_key_)
                               : nullptr;
        SheetLink* reached = step(&section->children, match, mode);
        if (!reached) return OM_E_FAIL;
        SheetNode* key = sheet_node(reached);
        size_t name_size = std::strlen(key->name) + 1;
        std::memcpy(current_key_, key->name, name_size);
        if (name) std::memcpy(name, key->name, name_size);
        if (length) *length = key->value ? uint32_t(std::strlen(key->value)) : 0;
        return OM_S_OK;
    }

private:
    SheetNode* find_section(const char* name) const { return index_.find(nullptr, name); }

    SheetNode* find_key(const char* key_name) const {
        SheetNode* section = find_section(current_section_);
        if (!section || !key_name) return nullptr;
        return index_.find(section, key_name);
    }

    void make_current(const char* section_name) {
        std::memmove(current_section_, section_name, std::strlen(section_name) + 1);
        current_key_[0] = '\0';
    }

    // The section that MoveSection steps from: next starts at the first section of the
    // current name, previous at the last one (the walk goes backwards from the end).
    SheetNode* match_from(int32_t mode) const {
        if (mode == OM_MOVE_NEXT) return find_section(current_section_);
        if (mode != OM_MOVE_PREVIOUS) return nullptr;
        for (SheetLink* s = sections_.previous; s != &sections_; s = s->previous)
            if (std::strcmp(sheet_node(s)->name, current_section_) == 0) return sheet_node(s);
        return nullptr;
    }

    // One step of a Move operation in `list`, from `match` for next and previous.
    static SheetLink* step(SheetLink* list, SheetNode* match, int32_t mode) {
        SheetLink* reached = nullptr;
        switch (mode) {
        case OM_MOVE_NEXT: reached = match ? match->link.next : nullptr; break;
        case OM_MOVE_PREVIOUS: reached = match ? match->link.previous : nullptr; break;
        case OM_MOVE_FIRST: reached = list->next; break;
        case OM_MOVE_LAST: reached = list->previous; break;
        default: return nullptr;
        }
        return reached == list ? nullptr : reached;
    }

    SheetNode* new_node(SheetNode* owner, const char* name) {
        auto* node = static_cast<SheetNode*>(pool_->Get());
        if (!node) return nullptr;
        std::memset(node, 0, sizeof *node);
        node->name = copy_text(name);
        if (!node->name) {
            pool_->Put(node);
            return nullptr;
        }
        node->owner = owner;
        node->hash = SheetIndex::hash_of(owner, name);
        sheet_list_init(&node->children);
        return node;
    }

    void free_node(SheetNode* node) {
        OmFreeMemory(node->name);
        OmFreeMemory(node->value);
        pool_->Put(node);
    }

    void delete_key(SheetNode* key) {
        index_.remove(key);
        sheet_list_unlink(&key->link);
        free_node(key);
    }

    // Takes a section out of the index; a later section of the same name, if any, takes
    // its place so that lookups keep finding the first one in list order.
    void unindex_section(SheetNode* section) {
        if (!section->indexed) return;
        index_.remove(section);
        for (SheetLink* s = section->link.next; s != &sections_; s = s->next) {
            if (std::strcmp(sheet_node(s)->name, section->name) == 0) {
                index_.insert(sheet_node(s));
                return;
            }
        }
    }

    // Indexes a renamed section unless an earlier section already carries its name.
    void index_first_of_name(SheetNode* section) {
        SheetNode* other = find_section(section->name);
        if (other) {
            for (SheetLink* s = sections_.next; s != &other->link; s = s->next)
                if (s == &section->link) {
                    index_.remove(other);
                    index_.insert(section);
                    return;
                }
            return;
        }
        index_.insert(section);
    }

    void remove_all_sections() {
        if (!pool_) return;
        while (sections_.next != &sections_) {
            SheetNode* section = sheet_node(sections_.next);
            while (section->children.next != &section->children) {
                SheetNode* key = sheet_node(section->children.next);
                sheet_list_unlink(&key->link);
                free_node(key);
            }
            sheet_list_unlink(&section->link);
            free_node(section);
        }
        index_.remove_all();
    }

    IMemoryPool* pool_ = nullptr;
    SheetLink sections_{};
    SheetIndex index_;
    char current_section_[OM_SHEET_NAME_SIZE] = {};
    char current_key_[OM_SHEET_NAME_SIZE] = {};
};

const OmClassRecord classes[] = {
    {&CLSID_PropertySheet, nullptr, nullptr, OmCreateComponent<PropertySheet>, "PropertySheet"}};

} // namespace

OM_DEFINE_MODULE(PropertySheet, classes)
