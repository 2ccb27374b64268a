// Windows: construction order, layout values, geometry, showing, the canvas
// and closing.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>

#include "fw/runtime/exceptions.h"
#include "fw/testing/headless.h"
#include "fw/ui/graphics.h"
#include "fw/ui/menu.h"
#include "fw/ui/picture.h"
#include "platform/virtual.h"
#include "support/plugin_capture.h"
#include "ui/peers.h"
#include "ui/qt_graphics.h"
#include "ui/ui_state.h"
#include "ui_test_windows.h"

using uitest::MakeProbe;
using uitest::ProbeWindow;

namespace {

class WindowTest : public ::testing::Test {
  protected:
    fw::testing::Headless headless;
};

QImage Canvas(fw::Window& w) {
    return w.Peer()->CanvasStore()->image;
}

TEST_F(WindowTest, ConstructionRaisesEventsInOrderAndOpensBeforeShowing) {
    auto w = MakeProbe();
    EXPECT_EQ(w->log, (std::vector<std::string>{"Layout", "CreateControls", "AddMenuHandlers",
                                                "Label1 Open", "Open"}));
    EXPECT_TRUE(w->foundDuringOpen);
    EXPECT_TRUE(w->Visible());
    EXPECT_TRUE(w->Peer()->Top()->isVisible());
    auto label = fw::RuntimeCheckCast<fw::Label>(w->ControlByName("Label1"));
    EXPECT_EQ(label->Text().Bytes(), "opened");
}

TEST_F(WindowTest, InvisibleWindowOpensAtFirstShowOnly) {
    auto w = MakeProbe({{"Visible", false}});
    EXPECT_EQ(w->log.size(), 3u);
    EXPECT_FALSE(w->Visible());
    w->Show();
    w->Show();
    w->Hide();
    w->Show();
    EXPECT_EQ(std::count(w->log.begin(), w->log.end(), "Open"), 1);
    EXPECT_EQ(std::count(w->log.begin(), w->log.end(), "Label1 Open"), 1);
    EXPECT_TRUE(w->Visible());
}

TEST_F(WindowTest, EveryLayoutNameOfTheProgramsWindowsIsAccepted) {
    auto w = MakeProbe({{"Width", 300},
                        {"Height", 300},
                        {"MinWidth", 74},
                        {"MinHeight", 40},
                        {"MaxWidth", 32000},
                        {"MaxHeight", 32000},
                        {"Frame", 7},
                        {"Title", "a"},
                        {"CloseButton", false},
                        {"Resizeable", true},
                        {"MaximizeButton", false},
                        {"MinimizeButton", false},
                        {"FullScreenButton", false},
                        {"Composite", false},
                        {"MacProcID", 0},
                        {"Placement", 0},
                        {"Visible", true},
                        {"LiveResize", true},
                        {"FullScreen", false},
                        {"MenuBarVisible", true},
                        {"HasBackColor", false},
                        {"BackColor", fw::Color::FromHex(0x00FFFFFF)}});
    EXPECT_EQ(w->Title().Bytes(), "a");
    EXPECT_EQ(w->Frame(), 7);
    EXPECT_FALSE(w->CloseButton());
    EXPECT_EQ(w->BackColor(), fw::Color::RGBA(255, 255, 255, 0));
    // A floating window stays above every application and takes no focus.
    Qt::WindowFlags f = w->Peer()->Top()->windowFlags();
    EXPECT_TRUE(f.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(f.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(f.testFlag(Qt::Tool));
    EXPECT_FALSE(f.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(w->Peer()->Top()->testAttribute(Qt::WA_ShowWithoutActivating));
}

TEST_F(WindowTest, UnknownPropertyIsAnErrorNamingIt) {
    auto w = fw::New<ProbeWindow>();
    w->layout = {{"Width", 100}, {"Wdith", 100}};
    try {
        w->Constructor();
        FAIL() << "no exception";
    } catch (const fw::RuntimeException& e) {
        EXPECT_NE(e.Message().find("Wdith"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("Probe.Probe"), std::string::npos) << e.Message();
    }
    // The half-built window does not stay open.
    EXPECT_FALSE(w->IsOpen());
    EXPECT_TRUE(fw::RuntimeGetImplicitWindow("Probe.Probe").IsNil());
}

TEST_F(WindowTest, WrongValueTypeIsAnError) {
    auto w = MakeProbe();
    EXPECT_THROW(fw::RuntimeMassPropertySetter(*w, {{"Title", 5}}), fw::RuntimeException);
    EXPECT_THROW(fw::RuntimeMassPropertySetter(*w, {{"Width", "wide"}}), fw::RuntimeException);
}

TEST_F(WindowTest, GeometryIsTheContentAreaBelowTheMenuBar) {
    auto bar = fw::New<fw::MenuBar>();
    auto file = fw::New<fw::MenuItem>();
    file->SetName("File");
    file->SetText("File");
    bar->Append(file);
    auto w = MakeProbe({{"Width", 160}, {"Height", 232}, {"Resizeable", false}});
    w->SetMenuBar(bar);
    headless.ProcessEvents();
    w->SetTop(300);
    w->SetLeft(40);
    auto* top = w->Peer()->Top();
    const int mbh = top->MenuBarHeight();
    ASSERT_GT(mbh, 0);
    EXPECT_EQ(top->geometry(), QRect(40, 300 - mbh, 160, 232 + mbh));
    EXPECT_EQ(w->Peer()->Content()->geometry(), QRect(0, mbh, 160, 232));
    EXPECT_EQ(w->Top(), 300);
    EXPECT_EQ(w->Left(), 40);
    EXPECT_EQ(w->Height(), 232);
}

TEST_F(WindowTest, CodeMaySetASizeBelowTheMinimum) {
    auto w = MakeProbe({{"Width", 160},
                        {"Height", 232},
                        {"MinWidth", 64},
                        {"MinHeight", 64},
                        {"Resizeable", false}});
    w->SetHeight(22);
    headless.ProcessEvents();
    EXPECT_EQ(w->Height(), 22);
    EXPECT_EQ(w->Peer()->Content()->height(), 22);
    w->SetHeight(232);
    EXPECT_EQ(w->Height(), 232);
    // Resizeable windows too.
    auto r = MakeProbe({{"Width", 300}, {"Height", 300}, {"MinWidth", 74}, {"MinHeight", 40}});
    r->SetWidth(50);
    r->SetHeight(10);
    headless.ProcessEvents();
    EXPECT_EQ(r->Peer()->Content()->size(), QSize(50, 10));
    EXPECT_EQ(r->Width(), 50);
}

TEST_F(WindowTest, MovedAndResizedFollowChangesAfterConstruction) {
    auto w = MakeProbe({{"Width", 200}, {"Height", 120}, {"Left", 10}, {"Top", 20}});
    w->log.clear();
    w->SetTop(50);
    w->SetTop(50);  // no change, no event
    w->SetLeft(60);
    w->SetHeight(90);
    w->SetWidth(210);
    headless.ProcessEvents();
    EXPECT_EQ(w->log, (std::vector<std::string>{"Moved 10,50", "Moved 60,50", "Resized 200x90",
                                                "Resized 210x90"}));
}

TEST_F(WindowTest, UserResizeReportsTheNewContentSize) {
    auto w = MakeProbe({{"Width", 200}, {"Height", 120}});
    w->log.clear();
    w->Peer()->Top()->resize(250, 140);  // as the window manager would
    headless.ProcessEvents();
    EXPECT_EQ(w->Width(), 250);
    EXPECT_EQ(w->Height(), 140);
    ASSERT_FALSE(w->log.empty());
    EXPECT_EQ(w->log.back(), "Resized 250x140");
}

TEST_F(WindowTest, HiddenWindowKeepsControlsTimersAndCanvas) {
    auto w = MakeProbe({{"Width", 40}, {"Height", 30}});
    auto timer = w->New<fw::Timer>();
    timer->Constructor();
    w->AddControl("Timer1", timer);
    int ticks = 0;
    fw::RuntimeAddEventHandler(timer, "Action", [&](const fw::Ref<fw::Object>&) { ++ticks; });
    fw::RuntimeMassPropertySetter(timer, {{"Period", 100}, {"Mode", 2}});

    auto g = w->Graphics();
    g->SetForeColor(fw::Color::RGBA(255, 0, 0));
    g->FillRect(0, 0, 10, 10);
    w->Hide();
    w->Hide();
    headless.AdvanceClock(300);
    EXPECT_EQ(ticks, 3);
    auto hiddenGraphics = w->Graphics();  // fetched and used while hidden
    hiddenGraphics->SetForeColor(fw::Color::RGBA(0, 0, 255));
    hiddenGraphics->FillRect(20, 0, 10, 10);
    w->Show();
    headless.ProcessEvents();
    EXPECT_EQ(w->ControlCount(), 2);
    QImage image = Canvas(*w);
    EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(25, 5), QColor(0, 0, 255));
}

// A picture of w x h with a pattern that differs from pixel to pixel and from
// seed to seed.
fw::Ref<fw::Picture> Pattern(int w, int h, int seed, bool alpha = false) {
    auto pic = fw::Picture::New(w, h, 32, alpha);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = pic->Pixels() + y * pic->RowBytes() + x * 4;
            const uint8_t a = alpha ? uint8_t(60 + 3 * x) : 255;
            p[0] = uint8_t((x * 40 + seed * 70) * a / 255);
            p[1] = uint8_t((y * 50 + seed * 30) * a / 255);
            p[2] = uint8_t((x * y + seed) * a / 255);
            p[3] = a;
        }
    }
    return pic;
}

// What a hidden window is given to draw shows, once it is shown again,
// exactly as if it had been drawn while the window was shown.
TEST_F(WindowTest, DrawingWhileHiddenShowsAsDrawnWhenShownAgain) {
    struct Script {
        const char* name;
        std::function<void(fw::Window&)> run;
    };
    auto crosshairs = [](fw::Graphics& g, fw::Color c) {
        g.SetForeColor(c);
        g.DrawLine(0, 15, 40, 15);
        g.DrawLine(20, 0, 20, 30);
    };
    platform::VirtualScreen& screen = headless.Screen();
    const uint32_t display = screen.Displays().at(0).id;
    const Script scripts[] = {
        {"captures of a changing screen, with crosshairs after each",
         [&](fw::Window& w) {
             auto g = w.Graphics();
             for (int shot = 0; shot < 3; ++shot) {
                 for (int y = 0; y < 15; ++y)
                     for (int x = 0; x < 20; ++x)
                         screen.SetPixel(display, x, y,
                                         uint32_t((x * 11 + shot * 40) << 16 | y * 9));
                 g->DrawPicture(testsupport::CaptureAsPlugIn(0, 0, 20, 15), 0, 0, 40, 30);
                 crosshairs(*g, fw::Color::RGBA(0, 0, 255 - shot));
             }
             // Shown later, a capture is still of its own moment.
             screen.SetPixel(display, 5, 5, 0x00FFFF);
         }},
        {"the last of several whole pictures, with crosshairs after each",
         [&](fw::Window& w) {
             auto g = w.Graphics();
             g->SetForeColor(fw::Color::RGBA(255, 0, 0));
             g->FillRect(0, 0, 10, 10);
             for (int seed = 0; seed < 3; ++seed) {
                 g->DrawPicture(Pattern(20, 15, seed), 0, 0, 40, 30, 0, 0, 20, 15);
                 crosshairs(*g, fw::Color::RGBA(0, 0, 255 - seed));
             }
         }},
        {"parts of pictures, text and a see-through fill over earlier drawing",
         [&](fw::Window& w) {
             auto g = w.Graphics();
             g->DrawPicture(Pattern(20, 15, 1), 0, 0, 40, 30);
             g->DrawPicture(Pattern(20, 15, 2), 10, 5, 13, 9, 3, 2, 7, 5);
             g->DrawPicture(Pattern(20, 15, 3), -5, -5, 40, 30, 0, 0, 30, 30);
             g->DrawPicture(Pattern(8, 6, 4, true), 0, 0, 40, 30);
             g->SetForeColor(fw::Color::RGBA(0, 200, 0));
             g->DrawString("Ab", 2, 20);
             g->SetForeColor(fw::Color{0, 0, 250, 128});
             g->FillRect(5, 5, 30, 10);
         }},
        {"a picture written after it was drawn",
         [&](fw::Window& w) {
             auto pic = Pattern(20, 15, 5);
             w.Graphics()->DrawPicture(pic, 0, 0, 40, 30);
             std::memset(pic->Pixels(), 0x80, pic->RowBytes() * 3);
             auto pg = pic->GetGraphics();
             w.Graphics()->DrawPicture(pic, 0, 0, 20, 15);
             pg->SetForeColor(fw::Color::RGBA(255, 255, 0));
             pg->FillRect(0, 0, 20, 15);
             w.Graphics()->DrawPicture(pic, 30, 20, 10, 10);
             pic->Mask(true)->GetGraphics()->FillRect(0, 0, 20, 15);
         }},
        {"a window resized between drawings",
         [&](fw::Window& w) {
             auto g = w.Graphics();
             g->DrawPicture(Pattern(20, 15, 6), 0, 0, 80, 60);
             w.SetWidth(60);
             w.SetHeight(20);
             crosshairs(*g, fw::Color::RGBA(255, 0, 255));
             g->DrawLine(0, 19, 59, 19);
             w.SetWidth(30);
             w.SetHeight(30);
         }},
        {"more drawing than one picture covers",
         [&](fw::Window& w) {
             auto g = w.Graphics();
             g->DrawPicture(Pattern(20, 15, 7), 0, 0, 40, 30);
             for (int i = 0; i < 200; ++i) {
                 g->SetForeColor(fw::Color::RGBA(uint8_t(i), uint8_t(255 - i), 0));
                 g->DrawLine(0, i % 30, i % 40, 29);
             }
         }},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        auto shown = MakeProbe({{"Width", 40}, {"Height", 30}});
        auto hidden = MakeProbe({{"Width", 40}, {"Height", 30}});
        hidden->Hide();
        script.run(*shown);
        script.run(*hidden);
        hidden->Show();
        headless.ProcessEvents();
        EXPECT_EQ(Canvas(*hidden), Canvas(*shown));
    }
}

// A window drawn tick after tick with pictures of the same pixels shows,
// after each tick, what drawing everything onto a plain canvas gives. A tick
// of nothing sets a backdrop.
TEST_F(WindowTest, RepeatedDrawingShowsAsDrawn) {
    using Tick = std::function<void(fw::Graphics&)>;
    auto view = [](int seed, std::vector<fw::Color> lines) -> Tick {
        return [seed, lines](fw::Graphics& g) {
            g.DrawPicture(Pattern(20, 15, seed), 0, 0, 40, 30, 0, 0, 20, 15);
            for (size_t i = 0; i < lines.size(); ++i) {
                g.SetForeColor(lines[i]);
                g.DrawLine(0, 10 + int(i), 40, 10 + int(i));
            }
        };
    };
    const fw::Color red = fw::Color::RGBA(255, 0, 0), blue = fw::Color::RGBA(0, 0, 255);
    const auto kept = Pattern(20, 15, 6);
    // Captures as the capture library makes them, which nobody has looked at.
    platform::VirtualScreen& screen = headless.Screen();
    const uint32_t display = screen.Displays().at(0).id;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x) screen.SetPixel(display, x, y, uint32_t(x * 9 << 16 | y * 13));
    const Tick capture = [](fw::Graphics& g) {
        g.DrawPicture(testsupport::CaptureAsPlugIn(0, 0, 20, 15), 0, 0, 40, 30);
    };
    const Tick changedCapture = [&](fw::Graphics& g) {
        screen.SetPixel(display, 3, 4, 0x00FF00);
        capture(g);
    };
    struct Script {
        const char* name;
        std::vector<Tick> ticks;
    };
    const Script scripts[] = {
        {"the same view again", {view(1, {red, blue}), view(1, {red, blue}), view(1, {red, blue})}},
        {"lines turned off, on, changed",
         {view(1, {red, blue}), view(1, {}), view(1, {red}), view(1, {blue}),
          view(1, {blue, red, red})}},
        {"fewer lines, then the picture changes",
         {view(2, {red, blue}), view(2, {red}), view(3, {red}), view(3, {red})}},
        {"other drawing between the same views",
         {view(4, {red}),
          [&](fw::Graphics& g) {
              view(4, {red})(g);
              g.FillRect(0, 0, 5, 5);
          },
          view(4, {red}),
          [&](fw::Graphics& g) {
              g.DrawPicture(Pattern(20, 15, 4), 0, 0, 20, 15);
              view(4, {red})(g);
          },
          view(4, {red})}},
        {"a picture written after it was shown",
         {[kept](fw::Graphics& g) { g.DrawPicture(kept, 0, 0, 40, 30); },
          [kept](fw::Graphics& g) {
              auto same = Pattern(20, 15, 6);
              for (auto& p : {kept, same}) std::memset(p->Pixels(), 0x40, p->RowBytes() * 4);
              g.DrawPicture(same, 0, 0, 40, 30);
          }}},
        {"a backdrop between the same views", {view(5, {red}), nullptr, view(5, {red})}},
        {"captures of a still screen, then of a changed one",
         {capture, capture, changedCapture, capture}},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        auto w = MakeProbe({{"Width", 40}, {"Height", 30}});
        QImage plain = Canvas(*w).copy();
        for (size_t i = 0; i < script.ticks.size(); ++i) {
            SCOPED_TRACE(i);
            if (script.ticks[i]) {
                script.ticks[i](*w->Graphics());
                script.ticks[i](*fw::qt::MakeImageGraphics(&plain, nullptr));
            } else {
                auto backdrop = Pattern(10, 10, 9);
                w->SetBackdrop(backdrop);
                fw::qt::MakeImageGraphics(&plain, nullptr)->DrawPicture(backdrop, 0, 0, 10, 10);
            }
            headless.ProcessEvents();
            EXPECT_EQ(Canvas(*w), plain);
        }
    }
}

// Captures drawn on a window one after the other, first after a picture of
// the usual kind, are drawn and compared from the screen's reading: none of
// them is ever copied into its picture.
TEST_F(WindowTest, CapturesShownOneAfterAnotherAreNotCopied) {
    auto w = MakeProbe({{"Width", 40}, {"Height", 30}});
    w->Graphics()->DrawPicture(Pattern(20, 15, 1), 0, 0, 40, 30);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        auto shot = testsupport::CaptureAsPlugIn(0, 0, 20, 15);
        w->Graphics()->DrawPicture(shot, 0, 0, 40, 30);
        headless.ProcessEvents();
        fw::Picture::OwedRows rows;
        EXPECT_TRUE(shot->RowsOwed(&rows));
    }
}

