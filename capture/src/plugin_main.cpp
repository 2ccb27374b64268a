// The library's entry point: learns the host version, tells the host which
// control version it speaks and registers the capture functions.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "captures.h"
#include "host.h"

namespace zuvshot {
namespace {

constexpr uintptr_t kFlagNeedsNewHost = 0x40000;   // becomes 0x4 on hosts from 2010.029 on
constexpr uintptr_t kFlagNeedsNewHost2 = 0x80000;  // becomes 0x8 likewise
constexpr uintptr_t kFlagModuleMember = 0x10;
constexpr size_t kMethodCount = 7;
constexpr size_t kModuleNameSize = 100;

template <typename Fn>
uintptr_t Entry(Fn fn) {
    return reinterpret_cast<uintptr_t>(fn);
}

uintptr_t Text(const char* text) {
    return reinterpret_cast<uintptr_t>(text);
}

int32_t ControlVersionFor(double v) {
    if (v >= 2013.04) return 13;
    if (v >= 2013.03) return 12;
    if (v >= 2013.0) return 11;
    if (v >= 2012.0) return 10;
    return 9;
}

}  // namespace

// Registration order is table order; the host tells the two ScreenshotRectZUV
// overloads apart by their argument count.
PluginMethodDefinition globalMethods[kMethodCount] = {
    {Entry(&ScreenshotDisplayZUV), 0, Text("ScreenshotDisplayZUV(index as integer) as picture"),
     kFlagNeedsNewHost, 0, 0},
    {Entry(&ScreenshotZUV), 0, Text("ScreenshotZUV as picture"), kFlagNeedsNewHost, 0, 0},
    {Entry(&ScreenshotRectZUV), 0,
     Text("ScreenshotRectZUV(left as integer, top as integer, width as integer, height as "
          "integer) as picture"),
     kFlagNeedsNewHost, 0, 0},
    {Entry(&ScreenshotRectDestZUV), 0,
     Text("ScreenshotRectZUV(left as integer, top as integer, width as integer, height as "
          "integer, destwidth as integer, destheight as integer) as picture"),
     kFlagNeedsNewHost, 0, 0},
    {Entry(&ScreenshotStringDisplayZUV), 0,
     Text("ScreenshotStringDisplayZUV(byref Width as integer, byref Height as integer, byref "
          "RowBytes as integer, index as integer) as string"),
     kFlagNeedsNewHost, 0, 0},
    {Entry(&ScreenshotStringZUV), 0,
     Text("ScreenshotStringZUV(byref Width as integer, byref Height as integer, byref RowBytes "
          "as integer) as string"),
     kFlagNeedsNewHost, 0, 0},
    {Entry(&ScreenshotFromStringZUV), 0,
     Text("ScreenshotFromStringZUV(Width as integer, Height as integer, RowBytes as integer, "
          "data as string) as picture"),
     kFlagNeedsNewHost, 0, 0},
};

namespace {

void RewriteFlags(double v) {
    for (auto& method : globalMethods) {
        uintptr_t f = method.flags;
        if ((f & (kFlagNeedsNewHost | kFlagNeedsNewHost2)) != 0 && v >= 2010.029) {
            if (f & kFlagNeedsNewHost) f |= 0x4;
            if (f & kFlagNeedsNewHost2) f |= 0x8;
        }
        method.flags = f & ~(kFlagNeedsNewHost | kFlagNeedsNewHost2);
    }
}

// The module record, its name and its method copy pass to the host for good;
// a host that cannot take them leaves them to be freed here.
void RegisterAsModule() {
    auto* name = static_cast<char*>(std::calloc(kModuleNameSize, 1));
    auto* module =
        static_cast<PluginModuleDefinition*>(std::calloc(1, sizeof(PluginModuleDefinition)));
    auto* methods = static_cast<PluginMethodDefinition*>(
        std::malloc(kMethodCount * sizeof(PluginMethodDefinition)));
    if (name == nullptr || module == nullptr || methods == nullptr) {
        std::free(name);
        std::free(module);
        std::free(methods);
        return;
    }
    std::snprintf(name, kModuleNameSize, "%s%s", gpartname, "GlobalsZUV");
    std::memcpy(methods, globalMethods, sizeof globalMethods);
    for (size_t i = 0; i < kMethodCount; ++i) methods[i].flags |= kFlagModuleMember;
    module->version = static_cast<uintptr_t>(CurrentREALControlVersion);
    module->name = reinterpret_cast<uintptr_t>(name);
    module->methods = reinterpret_cast<uintptr_t>(methods);
    module->methodCount = kMethodCount;
    if (!REALRegisterModule(module)) {
        std::free(name);
        std::free(module);
        std::free(methods);
    }
}

}  // namespace
}  // namespace zuvshot

extern "C" __attribute__((visibility("default"))) void REALPluginMain(PluginResolver resolver) {
    using namespace zuvshot;
    gResolver = resolver;
    if (resolver == nullptr) return;

    // Neither of these two is cached: each is used once per load.
    if (void* address = resolver("REALGetRBVersion")) {
        rbversion_rbversion = FunctionFromAddress<PluginGetRBVersionFn>(address)();
    }
    const double v = rbversion_rbversion;
    CurrentREALControlVersion = ControlVersionFor(v);
    // The host must offer this one; a host without it cannot load plug-ins of
    // this interface, so skipping the call is the only sound thing left to do.
    if (void* address = resolver("RegisterPluginVersion")) {
        FunctionFromAddress<PluginRegisterPluginVersionFn>(address)(CurrentREALControlVersion);
    }
    gpartname = "ScreenshotZUV";
    RewriteFlags(v);

    if (v >= 3000.0 || v < 2013.0) {
        for (auto& method : globalMethods) REALRegisterMethod(&method);
        return;
    }
    RegisterAsModule();
}
