#pragma once

#include "platform/Exceptions.h"

namespace planora {

// A non-owning reference that may be Nil, as returned by the lookups of windows and controls.
// Reaching through a Nil Ptr throws NilObjectException instead of crashing.
template <class T>
class Ptr {
public:
    Ptr() = default;
    Ptr(T* p) : p_(p) {}

    T* operator->() const { return &get(); }
    T& operator*() const { return get(); }
    T& get() const {
        if (p_ == nullptr)
            throw NilObjectException();
        return *p_;
    }
    T* raw() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool isNil() const { return p_ == nullptr; }
    friend bool operator==(Ptr a, Ptr b) { return a.p_ == b.p_; }

private:
    T* p_ = nullptr;
};

} // namespace planora