// A tick that repeats the last view with fewer lines is finished when its
// batch of ticks ends: before the event loop runs again, the canvas no longer
// shows the line it left out.
TEST_F(WindowTest, ARepeatCutShortInATickIsFinishedWhenItsBatchEnds) {
    auto w = MakeProbe({{"Width", 40}, {"Height", 30}});
    const auto picture = Pattern(20, 15, 7);
    const fw::Color red = fw::Color::RGBA(255, 0, 0), blue = fw::Color::RGBA(0, 0, 255);
    auto draw = [&](fw::Graphics& g, int lines) {
        g.DrawPicture(picture, 0, 0, 40, 30);
        g.SetForeColor(red);
        g.DrawLine(0, 10, 40, 10);
        if (lines == 2) {
            g.SetForeColor(blue);
            g.DrawLine(0, 20, 40, 20);
        }
    };
    int tick = 0;
    auto timer = w->New<fw::Timer>();
    w->AddControl("Timer1", timer);
    fw::RuntimeMassPropertySetter(timer, {{"Period", 50}, {"Mode", 2}});
    fw::RuntimeAddEventHandler(timer, "Action", [&](const fw::Ref<fw::Object>&) {
        draw(*w->Graphics(), ++tick == 1 ? 2 : 1);
    });
    QImage want = Canvas(*w).copy();
    draw(*fw::qt::MakeImageGraphics(&want, nullptr), 2);
    std::vector<QImage> seen;
    fw::detail::AdvanceTestClock(100, [&] { seen.push_back(Canvas(*w).copy()); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], want);
    draw(*fw::qt::MakeImageGraphics(&want, nullptr), 1);
    EXPECT_EQ(seen[1], want);
}

