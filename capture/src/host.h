// The library's side of the host glue: the resolver handed to REALPluginMain,
// the host version, and one wrapper per host callback. Every wrapper fetches its
// callback by name on first use and keeps it; a callback the host does not offer
// makes the wrapper a no-op with a neutral result, and is asked for again on the
// next call, because a host may start answering later.
#pragma once

#include <cstdint>
#include <cstring>

#include "plugin_sdk.h"

namespace zuvshot {

extern PluginResolver gResolver;
extern double rbversion_rbversion;
extern int32_t CurrentREALControlVersion;
extern const char* gpartname;

// Turns a resolver answer into a typed function pointer. memcpy keeps the
// object-to-function pointer conversion out of the reach of -Wpedantic.
template <typename Fn>
inline Fn FunctionFromAddress(void* address) {
    static_assert(sizeof(Fn) == sizeof(void*));
    Fn fn;
    std::memcpy(&fn, &address, sizeof fn);
    return fn;
}

template <typename Fn>
inline void* AddressFromFunction(Fn fn) {
    static_assert(sizeof(Fn) == sizeof(void*));
    void* address;
    std::memcpy(&address, &fn, sizeof address);
    return address;
}

// One cached callback. The cache is filled also when the answer is null; a null
// cache is looked up again on the next use.
template <typename Fn>
struct CallbackCache {
    const char* name;
    Fn fn = nullptr;

    Fn Get() {
        if (fn == nullptr && gResolver != nullptr) {
            fn = FunctionFromAddress<Fn>(gResolver(name));
        }
        return fn;
    }
};

// Wrappers, named after their callbacks (a few keep the names the plug-in
// interface has always used for them).
PluginPicture REALNewPicture(int32_t width, int32_t height, int32_t depth);
void REALRegisterMethod(PluginMethodDefinition* method);
// False when the host has no such callback: the module then stays the caller's.
bool REALRegisterModule(PluginModuleDefinition* module);
PluginObject REALnewInstance(const char* className);
PluginClass REALGetClassRef(const char* className);
bool REALGetPropValueBoolean(PluginObject object, const char* name, bool* value);
PluginGraphics REALGetPictureGraphics(PluginPicture picture);
void REALUnlockPictureDescription(PluginPicture picture);
void REALRaiseException(PluginObject exception);
void* REALLoadFrameworkMethod(const char* module, const char* declaration);
PluginString originalREALBuildString(const void* data, int32_t length);

void REALLockObject(void* object);
void REALUnlockObject(void* object);
void REALPictureClearCache(PluginPicture picture);
bool REALLockPictureDescription(PluginPicture picture, PluginPictureDescription* description,
                                uint32_t type);
// The lock as the library takes it everywhere: hosts older than 2012.0 leave a
// refused description half locked, so there a refusal is unlocked all the same.
bool LockPictureDescription(PluginPicture picture, PluginPictureDescription* description,
                            uint32_t type);
void* REALLoadObjectMethod(PluginObject object, const char* declaration);
PluginPicture REALGetPictureMask(PluginPicture picture, bool create);
// True when the host's lock callback was there and was called.
bool REALLockString(PluginString string);
void REALUnlockString(PluginString string);
PluginString REALBuildStringWithEncoding(const void* data, int32_t length, uint32_t encoding);
void REALSetStringEncoding(PluginString string, uint32_t encoding);
PluginString REALConvertString(PluginString string, uint32_t encoding);
bool REALSetPropValueString(PluginObject object, const char* name, PluginString value);
// Asks for "REALSetPropValueInteger", then for the older "REALSetPropValueInt".
bool REALSetPropValueInteger(PluginObject object, const char* name, int32_t value);

// The bytes and byte count of a host string. The string is locked by this call
// (when the host can lock it); the caller unlocks it with REALUnlockString when
// `locked` comes back true.
struct StringContents {
    const unsigned char* bytes = nullptr;
    int64_t length = 0;
    bool locked = false;
};
StringContents REALGetStringContents(PluginString string);

}  // namespace zuvshot
