// Menus: items by name, check marks and shortcuts in the native bar, which
// bar a window shows, and the order in which handlers are asked.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include "fw/testing/headless.h"
#include "fw/ui/application.h"
#include "fw/ui/menu.h"
#include "ui/peers.h"
#include "ui_test_windows.h"

namespace {

template <class T = fw::MenuItem>
fw::Ref<T> Item(const char* name, const char* text, const char* shortcut = "") {
    auto item = fw::New<T>();
    item->Constructor();
    fw::RuntimeMassPropertySetter(*item, {{"Name", name},
                                          {"AutoEnable", true},
                                          {"Text", text},
                                          {"Visible", true},
                                          {"KeyboardShortcut", shortcut}});
    return item;
}

// A bar like the application's: File (Print Help), Display Windows (One, Two).
fw::Ref<fw::MenuBar> MakeBar() {
    auto bar = fw::New<fw::MenuBar>();
    bar->Append(Item("File", "File"));
    bar->Child("File")->Append(Item("FilePrintHelp", "Print Help", "Cmd+P"));
    bar->Append(Item("DisplayWindowsMenu", "Display Windows"));
    bar->Child("DisplayWindowsMenu")->Append(Item("DisplayWindowsOne", "One"));
    bar->Child("DisplayWindowsMenu")->Append(Item("UntitledMenu0", "-"));
    bar->Child("DisplayWindowsMenu")->Append(Item("DisplayWindowsTwo", "Two"));
    bar->Append(Item("FileMenu", "&File"));
    bar->Child("FileMenu")->Append(Item<fw::QuitMenuItem>("FileQuit", "&Quit"));
    return bar;
}

QAction* FindAction(fw::Window& w, const char* name) {
    QMenuBar* mb = w.Peer()->Top()->menuBar;
    if (!mb) return nullptr;
    return mb->findChild<QAction*>(name);
}

class MenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app = fw::New<fw::Application>();
        app->SetMenuBar(MakeBar());
        fw::RuntimeRegisterAppObject(app);
    }
    fw::testing::Headless headless;
    fw::Ref<fw::Application> app;
};

TEST_F(MenuTest, ItemsAreFoundByNameThroughTheirMenus) {
    auto bar = app->MenuBar();
    EXPECT_TRUE(bar->Child("DisplayWindowsOne").IsNil());  // not a direct child
    auto one = bar->Lookup("DisplayWindowsOne");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->Text().Bytes(), "One");
    EXPECT_EQ(one->Parent(), bar->Child("DisplayWindowsMenu").Get());
    EXPECT_TRUE(bar->Lookup("Nothing").IsNil());
    EXPECT_FALSE(one->Checked());
    EXPECT_TRUE(fw::RuntimeCheckCast<fw::QuitMenuItem>(bar->Lookup("FileQuit")));
}

TEST_F(MenuTest, DocumentWindowsShowTheApplicationBarFloatingWindowsNone) {
    auto panel = uitest::MakeProbe({{"Frame", 0}});
    auto floating = uitest::MakeProbe({{"Frame", 7}});
    headless.ProcessEvents();
    ASSERT_NE(panel->Peer()->Top()->menuBar, nullptr);
    EXPECT_EQ(floating->Peer()->Top()->menuBar, nullptr);
    QList<QAction*> menus = panel->Peer()->Top()->menuBar->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "File");
    EXPECT_EQ(menus[2]->text(), "&File");
    // A window's own bar replaces the application's in that window.
    auto own = fw::New<fw::MenuBar>();
    own->Append(Item("EditMenu", "&Edit"));
    panel->SetMenuBar(own);
    headless.ProcessEvents();
    EXPECT_EQ(panel->Peer()->Top()->menuBar->actions().size(), 1);
}

