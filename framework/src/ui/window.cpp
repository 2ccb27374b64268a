// Windows: the framework object, and the Qt top-level widget behind it.
#include "fw/ui/window.h"

#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "fw/runtime/exceptions.h"
#include "fw/runtime/loop.h"
#include "fw/ui/application.h"
#include "fw/ui/control.h"
#include "fw/ui/menu.h"
#include "fw/ui/picture.h"
#include "platform/screen.h"
#include "ui/peers.h"
#include "ui/qt_graphics.h"
#include "ui/ui_state.h"

namespace fw {
namespace detail {

QColor ToQColor(const fw::Color& c) {
    return QColor(c.red, c.green, c.blue, 255 - c.alpha);
}

namespace {

// Ctrl+Q quits from any window of the program, whichever has the focus.
class QuitShortcutFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Q && key->modifiers() == Qt::ControlModifier) {
                QuitFromUser();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void InstallQuitShortcut() {
    static QPointer<QObject> filter;
    if (filter || !QCoreApplication::instance()) return;
    filter = new QuitShortcutFilter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

// Until a window manager has framed one of the program's windows, the height
// its title bar is taken to have, in points.
constexpr int kUsualTitleBar = 24;
int g_titleBar = 0;
// How much of a title bar, across, is enough to take hold of it.
constexpr int64_t kGrip = 40;

}  // namespace

void NoteFrame(const QWidget* top) {
    const int title = top->geometry().y() - top->frameGeometry().y();
    if (title > 0 && title < 200) g_titleBar = title;
}

namespace {

// The desktop that windows are kept on: its monitors and the X screen that
// holds them all, in points.
struct Desk {
    std::vector<QRect> monitors;  // the main display first
    QRect screen;
};

Desk CurrentDesk() {
    Desk desk;
    for (const platform::DisplayInfo& d : platform::CurrentScreen().Displays()) {
        const QRect r(d.bounds.x, d.bounds.y, d.bounds.width, d.bounds.height);
        if (r.isEmpty()) continue;
        if (d.isMain) {
            desk.monitors.insert(desk.monitors.begin(), r);
        } else {
            desk.monitors.push_back(r);
        }
        desk.screen |= r;
    }
    return desk;
}

int64_t Clamp64(int64_t v, int64_t lo, int64_t hi) {
    return hi < lo ? lo : std::clamp(v, lo, hi);
}

}  // namespace

namespace {

// The monitor whose rectangle (toolkit or pixels) holds `p`, or else the nearest.
const ToolkitMonitor* MonitorAt(const ToolkitDesk& desk, QPoint p, bool inPixels) {
    const ToolkitMonitor* nearest = nullptr;
    double best = std::numeric_limits<double>::infinity();
    for (const ToolkitMonitor& m : desk.monitors) {
        const QRect& r = inPixels ? m.pixels : m.logical;
        const double dx = double(std::max<int64_t>(
            {int64_t(r.x()) - p.x(), 0, int64_t(p.x()) - (int64_t(r.x()) + r.width() - 1)}));
        const double dy = double(std::max<int64_t>(
            {int64_t(r.y()) - p.y(), 0, int64_t(p.y()) - (int64_t(r.y()) + r.height() - 1)}));
        const double d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            nearest = &m;
        }
    }
    return nearest;
}

// ceil(a / b) for b > 0.
int64_t CeilDiv(int64_t a, int64_t b) {
    return -qt::FloorDiv(-a, b);
}
int ToInt(int64_t v) {
    return int(
        std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

ToolkitDesk CurrentToolkitDesk() {
    ToolkitDesk desk;
    if (!QGuiApplication::instance()) return desk;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        const qreal ratio = s->devicePixelRatio() > 0 ? s->devicePixelRatio() : 1.0;
        const QSize size(qRound(g.width() * ratio), qRound(g.height() * ratio));
        desk.monitors.push_back({g, QRect(g.topLeft(), size), ratio});
    }
    if (QScreen* main = QGuiApplication::primaryScreen()) {
        desk.mainCorner = main->geometry().topLeft();
        desk.pixelsPerPoint = std::max(1, int(main->devicePixelRatio() + 0.5));
    }
    return desk;
}

// Rounded down on the way to the toolkit and up on the way back: a place goes
// there and back unchanged, and so does one that the toolkit gave, also where a
// monitor's corner falls between two points.
QRect ToToolkit(const ToolkitDesk& desk, const Rect64& r) {
    const int64_t p = desk.pixelsPerPoint;
    const int64_t x = desk.mainCorner.x() + r.x * p, y = desk.mainCorner.y() + r.y * p;
    const int64_t w = r.width * p, h = r.height * p;
    const ToolkitMonitor* m = MonitorAt(desk, QPoint(ToInt(x + w / 2), ToInt(y + h / 2)), true);
    if (!m) return QRect(ToInt(r.x), ToInt(r.y), ToInt(r.width), ToInt(r.height));
    const QPoint o = m->logical.topLeft();
    const qreal ratio = m->ratio;
    return QRect(ToInt(o.x() + int64_t(std::floor(qreal(x - o.x()) / ratio))),
                 ToInt(o.y() + int64_t(std::floor(qreal(y - o.y()) / ratio))),
                 ToInt(qRound64(qreal(w) / ratio)), ToInt(qRound64(qreal(h) / ratio)));
}

Rect64 FromToolkit(const ToolkitDesk& desk, const QRect& g) {
    const ToolkitMonitor* m = MonitorAt(desk, g.center(), false);
    if (!m) return {g.x(), g.y(), g.width(), g.height()};
    const int64_t p = desk.pixelsPerPoint;
    const QPoint o = m->logical.topLeft();
    const qreal ratio = m->ratio;
    const int64_t x = o.x() + qRound64((g.x() - o.x()) * ratio);
    const int64_t y = o.y() + qRound64((g.y() - o.y()) * ratio);
    return {CeilDiv(x - desk.mainCorner.x(), p), CeilDiv(y - desk.mainCorner.y(), p),
            qRound64(g.width() * ratio / qreal(p)), qRound64(g.height() * ratio / qreal(p))};
}

// A window's outer rectangle: its area, its menu bar and its title bar.
struct Outer {
    int64_t left, top, width, height;
    bool Within(const QRect& m) const {
        return left >= m.x() && top >= m.y() && left + width <= int64_t(m.x()) + m.width() &&
               top + height <= int64_t(m.y()) + m.height();
    }
};

namespace {

// The canvas has a whole number of pixels per point, whatever the toolkit's
// ratio, so every point of a drawing is the same square of pixels.
int CanvasScale(const QWidget* w) {
    const qreal r = w ? w->devicePixelRatioF() : 1.0;
    return r > 1 ? int(r + 0.5) : 1;
}

// The surface shows canvas pixels as the window's own pixels: only right
// when the toolkit's ratio is that same whole number.
bool ShowsCanvasPixels(const QWidget* w) {
    return w && w->devicePixelRatioF() == qreal(CanvasScale(w));
}

}  // namespace

int TitleBarHeight() {
    return g_titleBar > 0 ? g_titleBar : kUsualTitleBar;
}

void QuitFromUser() {
    RuntimeDispatch([]() { RB_ApplicationQuit(0); });
}

QWidget* DialogParent() {
    auto usable = [](Window* w) -> TopWidget* {
        if (!w || w->Frame() == Window::kFrameGlobalFloating || !w->Peer()) return nullptr;
        TopWidget* top = w->Peer()->Top();
        return top && top->isVisible() ? top : nullptr;
    };
    if (auto* active = dynamic_cast<TopWidget*>(QApplication::activeWindow())) {
        if (TopWidget* top = usable(active->owner)) return top;
    }
    const std::vector<Window*> open = OpenWindowList();
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (TopWidget* top = usable(*it)) return top;
    }
    return nullptr;
}

// ---------------------------------------------------------------- Content

ContentWidget::ContentWidget(QWidget* parent, std::shared_ptr<Canvas> canvas)
    : QWidget(parent), canvas_(std::move(canvas)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

namespace {

QImage SurfaceImage(platform::Surface& surface, int scale) {
    QImage image(surface.Bits(), surface.Width(), surface.Height(), qsizetype(surface.Stride()),
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    return image;
}

}  // namespace

void ContentWidget::FitCanvas() {
    const int scale = CanvasScale(this);
    const QSize want(std::max(1, width()) * scale, std::max(1, height()) * scale);
    QImage& image = canvas_->image;
    if (image.size() == want && qt::PixelsPerPoint(image) == scale) return;
    canvas_->Settle();  // onto the canvas it was given for
    ++canvas_->revision;
    std::unique_ptr<platform::Surface> surface;
    if (canvas_->surface) {
        if (ShowsCanvasPixels(this)) surface = MakeSurface(want);
        if (!surface) LeaveSurface();
    }
    QImage next = surface ? SurfaceImage(*surface, scale) : QImage(want, QImage::Format_RGB32);
    next.setDevicePixelRatio(scale);
    next.fill(palette().color(backgroundRole()));
    if (!image.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image);
    }
    image = std::move(next);
    if (surface) canvas_->surface = std::move(surface);
}

std::unique_ptr<platform::Surface> ContentWidget::MakeSurface(const QSize& size) {
    return platform::CurrentSurfaces().Create(uint64_t(winId()), size.width(), size.height());
}

void ContentWidget::PreferSurface() {
    if (canvas_->surface || surfaceRefused_) return;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        surfaceRefused_ = true;
        return;
    }
    if (findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) return;
    if (!ShowsCanvasPixels(this)) return;
    FitCanvas();
    setAttribute(Qt::WA_NativeWindow);
    std::unique_ptr<platform::Surface> surface = MakeSurface(canvas_->image.size());
    if (!surface) {
        surfaceRefused_ = true;
        return;
    }
    QImage next = SurfaceImage(*surface, qt::PixelsPerPoint(canvas_->image));
    {
        QPainter p(&next);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, canvas_->image);
    }
    canvas_->image = std::move(next);
    canvas_->surface = std::move(surface);
    // The toolkit leaves the painting of this window to us from now on: the
    // paint event only has the server show the canvas.
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    update();
}

void ContentWidget::LeaveSurface() {
    if (!canvas_->surface) return;
    const int scale = qt::PixelsPerPoint(canvas_->image);
    canvas_->image = canvas_->image.copy();
    canvas_->image.setDevicePixelRatio(scale);
    canvas_->surface.reset();
    setAttribute(Qt::WA_PaintOnScreen, false);
    setAttribute(Qt::WA_NoSystemBackground, false);
    surfaceRefused_ = true;
    update();
}

void ContentWidget::childEvent(QChildEvent* event) {
    if (event->added() && event->child()->isWidgetType()) LeaveSurface();
    QWidget::childEvent(event);
}

QPaintEngine* ContentWidget::paintEngine() const {
    return canvas_->surface ? nullptr : QWidget::paintEngine();
}

void ContentWidget::showEvent(QShowEvent* event) {
    canvas_->Settle();
    QWidget::showEvent(event);
}

void ContentWidget::paintEvent(QPaintEvent* event) {
    canvas_->Settle();
    const QRect r = event->rect();
    const QImage& image = canvas_->image;
    const int s = qt::PixelsPerPoint(image);
    const QRect px(r.x() * s, r.y() * s, r.width() * s, r.height() * s);
    if (canvas_->surface) {
        canvas_->surface->Show({px.x(), px.y(), px.width(), px.height()});
        return;
    }
    QPainter p(this);
    if (image.isNull()) {
        p.fillRect(r, palette().color(backgroundRole()));
        return;
    }
    p.drawImage(QRectF(r), image, QRectF(px));
}

void ContentWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitCanvas();
}

// ---------------------------------------------------------------- Top level

TopWidget::TopWidget(Window* w) : owner(w) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

int TopWidget::MenuBarHeight() const {
    if (!menuBar || menuBar->isHidden()) return 0;
    return menuBar->sizeHint().height();
}

void TopWidget::LayoutChildren() {
    const int mbh = MenuBarHeight();
    if (menuBar && mbh > 0) menuBar->setGeometry(0, 0, width(), mbh);
    if (content) content->setGeometry(0, mbh, width(), std::max(0, height() - mbh));
}

void TopWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A window manager that offers a zoom button on a window whose layout has
    // none (it keeps its own buttons whatever the hints say): the window goes
    // back to the size it had.
    if (event->type() == QEvent::WindowStateChange && owner && !owner->MaximizeButton() &&
        windowState().testFlag(Qt::WindowMaximized)) {
        QPointer<TopWidget> self(this);
        QTimer::singleShot(0, this, [self]() {
            if (self) self->setWindowState(self->windowState() & ~Qt::WindowMaximized);
        });
    }
}

