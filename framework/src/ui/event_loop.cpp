// The framework's one event loop, on Qt's, and the state around it: the open
// windows, the quit sequence, requests held back while an Open event runs,
// signals, the platform's hot keys and the X display the program runs on.
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
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

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
bool g_quitWaits = false;  // a quit is held until the outermost Open finishes
bool g_loopRunning = false;
int32_t g_quitCode = 0;
bool g_appOpenRaised = false;
// The framework holds every open window: a program may drop its last
// reference to a window it showed (an implicit instance) and the window stays.
// Never destroyed: a process that ends through exit() from inside the loop
// (the toolkit does so when the display goes away) must not take windows and
// their widgets apart behind the toolkit's back, nor leave a dangling list to
// the program's globals that still hold windows.
std::vector<Ref<Window>>& OpenWindows() {
    static auto* windows = new std::vector<Ref<Window>>;
    return *windows;
}
Window* g_lastShown = nullptr;
// Open events running (nested: the application's Open shows the panel, whose
// Open runs inside it), and what arrived meanwhile that may not run before
// they have finished, in order of arrival.
int g_openDepth = 0;
std::vector<std::function<void()>>& HeldRequests() {
    static auto* requests = new std::vector<std::function<void()>>;
    return *requests;
}
int g_signalPipe[2] = {-1, -1};
QSocketNotifier* g_signalNotifier = nullptr;
QSocketNotifier* g_hotKeyNotifier = nullptr;
int g_hotKeyFd = -1;

constexpr char kProgramName[] = "ostrel4";

// The toolkit's command line: the program's name and, on the desktop, the X11
// platform, which a command line chooses over QT_QPA_PLATFORM. The desktop is
// X11's also in a Wayland session (through Xwayland): the screen reads, the
// pointer and the global hot keys are X11's, and so must the windows be. A
// process that chose the offscreen platform (a test) keeps it.
bool UseDesktop() {
    return qgetenv("QT_QPA_PLATFORM") != "offscreen";
}
int& Argc() {
    static int argc = UseDesktop() ? 3 : 1;
    return argc;
}
char** Argv() {
    static char option[] = "-platform";
    static char x11[] = "xcb";
    static char* argv[] = {const_cast<char*>(kProgramName), option, x11, nullptr};
    if (!UseDesktop()) argv[1] = nullptr;
    return argv;
}

// The X display of the desktop, as the user named it, for messages.
std::string DisplayNameText() {
    const char* name = std::getenv("DISPLAY");
    return name && *name ? name : "(DISPLAY is not set)";
}

// Written when the desktop is opened, so that the loss needs no allocation.
char g_lostMessage[512] = "";
bool g_watchingDisplay = false;

// Nothing more can be shown, read or grabbed, and a save now would record a
// run cut short: the program ends at once, its settings file as it was, and
// without its exit's teardown, which would talk to the dead connection.
[[noreturn]] void DisplayLost() {
    const size_t length = std::strlen(g_lostMessage);
    if (length > 0) {
        ssize_t n = write(2, g_lostMessage, length);
        (void)n;
    }
    _exit(1);
}

void OnConnectionLost(const char*) {
    if (g_watchingDisplay) DisplayLost();
}

QtMessageHandler g_toolkitMessages = nullptr;

// The toolkit reports the loss of its own connection in a warning and then
// calls exit(); the program ends here instead, with its own message.
void OnToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (g_watchingDisplay && text.startsWith(QLatin1String("The X11 connection broke")))
        DisplayLost();
    if (g_toolkitMessages) g_toolkitMessages(type, context, text);
}

// Opens the desktop's display for the platform (screen, pointer, hot keys)
// before the toolkit tries it, whose failure is an abort: a program without a
// display says so and ends.
void OpenDesktop() {
    if (!platform::UseX11(nullptr)) {
        std::fprintf(stderr, "%s: cannot open the X display %s\n", kProgramName,
                     DisplayNameText().c_str());
        std::exit(1);
    }
    std::snprintf(g_lostMessage, sizeof g_lostMessage,
                  "%s: lost the connection to the X display %s\n", kProgramName,
                  DisplayNameText().c_str());
    g_watchingDisplay = true;
    platform::x11::SetConnectionLostHandler(&OnConnectionLost);
    g_toolkitMessages = qInstallMessageHandler(&OnToolkitMessage);
}

// Pumps pending events for RuntimeBackgroundTask; the runtime's own guard
// keeps the yielding handler from being entered again through it. While an
// Open event runs the user's clicks and keys wait until it has finished: they
// would act on a program that is only half there.
void YieldToEvents() {
    InputMomentPause pause;
    if (!QCoreApplication::instance()) return;
    QCoreApplication::processEvents(g_openDepth > 0 ? QEventLoop::ExcludeUserInputEvents
                                                    : QEventLoop::AllEvents);
}

