// SimpleArray: an OmArray of plain values whose element size follows from kind and
// multiplicity.
#include "framework/containers/simple_array.h"
#include "framework/containers/new_direct.h"

#include "framework/containers/om_array.h"
#include "framework/io/iff.h"

#include <algorithm>
#include <cstring>

namespace {

// The element size of a kind and multiplicity, or 0 for an unknown kind or a size that does
// not fit 32 bits.
int32_t element_size_of(int32_t kind, int32_t multiplicity) {
    if (kind < 0 || kind > OM_SIMPLE_ARRAY_MAX_KIND) return 0;
    int64_t size = int64_t(om_simple_array_kind_sizes[kind]) * multiplicity;
    return size > INT32_MAX ? 0 : int32_t(size);
}

class SimpleArray final : public OmObject<SimpleArray, ISimpleArray> {
public:
    ~SimpleArray() { OmArrayFree(&array_); }
    OmResult init() {
        OmArrayInit(&array_, 0);
        kind_ = OM_SIMPLE_ARRAY_NO_KIND;
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ISimpleArray, this}, {&IID_IObjectIO, this}});
    }

    OmResult Clone(uint32_t, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        SimpleArray* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        copy->kind_ = kind_;
        copy->multiplicity_ = multiplicity_;
        OmArrayInit(&copy->array_, array_.element_size);
        if (array_.count) {
            r = OmArraySetCount(&copy->array_, array_.count);
            if (r < 0) {
                copy->Release();
                return r;
            }
            std::memcpy(copy->array_.data, array_.data, size_t(array_.count) * array_.element_size);
        }
        *out = copy->identity();
        return OM_S_OK;
    }
    // Kind, multiplicity and count, then the elements' bytes. The header is checked against
    // the chunk before anything is allocated for it.
    OmResult Write(IIFF* file) override {
        if (!file) return OM_E_FAIL;
        OmResult r = file->BeginChunk(OM_TAG_SIMPLEARRAY);
        if (r < 0) return r;
        r = file->IsWriting() ? write_elements(file) : read_elements(file);
        OmResult ended = file->EndChunk();
        return r < 0 ? r : ended;
    }

    OmResult Init(int32_t kind, int32_t multiplicity) override {
        if (multiplicity < 1) multiplicity = 1;
        int32_t size = element_size_of(kind, multiplicity);
        if (size == 0) {
            OmArrayFree(&array_);
            OmArrayInit(&array_, 0);
            kind_ = OM_SIMPLE_ARRAY_NO_KIND;
            multiplicity_ = 0;
            return OM_E_FAIL;
        }
        OmArray fresh;
        OmArrayInit(&fresh, uint32_t(size));
        OmResult r = OmArrayReserve(&fresh, 1);
        if (r < 0) return r;
        OmArrayFree(&array_);
        array_ = fresh;
        kind_ = kind;
        multiplicity_ = multiplicity;
        return OM_S_OK;
    }
    int32_t GetKind(int32_t* multiplicity, int32_t* element_size) override {
        if (multiplicity) *multiplicity = multiplicity_;
        if (element_size) *element_size = int32_t(array_.element_size);
        return kind_;
    }
    int32_t Count() override { return array_.count; }
    OmResult SetCount(int32_t n) override {
        if (kind_ == OM_SIMPLE_ARRAY_NO_KIND) return OM_E_FAIL;
        return OmArraySetCount(&array_, n);
    }
    OmResult RemoveAll() override {
        OmArrayFree(&array_);
        return OM_S_OK;
    }
    OmResult Compact() override { return OmArrayCompact(&array_); }

    OmResult Append(const void* element) override { return InsertAt(array_.count, element); }
    int32_t RemoveAt(int32_t index) override { return OmArrayRemoveAt(&array_, index); }
    OmResult InsertAt(int32_t index, const void* element) override {
        if (!element || index < 0 || kind_ == OM_SIMPLE_ARRAY_NO_KIND) return OM_E_FAIL;
        // The element may be one of ours: growing moves it and inserting may shift it, so it
        // is found again by its offset.
        const char* data = static_cast<const char*>(array_.data);
        const char* source = static_cast<const char*>(element);
        size_t used = size_t(array_.count) * array_.element_size;
        bool inside = data && source >= data && source < data + used;
        size_t offset = inside ? size_t(source - data) : 0;
        if (index > array_.count) index = array_.count;
        void* slot = OmArrayInsertAt(&array_, index);
        if (!slot) return OM_E_OUTOFMEMORY;
        if (inside) {
            if (offset >= size_t(index) * array_.element_size) offset += array_.element_size;
            source = static_cast<const char*>(array_.data) + offset;
        }
        std::memcpy(slot, source, array_.element_size);
        return OM_S_OK;
    }
    OmResult SetAt(int32_t index, const void* element) override {
        void* slot = OmArrayAt(&array_, index);
        if (!slot || !element) return OM_E_FAIL;
        std::memmove(slot, element, array_.element_size);
        return OM_S_OK;
    }
    void* GetAt(int32_t index) override { return OmArrayAt(&array_, index); }
    OmResult LockData(void** data) override {
        if (!data) return OM_E_FAIL;
        *data = OmArrayData(&array_);
        return OM_S_OK;
    }
    OmResult UnlockData() override { return OM_S_OK; }

    OmResult Permute(const int32_t* index, int32_t n, int32_t gather) override {
        if (n != array_.count) return OM_E_FAIL;
        if (n == 0) return OM_S_OK;
        if (!index) return OM_E_FAIL;
        for (int32_t k = 0; k < n; ++k)
            if (index[k] < 0 || index[k] >= n) return OM_E_FAIL;
        OmArray permuted;
        OmArrayInit(&permuted, array_.element_size);
        OmResult r = OmArraySetCount(&permuted, n);
        if (r < 0) return r;
        const size_t size = array_.element_size;
        if (!gather) std::memset(permuted.data, 0, size_t(n) * size);
        for (int32_t k = 0; k < n; ++k) {
            int32_t to = gather ? k : index[k], from = gather ? index[k] : k;
            std::memcpy(OmArrayAtUnchecked(&permuted, to), OmArrayAtUnchecked(&array_, from), size);
        }
        permuted.growth = array_.growth;
        OmArrayFree(&array_);
        array_ = permuted;
        return OM_S_OK;
    }

    OmResult AppendFrom(ISimpleArray* other) override {
        if (!other) return OM_E_FAIL;
        int32_t multiplicity, element_size;
        int32_t kind = other->GetKind(&multiplicity, &element_size);
        if (kind != kind_ || multiplicity != multiplicity_ ||
            element_size != int32_t(array_.element_size))
            return OM_E_FAIL;
        const int32_t added = other->Count(), old_count = array_.count;
        if (added <= 0) return OM_S_OK;
        if (int64_t(old_count) + added > INT32_MAX) return OM_E_FAIL;
        OmResult r = OmArraySetCount(&array_, old_count + added);
        if (r < 0) return r;
        // Asked only now: when `other` is this array its block may just have moved.
        void* source = nullptr;
        other->LockData(&source);
        std::memcpy(OmArrayAtUnchecked(&array_, old_count), source,
                    size_t(added) * array_.element_size);
        other->UnlockData();
        return OM_S_OK;
    }

