// The headless test fixture.
#include "fw/testing/headless.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <memory>
#include <stdexcept>

#include "fw/testing/preferences.h"
#include "fw/ui/application.h"
#include "fw/ui/window.h"
#include "platform/hotkeys.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "ui/peers.h"
#include "ui/ui_state.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_HEADLESS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OSTREL_HEADLESS_ASAN 1
#endif

#ifdef OSTREL_HEADLESS_ASAN
// The system's font library keeps caches for the life of the process that it
// never frees; every test that lays out text would otherwise report them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
#endif

namespace fw::testing {
namespace {

bool g_alive = false;

}  // namespace

struct Headless::State {
    std::unique_ptr<TemporaryPreferences> prefs;
    // Owned by the platform, which keeps them until they are replaced.
    platform::VirtualScreen* screen = nullptr;
    platform::SimulatedInput* input = nullptr;
    platform::SimulatedHotKeys* hotKeys = nullptr;
};

Headless::Headless() : state_(std::make_unique<State>()) {
    if (g_alive) throw std::logic_error("one headless fixture at a time");
    g_alive = true;
    if (!QCoreApplication::instance()) {
        // Chosen before the toolkit starts; the desktop's display stays untouched.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    detail::SetTestMode(true);
    detail::EnsureToolkit();
    detail::ResetTestClock();
    detail::ResetQuitState();
    detail::ResetApplicationOpen();
    detail::MessageBoxLog().clear();
    detail::UrlLog().clear();
    auto screen = std::make_unique<platform::VirtualScreen>();
    screen->AddDisplay({0, 0, 1440, 900}, 1, 8, 3, true);
    state_->screen = screen.get();
    platform::SetCurrentScreen(std::move(screen));
    auto input = std::make_unique<platform::SimulatedInput>();
    state_->input = input.get();
    platform::SetCurrentInput(std::move(input));
    auto hotKeys = std::make_unique<platform::SimulatedHotKeys>();
    state_->hotKeys = hotKeys.get();
    platform::SetCurrentHotKeys(std::move(hotKeys));
    // Hot keys only: a test process keeps its ordinary response to SIGTERM
    // until it starts the application.
    detail::InstallWatchers(false);
    state_->prefs = std::make_unique<TemporaryPreferences>();
}

Headless::~Headless() {
    // Whatever a test left open goes, without raising more of the program's events
    // than a quit would.
    detail::CloseAllWindows();
    RuntimeRegisterAppObject(Ref<Application>());
    ProcessEvents();
    detail::ResetQuitState();
    state_->prefs.reset();
    g_alive = false;
}

void Headless::ProcessEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, 0);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void Headless::AdvanceClock(int64_t ms) {
    detail::AdvanceTestClock(ms, [this]() { ProcessEvents(); });
}

int64_t Headless::Now() const {
    return detail::TestClockNow();
}

void Headless::StartApplication() {
    detail::InstallWatchers();
    detail::RaiseApplicationOpen();
    ProcessEvents();
}

bool Headless::QuitRequested() const {
    return detail::QuitRequested();
}
int32_t Headless::QuitCode() const {
    return detail::QuitCode();
}

void Headless::SetMouse(int32_t x, int32_t y) {
    state_->input->SetMousePosition({x, y});
}

void Headless::SetModifiers(bool control, bool shift, bool option, bool command) {
    state_->input->SetModifiers({control, shift, option, command});
}

platform::VirtualScreen& Headless::Screen() {
    return *state_->screen;
}
platform::SimulatedInput& Headless::Input() {
    return *state_->input;
}
platform::SimulatedHotKeys& Headless::HotKeys() {
    return *state_->hotKeys;
}

const std::vector<std::string>& Headless::MessageBoxTexts() const {
    return detail::MessageBoxLog();
}
const std::vector<std::string>& Headless::OpenedURLs() const {
    return detail::UrlLog();
}
void Headless::ClearRecords() {
    detail::MessageBoxLog().clear();
    detail::UrlLog().clear();
}

const std::string& Headless::PreferencesPath() const {
    return state_->prefs->Path();
}

void Headless::RaiseSignal(int sig) {
    detail::HandleSignal(sig);
    ProcessEvents();
}

void Headless::Post(std::function<void()> event) {
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(event));
}

void Headless::RequestClose(const Ref<Window>& window) {
    if (!window || !window->Peer() || !window->Peer()->Top()) return;
    QCloseEvent event;
    QCoreApplication::sendEvent(window->Peer()->Top(), &event);
}

}  // namespace fw::testing