TEST_F(WindowTest, CanvasKeepsItsContentWhenTheWindowGrows) {
    auto w = MakeProbe({{"Width", 40}, {"Height", 30}});
    auto g = w->Graphics();
    g->SetForeColor(fw::Color::RGBA(0, 128, 0));
    g->FillRect(0, 0, 40, 30);
    w->SetWidth(80);
    w->SetHeight(60);
    headless.ProcessEvents();
    QImage image = Canvas(*w);
    EXPECT_EQ(image.size(), QSize(80, 60));
    EXPECT_EQ(image.pixelColor(39, 29), QColor(0, 128, 0));
    // The same Graphics goes on drawing onto the resized canvas.
    g->FillRect(70, 50, 5, 5);
    EXPECT_EQ(Canvas(*w).pixelColor(72, 52), QColor(0, 128, 0));
}

TEST_F(WindowTest, BackdropIsDrawnUnscaledAtTheOrigin) {
    auto w = MakeProbe({{"Width", 40}, {"Height", 30}});
    auto picture = fw::Picture::New(4, 3);
    ASSERT_TRUE(picture);
    for (int i = 0; i < 12; ++i) {
        uint8_t* p = picture->Pixels() + i * 4;
        p[0] = 10, p[1] = 200, p[2] = 30;
    }
    w->SetBackdrop(picture);
    EXPECT_EQ(w->Backdrop(), picture);
    QImage image = Canvas(*w);
    EXPECT_EQ(image.pixelColor(3, 2), QColor(10, 200, 30));
    EXPECT_NE(image.pixelColor(4, 2), QColor(10, 200, 30));
}

