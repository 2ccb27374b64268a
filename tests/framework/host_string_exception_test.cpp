// A failure inside the capture library's string building reaches the program
// as the framework exception that the library named, raised only once the
// call is back in host code. The library is started with a resolver that
// forwards to the host's but lets the test make string building fail; it
// runs in a process of its own, since the library keeps every callback it
// was given.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fw/host/plugins.h"
#include "fw/ui/picture.h"
#include "host/resolver.h"
#include "platform/screen.h"
#include "platform/virtual.h"
#include "../../capture/include/plugin_sdk.h"

namespace {

enum class Failure { kNone, kOutOfRange, kBadAlloc, kUnnamed };
Failure g_failure = Failure::kNone;

// Fails once: the library builds the exception's message with the same
// callback, which must then work.
extern "C" PluginString FailingBuildString(const void* data, int32_t length) {
    const Failure failure = std::exchange(g_failure, Failure::kNone);
    switch (failure) {
        case Failure::kOutOfRange:
            throw std::out_of_range("string too long");
        case Failure::kBadAlloc:
            throw std::bad_alloc();
        case Failure::kUnnamed:
            throw 42;
        case Failure::kNone:
            break;
    }
    auto real = reinterpret_cast<PluginBuildStringFn>(fw::host::PluginResolve("REALBuildString"));
    return real(data, length);
}

extern "C" void* TestResolver(const char* name) {
    if (name && std::strcmp(name, "REALBuildString") == 0) {
        return reinterpret_cast<void*>(&FailingBuildString);
    }
    return fw::host::PluginResolve(name);
}

constexpr const char* kStringDeclaration =
    "ScreenshotZUVGlobalsZUV.ScreenshotStringZUV(byref Width as integer, byref Height as "
    "integer, byref RowBytes as integer) as string";

class HostStringException : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string path = fw::host::PluginFolder() + "/Zuvshot.so";
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto main = reinterpret_cast<PluginMainFunction>(dlsym(library, "REALPluginMain"));
        ASSERT_NE(main, nullptr);
        main(&TestResolver);
    }
    void SetUp() override {
        // One display of 4 x 2 pixels, all mid grey.
        auto screen = std::make_unique<platform::VirtualScreen>();
        screen->Fill(screen->AddDisplay({0, 0, 4, 2}), 0x808080);
        platform::SetCurrentScreen(std::move(screen));
        g_failure = Failure::kNone;
    }
    PluginString Capture(int32_t* w) {
        auto fn = reinterpret_cast<ScreenshotStringFn>(
            fw::RuntimeLookupPluginEntrypoint(kStringDeclaration));
        EXPECT_NE(fn, nullptr);
        int32_t h = 0, rowBytes = 0;
        return fn ? fn(w, &h, &rowBytes) : nullptr;
    }
};

TEST_F(HostStringException, StringCaptureWorksWhenNothingFails) {
    int32_t w = 0;
    const std::string bytes = fw::AdoptPluginString(Capture(&w)).Bytes();
    EXPECT_EQ(w, 4);
    EXPECT_EQ(bytes.size(), 32u);
    EXPECT_NO_THROW(fw::RaisePendingPluginException());
}

TEST_F(HostStringException, FailureArrivesAsTheNamedFrameworkException) {
    struct Case {
        Failure failure;
        const char* cls;
        const char* message;
    };
    const Case cases[] = {
        {Failure::kOutOfRange, "OutOfBoundsException", "string too long"},
        {Failure::kBadAlloc, "OutOfMemoryException", "Failed to allocate memory."},
        {Failure::kUnnamed, "RuntimeException", "Sorry, but there was an unnamed C++ Exception."},
    };
    for (const Case& c : cases) {
        g_failure = c.failure;
        int32_t w = 0;
        PluginString s = Capture(&w);  // returns normally, without a string
        g_failure = Failure::kNone;
        EXPECT_EQ(s, nullptr) << c.cls;
        try {
            fw::RaisePendingPluginException();
            ADD_FAILURE() << c.cls << " not raised";
        } catch (const fw::RuntimeException& e) {
            EXPECT_STREQ(e.ClassName(), c.cls);
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(e.ErrorNumber(), 0);
        }
        EXPECT_NO_THROW(fw::RaisePendingPluginException());
    }
}

}  // namespace
