// A fresh copy of the library, loaded into a recording host per test.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "recording_host.h"

namespace rechost {

inline const char* LibraryPath() {
    return ZUVSHOT_PATH;
}

inline const std::string kModule = "ScreenshotZUVGlobalsZUV.";
inline const std::string kDisplayDecl = "ScreenshotDisplayZUV(index as integer) as picture";
inline const std::string kScreenshotDecl = "ScreenshotZUV as picture";
inline const std::string kRectDecl =
    "ScreenshotRectZUV(left as integer, top as integer, width as integer, height as integer) "
    "as picture";
inline const std::string kRectDestDecl =
    "ScreenshotRectZUV(left as integer, top as integer, width as integer, height as integer, "
    "destwidth as integer, destheight as integer) as picture";
inline const std::string kStringDisplayDecl =
    "ScreenshotStringDisplayZUV(byref Width as integer, byref Height as integer, byref RowBytes "
    "as integer, index as integer) as string";
inline const std::string kStringDecl =
    "ScreenshotStringZUV(byref Width as integer, byref Height as integer, byref RowBytes as "
    "integer) as string";
inline const std::string kFromStringDecl =
    "ScreenshotFromStringZUV(Width as integer, Height as integer, RowBytes as integer, data as "
    "string) as picture";

// The seven functions of a host from 2013.0 on (module members).
struct Functions {
    ScreenshotDisplayFn display = nullptr;
    ScreenshotFn screenshot = nullptr;
    ScreenshotRectFn rect = nullptr;
    ScreenshotRectDestFn rectDest = nullptr;
    ScreenshotStringDisplayFn stringDisplay = nullptr;
    ScreenshotStringFn string = nullptr;
    ScreenshotFromStringFn fromString = nullptr;
};

inline Functions FunctionsOf(const RecordingHost& host) {
    auto name = [&](const std::string& decl) {
        return host.Function(kModule + decl) ? kModule + decl : decl;
    };
    Functions f;
    f.display = host.Get<ScreenshotDisplayFn>(name(kDisplayDecl));
    f.screenshot = host.Get<ScreenshotFn>(name(kScreenshotDecl));
    f.rect = host.Get<ScreenshotRectFn>(name(kRectDecl));
    f.rectDest = host.Get<ScreenshotRectDestFn>(name(kRectDestDecl));
    f.stringDisplay = host.Get<ScreenshotStringDisplayFn>(name(kStringDisplayDecl));
    f.string = host.Get<ScreenshotStringFn>(name(kStringDecl));
    f.fromString = host.Get<ScreenshotFromStringFn>(name(kFromStringDecl));
    return f;
}

class HostTest : public ::testing::Test {
  protected:
    // Configure `host` first, then call Load.
    void Load() {
        host.Load(LibraryPath());
        fn = FunctionsOf(host);
        ASSERT_NE(fn.rect, nullptr);
        startPictures = host.LivePictures();
        startObjects = host.LiveObjects();
    }
    // The caller's side of a returned picture: check it holds exactly one
    // reference and no lock, then drop it.
    void Release(PluginPicture picture) {
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(host.Refs(picture), 1);
        EXPECT_EQ(host.Locks(picture), 0);
        host.Unlock(picture);
    }
    void TearDown() override {
        if (fn.rect != nullptr) {
            EXPECT_EQ(host.LivePictures(), startPictures) << "picture leaked";
        }
    }

    RecordingHost host;
    Functions fn;
    int startPictures = 0;
    int startObjects = 0;
};

}  // namespace rechost
