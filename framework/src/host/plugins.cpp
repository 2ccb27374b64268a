// Plug-in loading and the table of registered entry points.
#include "fw/host/plugins.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/registry.h"
#include "host/resolver.h"
#include "plugin_sdk.h"

namespace fw {

namespace host {

namespace {

// Plug-ins register during REALPluginMain and nothing is ever unloaded, so
// the tables live for the whole process (and are never destroyed, because a
// plug-in's static destructors may still look something up at exit).
struct Registry {
    std::map<std::string, void*, std::less<>> entrypoints;
    std::map<std::string, void (*)(), std::less<>> builtins;
    std::set<std::string, std::less<>> loaded;  // library paths and built-in names
    std::vector<PluginModuleDefinition*> modules;
    Ref<HostException> pending;
    int32_t controlVersion = 0;
};

Registry& Reg() {
    static auto* r = new Registry();
    return *r;
}

// A sanity bound on a module's member count, against a corrupt record.
constexpr uintptr_t kMaxModuleMethods = 4096;

}  // namespace

void RegisterMethodRecord(const PluginMethodDefinition* method) {
    if (!method || !method->function || !method->declaration) return;
    Reg().entrypoints[reinterpret_cast<const char*>(method->declaration)] =
        reinterpret_cast<void*>(method->function);
}

void RegisterModuleRecord(PluginModuleDefinition* module) {
    if (!module || !module->name) return;
    Reg().modules.push_back(module);
    const std::string prefix = std::string(reinterpret_cast<const char*>(module->name)) + ".";
    auto* methods = reinterpret_cast<const PluginMethodDefinition*>(module->methods);
    if (!methods || module->methodCount > kMaxModuleMethods) return;
    for (uintptr_t i = 0; i < module->methodCount; ++i) {
        const PluginMethodDefinition& m = methods[i];
        if (!m.function || !m.declaration) continue;
        Reg().entrypoints[prefix + reinterpret_cast<const char*>(m.declaration)] =
            reinterpret_cast<void*>(m.function);
    }
}

void NoteControlVersion(int32_t version) {
    Reg().controlVersion = version;
}

int32_t AnnouncedControlVersion() {
    return Reg().controlVersion;
}

void SetPendingException(Ref<HostException> exception) {
    // The first exception is the cause; later ones are consequences of it.
    if (!Reg().pending) Reg().pending = std::move(exception);
}

void ClearPendingPluginException() {
    Reg().pending.Reset();
}

std::string PluginFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute()) return {};
    return (exe.parent_path() / ".." / "lib" / OSTREL_PLUGIN_DIR_NAME).lexically_normal().string();
}

std::string PluginLibraryPath(const std::string& fileName) {
    constexpr std::string_view kSuffix = ".dylib";
    if (fileName.size() <= kSuffix.size() ||
        fileName.compare(fileName.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
        return {};
    }
    const std::string name = fileName.substr(0, fileName.size() - kSuffix.size());
    // Only a plain file name: nothing may reach outside the plug-in folder.
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos ||
        name == "." || name == "..") {
        return {};
    }
    const std::string folder = PluginFolder();
    if (folder.empty()) return {};
    return folder + "/" + name + ".so";
}

}  // namespace host

bool RuntimeLoadPlugin(const String& fileName) {
    host::Registry& r = host::Reg();
    const std::string& name = fileName.Bytes();
    if (auto it = r.builtins.find(name); it != r.builtins.end()) {
        if (r.loaded.insert(name).second) it->second();
        return true;
    }
    const std::string path = host::PluginLibraryPath(name);
    if (path.empty()) return false;
    if (r.loaded.count(path)) return true;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    auto main = reinterpret_cast<PluginMainFunction>(dlsym(library, "REALPluginMain"));
    if (!main) {
        dlclose(library);
        return false;
    }
    // The library stays loaded for the rest of the run: its registered
    // functions and the records that the host keeps point into it.
    r.loaded.insert(path);
    main(&host::PluginResolve);
    return true;
}

void* RuntimeLookupPluginEntrypoint(const String& declaration) {
    const auto& table = host::Reg().entrypoints;
    auto it = table.find(declaration.Bytes());
    return it == table.end() ? nullptr : it->second;
}

void RegisterBuiltinPlugin(const String& fileName, void (*init)()) {
    if (init) host::Reg().builtins[fileName.Bytes()] = init;
}

void RegisterPluginEntrypoint(const String& declaration, void* function) {
    if (function) host::Reg().entrypoints[declaration.Bytes()] = function;
}

Ref<Picture> AdoptPluginPicture(PluginPicture picture) {
    Object* o = host::ObjectOf(picture);
    if (!o) return Ref<Picture>();
    if (auto* p = dynamic_cast<Picture*>(o)) return Ref<Picture>::Adopt(p);
    // A Picture instance: keep its picture, drop the instance's reference.
    Ref<Picture> result;
    if (auto* i = dynamic_cast<host::PictureInstance*>(o)) result = i->picture;
    o->Release();
    return result;
}

void RaisePendingPluginException() {
    Ref<host::HostException> e = std::move(host::Reg().pending);
    if (!e) return;
    std::string message;
    if (!host::ConvertText(e->message, encoding::kUTF8, &message)) message = e->message.Bytes();
    const int32_t number = e->errorNumber;
    const std::string cls = e->className;
    e.Reset();
    if (cls == "OutOfBoundsException") throw OutOfBoundsException(message, number);
    if (cls == "OutOfMemoryException") throw OutOfMemoryException(message, number);
    if (cls == "IllegalCastException") throw IllegalCastException(message, number);
    if (cls == "NilObjectException") throw NilObjectException(message, number);
    throw RuntimeException(message, number);
}

PluginStringArg::PluginStringArg(const String& value)
    : handle_(static_cast<PluginString>(host::NewStringHandle(value))) {}

PluginStringArg::~PluginStringArg() {
    if (Object* o = host::ObjectOf(handle_)) o->Release();
}

String PluginStringValue(PluginString string) {
    host::HostString* s = host::AsString(string);
    return s ? s->Value() : String();
}

String AdoptPluginString(PluginString string) {
    Object* o = host::ObjectOf(string);
    if (!o) return String();
    String value = PluginStringValue(string);
    o->Release();
    return value;
}

}  // namespace fw
