#include <gtest/gtest.h>
#include <poll.h>

#include <vector>

#include "platform/hotkeys.h"
#include "platform/input.h"
#include "platform/virtual.h"

namespace platform {
namespace {

constexpr uint32_t kSig = 0x5a555647;
constexpr uint32_t kCmdOpt = carbon::kCommand | carbon::kOption;
constexpr uint32_t kCmdCtl = carbon::kCommand | carbon::kControl;

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

struct Recorder {
    std::vector<std::pair<uint32_t, uint32_t>> got;
    HotKeys::Callback Callback() {
        return [this](uint32_t s, uint32_t id) { got.emplace_back(s, id); };
    }
};

TEST(SimulatedInput, ReportsWhatTheTestSet) {
    SimulatedInput in;
    EXPECT_EQ(in.MousePosition().x, 0);
    in.SetMousePosition({-20, 300});
    in.SetModifiers({.control = true, .shift = false, .option = true, .command = false});
    EXPECT_EQ(in.MousePosition().x, -20);
    EXPECT_EQ(in.MousePosition().y, 300);
    Modifiers m = in.ModifierState();
    EXPECT_TRUE(m.control);
    EXPECT_FALSE(m.shift);
    EXPECT_TRUE(m.option);
}

TEST(SimulatedHotKeys, PressOfARegisteredChordWakesTheDescriptorAndIsDeliveredOnce) {
    SimulatedHotKeys hk;
    Recorder r;
    hk.SetCallback(r.Callback());
    ASSERT_EQ(hk.Register(0, kCmdOpt, kSig, 0), 0);
    ASSERT_EQ(hk.Register(0, kCmdCtl, kSig, 10), 0);
    ASSERT_GE(hk.FileDescriptor(), 0);
    EXPECT_FALSE(Readable(hk.FileDescriptor()));

    EXPECT_TRUE(hk.Press(0, kCmdCtl));
    EXPECT_TRUE(hk.Press(0, kCmdOpt));
    EXPECT_FALSE(hk.Press(8, kCmdOpt));  // never registered
    EXPECT_TRUE(r.got.empty());          // nothing before the loop dispatches
    EXPECT_TRUE(Readable(hk.FileDescriptor()));

    hk.Dispatch();
    ASSERT_EQ(r.got.size(), 2u);
    EXPECT_EQ(r.got[0], std::make_pair(kSig, 10u));
    EXPECT_EQ(r.got[1], std::make_pair(kSig, 0u));
    EXPECT_FALSE(Readable(hk.FileDescriptor()));
    hk.Dispatch();
    EXPECT_EQ(r.got.size(), 2u);
    EXPECT_EQ(hk.LastError(), 0);
}

TEST(SimulatedHotKeys, FailuresAreKeptAsLastErrorAndTheChordNeverFires) {
    SimulatedHotKeys hk;
    Recorder r;
    hk.SetCallback(r.Callback());
    hk.FailChord(2, kCmdOpt, -9878);
    EXPECT_EQ(hk.Register(0, kCmdOpt, kSig, 0), 0);
    EXPECT_EQ(hk.Register(2, kCmdOpt, kSig, 2), -9878);
    EXPECT_EQ(hk.Register(3, kCmdOpt, kSig, 3), 0);
    EXPECT_EQ(hk.LastError(), -9878);                // a later success does not clear it
    EXPECT_NE(hk.Register(0, kCmdOpt, kSig, 0), 0);  // already in force
    hk.FailRegistrations(-1);
    EXPECT_EQ(hk.Register(5, kCmdOpt, kSig, 4), -1);
    EXPECT_EQ(hk.LastError(), -1);

    ASSERT_EQ(hk.Registered().size(), 2u);
    EXPECT_FALSE(hk.Press(2, kCmdOpt));
    hk.UnregisterAll();
    EXPECT_FALSE(hk.Press(0, kCmdOpt));
    hk.Dispatch();
    EXPECT_TRUE(r.got.empty());
}

TEST(SimulatedHotKeys, PressFromInsideTheCallbackWaitsForTheNextDispatch) {
    SimulatedHotKeys hk;
    std::vector<uint32_t> ids;
    hk.Register(0, kCmdOpt, kSig, 0);
    hk.Register(8, kCmdOpt, kSig, 1);
    hk.SetCallback([&](uint32_t, uint32_t id) {
        ids.push_back(id);
        if (id == 0) hk.Press(8, kCmdOpt);
    });
    hk.Press(0, kCmdOpt);
    hk.Dispatch();
    EXPECT_EQ(ids, std::vector<uint32_t>{0});
    EXPECT_TRUE(Readable(hk.FileDescriptor()));
    hk.Dispatch();
    EXPECT_EQ(ids, (std::vector<uint32_t>{0, 1}));
}

TEST(CurrentInputAndHotKeys, DefaultToSimulatedObjects) {
    EXPECT_EQ(CurrentInput().MousePosition().x, 0);
    EXPECT_EQ(CurrentHotKeys().LastError(), 0);
    auto in = std::make_unique<SimulatedInput>();
    in->SetMousePosition({5, 6});
    SetCurrentInput(std::move(in));
    EXPECT_EQ(CurrentInput().MousePosition().y, 6);
    SetCurrentInput(nullptr);
    EXPECT_EQ(CurrentInput().MousePosition().y, 0);
    SetCurrentHotKeys(nullptr);
    EXPECT_GE(CurrentHotKeys().FileDescriptor(), 0);
}

}  // namespace
}  // namespace platform
