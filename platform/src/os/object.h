// The reference-counted base of every object that the OS service subsets hand
// out, so that CFRelease can release any of them and tests can count them.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/os/objects.h"

namespace platform::os {

class Object {
  public:
    // Immortal objects (named strings, mode dictionaries) are never freed and
    // not counted; retain and release leave them alone.
    explicit Object(ObjectKind kind, bool immortal = false);
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object();

    ObjectKind Kind() const { return kind_; }
    void Retain() const;
    void Release() const;

  private:
    mutable std::atomic<int32_t> refs_{1};
    ObjectKind kind_;
    bool immortal_;
};

// True when a test has asked that this creation of `kind` fail.
bool CreationShouldFail(ObjectKind kind);

// Any object reference of the subsets as the common base.
inline const Object* AsObject(const void* ref) {
    return static_cast<const Object*>(ref);
}

}  // namespace platform::os
