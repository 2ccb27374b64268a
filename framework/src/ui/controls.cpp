// The framework's own controls over Qt widgets.
#include "fw/ui/controls.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextEdit>
#include <algorithm>

#include "fw/runtime/exceptions.h"
#include "fw/ui/printing.h"
#include "fw/ui/window.h"
#include "ui/peers.h"
#include "ui/ui_state.h"

namespace fw {
namespace {

template <class T>
const fw::ClassInfo& ControlClass(const char* name) {
    static const fw::ClassInfo info(name, &Control::ClassInfo(), &CreateInstance<T>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

QString Q(const String& s) {
    return QString::fromUtf8(s.CStr());
}

// Carriage returns end lines in the framework's texts; Qt's widgets want line feeds.
QString DisplayText(const String& s) {
    QString q = Q(s);
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

QWidget* ParentOf(Control* c) {
    return c->Owner()->Peer()->Content();
}

bool Is(const String& event, const char* name) {
    return event.Bytes() == name;
}

// Whether a one-line caption fits the part of a button or check box that the
// style leaves for its text.
bool CaptionFits(QWidget* w, QStyle::SubElement part, const String& caption, const QFont& font,
                 const Control& c) {
    QStyleOptionButton opt;
    opt.initFrom(w);
    opt.rect = QRect(0, 0, c.Width(), c.Height());
    opt.text = Q(caption);
    opt.fontMetrics = QFontMetrics(font, w);
    const QRect room = w->style()->subElementRect(part, &opt, w);
    const QFontMetricsF fm(font, w);
    return fm.horizontalAdvance(opt.text) <= room.width() && fm.height() <= room.height();
}

// ---------------------------------------------------------------- peers

class ButtonPeer : public detail::ControlPeer {
  public:
    ButtonPeer(PushButton* b, QPushButton* w) : ControlPeer(b, w), button_(b), w_(w) {
        QObject::connect(w, &QPushButton::clicked, w, [this]() { button_->Push(); });
    }
    void Sync() override {
        ControlPeer::Sync();
        w_->setText(Q(button_->Caption()));
        w_->setDefault(button_->Default());
    }

  protected:
    bool TextFits(const QFont& font) const override {
        return CaptionFits(w_, QStyle::SE_PushButtonContents, button_->Caption(), font, *button_);
    }

  private:
    PushButton* button_;
    QPushButton* w_;
};

class LabelPeer : public detail::ControlPeer {
  public:
    LabelPeer(Label* l, QLabel* w) : ControlPeer(l, w), label_(l), w_(w) {}
    void Sync() override {
        ControlPeer::Sync();
        w_->setText(DisplayText(label_->Text()));
        Qt::Alignment a = Qt::AlignLeft;
        if (label_->TextAlign() == 1) a = Qt::AlignHCenter;
        if (label_->TextAlign() == 2) a = Qt::AlignRight;
        w_->setAlignment(a | (label_->Multiline() ? Qt::AlignTop : Qt::AlignVCenter));
        w_->setWordWrap(label_->Multiline());
        w_->setTextInteractionFlags(label_->Selectable() ? Qt::TextSelectableByMouse
                                                         : Qt::NoTextInteraction);
        QPalette pal = w_->palette();
        pal.setColor(QPalette::WindowText, detail::ToQColor(label_->TextColor()));
        w_->setPalette(pal);
        w_->setAutoFillBackground(!label_->Transparent());
    }

  protected:
    bool TextFits(const QFont& font) const override {
        const QRectF room(0, 0, label_->Width(), label_->Height());
        const int wrap = label_->Multiline() ? int(Qt::TextWordWrap) : 0;
        const QRectF need =
            QFontMetricsF(font, w_).boundingRect(room, wrap, DisplayText(label_->Text()));
        return need.width() <= room.width() && need.height() <= room.height();
    }

  private:
    Label* label_;
    QLabel* w_;
};

class CheckBoxPeer : public detail::ControlPeer {
  public:
    CheckBoxPeer(CheckBox* c, QCheckBox* w) : ControlPeer(c, w), box_(c), w_(w) {
        w->setTristate(false);
        QObject::connect(w, &QCheckBox::clicked, w, [this](bool) { box_->Click(); });
    }
    void Sync() override {
        ControlPeer::Sync();
        QSignalBlocker block(w_);
        w_->setText(Q(box_->Caption()));
        if (box_->State() == 2) {
            w_->setTristate(true);
            w_->setCheckState(Qt::PartiallyChecked);
        } else {
            w_->setCheckState(box_->Value() ? Qt::Checked : Qt::Unchecked);
        }
    }

  protected:
    bool TextFits(const QFont& font) const override {
        return CaptionFits(w_, QStyle::SE_CheckBoxContents, box_->Caption(), font, *box_);
    }

  private:
    CheckBox* box_;
    QCheckBox* w_;
};

class RoundRectWidget : public QWidget {
  public:
    RoundRectWidget(QWidget* parent, RoundRectangle* r) : QWidget(parent), rect_(r) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const int bw = std::max(0, rect_->BorderWidth());
        QPen pen(detail::ToQColor(rect_->BorderColor()));
        pen.setWidth(bw);
        p.setPen(bw > 0 ? pen : QPen(Qt::NoPen));
        p.setBrush(detail::ToQColor(rect_->FillColor()));
        const qreal inset = bw / 2.0;
        QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
        // Radii beyond half the size make an oval, as the oval sizes mean.
        const qreal rx = std::min<qreal>(rect_->OvalWidth() / 2.0, r.width() / 2.0);
        const qreal ry = std::min<qreal>(rect_->OvalHeight() / 2.0, r.height() / 2.0);
        p.drawRoundedRect(r, rx, ry);
    }

  private:
    RoundRectangle* rect_;
};

class TextAreaPeer : public detail::ControlPeer {
  public:
    TextAreaPeer(TextArea* t, QTextEdit* w) : ControlPeer(t, w), area_(t), w_(w) {
        w->setAcceptRichText(false);
        // What the user types becomes the area's text; the framework's own
        // updates run with the widget's signals blocked.
        QObject::connect(w, &QTextEdit::textChanged, w,
                         [this]() { area_->SetText(String(w_->toPlainText().toStdString())); });
    }
    void Sync() override {
        ControlPeer::Sync();
        const QString text = DisplayText(area_->Text());
        if (w_->toPlainText() != text) {
            QSignalBlocker block(w_);
            w_->setPlainText(text);
        }
        w_->setReadOnly(area_->ReadOnly());
        w_->setLineWrapMode(area_->Multiline() ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        w_->setVerticalScrollBarPolicy(area_->ScrollbarVertical() ? Qt::ScrollBarAlwaysOn
                                                                  : Qt::ScrollBarAlwaysOff);
        w_->setHorizontalScrollBarPolicy(area_->ScrollbarHorizontal() ? Qt::ScrollBarAsNeeded
                                                                      : Qt::ScrollBarAlwaysOff);
        QPalette pal = w_->palette();
        pal.setColor(QPalette::Text, detail::ToQColor(area_->TextColor()));
        pal.setColor(QPalette::Base, detail::ToQColor(area_->BackColor()));
        w_->setPalette(pal);
    }

  private:
    TextArea* area_;
    QTextEdit* w_;
};

}  // namespace

class SliderPeer : public detail::ControlPeer {
  public:
    SliderPeer(Slider* s, QSlider* w) : ControlPeer(s, w), slider_(s), w_(w) {
        // Qt reports drags through valueChanged when tracking, and the final
        // value on release otherwise: LiveScroll is tracking.
        QObject::connect(w, &QSlider::valueChanged, w,
                         [this](int v) { slider_->ChangeValue(v, true); });
    }
    void Sync() override {
        ControlPeer::Sync();
        QSignalBlocker block(w_);
        w_->setRange(slider_->Minimum(), slider_->Maximum());
        w_->setValue(slider_->Value());
        w_->setSingleStep(slider_->LineStep());
        w_->setPageStep(slider_->PageStep());
        w_->setTracking(slider_->LiveScroll());
        w_->setTickPosition(slider_->TickStyle() == 0 ? QSlider::NoTicks : QSlider::TicksBelow);
    }

  private:
    Slider* slider_;
    QSlider* w_;
};

// ==================================================================== PushButton

const fw::ClassInfo& PushButton::ClassInfo() {
    return ControlClass<PushButton>("PushButton");
}

void PushButton::SetCaption(const String& v) {
    caption_ = v;
    SyncPeer();
}
void PushButton::SetDefault(bool v) {
    default_ = v;
    SyncPeer();
}

void PushButton::Push() {
    RaiseEvent("Action");
}

bool PushButton::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Caption")
        SetCaption(v.AsString());
    else if (n == "Default")
        SetDefault(v.AsBoolean());
    else if (n == "Cancel")
        SetCancel(v.AsBoolean());
    else if (n == "ButtonStyle")
        SetButtonStyle(v.AsInteger());
    else
        return Control::SetProperty(name, v);
    return true;
}

bool PushButton::HasEvent(const String& event) const {
    return Is(event, "Action") || Control::HasEvent(event);
}

std::unique_ptr<detail::ControlPeer> PushButton::CreatePeer() {
    auto* w = new QPushButton(ParentOf(this));
    w->setAutoDefault(false);
    return std::make_unique<ButtonPeer>(this, w);
}

// ==================================================================== Label

const fw::ClassInfo& Label::ClassInfo() {
    return ControlClass<Label>("Label");
}

void Label::SetText(const String& v) {
    text_ = v;
    SyncPeer();
}
void Label::SetTextAlign(int32_t v) {
    textAlign_ = v;
    SyncPeer();
}
void Label::SetTextColor(Color v) {
    textColor_ = v;
    SyncPeer();
}
void Label::SetMultiline(bool v) {
    multiline_ = v;
    SyncPeer();
}
void Label::SetSelectable(bool v) {
    selectable_ = v;
    SyncPeer();
}
void Label::SetTransparent(bool v) {
    transparent_ = v;
    SyncPeer();
}

bool Label::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Text")
        SetText(v.AsString());
    else if (n == "TextAlign")
        SetTextAlign(v.AsInteger());
    else if (n == "TextColor")
        SetTextColor(v.AsColor());
    else if (n == "Multiline")
        SetMultiline(v.AsBoolean());
    else if (n == "Selectable")
        SetSelectable(v.AsBoolean());
    else if (n == "Transparent")
        SetTransparent(v.AsBoolean());
    else
        return Control::SetProperty(name, v);
    return true;
}

std::unique_ptr<detail::ControlPeer> Label::CreatePeer() {
    return std::make_unique<LabelPeer>(this, new QLabel(ParentOf(this)));
}

// ==================================================================== CheckBox

const fw::ClassInfo& CheckBox::ClassInfo() {
    return ControlClass<CheckBox>("CheckBox");
}

void CheckBox::SetCaption(const String& v) {
    caption_ = v;
    SyncPeer();
}

void CheckBox::ApplyState(int32_t state) {
    const bool before = value_;
    state_ = std::clamp<int32_t>(state, 0, 2);
    value_ = state_ == 1;
    SyncPeer();
    if (value_ != before) RaiseEvent("Action");
}

void CheckBox::SetValue(bool v) {
    ApplyState(v ? 1 : 0);
}
void CheckBox::SetState(int32_t v) {
    ApplyState(v);
}
void CheckBox::Click() {
    SetValue(!value_);
}

bool CheckBox::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Caption")
        SetCaption(v.AsString());
    else if (n == "Value")
        SetValue(v.AsBoolean());
    else if (n == "State")
        SetState(v.AsInteger());
    else
        return Control::SetProperty(name, v);
    return true;
}

bool CheckBox::HasEvent(const String& event) const {
    return Is(event, "Action") || Control::HasEvent(event);
}

std::unique_ptr<detail::ControlPeer> CheckBox::CreatePeer() {
    return std::make_unique<CheckBoxPeer>(this, new QCheckBox(ParentOf(this)));
}

// ==================================================================== Slider

const fw::ClassInfo& Slider::ClassInfo() {
    return ControlClass<Slider>("Slider");
}

void Slider::ChangeValue(int32_t v, bool fromUser) {
    (void)fromUser;
    const int32_t lo = std::min(minimum_, maximum_);
    const int32_t hi = std::max(minimum_, maximum_);
    v = std::clamp(v, lo, hi);
    if (v == value_) return;
    value_ = v;
    SyncPeer();
    RaiseEvent("ValueChanged");
}

void Slider::SetMinimum(int32_t v) {
    minimum_ = v;
    ChangeValue(value_, false);
    SyncPeer();
}
void Slider::SetMaximum(int32_t v) {
    maximum_ = v;
    ChangeValue(value_, false);
    SyncPeer();
}
void Slider::SetValue(int32_t v) {
    ChangeValue(v, false);
}
void Slider::SetLineStep(int32_t v) {
    lineStep_ = v;
    SyncPeer();
}
void Slider::SetPageStep(int32_t v) {
    pageStep_ = v;
    SyncPeer();
}
void Slider::SetLiveScroll(bool v) {
    liveScroll_ = v;
    SyncPeer();
}
void Slider::SetTickStyle(int32_t v) {
    tickStyle_ = v;
    SyncPeer();
}

void Slider::DragTo(int32_t v) {
    dragging_ = true;
    valueAtPress_ = v;
    if (liveScroll_) ChangeValue(v, true);
}

void Slider::EndDrag() {
    if (!dragging_) return;
    dragging_ = false;
    ChangeValue(valueAtPress_, true);
}

bool Slider::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Minimum")
        SetMinimum(v.AsInteger());
    else if (n == "Maximum")
        SetMaximum(v.AsInteger());
    else if (n == "Value")
        SetValue(v.AsInteger());
    else if (n == "LineStep")
        SetLineStep(v.AsInteger());
    else if (n == "PageStep")
        SetPageStep(v.AsInteger());
    else if (n == "LiveScroll")
        SetLiveScroll(v.AsBoolean());
    else if (n == "TickStyle")
        SetTickStyle(v.AsInteger());
    else
        return Control::SetProperty(name, v);
    return true;
}

