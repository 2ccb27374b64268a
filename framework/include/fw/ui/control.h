// Controls: the parts of a window, created through the window's New, added to
// it under a name and found again by that name.
//
//   auto button = window.New<fw::PushButton>();   // or New(PushButton::ClassInfo())
//   button->Constructor();
//   window.AddControl("PushButton1", button);
//   fw::RuntimeMassPropertySetter(window.ControlByName("PushButton1"), {...});
//   fw::RuntimeAddEventHandler(..., "Action", fw::RuntimeCreateDelegate(this,
//   &W::PushButton1_Action));
//
// Every property can be set before or after the control is added; the native
// widget follows. Layout values that mean nothing on this desktop (TabPanelIndex,
// AutoDeactivate, DataField, ...) are kept and read back unchanged.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/color.h"
#include "fw/ui/delegate.h"
#include "fw/ui/properties.h"

namespace fw {

class Window;
class Graphics;

namespace detail {
class ControlPeer;  // the native side, inside the framework
}

class Control : public Object, public PropertyTarget {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    Control();
    ~Control() override;

    // The name under which it was added; empty before.
    const String& Name() const noexcept { return name_; }
    // The window that holds it (not a reference: the window owns the control);
    // nullptr before it is added and after the window has closed.
    Window* Owner() const noexcept { return owner_; }

    int32_t Left() const noexcept { return left_; }
    int32_t Top() const noexcept { return top_; }
    int32_t Width() const noexcept { return width_; }
    int32_t Height() const noexcept { return height_; }
    void SetLeft(int32_t v);
    void SetTop(int32_t v);
    void SetWidth(int32_t v);
    void SetHeight(int32_t v);
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool v);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool v);

    // Text appearance, for the controls that show text. "System" and size 0
    // are the desktop's default font and size.
    const String& TextFont() const noexcept { return textFont_; }
    void SetTextFont(const String& v);
    double TextSize() const noexcept { return textSize_; }
    void SetTextSize(double v);
    bool Bold() const noexcept { return bold_; }
    void SetBold(bool v);
    bool Italic() const noexcept { return italic_; }
    void SetItalic(bool v);
    bool Underline() const noexcept { return underline_; }
    void SetUnderline(bool v);

    // Redraws the control; `eraseBackground` is accepted for the callers' sake.
    void Refresh(bool eraseBackground = true);

    // A layout value that the control keeps without a meaning of its own
    // (TabIndex, LockTop, HelpTag ...); nullptr when it was never set.
    const PropertyValue* StoredProperty(const String& name) const;

    bool SetProperty(const String& name, const PropertyValue& value) override;

    // Events. Names a control raises: see each class; Open is common to all.
    virtual bool HasEvent(const String& event) const;
    void AddEventHandler(const String& event, EventHandler handler);
    // Runs each handler of the event with this control, in the order added.
    // An exception that a handler lets out goes to RuntimeUnhandledException.
    void RaiseEvent(const String& event);

    // Framework internals.
    void AttachTo(Window* owner, const String& name);
    void Detach();
    detail::ControlPeer* Peer() const noexcept { return peer_.get(); }
    // Raised once when its window opens.
    void RaiseOpen();

  protected:
    // Creates the native side once the control is added to a window; nullptr
    // for a control without one (Timer).
    virtual std::unique_ptr<detail::ControlPeer> CreatePeer();
    // Pushes every property onto the native side.
    void SyncPeer();
    // Called when added and before it leaves its window.
    virtual void Attached() {}
    virtual void Detaching() {}
    bool IsStoredOnly(const std::string& name) const;

  private:
    String name_;
    Window* owner_ = nullptr;
    std::unique_ptr<detail::ControlPeer> peer_;
    int32_t left_ = 0, top_ = 0, width_ = 80, height_ = 20;
    bool visible_ = true, enabled_ = true;
    String textFont_ = "System";
    double textSize_ = 0;
    bool bold_ = false, italic_ = false, underline_ = false;
    bool opened_ = false;
    std::map<std::string, PropertyValue> stored_;
    // Shared, so that raising an event holds each handler it runs without
    // copying the list, which a handler may add to.
    std::map<std::string, std::vector<std::shared_ptr<const EventHandler>>> handlers_;
};

// An owner-drawn control for controls that the framework does not provide
// itself (a plug-in's disclosure triangle, for instance). The subclass draws
// in Paint, in the control's own coordinates (0, 0 at its top-left corner),
// and hears clicks through MouseDown.
class CustomControl : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // Asks for a Paint soon (coalesced); harmless before the control is added.
    void Invalidate();
    // What a click does: MouseDown at (x, y) in the control's coordinates.
    // Public so a test can click without a pointer.
    void Click(int32_t x, int32_t y);

    // Framework internals: the native side calls these.
    void PaintOn(Graphics& g) { Paint(g); }
    bool DeliverMouseDown(int32_t x, int32_t y) { return MouseDown(x, y); }

  protected:
    virtual void Paint(Graphics& g) { (void)g; }
    // True when the control took the click.
    virtual bool MouseDown(int32_t x, int32_t y) {
        (void)x;
        (void)y;
        return false;
    }
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;
};

}  // namespace fw