TEST_F(MenuTest, CheckMarksAndShortcutsReachTheNativeMenu) {
    auto panel = uitest::MakeProbe();
    app->MenuBar()->Lookup("DisplayWindowsTwo")->SetChecked(true);
    headless.ProcessEvents();
    QAction* two = FindAction(*panel, "DisplayWindowsTwo");
    QAction* one = FindAction(*panel, "DisplayWindowsOne");
    ASSERT_TRUE(two && one);
    EXPECT_TRUE(two->isChecked());
    EXPECT_FALSE(one->isChecked());
    EXPECT_EQ(FindAction(*panel, "FilePrintHelp")->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_TRUE(FindAction(*panel, "UntitledMenu0")->isSeparator());
    app->MenuBar()->Lookup("DisplayWindowsTwo")->SetChecked(false);
    headless.ProcessEvents();
    EXPECT_FALSE(FindAction(*panel, "DisplayWindowsTwo")->isChecked());
}

TEST_F(MenuTest, TheWindowsHandlerGoesFirstThenTheApplications) {
    std::vector<std::string> calls;
    app->AddMenuHandler("FilePrintHelp", [&] {
        calls.push_back("app");
        return true;
    });
    app->AddMenuHandler("DisplayWindowsOne", [&] {
        calls.push_back("app one");
        return true;
    });
    auto help = uitest::MakeProbe();
    help->AddMenuHandler("FilePrintHelp", [&] {
        calls.push_back("window");
        return true;
    });
    headless.ProcessEvents();
    FindAction(*help, "FilePrintHelp")->trigger();
    FindAction(*help, "DisplayWindowsOne")->trigger();
    EXPECT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsOne"));
    EXPECT_FALSE(fw::RuntimeChooseMenuItem("DisplayWindowsTwo"));
    EXPECT_EQ(calls, (std::vector<std::string>{"window", "app one", "app one"}));
}

TEST_F(MenuTest, QuitItemAndControlQCloseEveryWindowAndQuit) {
    for (int way = 0; way < 2; ++way) {
        auto a = uitest::MakeProbe();
        auto b = uitest::MakeProbe({{"Frame", 7}});
        headless.ProcessEvents();
        if (way == 0) {
            FindAction(*a, "FileQuit")->trigger();
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
            QApplication::sendEvent(b->Peer()->Content(), &press);
        }
        EXPECT_TRUE(headless.QuitRequested()) << way;
        EXPECT_EQ(a->log.back(), "Close");
        EXPECT_EQ(b->log.back(), "Close");
        EXPECT_FALSE(a->IsOpen() || b->IsOpen());
    }
}

// An application bar without a Quit of its own gets the framework's, last in
// its first menu; the bar that has one, and a window's own bar, get none.
TEST_F(MenuTest, ApplicationBarWithoutQuitShowsOneLastInItsFirstMenu) {
    auto panel = uitest::MakeProbe();
    headless.ProcessEvents();
    EXPECT_EQ(FindAction(*panel, "ApplicationQuit"), nullptr);

    auto bar = fw::New<fw::MenuBar>();
    bar->Append(Item("File", "File"));
    bar->Child("File")->Append(Item("FilePrintHelp", "Print Help", "Cmd+P"));
    bar->Append(Item("HelpMenu", "Help"));
    bar->Child("HelpMenu")->Append(Item("HelpShow", "Show Help"));
    app->SetMenuBar(bar);
    auto help = uitest::MakeProbe();
    auto own = fw::New<fw::MenuBar>();
    own->Append(Item("EditMenu", "&Edit"));
    own->Child("EditMenu")->Append(Item("EditUndo", "&Undo"));
    help->SetMenuBar(own);
    headless.ProcessEvents();
    EXPECT_EQ(FindAction(*help, "ApplicationQuit"), nullptr);
    QMenu* file = panel->Peer()->Top()->menuBar->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    QAction* quit = file->actions().back();
    EXPECT_EQ(quit->objectName(), "ApplicationQuit");
    EXPECT_EQ(quit->text(), "&Quit\tCtrl+Q");
    EXPECT_TRUE(file->actions()[file->actions().size() - 2]->isSeparator());

    // It quits as Ctrl+Q does: every window closes, the panel's Close included.
    quit->trigger();
    EXPECT_TRUE(headless.QuitRequested());
    EXPECT_EQ(panel->log.back(), "Close");
    EXPECT_FALSE(panel->IsOpen() || help->IsOpen());
}

}  // namespace
