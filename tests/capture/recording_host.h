// A plug-in host of the tests' own: it answers the capture library's callbacks
// over plain C++ objects and records every call, so that a test can load the
// built library, drive it and check what it asked of the host.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "plugin_sdk.h"

namespace rechost {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

enum class HostKind { Desktop, Console, Web, Unknown };

struct Call {
    std::string name;
    const void* subject = nullptr;  // the picture, string or object the call is about
};

struct HostObject;
struct HostPicture;
struct HostString;

struct RegisteredMethod {
    std::string declaration;
    void* function = nullptr;
    uintptr_t flags = 0;
};

struct RegisteredModule {
    std::string name;
    uintptr_t version = 0;
    std::vector<RegisteredMethod> methods;
};

class RecordingHost {
  public:
    RecordingHost();
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // --- configuration, before Load ---
    std::optional<double> version = 2013.04;
    HostKind kind = HostKind::Desktop;
    uint32_t alphaInfo = 6;        // of a desktop picture's bitmap context
    size_t bitsPerPixel = 32;      // of a desktop picture's bitmap context
    bool hasAlphaChannel = false;  // the "HasAlphaChannel" property
    bool refuseLocks = false;
    bool refuseMaskLocks = false;    // of the masks that REALGetPictureMask gives
    int32_t rowBufferFirstWord = 0;  // of a console picture's row-buffer record
    int32_t rowBufferValidWord = 1;
    bool rowBufferHasRows = true;     // REALLockPictureDescription answers false
    bool graphicsDrawPicture = true;  // a mask's Graphics has DrawPicture
    Rgb newPictureFill{1, 2, 3};      // what a new picture holds
    int failNewPictures = 0;
    bool fillNewPictures = true;  // false: new pictures hold zeros (cheaper)
    bool keepShells = true;  // false: objects are deleted at their last release        // so many
                             // "newPicture" calls give nil first
    std::set<std::string> withheld;  // callbacks the resolver does not give

    // Loads a fresh copy of the library at `path` (its statics start anew) and
    // calls REALPluginMain with this host's resolver.
    void Load(const std::string& path);
    // Uses a REALPluginMain linked into the test itself instead.
    void LoadLinked(PluginMainFunction main);
    // Calls REALPluginMain of the loaded library once more.
    void CallMain();

    // --- what the library did ---
    std::vector<Call> calls;
    std::map<std::string, int> resolverAsks;
    std::vector<int32_t> pluginVersions;  // RegisterPluginVersion arguments
    std::vector<RegisteredMethod> methods;
    std::vector<RegisteredModule> modules;
    struct Raised {
        std::string className;
        std::string message;
        bool hasMessage = false;
        int32_t errorNumber = -1;
    };
    std::vector<Raised> raised;

    int CallCount(const std::string& name, const void* subject = nullptr) const;
    std::vector<std::string> CallNames() const;

    // A registered function by declaration: "Module.decl" for module members.
    void* Function(const std::string& declaration) const;
    template <typename Fn>
    Fn Get(const std::string& declaration) const {
        void* p = Function(declaration);
        Fn fn;
        static_assert(sizeof fn == sizeof p);
        __builtin_memcpy(&fn, &p, sizeof fn);
        return fn;
    }

    // --- objects ---
    int LivePictures() const;
    int LiveStrings() const;
    int LiveObjects() const;  // every kind
    int Refs(const void* object) const;
    void Unlock(void* object);  // drops one reference, as the caller of a capture does

    PluginPicture NewPicture(int32_t width, int32_t height);
    int32_t PictureWidth(PluginPicture picture) const;
    int32_t PictureHeight(PluginPicture picture) const;
    Rgb PixelAt(PluginPicture picture, int32_t x, int32_t y) const;
    uint32_t RawPixel(PluginPicture picture, int32_t x, int32_t y) const;  // memory order word
    std::vector<uint8_t> RawBytes(PluginPicture picture, int32_t x, int32_t y) const;
    PluginPicture MaskOf(PluginPicture picture) const;
    // Descriptions locked and not unlocked; a host older than 2012.0 leaves a
    // refused lock half taken, and counts it too.
    int Locks(PluginPicture picture) const;

    PluginString NewString(const std::string& bytes, uint32_t encoding = kEncodingUTF8);
    std::string StringBytes(PluginString string) const;
    uint32_t StringEncoding(PluginString string) const;

    // An exception that REALBuildString throws at its next `buildStringThrows` calls.
    std::exception_ptr throwOnBuildString;
    int buildStringThrows = 1;

    static RecordingHost* current;

  private:
    friend struct Callbacks;
    HostObject* Find(const void* handle) const;
    HostPicture* FindPicture(const void* handle) const;
    HostString* FindString(const void* handle) const;
    void* Adopt(std::unique_ptr<HostObject> object);  // gives the handle
    void Drop(HostObject* object);
    void Record(const char* name, const void* subject = nullptr);
    void InitPicture(HostPicture* picture, int32_t width, int32_t height);
    PluginString MakeString(const void* data, int32_t length, uint32_t encoding);
    Rgb PixelOf(const HostPicture* picture, int32_t x, int32_t y) const;
    void SetRgb(HostPicture* picture, int32_t x, int32_t y, Rgb colour);

    std::map<const void*, std::unique_ptr<HostObject>> objects_;
    std::vector<std::unique_ptr<HostObject>> dead_;
    void* library_ = nullptr;
    std::string libraryCopy_;
    void (*main_)(PluginResolver) = nullptr;
    std::vector<void*> hostOwned_;  // records handed over at registration
};

}  // namespace rechost
