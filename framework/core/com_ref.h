// An owning interface pointer: holds one reference and releases it when it goes.
#pragma once

#include "framework/core/unknown.h"

#include <utility>

// Copying adds a reference, moving hands it over. attach() adopts a reference the caller
// already owns; detach() gives the held reference back to the caller.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(std::nullptr_t) {}
    // Adopts `p` without adding a reference (most creators hand out one already).
    static ComRef adopt(T* p) {
        ComRef r;
        r.p_ = p;
        return r;
    }
    // Takes a new reference of its own on `p`.
    static ComRef share(T* p) {
        if (p) p->AddRef();
        return adopt(p);
    }
    ComRef(const ComRef& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComRef(ComRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComRef& operator=(ComRef o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComRef() { reset(); }

    void attach(T* p) {
        reset();
        p_ = p;
    }
    [[nodiscard]] T* detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

    // Releases what is held and exposes the slot for an out parameter.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
