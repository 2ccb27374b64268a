#include "recording_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/os/cg.h"

namespace rechost {

namespace cg = platform::cg;

enum class ObjectKind { Picture, String, Instance, Graphics };

struct HostObject {
    explicit HostObject(ObjectKind k) : kind(k) {}
    virtual ~HostObject() = default;
    virtual void Free() {}
    // What the library is handed: the object itself, or for a string its
    // record.
    virtual const void* Handle() const { return this; }
    ObjectKind kind;
    int refs = 1;
};

struct HostString final : HostObject {
    // Old hosts hand the string itself to the plug-in as its record, so it
    // comes first.
    unsigned char legacy[kLegacyStringRecordSize] = {};
    std::vector<unsigned char> buffer;  // byte 0, then the text
    uint32_t encoding = kEncodingUnknown;
    HostString() : HostObject(ObjectKind::String) {}
    const void* Handle() const override { return legacy; }
    void Set(const void* data, size_t length) {
        buffer.assign(length + 2, 0);
        if (length) std::memcpy(buffer.data() + 1, data, length);
        unsigned char* address = buffer.data();
        std::memcpy(legacy + kLegacyStringBytesOffset, &address, sizeof address);
        const auto len = static_cast<int32_t>(length);
        std::memcpy(legacy + kLegacyStringLengthOffset, &len, sizeof len);
    }
    std::string Text() const {
        return buffer.empty() ? std::string() : std::string(buffer.begin() + 1, buffer.end() - 1);
    }
};

struct HostPicture final : HostObject {
    HostPicture() : HostObject(ObjectKind::Picture) {}
    ~HostPicture() override { Free(); }
    void Free() override {
        if (context) cg::CGContextRelease(context);
        context = nullptr;
        pixels.clear();
        pixels.shrink_to_fit();
        rows.clear();
    }
    int32_t width = 0;
    int32_t height = 0;
    bool console = false;
    uint32_t alphaInfo = 6;
    std::vector<uint32_t> pixels;
    cg::CGContextRef context = nullptr;
    std::vector<unsigned char> record;  // type 10 row-buffer record
    std::vector<unsigned char*> rows;
    HostPicture* mask = nullptr;
    bool isMask = false;  // made by REALGetPictureMask
    int locks = 0;
};

struct HostInstance final : HostObject {
    HostInstance() : HostObject(ObjectKind::Instance) {}
    std::string className;
    HostString* message = nullptr;
    int32_t errorNumber = -1;
};

struct HostGraphics final : HostObject {
    HostGraphics() : HostObject(ObjectKind::Graphics) {}
    HostPicture* target = nullptr;
};

RecordingHost* RecordingHost::current = nullptr;

namespace {
int gTag = 0;  // a non-null address for class references
std::atomic<int> gCopyCounter{0};
}  // namespace

// The callbacks. Each records its call and works on the current host.
struct Callbacks {
    static RecordingHost& H() { return *RecordingHost::current; }

