// The controls: their properties, events and native widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTextEdit>
#include <climits>

#include "fw/runtime/exceptions.h"
#include "fw/testing/headless.h"
#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "fw/ui/printing.h"
#include "ui/peers.h"
#include "ui_test_windows.h"

namespace {

class ControlsTest : public ::testing::Test {
  protected:
    fw::testing::Headless headless;
    fw::Ref<uitest::ProbeWindow> window = uitest::MakeProbe({{"Width", 300}, {"Height", 200}});

    template <class T>
    fw::Ref<T> Add(const char* name, const fw::PropertyList& props = {}) {
        auto c = fw::RuntimeCheckCast<T>(window->New(T::ClassInfo()));
        c->Constructor();
        window->AddControl(name, c);
        fw::RuntimeMassPropertySetter(window->ControlByName(name), props);
        return c;
    }
    template <class W>
    static W* WidgetOf(const fw::Ref<fw::Control>& c) {
        return dynamic_cast<W*>(c->Peer()->Widget());
    }
};

// Handlers that record the control they were handed.
struct Recorder {
    std::vector<std::string> calls;
    void Button(fw::Ref<fw::PushButton> b) { calls.push_back("push " + b->Caption().Bytes()); }
    void Box(fw::Ref<fw::CheckBox> c) { calls.push_back(c->Value() ? "on" : "off"); }
    void Moved(fw::Ref<fw::Slider> s) { calls.push_back(std::to_string(s->Value())); }
};

TEST_F(ControlsTest, PushRaisesActionBeforeReturningAndClicksDoToo) {
    Recorder r;
    auto b = Add<fw::PushButton>("PushButton1", {{"Caption", "Hide"}, {"Bold", true}});
    fw::RuntimeAddEventHandler(b, "Action", fw::RuntimeCreateDelegate(&r, &Recorder::Button));
    b->Push();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"push Hide"}));
    auto* w = WidgetOf<QPushButton>(b);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text(), "Hide");
    EXPECT_TRUE(w->font().bold());
    w->click();
    EXPECT_EQ(r.calls.size(), 2u);
}

TEST_F(ControlsTest, LabelOpensOnceWhenAddedToAnOpenWindow) {
    auto label = window->New<fw::Label>();
    label->Constructor();
    int opens = 0;
    fw::RuntimeAddEventHandler(label, "Open", [&](const fw::Ref<fw::Object>&) { ++opens; });
    window->AddControl("Late", label);
    window->Hide();
    window->Show();
    EXPECT_EQ(opens, 1);
    fw::RuntimeMassPropertySetter(label, {{"Text", "Version:"},
                                          {"TextAlign", 2},
                                          {"TextFont", "Arial"},
                                          {"TextSize", 12},
                                          {"TextColor", fw::Color::FromHex(0x00FF0000)}});
    auto* w = WidgetOf<QLabel>(label);
    EXPECT_EQ(w->text(), "Version:");
    EXPECT_TRUE(w->alignment().testFlag(Qt::AlignRight));
    // Text sizes are points of the layout, whatever the desktop's dots per inch.
    EXPECT_EQ(w->font().pixelSize(), 12);
    EXPECT_EQ(w->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    label->Refresh(true);
}

TEST_F(ControlsTest, CheckBoxActionOnClickAndOnValueChange) {
    Recorder r;
    auto c = Add<fw::CheckBox>("Checkbox1", {{"Caption", "Crosshairs"}, {"Value", false}});
    fw::RuntimeAddEventHandler(c, "Action", fw::RuntimeCreateDelegate(&r, &Recorder::Box));
    WidgetOf<QCheckBox>(c)->click();
    EXPECT_TRUE(c->Value());
    c->SetValue(true);  // unchanged: no Action
    c->SetValue(false);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"on", "off"}));
    EXPECT_EQ(WidgetOf<QCheckBox>(c)->checkState(), Qt::Unchecked);
    c->SetState(1);
    EXPECT_TRUE(c->Value());
}

TEST_F(ControlsTest, SliderValueReadsBackClamped) {
    auto s = Add<fw::Slider>("Slider1", {{"Minimum", 10}, {"Maximum", 60}, {"Value", 20}});
    struct Case {
        int32_t set, read;
    };
    for (Case c : {Case{0, 10}, Case{75, 60}, Case{35, 35}, Case{10, 10}, Case{60, 60},
                   Case{INT32_MIN, 10}, Case{INT32_MAX, 60}}) {
        s->SetValue(c.set);
        EXPECT_EQ(s->Value(), c.read) << c.set;
        EXPECT_EQ(WidgetOf<QSlider>(s)->value(), c.read);
    }
    // A narrower range pulls the value in.
    s->SetMaximum(30);
    EXPECT_EQ(s->Value(), 30);
}

TEST_F(ControlsTest, SliderReportsWhileDraggedOnlyWithLiveScroll) {
    Recorder recorders[2];
    for (bool live : {true, false}) {
        Recorder& r = recorders[live ? 0 : 1];
        auto s = Add<fw::Slider>(
            live ? "Live" : "Still",
            {{"Minimum", 10}, {"Maximum", 60}, {"Value", 20}, {"LiveScroll", live}});
        fw::RuntimeAddEventHandler(s, "ValueChanged",
                                   fw::RuntimeCreateDelegate(&r, &Recorder::Moved));
        s->DragTo(25);
        s->DragTo(30);
        s->EndDrag();
        const std::vector<std::string> expected =
            live ? std::vector<std::string>{"25", "30"} : std::vector<std::string>{"30"};
        EXPECT_EQ(r.calls, expected);
        // The user's widget reports through the same path.
        WidgetOf<QSlider>(s)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(s->Value(), 31);
    }
}

