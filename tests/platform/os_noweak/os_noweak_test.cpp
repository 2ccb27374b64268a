// Linked with the library variant that stands for an older system: the three
// weakly linked functions are missing, everything else is there.
#include <gtest/gtest.h>

#include <memory>

#include "platform/os/cg.h"
#include "platform/virtual.h"

namespace cg = platform::cg;

namespace {

TEST(NoWeak, DisplayImageFunctionsAreMissing) {
    EXPECT_EQ(&cg::CGDisplayCreateImage, nullptr);
    EXPECT_EQ(&cg::CGDisplayCreateImageForRect, nullptr);
    EXPECT_EQ(&cg::CGPathCreateCopyByTransformingPath, nullptr);
}

TEST(NoWeak, TheRestOfCoreGraphicsWorks) {
    auto screen = std::make_unique<platform::VirtualScreen>();
    const uint32_t id = screen->AddDisplay({0, 0, 4, 3});
    platform::SetCurrentScreen(std::move(screen));
    EXPECT_EQ(cg::CGMainDisplayID(), id);
    EXPECT_EQ(cg::CGDisplayBounds(id).size.width, 4);
    cg::CGColorSpaceRef rgb = cg::CGColorSpaceCreateDeviceRGB();
    cg::CGContextRef ctx = cg::CGBitmapContextCreate(nullptr, 2, 2, 8, 0, rgb, 6);
    EXPECT_NE(ctx, nullptr);
    cg::CGContextRelease(ctx);
    cg::CGColorSpaceRelease(rgb);
}

}  // namespace