    static double GetRBVersion() {
        H().Record("REALGetRBVersion");
        return *H().version;
    }
    static void RegisterPluginVersion(int32_t v) {
        H().Record("RegisterPluginVersion");
        H().pluginVersions.push_back(v);
    }
    static void RegisterMethod(PluginMethodDefinition* m) {
        H().Record("PluginRegisterMethod", m);
        H().methods.push_back({reinterpret_cast<const char*>(m->declaration),
                               reinterpret_cast<void*>(m->function), m->flags});
    }
    static void RegisterModule(PluginModuleDefinition* m) {
        H().Record("PluginRegisterModule", m);
        RegisteredModule module;
        module.name = reinterpret_cast<const char*>(m->name);
        module.version = m->version;
        auto* records = reinterpret_cast<PluginMethodDefinition*>(m->methods);
        for (uintptr_t i = 0; i < m->methodCount; ++i) {
            module.methods.push_back({reinterpret_cast<const char*>(records[i].declaration),
                                      reinterpret_cast<void*>(records[i].function),
                                      records[i].flags});
        }
        H().modules.push_back(module);
        H().hostOwned_.push_back(m);
        H().hostOwned_.push_back(reinterpret_cast<void*>(m->name));
        H().hostOwned_.push_back(records);
    }
    static PluginPicture NewPicture(int32_t w, int32_t h, int32_t depth) {
        H().Record("newPicture");
        if (depth != 32) return nullptr;
        if (H().failNewPictures > 0) {
            --H().failNewPictures;
            return nullptr;
        }
        return H().NewPicture(w, h);
    }
    static void LockObject(void* o) {
        H().Record("REALLockObject", o);
        if (auto* obj = H().Find(o)) ++obj->refs;
    }
    static void UnlockObject(void* o) {  // NOLINT
        H().Record("REALUnlockObject", o);
        if (auto* obj = H().Find(o)) H().Drop(obj);
    }
    static void ClearCache(PluginPicture p) { H().Record("REALPictureClearCache", p); }
    static bool LockDescription(PluginPicture p, PluginPictureDescription* d, uint32_t type) {
        H().Record(type == 8 ? "REALLockPictureDescription/8" : "REALLockPictureDescription/10", p);
        HostPicture* pic = H().FindPicture(p);
        if (pic == nullptr) return false;
        auto refuse = [&] {
            if (H().version.value_or(0.0) < 2012.0) ++pic->locks;
            return false;
        };
        if (H().refuseLocks || pic->pixels.empty() || (H().refuseMaskLocks && pic->isMask)) {
            return refuse();
        }
        if (type == kPictureDescriptionBitmapContext && !pic->console) {
            d->type = 8;
            d->handle = pic->context;
        } else if (type == kPictureDescriptionRowBuffer && pic->console) {
            d->type = 10;
            d->handle = pic->record.data();
        } else {
            return refuse();
        }
        d->width = pic->width;
        d->height = pic->height;
        ++pic->locks;
        return true;
    }
    static void UnlockDescription(PluginPicture p) {
        H().Record("unlockPictureDescription", p);
        if (auto* pic = H().FindPicture(p)) --pic->locks;
    }
    static bool GetPropValueBool(PluginObject o, const char* name, bool* value) {
        H().Record("REALGetPropValueBool", o);
        if (H().FindPicture(o) == nullptr || std::strcmp(name, "HasAlphaChannel") != 0) {
            return false;
        }
        *value = H().hasAlphaChannel;
        return true;
    }
    static PluginClass ObjectType(const char* name) {
        H().Record((std::string("pluginObjectType/") + name).c_str());
        const std::string n = name;
        const HostKind k = H().kind;
        const bool known = (n == "Application" && k == HostKind::Desktop) ||
                           (n == "ConsoleApplication" && k == HostKind::Console) ||
                           (n == "WebApplication" && k == HostKind::Web);
        return known ? reinterpret_cast<PluginClass>(&gTag) : nullptr;
    }
    static PluginObject NewInstance(const char* className) {
        H().Record((std::string("PluginNewInstance/") + className).c_str());
        const std::string n = className;
        if (n == "Picture") {
            auto pic = std::make_unique<HostPicture>();
            pic->console = H().kind != HostKind::Desktop;
            return static_cast<PluginObject>(H().Adopt(std::move(pic)));
        }
        static const std::set<std::string> known = {"RuntimeException", "OutOfMemoryException",
                                                    "OutOfBoundsException", "IllegalCastException"};
        if (!known.count(n)) return nullptr;
        auto instance = std::make_unique<HostInstance>();
        instance->className = n;
        return static_cast<PluginObject>(H().Adopt(std::move(instance)));
    }
    static void PictureConstructor(PluginObject o, int32_t w, int32_t h) {
        H().Record("Picture.Constructor", o);
        auto* pic = H().FindPicture(o);
        if (pic) H().InitPicture(pic, w, h);
    }
    static void DrawPicture(PluginGraphics g, PluginPicture image, int32_t x, int32_t y, int32_t w,
                            int32_t h, int32_t, int32_t, int32_t, int32_t) {
        H().Record("Graphics.DrawPicture", g);
        auto* graphics = static_cast<HostGraphics*>(H().Find(g));
        auto* from = H().FindPicture(image);
        if (!graphics || !from || !graphics->target) return;
        HostPicture* to = graphics->target;
        for (int32_t row = 0; row < h; ++row) {
            for (int32_t col = 0; col < w; ++col) {
                if (row + y < to->height && col + x < to->width && row < from->height &&
                    col < from->width) {
                    H().SetRgb(to, col + x, row + y, H().PixelOf(from, col, row));
                }
            }
        }
    }
    static void* LoadObjectMethod(PluginObject o, const char* declaration) {
        H().Record("REALLoadObjectMethod", o);
        HostObject* obj = H().Find(o);
        const std::string d = declaration;
        if (obj && obj->kind == ObjectKind::Picture &&
            d == "Constructor(width as integer, height as integer)") {
            return reinterpret_cast<void*>(&PictureConstructor);
        }
        if (obj && obj->kind == ObjectKind::Graphics && H().graphicsDrawPicture &&
            d.rfind("DrawPicture(Image as Picture, x as Integer, y as Integer, w as Integer, h "
                    "as Integer, sx as Integer = 0, sy as Integer = 0, sw as Integer = -10000, "
                    "sh as Integer = -10000)",
                    0) == 0) {
            return reinterpret_cast<void*>(&DrawPicture);
        }
        return nullptr;
    }
    static PluginPicture GetPictureMask(PluginPicture p, bool create) {
        H().Record("REALGetPictureMask", p);
        auto* pic = H().FindPicture(p);
        if (!pic) return nullptr;
        if (!pic->mask && create) {
            auto* mask = reinterpret_cast<HostPicture*>(H().NewPicture(pic->width, pic->height));
            pic->mask = mask;  // the picture keeps the creation reference
            mask->isMask = true;
        }
        if (pic->mask) ++pic->mask->refs;
        return reinterpret_cast<PluginPicture>(pic->mask);
    }
    static PluginGraphics PictureGraphics(PluginPicture p) {
        H().Record("pluginPictureGraphicsGetter", p);
        auto* pic = H().FindPicture(p);
        if (!pic) return nullptr;
        auto g = std::make_unique<HostGraphics>();
        g->target = pic;
        return static_cast<PluginGraphics>(H().Adopt(std::move(g)));
    }
    static void LockString(PluginString s) {
        H().Record("REALLockString", s);
        if (auto* str = H().FindString(s)) ++str->refs;
    }
    static void UnlockString(PluginString s) {
        H().Record("REALUnlockString", s);
        if (auto* str = H().FindString(s)) H().Drop(str);
    }
    static const char* StringGetCString(PluginString s) {
        H().Record("StringGetCString", s);
        auto* str = H().FindString(s);
        return str ? reinterpret_cast<const char*>(str->buffer.data() + 1) : nullptr;
    }
    static int32_t LenB(PluginString s) {
        H().Record("LenB", s);
        auto* str = H().FindString(s);
        return str ? static_cast<int32_t>(str->buffer.size() - 2) : 0;
    }
    static void* LoadGlobalMethod(const char* module, const char* declaration) {
        H().Record("REALLoadGlobalMethod");
        if (module == nullptr && std::string(declaration) == "LenB( s as string ) as integer") {
            return reinterpret_cast<void*>(&LenB);
        }
        return nullptr;
    }
    static PluginString BuildString(const void* data, int32_t length) {
        H().Record("REALBuildString");
        if (H().throwOnBuildString && H().buildStringThrows > 0) {
            --H().buildStringThrows;
            std::rethrow_exception(H().throwOnBuildString);
        }
        return H().MakeString(data, length, kEncodingUnknown);
    }
    static PluginString BuildStringWithEncoding(const void* data, int32_t length, uint32_t e) {
        H().Record("REALBuildStringWithEncoding");
        return H().MakeString(data, length, e);
    }
    static void SetStringEncoding(PluginString s, uint32_t e) {
        H().Record("REALSetStringEncoding", s);
        if (auto* str = H().FindString(s)) str->encoding = e;
    }
    static PluginString ConvertString(PluginString s, uint32_t e) {
        H().Record("REALConvertString", s);
        auto* str = H().FindString(s);
        if (!str) return nullptr;
        // Conversion is the host's affair; the tests only need the result to be
        // a new string in the asked encoding. UTF-16 becomes UTF-8 for real.
        std::string text = str->Text();
        if (str->encoding == kEncodingUTF16 && e == kEncodingUTF8) text = Utf16ToUtf8(text);
        return H().MakeString(text.data(), static_cast<int32_t>(text.size()), e);
    }
    static bool SetPropValueString(PluginObject o, const char* name, PluginString v) {
        H().Record("REALSetPropValueString", o);
        auto* obj = H().Find(o);
        if (!obj || obj->kind != ObjectKind::Instance || std::string(name) != "Message") {
            return false;
        }
        auto* inst = static_cast<HostInstance*>(obj);
        inst->message = H().FindString(v);
        if (inst->message) ++inst->message->refs;
        return true;
    }
    static bool SetPropValueInteger(PluginObject o, const char* name, int32_t v) {
        H().Record("REALSetPropValueInteger", o);
        auto* obj = H().Find(o);
        if (!obj || obj->kind != ObjectKind::Instance || std::string(name) != "ErrorNumber") {
            return false;
        }
        static_cast<HostInstance*>(obj)->errorNumber = v;
        return true;
    }
    static void RaiseExceptionCb(PluginObject o) {
        H().Record("RuntimeRaiseException", o);
        auto* obj = H().Find(o);
        if (!obj || obj->kind != ObjectKind::Instance) return;
        auto* inst = static_cast<HostInstance*>(obj);
        RecordingHost::Raised r;
        r.className = inst->className;
        r.hasMessage = inst->message != nullptr;
        if (inst->message) r.message = inst->message->Text();
        r.errorNumber = inst->errorNumber;
        H().raised.push_back(r);
    }

