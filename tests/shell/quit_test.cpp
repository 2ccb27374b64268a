// Quits that arrive while the program starts, and the end of a process that
// exits from inside the run.
#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>

#include "fw/runtime/loop.h"
#include "fw/ui/window.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

// The settings of a run, as the writer writes them, after comment lines that
// keep the reader (and its yield) going for a while.
constexpr const char* kSettings =
    "#Window2Position 120,300\n#w1Position 60,200\n#w2Position 60,410\n#w3Position 60,620\n"
    "#w4Position 70,830\n#w1Size 110,210\n#w2Size 120,220\n#w3Size 130,230\n"
    "#w4Size 140,240\n#MyMag 3.5\n#MyMag2 2.5\n#MyMag3 4\n#MyMag4 1.5\n#ShrinkWindow True\n"
    "#Crosshairs True\n#NumDW 3\n";

std::string WithComments(const std::string& settings) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "' a comment the reader passes over\n";
    return text + settings;
}

fw::Ref<fw::Window> ThePanel() {
    return fw::RuntimeGetImplicitWindow("Window2.Window2");
}

// Where the request arrives: in a yield of the settings reader, or in the
// panel's Open after the settings are in (as the first backdrop is taken).
enum class Moment { ReaderYield, PanelOpen };

struct QuitCase {
    const char* name;
    Moment moment;
    void (*request)(fw::testing::Headless&);
};

void PrintTo(const QuitCase& c, std::ostream* os) {
    *os << c.name;
}

class QuitDuringStart : public ProgramTest, public ::testing::WithParamInterface<QuitCase> {
  protected:
    static inline std::function<void()> onBackdrop;
    static PluginPicture Backdrop(int32_t) {
        if (onBackdrop) std::exchange(onBackdrop, nullptr)();
        return nullptr;
    }
};

TEST_P(QuitDuringStart, WaitsForTheOpenAndSavesWhatWasLoaded) {
    const QuitCase& c = GetParam();
    WriteSettings(WithComments(kSettings));
    Start(1, [&] {
        auto request = [this, &c] { c.request(h); };
        if (c.moment == Moment::ReaderYield) {
            h.Post(request);
        } else {
            onBackdrop = request;
            PluginEntrypointsTable[kEntryScreenshotDisplay] = reinterpret_cast<void*>(&Backdrop);
        }
    });
    h.ProcessEvents();

    // The Open ran to its end before the quit closed anything.
    for (int n = 1; n <= 4; ++n) EXPECT_TRUE(*StateModule::Display(n).window) << n;
    EXPECT_TRUE(StateModule::PanelOpened);
    EXPECT_EQ(hotKeys->registered.size(), 20u);
    EXPECT_TRUE(h.QuitRequested());
    EXPECT_EQ(h.QuitCode(), 0);
    EXPECT_TRUE(fw::RuntimeOpenWindows().empty());
    EXPECT_EQ(ReadSettings(), kSettings);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, QuitDuringStart,
    ::testing::Values(
        QuitCase{"TerminateWhileReading", Moment::ReaderYield, [](auto&) { raise(SIGTERM); }},
        QuitCase{"InterruptWhileReading", Moment::ReaderYield, [](auto&) { raise(SIGINT); }},
        QuitCase{"HangUpWhileReading", Moment::ReaderYield, [](auto&) { raise(SIGHUP); }},
        QuitCase{"CloseBoxWhileReading", Moment::ReaderYield,
                 [](auto& h) { h.RequestClose(ThePanel()); }},
        QuitCase{"QuitWhileReading", Moment::ReaderYield, [](auto&) { fw::RB_ApplicationQuit(0); }},
        QuitCase{"CloseBoxInThePanelsOpen", Moment::PanelOpen,
                 [](auto& h) { h.RequestClose(ThePanel()); }},
        QuitCase{"QuitInThePanelsOpen", Moment::PanelOpen,
                 [](auto&) { fw::RB_ApplicationQuit(0); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, ExitFromInsideTheRunEndsWithItsStatus) {
    // The toolkit ends the process this way when its display goes away: the
    // program's globals, which still hold windows and hot keys, then go after
    // the framework's and the platform's statics.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WriteSettings(kSettings);
            Start();
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace apptest