bool Slider::HasEvent(const String& event) const {
    return Is(event, "ValueChanged") || Control::HasEvent(event);
}

std::unique_ptr<detail::ControlPeer> Slider::CreatePeer() {
    return std::make_unique<SliderPeer>(this, new QSlider(Qt::Horizontal, ParentOf(this)));
}

// ==================================================================== RoundRectangle

const fw::ClassInfo& RoundRectangle::ClassInfo() {
    return ControlClass<RoundRectangle>("RoundRectangle");
}

void RoundRectangle::SetFillColor(Color v) {
    fillColor_ = v;
    Refresh(true);
}
void RoundRectangle::SetBorderColor(Color v) {
    borderColor_ = v;
    Refresh(true);
}
void RoundRectangle::SetBorderWidth(int32_t v) {
    borderWidth_ = v;
    Refresh(true);
}
void RoundRectangle::SetOvalWidth(int32_t v) {
    ovalWidth_ = v;
    Refresh(true);
}
void RoundRectangle::SetOvalHeight(int32_t v) {
    ovalHeight_ = v;
    Refresh(true);
}

bool RoundRectangle::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "FillColor")
        SetFillColor(v.AsColor());
    else if (n == "BorderColor")
        SetBorderColor(v.AsColor());
    else if (n == "BorderWidth")
        SetBorderWidth(v.AsInteger());
    else if (n == "OvalWidth")
        SetOvalWidth(v.AsInteger());
    else if (n == "OvalHeight")
        SetOvalHeight(v.AsInteger());
    else
        return Control::SetProperty(name, v);
    return true;
}

