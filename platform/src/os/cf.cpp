#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

#include "os/cf_internal.h"
#include "platform/os/qd.h"

namespace platform::cf {

namespace {

constexpr const char kFrameworksPath[] = "/System/Library/Frameworks";
constexpr const char kApplicationServices[] = "ApplicationServices.framework";
constexpr uint8_t kFrameworksFolderCode = 1;

struct NamedFunction {
    const char* name;
    void* address;
};

template <typename F>
void* Address(F* f) {
    return reinterpret_cast<void*>(f);
}

// The functions that the ApplicationServices bundle gives by name.
const NamedFunction kQuickDrawFunctions[] = {
    {"GetQDGlobalsBlack", Address(&qd::GetQDGlobalsBlack)},
    {"FillRect", Address(&qd::FillRect)},
    {"ForeColor", Address(&qd::ForeColor)},
    {"SetPort", Address(&qd::SetPort)},
    {"NewGWorld", Address(&qd::NewGWorld)},
    {"DisposeGWorld", Address(&qd::DisposeGWorld)},
    {"GetPort", Address(&qd::GetPort)},
    {"SetGWorld", Address(&qd::SetGWorld)},
    {"GetPixDepth", Address(&qd::GetPixDepth)},
    {"UnlockPixels", Address(&qd::UnlockPixels)},
    {"LockPixels", Address(&qd::LockPixels)},
    {"GetGWorldPixMap", Address(&qd::GetGWorldPixMap)},
    {"GetPixBaseAddr", Address(&qd::GetPixBaseAddr)},
    {"GetPixRowBytes", Address(&qd::GetPixRowBytes)},
    {"GetPortBounds", Address(&qd::GetPortBounds)},
    {"BackColor", Address(&qd::BackColor)},
    {"GetPortBitMapForCopyBits", Address(&qd::GetPortBitMapForCopyBits)},
    {"CopyBits", Address(&qd::CopyBits)},
    {"GetDeviceList", Address(&qd::GetDeviceList)},
    {"GetMainDevice", Address(&qd::GetMainDevice)},
    {"GetNextDevice", Address(&qd::GetNextDevice)},
    {"SectRect", Address(&qd::SectRect)},
};

std::mutex gHideMutex;
bool gBundleHidden = false;
std::set<std::string>& HiddenFunctions() {
    static std::set<std::string> hidden;
    return hidden;
}

bool ValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

struct OpaqueCFURL : os::Object {
    explicit OpaqueCFURL(std::string p) : Object(os::ObjectKind::Url), path(std::move(p)) {}
    std::string path;
};

struct OpaqueCFBundle : os::Object {
    OpaqueCFBundle() : Object(os::ObjectKind::Bundle) {}
    bool loaded = false;
};

const std::string* StringText(const void* ref) {
    if (ref == nullptr || os::AsObject(ref)->Kind() != os::ObjectKind::String) return nullptr;
    return &static_cast<const OpaqueCFString*>(os::AsObject(ref))->text;
}

void CFRelease(CFTypeRef object) {
    if (object != nullptr) os::AsObject(object)->Release();
}

CFStringRef CFSTR(const char* text) {
    if (text == nullptr) return nullptr;
    // Never freed: a literal string must stay valid for every static
    // destructor that may still look a key up at exit.
    static std::mutex mutex;
    static auto* strings = new std::map<std::string, const OpaqueCFString*, std::less<>>();
    std::lock_guard lock(mutex);
    auto it = strings->find(std::string_view(text));
    if (it == strings->end()) it = strings->emplace(text, new OpaqueCFString(text, true)).first;
    return it->second;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (text == nullptr) return nullptr;
    std::string s(text);
    if (encoding == kCFStringEncodingASCII) {
        for (char c : s) {
            if (static_cast<unsigned char>(c) >= 0x80) return nullptr;
        }
    } else if (encoding != kCFStringEncodingUTF8 || !ValidUtf8(s)) {
        return nullptr;
    }
    if (os::CreationShouldFail(os::ObjectKind::String)) return nullptr;
    return new OpaqueCFString(std::move(s), false);
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key) {
    const std::string* k = StringText(key);
    if (dictionary == nullptr || k == nullptr) return nullptr;
    for (const auto& [name, value] : dictionary->entries) {
        if (name == *k) return value;
    }
    return nullptr;
}

bool CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value) {
    if (number == nullptr || value == nullptr) return false;
    if (os::AsObject(number)->Kind() != os::ObjectKind::Number) return false;
    if (type != kCFNumberSInt32Type) return false;
    const int64_t v = number->value;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    const auto v32 = static_cast<int32_t>(v);
    std::memcpy(value, &v32, sizeof v32);
    return true;
}

OSErr FSFindFolder(int16_t volume, OSType folderType, bool, FSRef* found) {
    if (found == nullptr) return paramErr;
    if (volume != kOnSystemDisk || folderType != kFrameworksFolderType) return fnfErr;
    std::memset(found, 0, sizeof *found);
    found->hidden[0] = kFrameworksFolderCode;
    return noErr;
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef* ref) {
    if (ref == nullptr || ref->hidden[0] != kFrameworksFolderCode) return nullptr;
    if (os::CreationShouldFail(os::ObjectKind::Url)) return nullptr;
    return new OpaqueCFURL(std::string(kFrameworksPath) + "/");
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef component,
                                               bool isDirectory) {
    const std::string* c = StringText(component);
    if (url == nullptr || c == nullptr) return nullptr;
    if (os::CreationShouldFail(os::ObjectKind::Url)) return nullptr;
    std::string path = url->path;
    if (path.empty() || path.back() != '/') path += '/';
    path += *c;
    if (isDirectory) path += '/';
    return new OpaqueCFURL(std::move(path));
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleUrl) {
    if (bundleUrl == nullptr) return nullptr;
    std::string path = bundleUrl->path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path != std::string(kFrameworksPath) + "/" + kApplicationServices) return nullptr;
    if (os::CreationShouldFail(os::ObjectKind::Bundle)) return nullptr;
    return new OpaqueCFBundle();
}

bool CFBundleLoadExecutable(CFBundleRef bundle) {
    if (bundle == nullptr) return false;
    std::lock_guard lock(gHideMutex);
    if (gBundleHidden) return false;
    bundle->loaded = true;
    return true;
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName) {
    const std::string* name = StringText(functionName);
    if (bundle == nullptr || name == nullptr || !bundle->loaded) return nullptr;
    std::lock_guard lock(gHideMutex);
    if (HiddenFunctions().count(*name) != 0) return nullptr;
    for (const auto& f : kQuickDrawFunctions) {
        if (*name == f.name) return f.address;
    }
    return nullptr;
}

namespace testing {

void HideBundle(bool hidden) {
    std::lock_guard lock(gHideMutex);
    gBundleHidden = hidden;
}

void HideFunction(const char* name, bool hidden) {
    if (name == nullptr) return;
    std::lock_guard lock(gHideMutex);
    if (hidden) {
        HiddenFunctions().insert(name);
    } else {
        HiddenFunctions().erase(name);
    }
}

void ShowAll() {
    std::lock_guard lock(gHideMutex);
    gBundleHidden = false;
    HiddenFunctions().clear();
}

}  // namespace testing

}  // namespace platform::cf
