// The help window and its text.
#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fw/ui/menu.h"
#include "shell/app.h"
#include "shell/help.h"
#include "shell/help_text.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

int OpenHelpWindows() {
    const std::vector<fw::Ref<fw::Window>> open = fw::RuntimeOpenWindows();
    return static_cast<int>(std::count_if(
        open.begin(), open.end(), [](const auto& w) { return fw::IsA(w, Help::ClassInfo()); }));
}

std::vector<std::string> Paragraphs(std::string_view text) {
    std::vector<std::string> paragraphs;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\r", start)) != std::string_view::npos; start = end + 2)
        paragraphs.emplace_back(text.substr(start, end - start));
    paragraphs.emplace_back(text.substr(start));
    return paragraphs;
}

TEST(HelpText, NineParagraphsOfPlainTextWithOneNonAsciiCharacterInTheCreditLine) {
    const std::vector<std::string> paragraphs = Paragraphs(kHelpText);
    ASSERT_EQ(paragraphs.size(), 9u);
    for (const std::string& p : paragraphs) {
        EXPECT_FALSE(p.empty());
        EXPECT_EQ(p.find_first_of("\r\n"), std::string::npos) << p;
    }
    const auto nonAscii = [](const std::string& s) {
        return std::count_if(s.begin(), s.end(), [](char c) { return (c & 0x80) != 0; });
    };
    for (size_t i = 0; i + 1 < paragraphs.size(); ++i) EXPECT_EQ(nonAscii(paragraphs[i]), 0) << i;
    EXPECT_EQ(paragraphs.back(), "Application icon \xC2\xA9 Mira Tollund, drawn for Ostrel 4.");

    // About 2,400 characters and 410 words; the copyright sign counts once.
    const size_t characters = kHelpText.size() - 1;
    EXPECT_GT(characters, 2300u);
    EXPECT_LT(characters, 2500u);
    std::istringstream words{std::string(kHelpText)};
    const auto wordCount = std::distance(std::istream_iterator<std::string>(words),
                                         std::istream_iterator<std::string>());
    EXPECT_GT(wordCount, 390);
    EXPECT_LT(wordCount, 430);
}

// The keys as this desktop's keyboard names them and the program binds them
// (Command is Super, Option is Alt), and where Quit is.
TEST(HelpText, NamesEveryChordAndTheLightsRule) {
    const char* const named[] = {"\"Ostrel 4\"",
                                 "\"Control Panel\"",
                                 "\"Display Windows\"",
                                 "\"Normal\"",
                                 "\"Fixed\"",
                                 "\"Normal mode\"",
                                 "\"Fixed mode\"",
                                 "\"Super+Alt+A\"",
                                 "\"Super+Alt+C\"",
                                 "\"Super+Alt+D\"",
                                 "\"Super+Alt+F\"",
                                 "\"status lights\"",
                                 "\"Super+Ctrl+A\"",
                                 "\"Super+Ctrl+C\"",
                                 "\"Super+Ctrl+D\"",
                                 "\"Super+Ctrl+F\"",
                                 "\"Red means Fixed; white means Normal.\"",
                                 "\"Alt+Shift\"",
                                 "\"Ctrl+Shift\"",
                                 "Quit at the end of its File menu",
                                 "Ctrl+Q"};
    for (const char* quoted : named) {
        EXPECT_NE(kHelpText.find(quoted), std::string_view::npos) << quoted;
    }
    for (const char* foreign : {"Command", "Option", "(red)"})
        EXPECT_EQ(kHelpText.find(foreign), std::string_view::npos) << foreign;
}

class HelpWindowTest : public ProgramTest {};

TEST_F(HelpWindowTest, ShowHelpTwiceLeavesOneWindowWithTheTextAndItsOwnMenuBar) {
    Start();
    ASSERT_FALSE(MenuBarModule::MenuBar2Built());
    EXPECT_FALSE(AppObject()->HelpShow_Action());
    ASSERT_FALSE(fw::RuntimeGetImplicitWindow("Help.Help").IsNil());
    fw::Ref<Help> first = Help::ImplicitInstance();
    EXPECT_FALSE(fw::RuntimeChooseMenuItem("HelpShow"));
    EXPECT_EQ(OpenHelpWindows(), 1);
    EXPECT_EQ(Help::ImplicitInstance(), first);

    EXPECT_TRUE(first->Visible());
    EXPECT_EQ(first->Title(), fw::String("Ostrel 4 Help"));
    EXPECT_EQ(first->MenuBar(), fw::Ref<fw::MenuBar>(MenuBar2::ImplicitInstance()));
    EXPECT_EQ(first->TextArea1()->Text(), fw::String(std::string(kHelpText)));
    EXPECT_TRUE(first->TextArea1()->ReadOnly());
    EXPECT_TRUE(first->FileQuit());
    EXPECT_EQ(first->FilePrintHelp()->Text(), fw::String("Print Help"));
}

TEST_F(HelpWindowTest, AfterClosingShowHelpOpensANewWindowOnTheSameMenuBar) {
    Start();
    ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpShow"));
    fw::Ref<Help> first = Help::ImplicitInstance();
    first->Close();
    EXPECT_EQ(OpenHelpWindows(), 0);

    ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpShow"));
    fw::Ref<Help> second = Help::ImplicitInstance();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->MenuBar(), first->MenuBar());
    EXPECT_EQ(OpenHelpWindows(), 1);
}

}  // namespace
}  // namespace apptest
