// Every text of the program's windows fits its control in the fonts this
// desktop has, at one and at two pixels a point (the suite runs at both).
#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "fw/ui/controls.h"
#include "shell/about_box.h"
#include "shell/app.h"
#include "shell/help.h"
#include "shell/program_fixture.h"
#include "ui/peers.h"

namespace apptest {
namespace {

// The room the style leaves a button's or check box's caption.
QRect CaptionRoom(QAbstractButton* b, QStyle::SubElement part) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    return b->style()->subElementRect(part, &opt, b);
}

void ExpectTextsFit(const fw::Ref<fw::Window>& window) {
    SCOPED_TRACE(window->Title().Bytes());
    for (int32_t i = 0; i < window->ControlCount(); ++i) {
        fw::Ref<fw::Control> c = window->ControlAt(i);
        if (!c->Peer() || !c->Peer()->Widget()) continue;
        QWidget* w = c->Peer()->Widget();
        SCOPED_TRACE(c->Name().Bytes());
        // The layout's place and size, not a larger one.
        EXPECT_EQ(w->size(), QSize(c->Width(), c->Height()));
        const QFontMetricsF fm(w->font(), w);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QRectF room = label->contentsRect();
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            const QRectF need = fm.boundingRect(room, flags, label->text());
            EXPECT_LE(need.width(), room.width()) << label->text().toStdString();
            EXPECT_LE(need.height(), room.height()) << label->text().toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            const QRect room =
                CaptionRoom(button, qobject_cast<QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
                                                                : QStyle::SE_PushButtonContents);
            EXPECT_LE(fm.horizontalAdvance(button->text()), room.width())
                << button->text().toStdString();
            EXPECT_LE(fm.height(), room.height()) << button->text().toStdString();
        }
    }
}

class TextFitTest : public ProgramTest {};

TEST_F(TextFitTest, EveryTextOfThePanelTheHelpWindowAndTheAboutBoxFits) {
    RecordProperty("devicePixelRatio", std::to_string(qApp->devicePixelRatio()));
    Start();
    ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpShow"));
    ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpAbout"));
    h.ProcessEvents();
    ExpectTextsFit(Panel());
    ExpectTextsFit(Help::ImplicitInstance());
    ExpectTextsFit(AboutBox::ImplicitInstance());
    // The panel's other captions: shrunk, and with the windows hidden.
    Panel()->DisclosureTriangle1_Action(Panel()->DisclosureTriangle1());
    Panel()->PushButton1()->Push();
    h.ProcessEvents();
    ASSERT_EQ(Panel()->StaticText1()->Text(), fw::String("Expand"));
    ASSERT_EQ(Panel()->PushButton1()->Caption(), fw::String("Show"));
    ExpectTextsFit(Panel());
}

// A text too long for its place gets a smaller font rather than being cut.
TEST_F(TextFitTest, TextTooLongForItsPlaceGetsASmallerFont) {
    Start();
    fw::Ref<fw::Label> label = Panel()->StaticText1();
    auto* widget = qobject_cast<QLabel*>(label->Peer()->Widget());
    ASSERT_NE(widget, nullptr);
    const int size = widget->font().pixelSize();
    label->SetText("Expand a lot");
    EXPECT_LT(widget->font().pixelSize(), size);
    ExpectTextsFit(Panel());
    label->SetText("Shrink");
    EXPECT_EQ(widget->font().pixelSize(), size);
}

}  // namespace
}  // namespace apptest
