// The X11 screen against a private Xvfb: monitors from RandR, pixels checked
// against what the test drew, through shared memory and through plain requests.
#include <gtest/gtest.h>
// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/Xlib.h>

#include <chrono>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "../support/host_xlib_handlers.h"
#include "../support/xvfb_server.h"
#include "platform/x11.h"

namespace platform::x11 {
namespace {

uint32_t PixelOf(const PixelView& v, int x, int y) {
    const uint8_t* p = v.data + size_t(y) * v.stride + size_t(x) * 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

// Draws straight onto the root window from a connection of the test's own.
class Painter {
  public:
    explicit Painter(const std::string& display) : d_(XOpenDisplay(display.c_str())) {
        if (d_) gc_ = XCreateGC(d_, DefaultRootWindow(d_), 0, nullptr);
    }
    ~Painter() {
        if (d_) {
            XFreeGC(d_, gc_);
            XCloseDisplay(d_);
        }
    }
    bool ok() const { return d_ != nullptr; }
    void Fill(int x, int y, int w, int h, unsigned long pixel) {
        XSetForeground(d_, gc_, pixel);
        XFillRectangle(d_, DefaultRootWindow(d_), gc_, x, y, unsigned(w), unsigned(h));
        XSync(d_, False);
    }

  private:
    Display* d_;
    GC gc_ = nullptr;
};

// The picture the tests draw on a 1280 × 800 root: a 16-pixel grid of colours
// that differ in every channel, so that a shifted or swapped read shows.
uint32_t Expected(int x, int y) {
    int cx = x / 16, cy = y / 16;
    return uint32_t((cx * 3) & 0xff) << 16 | uint32_t((cy * 5) & 0xff) << 8 |
           uint32_t((cx + cy) * 7 & 0xff);
}

class X11ScreenTest : public testing::TestWithParam<PixelPath> {
  protected:
    static void SetUpTestSuite() {
        server_ = new testsupport::XvfbServer("1280x800x24");
        ASSERT_TRUE(server_->ok());
        Painter p(server_->display());
        ASSERT_TRUE(p.ok());
        for (int y = 0; y < 800; y += 16)
            for (int x = 0; x < 1280; x += 16) p.Fill(x, y, 16, 16, Expected(x, y));
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_ && server_->ok());
        SetPixelsPerPoint(1);
        // Two monitors side by side; the right one is primary.
        server_->Run("xrandr --delmonitor left >/dev/null 2>&1");
        server_->Run("xrandr --delmonitor right >/dev/null 2>&1");
        ASSERT_EQ(
            server_->Run("xrandr --setmonitor '*right' 640/169x800/211+640+0 none >/dev/null"), 0);
        ASSERT_EQ(server_->Run("xrandr --setmonitor left 640/169x800/211+0+0 screen >/dev/null"),
                  0);
        screen_ = X11Screen::Open(server_->display().c_str(), GetParam());
        ASSERT_TRUE(screen_);
    }
    void TearDown() override { SetPixelsPerPoint(1); }

    static testsupport::XvfbServer* server_;
    std::unique_ptr<X11Screen> screen_;
};
testsupport::XvfbServer* X11ScreenTest::server_ = nullptr;

TEST_P(X11ScreenTest, ListsTheMonitorsWithTheMainOneFirstAndStableIds) {
    auto list = screen_->Displays();
    ASSERT_EQ(list.size(), 2u);
    // Points count from the main display's corner, so the left monitor lies at -640.
    EXPECT_TRUE(list[0].isMain);
    EXPECT_EQ(list[0].bounds.x, 0);
    EXPECT_EQ(list[0].bounds.width, 640);
    EXPECT_EQ(list[0].bounds.height, 800);
    EXPECT_FALSE(list[1].isMain);
    EXPECT_EQ(list[1].bounds.x, -640);
    EXPECT_EQ(list[0].bitsPerSample, 8);
    EXPECT_EQ(list[0].samplesPerPixel, 3);
    EXPECT_NE(list[0].id, 0u);
    EXPECT_NE(list[1].id, 0u);
    EXPECT_NE(list[0].id, list[1].id);

    auto again = screen_->Displays();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].id, list[0].id);
    EXPECT_EQ(again[1].id, list[1].id);
}