void RunHeldRequests() {
    std::vector<std::function<void()>> requests = std::move(HeldRequests());
    HeldRequests().clear();
    for (const auto& request : requests) RuntimeDispatch(request);
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
    if (UseDesktop()) OpenDesktop();
    auto* app = new QApplication(Argc(), Argv());
    // The program ends only through RB_ApplicationQuit, after every Close.
    app->setQuitOnLastWindowClosed(false);
    app->setApplicationName("Ostrel 4");
    fw::detail::SetBackgroundTaskHook(&YieldToEvents);
    if (UseDesktop()) {
        // The screen, the mouse and the hot keys come from the same X display
        // as the windows; points are Qt's logical pixels.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            platform::x11::SetPixelsPerPoint(int(screen->devicePixelRatio() + 0.5));
        }
    }
}

void RegisterOpenWindow(Window* w) {
    for (const auto& open : OpenWindows()) {
        if (open.Get() == w) return;
    }
    OpenWindows().emplace_back(w);
}
void UnregisterOpenWindow(Window* w) {
    if (g_lastShown == w) g_lastShown = nullptr;
    auto& windows = OpenWindows();
    auto it = std::find_if(windows.begin(), windows.end(),
                           [w](const Ref<Window>& open) { return open.Get() == w; });
    if (it == windows.end()) return;
    // Dropped after the list is consistent again: this may be the last reference.
    Ref<Window> last = std::move(*it);
    windows.erase(it);
}
std::vector<Window*> OpenWindowList() {
    std::vector<Window*> out;
    for (const auto& w : OpenWindows()) out.push_back(w.Get());
    return out;
}
void CloseAllWindows() {
    // A Close handler may close, and so free, any other window (the panel's
    // quits, which closes the rest): the next window is looked up afresh each
    // time and held while it closes.
    for (;;) {
        Ref<Window> next;
        for (const auto& w : OpenWindows()) {
            if (!w->IsClosing()) {
                next = w;
                break;
            }
        }
        if (!next) return;
        next->Close();
    }
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
bool QuitWaitsForOpen() {
    return g_quitWaits;
}
int32_t QuitCode() {
    return g_quitCode;
}
void ResetQuitState() {
    HeldRequests().clear();
    g_quitRequested = false;
    g_inQuit = false;
    g_quitWaits = false;
    g_quitCode = 0;
}

bool OpenEventRunning() {
    return g_openDepth > 0;
}
void RunAsOpenEvent(const std::function<void()>& open) {
    ++g_openDepth;
    try {
        open();
    } catch (...) {
        if (--g_openDepth == 0) RunHeldRequests();
        throw;
    }
    if (--g_openDepth == 0) RunHeldRequests();
}
void WhenNoOpenEventRuns(std::function<void()> request) {
    if (g_openDepth > 0) {
        HeldRequests().push_back(std::move(request));
    } else {
        RuntimeDispatch(request);
    }
}

void RaiseApplicationOpen() {
    if (g_appOpenRaised) return;
    g_appOpenRaised = true;
    // A quit that came first (a signal at start) leaves nothing to open.
    if (g_quitRequested) return;
    Ref<Application> app = getAppObject();
    if (app) RunAsOpenEvent([&app]() { RuntimeDispatch([&app]() { app->Event_Open(); }); });
}
void ResetApplicationOpen() {
    g_appOpenRaised = false;
}

void HandleSignal(int sig) {
    // A closed terminal or an ending session (SIGHUP) ends the program as a
    // request to stop does, through the quit that saves.
    if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP) RB_ApplicationQuit(0);
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
            for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
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
    // From the start on, a request to stop is a quit like any other: it waits
    // in the watch until the loop runs.
    detail::InstallWatchers();
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
    // A quit while an Open event runs (a signal or a close handled in a yield
    // of the settings reader) would close windows that are still being set up,
    // and their Close would save what was never loaded: it waits for the Open.
    if (detail::OpenEventRunning()) {
        detail::WhenNoOpenEventRuns([code]() {
            detail::g_quitWaits = false;
            RB_ApplicationQuit(code);
        });
        // An Open that shows a message waits in it for the user; so that the
        // quit is not kept waiting on that answer (a session that logs out
        // during the start), the message goes as if it had been answered.
        detail::g_quitWaits = true;
        detail::DismissMessageBoxes();
        return;
    }
    // The first request's code stands: a Close handler that quits again while
    // the quit closes the windows does not change it.
    if (!detail::g_quitRequested) detail::g_quitCode = code;
    detail::g_quitRequested = true;
    // A Close handler that quits lands here again while the windows are being
    // closed; the outer call finishes the job.
    if (detail::g_inQuit) return;
    detail::g_inQuit = true;
    detail::CloseAllWindows();
    detail::g_inQuit = false;
    if (QCoreApplication::instance()) QCoreApplication::exit(code);
}

int32_t RuntimeExit() {
    detail::CloseAllWindows();
    // From here on the program is ending by its own hand; a display that goes
    // away meanwhile changes nothing.
    detail::g_watchingDisplay = false;
    if (QCoreApplication::instance()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return detail::g_quitCode;
}

}  // namespace fw