TEST_F(WindowTest, CloseRaisesCloseOnceAndTakesTheWindowAway) {
    auto w = MakeProbe();
    ASSERT_EQ(fw::RuntimeGetImplicitWindow("Probe.Probe"), fw::Ref<fw::Window>(w));
    w->log.clear();
    w->Close();
    w->Close();
    w->Show();
    headless.ProcessEvents();
    EXPECT_EQ(w->log, (std::vector<std::string>{"Close"}));
    EXPECT_FALSE(w->IsOpen());
    EXPECT_FALSE(w->Visible());
    EXPECT_TRUE(fw::RuntimeGetImplicitWindow("Probe.Probe").IsNil());
    // The object still answers while referenced.
    EXPECT_EQ(w->ControlCount(), 1);
}

TEST_F(WindowTest, CloseBoxClosesUnlessTheWindowHasNone) {
    auto closable = MakeProbe();
    auto fixed = MakeProbe({{"CloseButton", false}});
    fixed->Peer()->Top()->close();
    EXPECT_TRUE(fixed->IsOpen());
    closable->Peer()->Top()->close();
    EXPECT_FALSE(closable->IsOpen());
    EXPECT_EQ(closable->log.back(), "Close");
}

TEST_F(WindowTest, ControlsAreFoundByNameAndNamesAreUnique) {
    auto w = MakeProbe();
    auto first = w->ControlByName("Label1");
    EXPECT_EQ(first, w->ControlByName("Label1"));
    EXPECT_TRUE(w->ControlByName("Nothing").IsNil());
    auto other = w->New<fw::Label>();
    EXPECT_THROW(w->AddControl("Label1", other), fw::RuntimeException);
    EXPECT_THROW(w->AddControl("Label2", fw::Ref<fw::Control>()), fw::NilObjectException);
    // __New of a class that is no control gives that object too.
    EXPECT_TRUE(fw::RuntimeCheckCast<ProbeWindow>(w->New(ProbeWindow::ClassInfo())));
}

