#include "host.h"

namespace zuvshot {

PluginResolver gResolver = nullptr;
double rbversion_rbversion = 0.0;
int32_t CurrentREALControlVersion = 13;
const char* gpartname = nullptr;

namespace {

CallbackCache<PluginNewPictureFn> newPictureCache{"newPicture"};
CallbackCache<PluginRegisterMethodFn> registerMethodCache{"PluginRegisterMethod"};
CallbackCache<PluginRegisterModuleFn> registerModuleCache{"PluginRegisterModule"};
CallbackCache<PluginNewInstanceFn> newInstanceCache{"PluginNewInstance"};
CallbackCache<PluginObjectTypeFn> objectTypeCache{"pluginObjectType"};
CallbackCache<PluginGetPropValueBoolFn> getPropBoolCache{"REALGetPropValueBool"};
CallbackCache<PluginPictureGraphicsFn> pictureGraphicsCache{"pluginPictureGraphicsGetter"};
CallbackCache<PluginUnlockPictureDescriptionFn> unlockDescriptionCache{"unlockPictureDescription"};
CallbackCache<PluginRaiseExceptionFn> raiseExceptionCache{"RuntimeRaiseException"};
CallbackCache<PluginStringGetCStringFn> stringGetCStringCache{"StringGetCString"};
CallbackCache<PluginLoadGlobalMethodFn> loadGlobalMethodCache{"REALLoadGlobalMethod"};
CallbackCache<PluginBuildStringFn> buildStringCache{"REALBuildString"};
CallbackCache<PluginLockObjectFn> lockObjectCache{"REALLockObject"};
CallbackCache<PluginLockObjectFn> unlockObjectCache{"REALUnlockObject"};
CallbackCache<PluginPictureClearCacheFn> clearCacheCache{"REALPictureClearCache"};
CallbackCache<PluginLockPictureDescriptionFn> lockDescriptionCache{"REALLockPictureDescription"};
CallbackCache<PluginLoadObjectMethodFn> loadObjectMethodCache{"REALLoadObjectMethod"};
CallbackCache<PluginGetPictureMaskFn> getPictureMaskCache{"REALGetPictureMask"};
CallbackCache<PluginLockStringFn> lockStringCache{"REALLockString"};
CallbackCache<PluginLockStringFn> unlockStringCache{"REALUnlockString"};
CallbackCache<PluginBuildStringWithEncodingFn> buildStringWithEncodingCache{
    "REALBuildStringWithEncoding"};
CallbackCache<PluginSetStringEncodingFn> setStringEncodingCache{"REALSetStringEncoding"};
CallbackCache<PluginConvertStringFn> convertStringCache{"REALConvertString"};
CallbackCache<PluginSetPropValueStringFn> setPropStringCache{"REALSetPropValueString"};
// Filled from either of two names; see REALSetPropValueInteger.
PluginSetPropValueIntegerFn setPropIntegerFn = nullptr;
// The host's "LenB" global method, the second cache of REALGetStringContents.
PluginLenBFn lenBFn = nullptr;

constexpr const char* kLenBDeclaration = "LenB( s as string ) as integer";

}  // namespace

PluginPicture REALNewPicture(int32_t width, int32_t height, int32_t depth) {
    auto fn = newPictureCache.Get();
    return fn ? fn(width, height, depth) : nullptr;
}

void REALRegisterMethod(PluginMethodDefinition* method) {
    if (auto fn = registerMethodCache.Get()) fn(method);
}

bool REALRegisterModule(PluginModuleDefinition* module) {
    auto fn = registerModuleCache.Get();
    if (fn == nullptr) return false;
    fn(module);
    return true;
}

PluginObject REALnewInstance(const char* className) {
    auto fn = newInstanceCache.Get();
    return fn ? fn(className) : nullptr;
}

PluginClass REALGetClassRef(const char* className) {
    auto fn = objectTypeCache.Get();
    return fn ? fn(className) : nullptr;
}

bool REALGetPropValueBoolean(PluginObject object, const char* name, bool* value) {
    auto fn = getPropBoolCache.Get();
    return fn ? fn(object, name, value) : false;
}

PluginGraphics REALGetPictureGraphics(PluginPicture picture) {
    auto fn = pictureGraphicsCache.Get();
    return fn ? fn(picture) : nullptr;
}

void REALUnlockPictureDescription(PluginPicture picture) {
    if (auto fn = unlockDescriptionCache.Get()) fn(picture);
}

void REALRaiseException(PluginObject exception) {
    if (auto fn = raiseExceptionCache.Get()) fn(exception);
}

void* REALLoadFrameworkMethod(const char* module, const char* declaration) {
    auto fn = loadGlobalMethodCache.Get();
    return fn ? fn(module, declaration) : nullptr;
}

PluginString originalREALBuildString(const void* data, int32_t length) {
    auto fn = buildStringCache.Get();
    return fn ? fn(data, length) : nullptr;
}

void REALLockObject(void* object) {
    if (auto fn = lockObjectCache.Get()) fn(object);
}

void REALUnlockObject(void* object) {
    if (auto fn = unlockObjectCache.Get()) fn(object);
}

void REALPictureClearCache(PluginPicture picture) {
    if (auto fn = clearCacheCache.Get()) fn(picture);
}

bool REALLockPictureDescription(PluginPicture picture, PluginPictureDescription* description,
                                uint32_t type) {
    auto fn = lockDescriptionCache.Get();
    return fn ? fn(picture, description, type) : false;
}

bool LockPictureDescription(PluginPicture picture, PluginPictureDescription* description,
                            uint32_t type) {
    if (REALLockPictureDescription(picture, description, type)) return true;
    if (rbversion_rbversion < 2012.0) REALUnlockPictureDescription(picture);
    return false;
}

void* REALLoadObjectMethod(PluginObject object, const char* declaration) {
    auto fn = loadObjectMethodCache.Get();
    return fn ? fn(object, declaration) : nullptr;
}

PluginPicture REALGetPictureMask(PluginPicture picture, bool create) {
    auto fn = getPictureMaskCache.Get();
    return fn ? fn(picture, create) : nullptr;
}

bool REALLockString(PluginString string) {
    auto fn = lockStringCache.Get();
    if (fn == nullptr) return false;
    fn(string);
    return true;
}

void REALUnlockString(PluginString string) {
    if (auto fn = unlockStringCache.Get()) fn(string);
}

PluginString REALBuildStringWithEncoding(const void* data, int32_t length, uint32_t encoding) {
    auto fn = buildStringWithEncodingCache.Get();
    return fn ? fn(data, length, encoding) : nullptr;
}

void REALSetStringEncoding(PluginString string, uint32_t encoding) {
    if (auto fn = setStringEncodingCache.Get()) fn(string, encoding);
}

PluginString REALConvertString(PluginString string, uint32_t encoding) {
    auto fn = convertStringCache.Get();
    return fn ? fn(string, encoding) : nullptr;
}

bool REALSetPropValueString(PluginObject object, const char* name, PluginString value) {
    auto fn = setPropStringCache.Get();
    return fn ? fn(object, name, value) : false;
}

bool REALSetPropValueInteger(PluginObject object, const char* name, int32_t value) {
    if (setPropIntegerFn == nullptr && gResolver != nullptr) {
        setPropIntegerFn =
            FunctionFromAddress<PluginSetPropValueIntegerFn>(gResolver("REALSetPropValueInteger"));
        if (setPropIntegerFn == nullptr) {
            setPropIntegerFn =
                FunctionFromAddress<PluginSetPropValueIntegerFn>(gResolver("REALSetPropValueInt"));
        }
    }
    return setPropIntegerFn ? setPropIntegerFn(object, name, value) : false;
}

StringContents REALGetStringContents(PluginString string) {
    StringContents contents;
    if (string == nullptr) return contents;
    if (rbversion_rbversion >= 2016.0) {
        if (lenBFn == nullptr) {
            lenBFn = FunctionFromAddress<PluginLenBFn>(
                REALLoadFrameworkMethod(nullptr, kLenBDeclaration));
        }
        contents.length = lenBFn ? lenBFn(string) : 0;
        auto getCString = stringGetCStringCache.Get();
        contents.bytes =
            reinterpret_cast<const unsigned char*>(getCString ? getCString(string) : nullptr);
        contents.locked = REALLockString(string);
        return contents;
    }
    contents.locked = REALLockString(string);
    const auto* record = reinterpret_cast<const unsigned char*>(string);
    const unsigned char* buffer = nullptr;
    std::memcpy(&buffer, record + kLegacyStringBytesOffset, sizeof buffer);
    int32_t length = 0;
    std::memcpy(&length, record + kLegacyStringLengthOffset, sizeof length);
    contents.bytes = buffer ? buffer + 1 : nullptr;
    contents.length = length;
    return contents;
}

}  // namespace zuvshot
