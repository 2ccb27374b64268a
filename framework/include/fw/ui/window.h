// Windows.
//
// A window is made in two steps: the C++ object (whose constructor hooks the
// window events to its methods), then Constructor(), which raises Layout,
// CreateControls and AddMenuHandlers in that order, registers the window as
// open, and, when Visible is true, raises Open (each control's Open first,
// then the window's) and shows it. A window made invisible opens at its first
// Show. RuntimeGetImplicitWindow finds the window from the moment its
// Constructor begins, so its own Open handler may look itself up.
//
//   class Panel : public fw::Window {
//   public:
//       Panel() {
//           HookEvent(fw::WindowEvent::kLayout, this, &Panel::Layout);
//           HookEvent(fw::WindowEvent::kOpen, this, &Panel::Event_Open);
//       }
//       ...
//   };
//
// Geometry is in points and describes the content area, the part that the
// program draws in and places controls in: Left and Top are its position on
// the desktop, Width and Height its size. A menu bar shown inside the window
// lies above that area and is not part of it, so a position that was read and
// saved puts the window back in the same place. Code may set a size below
// MinWidth/MinHeight (the minima bind the user), but never one above
// MaxWidth/MaxHeight or larger than the X screen; and wherever code puts a
// window, its title bar stays on a monitor: a window whose title bar would lie
// on none goes wholly onto the nearest monitor instead. A window that no code
// placed (no Left or Top) opens centred on the main display.
//
// Moved and Resized are raised whenever the geometry changes after the
// window's construction: at once when code sets Left, Top, Width or Height to
// a new value, and on the event loop when the user or the window manager moves
// or resizes the window. Setting a value that the window already has raises
// nothing; nothing is raised during Layout. Where the framework kept a window
// from the geometry that code asked for, it raises Moved or Resized once more
// on the event loop, so that what a handler records later is what the window
// really has.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/color.h"
#include "fw/ui/delegate.h"
#include "fw/ui/menu.h"
#include "fw/ui/picture.h"
#include "fw/ui/properties.h"

namespace fw {

class Control;
class Graphics;

namespace detail {
class WindowPeer;  // the native side, inside the framework
struct Outer;
}  // namespace detail

enum class WindowEvent {
    kLayout,
    kCreateControls,
    kAddMenuHandlers,
    kOpen,
    kClose,
    kMoved,
    kResized,
};

class Window : public Object, public PropertyTarget {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // Window kinds (Frame).
    static constexpr int32_t kFrameDocument = 0;
    // A titled window that floats above the windows of every application and
    // takes no focus from them.
    static constexpr int32_t kFrameGlobalFloating = 7;

    Window();
    ~Window() override;

    // Builds the window; see above. Runs once; a second call does nothing.
    void Constructor() override;

    // Several handlers may hook one event; they run in the order hooked.
    void HookEvent(WindowEvent event, std::function<void()> handler);
    template <class C>
    void HookEvent(WindowEvent event, C* self, void (C::*method)()) {
        HookEvent(event, [self, method]() { (self->*method)(); });
    }

    // Geometry of the content area, in points.
    int32_t Left() const;
    int32_t Top() const;
    int32_t Width() const;
    int32_t Height() const;
    void SetLeft(int32_t v);
    void SetTop(int32_t v);
    void SetWidth(int32_t v);
    void SetHeight(int32_t v);
    int32_t MinWidth() const noexcept { return minWidth_; }
    int32_t MinHeight() const noexcept { return minHeight_; }
    int32_t MaxWidth() const noexcept { return maxWidth_; }
    int32_t MaxHeight() const noexcept { return maxHeight_; }
    void SetMinWidth(int32_t v);
    void SetMinHeight(int32_t v);
    void SetMaxWidth(int32_t v);
    void SetMaxHeight(int32_t v);

    const String& Title() const noexcept { return title_; }
    void SetTitle(const String& v);

    // Visible before construction decides whether Constructor shows the window.
    bool Visible() const;
    void SetVisible(bool v);
    // Both harmless when repeated; a hidden window keeps its controls, its
    // timers and its canvas. Show also brings an open window to the front
    // (and activates it, unless it is floating) and restores a minimised one.
    void Show();
    void Hide();
    // Raises Close once, then takes the window off the desktop and out of the
    // open windows, and stops its controls. The object lives on while it is
    // referenced; Show on a closed window does nothing.
    void Close();
    // Constructed and not closed.
    bool IsOpen() const noexcept { return open_; }
    bool IsClosing() const noexcept { return closing_; }

    int32_t Frame() const noexcept { return frame_; }
    void SetFrame(int32_t v);
    bool CloseButton() const noexcept { return closeButton_; }
    void SetCloseButton(bool v);
    bool Resizeable() const noexcept { return resizeable_; }
    void SetResizeable(bool v);
    bool MaximizeButton() const noexcept { return maximizeButton_; }
    void SetMaximizeButton(bool v);
    bool MinimizeButton() const noexcept { return minimizeButton_; }
    void SetMinimizeButton(bool v);
    bool FullScreenButton() const noexcept { return fullScreenButton_; }
    void SetFullScreenButton(bool v) { fullScreenButton_ = v; }
    bool FullScreen() const noexcept { return fullScreen_; }
    void SetFullScreen(bool v);
    bool Composite() const noexcept { return composite_; }
    void SetComposite(bool v) { composite_ = v; }
    // Whether controls follow a live resize; kept, the desktop always resizes live.
    bool LiveResize() const noexcept { return liveResize_; }
    void SetLiveResize(bool v) { liveResize_ = v; }
    int32_t MacProcID() const noexcept { return macProcID_; }
    void SetMacProcID(int32_t v) { macProcID_ = v; }
    // 0: centred on the main display, unless code sets Left or Top.
    int32_t Placement() const noexcept { return placement_; }
    void SetPlacement(int32_t v) { placement_ = v; }
    bool MenuBarVisible() const noexcept { return menuBarVisible_; }
    void SetMenuBarVisible(bool v);
    bool HasBackColor() const noexcept { return hasBackColor_; }
    void SetHasBackColor(bool v);
    Color BackColor() const noexcept { return backColor_; }
    void SetBackColor(Color v);