// Code's geometry from a settings file of any content: the window stays
// within its maxima and the X screen (frame included) and its title bar on a
// monitor, and what Moved and Resized finally report is what it has.
TEST_F(WindowTest, GeometryFromCodeStaysOnTheDesktopAndIsReportedAsItIs) {
    // The main display 1440 x 900 and a second one to its right.
    headless.Screen().AddDisplay({1440, 0, 1280, 800});
    MakeProbe()->Close();  // lets the frames be seen once
    const int t = fw::detail::TitleBarHeight();
    struct Case {
        const char* what;
        int32_t top, left, height, width;
        int32_t wantTop, wantLeft, wantHeight, wantWidth;
        int32_t maxWidth = 32000;
    } cases[] = {
        {"ordinary", 200, 100, 200, 300, 200, 100, 200, 300},
        // Wholly on the main display, and kept on it as far as it fits.
        {"largest integers", 200, 100, INT32_MAX, INT32_MAX, t, 0, 900 - t, 2720},
        {"largest X sizes", 50, 100, 32767, 32767, t, 0, 900 - t, 2720},
        {"grown on the second display", 300, 1500, 600, 700, 800 - 600, 1500, 600, 700},
        {"grown past the edge it stood over", 100, 1300, 200, 300, 100, 1300, 200, 300},
        {"far above and left", -5000, -5000, 200, 300, t, 0, 200, 300},
        {"title bar above the top", t / 2 - 1, 100, 200, 300, t, 100, 200, 300},
        {"half the title bar above the top", t / 2, 100, 200, 300, t / 2, 100, 200, 300},
        {"title bar at the top", t, 100, 200, 300, t, 100, 200, 300},
        {"mostly off the right, title bar in reach", 100, 2680, 200, 300, 100, 2680, 200, 300},
        {"too little of the title bar in reach", 100, 2690, 200, 300, 100, 2420, 200, 300},
        {"on the second display", 300, 1500, 200, 300, 300, 1500, 200, 300},
        {"title bar below the second display", 800 + t / 2 + t, 1500, 200, 300, 800 - 200, 1500,
         200, 300},
        {"far right", 300, 100000, 200, 300, 300, 2720 - 300, 200, 300},
        // Placed while still wider, then made narrower: as if sized first.
        {"far right, then narrower", 300, 100000, 200, 100, 300, 2720 - 100, 200, 100},
        {"smallest integers", INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, t, 0, 1, 40},
        {"nothing", 0, 0, 0, 0, t, 0, 1, 40},
        {"above its maximum", 200, 100, 200, 800, 200, 100, 200, 500, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto w = MakeProbe({{"Width", 300}, {"Height", 200}, {"MaxWidth", c.maxWidth}});
        w->log.clear();
        w->SetTop(c.top);
        w->SetLeft(c.left);
        w->SetHeight(c.height);
        w->SetWidth(c.width);
        EXPECT_EQ(w->Top(), c.wantTop);
        EXPECT_EQ(w->Left(), c.wantLeft);
        EXPECT_EQ(w->Height(), c.wantHeight);
        EXPECT_EQ(w->Width(), c.wantWidth);
        EXPECT_EQ(w->Peer()->Top()->geometry(),
                  QRect(c.wantLeft, c.wantTop, c.wantWidth, c.wantHeight));
        EXPECT_EQ(Canvas(*w).size(), QSize(c.wantWidth, c.wantHeight));
        // What a handler records last, also one that starts recording only
        // after the window was placed, is what the window has (which the
        // platform may still have nudged, as a window manager does).
        w->log.clear();
        headless.ProcessEvents();
        const bool adjusted = c.top != c.wantTop || c.left != c.wantLeft ||
                              c.height != c.wantHeight || c.width != c.wantWidth;
        std::string moved, resized;
        for (const std::string& e : w->log) (e.rfind("Moved", 0) == 0 ? moved : resized) = e;
        if (adjusted) {
            EXPECT_FALSE(w->log.empty());
        }
        if (!moved.empty()) {
            EXPECT_EQ(moved, "Moved " + std::to_string(w->Left()) + "," + std::to_string(w->Top()));
        }
        if (!resized.empty()) {
            EXPECT_EQ(resized,
                      "Resized " + std::to_string(w->Width()) + "x" + std::to_string(w->Height()));
        }
        if (c.top != c.wantTop || c.left != c.wantLeft) {
            EXPECT_FALSE(moved.empty());
        }
        if (c.height != c.wantHeight || c.width != c.wantWidth) {
            EXPECT_FALSE(resized.empty());
        }
        w->Close();
    }
}

TEST_F(WindowTest, WindowThatNoCodePlacedOpensCentredOnTheMainDisplay) {
    headless.Screen().AddDisplay({-1280, 0, 1280, 800});
    MakeProbe()->Close();  // lets the frames be seen once
    auto bar = fw::New<fw::MenuBar>();
    auto file = fw::New<fw::MenuItem>();
    file->SetName("File");
    file->SetText("File");
    bar->Append(file);
    auto w = fw::New<ProbeWindow>();
    w->layout = {{"Width", 350}, {"Height", 348}, {"Visible", false}};
    w->Constructor();
    w->SetMenuBar(bar);
    headless.ProcessEvents();
    w->Show();
    const int mbh = w->Peer()->Top()->MenuBarHeight();
    const int outer = 348 + mbh + fw::detail::TitleBarHeight();
    EXPECT_EQ(w->Left(), (1440 - 350) / 2);
    EXPECT_EQ(w->Top() - mbh - fw::detail::TitleBarHeight(), (900 - outer) / 2);
    // Placing is part of opening, not a move.
    EXPECT_EQ(std::count(w->log.begin(), w->log.end(),
                         "Moved " + std::to_string(w->Left()) + "," + std::to_string(w->Top())),
              0);
    // A window that code placed stays where code put it.
    auto placed = MakeProbe({{"Left", 30}, {"Top", 40}});
    EXPECT_EQ(placed->Left(), 30);
    EXPECT_EQ(placed->Top(), 40);
}

TEST_F(WindowTest, ShowRestoresAMinimisedWindowAndFloatingWindowsStayUnfocused) {
    for (int frame : {0, 7}) {
        SCOPED_TRACE(frame);
        auto w = MakeProbe({{"Frame", frame}});
        auto* top = w->Peer()->Top();
        top->showMinimized();
        headless.ProcessEvents();
        ASSERT_TRUE(top->isMinimized());
        w->Show();
        headless.ProcessEvents();
        EXPECT_FALSE(top->isMinimized());
        EXPECT_TRUE(top->isVisible());
        // Minimised, then hidden: it still comes back.
        top->showMinimized();
        w->Hide();
        w->Show();
        headless.ProcessEvents();
        EXPECT_FALSE(top->isMinimized());
        EXPECT_TRUE(w->Visible());
        w->Close();
    }
}

// A window manager that keeps its zoom button whatever the hints say: the
// window goes back to its size, unless its layout has the button.
TEST_F(WindowTest, ZoomIsUndoneOnAWindowWithoutAZoomButton) {
    for (bool button : {false, true}) {
        SCOPED_TRACE(button);
        auto w = MakeProbe({{"Frame", 7}, {"Resizeable", true}, {"MaximizeButton", button}});
        w->Peer()->Top()->showMaximized();
        headless.ProcessEvents();
        EXPECT_EQ(w->Peer()->Top()->isMaximized(), button);
        w->Close();
    }
}

}  // namespace

