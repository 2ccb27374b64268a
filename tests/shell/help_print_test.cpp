// Print Help: the printed pages, read back from the print sink's PDF.
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fw/runtime/text.h"
#include "fw/system/date.h"
#include "fw/testing/printing.h"
#include "shell/app.h"
#include "shell/help.h"
#include "shell/help_text.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// A line may break after the hyphen of a word such as "bottom-right",
// depending on the font that the printer finds, so a word that ends in a
// hyphen joins the next one without a blank.
std::string Joined(const std::vector<std::string>& words) {
    std::string s;
    for (const std::string& w : words) {
        if (!s.empty() && s.back() != '-') s += ' ';
        s += w;
    }
    return s;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        EXPECT_EQ(pclose(p), 0) << command;
    }
    return out;
}

// What a page shows: its text lines, then the footer as the last line.
struct Page {
    std::vector<std::string> textWords;
    std::string footer;  // words joined by single blanks
};

std::vector<Page> ReadPages(const std::string& pdf) {
    std::vector<Page> pages;
    std::istringstream all(Output("pdftotext -layout '" + pdf + "' -"));
    for (std::string pageText; std::getline(all, pageText, '\f');) {
        std::vector<std::string> lines;
        std::istringstream in(pageText);
        for (std::string line; std::getline(in, line);)
            if (!Words(line).empty()) lines.push_back(line);
        if (lines.empty()) continue;  // what follows the last form feed
        Page page;
        page.footer = Joined(Words(lines.back()));
        lines.pop_back();
        for (const std::string& line : lines)
            for (std::string& w : Words(line)) page.textWords.push_back(std::move(w));
        pages.push_back(std::move(page));
    }
    return pages;
}

std::string Stamp() {
    fw::Date now;
    return Joined(Words(now.ShortTime().Bytes() + ", " + now.ShortDate().Bytes()));
}

bool HelpIsOpen() {
    return !fw::RuntimeGetImplicitWindow("Help.Help").IsNil();
}

class PrintHelpTest : public ProgramTest {
  protected:
    void TearDown() override {
        fw::testing::ShowPrintDialogs();
        ProgramTest::TearDown();
    }
    std::string PdfPath() const { return h.PreferencesPath() + "/help.pdf"; }

    // Prints through `print` and checks every page's footer against the time
    // of the command; returns the pages.
    template <class Print>
    std::vector<Page> PrintedPages(Print print) {
        fw::testing::PrintToPdf(PdfPath());
        const std::string before = Stamp();
        EXPECT_TRUE(print());
        const std::string after = Stamp();
        EXPECT_EQ(fw::testing::PrintDialogCount(), 1);
        EXPECT_FALSE(HelpIsOpen());
        std::vector<Page> pages = ReadPages(PdfPath());
        for (size_t i = 0; i < pages.size(); ++i) {
            const std::string label = "page " + std::to_string(i + 1) + " ";
            EXPECT_TRUE(pages[i].footer == label + before || pages[i].footer == label + after)
                << pages[i].footer;
        }
        return pages;
    }
};

// The help window's own menu bar reaches the handler that the window
// registered; the application menu bar, with no help window in front, the
// application's.
enum class Route { kHelpWindowMenu, kApplicationMenu };

struct PrintCase {
    const char* name;
    bool helpOpen;
    Route route;
};

class ConfirmedPrintTest : public PrintHelpTest, public ::testing::WithParamInterface<PrintCase> {};

// Either handler prints the help text on one page and closes the window.
TEST_P(ConfirmedPrintTest, PrintsTheHelpTextOnOnePageAndClosesTheHelpWindow) {
    const PrintCase c = GetParam();
    Start();
    if (c.helpOpen) {
        ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpShow"));
        ASSERT_TRUE(HelpIsOpen());
    }
    const std::vector<Page> pages = PrintedPages([&] {
        return c.route == Route::kHelpWindowMenu
                   ? Help::ImplicitInstance()->HandleMenuItem("FilePrintHelp")
                   : AppObject()->HandleMenuItem("FilePrintHelp");
    });
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(Joined(pages[0].textWords), Joined(Words(std::string(kHelpText))));
}

INSTANTIATE_TEST_SUITE_P(
    Routes, ConfirmedPrintTest,
    ::testing::Values(PrintCase{"HelpClosedFromTheApplicationMenu", false, Route::kApplicationMenu},
                      PrintCase{"HelpOpenFromTheApplicationMenu", true, Route::kApplicationMenu},
                      PrintCase{"HelpOpenFromItsOwnMenu", true, Route::kHelpWindowMenu}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintHelpTest, ALongTextNumbersItsPagesOneTwoThree) {
    Start();
    std::string text;
    for (int p = 0, n = 1000; p < 20; ++p) {
        if (p) text += "\r\r";
        for (int w = 0; w < 40; ++w, ++n) text += (w ? " word" : "word") + std::to_string(n);
    }
    fw::Ref<Help> help = Help::ImplicitInstance();
    help->TextArea1()->SetText(fw::String(text));

    const std::vector<Page> pages = PrintedPages([] { return PrintHelp(); });
    ASSERT_EQ(pages.size(), 3u);
    std::vector<std::string> printed;
    for (const Page& page : pages) {
        EXPECT_FALSE(page.textWords.empty());
        printed.insert(printed.end(), page.textWords.begin(), page.textWords.end());
    }
    EXPECT_EQ(Joined(printed), Joined(Words(text)));
    EXPECT_TRUE(
        std::regex_search(Output("pdfinfo '" + PdfPath() + "'"), std::regex("Pages:\\s+3\\n")));
}

TEST_F(PrintHelpTest, AnEmptyTextGivesOnePageWithOnlyTheFooter) {
    Start();
    fw::Ref<Help> help = Help::ImplicitInstance();
    help->TextArea1()->SetText("");
    const std::vector<Page> pages = PrintedPages([] { return PrintHelp(); });
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].textWords.empty());
}

class CancelledPrintTest : public PrintHelpTest, public ::testing::WithParamInterface<bool> {};

// Nothing is printed, and the help window ends closed: when it was not open,
// it is made only to be closed again.
TEST_P(CancelledPrintTest, PrintsNothingAndClosesTheHelpWindow) {
    const bool helpOpen = GetParam();
    Start();
    if (helpOpen) {
        ASSERT_FALSE(fw::RuntimeChooseMenuItem("HelpShow"));
    }
    ASSERT_EQ(MenuBarModule::MenuBar2Built(), helpOpen);
    fw::testing::PrintToPdf(PdfPath());
    fw::testing::CancelPrintDialogs();

    EXPECT_TRUE(fw::RuntimeChooseMenuItem("FilePrintHelp"));
    EXPECT_EQ(fw::testing::PrintDialogCount(), 1);
    EXPECT_FALSE(HelpIsOpen());
    EXPECT_TRUE(MenuBarModule::MenuBar2Built());
    h.ProcessEvents();
    EXPECT_FALSE(std::filesystem::exists(PdfPath()));
}

INSTANTIATE_TEST_SUITE_P(HelpWindow, CancelledPrintTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Open" : "Closed"; });

}  // namespace
}  // namespace apptest
