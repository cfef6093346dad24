// The body COMHash and ObjHash share: an OmNameHash of object pointers, one reference each.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/containers/name_hash.h"
#include "framework/containers/values.h"
#include "framework/io/iff.h"

#include <cstring>

// Derived names its chunk tag in `static constexpr uint32_t chunk_tag`.
template <class Derived, class Interface>
class HashComponent : public OmObject<Derived, Interface> {
public:
    ~HashComponent() {
        release_all();
        OmNameHashDestroy(&table_);
    }
    OmResult init() { return OmNameHashInit(&table_, 0); }

    OmResult Clone(uint32_t flags, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        Derived* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        struct Context {
            Derived* copy;
            uint32_t flags;
        } context{copy, flags};
        r = ForEach(
            [](const char* name, IUnknown* object, void* c) {
                auto* context = static_cast<Context*>(c);
                IUnknown* element;
                OmResult r = OmCopyObject(object, context->flags, &element);
                if (r < 0) return r;
                r = context->copy->Set(name, element);
                if (r < 0 && element) element->Release();
                return r;
            },
            &context);
        if (r < 0) {
            copy->Release();
            return r;
        }
        *out = copy->identity();
        return OM_S_OK;
    }
    // The hash's chunk holds, per entry, a "STRI" chunk with the name and its NUL and then
    // the object (null included).
    OmResult Write(IIFF* file) override {
        if (!file) return OM_E_FAIL;
        OmResult r = file->BeginChunk(Derived::chunk_tag);
        if (r < 0) return r;
        const bool reading = !file->IsWriting();
        r = reading ? read_entries(file) : write_entries(file);
        OmResult ended = file->EndChunk();
        if (r >= 0) r = ended;
        // A failed read keeps nothing: an entry referring back to an object still being read
        // would otherwise hold it, and through it this hash, in a cycle nobody can break.
        if (r < 0 && reading) RemoveAll();
        return r;
    }

    OmResult Reset(uint32_t load_factor) override {
        release_all();
        OmNameHashDestroy(&table_);
        return OmNameHashInit(&table_, load_factor);
    }
    OmResult ForEach(OmObjectCallback callback, void* context) override {
        if (!callback) return OM_E_FAIL;
        Walk walk{callback, context};
        return OmNameHashForEach(&table_, forward, &walk);
    }
    OmResult Remove(const char* name) override {
        if (!OmNameHashHas(&table_, name)) return OM_E_FAIL;
        auto* object = static_cast<IUnknown*>(OmNameHashGet(&table_, name));
        OmNameHashRemove(&table_, name);
        if (object) object->Release();
        return OM_S_OK;
    }
    OmResult Set(const char* name, IUnknown* object) override {
        if (!name) return OM_E_FAIL;
        if (OmNameHashHas(&table_, name)) {
            auto* old = static_cast<IUnknown*>(OmNameHashGet(&table_, name));
            if (old == object) return OM_S_OK;
            OmNameHashSet(&table_, name, object); // replacing never allocates
            if (old) old->Release();
            return OM_S_OK;
        }
        return OmNameHashSet(&table_, name, object);
    }
    IUnknown* Get(const char* name) override {
        return static_cast<IUnknown*>(OmNameHashGet(&table_, name));
    }
    int32_t Has(const char* name) override { return OmNameHashHas(&table_, name); }
    uint32_t Count() override { return table_.count; }
    OmResult RemoveAll() override {
        release_all();
        OmNameHashClear(&table_);
        return OM_S_OK;
    }
    OmResult CopyFrom(ICOMHash* other) override {
        if (!other) return OM_E_FAIL;
        return other->ForEach(
            [](const char* name, IUnknown* object, void* self) {
                if (object) object->AddRef();
                OmResult r = static_cast<Derived*>(self)->Set(name, object);
                if (r < 0 && object) object->Release();
                return r;
            },
            static_cast<Derived*>(this));
    }
    OmResult ForEachMatching(const char* pattern, int32_t mode, OmObjectCallback callback,
                             void* context) override {
        if (!pattern || !callback || mode < OM_MATCH_PREFIX || mode > OM_MATCH_EXACT)
            return OM_S_OK;
        struct Matching {
            const char* pattern;
            size_t length;
            int32_t mode;
            Walk walk;
        } matching{pattern, std::strlen(pattern), mode, {callback, context}};
        OmNameHashForEach(
            &table_,
            [](const char* name, void* object, void* c) {
                auto* m = static_cast<Matching*>(c);
                size_t length = std::strlen(name);
                bool match = false;
                switch (m->mode) {
                case OM_MATCH_PREFIX: match = std::strncmp(name, m->pattern, m->length) == 0; break;
                case OM_MATCH_SUFFIX:
                    match = length >= m->length &&
                            std::memcmp(name + length - m->length, m->pattern, m->length) == 0;
                    break;
                default: match = std::strcmp(name, m->pattern) == 0; break;
                }
                return match ? forward(name, object, &m->walk) : OM_S_OK;
            },
            &matching);
        return OM_S_OK;
    }

protected:
    OmNameHash table_;

private:
    struct Walk {
        OmObjectCallback callback;
        void* context;
    };
    static OmResult forward(const char* name, void* object, void* walk) {
        auto* w = static_cast<Walk*>(walk);
        return w->callback(name, static_cast<IUnknown*>(object), w->context);
    }
    // Longest name, without its NUL, that a stored hash may hold.
    static constexpr uint32_t max_name_size = 80;

    OmResult write_entries(IIFF* file) {
        return ForEach(
            [](const char* name, IUnknown* object, void* f) {
                auto* file = static_cast<IIFF*>(f);
                OmResult r = OmIffTransferChunk(file, OM_TAG_STRING, const_cast<char*>(name),
                                                uint32_t(std::strlen(name) + 1));
                if (r < 0) return r;
                return file->TransferObject(&object);
            },
            file);
    }

    // Entries until the hash's chunk ends. The name is terminated here whatever its chunk
    // holds; an entry whose object is missing is damage, not the end.
    OmResult read_entries(IIFF* file) {
        RemoveAll();
        for (;;) {
            OmResult r = file->BeginChunk(OM_TAG_STRING);
            if (r == OM_E_ENDOFSTREAM) return OM_S_OK;
            if (r < 0) return r;
            uint32_t size = 0;
            file->GetChunk(nullptr, &size);
            char name[max_name_size + 1];
            r = size > max_name_size ? OM_E_FAIL : file->Transfer(name, size);
            OmResult ended = file->EndChunk();
            if (r < 0) return r;
            if (ended < 0) return ended;
            name[size] = '\0';
            IUnknown* object = nullptr;
            r = file->TransferObject(&object);
            if (r == OM_E_ENDOFSTREAM) r = OM_E_FAIL;
            // Set keeps an object already stored under the name without taking the reference
            // handed to it, so a file naming it twice would leave that reference behind.
            const bool again = object && Has(name) && Get(name) == object;
            if (again) object->Release();
            OmResult stored = again ? OM_S_OK : Set(name, object);
            if (stored < 0 && object) object->Release();
            if (r < 0) return r;
            if (stored < 0) return stored;
        }
    }

    void release_all() {
        if (!table_.buckets) return;
        OmNameHashForEach(
            &table_,
            [](const char*, void* object, void*) {
                if (object) static_cast<IUnknown*>(object)->Release();
                return OM_S_OK;
            },
            nullptr);
        OmNameHashClear(&table_);
    }
};
