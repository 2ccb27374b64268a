// The framework's controls. Each is registered by its class name ("PushButton",
// "Label", ...) and raises the events named beside it.
#pragma once

#include <cstdint>

#include "fw/ui/control.h"

namespace fw {

class Graphics;
class StyledTextPrinter;

// Events: Action (a click, or Push).
class PushButton : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    const String& Caption() const noexcept { return caption_; }
    void SetCaption(const String& v);
    bool Default() const noexcept { return default_; }
    void SetDefault(bool v);
    bool Cancel() const noexcept { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    int32_t ButtonStyle() const noexcept { return buttonStyle_; }
    void SetButtonStyle(int32_t v) { buttonStyle_ = v; }

    // Raises Action before it returns, as a click would.
    void Push();

    bool SetProperty(const String& name, const PropertyValue& value) override;
    bool HasEvent(const String& event) const override;

  protected:
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;

  private:
    String caption_ = "Untitled";
    bool default_ = false, cancel_ = false;
    int32_t buttonStyle_ = 0;
};

// Static text. Events: Open.
class Label : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    const String& Text() const noexcept { return text_; }
    void SetText(const String& v);
    // 0 left, 1 centre, 2 right.
    int32_t TextAlign() const noexcept { return textAlign_; }
    void SetTextAlign(int32_t v);
    Color TextColor() const noexcept { return textColor_; }
    void SetTextColor(Color v);
    bool Multiline() const noexcept { return multiline_; }
    void SetMultiline(bool v);
    bool Selectable() const noexcept { return selectable_; }
    void SetSelectable(bool v);
    bool Transparent() const noexcept { return transparent_; }
    void SetTransparent(bool v);

    bool SetProperty(const String& name, const PropertyValue& value) override;

  protected:
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;

  private:
    String text_ = "Untitled";
    int32_t textAlign_ = 0;
    Color textColor_{};
    bool multiline_ = false, selectable_ = false, transparent_ = false;
};

// Events: Action (a click, and any change of Value by code).
class CheckBox : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    const String& Caption() const noexcept { return caption_; }
    void SetCaption(const String& v);
    bool Value() const noexcept { return value_; }
    // Raises Action when the value changes.
    void SetValue(bool v);
    // 0 unchecked, 1 checked, 2 indeterminate (which reads as Value false).
    int32_t State() const noexcept { return state_; }
    void SetState(int32_t v);

    bool SetProperty(const String& name, const PropertyValue& value) override;
    bool HasEvent(const String& event) const override;

    // What a user's click does (toggles Value, raising Action).
    void Click();

  protected:
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;

  private:
    void ApplyState(int32_t state);
    String caption_ = "Untitled";
    bool value_ = false;
    int32_t state_ = 0;
};

// Events: ValueChanged (each change of Value, by code or by the user; while
// the thumb is dragged only when LiveScroll is true, otherwise on release).
class Slider : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    int32_t Minimum() const noexcept { return minimum_; }
    void SetMinimum(int32_t v);
    int32_t Maximum() const noexcept { return maximum_; }
    void SetMaximum(int32_t v);
    // Always within Minimum..Maximum: a value set outside reads back clamped.
    int32_t Value() const noexcept { return value_; }
    void SetValue(int32_t v);
    int32_t LineStep() const noexcept { return lineStep_; }
    void SetLineStep(int32_t v);
    int32_t PageStep() const noexcept { return pageStep_; }
    void SetPageStep(int32_t v);
    bool LiveScroll() const noexcept { return liveScroll_; }
    void SetLiveScroll(bool v);
    int32_t TickStyle() const noexcept { return tickStyle_; }
    void SetTickStyle(int32_t v);

    // The user dragging the thumb to `value`, then letting go; for tests.
    // (Not "Release": that is the reference count's.)
    void DragTo(int32_t value);
    void EndDrag();

    bool SetProperty(const String& name, const PropertyValue& value) override;
    bool HasEvent(const String& event) const override;

  protected:
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;

  private:
    friend class SliderPeer;
    void ChangeValue(int32_t v, bool fromUser);
    int32_t minimum_ = 0, maximum_ = 100, value_ = 0;
    int32_t lineStep_ = 1, pageStep_ = 20, tickStyle_ = 0;
    bool liveScroll_ = false;
    bool dragging_ = false;
    int32_t valueAtPress_ = 0;
};