std::unique_ptr<detail::ControlPeer> RoundRectangle::CreatePeer() {
    return std::make_unique<detail::ControlPeer>(this, new RoundRectWidget(ParentOf(this), this));
}

// ==================================================================== TextArea

const fw::ClassInfo& TextArea::ClassInfo() {
    return ControlClass<TextArea>("TextArea");
}

String TextArea::Text() const {
    return text_;
}
void TextArea::SetText(const String& v) {
    text_ = v;
    SyncPeer();
}
void TextArea::SetReadOnly(bool v) {
    readOnly_ = v;
    SyncPeer();
}
void TextArea::SetMultiline(bool v) {
    multiline_ = v;
    SyncPeer();
}
void TextArea::SetScrollbarVertical(bool v) {
    scrollbarVertical_ = v;
    SyncPeer();
}
void TextArea::SetScrollbarHorizontal(bool v) {
    scrollbarHorizontal_ = v;
    SyncPeer();
}
void TextArea::SetTextColor(Color v) {
    textColor_ = v;
    SyncPeer();
}
void TextArea::SetBackColor(Color v) {
    backColor_ = v;
    SyncPeer();
}

Ref<fw::StyledTextPrinter> TextArea::StyledTextPrinter(const Ref<Graphics>& g, int32_t width) {
    if (!g) RaiseNilObject();
    return New<fw::StyledTextPrinter>(Text(), g, width);
}

