// Reference-counted framework objects and the reference type that holds them.
//
// Every framework object (windows, controls, pictures, menu items, the program's
// own classes) derives from Object and is held through Ref<T>. A Ref holds one
// reference; copying it takes another, destroying it drops one. Using a nil Ref
// raises NilObjectException, and RuntimeCheckCast raises IllegalCastException
// when the object is not of the wanted class.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "fw/runtime/exceptions.h"

namespace fw {

class ClassInfo;

class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    void Retain() const noexcept { ++refs_; }
    void Release() const noexcept {
        if (--refs_ == 0) delete this;
    }
    int32_t RefCount() const noexcept { return refs_; }

    // The framework's constructor step, run after creation by RuntimeNewObject.
    virtual void Constructor() {}
    // The registered class of the object, or nullptr for unregistered classes.
    virtual const ClassInfo* GetClassInfo() const noexcept { return nullptr; }

private:
    mutable int32_t refs_ = 0;
};

[[noreturn]] void RaiseNilObject();
[[noreturn]] void RaiseIllegalCast();

template <class T>
class Ref {
public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Adopts a raw pointer: takes one new reference to it.
    explicit Ref(T* p) noexcept : p_(p) {
        if (p_) p_->Retain();
    }
    Ref(const Ref& o) noexcept : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.Get())) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(Ref<U>&& o) noexcept : p_(o.Detach()) {}
    ~Ref() { Reset(); }

    // Assignment takes a reference to the new value, then drops the old one.
    Ref& operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    T* operator->() const {
        if (!p_) RaiseNilObject();
        return p_;
    }
    T& operator*() const {
        if (!p_) RaiseNilObject();
        return *p_;
    }
    T* Get() const noexcept { return p_; }
    bool IsNil() const noexcept { return p_ == nullptr; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void Reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Gives up the held reference without dropping it (for the plug-in boundary).
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    // Wraps a pointer that already carries one reference for the caller.
    static Ref Adopt(T* p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }

    friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

private:
    T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> New(Args&&... args) {
    return Ref<T>(new T(std::forward<Args>(args)...));
}

// The framework's checked cast: nil stays nil, an object of another class raises
// IllegalCastException.
template <class T, class U>
Ref<T> RuntimeCheckCast(const Ref<U>& o) {
    if (!o) return Ref<T>();
    if (T* t = dynamic_cast<T*>(o.Get())) return Ref<T>(t);
    RaiseIllegalCast();
}

template <class T, class U>
Ref<T> RuntimeCheckCast(U* o) {
    return RuntimeCheckCast<T>(Ref<U>(o));
}

}  // namespace fw
