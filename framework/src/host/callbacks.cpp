// The callbacks that plug-ins fetch by name through the resolver.
//
// Each runs on the plug-in's stack: none may let an exception out, so each
// catches everything and gives its neutral result. An exception that a
// plug-in raises is kept and raised once control is back in host code.
#include <cstring>
#include <map>
#include <new>
#include <string_view>
#include <unordered_map>

#include "fw/host/plugins.h"
#include "fw/ui/graphics.h"
#include "host/bitmap_context.h"
#include "host/host_objects.h"
#include "host/registry.h"
#include "host/resolver.h"
#include "plugin_sdk.h"

namespace fw::host {

namespace {

// A picture's description stays locked while any lock on it is open; the
// lock holds a reference so the buffer under the context cannot go away.
struct DescriptionLock {
    Ref<Picture> picture;
    void* context = nullptr;
    int32_t count = 0;
};

std::map<const Picture*, DescriptionLock>& Locks() {
    static auto* locks = new std::map<const Picture*, DescriptionLock>();
    return *locks;
}

// Class references are tokens: plug-ins only compare them with nil.
struct HostClass {
    const char* name;
};
constexpr HostClass kClasses[] = {
    {"Application"},          {"Picture"},
    {"RuntimeException"},     {"OutOfBoundsException"},
    {"OutOfMemoryException"}, {"IllegalCastException"},
    {"NilObjectException"},
};

constexpr std::string_view kExceptionClasses[] = {
    "RuntimeException",     "OutOfBoundsException", "OutOfMemoryException",
    "IllegalCastException", "NilObjectException",
};

constexpr const char* kDrawPictureDeclaration =
    "DrawPicture(Image as Picture, x as Integer, y as Integer, w as Integer, h as Integer, "
    "sx as Integer = 0, sy as Integer = 0, sw as Integer = -10000, sh as Integer = -10000)";
constexpr const char* kPictureConstructorDeclaration =
    "Constructor(width as integer, height as integer)";
constexpr const char* kLenBDeclaration = "LenB( s as string ) as integer";

}  // namespace

namespace {
// Handles of live strings, so that a handle is checked before it is trusted.
std::unordered_map<const void*, HostString*>& LiveStrings() {
    static auto* live = new std::unordered_map<const void*, HostString*>();
    return *live;
}
}  // namespace

HostString::HostString(String v) : value_(std::move(v)) {
    std::memset(record_, 0, sizeof record_);
    // An address, not a pointer: the plug-in adds the one byte back.
    const uintptr_t before = reinterpret_cast<uintptr_t>(value_.CStr()) - 1;
    const size_t n = value_.ByteLength();
    const int32_t length = n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
    std::memcpy(record_ + kLegacyStringBytesOffset, &before, sizeof before);
    std::memcpy(record_ + kLegacyStringLengthOffset, &length, sizeof length);
    LiveStrings().emplace(record_, this);
}

HostString::~HostString() {
    LiveStrings().erase(record_);
}

HostString* HostString::FromHandle(const void* handle) noexcept {
    if (!handle) return nullptr;
    auto it = LiveStrings().find(handle);
    return it == LiveStrings().end() ? nullptr : it->second;
}

void* NewStringHandle(String value) {
    try {
        auto* s = new HostString(std::move(value));
        s->Retain();
        return s->Handle();
    } catch (...) {
        return nullptr;
    }
}

extern "C" {

static double HostGetRBVersion() {
    return kHostVersion;
}

static void HostRegisterPluginVersion(int32_t version) {
    NoteControlVersion(version);
}

static void HostRegisterMethod(PluginMethodDefinition* method) {
    try {
        RegisterMethodRecord(method);
    } catch (...) {
    }
}

static void HostRegisterModule(PluginModuleDefinition* module) {
    try {
        RegisterModuleRecord(module);
    } catch (...) {
    }
}

static PluginPicture HostNewPicture(int32_t width, int32_t height, int32_t depth) {
    try {
        // Its black is written only where the plug-in does not draw over it.
        return HandleOf<PluginPicture>(Picture::NewOwingFill(width, height, depth).Detach());
    } catch (...) {
        return nullptr;
    }
}

static void HostLockObject(void* object) {
    if (Object* o = ObjectOf(object)) o->Retain();
}

static void HostUnlockObject(void* object) {
    if (Object* o = ObjectOf(object)) o->Release();
}

static void HostPictureClearCache(PluginPicture picture) {
    if (Picture* p = AsPicture(picture)) p->MarkChanged();
}

static bool HostLockPictureDescription(PluginPicture picture, PluginPictureDescription* description,
                                       uint32_t type) {
    Picture* p = AsPicture(picture);
    // A desktop host backs every picture with a bitmap context; row buffers
    // belong to console hosts, so type 10 is refused here.
    if (!p || !description || type != kPictureDescriptionBitmapContext) return false;
    try {
        DescriptionLock& lock = Locks()[p];
        if (lock.count == 0) {
            lock.context = CreatePictureContext(*p);
            if (!lock.context) {
                Locks().erase(p);
                return false;
            }
            lock.picture = Ref<Picture>(p);
        }
        ++lock.count;
        std::memset(description, 0, sizeof *description);
        description->type = int32_t(kPictureDescriptionBitmapContext);
        description->handle = lock.context;
        description->width = p->Width();
        description->height = p->Height();
        return true;
    } catch (...) {
        return false;
    }
}

static void HostUnlockPictureDescription(PluginPicture picture) {
    Picture* p = AsPicture(picture);
    if (!p) return;
    auto it = Locks().find(p);
    if (it == Locks().end()) return;  // an unlock after a refused lock
    if (--it->second.count > 0) return;
    Ref<Picture> hold = std::move(it->second.picture);
    ReleasePictureContext(it->second.context, *hold);
    Locks().erase(it);
}

static bool HostGetPropValueBool(PluginObject object, const char* name, bool* value) {
    if (!name || !value) return false;
    if (Picture* p = AsPicture(object); p && std::strcmp(name, "HasAlphaChannel") == 0) {
        *value = p->HasAlphaChannel();
        return true;
    }
    return false;
}

static PluginClass HostObjectType(const char* name) {
    if (!name) return nullptr;
    for (const HostClass& c : kClasses) {
        if (std::strcmp(c.name, name) == 0) {
            return reinterpret_cast<PluginClass>(const_cast<HostClass*>(&c));
        }
    }
    return nullptr;
}

static PluginObject HostNewInstance(const char* name) {
    if (!name) return nullptr;
    try {
        Object* o = nullptr;
        if (std::strcmp(name, "Picture") == 0) {
            o = new PictureInstance();
        } else {
            for (std::string_view cls : kExceptionClasses) {
                if (cls == name) o = new HostException(std::string(cls));
            }
        }
        if (!o) return nullptr;
        o->Retain();
        return HandleOf<PluginObject>(o);
    } catch (...) {
        return nullptr;
    }
}

static void HostGraphicsDrawPicture(PluginGraphics graphics, PluginPicture picture, int32_t x,
                                    int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                                    int32_t sw, int32_t sh) {
    auto* g = dynamic_cast<Graphics*>(ObjectOf(graphics));
    Picture* p = AsPicture(picture);
    if (!g || !p) return;
    try {
        g->DrawPicture(Ref<Picture>(p), x, y, w, h, sx, sy, sw, sh);
    } catch (...) {
    }
}

static void HostPictureConstructor(PluginObject object, int32_t width, int32_t height) {
    auto* instance = dynamic_cast<PictureInstance*>(ObjectOf(object));
    // A picture made by its constructor has an alpha channel; constructing
    // twice would pull the pixels from under an open description.
    if (!instance || instance->picture) return;
    try {
        instance->picture = Picture::New(width, height, 32, true);
    } catch (...) {
    }
}

static void* HostLoadObjectMethod(PluginObject object, const char* declaration) {
    if (!declaration) return nullptr;
    Object* o = ObjectOf(object);
    if (dynamic_cast<Graphics*>(o) && std::strcmp(declaration, kDrawPictureDeclaration) == 0) {
        return reinterpret_cast<void*>(&HostGraphicsDrawPicture);
    }
    if (dynamic_cast<PictureInstance*>(o) &&
        std::strcmp(declaration, kPictureConstructorDeclaration) == 0) {
        return reinterpret_cast<void*>(&HostPictureConstructor);
    }
    return nullptr;
}

static PluginPicture HostGetPictureMask(PluginPicture picture, bool create) {
    Picture* p = AsPicture(picture);
    if (!p) return nullptr;
    try {
        return HandleOf<PluginPicture>(p->Mask(create).Detach());
    } catch (...) {
        return nullptr;
    }
}

static PluginGraphics HostPictureGraphics(PluginPicture picture) {
    Picture* p = AsPicture(picture);
    if (!p) return nullptr;
    try {
        return HandleOf<PluginGraphics>(p->GetGraphics().Detach());
    } catch (...) {
        return nullptr;
    }
}

static void HostLockString(PluginString string) {
    HostLockObject(string);
}
static void HostUnlockString(PluginString string) {
    HostUnlockObject(string);
}

static const char* HostStringGetCString(PluginString string) {
    HostString* s = AsString(string);
    return s ? s->Value().CStr() : nullptr;
}

static int32_t HostLenB(PluginString string) {
    HostString* s = AsString(string);
    if (!s) return 0;
    const size_t n = s->Value().ByteLength();
    return n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

static void* HostLoadGlobalMethod(const char* /*module*/, const char* declaration) {
    if (declaration && std::strcmp(declaration, kLenBDeclaration) == 0) {
        return reinterpret_cast<void*>(&HostLenB);
    }
    return nullptr;
}

static PluginString BuildString(const void* data, int32_t length, uint32_t enc) {
    if (length < 0 || (length > 0 && !data)) return nullptr;
    try {
        std::string bytes(static_cast<const char*>(data), size_t(length));
        return static_cast<PluginString>(NewStringHandle(String(std::move(bytes), enc)));
    } catch (...) {
        return nullptr;
    }
}

// Bytes built without an encoding carry none until the plug-in tags them.
static PluginString HostBuildString(const void* data, int32_t length) {
    return BuildString(data, length, encoding::kUnknown);
}

static PluginString HostBuildStringWithEncoding(const void* data, int32_t length, uint32_t enc) {
    return BuildString(data, length, enc);
}

static void HostSetStringEncoding(PluginString string, uint32_t enc) {
    if (HostString* s = AsString(string)) s->SetEncoding(enc);
}

static PluginString HostConvertString(PluginString string, uint32_t enc) {
    HostString* s = AsString(string);
    if (!s) return nullptr;
    try {
        std::string out;
        if (!ConvertText(s->Value(), enc, &out)) return nullptr;
        return static_cast<PluginString>(NewStringHandle(String(std::move(out), enc)));
    } catch (...) {
        return nullptr;
    }
}

static bool HostSetPropValueString(PluginObject object, const char* name, PluginString value) {
    auto* e = dynamic_cast<HostException*>(ObjectOf(object));
    if (!e || !name || std::strcmp(name, "Message") != 0) return false;
    try {
        HostString* s = AsString(value);
        e->message = s ? s->Value() : String();
        return true;
    } catch (...) {
        return false;
    }
}

static bool HostSetPropValueInteger(PluginObject object, const char* name, int32_t value) {
    auto* e = dynamic_cast<HostException*>(ObjectOf(object));
    if (!e || !name || std::strcmp(name, "ErrorNumber") != 0) return false;
    e->errorNumber = value;
    return true;
}

static void HostRaiseException(PluginObject exception) {
    if (auto* e = dynamic_cast<HostException*>(ObjectOf(exception))) {
        try {
            SetPendingException(Ref<HostException>(e));
        } catch (...) {
        }
    }
}

}  // extern "C"

namespace {

struct Callback {
    const char* name;
    void* function;
};

template <class F>
void* Fn(F* f) {
    return reinterpret_cast<void*>(f);
}

const Callback kCallbacks[] = {
    {"REALGetRBVersion", Fn(&HostGetRBVersion)},
    {"RegisterPluginVersion", Fn(&HostRegisterPluginVersion)},
    {"PluginRegisterMethod", Fn(&HostRegisterMethod)},
    {"PluginRegisterModule", Fn(&HostRegisterModule)},
    {"newPicture", Fn(&HostNewPicture)},
    {"REALLockObject", Fn(&HostLockObject)},
    {"REALUnlockObject", Fn(&HostUnlockObject)},
    {"REALPictureClearCache", Fn(&HostPictureClearCache)},
    {"REALLockPictureDescription", Fn(&HostLockPictureDescription)},
    {"unlockPictureDescription", Fn(&HostUnlockPictureDescription)},
    {"REALGetPropValueBool", Fn(&HostGetPropValueBool)},
    {"pluginObjectType", Fn(&HostObjectType)},
    {"PluginNewInstance", Fn(&HostNewInstance)},
    {"REALLoadObjectMethod", Fn(&HostLoadObjectMethod)},
    {"REALGetPictureMask", Fn(&HostGetPictureMask)},
    {"pluginPictureGraphicsGetter", Fn(&HostPictureGraphics)},
    {"REALLockString", Fn(&HostLockString)},
    {"REALUnlockString", Fn(&HostUnlockString)},
    {"StringGetCString", Fn(&HostStringGetCString)},
    {"REALLoadGlobalMethod", Fn(&HostLoadGlobalMethod)},
    {"REALBuildString", Fn(&HostBuildString)},
    {"REALBuildStringWithEncoding", Fn(&HostBuildStringWithEncoding)},
    {"REALSetStringEncoding", Fn(&HostSetStringEncoding)},
    {"REALConvertString", Fn(&HostConvertString)},
    {"REALSetPropValueString", Fn(&HostSetPropValueString)},
    {"REALSetPropValueInteger", Fn(&HostSetPropValueInteger)},
    {"REALSetPropValueInt", Fn(&HostSetPropValueInteger)},
    {"RuntimeRaiseException", Fn(&HostRaiseException)},
};

}  // namespace

extern "C" void* PluginResolve(const char* name) {
    if (!name) return nullptr;
    for (const Callback& c : kCallbacks) {
        if (std::strcmp(c.name, name) == 0) return c.function;
    }
    return nullptr;
}

}  // namespace fw::host
