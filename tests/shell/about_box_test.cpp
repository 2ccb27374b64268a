// The about box.
#include "shell/about_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "shell/app.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

int OpenAboutBoxes() {
    const std::vector<fw::Ref<fw::Window>> open = fw::RuntimeOpenWindows();
    return static_cast<int>(std::count_if(
        open.begin(), open.end(), [](const auto& w) { return fw::IsA(w, AboutBox::ClassInfo()); }));
}

class AboutBoxTest : public ProgramTest {};

TEST_F(AboutBoxTest, AboutTwiceLeavesOneBoxShowingTheApplicationsVersion) {
    Start();
    EXPECT_FALSE(fw::RuntimeChooseMenuItem("HelpAbout"));
    ASSERT_FALSE(fw::RuntimeGetImplicitWindow("AboutBox.AboutBox").IsNil());
    fw::Ref<AboutBox> box = AboutBox::ImplicitInstance();
    EXPECT_FALSE(AppObject()->HelpAbout_Action());
    EXPECT_EQ(OpenAboutBoxes(), 1);
    EXPECT_EQ(AboutBox::ImplicitInstance(), box);

    EXPECT_TRUE(box->Visible());
    EXPECT_EQ(box->StaticText4()->Text(), AppObject()->LongVersion());
    EXPECT_NE(box->StaticText4()->Text(), fw::String("1.0.0 Intel"));
    EXPECT_EQ(box->StaticText1()->Text(), fw::String("Ostrel 4"));
    EXPECT_EQ(box->StaticText3()->Text(), fw::String("Version:"));
}

TEST_F(AboutBoxTest, TheButtonsOpenTheMailAndWebAddressesAndLeaveTheBoxOpen) {
    Start();
    fw::Ref<AboutBox> box = AboutBox::ImplicitInstance();
    h.ClearRecords();
    box->PushButton1()->Push();
    box->PushButton2()->Push();
    EXPECT_EQ(h.OpenedURLs(), (std::vector<std::string>{"mailto:ostrel4@example.org",
                                                        "https://example.org/ostrel4/"}));
    EXPECT_TRUE(box->IsOpen());
    EXPECT_EQ(OpenAboutBoxes(), 1);
}

TEST_F(AboutBoxTest, ANewBoxAfterClosingFillsItsVersionLabelAgain) {
    Start();
    fw::Ref<AboutBox> first = AboutBox::ImplicitInstance();
    first->Close();
    ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpAbout"));
    fw::Ref<AboutBox> second = AboutBox::ImplicitInstance();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->StaticText4()->Text(), AppObject()->LongVersion());
}

}  // namespace
}  // namespace apptest
