// The four magnifier windows. They behave alike and differ only in the values
// that their display window number selects (kDisplayWindows); each number has
// a class of its own so that the framework can tell them apart by class name.
#pragma once

#include <cstdint>

#include "fw/runtime/classinfo.h"
#include "fw/ui/controls.h"
#include "fw/ui/graphics.h"
#include "fw/ui/window.h"

// What sets display window n (1 to 4) apart from the others.
struct DisplayWindowSpec {
    int number;
    const char* className;
    const char* title;
    bool liveResize;
    double* magnification;
    int32_t* top;
    int32_t* left;
    int32_t* height;
    int32_t* width;
};
const DisplayWindowSpec& DisplayWindowSpecOf(int number);

class DisplayWindow : public fw::Window {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    int Number() const noexcept { return spec_.number; }

    // The integer capture origin of the last Normal-mode capture, without the
    // scale-2 shift; nothing but the view update touches them.
    int32_t lastx = 0;
    int32_t lasty = 0;

    void Layout();
    void CreateControls();
    void CreateControls0();
    fw::Ref<fw::Timer> Timer1();
    void Timer1_Action(fw::Ref<fw::Timer> timer);
    void Event_Moved();
    void Event_Resized();

    // Where the view update draws; the window's own canvas unless a test
    // records the drawing instead.
    using GraphicsSource = fw::Ref<fw::Graphics> (*)(DisplayWindow& window);
    static GraphicsSource graphicsForTesting;

    // The two views; each class names them after its number (details1 ...).
    virtual void StandardView() = 0;
    virtual void Scale2View() = 0;

  protected:
    explicit DisplayWindow(int number);
    // One tick's capture and draw; `scale2` shifts the capture origin by a
    // quarter of the capture size for a main screen of two pixels per point.
    void UpdateView(bool scale2);

  private:
    const DisplayWindowSpec& spec_;
};

class Window1 final : public DisplayWindow {
  public:
    Window1() : DisplayWindow(1) {}
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
    void details1() { UpdateView(false); }
    void details() { UpdateView(true); }
    void StandardView() override { details1(); }
    void Scale2View() override { details(); }
};

class Window3 final : public DisplayWindow {
  public:
    Window3() : DisplayWindow(2) {}
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
    void details3() { UpdateView(false); }
    void details2() { UpdateView(true); }
    void StandardView() override { details3(); }
    void Scale2View() override { details2(); }
};

class Window4 final : public DisplayWindow {
  public:
    Window4() : DisplayWindow(3) {}
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
    void details5() { UpdateView(false); }
    void details4() { UpdateView(true); }
    void StandardView() override { details5(); }
    void Scale2View() override { details4(); }
};

class Window5 final : public DisplayWindow {
  public:
    Window5() : DisplayWindow(4) {}
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
    void details7() { UpdateView(false); }
    void details6() { UpdateView(true); }
    void StandardView() override { details7(); }
    void Scale2View() override { details6(); }
};

// The class object of display window n (1 to 4).
const fw::ClassInfo& DisplayWindowClass(int number);
