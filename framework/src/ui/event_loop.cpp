// The framework's one event loop, on Qt's, and the state around it: the open
// windows, the quit sequence, signals and the platform's hot keys.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

#include "fw/runtime/loop.h"
#include "fw/ui/application.h"
#include "fw/ui/window.h"
#include "platform/hotkeys.h"
#include "platform/x11.h"
#include "ui/qt_graphics.h"
#include "ui/ui_state.h"

namespace fw {
namespace detail {
namespace {

bool g_testMode = false;
bool g_quitRequested = false;
bool g_inQuit = false;
bool g_loopRunning = false;
int32_t g_quitCode = 0;
bool g_appOpenRaised = false;
// The framework holds every open window: a program may drop its last
// reference to a window it showed (an implicit instance) and the window stays.
std::vector<Ref<Window>> g_openWindows;
Window* g_lastShown = nullptr;
int g_signalPipe[2] = {-1, -1};
QSocketNotifier* g_signalNotifier = nullptr;
QSocketNotifier* g_hotKeyNotifier = nullptr;
int g_hotKeyFd = -1;

int& Argc() {
    static int argc = 1;
    return argc;
}
char** Argv() {
    static char name[] = "ostrel4";
    static char* argv[] = {name, nullptr};
    return argv;
}

// Pumps pending events for RuntimeBackgroundTask; the runtime's own guard
// keeps the yielding handler from being entered again through it.
void YieldToEvents() {
    InputMomentPause pause;
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void OnSignal(int sig) {
    // Only the write is async-signal-safe; the loop does the rest.
    unsigned char byte = static_cast<unsigned char>(sig);
    if (g_signalPipe[1] >= 0) {
        ssize_t n = write(g_signalPipe[1], &byte, 1);
        (void)n;
    }
}

}  // namespace

bool TestMode() {
    return g_testMode;
}
void SetTestMode(bool on) {
    g_testMode = on;
}

bool ToolkitReady() {
    return QApplication::instance() != nullptr;
}

void EnsureToolkit() {
    if (QApplication::instance()) return;
    qt::UseWholePixelsPerPoint();
    auto* app = new QApplication(Argc(), Argv());
    // The program ends only through RB_ApplicationQuit, after every Close.
    app->setQuitOnLastWindowClosed(false);
    app->setApplicationName("Ostrel 4");
    fw::detail::SetBackgroundTaskHook(&YieldToEvents);
    if (QGuiApplication::platformName() == "xcb") {
        // The screen, the mouse and the hot keys then come from the same X
        // display as the windows; points are Qt's logical pixels.
        platform::UseX11(nullptr);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            platform::x11::SetPixelsPerPoint(int(screen->devicePixelRatio() + 0.5));
        }
    }
}

void RegisterOpenWindow(Window* w) {
    for (const auto& open : g_openWindows) {
        if (open.Get() == w) return;
    }
    g_openWindows.emplace_back(w);
}
void UnregisterOpenWindow(Window* w) {
    if (g_lastShown == w) g_lastShown = nullptr;
    auto it = std::find_if(g_openWindows.begin(), g_openWindows.end(),
                           [w](const Ref<Window>& open) { return open.Get() == w; });
    if (it == g_openWindows.end()) return;
    // Dropped after the list is consistent again: this may be the last reference.
    Ref<Window> last = std::move(*it);
    g_openWindows.erase(it);
}
std::vector<Window*> OpenWindowList() {
    std::vector<Window*> out;
    for (const auto& w : g_openWindows) out.push_back(w.Get());
    return out;
}
void NoteWindowShown(Window* w) {
    g_lastShown = w;
}
Window* LastShownWindow() {
    return g_lastShown;
}

std::vector<std::string>& MessageBoxLog() {
    static std::vector<std::string> log;
    return log;
}
std::vector<std::string>& UrlLog() {
    static std::vector<std::string> log;
    return log;
}

bool QuitRequested() {
    return g_quitRequested;
}
int32_t QuitCode() {
    return g_quitCode;
}
void ResetQuitState() {
    g_quitRequested = false;
    g_inQuit = false;
    g_quitCode = 0;
}

void RaiseApplicationOpen() {
    if (g_appOpenRaised) return;
    g_appOpenRaised = true;
    Ref<Application> app = getAppObject();
    if (app) RuntimeDispatch([&app]() { app->Event_Open(); });
}
void ResetApplicationOpen() {
    g_appOpenRaised = false;
}

void HandleSignal(int sig) {
    if (sig == SIGTERM || sig == SIGINT) RB_ApplicationQuit(0);
}

void InstallWatchers(bool watchSignals) {
    EnsureToolkit();
    if (watchSignals && !g_signalNotifier) {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
            fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
            g_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read);
            QObject::connect(g_signalNotifier, &QSocketNotifier::activated, []() {
                unsigned char byte = 0;
                if (read(g_signalPipe[0], &byte, 1) == 1) HandleSignal(byte);
            });
            struct sigaction sa {};
            sa.sa_handler = &OnSignal;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            sigaction(SIGTERM, &sa, nullptr);
            sigaction(SIGINT, &sa, nullptr);
        }
    }
    // The hot keys may have been replaced since the last look (a new back-end).
    const int fd = platform::CurrentHotKeys().FileDescriptor();
    if (g_hotKeyNotifier && fd != g_hotKeyFd) {
        delete g_hotKeyNotifier;
        g_hotKeyNotifier = nullptr;
    }
    if (!g_hotKeyNotifier) {
        g_hotKeyFd = fd;
        if (fd >= 0) {
            g_hotKeyNotifier = new QSocketNotifier(fd, QSocketNotifier::Read);
            QObject::connect(g_hotKeyNotifier, &QSocketNotifier::activated, []() {
                RuntimeDispatch([]() { platform::CurrentHotKeys().Dispatch(); });
            });
        }
    }
}

}  // namespace detail

void RuntimeInit() {
    detail::EnsureToolkit();
}

void RuntimeRun() {
    detail::EnsureToolkit();
    detail::InstallWatchers();
    if (detail::g_quitRequested) return;
    // Open is the first event of the loop, after whatever the start sequence queued.
    QTimer::singleShot(0, []() { detail::RaiseApplicationOpen(); });
    detail::g_loopRunning = true;
    QApplication::exec();
    detail::g_loopRunning = false;
}

void RB_ApplicationQuit(int32_t code) {
    // The first request's code stands: a Close handler that quits again while
    // the quit closes the windows does not change it.
    if (!detail::g_quitRequested) detail::g_quitCode = code;
    detail::g_quitRequested = true;
    // A Close handler that quits lands here again while the windows are being
    // closed; the outer call finishes the job.
    if (detail::g_inQuit) return;
    detail::g_inQuit = true;
    for (;;) {
        Window* next = nullptr;
        for (Window* w : detail::OpenWindowList()) {
            if (!w->IsClosing()) {
                next = w;
                break;
            }
        }
        if (!next) break;
        Ref<Window> keep(next);
        keep->Close();
    }
    detail::g_inQuit = false;
    if (QCoreApplication::instance()) QCoreApplication::exit(code);
}

int32_t RuntimeExit() {
    for (Window* w : detail::OpenWindowList()) {
        Ref<Window> keep(w);
        if (!w->IsClosing()) keep->Close();
    }
    if (QCoreApplication::instance()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return detail::g_quitCode;
}

}  // namespace fw