private:
    OmResult write_elements(IIFF* file) {
        int32_t header[3] = {kind_, multiplicity_, array_.count};
        OmResult r = file->Transfer(header, sizeof header);
        if (r < 0 || !array_.count) return r;
        return file->Transfer(array_.data, uint32_t(array_.count) * array_.element_size);
    }

    OmResult read_elements(IIFF* file) {
        int32_t header[3];
        OmResult r = file->Transfer(header, sizeof header);
        if (r < 0) return r;
        const int32_t kind = header[0], multiplicity = header[1], count = header[2];
        if (kind == OM_SIMPLE_ARRAY_NO_KIND && count == 0) {
            // An array that never had a kind goes back to that state.
            OmArrayFree(&array_);
            OmArrayInit(&array_, 0);
            kind_ = OM_SIMPLE_ARRAY_NO_KIND;
            multiplicity_ = 0;
            return OM_S_OK;
        }
        uint32_t chunk_size = 0;
        file->GetChunk(nullptr, &chunk_size);
        r = OmSimpleArrayCheckHeader(kind, multiplicity, count, chunk_size);
        if (r >= 0 && count == 0) {
            // No room is reserved for an empty array's first element as Init does: the file
            // backs none of its bytes, and its header may announce an element of gigabytes.
            OmArrayFree(&array_);
            OmArrayInit(&array_, uint32_t(element_size_of(kind, std::max(multiplicity, 1))));
            kind_ = kind;
            multiplicity_ = std::max(multiplicity, 1);
            return OM_S_OK;
        }
        if (r >= 0) r = Init(kind, multiplicity);
        if (r >= 0) r = SetCount(count);
        if (r < 0 || !count) return r;
        return file->Transfer(array_.data, uint32_t(count) * array_.element_size);
    }

    OmArray array_;
    int32_t kind_;
    int32_t multiplicity_;
};

const OmClassRecord classes[] = {
    {&CLSID_SimpleArray, nullptr, nullptr, OmCreateComponent<SimpleArray>, "SimpleArray"}};

} // namespace

OM_DEFINE_MODULE(SimpleArray, classes)

OmResult OmNewSimpleArray(ISimpleArray** out) {
    return om_new_direct<SimpleArray>(out);
}

OmResult OmSimpleArrayCheckHeader(int32_t kind, int32_t multiplicity, int32_t count,
                                  uint32_t chunk_size) {
    int32_t size = element_size_of(kind, multiplicity < 1 ? 1 : multiplicity);
    if (size == 0 || count < 0) return OM_E_FAIL;
    uint64_t bytes = uint64_t(count) * uint64_t(size);
    constexpr uint64_t header_bytes = 12;
    if (bytes > UINT32_MAX || header_bytes + bytes > chunk_size) return OM_E_FAIL;
    return OM_S_OK;
}