void TopWidget::closeEvent(QCloseEvent* event) {
    // The framework decides when a window goes away; a window without a close
    // box stays (Alt+F4 and the window manager's menu included).
    event->ignore();
    if (!owner || !owner->CloseButton()) return;
    Ref<Window> keep(owner);
    WhenNoOpenEventRuns([keep]() { keep->Close(); });
}

void TopWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) NoteFrame(this);
    if (owner && !applying) {
        Ref<Window> keep(owner);
        keep->GeometryChanged();
    }
}

void TopWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChildren();
    if (owner && !applying) {
        Ref<Window> keep(owner);
        keep->GeometryChanged();
    }
}

// ---------------------------------------------------------------- Peer

namespace {

// Has the toolkit repaint the widget where the canvas changed, given in its pixels.
void UpdatePixels(QWidget& content, const Canvas& canvas, const QRect& r) {
    const qreal s = qt::PixelsPerPoint(canvas.image);
    content.update(QRectF(r.x() / s, r.y() / s, r.width() / s, r.height() / s).toAlignedRect());
}

// Has the server show what was drawn on a canvas's surface since the last
// time; a window that lost its surface or went away meanwhile repaints.
void ShowDrawn(const std::weak_ptr<Canvas>& weak, const QPointer<QWidget>& content) {
    auto canvas = weak.lock();
    if (!canvas) return;
    const QRect r = std::exchange(canvas->toShow, QRect());
    if (!content || r.isEmpty()) return;
    if (canvas->surface && content->isVisible()) {
        canvas->surface->Show({r.x(), r.y(), r.width(), r.height()});
        return;
    }
    UpdatePixels(*content, *canvas, r);
}

}  // namespace

