// The Archiver's registration table: 256 buckets of doubly linked entries keyed by 4 bytes,
// the bucket being the XOR of the key's bytes.
#pragma once

#include "framework/core/allocated.h"

#include <cstdint>

class ArchiveKeyTable : public OmAllocated {
public:
    struct Entry {
        Entry* next;
        Entry* previous;
        uint8_t key[4];
        uint32_t value;
        ArchiveKeyTable* inner; // the second-level table of a first-level entry
    };

    ArchiveKeyTable() = default;
    ArchiveKeyTable(const ArchiveKeyTable&) = delete;
    ArchiveKeyTable& operator=(const ArchiveKeyTable&) = delete;
    // Frees every entry and the tables they lead to.
    ~ArchiveKeyTable();

    Entry* find(uint32_t key) const;
    // A new zeroed entry for the key at the front of its bucket, or null when memory runs
    // out. The caller has made sure the key is absent.
    Entry* add(uint32_t key);
    // False when the key is absent.
    bool remove(uint32_t key);

private:
    Entry* buckets_[256] = {};
};