    // The window's own menu bar; nil shows the application's (in document
    // windows; floating windows show none).
    Ref<fw::MenuBar> MenuBar() const { return menuBar_; }
    void SetMenuBar(Ref<fw::MenuBar> bar);

    // A picture drawn onto the canvas, unscaled at (0, 0), when it is set.
    Ref<Picture> Backdrop() const { return backdrop_; }
    void SetBackdrop(Ref<Picture> picture);

    // Drawing onto the window's canvas, which persists until it is drawn over
    // and is what the window shows; usable in any event, also while hidden.
    // The canvas is the content area's size in device pixels; a resize keeps
    // what was drawn.
    Ref<fw::Graphics> Graphics();

    // __New: a new object of the class (a control, or another window), not yet
    // constructed: the caller runs its Constructor.
    Ref<Object> New(const fw::ClassInfo& cls);
    template <class T>
    Ref<T> New() {
        return RuntimeCheckCast<T>(New(T::ClassInfo()));
    }
    // Adds the control under the name; the window holds it from now on. A
    // second control of the same name raises RuntimeException.
    void AddControl(const String& name, Ref<Control> control);
    // The control of that name, or nil.
    Ref<Control> ControlByName(const String& name) const;
    int32_t ControlCount() const noexcept { return static_cast<int32_t>(controls_.size()); }
    Ref<Control> ControlAt(int32_t index) const;

    // Menu handlers bound by item name, asked before the application's while
    // this window is in front.
    void AddMenuHandler(const String& itemName, MenuHandler handler);
    // Runs the handler of the item; false when none took it.
    bool HandleMenuItem(const String& itemName);

    bool SetProperty(const String& name, const PropertyValue& value) override;

    // Framework internals.
    detail::WindowPeer* Peer() const noexcept { return peer_.get(); }
    void RaiseEvent(WindowEvent event);
    // The native side reports a geometry change by the user or the window manager.
    void GeometryChanged();
    // Raises what ReportLater held back.
    void ReportAdjusted();
    // Shown from the About command: a box that belongs to the window it was
    // chosen from and stays above the floating windows.
    void BecomeBoxOf(Window* opener);
    bool IsBox() const noexcept { return box_; }

  private:
    void EnsurePeer();
    void OpenNow();
    void ApplyGeometry();
    // Raises Moved and Resized for what changed since they were last raised,
    // and for what the caller says moved or was resized.
    void RaiseGeometryEvents(bool moved = false, bool resized = false);
    // Sets the geometry that code asked for, as far as the desktop allows it.
    void RequestGeometry(int32_t left, int32_t top, int32_t width, int32_t height);
    // Keeps the size within the limits and the title bar on a monitor.
    void Constrain();
    void PlaceByDefault();
    void ReportLater(bool moved, bool resized);
    int MenuBarHeight() const;
    detail::Outer OuterRect() const;

    std::unique_ptr<detail::WindowPeer> peer_;
    std::map<WindowEvent, std::vector<std::function<void()>>> hooks_;
    std::vector<std::pair<std::string, Ref<Control>>> controls_;
    std::vector<std::pair<String, MenuHandler>> menuHandlers_;

    int32_t left_ = 0, top_ = 0, width_ = 300, height_ = 300;
    bool positionSet_ = false;
    // The place code last asked for, while the window stands elsewhere
    // because that place was out of reach at the size it had then.
    bool placeMoved_ = false;
    int32_t askedLeft_ = 0, askedTop_ = 0;
    int32_t minWidth_ = 64, minHeight_ = 64, maxWidth_ = 32000, maxHeight_ = 32000;
    String title_ = "Untitled";
    bool visible_ = true;
    int32_t frame_ = kFrameDocument;
    bool closeButton_ = true, resizeable_ = true, maximizeButton_ = true;
    bool minimizeButton_ = true, fullScreenButton_ = false, fullScreen_ = false;
    bool composite_ = false, liveResize_ = true;
    int32_t macProcID_ = 0, placement_ = 0;
    bool menuBarVisible_ = true, hasBackColor_ = false;
    Color backColor_ = Color::RGBA(255, 255, 255);
    Ref<fw::MenuBar> menuBar_;
    Ref<Picture> backdrop_;

    bool constructed_ = false, constructing_ = false, shownOnce_ = false;
    bool box_ = false;
    bool reportPending_ = false, pendingMoved_ = false, pendingResized_ = false;
    bool open_ = false, opened_ = false, closing_ = false, closed_ = false;
    // Geometry last reported through Moved / Resized.
    int32_t reportedLeft_ = 0, reportedTop_ = 0, reportedWidth_ = 0, reportedHeight_ = 0;
};

// The open window whose registered class name is `className`
// ("Window2.Window2"), or nil. With several, the one opened first.
Ref<Window> RuntimeGetImplicitWindow(const String& className);
// The open windows, in the order they were opened.
std::vector<Ref<Window>> RuntimeOpenWindows();
// The window in front (the active one, else the last shown), or nil.
Ref<Window> RuntimeFrontWindow();

}  // namespace fw