    static std::string Utf16ToUtf8(const std::string& in) {
        std::string out;
        for (size_t i = 0; i + 1 < in.size(); i += 2) {
            uint32_t u =
                static_cast<unsigned char>(in[i]) | (static_cast<unsigned char>(in[i + 1]) << 8);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < in.size()) {
                uint32_t lo = static_cast<unsigned char>(in[i + 2]) |
                              (static_cast<unsigned char>(in[i + 3]) << 8);
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
            if (u < 0x80) {
                out += static_cast<char>(u);
            } else if (u < 0x800) {
                out += static_cast<char>(0xC0 | (u >> 6));
                out += static_cast<char>(0x80 | (u & 0x3F));
            } else if (u < 0x10000) {
                out += static_cast<char>(0xE0 | (u >> 12));
                out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (u & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (u >> 18));
                out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (u & 0x3F));
            }
        }
        return out;
    }

    static void* Resolve(const char* name) {
        RecordingHost& h = H();
        ++h.resolverAsks[name];
        if (h.withheld.count(name)) return nullptr;
        static const std::map<std::string, void*> table = {
            {"REALGetRBVersion", reinterpret_cast<void*>(&GetRBVersion)},
            {"RegisterPluginVersion", reinterpret_cast<void*>(&RegisterPluginVersion)},
            {"PluginRegisterMethod", reinterpret_cast<void*>(&RegisterMethod)},
            {"PluginRegisterModule", reinterpret_cast<void*>(&RegisterModule)},
            {"newPicture", reinterpret_cast<void*>(&NewPicture)},
            {"REALLockObject", reinterpret_cast<void*>(&LockObject)},
            {"REALUnlockObject", reinterpret_cast<void*>(&UnlockObject)},
            {"REALPictureClearCache", reinterpret_cast<void*>(&ClearCache)},
            {"REALLockPictureDescription", reinterpret_cast<void*>(&LockDescription)},
            {"unlockPictureDescription", reinterpret_cast<void*>(&UnlockDescription)},
            {"REALGetPropValueBool", reinterpret_cast<void*>(&GetPropValueBool)},
            {"pluginObjectType", reinterpret_cast<void*>(&ObjectType)},
            {"PluginNewInstance", reinterpret_cast<void*>(&NewInstance)},
            {"REALLoadObjectMethod", reinterpret_cast<void*>(&LoadObjectMethod)},
            {"REALGetPictureMask", reinterpret_cast<void*>(&GetPictureMask)},
            {"pluginPictureGraphicsGetter", reinterpret_cast<void*>(&PictureGraphics)},
            {"REALLockString", reinterpret_cast<void*>(&LockString)},
            {"REALUnlockString", reinterpret_cast<void*>(&UnlockString)},
            {"StringGetCString", reinterpret_cast<void*>(&StringGetCString)},
            {"REALLoadGlobalMethod", reinterpret_cast<void*>(&LoadGlobalMethod)},
            {"REALBuildString", reinterpret_cast<void*>(&BuildString)},
            {"REALBuildStringWithEncoding", reinterpret_cast<void*>(&BuildStringWithEncoding)},
            {"REALSetStringEncoding", reinterpret_cast<void*>(&SetStringEncoding)},
            {"REALConvertString", reinterpret_cast<void*>(&ConvertString)},
            {"REALSetPropValueString", reinterpret_cast<void*>(&SetPropValueString)},
            {"REALSetPropValueInteger", reinterpret_cast<void*>(&SetPropValueInteger)},
            {"REALSetPropValueInt", reinterpret_cast<void*>(&SetPropValueInteger)},
            {"RuntimeRaiseException", reinterpret_cast<void*>(&RaiseExceptionCb)},
        };
        if (std::string(name) == "REALGetRBVersion" && !h.version) return nullptr;
        auto it = table.find(name);
        return it == table.end() ? nullptr : it->second;
    }
};

