// Loading plug-in libraries: only from the program's own plug-in folder, by
// absolute path, and built-in stand-ins by name.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fw/host/plugins.h"
#include "host/resolver.h"

namespace {

namespace fs = std::filesystem;

TEST(HostLoading, PluginFolderLiesBesideTheExecutable) {
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    const std::string folder = fw::host::PluginFolder();
    EXPECT_TRUE(fs::path(folder).is_absolute());
    EXPECT_EQ(folder, (exe.parent_path().parent_path() / "lib" / "ostrel4").string());
    EXPECT_EQ(fw::host::PluginLibraryPath("Zuvshot.dylib"), folder + "/Zuvshot.so");
}

TEST(HostLoading, OnlyPlainDylibNamesMapToALibrary) {
    for (const char* name : {"Zuvshot", "Zuvshot.so", ".dylib", "../Zuvshot.dylib",
                             "/tmp/Zuvshot.dylib", "sub/Zuvshot.dylib", "..dylib", "...dylib"}) {
        EXPECT_EQ(fw::host::PluginLibraryPath(name), "") << name;
        EXPECT_FALSE(fw::RuntimeLoadPlugin(name)) << name;
    }
}

TEST(HostLoading, MissingLibraryGivesFalseAndRegistersNothing) {
    // A library of that name in the working directory must not be found:
    // loading never searches, it opens the plug-in folder's path.
    EXPECT_FALSE(fw::RuntimeLoadPlugin("NoSuchLibraryZUV.dylib"));
    EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint(
                  "ScreenshotZUVGlobalsZUV.ScreenshotDisplayZUV(index as integer) as picture"),
              nullptr);
}

int g_inits = 0;
void CountingInit() {
    ++g_inits;
}

TEST(HostLoading, BuiltinStandInRunsItsInitOnceInsteadOfOpeningALibrary) {
    fw::RegisterBuiltinPlugin("StandInZUV.dylib", &CountingInit);
    EXPECT_TRUE(fw::RuntimeLoadPlugin("StandInZUV.dylib"));
    EXPECT_TRUE(fw::RuntimeLoadPlugin("StandInZUV.dylib"));
    EXPECT_EQ(g_inits, 1);
    EXPECT_FALSE(fw::RuntimeLoadPlugin("standinzuv.dylib"));
}

}  // namespace
