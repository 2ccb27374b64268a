// The control base: common properties, events and the native widget's life.
#include "fw/ui/control.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "fw/runtime/exceptions.h"
#include "fw/ui/application.h"
#include "fw/ui/window.h"
#include "ui/peers.h"
#include "ui/qt_graphics.h"
#include "ui/ui_state.h"

namespace fw {
namespace detail {

ControlPeer::ControlPeer(Control* owner, QWidget* widget) : owner_(owner), widget_(widget) {}

ControlPeer::~ControlPeer() {
    if (widget_) {
        // Deferred, and cut off from the control first: the control may leave
        // its window from inside one of the widget's own signals.
        QObject::disconnect(widget_, nullptr, nullptr, nullptr);
        widget_->hide();
        widget_->deleteLater();
    }
}

namespace {

// Text sizes are in points, like the layouts, so that a 12-point text takes 12
// points whatever the desktop's dots per inch. "System" at size 0 is the
// desktop's own family at the size the layouts were drawn for.
constexpr int kSystemTextSize = 12;
// Below this a smaller font no longer helps anyone read.
constexpr int kSmallestTextSize = 6;

}  // namespace

void ControlPeer::Sync() {
    if (!widget_) return;
    widget_->setGeometry(owner_->Left(), owner_->Top(), owner_->Width(), owner_->Height());
    widget_->setVisible(owner_->Visible());
    widget_->setEnabled(owner_->Enabled());
    QFont font = QApplication::font(widget_);
    if (owner_->TextFont().Bytes() != "System" && !owner_->TextFont().IsEmpty()) {
        font.setFamily(QString::fromUtf8(owner_->TextFont().CStr()));
    }
    font.setPixelSize(owner_->TextSize() > 0 ? std::max(1, int(std::lround(owner_->TextSize())))
                                             : kSystemTextSize);
    font.setBold(owner_->Bold());
    font.setItalic(owner_->Italic());
    font.setUnderline(owner_->Underline());
    // A text that the layout's room cannot hold in this font gets a smaller
    // one rather than being cut.
    if (owner_->Width() > 0 && owner_->Height() > 0) {
        while (font.pixelSize() > kSmallestTextSize && !TextFits(font))
            font.setPixelSize(font.pixelSize() - 1);
    }
    widget_->setFont(font);
}

bool ControlPeer::TextFits(const QFont&) const {
    return true;
}

namespace {

class CustomWidget : public QWidget {
  public:
    CustomWidget(QWidget* parent, CustomControl* control) : QWidget(parent), control_(control) {}
    CustomControl* control_;

