// The Archiver's two-level registration table.
#include "framework/io/archive_key_table.h"

#include <cstring>

namespace {

void key_bytes(uint32_t key, uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(key >> (8 * i));
}

uint8_t bucket_of(const uint8_t* key) {
    return uint8_t(key[0] ^ key[1] ^ key[2] ^ key[3]);
}

void free_entry(ArchiveKeyTable::Entry* entry) {
    delete entry->inner;
    OmFreeMemory(entry);
}

} // namespace

ArchiveKeyTable::~ArchiveKeyTable() {
    for (Entry*& head : buckets_) {
        while (Entry* entry = head) {
            head = entry->next;
            free_entry(entry);
        }
    }
}

ArchiveKeyTable::Entry* ArchiveKeyTable::find(uint32_t key) const {
    uint8_t bytes[4];
    key_bytes(key, bytes);
    for (Entry* entry = buckets_[bucket_of(bytes)]; entry; entry = entry->next)
        if (std::memcmp(entry->key, bytes, 4) == 0) return entry;
    return nullptr;
}

ArchiveKeyTable::Entry* ArchiveKeyTable::add(uint32_t key) {
    auto* entry = static_cast<Entry*>(OmAllocMemory(sizeof(Entry)));
    if (!entry) return nullptr;
    std::memset(entry, 0, sizeof *entry);
    key_bytes(key, entry->key);
    Entry*& head = buckets_[bucket_of(entry->key)];
    entry->next = head;
    if (head) head->previous = entry;
    head = entry;
    return entry;
}

bool ArchiveKeyTable::remove(uint32_t key) {
    Entry* entry = find(key);
    if (!entry) return false;
    if (entry->previous)
        entry->previous->next = entry->next;
    else
        buckets_[bucket_of(entry->key)] = entry->next;
    if (entry->next) entry->next->previous = entry->previous;
    free_entry(entry);
    return true;
}
