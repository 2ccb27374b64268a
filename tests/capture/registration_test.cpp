// Registration by host version, flags and control versions, the callback
// cache and the fallback of the integer property setter.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace rechost {
namespace {

struct VersionCase {
    std::optional<double> version;
    bool module;
    int32_t controlVersion;
    uintptr_t flags;  // of each registered record
};

class RegistrationTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(RegistrationTest, RegistersByHostVersion) {
    const VersionCase c = GetParam();
    RecordingHost host;
    host.version = c.version;
    host.Load(LibraryPath());

    ASSERT_EQ(host.pluginVersions, std::vector<int32_t>{c.controlVersion});
    const std::vector<std::string> decls = {kDisplayDecl,   kScreenshotDecl,    kRectDecl,
                                            kRectDestDecl,  kStringDisplayDecl, kStringDecl,
                                            kFromStringDecl};
    if (c.module) {
        EXPECT_TRUE(host.methods.empty());
        ASSERT_EQ(host.modules.size(), 1u);
        EXPECT_EQ(host.modules[0].name, "ScreenshotZUVGlobalsZUV");
        EXPECT_EQ(host.modules[0].version, static_cast<uintptr_t>(c.controlVersion));
        ASSERT_EQ(host.modules[0].methods.size(), 7u);
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(host.modules[0].methods[i].declaration, decls[i]);
            EXPECT_EQ(host.modules[0].methods[i].flags, c.flags | 0x10);
        }
    } else {
        EXPECT_TRUE(host.modules.empty());
        ASSERT_EQ(host.methods.size(), 7u);
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(host.methods[i].declaration, decls[i]);
            EXPECT_EQ(host.methods[i].flags, c.flags);
        }
    }
    // The load asks for these in this order, and nothing else before them.
    const auto names = host.CallNames();
    size_t first = c.version ? 1 : 0;
    if (c.version) {
        EXPECT_EQ(names[0], "REALGetRBVersion");
    }
    EXPECT_EQ(names[first], "RegisterPluginVersion");
}

INSTANTIATE_TEST_SUITE_P(
    HostVersions, RegistrationTest,
    ::testing::Values(VersionCase{2013.0, true, 11, 0x4}, VersionCase{2012.99, false, 10, 0x4},
                      VersionCase{3000.0, false, 13, 0x4}, VersionCase{2013.03, true, 12, 0x4},
                      VersionCase{2013.04, true, 13, 0x4}, VersionCase{2999.99, true, 13, 0x4},
                      VersionCase{2010.029, false, 9, 0x4}, VersionCase{2010.0, false, 9, 0},
                      VersionCase{std::nullopt, false, 9, 0}));

TEST(Registration, SecondMainCallLeavesRewrittenFlagsAlone) {
    RecordingHost host;
    host.version = 2012.5;
    host.Load(LibraryPath());
    host.version = 2009.0;  // would give 0 on a first load
    host.CallMain();
    ASSERT_EQ(host.methods.size(), 14u);
    for (const auto& m : host.methods) EXPECT_EQ(m.flags, 0x4u);
}

TEST(Registration, MissingRegisterMethodSkipsEveryRecordAndIsAskedEachTime) {
    RecordingHost host;
    host.version = 2012.0;
    host.withheld = {"PluginRegisterMethod"};
    host.Load(LibraryPath());
    EXPECT_TRUE(host.methods.empty());
    EXPECT_EQ(host.resolverAsks["PluginRegisterMethod"], 7);
}

TEST(Registration, MissingRegisterModuleRegistersNothing) {
    RecordingHost host;
    host.version = 2013.04;
    host.withheld = {"PluginRegisterModule"};
    host.Load(LibraryPath());
    EXPECT_TRUE(host.methods.empty());
    EXPECT_TRUE(host.modules.empty());
}

TEST(Registration, VersionAndPluginVersionCallbacksAreNotCached) {
    RecordingHost host;
    host.Load(LibraryPath());
    host.CallMain();
    EXPECT_EQ(host.resolverAsks["REALGetRBVersion"], 2);
    EXPECT_EQ(host.resolverAsks["RegisterPluginVersion"], 2);
}

TEST(Registration, HostWithoutVersionKeepsTheStoredOne) {
    RecordingHost host;
    host.version = 2013.04;
    host.Load(LibraryPath());
    host.version = std::nullopt;
    host.CallMain();
    EXPECT_EQ(host.pluginVersions, (std::vector<int32_t>{13, 13}));
    EXPECT_EQ(host.modules.size(), 2u);
}

class CallbackCacheTest : public HostTest {};

TEST_F(CallbackCacheTest, FoundCallbackIsAskedForOnce) {
    Load();
    const std::string data(16, '\x10');
    for (int i = 0; i < 3; ++i) {
        PluginString s = host.NewString(data);
        Release(fn.fromString(2, 2, 8, s));
        host.Unlock(s);
    }
    EXPECT_EQ(host.resolverAsks["newPicture"], 1);
    EXPECT_EQ(host.resolverAsks["REALPictureClearCache"], 1);
}

TEST_F(CallbackCacheTest, MissingCallbackIsAskedForAgainAtNextUse) {
    host.withheld = {"newPicture"};
    Load();
    const std::string data(16, '\x10');
    PluginString s = host.NewString(data);
    EXPECT_EQ(fn.fromString(2, 2, 8, s), nullptr);
    EXPECT_EQ(fn.fromString(2, 2, 8, s), nullptr);
    EXPECT_EQ(host.resolverAsks["newPicture"], 2);
    host.withheld.clear();  // the host learns it late
    Release(fn.fromString(2, 2, 8, s));
    EXPECT_EQ(host.resolverAsks["newPicture"], 3);
    host.Unlock(s);
    EXPECT_EQ(host.LiveStrings(), 0);
}

}  // namespace
}  // namespace rechost