  protected:
    void paintEvent(QPaintEvent*) override {
        // The control draws in points, a whole number of pixels each.
        const qreal ratio = devicePixelRatioF();
        const int scale = ratio > 1 ? int(ratio + 0.5) : 1;
        QImage image(QSize(std::max(1, width()) * scale, std::max(1, height()) * scale),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        {
            Ref<Graphics> g = qt::MakeImageGraphics(&image, nullptr);
            Ref<CustomControl> keep(control_);
            RuntimeDispatch([&]() { keep->PaintOn(*g); });
        }
        QPainter p(this);
        p.drawImage(QRectF(0, 0, width(), height()), image);
    }
    void mousePressEvent(QMouseEvent* e) override {
        Ref<CustomControl> keep(control_);
        const QPoint pos = e->position().toPoint();
        bool taken = false;
        RuntimeDispatch([&]() { taken = keep->DeliverMouseDown(pos.x(), pos.y()); });
        if (!taken) QWidget::mousePressEvent(e);
    }
};

}  // namespace
}  // namespace detail

const fw::ClassInfo& Control::ClassInfo() {
    static const fw::ClassInfo info("Control", nullptr, nullptr);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

Control::Control() = default;
Control::~Control() = default;

void Control::AttachTo(Window* owner, const String& name) {
    owner_ = owner;
    name_ = name;
    if (owner && owner->Peer() && !peer_) {
        peer_ = CreatePeer();
        if (peer_) {
            SyncPeer();
            peer_->Widget()->show();
            peer_->Widget()->setVisible(visible_);
        }
    }
    Attached();
}

void Control::Detach() {
    if (!owner_) return;
    Detaching();
    peer_.reset();
    owner_ = nullptr;
}

std::unique_ptr<detail::ControlPeer> Control::CreatePeer() {
    return nullptr;
}

void Control::SyncPeer() {
    if (peer_) peer_->Sync();
}

void Control::SetLeft(int32_t v) {
    left_ = v;
    SyncPeer();
}
void Control::SetTop(int32_t v) {
    top_ = v;
    SyncPeer();
}
void Control::SetWidth(int32_t v) {
    width_ = std::max<int32_t>(v, 0);
    SyncPeer();
}
void Control::SetHeight(int32_t v) {
    height_ = std::max<int32_t>(v, 0);
    SyncPeer();
}
void Control::SetVisible(bool v) {
    visible_ = v;
    SyncPeer();
}
void Control::SetEnabled(bool v) {
    enabled_ = v;
    SyncPeer();
}
void Control::SetTextFont(const String& v) {
    textFont_ = v;
    SyncPeer();
}
void Control::SetTextSize(double v) {
    textSize_ = v;
    SyncPeer();
}
void Control::SetBold(bool v) {
    bold_ = v;
    SyncPeer();
}
void Control::SetItalic(bool v) {
    italic_ = v;
    SyncPeer();
}
void Control::SetUnderline(bool v) {
    underline_ = v;
    SyncPeer();
}

void Control::Refresh(bool eraseBackground) {
    (void)eraseBackground;
    if (peer_ && peer_->Widget()) peer_->Widget()->update();
}

const PropertyValue* Control::StoredProperty(const String& name) const {
    auto it = stored_.find(name.Bytes());
    return it == stored_.end() ? nullptr : &it->second;
}

bool Control::IsStoredOnly(const std::string& n) const {
    // Values that this desktop gives no meaning, kept so they read back.
    static const char* const kNames[] = {
        "TabIndex",       "TabStop",     "TabPanelIndex",
        "AutoDeactivate", "HelpTag",     "InitialParent",
        "Index",          "LockLeft",    "LockTop",
        "LockRight",      "LockBottom",  "TextUnit",
        "DataField",      "DataSource",  "UseFocusRing",
        "AcceptFocus",    "Border",      "HideSelection",
        "AcceptTabs",     "Styled",      "AutomaticallyCheckSpelling",
        "Format",         "Mask",        "LimitText",
        "LineHeight",     "LineSpacing", "Alignment",
        "Scope",          "Transparent"};
    for (const char* k : kNames) {
        if (n == k) return true;
    }
    return false;
}

bool Control::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Left")
        SetLeft(v.AsInteger());
    else if (n == "Top")
        SetTop(v.AsInteger());
    else if (n == "Width")
        SetWidth(v.AsInteger());
    else if (n == "Height")
        SetHeight(v.AsInteger());
    else if (n == "Visible")
        SetVisible(v.AsBoolean());
    else if (n == "Enabled")
        SetEnabled(v.AsBoolean());
    else if (n == "TextFont")
        SetTextFont(v.AsString());
    else if (n == "TextSize")
        SetTextSize(v.AsDouble());
    else if (n == "Bold")
        SetBold(v.AsBoolean());
    else if (n == "Italic")
        SetItalic(v.AsBoolean());
    else if (n == "Underline")
        SetUnderline(v.AsBoolean());
    else if (IsStoredOnly(n))
        stored_.insert_or_assign(n, v);
    else
        return false;
    return true;
}

bool Control::HasEvent(const String& event) const {
    return event.Bytes() == "Open";
}

void Control::AddEventHandler(const String& event, EventHandler handler) {
    if (!HasEvent(event)) {
        const fw::ClassInfo* info = GetClassInfo();
        throw RuntimeException("Unknown event " + event.Bytes() + " of " +
                               (info ? info->Name() : std::string("control")));
    }
    handlers_[event.Bytes()].push_back(std::make_shared<const EventHandler>(std::move(handler)));
}

void Control::RaiseEvent(const String& event) {
    auto it = handlers_.find(event.Bytes());
    if (it == handlers_.end()) return;
    // The handlers there were when the event came, even if one adds more.
    const std::vector<std::shared_ptr<const EventHandler>>& handlers = it->second;
    Ref<Object> self(this);
    for (size_t i = 0, n = handlers.size(); i < n; ++i) {
        const std::shared_ptr<const EventHandler> h = handlers[i];
        RuntimeDispatch([&]() { (*h)(self); });
    }
}

void Control::RaiseOpen() {
    if (opened_) return;
    opened_ = true;
    RaiseEvent("Open");
}

void RuntimeAddEventHandler(const Ref<Control>& control, const String& event,
                            EventHandler handler) {
    if (!control) RaiseNilObject();
    control->AddEventHandler(event, std::move(handler));
}

// ---------------------------------------------------------------- custom

const fw::ClassInfo& CustomControl::ClassInfo() {
    static const fw::ClassInfo info("CustomControl", &Control::ClassInfo(),
                                    &CreateInstance<CustomControl>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

void CustomControl::Invalidate() {
    Refresh(true);
}

void CustomControl::Click(int32_t x, int32_t y) {
    Ref<CustomControl> keep(this);
    RuntimeDispatch([&]() { keep->MouseDown(x, y); });
}

std::unique_ptr<detail::ControlPeer> CustomControl::CreatePeer() {
    auto* widget = new detail::CustomWidget(Owner()->Peer()->Content(), this);
    return std::make_unique<detail::ControlPeer>(this, widget);
}

}  // namespace fw
