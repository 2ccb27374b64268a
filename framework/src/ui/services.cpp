// The message box, URL opening, the mouse and the keyboard object.
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <vector>

#include "fw/system/input.h"
#include "fw/system/keyboard.h"
#include "fw/ui/dialogs.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "ui/peers.h"
#include "ui/ui_state.h"

namespace fw {

namespace detail {
namespace {

// The message boxes that MsgBox runs, innermost last.
std::vector<QMessageBox*>& RunningBoxes() {
    static auto* boxes = new std::vector<QMessageBox*>;
    return *boxes;
}

struct Moment {
    int depth = 0;
    bool haveMouse = false;
    bool haveModifiers = false;
    platform::Point mouse;
    platform::Modifiers modifiers;

    // Also the screen's reading: within a moment the captures of its ticks
    // share one, like the pointer.
    void Forget() {
        haveMouse = haveModifiers = false;
        platform::CurrentScreen().ShareReads(depth > 0);
    }
};
Moment g_moment;

// The pointer comes with the keys from one request; the keys alone may cost
// less, so a moment that needs only them asks for only them.
platform::Point ReadMouse() {
    if (g_moment.depth == 0) return platform::CurrentInput().MousePosition();
    if (!g_moment.haveMouse) {
        const platform::InputState state = platform::CurrentInput().State();
        g_moment.mouse = state.mouse;
        g_moment.haveMouse = true;
        if (!g_moment.haveModifiers) {
            g_moment.modifiers = state.modifiers;
            g_moment.haveModifiers = true;
        }
    }
    return g_moment.mouse;
}

platform::Modifiers ReadModifiers() {
    if (g_moment.depth == 0) return platform::CurrentInput().ModifierState();
    if (!g_moment.haveModifiers) {
        g_moment.modifiers = platform::CurrentInput().ModifierState();
        g_moment.haveModifiers = true;
    }
    return g_moment.modifiers;
}

}  // namespace

InputMoment::InputMoment() {
    if (g_moment.depth++ == 0) g_moment.Forget();
}
InputMoment::~InputMoment() {
    if (--g_moment.depth == 0) g_moment.Forget();
}

InputMomentPause::InputMomentPause() : depth_(g_moment.depth) {
    g_moment.depth = 0;
    g_moment.Forget();
}
InputMomentPause::~InputMomentPause() {
    g_moment.depth = depth_;
    g_moment.Forget();
}

void DismissMessageBoxes() {
    for (QMessageBox* box : RunningBoxes()) box->done(QMessageBox::Ok);
}

}  // namespace detail

void MsgBox(const String& text) {
    if (detail::TestMode()) {
        detail::MessageBoxLog().push_back(text.Bytes());
        return;
    }
    // Nobody would read it: the program is about to quit.
    if (detail::QuitWaitsForOpen()) return;
    detail::EnsureToolkit();
    // Modal to the window in front, and above the floating windows, which
    // would otherwise hide it.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ostrel 4"), QString::fromUtf8(text.CStr()),
                    QMessageBox::Ok, detail::DialogParent());
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    detail::InputMomentPause pause;
    detail::RunningBoxes().push_back(&box);
    struct Unlist {
        QMessageBox* box;
        ~Unlist() { std::erase(detail::RunningBoxes(), box); }
    } unlist{&box};
    box.exec();
}

void ShowURL(const String& url) {
    if (detail::TestMode()) {
        detail::UrlLog().push_back(url.Bytes());
        return;
    }
    detail::EnsureToolkit();
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(url.CStr())));
}

namespace System {
int32_t MouseX() {
    return detail::ReadMouse().x;
}
int32_t MouseY() {
    return detail::ReadMouse().y;
}
}  // namespace System

const fw::ClassInfo& Keyboard::ClassInfo() {
    static const fw::ClassInfo info("_Keyboard", nullptr, &CreateInstance<Keyboard>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

bool Keyboard::AsyncControlKey() const {
    return detail::ReadModifiers().control;
}
bool Keyboard::AsyncShiftKey() const {
    return detail::ReadModifiers().shift;
}
bool Keyboard::AsyncAltKey() const {
    return detail::ReadModifiers().option;
}
bool Keyboard::AsyncCommandKey() const {
    return detail::ReadModifiers().command;
}

Ref<Keyboard> getKeyboardObject() {
    // It holds no state of its own: every read asks for the keys of now, so
    // the one object serves every fetch.
    static const Ref<Keyboard> keyboard = New<Keyboard>();
    return keyboard;
}

}  // namespace fw