WindowPeer::WindowPeer(Window* owner) : owner_(owner), canvas_(std::make_shared<Canvas>()) {
    EnsureToolkit();
    InstallQuitShortcut();
    top_ = new TopWidget(owner);
    top_->content = new ContentWidget(top_, canvas_);
    top_->content->setAutoFillBackground(false);
    canvas_->changed = [weak = std::weak_ptr<Canvas>(canvas_),
                        content = QPointer<QWidget>(top_->content)](const QRect& r) {
        auto canvas = weak.lock();
        if (!content || !canvas) return;
        // What a batch of ticks draws on a surface is shown when the batch
        // ends, in one request, without a paint event on the way: a tick draws
        // a picture and lines over it, and the next wake-up is its own.
        if (canvas->surface && content->isVisible()) {
            if (!canvas->toShow.isEmpty() ||
                AtBatchEnd([weak, content] { ShowDrawn(weak, content); })) {
                canvas->toShow |= r;
                return;
            }
        }
        UpdatePixels(*content, *canvas, r);
    };
    ApplyFlags();
    ApplyBackground();
}

WindowPeer::~WindowPeer() {
    if (top_) {
        top_->owner = nullptr;
        top_->hide();
        // Deferred: the window may be closing from inside one of its own events.
        top_->deleteLater();
    }
}

void WindowPeer::ApplyFlags() {
    if (!top_) return;
    const bool wasVisible = top_->isVisible();
    Qt::WindowFlags f = Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (owner_->Frame() == Window::kFrameGlobalFloating) {
        // Floats above every application's windows and never takes the focus
        // away from the application the user works in.
        f |= Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
        top_->setAttribute(Qt::WA_ShowWithoutActivating, true);
        top_->setAttribute(Qt::WA_X11DoNotAcceptFocus, true);
    } else {
        f |= Qt::WindowSystemMenuHint;
        // The about box is a dialog of the window it was opened from, and
        // stays above the floating windows.
        f |= owner_->IsBox() ? Qt::Dialog | Qt::WindowStaysOnTopHint : Qt::Window;
        top_->setAttribute(Qt::WA_ShowWithoutActivating, false);
        top_->setAttribute(Qt::WA_X11DoNotAcceptFocus, false);
    }
    if (owner_->CloseButton()) f |= Qt::WindowCloseButtonHint;
    if (owner_->MinimizeButton()) f |= Qt::WindowMinimizeButtonHint;
    if (owner_->MaximizeButton() && owner_->Resizeable()) f |= Qt::WindowMaximizeButtonHint;
    if (top_->windowFlags() != f) {
        top_->setWindowFlags(f);
        // Changing the flags of a shown widget hides it.
        if (wasVisible) top_->show();
    }
}