RecordingHost::RecordingHost() {
    current = this;
}

RecordingHost::~RecordingHost() {
    // The library stays loaded: like any plug-in it keeps what it loaded for
    // the life of the process (the ApplicationServices bundle), and unloading
    // it would orphan that.
    for (void* p : hostOwned_) std::free(p);
    if (current == this) current = nullptr;
}

void RecordingHost::Load(const std::string& path) {
    // A copy under a new name is a new library to the loader, so every static
    // of the library starts from its load value.
    libraryCopy_ =
        (std::filesystem::temp_directory_path() / ("zuvshot-test-" + std::to_string(getpid()) +
                                                   "-" + std::to_string(gCopyCounter++) + ".so"))
            .string();
    std::filesystem::copy_file(path, libraryCopy_,
                               std::filesystem::copy_options::overwrite_existing);
    library_ = dlopen(libraryCopy_.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::filesystem::remove(libraryCopy_);
    if (!library_) throw std::runtime_error(std::string("dlopen: ") + dlerror());
    void* entry = dlsym(library_, "REALPluginMain");
    if (!entry) throw std::runtime_error("no REALPluginMain");
    std::memcpy(&main_, &entry, sizeof main_);
    CallMain();
}

void RecordingHost::LoadLinked(PluginMainFunction main) {
    main_ = main;
    CallMain();
}

void RecordingHost::CallMain() {
    current = this;
    main_(&Callbacks::Resolve);
}

void RecordingHost::Record(const char* name, const void* subject) {
    calls.push_back({name, subject});
}

int RecordingHost::CallCount(const std::string& name, const void* subject) const {
    int n = 0;
    for (const auto& c : calls) {
        if (c.name == name && (subject == nullptr || c.subject == subject)) ++n;
    }
    return n;
}

std::vector<std::string> RecordingHost::CallNames() const {
    std::vector<std::string> names;
    for (const auto& c : calls) names.push_back(c.name);
    return names;
}

void* RecordingHost::Function(const std::string& declaration) const {
    for (const auto& m : methods) {
        if (m.declaration == declaration) return m.function;
    }
    for (const auto& module : modules) {
        for (const auto& m : module.methods) {
            if (module.name + "." + m.declaration == declaration) return m.function;
        }
    }
    return nullptr;
}

HostObject* RecordingHost::Find(const void* handle) const {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second.get();
}

HostPicture* RecordingHost::FindPicture(const void* handle) const {
    HostObject* o = Find(handle);
    return o && o->kind == ObjectKind::Picture ? static_cast<HostPicture*>(o) : nullptr;
}

HostString* RecordingHost::FindString(const void* handle) const {
    HostObject* o = Find(handle);
    return o && o->kind == ObjectKind::String ? static_cast<HostString*>(o) : nullptr;
}

void* RecordingHost::Adopt(std::unique_ptr<HostObject> object) {
    const void* handle = object->Handle();
    objects_[handle] = std::move(object);
    return const_cast<void*>(handle);
}

void RecordingHost::Drop(HostObject* object) {
    if (object->refs <= 0) return;
    if (--object->refs > 0) return;
    // The shell stays, so that a test can still ask for its count.
    if (object->kind == ObjectKind::Picture) {
        auto* pic = static_cast<HostPicture*>(object);
        if (pic->mask) Drop(pic->mask);
        pic->mask = nullptr;
    }
    if (object->kind == ObjectKind::Instance) {
        auto* inst = static_cast<HostInstance*>(object);
        if (inst->message) Drop(inst->message);
        inst->message = nullptr;
    }
    object->Free();
    if (!keepShells) objects_.erase(object->Handle());
}

int RecordingHost::LivePictures() const {
    int n = 0;
    for (const auto& [k, o] : objects_) n += o->kind == ObjectKind::Picture && o->refs > 0;
    return n;
}

int RecordingHost::LiveStrings() const {
    int n = 0;
    for (const auto& [k, o] : objects_) n += o->kind == ObjectKind::String && o->refs > 0;
    return n;
}

int RecordingHost::LiveObjects() const {
    int n = 0;
    for (const auto& [k, o] : objects_) n += o->refs > 0;
    return n;
}

int RecordingHost::Refs(const void* object) const {
    HostObject* o = Find(object);
    return o ? o->refs : -1;
}

void RecordingHost::Unlock(void* object) {
    if (HostObject* o = Find(object)) Drop(o);
}

void RecordingHost::InitPicture(HostPicture* pic, int32_t w, int32_t h) {
    pic->width = w;
    pic->height = h;
    pic->alphaInfo = alphaInfo;
    // A wider context (64 bits a pixel) gets room for it; its pixels are then
    // never looked at.
    const size_t words = bitsPerPixel / 32 ? bitsPerPixel / 32 : 1;
    pic->pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * words, 0);
    for (int32_t y = 0; y < h && fillNewPictures; ++y) {
        for (int32_t x = 0; x < w; ++x) SetRgb(pic, x, y, newPictureFill);
    }
    if (pic->console) {
        pic->record.assign(kRowBufferRecordSize, 0);
        RowBufferWriteInt(pic->record.data(), kRowBufferWidthOffset, w);
        RowBufferWriteInt(pic->record.data(), kRowBufferHeightOffset, h);
        RowBufferWriteInt(pic->record.data(), kRowBufferZeroWordOffset, rowBufferFirstWord);
        RowBufferWriteInt(pic->record.data(), kRowBufferValidWordOffset, rowBufferValidWord);
        pic->rows.resize(static_cast<size_t>(h));
        for (int32_t y = 0; y < h; ++y) {
            pic->rows[y] =
                reinterpret_cast<unsigned char*>(pic->pixels.data() + static_cast<size_t>(y) * w);
        }
        RowBufferWriteRows(pic->record.data(), rowBufferHasRows ? pic->rows.data() : nullptr);
    } else {
        cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
        pic->context = cg::CGBitmapContextCreate(
            pic->pixels.data(), static_cast<size_t>(w), static_cast<size_t>(h), bitsPerPixel / 4,
            bitsPerPixel / 8 * static_cast<size_t>(w), space, alphaInfo);
        cg::CGColorSpaceRelease(space);
    }
}