TEST_P(X11ScreenTest, ReadsEveryPixelOfEachMonitorAsDrawn) {
    EXPECT_EQ(screen_->UsesSharedMemory(), GetParam() == PixelPath::Automatic);
    for (const DisplayInfo& d : screen_->Displays()) {
        int originX = d.isMain ? 640 : 0;
        PixelView v;
        Rect covered;
        ASSERT_TRUE(screen_->Read(d.id, {0, 0, d.PixelWidth(), d.PixelHeight()}, &v, &covered));
        ASSERT_EQ(v.width, 640);
        ASSERT_EQ(v.height, 800);
        ASSERT_GE(v.stride, 640u * 4);
        int wrong = 0;
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x) wrong += PixelOf(v, x, y) != Expected(originX + x, y);
        EXPECT_EQ(wrong, 0) << "display at " << d.bounds.x;
    }
}

TEST_P(X11ScreenTest, ReadsAnInnerRectangleAndClipsTheRest) {
    uint32_t main = screen_->Displays().at(0).id;
    PixelView v;
    Rect covered;
    ASSERT_TRUE(screen_->Read(main, {37, 51, 200, 150}, &v, &covered));
    EXPECT_EQ(v.width, 200);
    EXPECT_EQ(v.height, 150);
    EXPECT_EQ(PixelOf(v, 0, 0), Expected(640 + 37, 51));
    EXPECT_EQ(PixelOf(v, 199, 149), Expected(640 + 236, 200));

    ASSERT_TRUE(screen_->Read(main, {600, 700, 100, 300}, &v, &covered));
    EXPECT_EQ(covered.x, 600);
    EXPECT_EQ(covered.width, 40);
    EXPECT_EQ(covered.height, 100);
    EXPECT_EQ(PixelOf(v, 39, 99), Expected(1279, 799));

    struct Case {
        Rect r;
        bool ok;
        Rect covered;
    };
    const Case cases[] = {
        {{0, 0, 0, 10}, false, {}},
        {{10, 10, -5, -5}, false, {}},
        {{640, 0, 10, 10}, false, {}},
        {{-20, -20, 10, 10}, false, {}},
        {{0, 0, 32767, 32767}, true, {0, 0, 640, 800}},
        {{-32767, -32767, 32767, 32768}, false, {}},
        {{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, false, {}},
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.r.x << "," << c.r.y << " " << c.r.width << "x" << c.r.height);
        EXPECT_EQ(screen_->Read(main, c.r, &v, &covered), c.ok);
        EXPECT_EQ(covered.width, c.covered.width);
        EXPECT_EQ(covered.height, c.covered.height);
        EXPECT_EQ(v.width, c.covered.width);
    }
    EXPECT_FALSE(screen_->Read(0, {0, 0, 10, 10}, &v));
    EXPECT_FALSE(screen_->Read(0xdeadbeef, {0, 0, 10, 10}, &v));
    EXPECT_EQ(v.data, nullptr);
}

TEST_P(X11ScreenTest, KeepsOneSharedSegmentWhileTheSizeDoesNotGrow) {
    uint32_t main = screen_->Displays().at(0).id;
    PixelView v;
    if (GetParam() == PixelPath::PlainRequest) {
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(screen_->Read(main, {i, i, 200, 150}, &v));
        EXPECT_EQ(screen_->SegmentsCreated(), 0u);
        return;
    }
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(screen_->Read(main, {i, i, 200, 150}, &v));
    EXPECT_EQ(screen_->SegmentsCreated(), 1u);
    ASSERT_TRUE(screen_->Read(main, {0, 0, 640, 800}, &v));
    EXPECT_EQ(screen_->SegmentsCreated(), 2u);
    ASSERT_TRUE(screen_->Read(main, {5, 5, 200, 150}, &v));
    ASSERT_TRUE(screen_->Read(main, {0, 0, 640, 800}, &v));
    EXPECT_EQ(screen_->SegmentsCreated(), 2u);
    EXPECT_EQ(PixelOf(v, 100, 100), Expected(740, 100));
}

