#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ostream>
#include <string>

#include "platform/screen.h"
#include "platform/virtual.h"

namespace platform {
namespace {

uint32_t PixelOf(const PixelView& v, int x, int y) {
    const uint8_t* p = v.data + size_t(y) * v.stride + size_t(x) * 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

TEST(VirtualScreen, TwoByTwoDisplayReadsBackBgrxBytes) {
    VirtualScreen s;
    uint32_t id = s.AddDisplay({0, 0, 2, 2});
    ASSERT_NE(id, 0u);
    const uint32_t colours[4] = {0x00112233, 0x00445566, 0xff778899, 0x00aabbcc};
    ASSERT_TRUE(s.SetPixels(id, {0, 0, 2, 2}, colours));

    PixelView v;
    Rect covered;
    ASSERT_TRUE(s.Read(id, {0, 0, 2, 2}, &v, &covered));
    EXPECT_EQ(v.width, 2);
    EXPECT_EQ(v.height, 2);
    EXPECT_EQ(v.stride, 8u);
    EXPECT_EQ(covered.width, 2);
    // Bytes blue, green, red, fourth: the layout every reader relies on.
    EXPECT_EQ(v.data[0], 0x33);
    EXPECT_EQ(v.data[1], 0x22);
    EXPECT_EQ(v.data[2], 0x11);
    EXPECT_EQ(PixelOf(v, 1, 0), 0x00445566u);
    EXPECT_EQ(PixelOf(v, 0, 1), 0xff778899u);
    EXPECT_EQ(PixelOf(v, 1, 1), 0x00aabbccu);
}

TEST(VirtualScreen, DisplaysSideBySideKeepTheirOwnPixelsAndMainComesFirst) {
    VirtualScreen s;
    uint32_t left = s.AddDisplay({-4, 0, 4, 3});
    uint32_t right = s.AddDisplay({0, 0, 4, 3}, 1, 8, 3, /*isMain=*/true);
    ASSERT_NE(left, right);
    s.Fill(left, 0x00ff0000);
    s.Fill(right, 0x000000ff);
    s.SetPixel(right, 3, 2, 0x0000ff00);

    auto list = s.Displays();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, right);
    EXPECT_TRUE(list[0].isMain);
    EXPECT_FALSE(list[1].isMain);
    EXPECT_EQ(list[1].bounds.x, -4);

    PixelView v;
    ASSERT_TRUE(s.Read(left, {0, 0, 4, 3}, &v));
    EXPECT_EQ(PixelOf(v, 3, 2), 0x00ff0000u);
    ASSERT_TRUE(s.Read(right, {2, 1, 2, 2}, &v));
    EXPECT_EQ(PixelOf(v, 0, 0), 0x000000ffu);
    EXPECT_EQ(PixelOf(v, 1, 1), 0x0000ff00u);

    // Losing the main display hands the part to the next one.
    EXPECT_TRUE(s.RemoveDisplay(right));
    list = s.Displays();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].isMain);
}

TEST(VirtualScreen, TwoPixelsPerPointDisplayIsReadInPixels) {
    VirtualScreen s;
    uint32_t id = s.AddDisplay({0, 0, 3, 2}, 2);
    auto d = s.Displays().at(0);
    EXPECT_EQ(d.pixelsPerPoint, 2);
    EXPECT_EQ(d.PixelWidth(), 6);
    EXPECT_EQ(d.PixelHeight(), 4);
    s.SetPixel(id, 5, 3, 0x00010203);

    PixelView v;
    Rect covered;
    ASSERT_TRUE(s.Read(id, {0, 0, 6, 4}, &v, &covered));
    EXPECT_EQ(covered.width, 6);
    EXPECT_EQ(covered.height, 4);
    EXPECT_EQ(PixelOf(v, 5, 3), 0x00010203u);
}

TEST(VirtualScreen, KeepsTheDepthItWasGiven) {
    VirtualScreen s;
    s.AddDisplay({0, 0, 2, 2}, 1, 8, 3);
    s.AddDisplay({2, 0, 2, 2}, 1, 5, 3);
    auto list = s.Displays();
    EXPECT_EQ(list[0].bitsPerSample * list[0].samplesPerPixel, 24);
    EXPECT_EQ(list[1].bitsPerSample, 5);
}

