// The class registry: every framework class and every class of the program is
// known by its registered name ("Window2.Window2", "directiveClass"), its base
// class and a way to create an instance.
//
// A class keeps its ClassInfo in a function-local static, registered on first
// use, and returns it from Object::GetClassInfo, e.g.
//
//   const fw::ClassInfo& Foo::ClassInfo() {
//       return fw::RegisteredClassInfo<Foo>("Foo", &Bar::ClassInfo());
//   }
//   const fw::ClassInfo* Foo::GetClassInfo() const noexcept { return &ClassInfo(); }
#pragma once

#include <string>
#include <string_view>

#include "fw/runtime/object.h"

namespace fw {

class ClassInfo {
  public:
    // Creates a new instance with no reference taken yet (the creator adopts it).
    using Factory = Object* (*)();

    ClassInfo(std::string name, const ClassInfo* base, Factory factory)
        : name_(std::move(name)), base_(base), factory_(factory) {}
    ClassInfo(const ClassInfo&) = delete;
    ClassInfo& operator=(const ClassInfo&) = delete;

    const std::string& Name() const noexcept { return name_; }
    const ClassInfo* Base() const noexcept { return base_; }
    Factory GetFactory() const noexcept { return factory_; }
    // True when this class is `other` or derives from it through the base chain.
    bool IsA(const ClassInfo& other) const noexcept;

  private:
    std::string name_;
    const ClassInfo* base_;
    Factory factory_;
};

template <class T>
Object* CreateInstance() {
    return new T();
}

// Registers a class under its name. Registering the same ClassInfo again does
// nothing; returns false when another ClassInfo already holds the name (the
// first one stays).
bool RegisterClass(const ClassInfo& info);
// The class object of T, made and registered on its first use: the whole body
// of a class's ClassInfo() getter.
template <class T>
const ClassInfo& RegisteredClassInfo(const char* name, const ClassInfo* base) {
    static const ClassInfo info(name, base, &CreateInstance<T>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

// The registered class of that exact name, or nullptr.
const ClassInfo* FindClass(std::string_view name);

// Creates an instance of the class (nothing more: the caller then runs its
// Constructor()). Raises NilObjectException when the class has no factory.
Ref<Object> RuntimeNewObject(const ClassInfo& info);

// True when the object's registered class is `info` or derives from it; false for
// nil and for objects of unregistered classes.
bool IsA(const Object* object, const ClassInfo& info) noexcept;
template <class T>
bool IsA(const Ref<T>& object, const ClassInfo& info) noexcept {
    return IsA(static_cast<const Object*>(object.Get()), info);
}

}  // namespace fw
