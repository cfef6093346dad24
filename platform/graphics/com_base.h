// COM-style basics of the graphics stand-in: interface ids, the reference-counted base and results.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

// Interface and device ids, laid out like a Windows GUID.
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// The window the graphics objects present into: whatever the window service hands out as its
// window handle, passed through as an opaque pointer (see gfx_window.h).
using GfxWindow = void*;

// Base of every graphics interface. Results are int32: 0 success, negative failure.
struct IUnknown {
    // Hands out another interface of the same object (with a reference added): 0, or
    // E_NOINTERFACE with *out null.
    virtual int32_t QueryInterface(const GUID& iid, void** out) = 0;
    // Adds a reference; returns the new count.
    virtual uint32_t AddRef() = 0;
    // Drops a reference, destroying the object at zero; returns the new count.
    virtual uint32_t Release() = 0;
};

inline constexpr int32_t S_OK = 0;
inline constexpr int32_t E_NOINTERFACE = static_cast<int32_t>(0x80004002u);
inline constexpr int32_t E_NOTIMPL = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t E_INVALIDARG = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t E_OUTOFMEMORY = static_cast<int32_t>(0x8007000Eu);

inline constexpr bool succeeded(int32_t r) {
    return r >= 0;
}
inline constexpr bool failed(int32_t r) {
    return r < 0;
}

// Intrusive reference count shared by the concrete graphics objects.
class RefCounted {
public:
    uint32_t add_ref() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Returns the new count; the caller deletes the object at zero.
    uint32_t drop_ref() { return refs_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    uint32_t ref_count() const { return refs_.load(std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> refs_{1};
};

// QueryInterface of an object with one interface besides IUnknown.
template <class Interface>
int32_t query_single(Interface* self, const GUID& own_iid, const GUID& iid, void** out) {
    if (!out) return E_INVALIDARG;
    if (iid == own_iid) {
        self->AddRef();
        *out = self;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// Release of an object that owns its RefCounted `refs` and is deleted at zero.
template <class Object>
uint32_t release_and_delete(Object* self, RefCounted& refs) {
    uint32_t n = refs.drop_ref();
    if (n == 0) delete self;
    return n;
}

// Owning pointer for graphics interfaces: Release on reset or destruction.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(T* p) : p_(p) {}
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(ComPtr o) {
        T* t = p_;
        p_ = o.p_;
        o.p_ = t;
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset(T* p = nullptr) {
        if (p_) p_->Release();
        p_ = p;
    }
    // Adds a reference and keeps it.
    void share(T* p) {
        if (p) p->AddRef();
        reset(p);
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    T* detach() {
        T* t = p_;
        p_ = nullptr;
        return t;
    }

private:
    T* p_ = nullptr;
};

} // namespace platform