// The whole-display reads at start leave a large segment behind; reads far
// smaller than it do not keep it alive, and neither does no read at all.
TEST_P(X11ScreenTest, LetsGoOfSegmentsThatNoReadHasNeededForAFewSeconds) {
    if (GetParam() == PixelPath::PlainRequest) return;
    auto t = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    screen_->SetClock([&t] { return t; });
    const uint32_t main = screen_->Displays().at(0).id;
    const size_t whole = size_t(640) * 800 * 4;
    const size_t small = size_t(150) * 150 * 4;
    PixelView v;
    ASSERT_TRUE(screen_->Read(main, {0, 0, 640, 800}, &v));
    v = PixelView{};
    EXPECT_EQ(screen_->SegmentBytes(), whole);

    // Borrowed by small reads for a while: still right, then let go of.
    for (int i = 0; i < 4; ++i) {
        t += std::chrono::seconds(1);
        ASSERT_TRUE(screen_->Read(main, {10, 10, 150, 150}, &v));
        EXPECT_EQ(PixelOf(v, 0, 0), Expected(650, 10));
        v = PixelView{};
    }
    EXPECT_EQ(screen_->SegmentBytes(), small);

    // Reads that fill their segment keep it; none at all for a while lets it go.
    t += std::chrono::seconds(2);
    screen_->ReleaseUnused();
    EXPECT_EQ(screen_->SegmentBytes(), small);
    t += std::chrono::seconds(2);
    screen_->ReleaseUnused();
    EXPECT_EQ(screen_->SegmentBytes(), 0u);

    // A held read is never let go of under its holder.
    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 32}, &v));
    t += std::chrono::seconds(10);
    screen_->ReleaseUnused();
    EXPECT_EQ(PixelOf(v, 0, 0), Expected(640, 0));
    EXPECT_EQ(screen_->SegmentBytes(), size_t(64) * 32 * 4);
}

// A reader that keeps a read's memory gets it unchanged however often the
// screen reads meanwhile; once let go, the memory serves reads again.
TEST_P(X11ScreenTest, HeldReadsStayAsTheyWereUntilLetGo) {
    uint32_t main = screen_->Displays().at(0).id;
    PixelView held;
    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 32}, &held));
    if (GetParam() == PixelPath::PlainRequest) {
        EXPECT_EQ(held.keep, nullptr);  // plain reads are only good until the next
        return;
    }
    ASSERT_NE(held.keep, nullptr);
    const PixelView first = held;
    held = PixelView{};
    // More reads than the screen keeps segments: once all are held, the rest
    // are plain requests, still right but not for keeping. Each lies a pixel
    // beyond the one before, so that none is served from it.
    std::vector<PixelView> more;
    while (more.size() < 64 && (more.empty() || more.back().keep)) {
        const int shift = int(more.size());
        more.emplace_back();
        ASSERT_TRUE(screen_->Read(main, {32 + shift, 16, 64, 32}, &more.back()));
        EXPECT_EQ(PixelOf(more.back(), 0, 0), Expected(672 + shift, 16));
        EXPECT_NE(more.back().data, first.data);
    }
    EXPECT_NE(more.front().keep, nullptr);
    EXPECT_GT(more.size(), 2u);
    EXPECT_EQ(more.back().keep, nullptr);
    for (int y = 0; y < 32; y += 8)
        for (int x = 0; x < 64; x += 8) EXPECT_EQ(PixelOf(first, x, y), Expected(640 + x, y));
    const uint64_t created = screen_->SegmentsCreated();
    more.clear();
    PixelView again;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 32}, &again));
    EXPECT_NE(again.keep, nullptr);
    EXPECT_EQ(screen_->SegmentsCreated(), created);
}

