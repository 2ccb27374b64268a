// A window with every kind of control on a private X server, kept as a PNG
// under the build tree for a person to look at (not compared pixel by pixel).
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>

#include "../support/desktop_leaks.h"
#include "../support/xvfb_server.h"
#include "fw/runtime/loop.h"
#include "fw/system/input.h"
#include "fw/ui/application.h"
#include "fw/ui/graphics.h"
#include "fw/ui/menu.h"
#include "ui/peers.h"
#include "ui_test_windows.h"

namespace {

class Triangle : public fw::CustomControl {
  protected:
    void Paint(fw::Graphics& g) override {
        g.SetForeColor(fw::Color::RGBA(60, 60, 60));
        for (int y = 0; y < 10; ++y) g.DrawLine(4 + y / 2, 4 + y, 4 + y / 2, 4 + y);
        g.FillRect(4, 4, 2, 10);
    }
};

template <class T>
fw::Ref<T> Add(fw::Window& w, const char* name, const fw::PropertyList& props) {
    auto c = fw::RuntimeCheckCast<T>(w.New(T::ClassInfo()));
    c->Constructor();
    w.AddControl(name, c);
    fw::RuntimeMassPropertySetter(w.ControlByName(name), props);
    return c;
}

void Pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST(XvfbScreenshot, WindowWithEveryControl) {
    testsupport::XvfbServer xvfb("800x600x24", true);
    if (!xvfb.ok()) GTEST_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    fw::RuntimeInit();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");

    auto bar = fw::New<fw::MenuBar>();
    auto file = fw::New<fw::MenuItem>();
    fw::RuntimeMassPropertySetter(*file, {{"Name", "File"}, {"Text", "File"}});
    bar->Append(file);
    auto app = fw::New<fw::Application>();
    app->SetMenuBar(bar);
    fw::RuntimeRegisterAppObject(app);

    auto w = uitest::MakeProbe({{"Width", 330},
                                {"Height", 260},
                                {"Left", 40},
                                {"Top", 60},
                                {"Title", "  Ostrel 4"},
                                {"Resizeable", false}});
    // The probe's own label, out of the way of the others.
    fw::RuntimeMassPropertySetter(w->ControlByName("Label1"), {{"Left", 200}, {"Top", 200}});
    Add<fw::PushButton>(*w, "PushButton1",
                        {{"Left", 27},
                         {"Top", 29},
                         {"Width", 60},
                         {"Height", 20},
                         {"Caption", "Hide"},
                         {"Bold", true}});
    auto triangle = fw::New<Triangle>();
    w->AddControl("DisclosureTriangle1", triangle);
    fw::RuntimeMassPropertySetter(triangle,
                                  {{"Left", 7}, {"Top", 1}, {"Width", 18}, {"Height", 18}});
    Add<fw::Label>(*w, "StaticText1",
                   {{"Left", 25}, {"Top", 1}, {"Width", 55}, {"Height", 20}, {"Text", "Shrink"}});
    Add<fw::CheckBox>(*w, "Checkbox1",
                      {{"Left", 34},
                       {"Top", 204},
                       {"Width", 91},
                       {"Height", 20},
                       {"Caption", "Crosshairs"},
                       {"Value", true}});
    for (int i = 0; i < 4; ++i) {
        const std::string name = "Alarm" + std::to_string(i + 1);
        Add<fw::RoundRectangle>(*w, name.c_str(),
                                {{"Left", 79 + 20 * i},
                                 {"Top", 7},
                                 {"Width", 10},
                                 {"Height", 10},
                                 {"FillColor", fw::Color::FromHex(i == 1 ? 0xFF0000 : 0xFFFFFF)},
                                 {"BorderColor", fw::Color::FromHex(0)},
                                 {"BorderWidth", 1},
                                 {"OvalWidth", 16},
                                 {"OvalHeight", 16}});
    }
    Add<fw::Slider>(*w, "Slider1",
                    {{"Left", 12},
                     {"Top", 55},
                     {"Width", 135},
                     {"Height", 23},
                     {"Minimum", 10},
                     {"Maximum", 60},
                     {"Value", 20},
                     {"LiveScroll", true}});
    Add<fw::Label>(*w, "Label2",
                   {{"Left", 102},
                    {"Top", 35},
                    {"Width", 40},
                    {"Height", 20},
                    {"Text", "2.0"},
                    {"Bold", true},
                    {"TextAlign", 1}});
    Add<fw::TextArea>(*w, "TextArea1",
                      {{"Left", 160},
                       {"Top", 19},
                       {"Width", 160},
                       {"Height", 170},
                       {"ReadOnly", true},
                       {"ScrollbarVertical", true},
                       {"Text",
                        "A read-only text area that wraps its lines.\r\rSecond "
                        "paragraph after two carriage returns."}});
    auto timer = Add<fw::Timer>(*w, "Timer1", {{"Period", 50}, {"Mode", 2}});
    int ticks = 0;
    fw::RuntimeAddEventHandler(timer, "Action", [&](const fw::Ref<fw::Object>&) { ++ticks; });
    auto g = w->Graphics();
    g->SetForeColor(fw::Color::RGBA(0, 0, 200));
    g->DrawLine(0, 250, 329, 250);

    Pump(1500);
    EXPECT_GT(ticks, 0);  // real timers run on the real loop
    EXPECT_TRUE(w->Peer()->Top()->isVisible());

    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    ASSERT_FALSE(shot.isNull());
    QDir().mkpath("artifacts");
    const QString path = QDir::current().absoluteFilePath("artifacts/ui_controls_xvfb.png");
    ASSERT_TRUE(shot.save(path, "PNG")) << path.toStdString();
    std::printf("screenshot: %s\n", path.toStdString().c_str());
    // Something was drawn: the shot is not one flat colour.
    const QRgb first = shot.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < shot.height() && !varied; y += 7)
        for (int x = 0; x < shot.width() && !varied; x += 7) varied = shot.pixel(x, y) != first;
    EXPECT_TRUE(varied);

    fw::RB_ApplicationQuit(0);
    EXPECT_FALSE(w->IsOpen());
    fw::RuntimeRegisterAppObject(fw::Ref<fw::Application>());
    fw::RuntimeExit();
}

}  // namespace