PluginPicture RecordingHost::NewPicture(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    auto pic = std::make_unique<HostPicture>();
    pic->console = kind != HostKind::Desktop;
    InitPicture(pic.get(), width, height);
    return static_cast<PluginPicture>(Adopt(std::move(pic)));
}

PluginString RecordingHost::MakeString(const void* data, int32_t length, uint32_t encoding) {
    if (length < 0) return nullptr;
    auto s = std::make_unique<HostString>();
    s->Set(data, static_cast<size_t>(length));
    s->encoding = encoding;
    return static_cast<PluginString>(Adopt(std::move(s)));
}

PluginString RecordingHost::NewString(const std::string& bytes, uint32_t encoding) {
    return MakeString(bytes.data(), static_cast<int32_t>(bytes.size()), encoding);
}

std::string RecordingHost::StringBytes(PluginString string) const {
    HostString* s = FindString(string);
    return s ? s->Text() : std::string();
}

uint32_t RecordingHost::StringEncoding(PluginString string) const {
    HostString* s = FindString(string);
    return s ? s->encoding : 0;
}

int32_t RecordingHost::PictureWidth(PluginPicture picture) const {
    HostPicture* p = FindPicture(picture);
    return p ? p->width : -1;
}

int32_t RecordingHost::PictureHeight(PluginPicture picture) const {
    HostPicture* p = FindPicture(picture);
    return p ? p->height : -1;
}

