// The framework objects behind the opaque handles that plug-ins hold. Every
// handle that the host gives out is an Object*, so REALLockObject and
// REALUnlockObject work on any of them, and the kind is recovered with a
// checked cast rather than trusted.
#pragma once

#include <cstdint>
#include <string>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/picture.h"

namespace fw::host {

// A string as plug-ins see it: bytes with an encoding tag.
class HostString : public Object {
  public:
    explicit HostString(String v) : value(std::move(v)) {}
    String value;
};

// A "Picture" instance made by PluginNewInstance: it has no pixels until the
// plug-in runs its Constructor(width, height), which fw::Picture cannot
// express, so the instance wraps the picture that the constructor makes.
class PictureInstance : public Object {
  public:
    Ref<Picture> picture;
};

// An exception object made by PluginNewInstance for one of the framework's
// exception classes; raised once control is back in host code.
class HostException : public Object {
  public:
    explicit HostException(std::string cls) : className(std::move(cls)) {}
    std::string className;
    String message;
    int32_t errorNumber = 0;
};

inline Object* ObjectOf(const void* handle) noexcept {
    return static_cast<Object*>(const_cast<void*>(handle));
}
template <class H>
inline H HandleOf(Object* o) noexcept {
    return reinterpret_cast<H>(static_cast<void*>(o));
}

// The picture behind a picture handle (a picture, or a constructed Picture
// instance); nullptr for anything else.
inline Picture* AsPicture(const void* handle) noexcept {
    Object* o = ObjectOf(handle);
    if (!o) return nullptr;
    if (auto* p = dynamic_cast<Picture*>(o)) return p;
    if (auto* i = dynamic_cast<PictureInstance*>(o)) return i->picture.Get();
    return nullptr;
}

inline HostString* AsString(const void* handle) noexcept {
    return dynamic_cast<HostString*>(ObjectOf(handle));
}

// A new handle for a string, carrying one reference for the receiver.
void* NewStringHandle(String value);

// Text conversion between the encodings that plug-ins name. False when
// either encoding is not supported.
bool ConvertText(const String& from, uint32_t toEncoding, std::string* out);

}  // namespace fw::host
