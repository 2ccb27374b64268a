// The message box, URL opening, the mouse and the keyboard object.
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "fw/system/input.h"
#include "fw/system/keyboard.h"
#include "fw/ui/dialogs.h"
#include "platform/input.h"
#include "ui/ui_state.h"

namespace fw {

void MsgBox(const String& text) {
    if (detail::TestMode()) {
        detail::MessageBoxLog().push_back(text.Bytes());
        return;
    }
    detail::EnsureToolkit();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ostrel 4"), QString::fromUtf8(text.CStr()),
                    QMessageBox::Ok);
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
    return platform::CurrentInput().MousePosition().x;
}
int32_t MouseY() {
    return platform::CurrentInput().MousePosition().y;
}
}  // namespace System

const fw::ClassInfo& Keyboard::ClassInfo() {
    static const fw::ClassInfo info("_Keyboard", nullptr, &CreateInstance<Keyboard>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

bool Keyboard::AsyncControlKey() const {
    return platform::CurrentInput().ModifierState().control;
}
bool Keyboard::AsyncShiftKey() const {
    return platform::CurrentInput().ModifierState().shift;
}
bool Keyboard::AsyncAltKey() const {
    return platform::CurrentInput().ModifierState().option;
}
bool Keyboard::AsyncCommandKey() const {
    return platform::CurrentInput().ModifierState().command;
}

Ref<Keyboard> getKeyboardObject() {
    return New<Keyboard>();
}

}  // namespace fw