void WindowPeer::ApplyLimits() {
    if (!top_) return;
    const int mbh = top_->MenuBarHeight();
    const int w = owner_->Width(), h = owner_->Height();
    top_->applying = true;
    if (!owner_->Resizeable()) {
        top_->setFixedSize(w, h + mbh);
    } else {
        // A size that code set below the minimum stays reachable; the limits
        // bind the user's resizing, which the X screen bounds as well.
        int maxW = owner_->MaxWidth(), maxH = owner_->MaxHeight();
        const QRect screen = CurrentDesk().screen;
        if (!screen.isEmpty()) {
            maxW = std::min(maxW, screen.width());
            maxH = std::min(maxH, std::max(1, screen.height() - mbh));
        }
        top_->setMinimumSize(std::min(owner_->MinWidth(), w),
                             std::min(owner_->MinHeight(), h) + mbh);
        top_->setMaximumSize(std::min(QWIDGETSIZE_MAX, std::max(maxW, w)),
                             std::min(QWIDGETSIZE_MAX - mbh, std::max(maxH, h)) + mbh);
    }
    top_->applying = false;
}

void WindowPeer::ApplyGeometry() {
    if (!top_) return;
    ApplyLimits();
    const int mbh = top_->MenuBarHeight();
    top_->applying = true;
    top_->setGeometry(detail::ToToolkit(detail::CurrentToolkitDesk(),
                                        {owner_->Left(), int64_t(owner_->Top()) - mbh,
                                         owner_->Width(), int64_t(owner_->Height()) + mbh}));
    top_->LayoutChildren();
    top_->applying = false;
    top_->content->FitCanvas();
}

void WindowPeer::ApplyBackground() {
    if (!top_) return;
    QPalette pal = top_->content->palette();
    pal.setColor(QPalette::Window,
                 owner_->HasBackColor() ? ToQColor(owner_->BackColor()) : QColor(Qt::white));
    top_->content->setPalette(pal);
}

namespace {

QString MenuText(const String& s) {
    return QString::fromUtf8(s.CStr());
}

void AddItems(QMenu* menu, const Ref<MenuItem>& parent, Window* window);

void ConfigureAction(QAction* action, const Ref<MenuItem>& item, Window* window) {
    action->setText(MenuText(item->Text()));
    action->setShortcut(ShortcutSequence(item->KeyboardShortcut().Bytes()));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setVisible(item->Visible());
    action->setEnabled(item->Enabled());
    action->setCheckable(item->Checked());
    action->setChecked(item->Checked());
    action->setObjectName(MenuText(item->Name()));
    QPointer<TopWidget> top = window && window->Peer() ? window->Peer()->Top() : nullptr;
    const String name = item->Name();
    QObject::connect(action, &QAction::triggered, action, [top, name]() {
        Window* w = top ? top->owner : nullptr;
        Ref<Window> keep(w);
        RuntimeDispatch([&keep, &name]() { ChooseMenuItemFrom(keep.Get(), name); });
    });
}

void AddItems(QMenu* menu, const Ref<MenuItem>& parent, Window* window) {
    for (int32_t i = 0; i < parent->Count(); ++i) {
        Ref<MenuItem> item = parent->Item(i);
        if (item->IsSeparator()) {
            QAction* sep = menu->addSeparator();
            sep->setObjectName(MenuText(item->Name()));
            sep->setVisible(item->Visible());
        } else if (item->Count() > 0) {
            QMenu* sub = menu->addMenu(MenuText(item->Text()));
            sub->setObjectName(MenuText(item->Name()));
            sub->menuAction()->setObjectName(MenuText(item->Name()));
            sub->menuAction()->setVisible(item->Visible());
            AddItems(sub, item, window);
        } else {
            QAction* action = menu->addAction(QString());
            ConfigureAction(action, item, window);
        }
    }
}

bool HasQuitItem(const Ref<MenuItem>& parent) {
    for (int32_t i = 0; i < parent->Count(); ++i) {
        Ref<MenuItem> item = parent->Item(i);
        if (dynamic_cast<QuitMenuItem*>(item.Get()) || HasQuitItem(item)) return true;
    }
    return false;
}

// The application menu's Quit, which a desktop without a global application
// menu would not show anywhere: last in the first menu of the application's
// bar. Ctrl+Q itself is the framework's shortcut in every window, so the item
// only names it.
void AddApplicationQuit(QMenuBar* mb) {
    const QList<QAction*> menus = mb->actions();
    QMenu* first = menus.isEmpty() ? nullptr : menus.front()->menu();
    if (!first) return;
    first->addSeparator()->setObjectName(QStringLiteral("ApplicationQuitSeparator"));
    QAction* quit = first->addAction(QStringLiteral("&Quit\tCtrl+Q"));
    quit->setObjectName(QStringLiteral("ApplicationQuit"));
    QObject::connect(quit, &QAction::triggered, quit, []() { QuitFromUser(); });
}

}  // namespace

void WindowPeer::RefreshMenu(bool force) {
    if (!top_) return;
    Ref<MenuBar> bar = owner_->MenuBar();
    bool applicationBar = false;
    if (!bar && owner_->Frame() != Window::kFrameGlobalFloating) {
        if (Ref<Application> app = getAppObject()) bar = app->MenuBar();
        applicationBar = bool(bar);
    }
    if (!owner_->MenuBarVisible()) bar = Ref<MenuBar>();
    const uint64_t revision = MenuItem::Revision();
    if (!force && bar.Get() == shownBar_ && revision == menuRevision_) return;
    const int oldHeight = top_->MenuBarHeight();
    shownBar_ = bar.Get();
    menuRevision_ = revision;
    if (top_->menuBar) {
        top_->menuBar->hide();
        top_->menuBar->deleteLater();
        top_->menuBar = nullptr;
    }
    if (bar) {
        auto* mb = new QMenuBar(top_);
        mb->setNativeMenuBar(false);
        for (int32_t i = 0; i < bar->Count(); ++i) {
            Ref<MenuItem> menuItem = bar->Item(i);
            QMenu* menu = mb->addMenu(MenuText(menuItem->Text()));
            menu->setObjectName(MenuText(menuItem->Name()));
            menu->menuAction()->setObjectName(MenuText(menuItem->Name()));
            menu->menuAction()->setVisible(menuItem->Visible());
            AddItems(menu, menuItem, owner_);
        }
        if (applicationBar && !HasQuitItem(bar)) AddApplicationQuit(mb);
        mb->show();
        top_->menuBar = mb;
    }
    if (top_->MenuBarHeight() != oldHeight) {
        ApplyGeometry();
    } else {
        top_->LayoutChildren();
    }
}

