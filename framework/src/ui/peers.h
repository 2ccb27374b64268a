// The Qt side of windows and controls.
#pragma once

#include <QImage>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "fw/ui/graphics.h"
#include "platform/surface.h"

namespace fw {
class Window;
class Control;
}  // namespace fw

namespace fw::detail {

struct ShownDrawing;

// The window's drawing surface, shared with every Graphics handed out for it,
// so a Graphics kept past the window's close still draws into valid memory.
struct Canvas {
    QImage image;
    // While set, `image` lies over the surface's pixels and the window shows
    // them from there; whoever changes them calls BeginWrite first.
    std::unique_ptr<platform::Surface> surface;
    // Drawing given while the window was hidden, in its order, not yet done
    // on `image`: whatever is about to show or change the image as it stands
    // calls Settle first.
    std::vector<std::function<void(Graphics&)>> pending;
    // Told each drawn area of the image, in its pixels.
    std::function<void(const QRect&)> changed;
    // Counts the writes to `image`.
    uint64_t revision = 0;
    // What `image` shows since it was last covered whole by a picture, when
    // nothing else has drawn on it since; a drawing that would only draw the
    // same again is left out (window_graphics.cpp).
    std::shared_ptr<ShownDrawing> shown;
    bool finishPosted = false;
    // Drawn on the surface in this batch of ticks and not shown yet, in pixels.
    QRect toShow;

    void BeginWrite() {
        ++revision;
        if (surface) surface->BeginWrite();
    }
    void Settle();
    // Only the pending drawing.
    void DrawPending();
    // Ends a drawing left out so far: draws what of it turned out to differ.
    void FinishRedraw();
    // Graphics straight onto `image`.
    Ref<Graphics> Drawing();
};

// A window's graphics over its canvas: drawing while `content` is hidden waits
// in the canvas's pending list.
Ref<Graphics> MakeWindowGraphics(std::shared_ptr<Canvas> canvas, QWidget* content);

class ContentWidget : public QWidget {
  public:
    ContentWidget(QWidget* parent, std::shared_ptr<Canvas> canvas);
    // Resizes the canvas to the widget's device pixels, keeping what was drawn.
    void FitCanvas();
    // Moves the canvas onto a platform surface where that can be: a window that
    // is drawn on from outside its paint events, every tick, is then shown
    // straight from the canvas instead of through a copy into the toolkit's
    // own buffer. Widget controls need the toolkit's painting, so a content
    // area with any keeps (or goes back to) the canvas of its own.
    void PreferSurface();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void childEvent(QChildEvent* event) override;
    QPaintEngine* paintEngine() const override;

  private:
    std::unique_ptr<platform::Surface> MakeSurface(const QSize& size);
    void LeaveSurface();

    std::shared_ptr<Canvas> canvas_;
    bool surfaceRefused_ = false;
};

class TopWidget : public QWidget {
  public:
    explicit TopWidget(Window* owner);
    Window* owner = nullptr;  // cleared when the window lets go
    ContentWidget* content = nullptr;
    QMenuBar* menuBar = nullptr;
    bool applying = false;
    // Places the bar and the content area inside the window.
    void LayoutChildren();
    int MenuBarHeight() const;

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class WindowPeer {
  public:
    explicit WindowPeer(Window* owner);
    ~WindowPeer();

    TopWidget* Top() const { return top_; }
    ContentWidget* Content() const { return top_ ? top_->content : nullptr; }
    std::shared_ptr<Canvas> CanvasStore() const { return canvas_; }

    // Re-reads the window's kind, buttons and limits.
    void ApplyFlags();
    void ApplyLimits();
    void ApplyGeometry();
    void ApplyBackground();
    // Rebuilds the menu bar when the menus or the bar to show changed.
    void RefreshMenu(bool force = false);

  private:
    Window* owner_;
    QPointer<TopWidget> top_;
    std::shared_ptr<Canvas> canvas_;
    const void* shownBar_ = nullptr;
    uint64_t menuRevision_ = 0;
};

class ControlPeer {
  public:
    ControlPeer(Control* owner, QWidget* widget);
    virtual ~ControlPeer();
    QWidget* Widget() const { return widget_; }
    // Pushes the control's properties onto the widget.
    virtual void Sync();

  protected:
    // Whether the control's text, set in `font`, fits the control's area.
    virtual bool TextFits(const QFont& font) const;

    Control* owner_;
    QPointer<QWidget> widget_;
};

// The window that a dialog of the framework belongs to: the document window
// in front, or none.
QWidget* DialogParent();
// Height of a window manager's title bar, in points: what the frames of the
// program's windows showed so far, or a usual figure before any was framed.
int TitleBarHeight();
// Learns the title bar's height from a window that a window manager framed.
void NoteFrame(const QWidget* top);
// Quits as Ctrl+Q does.
void QuitFromUser();

// Qt colour of a framework colour (alpha 0 is opaque).
QColor ToQColor(const fw::Color& c);

// Window places are desktop points, as the mouse and the displays count them:
// 0,0 at the main display's corner, and the same whole number of pixels to the
// point on every monitor. The toolkit keeps each monitor's corner at its pixel
// place and scales only within the monitor. At two pixels to the point, a
// monitor right of a 1280-pixel one starts at 640 in points but at 1280 for the
// toolkit, which leaves 640 to 1280 on no monitor at all; and with the main
// display right of another, the toolkit's 0 is a negative point. A rectangle
// crosses between the two through the monitor that holds its middle, which is
// also the monitor by which the toolkit puts it on the screen.
struct Rect64 {
    int64_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect64&) const = default;
};
struct ToolkitMonitor {
    QRect logical;  // the toolkit's coordinates
    QRect pixels;   // the same corner
    qreal ratio = 1;
};
struct ToolkitDesk {
    std::vector<ToolkitMonitor> monitors;
    QPoint mainCorner;  // the main display's, in pixels
    int pixelsPerPoint = 1;
};
ToolkitDesk CurrentToolkitDesk();
QRect ToToolkit(const ToolkitDesk& desk, const Rect64& points);
Rect64 FromToolkit(const ToolkitDesk& desk, const QRect& toolkit);
// The key sequence of a shortcut text such as "Cmd+P" (Command is Control here).
QKeySequence ShortcutSequence(const std::string& text);

}  // namespace fw::detail