int RecordingHost::Locks(PluginPicture picture) const {
    HostPicture* p = FindPicture(picture);
    return p ? p->locks : -1;
}

PluginPicture RecordingHost::MaskOf(PluginPicture picture) const {
    HostPicture* p = FindPicture(picture);
    return p ? reinterpret_cast<PluginPicture>(p->mask) : nullptr;
}

std::vector<uint8_t> RecordingHost::RawBytes(PluginPicture picture, int32_t x, int32_t y) const {
    HostPicture* p = FindPicture(picture);
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &p->pixels.at(static_cast<size_t>(y) * p->width + x), 4);
    return bytes;
}

uint32_t RecordingHost::RawPixel(PluginPicture picture, int32_t x, int32_t y) const {
    HostPicture* p = FindPicture(picture);
    return p->pixels.at(static_cast<size_t>(y) * p->width + x);
}

Rgb RecordingHost::PixelOf(const HostPicture* p, int32_t x, int32_t y) const {
    uint8_t b[4];
    std::memcpy(b, &p->pixels.at(static_cast<size_t>(y) * p->width + x), 4);
    if (p->console) return {b[2], b[1], b[0]};
    switch (p->alphaInfo & 7) {
        case 2:
        case 4:
        case 6:
            return {b[1], b[2], b[3]};
        default:
            return {b[0], b[1], b[2]};
    }
}

void RecordingHost::SetRgb(HostPicture* p, int32_t x, int32_t y, Rgb c) {
    uint8_t b[4];
    if (p->console) {
        b[0] = c.b, b[1] = c.g, b[2] = c.r, b[3] = 0;
    } else if ((p->alphaInfo & 7) == 2 || (p->alphaInfo & 7) == 4 || (p->alphaInfo & 7) == 6) {
        b[0] = 255, b[1] = c.r, b[2] = c.g, b[3] = c.b;
    } else {
        b[0] = c.r, b[1] = c.g, b[2] = c.b, b[3] = 255;
    }
    std::memcpy(&p->pixels.at(static_cast<size_t>(y) * p->width + x), b, 4);
}

Rgb RecordingHost::PixelAt(PluginPicture picture, int32_t x, int32_t y) const {
    return PixelOf(FindPicture(picture), x, y);
}

}  // namespace rechost