// While reads are shared, one inside the last reading is that reading, even
// when the screen has changed since; a read outside it, or one after sharing
// ends, sees the screen as it is.
TEST_P(X11ScreenTest, SharedReadsInsideTheLastAreServedFromIt) {
    const uint32_t main = screen_->Displays().at(0).id;
    const bool shm = GetParam() == PixelPath::Automatic;
    Painter painter(server_->display());
    ASSERT_TRUE(painter.ok());
    auto repaint = [&] {
        for (int y = 0; y < 64; y += 16)
            for (int x = 640; x < 640 + 96; x += 16) painter.Fill(x, y, 16, 16, Expected(x, y));
    };
    screen_->ShareReads(true);
    PixelView outer, inner, apart;
    Rect covered;
    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 64}, &outer));
    painter.Fill(640, 0, 96, 64, 0x123456);
    ASSERT_TRUE(screen_->Read(main, {16, 32, 32, 16}, &inner, &covered));
    EXPECT_EQ(covered.x, 16);
    EXPECT_EQ(covered.y, 32);
    EXPECT_EQ(inner.width, 32);
    EXPECT_EQ(inner.height, 16);
    // Plain requests leave nothing to share: every read is live.
    EXPECT_EQ(PixelOf(inner, 0, 0), shm ? Expected(656, 32) : 0x123456u);
    EXPECT_EQ(PixelOf(inner, 31, 15), shm ? Expected(687, 47) : 0x123456u);
    // A view served from the last reading says so; a fresh one names its own.
    EXPECT_NE(outer.reading, 0u);
    EXPECT_EQ(inner.reading == outer.reading, shm);
    // Reaching out of the last reading reads afresh, and becomes the last.
    ASSERT_TRUE(screen_->Read(main, {48, 0, 32, 32}, &apart));
    EXPECT_EQ(PixelOf(apart, 0, 0), 0x123456u);
    EXPECT_NE(apart.reading, outer.reading);
    EXPECT_NE(apart.reading, inner.reading);
    screen_->ShareReads(false);
    ASSERT_TRUE(screen_->Read(main, {48, 0, 16, 16}, &inner));
    repaint();
    PixelView live;
    ASSERT_TRUE(screen_->Read(main, {48, 0, 16, 16}, &live));
    EXPECT_EQ(PixelOf(live, 0, 0), Expected(688, 0));
    // Held views are untouched by the reads after them (a plain request's
    // view is only good until the next read).
    if (shm) {
        EXPECT_EQ(PixelOf(outer, 63, 63), Expected(703, 63));
        EXPECT_EQ(PixelOf(inner, 0, 0), 0x123456u);
    }
}

// While the server reports no change of the screen, a read inside the last
// reading is that reading, in any moment, without asking the server; one
// that fills too little of it, or any read after a change, reads afresh.
TEST_P(X11ScreenTest, ReadsOfAStillScreenAreServedFromTheLastReading) {
    const uint32_t main = screen_->Displays().at(0).id;
    const bool shm = GetParam() == PixelPath::Automatic;
    Painter painter(server_->display());
    ASSERT_TRUE(painter.ok());
    PixelView first, again, inside, small, changed;
    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 64}, &first));
    screen_->ShareReads(true);
    screen_->ShareReads(false);
    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 64}, &again));
    ASSERT_TRUE(screen_->Read(main, {8, 8, 48, 48}, &inside));
    // Plain requests leave nothing to serve from: every read asks.
    EXPECT_EQ(again.reading == first.reading, shm);
    EXPECT_EQ(inside.reading == first.reading, shm);
    EXPECT_EQ(PixelOf(inside, 0, 0), Expected(648, 8));
    ASSERT_TRUE(screen_->Read(main, {0, 0, 8, 8}, &small));
    EXPECT_NE(small.reading, first.reading);
    EXPECT_EQ(PixelOf(small, 0, 0), Expected(640, 0));

    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 64}, &again));
    painter.Fill(656, 16, 16, 16, 0x123456);
    ASSERT_TRUE(screen_->Read(main, {0, 0, 64, 64}, &changed));
    EXPECT_NE(changed.reading, again.reading);
    EXPECT_EQ(PixelOf(changed, 16, 16), 0x123456u);
    EXPECT_EQ(PixelOf(changed, 0, 0), Expected(640, 0));
}