namespace fw::detail {
void PrintTo(const Rect64& r, std::ostream* os) {
    *os << r.x << "," << r.y << " " << r.width << "x" << r.height;
}
}  // namespace fw::detail

namespace {

// Window places cross between desktop points and the toolkit's coordinates,
// which keep each monitor's corner at its pixel place: on two monitors of two
// pixels per point, and with the main display right of another. Each place goes
// there and back unchanged, and so does each that the toolkit gives, also where
// a monitor's corner falls between two points.
TEST(ToolkitPlaces, CrossBetweenPointsAndTheToolkitAndBackUnchanged) {
    using fw::detail::Rect64;
    using fw::detail::ToolkitDesk;
    const auto monitor = [](int x, int width, qreal ratio) {
        return fw::detail::ToolkitMonitor{QRect(x, 0, int(width / ratio), int(800 / ratio)),
                                          QRect(x, 0, width, 800), ratio};
    };
    struct Case {
        const char* name;
        ToolkitDesk desk;
        Rect64 points;
        QRect toolkit;
    } const cases[] = {
        {"one monitor", {{monitor(0, 1280, 1)}, {0, 0}, 1}, {10, 20, 300, 200}, {10, 20, 300, 200}},
        {"two pixels per point",
         {{monitor(0, 1280, 2)}, {0, 0}, 2},
         {10, 20, 300, 200},
         {10, 20, 300, 200}},
        // Points 640 on lie on the second monitor, which the toolkit starts at 1280.
        {"second monitor at two pixels per point",
         {{monitor(0, 1280, 2), monitor(1280, 1280, 2)}, {0, 0}, 2},
         {700, 50, 200, 100},
         {1340, 50, 200, 100}},
        {"first monitor at two pixels per point",
         {{monitor(0, 1280, 2), monitor(1280, 1280, 2)}, {0, 0}, 2},
         {100, 50, 200, 100},
         {100, 50, 200, 100}},
        // Left of the main display, points are negative.
        {"main display on the right",
         {{monitor(0, 1280, 1), monitor(1280, 1280, 1)}, {1280, 0}, 1},
         {-1000, 0, 100, 100},
         {280, 0, 100, 100}},
        {"main display on the right at two pixels per point",
         {{monitor(0, 1280, 2), monitor(1280, 1280, 2)}, {1280, 0}, 2},
         {-500, 0, 100, 100},
         {140, 0, 100, 100}},
        // The second monitor's corner, at pixel 1281, lies within a point.
        {"corner between two points",
         {{monitor(0, 1281, 2), monitor(1281, 1280, 2)}, {0, 0}, 2},
         {700, 50, 200, 100},
         {1340, 50, 200, 100}},
        // One monitor above the other.
        {"second monitor below at two pixels per point",
         {{monitor(0, 1280, 2), {QRect(0, 800, 640, 400), QRect(0, 800, 1280, 800), 2}}, {0, 0}, 2},
         {100, 500, 200, 100},
         {100, 900, 200, 100}},
        // A place on no monitor goes by the nearest.
        {"beyond every monitor",
         {{monitor(0, 1280, 2), monitor(1280, 1280, 2)}, {0, 0}, 2},
         {2000, 50, 200, 100},
         {2640, 50, 200, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fw::detail::ToToolkit(c.desk, c.points), c.toolkit);
        EXPECT_EQ(fw::detail::FromToolkit(c.desk, c.toolkit), c.points);
        // Every place nearby, from either side, comes back as it went.
        for (int d = -3; d <= 3; ++d) {
            const Rect64 p{c.points.x + d, c.points.y + d, c.points.width, c.points.height};
            EXPECT_EQ(fw::detail::FromToolkit(c.desk, fw::detail::ToToolkit(c.desk, p)), p) << d;
            const QRect t = c.toolkit.translated(d, d);
            EXPECT_EQ(fw::detail::ToToolkit(c.desk, fw::detail::FromToolkit(c.desk, t)), t) << d;
        }
    }
}

}  // namespace