// A filled rounded rectangle; OvalWidth and OvalHeight at least the size make
// it an oval.
class RoundRectangle : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    Color FillColor() const noexcept { return fillColor_; }
    void SetFillColor(Color v);
    Color BorderColor() const noexcept { return borderColor_; }
    void SetBorderColor(Color v);
    int32_t BorderWidth() const noexcept { return borderWidth_; }
    void SetBorderWidth(int32_t v);
    int32_t OvalWidth() const noexcept { return ovalWidth_; }
    void SetOvalWidth(int32_t v);
    int32_t OvalHeight() const noexcept { return ovalHeight_; }
    void SetOvalHeight(int32_t v);

    bool SetProperty(const String& name, const PropertyValue& value) override;

  protected:
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;

  private:
    Color fillColor_ = Color::RGBA(255, 255, 255);
    Color borderColor_ = Color::RGBA(0, 0, 0);
    int32_t borderWidth_ = 1, ovalWidth_ = 8, ovalHeight_ = 8;
};

// Editable or read-only text. Lines wrap at the width when Multiline is true.
class TextArea : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // The text as set; a typing user changes it too.
    String Text() const;
    void SetText(const String& v);
    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool v);
    bool Multiline() const noexcept { return multiline_; }
    void SetMultiline(bool v);
    bool ScrollbarVertical() const noexcept { return scrollbarVertical_; }
    void SetScrollbarVertical(bool v);
    bool ScrollbarHorizontal() const noexcept { return scrollbarHorizontal_; }
    void SetScrollbarHorizontal(bool v);
    Color TextColor() const noexcept { return textColor_; }
    void SetTextColor(Color v);
    Color BackColor() const noexcept { return backColor_; }
    void SetBackColor(Color v);

    // Lays the text out for printing on `g`, in lines of at most `width`.
    Ref<fw::StyledTextPrinter> StyledTextPrinter(const Ref<Graphics>& g, int32_t width);

    bool SetProperty(const String& name, const PropertyValue& value) override;
    bool HasEvent(const String& event) const override;

  protected:
    std::unique_ptr<detail::ControlPeer> CreatePeer() override;

  private:
    String text_;
    bool readOnly_ = false, multiline_ = true;
    bool scrollbarVertical_ = true, scrollbarHorizontal_ = false;
    Color textColor_ = Color::RGBA(0, 0, 0);
    Color backColor_ = Color::RGBA(255, 255, 255);
};

// A timer owned by its window; raises Action on the event loop. No widget.
// Mode 0 off, 1 once, 2 repeating; Period in milliseconds. It runs while its
// window exists, shown or hidden, and stops when the window closes. Under the
// test clock it fires only as the test advances time.
class Timer : public Control {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    Timer();
    ~Timer() override;

    static constexpr int32_t kModeOff = 0;
    static constexpr int32_t kModeSingle = 1;
    static constexpr int32_t kModeMultiple = 2;

    int32_t Period() const noexcept { return period_; }
    void SetPeriod(int32_t ms);
    int32_t Mode() const noexcept { return mode_; }
    void SetMode(int32_t mode);
    // Starts the period afresh.
    void Reset();

    bool SetProperty(const String& name, const PropertyValue& value) override;
    bool HasEvent(const String& event) const override;

    // Framework internals: the scheduler's handle and its tick.
    void Fire();
    int64_t scheduleId = 0;

  protected:
    void Attached() override;
    void Detaching() override;

  private:
    void Reschedule();
    int32_t period_ = 1000, mode_ = kModeMultiple;
};

}  // namespace fw