// A held read outlives its screen: the memory stays the holder's.
TEST_P(X11ScreenTest, HeldReadOutlivesTheScreen) {
    uint32_t main = screen_->Displays().at(0).id;
    PixelView held;
    ASSERT_TRUE(screen_->Read(main, {16, 16, 32, 32}, &held));
    if (!held.keep) return;
    screen_.reset();
    EXPECT_EQ(PixelOf(held, 0, 0), Expected(656, 16));
}

TEST_P(X11ScreenTest, TwoPixelsPerPointHalvesTheBoundsButNotTheReads) {
    SetPixelsPerPoint(2);
    auto list = screen_->Displays();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].pixelsPerPoint, 2);
    EXPECT_EQ(list[0].bounds.width, 320);
    EXPECT_EQ(list[0].bounds.height, 400);
    EXPECT_EQ(list[1].bounds.x, -320);
    EXPECT_EQ(list[0].PixelWidth(), 640);
    PixelView v;
    ASSERT_TRUE(screen_->Read(list[0].id, {0, 0, 640, 800}, &v));
    EXPECT_EQ(v.width, 640);
    EXPECT_EQ(PixelOf(v, 639, 799), Expected(1279, 799));
}

// The list is kept between calls, so a change made by another client after
// the first call must still show in the next one.
TEST_P(X11ScreenTest, ListsMonitorsChangedSinceTheLastCall) {
    ASSERT_EQ(screen_->Displays().size(), 2u);
    const uint32_t right = screen_->Displays().at(0).id;
    PixelView v;
    ASSERT_TRUE(screen_->Read(right, {0, 0, 10, 10}, &v));

    ASSERT_EQ(server_->Run("xrandr --setmonitor extra 320/85x400/106+0+400 none >/dev/null"), 0);
    auto list = screen_->Displays();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, right);
    EXPECT_EQ(list[2].bounds.x, -640);
    EXPECT_EQ(list[2].bounds.y, 400);
    EXPECT_EQ(list[2].bounds.width, 320);

    ASSERT_EQ(server_->Run("xrandr --delmonitor extra >/dev/null"), 0);
    list = screen_->Displays();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, right);

    SetPixelsPerPoint(2);
    list = screen_->Displays();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].bounds.width, 320);
    EXPECT_EQ(list[1].bounds.x, -320);
}

// While reads are shared the captures show one instant, the list included; a
// change made meanwhile shows from the next look after sharing ends or
// starts again.
TEST_P(X11ScreenTest, ListsWhatChangedDuringSharedReadsFromTheNextMoment) {
    for (bool again : {false, true}) {
        screen_->ShareReads(true);
        ASSERT_EQ(screen_->Displays().size(), 2u);
        ASSERT_EQ(server_->Run("xrandr --setmonitor extra 320/85x400/106+0+400 none >/dev/null"),
                  0);
        EXPECT_EQ(screen_->Displays().size(), 2u) << again;
        screen_->ShareReads(again);
        EXPECT_EQ(screen_->Displays().size(), 3u) << again;
        screen_->ShareReads(false);
        ASSERT_EQ(server_->Run("xrandr --delmonitor extra >/dev/null"), 0);
        EXPECT_EQ(screen_->Displays().size(), 2u) << again;
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, X11ScreenTest,
                         testing::Values(PixelPath::Automatic, PixelPath::PlainRequest),
                         [](const auto& info) {
                             return info.param == PixelPath::Automatic ? "SharedMemory"
                                                                       : "PlainRequest";
                         });

TEST(X11ScreenDepth16, ConvertsFiveSixFivePixelsToBgrx) {
    testsupport::XvfbServer server("320x240x16");
    ASSERT_TRUE(server.ok());
    Painter p(server.display());
    ASSERT_TRUE(p.ok());
    p.Fill(0, 0, 320, 240, 0xffff);
    p.Fill(10, 10, 20, 20, 0xf800);  // red
    p.Fill(40, 10, 20, 20, 0x07e0);  // green
    p.Fill(70, 10, 20, 20, 0x001f);  // blue
    for (PixelPath path : {PixelPath::Automatic, PixelPath::PlainRequest}) {
        auto screen = X11Screen::Open(server.display().c_str(), path);
        ASSERT_TRUE(screen);
        auto list = screen->Displays();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].bitsPerSample, 5);
        PixelView v;
        ASSERT_TRUE(screen->Read(list[0].id, {0, 0, 100, 40}, &v));
        EXPECT_EQ(PixelOf(v, 0, 0), 0xffffffu);
        EXPECT_EQ(PixelOf(v, 15, 15), 0xff0000u);
        EXPECT_EQ(PixelOf(v, 45, 15), 0x00ff00u);
        EXPECT_EQ(PixelOf(v, 75, 15), 0x0000ffu);
    }
}

