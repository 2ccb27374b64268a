// A window drawn on from outside its paint events, on a private X server: the
// server shows its canvas straight from a platform surface, and what was drawn
// stays through hiding, growing and the arrival of a widget control, which
// takes the window back to the toolkit's painting.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>
#include <functional>

#include "../support/desktop_leaks.h"
#include "../support/xvfb_server.h"
#include "fw/runtime/loop.h"
#include "fw/ui/application.h"
#include "fw/ui/controls.h"
#include "fw/ui/graphics.h"
#include "fw/ui/window.h"
#include "ui/peers.h"

namespace {

constexpr int kLeft = 30, kTop = 40;

// Every screen pixel of a point of the window's content area, once the
// server has caught up with the drawing (it comes on another connection than
// the toolkit's).
bool ShowsEventually(int x, int y, QColor want) {
    QElapsedTimer clock;
    clock.start();
    auto all = [&want](const QImage& shot) {
        for (int j = 0; j < shot.height(); ++j)
            for (int i = 0; i < shot.width(); ++i)
                if (shot.pixelColor(i, j) != want) return false;
        return true;
    };
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(0, kLeft + x, kTop + y, 1, 1).toImage();
        if (!shot.isNull() && all(shot)) return true;
        if (clock.elapsed() > 3000) {
            ADD_FAILURE() << "at " << x << "," << y << " the screen shows "
                          << (shot.isNull() ? "nothing"
                                            : shot.pixelColor(0, 0).name().toStdString())
                          << ", not " << want.name().toStdString();
            return false;
        }
    }
}

TEST(XvfbSurface, ADrawnWindowIsShownFromItsCanvasAndKeepsItsDrawing) {
    testsupport::XvfbServer xvfb("640x480x24");
    if (!xvfb.ok()) GTEST_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    fw::RuntimeInit();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    // Also run at two pixels per point; the drawing is in points either way.
    const int scale = int(QGuiApplication::primaryScreen()->devicePixelRatio());

    auto w = fw::New<fw::Window>();
    fw::RuntimeMassPropertySetter(
        *w, {{"Width", 120}, {"Height", 80}, {"Left", kLeft}, {"Top", kTop}, {"Title", "drawn"}});
    w->Constructor();
    w->Show();
    auto canvas = w->Peer()->CanvasStore();
    {
        auto g = w->Graphics();
        g->SetForeColor(fw::Color::RGBA(200, 0, 0));
        g->FillRect(0, 0, 120, 80);
        g->SetForeColor(fw::Color::RGBA(0, 0, 255));
        g->DrawLine(0, 40, 119, 40);
    }
    EXPECT_TRUE(canvas->surface);
    EXPECT_TRUE(ShowsEventually(10, 10, QColor(200, 0, 0)));
    EXPECT_TRUE(ShowsEventually(60, 40, QColor(0, 0, 255)));
    EXPECT_TRUE(ShowsEventually(60, 41, QColor(200, 0, 0)));

    // Drawn while hidden, shown again.
    w->Hide();
    w->Graphics()->FillRect(0, 0, 20, 20);  // in the default black
    w->Show();
    EXPECT_TRUE(ShowsEventually(5, 5, QColor(0, 0, 0)));
    EXPECT_TRUE(ShowsEventually(50, 10, QColor(200, 0, 0)));

    // Grown: the drawing stays where it was, on a new surface of the new size.
    w->SetWidth(160);
    EXPECT_TRUE(ShowsEventually(110, 10, QColor(200, 0, 0)));
    EXPECT_TRUE(ShowsEventually(140, 10, QColor(255, 255, 255)));
    EXPECT_TRUE(canvas->surface);
    EXPECT_EQ(canvas->image.width(), 160 * scale);

    // Drawn by a timer's tick: the server shows it once the tick's batch has
    // ended, with no paint event on the way.
    struct CountPaints : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint || e->type() == QEvent::UpdateRequest) ++paints;
            return false;
        }
    } counter;
    w->Peer()->Content()->installEventFilter(&counter);
    w->Peer()->Top()->installEventFilter(&counter);
    // The painting that growing the window asked for is over first.
    QElapsedTimer quiet;
    quiet.start();
    do {
        counter.paints = 0;
        QElapsedTimer spell;
        spell.start();
        while (spell.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (counter.paints != 0 && quiet.elapsed() < 3000);
    ASSERT_EQ(counter.paints, 0);
    auto timer = w->New<fw::Timer>();
    w->AddControl("Timer1", timer);
    fw::RuntimeMassPropertySetter(timer, {{"Period", 20}, {"Mode", 1}});
    fw::RuntimeAddEventHandler(timer, "Action", [&](const fw::Ref<fw::Object>&) {
        auto g = w->Graphics();
        g->SetForeColor(fw::Color::RGBA(0, 160, 0));
        g->FillRect(0, 0, 30, 30);
        g->SetForeColor(fw::Color::RGBA(0, 0, 255));
        g->DrawLine(0, 25, 29, 25);
    });
    EXPECT_TRUE(ShowsEventually(10, 10, QColor(0, 160, 0)));
    EXPECT_TRUE(ShowsEventually(10, 25, QColor(0, 0, 255)));
    EXPECT_EQ(counter.paints, 0);
    w->Peer()->Content()->removeEventFilter(&counter);
    w->Peer()->Top()->removeEventFilter(&counter);

    // A widget control needs the toolkit's painting; the drawing stays.
    auto label = fw::RuntimeCheckCast<fw::Label>(w->New(fw::Label::ClassInfo()));
    label->Constructor();
    w->AddControl("Label1", label);
    fw::RuntimeMassPropertySetter(
        w->ControlByName("Label1"),
        {{"Left", 60}, {"Top", 50}, {"Width", 50}, {"Height", 20}, {"Text", "x"}});
    EXPECT_FALSE(canvas->surface);
    EXPECT_TRUE(ShowsEventually(110, 10, QColor(200, 0, 0)));
    w->Graphics()->FillRect(100, 0, 20, 20);
    EXPECT_TRUE(ShowsEventually(110, 10, QColor(0, 0, 0)));

    w->Close();
    fw::RuntimeExit();
}

}  // namespace
