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

// A string as plug-ins see it: bytes with an encoding tag. Its handle is
// not the object but a record inside it, laid out as older plug-ins read a
// string themselves: at offset 4 the address one byte before the text, at
// offset 12 the byte count.
class HostString : public Object {
  public:
    explicit HostString(String v);
    ~HostString() override;
    const String& Value() const noexcept { return value_; }
    void SetEncoding(uint32_t enc) noexcept { value_.SetEncoding(enc); }
    void* Handle() noexcept { return record_; }
    // The string behind a handle, or nullptr when it is no live string's.
    static HostString* FromHandle(const void* handle) noexcept;

  private:
    alignas(8) unsigned char record_[16];
    String value_;
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

// The object behind any handle the host gave out.
inline Object* ObjectOf(const void* handle) noexcept {
    if (HostString* s = HostString::FromHandle(handle)) return s;
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
    return HostString::FromHandle(handle);
}

// A new handle for a string, carrying one reference for the receiver.
void* NewStringHandle(String value);

// Text conversion between the encodings that plug-ins name. False when
// either encoding is not supported.
bool ConvertText(const String& from, uint32_t toEncoding, std::string* out);

}  // namespace fw::host