TEST_F(ControlsTest, RoundRectangleIsFilledWithItsColour) {
    auto a = Add<fw::RoundRectangle>("Alarm1", {{"Left", 79},
                                                {"Top", 7},
                                                {"Width", 10},
                                                {"Height", 10},
                                                {"FillColor", fw::Color::FromHex(0x00FFFFFF)},
                                                {"BorderColor", fw::Color::FromHex(0)},
                                                {"BorderWidth", 1},
                                                {"OvalWidth", 16},
                                                {"OvalHeight", 16}});
    a->SetFillColor(fw::Color::RGBA(255, 0, 0));
    QImage image = a->Peer()->Widget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(255, 0, 0));
    // An oval leaves the corners alone.
    EXPECT_NE(image.pixelColor(0, 0), QColor(255, 0, 0));
}

TEST_F(ControlsTest, TextAreaWrapsAndShowsCarriageReturnsAsLineBreaks) {
    auto t = Add<fw::TextArea>("TextArea1", {{"Left", 20},
                                             {"Top", 19},
                                             {"Width", 310},
                                             {"Height", 309},
                                             {"ReadOnly", true},
                                             {"Multiline", true},
                                             {"ScrollbarVertical", true},
                                             {"Styled", false},
                                             {"LineSpacing", 1.0},
                                             {"Text", "one\r\rtwo"}});
    auto* w = WidgetOf<QTextEdit>(t);
    EXPECT_EQ(w->toPlainText(), "one\n\ntwo");
    EXPECT_TRUE(w->isReadOnly());
    EXPECT_EQ(w->lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_EQ(w->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(t->Text().Bytes(), "one\r\rtwo");
    // An editable area takes what the user types as its text.
    t->SetReadOnly(false);
    w->setPlainText("typed");
    EXPECT_EQ(t->Text().Bytes(), "typed");
}

TEST_F(ControlsTest, TextAreaGivesATextPrinterOverItsText) {
    auto t = Add<fw::TextArea>("TextArea1", {{"Text", "first paragraph\r\rsecond"}});
    auto page = fw::Picture::New(540, 720);
    auto g = page->GetGraphics();
    auto printer = t->StyledTextPrinter(g, 492);
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->Width(), 492);
    EXPECT_FALSE(printer->Eof());
    printer->DrawBlock(36, 36, 672);
    EXPECT_TRUE(printer->Eof());
    EXPECT_THROW(t->StyledTextPrinter(fw::Ref<fw::Graphics>(), 492), fw::NilObjectException);
}

TEST_F(ControlsTest, StoredLayoutValuesReadBack) {
    auto b = Add<fw::PushButton>("B", {{"TabIndex", 3},
                                       {"Index", INT32_MIN},
                                       {"LockTop", true},
                                       {"HelpTag", ""},
                                       {"AutoDeactivate", true}});
    ASSERT_NE(b->StoredProperty("Index"), nullptr);
    EXPECT_EQ(b->StoredProperty("Index")->AsInteger(), INT32_MIN);
    EXPECT_EQ(b->StoredProperty("TabIndex")->AsInteger(), 3);
    EXPECT_EQ(b->StoredProperty("DataField"), nullptr);
    EXPECT_THROW(fw::RuntimeMassPropertySetter(b, {{"Captoin", "x"}}), fw::RuntimeException);
}

TEST_F(ControlsTest, UnknownEventAndWrongHandlerClassAreErrors) {
    Recorder r;
    auto label = Add<fw::Label>("L");
    EXPECT_THROW(fw::RuntimeAddEventHandler(label, "Action", [](const fw::Ref<fw::Object>&) {}),
                 fw::RuntimeException);
    EXPECT_THROW(fw::RuntimeAddEventHandler(fw::Ref<fw::Control>(), "Open",
                                            [](const fw::Ref<fw::Object>&) {}),
                 fw::NilObjectException);
    // A button handler on a label's Open: the cast fails inside the dispatch,
    // which reports it and goes on.
    fw::RuntimeAddEventHandler(label, "Open", fw::RuntimeCreateDelegate(&r, &Recorder::Button));
    ::testing::internal::CaptureStderr();
    label->RaiseEvent("Open");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("IllegalCastException"),
              std::string::npos);
    EXPECT_TRUE(r.calls.empty());
}

// An owner-drawn control as a plug-in would write it.
class Swatch : public fw::CustomControl {
  public:
    int clicks = 0;

  protected:
    void Paint(fw::Graphics& g) override {
        g.SetForeColor(fw::Color::RGBA(0, 0, 255));
        g.FillRect(0, 0, g.Width(), g.Height());
    }
    bool MouseDown(int32_t, int32_t) override {
        ++clicks;
        return true;
    }
};

TEST_F(ControlsTest, CustomControlPaintsAndHearsClicks) {
    auto s = fw::New<Swatch>();
    window->AddControl("Swatch", s);
    fw::RuntimeMassPropertySetter(s, {{"Left", 7}, {"Top", 1}, {"Width", 18}, {"Height", 18}});
    QImage image = s->Peer()->Widget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(9, 9), QColor(0, 0, 255));
    s->Click(3, 3);
    EXPECT_EQ(s->clicks, 1);
    s->Invalidate();
}

TEST_F(ControlsTest, ClosingTheWindowFromAButtonHandlerIsSafe) {
    auto b = Add<fw::PushButton>("Close");
    fw::RuntimeAddEventHandler(b, "Action",
                               [this](const fw::Ref<fw::Object>&) { window->Close(); });
    WidgetOf<QPushButton>(b)->click();
    headless.ProcessEvents();
    EXPECT_FALSE(window->IsOpen());
    EXPECT_EQ(b->Owner(), nullptr);
}

}  // namespace