TEST(X11ScreenLost, ReadsFailCleanlyOnceTheServerIsGone) {
    auto server = std::make_unique<testsupport::XvfbServer>("320x240x24");
    ASSERT_TRUE(server->ok());
    auto screen = X11Screen::Open(server->display().c_str());
    auto plain = X11Screen::Open(server->display().c_str(), PixelPath::PlainRequest);
    ASSERT_TRUE(screen && plain);
    uint32_t id = screen->Displays().at(0).id;
    uint32_t plainId = plain->Displays().at(0).id;
    PixelView v;
    ASSERT_TRUE(screen->Read(id, {0, 0, 10, 10}, &v));

    server.reset();
    Rect covered{1, 1, 1, 1};
    EXPECT_FALSE(screen->Read(id, {0, 0, 10, 10}, &v, &covered));
    EXPECT_EQ(v.data, nullptr);
    EXPECT_EQ(covered.width, 0);
    EXPECT_FALSE(plain->Read(plainId, {0, 0, 10, 10}, &v));
    EXPECT_TRUE(screen->ConnectionLost());
    EXPECT_TRUE(plain->ConnectionLost());
    EXPECT_TRUE(screen->Displays().empty());
    EXPECT_FALSE(screen->Read(id, {0, 0, 10, 10}, &v));
}

TEST(X11ScreenHandlers, LeavesTheProcessHandlersAloneAndItsLossToItself) {
    auto server = std::make_unique<testsupport::XvfbServer>("320x240x24");
    ASSERT_TRUE(server->ok());
    using Host = testsupport::HostXlibHandlers;
    Host::Install();
    Display* own = XOpenDisplay(server->display().c_str());
    ASSERT_NE(own, nullptr);

    auto screen = X11Screen::Open(server->display().c_str());
    ASSERT_TRUE(screen);
    EXPECT_TRUE(Host::Installed());
    const uint32_t id = screen->Displays().at(0).id;
    PixelView v;
    ASSERT_TRUE(screen->Read(id, {0, 0, 10, 10}, &v));
    EXPECT_TRUE(Host::Installed());
    // The program's own mistakes still reach its own handler.
    XMapWindow(own, 0x7fffffff);
    XSync(own, False);
    EXPECT_EQ(Host::errors, 1);
    XCloseDisplay(own);

    server.reset();
    EXPECT_FALSE(screen->Read(id, {0, 0, 10, 10}, &v));
    EXPECT_TRUE(screen->ConnectionLost());
    screen.reset();
    EXPECT_EQ(Host::ioErrors, 0);
    EXPECT_TRUE(Host::Installed());
    Host::Remove();
}

TEST(X11Screen, OpeningANonexistentDisplayGivesNothing) {
    EXPECT_EQ(X11Screen::Open(":65000"), nullptr);
    EXPECT_FALSE(UseX11(":65000"));
}

}  // namespace
}  // namespace platform::x11
