// A value that is overwritten with zeros when it goes out of scope, for key material.
#pragma once

#include <cstring>

template <typename T>
struct Wiped {
    T value{};
    ~Wiped() { std::memset(static_cast<void*>(&value), 0, sizeof value); }
};
