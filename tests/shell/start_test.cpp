// The program's start up to its event loop, App's Open, and the release of the
// module globals afterwards.
#include "shell/app.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

using StateModule::ScreenScale;

TEST_F(ProgramTest, StartSequenceBindsEveryEntryAndBuildsOnlyTheApplicationMenuBar) {
    platform::SetCurrentScreen(std::make_unique<TestScreen>(1));
    StateModule::ResetForTesting();
    InitClasses();
    ASSERT_TRUE(StartSequence());

    ASSERT_EQ(PluginEntrypointsTable.size(), size_t(kPluginEntryCount));
    EXPECT_EQ(kPluginDeclarations[0], "_");
    EXPECT_EQ(PluginEntrypointsTable[0], nullptr);
    EXPECT_TRUE(UnboundPluginDeclarations().empty());

    fw::Ref<App> app = AppObject();
    EXPECT_EQ(app->MenuBar(), fw::Ref<fw::MenuBar>(MenuBar1::ImplicitInstance()));
    EXPECT_TRUE(MenuBarModule::MenuBar1Built());
    EXPECT_FALSE(MenuBarModule::MenuBar2Built());
    // Check marks come from the settings, which only the panel reads.
    for (auto item :
         {&DisplayWindowsOne, &DisplayWindowsTwo, &DisplayWindowsThree, &DisplayWindowsFour})
        EXPECT_FALSE(item()->Checked());
    // Nothing of the panel exists before the event loop runs App's Open.
    EXPECT_EQ(fw::RuntimeGetImplicitWindow("Window2.Window2"), nullptr);
}

TEST_F(ProgramTest, ApplicationMenuBarHasItsMenusInOrder) {
    platform::SetCurrentScreen(std::make_unique<TestScreen>(1));
    InitClasses();
    ASSERT_TRUE(StartSequence());
    fw::Ref<MenuBar1> bar = MenuBar1::ImplicitInstance();
    ASSERT_EQ(bar->Count(), 4);
    const char* texts[] = {"File", "&Edit", "Display Windows", "Ostrel 4 Help"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bar->Item(i)->Text(), fw::String(texts[i]));
    EXPECT_EQ(bar->Lookup("FilePrintHelp")->KeyboardShortcut(), fw::String("Cmd+P"));
    EXPECT_EQ(bar->Child("EditMenu")->Count(), 7);
    EXPECT_NE(fw::RuntimeCheckCast<fw::AppleMenuItem>(bar->Lookup("HelpAbout")), nullptr);
    // Separators get no shortcut at all; the empty last Edit item an empty one.
    EXPECT_TRUE(bar->Lookup("UntitledMenu0")->IsSeparator());
    EXPECT_EQ(bar->Lookup("UntitledMenu3")->Text(), fw::String(""));

    fw::Ref<MenuBar2> help = MenuBar2::ImplicitInstance();
    EXPECT_EQ(help, MenuBar2::ImplicitInstance());
    EXPECT_NE(fw::RuntimeCheckCast<fw::QuitMenuItem>(help->Lookup("FileQuit")), nullptr);
    EXPECT_EQ(help->Lookup("EditClear")->Text(), fw::String("&Delete"));
    EXPECT_EQ(help->Lookup("EditSelectAll")->KeyboardShortcut(), fw::String("Cmd+A"));
}

TEST_F(ProgramTest, DisplayWindowsCommandsAreBoundToTheApplication) {
    Start();
    for (const char* item :
         {"DisplayWindowsOne", "DisplayWindowsTwo", "DisplayWindowsThree", "DisplayWindowsFour"})
        EXPECT_TRUE(AppObject()->HandleMenuItem(item)) << item;
}

class ScreenScaleTest : public ProgramTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(ScreenScaleTest, OpenClearsFixedFlagsAndTakesTheMainScreensScale) {
    StateModule::w1Fixed = StateModule::w4Fixed = true;
    Start(GetParam());
    EXPECT_EQ(ScreenScale, GetParam());
    EXPECT_FALSE(StateModule::w1Fixed || StateModule::w2Fixed || StateModule::w3Fixed ||
                 StateModule::w4Fixed);
    EXPECT_NE(StateModule::MainScreen, nullptr);
    EXPECT_TRUE(Panel()->Visible());
    EXPECT_TRUE(StateModule::PanelOpened);
}

INSTANTIATE_TEST_SUITE_P(Scales, ScreenScaleTest, ::testing::Values(1, 2));

TEST_F(ProgramTest, ReleaseAfterTheLoopClearsEveryModuleGlobal) {
    Start();
    ASSERT_NE(HotKeyModule::hotKeys, nullptr);
    ASSERT_FALSE(hotKeys->registered.empty());
    FinalizeModules();
    EXPECT_EQ(HotKeyModule::hotKeyEvents, nullptr);
    EXPECT_EQ(HotKeyModule::hotKeys, nullptr);
    // The chords go with the object that holds them.
    EXPECT_TRUE(hotKeys->registered.empty());
    EXPECT_FALSE(MenuBarModule::MenuBar1Built());
    EXPECT_EQ(StateModule::MainScreen, nullptr);
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(*StateModule::Display(n).window, nullptr);
    EXPECT_TRUE(SettingsModule::Crosshairs.IsEmpty());
    EXPECT_EQ(SettingsModule::directives, nullptr);
    EXPECT_TRUE(SettingsModule::ShrinkWindow.IsEmpty());
}

TEST_F(ProgramTest, ReleaseOrderListenerThenChordsThenMenuBarsThenScreenThenWindows) {
    Start();
    std::vector<bool> seen;
    // What is already gone when the chords' object dies.
    hotKeys->onUnregister = [&seen] {
        seen = {HotKeyModule::hotKeyEvents == nullptr, HotKeyModule::hotKeys == nullptr,
                MenuBarModule::MenuBar1Built(),        StateModule::MainScreen != nullptr,
                StateModule::w1Window != nullptr,      !SettingsModule::Crosshairs.IsEmpty()};
    };
    FinalizeModules();
    EXPECT_EQ(seen, (std::vector<bool>{true, true, true, true, true, true}));
}

TEST_F(ProgramTest, ReleaseWorksWhenThePanelNeverOpened) {
    InitClasses();
    FinalizeModules();
    EXPECT_EQ(StateModule::w1Window, nullptr);
    EXPECT_EQ(HotKeyModule::hotKeys, nullptr);
}

TEST_F(ProgramTest, AnUnboundEntryIsRefusedInsteadOfCalled) {
    Start();
    PluginEntrypointsTable[kEntryScreenshotRect] = nullptr;
    EXPECT_THROW(ScreenshotRectZUV(0, 0, 10, 10), fw::NilObjectException);
    ASSERT_EQ(UnboundPluginDeclarations().size(), 1u);
    EXPECT_EQ(UnboundPluginDeclarations()[0], kPluginDeclarations[kEntryScreenshotRect]);
}

TEST_F(ProgramTest, FourCharacterCodeIsBigEndian) {
    Start();
    EXPECT_EQ(OSTypeFromStringZUV("ZUVG"), 0x5A555647);
    EXPECT_EQ(OSTypeFromStringZUV("ZUVG"), OSTypeFromStringZUV("ZUVG"));
}

}  // namespace
}  // namespace apptest
