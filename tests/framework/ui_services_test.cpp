// Message box and URL recorders, the mouse and the keyboard object, and the
// application object's own services.
#include <gtest/gtest.h>

#include <cstdio>

#include "fw/runtime/exceptions.h"
#include "fw/runtime/loop.h"
#include "fw/system/input.h"
#include "fw/system/keyboard.h"
#include "fw/testing/headless.h"
#include "fw/ui/application.h"
#include "fw/ui/dialogs.h"

namespace {

class ServicesTest : public ::testing::Test {
  protected:
    fw::testing::Headless headless;
};

TEST_F(ServicesTest, MessageBoxesAndUrlsAreRecordedInOrder) {
    fw::MsgBox("Hot key registration failed");
    fw::MsgBox("second");
    fw::ShowURL("mailto:someone@example.org");
    EXPECT_EQ(headless.MessageBoxTexts(),
              (std::vector<std::string>{"Hot key registration failed", "second"}));
    EXPECT_EQ(headless.OpenedURLs(), (std::vector<std::string>{"mailto:someone@example.org"}));
    headless.ClearRecords();
    EXPECT_TRUE(headless.MessageBoxTexts().empty());
}

TEST_F(ServicesTest, MouseAndModifiersAreReadLiveAtEachCall) {
    headless.SetMouse(-20, 840);
    EXPECT_EQ(fw::System::MouseX(), -20);
    EXPECT_EQ(fw::System::MouseY(), 840);
    struct Case {
        bool control, shift, option, command;
    };
    for (Case c : {Case{true, true, false, false}, Case{false, true, true, false},
                   Case{true, false, false, true}, Case{false, false, false, false}}) {
        headless.SetModifiers(c.control, c.shift, c.option, c.command);
        auto k = fw::getKeyboardObject();
        EXPECT_EQ(k->AsyncControlKey(), c.control);
        EXPECT_EQ(k->AsyncShiftKey(), c.shift);
        EXPECT_EQ(k->AsyncAltKey(), c.option);
        EXPECT_EQ(k->AsyncCommandKey(), c.command);
    }
    // An object fetched earlier reads the state of now, not of its fetching.
    auto k = fw::getKeyboardObject();
    headless.SetModifiers(true, false, false);
    EXPECT_TRUE(k->AsyncControlKey());
}

TEST_F(ServicesTest, AHandlerSeesOneReadingOfTheMouseAndKeysUntilItYields) {
    headless.SetMouse(5, 6);
    headless.SetModifiers(true, false, false);
    const uint64_t reads = headless.Input().ReadCount();
    std::vector<int32_t> xs;
    bool control = false;
    fw::RuntimeDispatch([&] {
        xs.push_back(fw::System::MouseX());
        headless.SetMouse(7, 8);
        headless.SetModifiers(false, false, false);
        // What it raises in turn belongs to the same moment.
        fw::RuntimeDispatch([&] { xs.push_back(fw::System::MouseX()); });
        control = fw::getKeyboardObject()->AsyncControlKey();
        EXPECT_EQ(fw::System::MouseY(), 6);
        // Events handled while it yields are later than it; so is what it reads after.
        fw::RuntimeBackgroundTask();
        xs.push_back(fw::System::MouseX());
    });
    EXPECT_EQ(xs, (std::vector<int32_t>{5, 5, 7}));
    EXPECT_TRUE(control);
    EXPECT_EQ(headless.Input().ReadCount(), reads + 2);
    EXPECT_EQ(fw::System::MouseY(), 8);  // outside any handler: live
}

TEST_F(ServicesTest, ApplicationObjectAndVersion) {
    EXPECT_TRUE(fw::getAppObject().IsNil());
    auto app = fw::New<fw::Application>();
    fw::RuntimeRegisterAppObject(app);
    EXPECT_EQ(fw::getAppObject(), app);
    EXPECT_FALSE(app->LongVersion().IsEmpty());
    EXPECT_NE(app->LongVersion().Bytes().find('.'), std::string::npos);
    bool called = false;
    fw::RunFrameworkInitialization(nullptr);
    static bool* flag = &called;
    fw::RunFrameworkInitialization([] { *flag = true; });
    EXPECT_TRUE(called);
}

TEST_F(ServicesTest, UnhandledExceptionIsReportedWithItsClassAndMessage) {
    ::testing::internal::CaptureStderr();
    fw::RuntimeUnhandledException(fw::IllegalCastException("not a Timer"));
    fw::RuntimeDispatch([] { throw fw::OutOfBoundsException("index 5"); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("IllegalCastException: not a Timer\n"), std::string::npos) << err;
    EXPECT_NE(err.find("OutOfBoundsException: index 5\n"), std::string::npos) << err;
}

}  // namespace

namespace {

TEST_F(ServicesTest, HotKeyPressesArriveOnTheEventLoop) {
    std::vector<uint32_t> ids;
    auto& keys = headless.HotKeys();
    keys.SetCallback([&](uint32_t, uint32_t id) { ids.push_back(id); });
    ASSERT_EQ(keys.Register(0, platform::carbon::kCommand | platform::carbon::kOption, 1, 11), 0);
    ASSERT_EQ(keys.Register(8, platform::carbon::kCommand | platform::carbon::kOption, 1, 12), 0);
    keys.Press(8, platform::carbon::kCommand | platform::carbon::kOption);
    keys.Press(0, platform::carbon::kCommand | platform::carbon::kOption);
    EXPECT_TRUE(ids.empty());  // nothing before the loop runs
    headless.ProcessEvents();
    EXPECT_EQ(ids, (std::vector<uint32_t>{12, 11}));
}

TEST_F(ServicesTest, TheVirtualScreenIsInstalled) {
    auto displays = platform::CurrentScreen().Displays();
    ASSERT_EQ(displays.size(), 1u);
    EXPECT_TRUE(displays[0].isMain);
    EXPECT_EQ(displays[0].bounds.width, 1440);
}

}  // namespace
