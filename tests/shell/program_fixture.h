// In-process runs of the program: the headless framework, a test desktop, test
// hot keys, and a capture entry that records what it was asked for.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/display_window.h"
#include "fw/runtime/object.h"
#include "fw/testing/headless.h"
#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "panel/window2.h"
#include "platform/hotkeys.h"
#include "platform/screen.h"
#include "shell/hotkey_module.h"
#include "shell/menu_bars.h"
#include "shell/plugin_entrypoints.h"
#include "shell/settings_module.h"
#include "shell/start_sequence.h"
#include "shell/state_module.h"

namespace apptest {

// One main display of the given scale; reads deliver nothing, which is all the
// start-up capture of a backdrop needs.
class TestScreen : public platform::Screen {
  public:
    explicit TestScreen(int32_t pixelsPerPoint) : ppp_(pixelsPerPoint) {}
    std::vector<platform::DisplayInfo> Displays() override {
        platform::DisplayInfo d;
        d.id = 1;
        d.bounds = {0, 0, 1280, 800};
        d.pixelsPerPoint = ppp_;
        d.isMain = true;
        return {d};
    }
    bool Read(uint32_t, platform::Rect, platform::PixelView* out, platform::Rect*) override {
        if (out) *out = {};
        return false;
    }

  private:
    int32_t ppp_;
};

// Hot keys that a test presses; registration fails for the ids in `failing`.
class TestHotKeys : public platform::HotKeys {
  public:
    struct Registration {
        uint32_t keyCode, modifiers, signature, id;
    };
    std::vector<Registration> registered;
    std::vector<uint32_t> failing;

    int32_t Register(uint32_t keyCode, uint32_t mods, uint32_t signature, uint32_t id) override {
        for (uint32_t f : failing)
            if (f == id) return lastError_ = 1;
        registered.push_back({keyCode, mods, signature, id});
        return 0;
    }
    void UnregisterAll() override {
        registered.clear();
        if (onUnregister) onUnregister();
    }
    std::function<void()> onUnregister;
    int32_t LastError() const override { return lastError_; }
    void SetCallback(Callback cb) override { callback_ = std::move(cb); }
    int FileDescriptor() const override { return -1; }
    void Dispatch() override {}
    void Press(uint32_t id, uint32_t signature = 0x5A555647) {
        if (callback_) callback_(signature, id);
    }

  private:
    int32_t lastError_ = 0;
    Callback callback_;
};

// Replaces the rectangle capture in the entry table: records each call and
// answers with a fresh picture of the asked size (or nil when told to).
struct CaptureLog {
    struct Call {
        int32_t left, top, width, height;
        bool operator==(const Call&) const = default;
    };
    static inline std::vector<Call> calls;
    static inline bool answerNil = false;
    static PluginPicture Fake(int32_t left, int32_t top, int32_t width, int32_t height) {
        calls.push_back({left, top, width, height});
        if (answerNil) return nullptr;
        fw::Ref<fw::Picture> p = fw::Picture::New(width > 0 ? width : 1, height > 0 ? height : 1);
        return reinterpret_cast<PluginPicture>(static_cast<fw::Object*>(p.Detach()));
    }
    static void Install() {
        calls.clear();
        answerNil = false;
        PluginEntrypointsTable[kEntryScreenshotRect] = reinterpret_cast<void*>(&Fake);
    }
};

// Graphics that records the drawing of the view update.
class RecordingGraphics : public fw::Graphics {
  public:
    struct Op {
        std::string what;
        std::vector<int32_t> args;
        bool operator==(const Op&) const = default;
    };
    std::vector<Op> ops;
    void DrawPicture(const fw::Ref<fw::Picture>&, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh) override {
        ops.push_back({"DrawPicture", {x, y, w, h, sx, sy, sw, sh}});
    }
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        ops.push_back({"DrawLine", {x1, y1, x2, y2}});
    }
    void DrawString(const fw::String&, int32_t, int32_t, int32_t, bool) override {}
    void FillRect(int32_t, int32_t, int32_t, int32_t) override {}
    int32_t Width() const override { return 0; }
    int32_t Height() const override { return 0; }
};

class ProgramTest : public ::testing::Test {
  protected:
    // Records per display window, by number.
    static inline fw::Ref<RecordingGraphics> drawn[5];

    void SetUp() override {
        for (auto& d : drawn) d = fw::New<RecordingGraphics>();
        DisplayWindow::graphicsForTesting = [](DisplayWindow& w) -> fw::Ref<fw::Graphics> {
            return drawn[w.Number()];
        };
    }

    void TearDown() override {
        // As the program ends: the windows close (the panel's Close saves and
        // quits) while the globals still hold them, then the globals go.
        for (const fw::Ref<fw::Window>& w : fw::RuntimeOpenWindows()) w->Close();
        DisplayWindow::graphicsForTesting = nullptr;
        FinalizeModules();
        StateModule::ResetForTesting();
        for (auto& d : drawn) d.Reset();
    }

    // Writes a settings file into the test's Preferences folder.
    void WriteSettings(const std::string& text) {
        std::ofstream(h.PreferencesPath() + "/ostrel4.txt") << text;
    }
    // The file the program writes with its defaults, then `text`, whose keys win.
    static constexpr const char* kDefaultSettings =
        "#Window2Position 55,10\n#w1Position 50,180\n#w2Position 50,390\n#w3Position 50,600\n"
        "#w4Position 50,810\n#w1Size 100,200\n#w2Size 100,200\n#w3Size 100,200\n"
        "#w4Size 100,200\n#MyMag 2\n#MyMag2 2\n#MyMag3 2\n#MyMag4 2\n#ShrinkWindow False\n"
        "#Crosshairs False\n#NumDW 4\n";
    void WriteSettingsOverDefaults(const std::string& text) {
        WriteSettings(kDefaultSettings + text);
    }
    std::string ReadSettings() {
        std::ifstream in(h.PreferencesPath() + "/ostrel4.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs the program's start up to a running event loop: classes, start
    // sequence, App's Open and with it the panel's; `beforeOpen` runs just
    // before App's Open, once the start sequence has bound the plug-ins.
    void Start(int32_t pixelsPerPoint = 1, const std::function<void()>& beforeOpen = {}) {
        platform::SetCurrentScreen(std::make_unique<TestScreen>(pixelsPerPoint));
        auto keys = std::make_unique<TestHotKeys>();
        hotKeys = keys.get();
        hotKeys->failing = failingHotKeys;
        platform::SetCurrentHotKeys(std::move(keys));
        StateModule::ResetForTesting();
        SettingsModule::ResetForTesting();
        InitClasses();
        ASSERT_TRUE(StartSequence());
        CaptureLog::Install();
        if (beforeOpen) beforeOpen();
        h.StartApplication();
    }

    fw::Ref<Window2> Panel() { return Window2::ImplicitInstance(); }
    fw::Ref<DisplayWindow> Display(int n) {
        return fw::RuntimeCheckCast<DisplayWindow>(*StateModule::Display(n).window);
    }
    bool Shown(int n) { return Display(n)->Visible(); }

    fw::testing::Headless h;
    TestHotKeys* hotKeys = nullptr;
    std::vector<uint32_t> failingHotKeys;
};

}  // namespace apptest