bool TextArea::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Text")
        SetText(v.AsString());
    else if (n == "ReadOnly")
        SetReadOnly(v.AsBoolean());
    else if (n == "Multiline")
        SetMultiline(v.AsBoolean());
    else if (n == "ScrollbarVertical")
        SetScrollbarVertical(v.AsBoolean());
    else if (n == "ScrollbarHorizontal")
        SetScrollbarHorizontal(v.AsBoolean());
    else if (n == "TextColor")
        SetTextColor(v.AsColor());
    else if (n == "BackColor")
        SetBackColor(v.AsColor());
    else
        return Control::SetProperty(name, v);
    return true;
}

bool TextArea::HasEvent(const String& event) const {
    return Is(event, "TextChange") || Control::HasEvent(event);
}

std::unique_ptr<detail::ControlPeer> TextArea::CreatePeer() {
    return std::make_unique<TextAreaPeer>(this, new QTextEdit(ParentOf(this)));
}

// ==================================================================== Timer

const fw::ClassInfo& Timer::ClassInfo() {
    return ControlClass<Timer>("Timer");
}

Timer::Timer() = default;

Timer::~Timer() {
    if (scheduleId) detail::StopTimer(scheduleId);
}

void Timer::Reschedule() {
    if (scheduleId) {
        detail::StopTimer(scheduleId);
        scheduleId = 0;
    }
    if (!Owner() || mode_ == kModeOff || period_ <= 0) return;
    scheduleId = detail::StartTimer(this, period_, mode_ == kModeMultiple);
}

void Timer::SetPeriod(int32_t ms) {
    if (ms == period_) return;
    period_ = ms;
    Reschedule();
}
void Timer::SetMode(int32_t mode) {
    if (mode == mode_) return;
    mode_ = std::clamp<int32_t>(mode, kModeOff, kModeMultiple);
    Reschedule();
}
void Timer::Reset() {
    Reschedule();
}

void Timer::Fire() {
    if (mode_ == kModeSingle) mode_ = kModeOff;
    RaiseEvent("Action");
}

void Timer::Attached() {
    Reschedule();
}

void Timer::Detaching() {
    if (scheduleId) {
        detail::StopTimer(scheduleId);
        scheduleId = 0;
    }
}

bool Timer::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Period")
        SetPeriod(v.AsInteger());
    else if (n == "Mode")
        SetMode(v.AsInteger());
    else
        return Control::SetProperty(name, v);
    return true;
}

bool Timer::HasEvent(const String& event) const {
    return Is(event, "Action") || Control::HasEvent(event);
}

}  // namespace fw