TEST(VirtualScreen, RefusesDisplaysThatCannotExist) {
    VirtualScreen s;
    EXPECT_EQ(s.AddDisplay({0, 0, 0, 10}), 0u);
    EXPECT_EQ(s.AddDisplay({0, 0, -5, 10}), 0u);
    EXPECT_EQ(s.AddDisplay({0, 0, 10, 10}, 0), 0u);
    EXPECT_EQ(s.AddDisplay({0, 0, INT32_MAX, INT32_MAX}, 2), 0u);
    EXPECT_TRUE(s.Displays().empty());
}

struct ClipCase {
    const char* name;
    Rect request;
    bool ok;
    Rect covered;
};
void PrintTo(const ClipCase& c, std::ostream* os) {
    *os << c.name;
}

class VirtualScreenClip : public testing::TestWithParam<ClipCase> {};

TEST_P(VirtualScreenClip, ReadsOnlyTheCoveredPart) {
    VirtualScreen s;
    uint32_t id = s.AddDisplay({0, 0, 8, 6});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) s.SetPixel(id, x, y, uint32_t(y * 16 + x));

    const ClipCase& c = GetParam();
    PixelView v;
    Rect covered{1, 1, 1, 1};
    EXPECT_EQ(s.Read(id, c.request, &v, &covered), c.ok);
    EXPECT_EQ(covered.x, c.covered.x);
    EXPECT_EQ(covered.y, c.covered.y);
    EXPECT_EQ(covered.width, c.covered.width);
    EXPECT_EQ(covered.height, c.covered.height);
    EXPECT_EQ(v.width, c.covered.width);
    EXPECT_EQ(v.height, c.covered.height);
    if (c.ok) {
        EXPECT_EQ(PixelOf(v, 0, 0), uint32_t(c.covered.y * 16 + c.covered.x));
    } else {
        EXPECT_EQ(v.data, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rects, VirtualScreenClip,
    testing::Values(ClipCase{"inside", {2, 1, 3, 2}, true, {2, 1, 3, 2}},
                    ClipCase{"left_top_overhang", {-3, -2, 5, 4}, true, {0, 0, 2, 2}},
                    ClipCase{"right_bottom_overhang", {6, 4, 10, 10}, true, {6, 4, 2, 2}},
                    ClipCase{"empty", {2, 2, 0, 3}, false, {}},
                    ClipCase{"negative_size", {2, 2, -3, -3}, false, {}},
                    ClipCase{"wholly_off", {8, 0, 4, 4}, false, {}},
                    ClipCase{"huge", {0, 0, 32767, 32767}, true, {0, 0, 8, 6}},
                    ClipCase{"huge_from_far_left", {-32767, -32767, 32767, 32767}, false, {}},
                    ClipCase{"end_past_int_max", {INT32_MAX - 1, 0, INT32_MAX, 4}, false, {}},
                    ClipCase{
                        "from_int_min", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualScreen, UnknownDisplayAndFailingReadsGiveNothing) {
    VirtualScreen s;
    uint32_t id = s.AddDisplay({0, 0, 2, 2});
    PixelView v;
    EXPECT_FALSE(s.Read(id + 1, {0, 0, 2, 2}, &v));
    EXPECT_EQ(v.data, nullptr);
    s.SetReadsFail(true);
    EXPECT_FALSE(s.Read(id, {0, 0, 2, 2}, &v));
    s.SetReadsFail(false);
    EXPECT_TRUE(s.Read(id, {0, 0, 2, 2}, nullptr));
    EXPECT_EQ(s.ReadCount(), 3u);
    EXPECT_FALSE(s.SetPixel(id + 1, 0, 0, 1));
}

TEST(CurrentScreen, WithoutAnyDisplayStartsEmptyAndFallsBackToEmptyWhenCleared) {
    // No desktop to fall back on.
    unsetenv("DISPLAY");
    EXPECT_TRUE(CurrentScreen().Displays().empty());
    auto s = std::make_unique<VirtualScreen>();
    uint32_t id = s->AddDisplay({0, 0, 10, 10});
    SetCurrentScreen(std::move(s));
    DisplayInfo d;
    ASSERT_TRUE(FindDisplay(id, &d));
    EXPECT_EQ(d.bounds.width, 10);
    EXPECT_FALSE(FindDisplay(0, &d));
    EXPECT_FALSE(FindDisplay(id + 7, &d));
    SetCurrentScreen(nullptr);
    EXPECT_TRUE(CurrentScreen().Displays().empty());
    EXPECT_FALSE(FindDisplay(id, &d));
}

}  // namespace
}  // namespace platform