void ScheduleMenuRefresh() {
    if (!ToolkitReady()) return;
    static bool pending = false;
    if (pending) return;
    pending = true;
    QTimer::singleShot(0, []() {
        pending = false;
        RefreshAllMenuBars();
    });
}

void RefreshAllMenuBars() {
    for (Window* w : OpenWindowList()) {
        if (w->Peer()) w->Peer()->RefreshMenu();
    }
}

}  // namespace detail

// ==================================================================== Window

const fw::ClassInfo& Window::ClassInfo() {
    static const fw::ClassInfo info("Window", nullptr, &CreateInstance<Window>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

Window::Window() = default;

Window::~Window() {
    for (auto& [name, control] : controls_) control->Detach();
}

void Window::EnsurePeer() {
    if (peer_ || closed_) return;
    peer_ = std::make_unique<detail::WindowPeer>(this);
    peer_->Top()->setWindowTitle(QString::fromUtf8(title_.CStr()));
    ApplyGeometry();
}

void Window::Constructor() {
    if (constructed_ || constructing_ || closed_) return;
    constructing_ = true;
    EnsurePeer();
    open_ = true;
    detail::RegisterOpenWindow(this);
    try {
        RaiseEvent(WindowEvent::kLayout);
        RaiseEvent(WindowEvent::kCreateControls);
        RaiseEvent(WindowEvent::kAddMenuHandlers);
    } catch (...) {
        // A window that could not be built is not left half-open on the desktop.
        constructing_ = false;
        closing_ = closed_ = true;
        open_ = false;
        detail::UnregisterOpenWindow(this);
        for (auto& [name, control] : controls_) control->Detach();
        peer_.reset();
        throw;
    }
    constructing_ = false;
    constructed_ = true;
    if (peer_) peer_->RefreshMenu(true);
    // The menu bar, now there, takes room that the screen must hold too.
    Constrain();
    ApplyGeometry();
    reportedLeft_ = left_;
    reportedTop_ = top_;
    reportedWidth_ = width_;
    reportedHeight_ = height_;
    if (visible_) Show();
}

void Window::HookEvent(WindowEvent event, std::function<void()> handler) {
    hooks_[event].push_back(std::move(handler));
}

void Window::RaiseEvent(WindowEvent event) {
    auto it = hooks_.find(event);
    if (it == hooks_.end()) return;
    const auto handlers = it->second;  // a handler may hook more
    const bool construction = event == WindowEvent::kLayout ||
                              event == WindowEvent::kCreateControls ||
                              event == WindowEvent::kAddMenuHandlers;
    for (const auto& h : handlers) {
        if (construction) {
            h();
        } else {
            RuntimeDispatch(h);
        }
    }
}

// ---------------------------------------------------------------- geometry

int32_t Window::Left() const {
    return left_;
}
int32_t Window::Top() const {
    return top_;
}
int32_t Window::Width() const {
    return width_;
}
int32_t Window::Height() const {
    return height_;
}

void Window::ApplyGeometry() {
    if (peer_) peer_->ApplyGeometry();
}

void Window::RaiseGeometryEvents(bool moved, bool resized) {
    if (!constructed_ || closing_) {
        reportedLeft_ = left_;
        reportedTop_ = top_;
        reportedWidth_ = width_;
        reportedHeight_ = height_;
        return;
    }
    moved = moved || left_ != reportedLeft_ || top_ != reportedTop_;
    resized = resized || width_ != reportedWidth_ || height_ != reportedHeight_;
    reportedLeft_ = left_;
    reportedTop_ = top_;
    reportedWidth_ = width_;
    reportedHeight_ = height_;
    Ref<Window> keep(this);
    if (moved) RaiseEvent(WindowEvent::kMoved);
    if (resized) RaiseEvent(WindowEvent::kResized);
}

int Window::MenuBarHeight() const {
    return peer_ && peer_->Top() ? peer_->Top()->MenuBarHeight() : 0;
}

void Window::Constrain() {
    const detail::Desk desk = detail::CurrentDesk();
    const int64_t mbh = MenuBarHeight();
    const int64_t title = detail::TitleBarHeight();
    // Code may go below the minimum, though never so narrow that the title
    // bar could not be taken hold of; and never beyond the maximum or the X
    // screen, frame included.
    int64_t maxW = maxWidth_, maxH = maxHeight_;
    if (!desk.screen.isEmpty()) {
        maxW = std::min<int64_t>(maxW, desk.screen.width());
        maxH = std::min<int64_t>(maxH, desk.screen.height() - mbh - title);
    }
    width_ = int32_t(detail::Clamp64(width_, std::min<int64_t>(minWidth_, detail::kGrip), maxW));
    height_ = int32_t(detail::Clamp64(height_, 1, maxH));
    if (desk.monitors.empty()) return;

    // The title bar lies above the menu bar; it is within reach on a monitor
    // that holds the middle of its height (its real height may differ a
    // little from what is assumed of it) and enough of its width to take
    // hold of.
    const int64_t left = left_, width = width_;
    const int64_t outerTop = int64_t(top_) - mbh - title;
    const int64_t outerHeight = height_ + mbh + title;
    const int64_t middle = outerTop + title / 2;
    for (const QRect& m : desk.monitors) {
        const int64_t across = std::min<int64_t>(left + width, int64_t(m.x()) + m.width()) -
                               std::max<int64_t>(left, m.x());
        if (middle >= m.y() && middle < int64_t(m.y()) + m.height() &&
            across >= std::min(width, detail::kGrip))
            return;
    }
    // Out of reach: wholly onto the monitor nearest to the window's middle.
    const int64_t cx = left + width / 2, cy = outerTop + outerHeight / 2;
    const QRect* nearest = nullptr;
    int64_t best = std::numeric_limits<int64_t>::max();
    for (const QRect& m : desk.monitors) {
        const int64_t dx =
            std::max<int64_t>({int64_t(m.x()) - cx, 0, cx - (int64_t(m.x()) + m.width())});
        const int64_t dy =
            std::max<int64_t>({int64_t(m.y()) - cy, 0, cy - (int64_t(m.y()) + m.height())});
        const int64_t d = dx * dx / 2 + dy * dy / 2;  // halved: stays within range
        if (d < best) {
            best = d;
            nearest = &m;
        }
    }
    const QRect& m = *nearest;
    left_ = int32_t(detail::Clamp64(left, m.x(), int64_t(m.x()) + m.width() - width));
    top_ = int32_t(detail::Clamp64(outerTop, m.y(), int64_t(m.y()) + m.height() - outerHeight) +
                   mbh + title);
}

detail::Outer Window::OuterRect() const {
    const int64_t above = int64_t(MenuBarHeight()) + detail::TitleBarHeight();
    return {left_, int64_t(top_) - above, width_, height_ + above};
}

void Window::PlaceByDefault() {
    const detail::Desk desk = detail::CurrentDesk();
    if (desk.monitors.empty()) return;
    const QRect& m = desk.monitors.front();
    const int64_t mbh = MenuBarHeight(), title = detail::TitleBarHeight();
    const int64_t outerHeight = height_ + mbh + title;
    left_ = int32_t(int64_t(m.x()) + std::max<int64_t>(0, (m.width() - int64_t(width_)) / 2));
    top_ = int32_t(int64_t(m.y()) + std::max<int64_t>(0, (m.height() - outerHeight) / 2) + mbh +
                   title);
    // Put in place as part of opening, like the layout's values: no Moved.
    reportedLeft_ = left_;
    reportedTop_ = top_;
    ApplyGeometry();
}

void Window::RequestGeometry(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    // Code asked for a new place or size: that is a move or a resize, also
    // where the desktop leaves the window where it was.
    const bool askedMove = left != left_ || top != top_;
    const bool askedResize = width != width_ || height != height_;
    // A place moved into reach is tried again at each new size code gives,
    // so that the place and the size end the same in either order of setting.
    if (!askedMove && placeMoved_) {
        left = askedLeft_;
        top = askedTop_;
    }
    // A window wholly on a monitor stays wholly on it when code makes it
    // larger, as far as it fits: growing does not push it off the screen.
    std::optional<QRect> holder;
    if (askedResize) {
        const detail::Outer before = OuterRect();
        for (const QRect& m : detail::CurrentDesk().monitors) {
            if (before.Within(m)) holder = m;
        }
    }
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Constrain();
    if (holder && !OuterRect().Within(*holder)) {
        const detail::Outer o = OuterRect();
        const QRect& m = *holder;
        left_ = int32_t(detail::Clamp64(o.left, m.x(), int64_t(m.x()) + m.width() - o.width));
        top_ = int32_t(detail::Clamp64(o.top, m.y(), int64_t(m.y()) + m.height() - o.height) +
                       (int64_t(top_) - o.top));
    }
    const bool moved = left_ != left || top_ != top;
    const bool resized = width_ != width || height_ != height;
    placeMoved_ = moved;
    askedLeft_ = left;
    askedTop_ = top;
    ApplyGeometry();
    RaiseGeometryEvents(askedMove, askedResize);
    if (moved || resized) ReportLater(moved, resized);
}

void Window::ReportLater(bool moved, bool resized) {
    if (!constructed_ || closing_ || !peer_ || !peer_->Top()) return;
    pendingMoved_ = pendingMoved_ || moved;
    pendingResized_ = pendingResized_ || resized;
    if (reportPending_) return;
    reportPending_ = true;
    QPointer<detail::TopWidget> top = peer_->Top();
    QTimer::singleShot(0, top, [top]() {
        if (!top || !top->owner) return;
        Ref<Window> keep(top->owner);
        keep->ReportAdjusted();
    });
}

void Window::ReportAdjusted() {
    const bool moved = pendingMoved_, resized = pendingResized_;
    reportPending_ = pendingMoved_ = pendingResized_ = false;
    if (!open_ || closing_) return;
    Ref<Window> keep(this);
    if (moved) RaiseEvent(WindowEvent::kMoved);
    if (resized) RaiseEvent(WindowEvent::kResized);
}

void Window::SetLeft(int32_t v) {
    positionSet_ = true;
    RequestGeometry(v, top_, width_, height_);
}
void Window::SetTop(int32_t v) {
    positionSet_ = true;
    RequestGeometry(left_, v, width_, height_);
}
void Window::SetWidth(int32_t v) {
    RequestGeometry(left_, top_, v, height_);
}
void Window::SetHeight(int32_t v) {
    RequestGeometry(left_, top_, width_, v);
}

void Window::SetMinWidth(int32_t v) {
    minWidth_ = std::max<int32_t>(v, 1);
    if (peer_) peer_->ApplyLimits();
}
void Window::SetMinHeight(int32_t v) {
    minHeight_ = std::max<int32_t>(v, 1);
    if (peer_) peer_->ApplyLimits();
}
void Window::SetMaxWidth(int32_t v) {
    maxWidth_ = std::max<int32_t>(v, 1);
    if (peer_) peer_->ApplyLimits();
    if (width_ > maxWidth_) RequestGeometry(left_, top_, maxWidth_, height_);
}
void Window::SetMaxHeight(int32_t v) {
    maxHeight_ = std::max<int32_t>(v, 1);
    if (peer_) peer_->ApplyLimits();
    if (height_ > maxHeight_) RequestGeometry(left_, top_, width_, maxHeight_);
}

void Window::GeometryChanged() {
    if (!peer_ || !peer_->Top() || closing_) return;
    detail::TopWidget* top = peer_->Top();
    const detail::Rect64 g = detail::FromToolkit(detail::CurrentToolkitDesk(), top->geometry());
    const int64_t mbh = top->MenuBarHeight();
    // Moved by the user or the window manager: that place is the window's now.
    if (g.x != left_ || g.y + mbh != top_) placeMoved_ = false;
    left_ = detail::ToInt(g.x);
    top_ = detail::ToInt(g.y + mbh);
    width_ = detail::ToInt(g.width);
    height_ = detail::ToInt(std::max<int64_t>(1, g.height - mbh));
    RaiseGeometryEvents();
}

// ---------------------------------------------------------------- appearance

void Window::SetTitle(const String& v) {
    title_ = v;
    if (peer_) peer_->Top()->setWindowTitle(QString::fromUtf8(v.CStr()));
}

bool Window::Visible() const {
    if (!constructed_) return visible_;
    return open_ && peer_ && peer_->Top() && peer_->Top()->isVisible();
}

void Window::SetVisible(bool v) {
    if (!constructed_) {
        visible_ = v;
        return;
    }
    if (v) {
        Show();
    } else {
        Hide();
    }
}

void Window::OpenNow() {
    opened_ = true;
    Ref<Window> keep(this);
    detail::RunAsOpenEvent([this]() {
        for (auto& [name, control] : std::vector(controls_)) control->RaiseOpen();
        RaiseEvent(WindowEvent::kOpen);
    });
}

void Window::Show() {
    if (!constructed_ || !open_ || closing_) {
        if (!constructed_) visible_ = true;
        return;
    }
    visible_ = true;
    if (!opened_) {
        OpenNow();
        if (!open_ || closing_) return;  // the Open handler closed it
    }
    if (!peer_ || !peer_->Top()) return;
    if (!shownOnce_) {
        shownOnce_ = true;
        if (detail::AboutCommandRunning() && !box_) BecomeBoxOf(detail::AboutCommandOrigin());
        if (!positionSet_) PlaceByDefault();
    }
    detail::TopWidget* top = peer_->Top();
    top->applying = true;
    // A window the user minimised comes back as it was, whether it counts as
    // shown (iconified) or was hidden since: the toolkit would map it
    // minimised again.
    if (top->windowState().testFlag(Qt::WindowMinimized))
        top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    if (!top->isVisible()) top->show();
    top->applying = false;
    detail::NoteFrame(top);
    // Floating windows float already, and never take the focus from the
    // application in use; raising them would put them over the boxes and
    // dialogs that belong above them.
    if (frame_ != kFrameGlobalFloating && QGuiApplication::platformName() == QLatin1String("xcb")) {
        top->raise();
        top->activateWindow();
    }
    detail::NoteWindowShown(this);
}

void Window::BecomeBoxOf(Window* opener) {
    box_ = true;
    if (!peer_ || !peer_->Top()) return;
    peer_->ApplyFlags();
    if (!opener || opener == this || !opener->Peer() || !opener->Peer()->Top()) return;
    // A top level with a parent is transient for it: the window manager keeps
    // it above the opener and takes it along.
    QWidget* top = peer_->Top();
    top->setParent(opener->Peer()->Top(), top->windowFlags());
}

void Window::Hide() {
    if (!constructed_) {
        visible_ = false;
        return;
    }
    visible_ = false;
    if (peer_ && peer_->Top() && peer_->Top()->isVisible()) peer_->Top()->hide();
}

void Window::Close() {
    if (!open_ || closing_) return;
    closing_ = true;
    Ref<Window> keep(this);
    RaiseEvent(WindowEvent::kClose);
    for (auto& [name, control] : controls_) control->Detach();
    detail::UnregisterOpenWindow(this);
    open_ = false;
    closed_ = true;
    peer_.reset();
}

void Window::SetFrame(int32_t v) {
    frame_ = v;
    if (peer_) {
        peer_->ApplyFlags();
        // The constructor builds the menu bar once its layout is complete.
        if (constructed_) peer_->RefreshMenu();
    }
}
void Window::SetCloseButton(bool v) {
    closeButton_ = v;
    if (peer_) peer_->ApplyFlags();
}
void Window::SetResizeable(bool v) {
    resizeable_ = v;
    if (peer_) {
        peer_->ApplyFlags();
        peer_->ApplyLimits();
    }
}
void Window::SetMaximizeButton(bool v) {
    maximizeButton_ = v;
    if (peer_) peer_->ApplyFlags();
}
void Window::SetMinimizeButton(bool v) {
    minimizeButton_ = v;
    if (peer_) peer_->ApplyFlags();
}
void Window::SetFullScreen(bool v) {
    fullScreen_ = v;
    if (peer_ && peer_->Top() && constructed_) {
        if (v) {
            peer_->Top()->showFullScreen();
        } else if (peer_->Top()->isFullScreen()) {
            peer_->Top()->showNormal();
        }
    }
}
void Window::SetMenuBarVisible(bool v) {
    menuBarVisible_ = v;
    if (peer_ && constructed_) peer_->RefreshMenu();
}
void Window::SetHasBackColor(bool v) {
    hasBackColor_ = v;
    if (peer_) peer_->ApplyBackground();
}
void Window::SetBackColor(Color v) {
    backColor_ = v;
    if (peer_) peer_->ApplyBackground();
}

void Window::SetMenuBar(Ref<fw::MenuBar> bar) {
    menuBar_ = std::move(bar);
    if (peer_ && constructed_) peer_->RefreshMenu();
}

void Window::SetBackdrop(Ref<Picture> picture) {
    backdrop_ = std::move(picture);
    if (!backdrop_ || !peer_) return;
    auto canvas = peer_->CanvasStore();
    if (canvas->image.isNull()) peer_->Content()->FitCanvas();
    canvas->Settle();
    canvas->BeginWrite();
    // One picture pixel to a point, like any picture drawn at its own size.
    qt::MakeImageGraphics(&canvas->image, nullptr)
        ->DrawPicture(backdrop_, 0, 0, backdrop_->Width(), backdrop_->Height());
    if (peer_->Content()) peer_->Content()->update();
}

Ref<fw::Graphics> Window::Graphics() {
    EnsurePeer();
    if (!peer_) throw NilObjectException("The window is closed");
    auto canvas = peer_->CanvasStore();
    if (canvas->image.isNull()) peer_->Content()->FitCanvas();
    peer_->Content()->PreferSurface();
    return detail::MakeWindowGraphics(canvas, peer_->Content());
}

// ---------------------------------------------------------------- controls

Ref<Object> Window::New(const fw::ClassInfo& cls) {
    return RuntimeNewObject(cls);
}

void Window::AddControl(const String& name, Ref<Control> control) {
    if (!control) RaiseNilObject();
    for (auto& [n, c] : controls_) {
        if (n == name.Bytes()) throw RuntimeException("A control named " + n + " exists already");
    }
    controls_.emplace_back(name.Bytes(), control);
    if (!closed_) {
        EnsurePeer();
        control->AttachTo(this, name);
        if (opened_) control->RaiseOpen();
    }
}

Ref<Control> Window::ControlByName(const String& name) const {
    for (auto& [n, c] : controls_) {
        if (n == name.Bytes()) return c;
    }
    return Ref<Control>();
}

Ref<Control> Window::ControlAt(int32_t index) const {
    if (index < 0 || index >= ControlCount()) {
        throw OutOfBoundsException("Control index out of bounds: " + std::to_string(index));
    }
    return controls_[size_t(index)].second;
}

void Window::AddMenuHandler(const String& itemName, MenuHandler handler) {
    for (auto& [name, h] : menuHandlers_) {
        if (name == itemName) {
            h = std::move(handler);
            return;
        }
    }
    menuHandlers_.emplace_back(itemName, std::move(handler));
}

bool Window::HandleMenuItem(const String& itemName) {
    for (auto& [name, h] : menuHandlers_) {
        if (name == itemName && h) {
            MenuHandler copy = h;
            return copy();
        }
    }
    return false;
}

// ---------------------------------------------------------------- properties

bool Window::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Left")
        SetLeft(v.AsInteger());
    else if (n == "Top")
        SetTop(v.AsInteger());
    else if (n == "Width")
        SetWidth(v.AsInteger());
    else if (n == "Height")
        SetHeight(v.AsInteger());
    else if (n == "MinWidth")
        SetMinWidth(v.AsInteger());
    else if (n == "MinHeight")
        SetMinHeight(v.AsInteger());
    else if (n == "MaxWidth")
        SetMaxWidth(v.AsInteger());
    else if (n == "MaxHeight")
        SetMaxHeight(v.AsInteger());
    else if (n == "Title")
        SetTitle(v.AsString());
    else if (n == "Visible")
        SetVisible(v.AsBoolean());
    else if (n == "Frame")
        SetFrame(v.AsInteger());
    else if (n == "CloseButton")
        SetCloseButton(v.AsBoolean());
    else if (n == "Resizeable")
        SetResizeable(v.AsBoolean());
    else if (n == "MaximizeButton")
        SetMaximizeButton(v.AsBoolean());
    else if (n == "MinimizeButton")
        SetMinimizeButton(v.AsBoolean());
    else if (n == "FullScreenButton")
        SetFullScreenButton(v.AsBoolean());
    else if (n == "FullScreen")
        SetFullScreen(v.AsBoolean());
    else if (n == "Composite")
        SetComposite(v.AsBoolean());
    else if (n == "LiveResize")
        SetLiveResize(v.AsBoolean());
    else if (n == "MacProcID")
        SetMacProcID(v.AsInteger());
    else if (n == "Placement")
        SetPlacement(v.AsInteger());
    else if (n == "MenuBarVisible")
        SetMenuBarVisible(v.AsBoolean());
    else if (n == "HasBackColor")
        SetHasBackColor(v.AsBoolean());
    else if (n == "BackColor")
        SetBackColor(v.AsColor());
    else
        return false;
    return true;
}

// ---------------------------------------------------------------- lookups

Ref<Window> RuntimeGetImplicitWindow(const String& className) {
    for (Window* w : detail::OpenWindowList()) {
        const fw::ClassInfo* info = w->GetClassInfo();
        if (info && info->Name() == className.Bytes()) return Ref<Window>(w);
    }
    return Ref<Window>();
}

std::vector<Ref<Window>> RuntimeOpenWindows() {
    std::vector<Ref<Window>> out;
    for (Window* w : detail::OpenWindowList()) out.emplace_back(w);
    return out;
}

Ref<Window> RuntimeFrontWindow() {
    if (QApplication::instance()) {
        if (auto* top = dynamic_cast<detail::TopWidget*>(QApplication::activeWindow())) {
            if (top->owner) return Ref<Window>(top->owner);
        }
    }
    if (Window* w = detail::LastShownWindow()) return Ref<Window>(w);
    return Ref<Window>();
}

}  // namespace fw
