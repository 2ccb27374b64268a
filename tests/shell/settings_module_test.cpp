// The settings file: parser, loader and writer on a temporary Preferences folder.
#include "shell/settings_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fw/runtime/classinfo.h"
#include "fw/runtime/loop.h"
#include "fw/system/folders.h"
#include "fw/testing/preferences.h"
#include "settings_values.h"

namespace {

namespace S = SettingsModule;
using settings_values::Current;
using settings_values::SetCurrent;
using settings_values::Settings;
namespace fs = std::filesystem;

Settings Defaults() {
    return {55,  10,  50,  180, 50,  390, 50,  600, 50,  810,     100,     200, 100,
            200, 100, 200, 100, 200, 2.0, 2.0, 2.0, 2.0, "False", "False", 4};
}

Settings Zero() {
    return {};
}

Settings With(Settings s, const std::function<void(Settings&)>& change) {
    change(s);
    return s;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A literal that may hold NUL bytes.
template <size_t N>
std::string B(const char (&s)[N]) {
    return std::string(s, N - 1);
}

const std::string kForty = "1234567890123456789012345678901234567890";
const std::string kLong(2'000'000, 'x');

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { S::ResetForTesting(); }
    void TearDown() override {
        fw::testing::SetWriteFailureAfter(-1);
        fw::detail::SetBackgroundTaskHook(nullptr);
        S::ResetForTesting();
    }
    std::string SettingsPath() const { return prefs_.File("ostrel4.txt"); }

    fw::testing::TemporaryPreferences prefs_;
};

struct FileCase {
    const char* what;
    std::optional<std::string> file;  // nullopt: no settings file at all
    Settings expected;
};

TEST_F(SettingsTest, LoadsEachFixtureIntoTheSettings) {
    const FileCase cases[] = {
        {"no file", std::nullopt, Defaults()},
        {"empty file", "", Zero()},
        {"first line empty", "\n#NumDW 2\n", Zero()},
        {"first line starts with a blank", " #NumDW 2\n", Zero()},
        {"first line starts with a letter", "NumDW 2\n#NumDW 3\n", Zero()},
        {"byte-order mark", "\xef\xbb\xbf#NumDW 2\n#MyMag 3\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2, s.MyMag = 3; })},
        {"full file",
         "#Window2Position 1,2\n#w1Position 3,4\n#w2Position 5,6\n#w3Position 7,8\n"
         "#w4Position 9,10\n#w1Size 11,12\n#w2Size 13,14\n#w3Size 15,16\n"
         "#w4Size 17,18\n#MyMag 1.5\n#MyMag2 2\n#MyMag3 3.5\n#MyMag4 6\n"
         "#ShrinkWindow True\n#Crosshairs False\n#NumDW 3\n",
         {1,  2,  3,  4,  5,  6,   7, 8,   9, 10,     11,      12, 13,
          14, 15, 16, 17, 18, 1.5, 2, 3.5, 6, "True", "False", 3}},
        {"key in any case", "#MYMAG 3\n#w1position 7,8\n#nUmDw 2\n#shrinkwindow true\n",
         With(Zero(),
              [](Settings& s) {
                  s.MyMag = 3, s.w1Top = 7, s.w1Left = 8, s.NumDW = 2, s.ShrinkWindow = "true";
              })},
        {"line without blank", "#MyMag\t3\n#NumDW\n#\n#NumDW 2\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2; })},
        {"empty key", "# 5\n#MyMag 4\n", With(Zero(), [](Settings& s) { s.MyMag = 4; })},
        {"trailing blank kept", "#Crosshairs True \n#ShrinkWindow  False\n",
         With(Zero(), [](Settings& s) { s.Crosshairs = "True ", s.ShrinkWindow = " False"; })},
        {"value with blanks and marks", "#Crosshairs  a # b ' \n",
         With(Zero(), [](Settings& s) { s.Crosshairs = " a # b ' "; })},
        {"pair without comma", "#w1Position 70\n",
         With(Zero(), [](Settings& s) { s.w1Top = 70, s.w1Left = 0; })},
        {"pair with three fields", "#w2Size 1,2,3\n",
         With(Zero(), [](Settings& s) { s.w2Height = 1, s.w2Width = 2; })},
        {"repeated key", "#NumDW 2\n#w1Size 5,6\n#NumDW 3\n#w1Size 7\n",
         With(Zero(), [](Settings& s) { s.NumDW = 3, s.w1Height = 7, s.w1Width = 0; })},
        {"stop line", "#NumDW 2\n#MyMag 3\n\n#MyMag2 4\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2, s.MyMag = 3; })},
        {"blank-led stop line", "#NumDW 2\n #MyMag 3\n#MyMag2 4\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2; })},
        {"comment", "'a comment\n#NumDW 2\n'#MyMag 5\n#MyMag2 1.5\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2, s.MyMag2 = 1.5; })},
        {"negative numbers", "#Window2Position -20,-300\n#w4Size -1,-2\n#MyMag -1.5\n#NumDW -4\n",
         With(Zero(),
              [](Settings& s) {
                  s.Window2Top = -20, s.Window2Left = -300, s.w4Height = -1, s.w4Width = -2;
                  s.MyMag = -1.5, s.NumDW = -4;
              })},
        {"unknown key", "#Foo 1\n#MyMag5 3\n#NumDW 2\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2; })},
        {"CR LF and CR line endings", "#NumDW 2\r\n#MyMag 3\r#Crosshairs True\r\n",
         With(Zero(), [](Settings& s) { s.NumDW = 2, s.MyMag = 3, s.Crosshairs = "True"; })},
        {"fractions and text after numbers", "#NumDW 2.9\n#w1Position -3.7,12px\n#MyMag 2.5 x\n",
         With(Zero(),
              [](Settings& s) { s.NumDW = 2, s.w1Top = -3, s.w1Left = 12, s.MyMag = 2.5; })},
        {"huge and odd numbers",
         "#w1Position 1e300,-1e300\n#w2Position nan," + kForty + "\n#w3Position inf,-" + kForty +
             "\n#MyMag 1e300\n#MyMag2 nan\n#MyMag3 -1e300\n#MyMag4 " + kForty +
             "\n#NumDW 99999999999\n",
         With(Zero(),
              [](Settings& s) {
                  s.w1Top = 2147483647, s.w1Left = -2147483647 - 1;
                  s.w2Top = 0, s.w2Left = 2147483647, s.w3Top = 2147483647,
                  s.w3Left = -2147483647 - 1;
                  s.MyMag = 1e300, s.MyMag2 = 0, s.MyMag3 = -1e300,
                  s.MyMag4 = 1234567890123456789012345678901234567890.0;
                  s.NumDW = 2147483647;
              })},
        {"NUL bytes",
         B("#NumDW 3\0x\n#Crosshairs a\0b\n#MyMag \0"
           "2\n"),
         With(Zero(), [](Settings& s) { s.NumDW = 3, s.Crosshairs = B("a\0b"); })},
        {"invalid UTF-8",
         "#\xffMyMag 3\n#MyMag2 \xfe"
         "4\n#Crosshairs \xc3\n#NumDW\xc3 2\n#MyMag3 1.5\n",
         With(Zero(), [](Settings& s) { s.Crosshairs = "\xc3", s.MyMag3 = 1.5; })},
        {"very long line", "#Crosshairs " + kLong + "\n#" + kLong + "\n#NumDW 2\n",
         With(Zero(), [](Settings& s) { s.Crosshairs = kLong, s.NumDW = 2; })},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.what);
        S::ResetForTesting();
        fs::remove(SettingsPath());
        if (c.file) WriteBytes(SettingsPath(), *c.file);
        S::LoadSettings();
        EXPECT_EQ(Current(), c.expected);
    }
}

TEST_F(SettingsTest, UnreadableFileGivesDefaults) {
    fs::create_directory(SettingsPath());  // a folder of that name cannot be opened as text
    S::LoadSettings();
    EXPECT_EQ(Current(), Defaults());
}

TEST_F(SettingsTest, UncreatablePreferencesFolderGivesDefaultsAndSavesNothing) {
    WriteBytes(prefs_.File("plain"), "");
    fw::testing::SetPreferencesFolder(prefs_.File("plain") + "/sub");
    ::testing::internal::CaptureStderr();
    S::LoadSettings();
    EXPECT_EQ(Current(), Defaults());
    SetCurrent(With(Defaults(), [](Settings& s) { s.NumDW = 2; }));
    S::SaveSettings();
    const std::string err = ::testing::internal::GetCapturedStderr();
    fw::testing::SetPreferencesFolder(prefs_.Path());
    EXPECT_EQ(ReadBytes(prefs_.File("plain")), "");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(prefs_.File("plain") + "/sub"), std::string::npos) << err;
}

TEST_F(SettingsTest, ParserMakesOneEntryPerDirectiveFromIndexOne) {
    EXPECT_FALSE(S::ParseSettingsFile(nullptr));
    EXPECT_FALSE(S::ParseSettingsFile(fw::SpecialFolder::Preferences()->Child("ostrel4.txt")));
    ASSERT_EQ(S::directives->Ubound(), 0);

    WriteBytes(SettingsPath(),
               "#MyMag 2\n'note\n#NoBlank\n# empty\n#ÄBc d  e \n#X \nstop\n#NumDW 1\n");
    EXPECT_TRUE(S::ParseSettingsFile(fw::SpecialFolder::Preferences()->Child("ostrel4.txt")));
    const std::vector<std::pair<std::string, std::string>> want = {
        {"mymag", "2"}, {"", "empty"}, {"äbc", "d  e "}, {"x", ""}};
    ASSERT_EQ(S::directives->Ubound(), static_cast<int32_t>(want.size()));
    EXPECT_TRUE(S::directives->At(0).IsNil());
    for (size_t i = 0; i < want.size(); ++i) {
        const auto& e = S::directives->At(static_cast<int32_t>(i + 1));
        EXPECT_EQ(e->name.Bytes(), want[i].first);
        EXPECT_EQ(e->text.Bytes(), want[i].second);
        EXPECT_TRUE(fw::IsA(e, directiveClass::ClassInfo()));
    }
}

int g_yields = 0;

TEST_F(SettingsTest, YieldsOncePerPassOfEachLoop) {
    fw::detail::SetBackgroundTaskHook([] { ++g_yields; });
    // Parser: one pass for each of the four lines before the stop line. Loader: one
    // pass for each of the three entries.
    WriteBytes(SettingsPath(), "#NumDW 2\n'c\n#MyMag 3\n#Foo 1\n\n#MyMag2 2\n");
    g_yields = 0;
    S::LoadSettings();
    EXPECT_EQ(g_yields, 4 + 3);
    // A file that ends without a stop line.
    S::ResetForTesting();
    WriteBytes(SettingsPath(), "#NumDW 2\n#MyMag 3");
    g_yields = 0;
    S::LoadSettings();
    EXPECT_EQ(g_yields, 2 + 2);
    // Defaults: nothing to loop over.
    fs::remove(SettingsPath());
    g_yields = 0;
    S::LoadSettings();
    EXPECT_EQ(g_yields, 0);
    // The writer has no loop.
    S::SaveSettings();
    EXPECT_EQ(g_yields, 0);
}

TEST_F(SettingsTest, SecondLoadWalksEarlierEntriesAgainAndLaterOnesWin) {
    WriteBytes(SettingsPath(), "#NumDW 2\n");
    S::LoadSettings();
    WriteBytes(SettingsPath(), "#MyMag 3\n");
    S::LoadSettings();
    EXPECT_EQ(S::directives->Ubound(), 2);
    EXPECT_EQ(S::NumDW, 2);
    EXPECT_EQ(S::MyMag, 3.0);
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string::size_type from = 0, at;
    while ((at = bytes.find('\n', from)) != std::string::npos) {
        lines.push_back(bytes.substr(from, at - from));
        from = at + 1;
    }
    if (from < bytes.size()) lines.push_back(bytes.substr(from));
    return lines;
}

TEST_F(SettingsTest, WriterWritesTheSixteenLinesOfTheDefaults) {
    SetCurrent(Defaults());
    S::SaveSettings();
    EXPECT_EQ(ReadBytes(SettingsPath()),
              "#Window2Position 55,10\n"
              "#w1Position 50,180\n"
              "#w2Position 50,390\n"
              "#w3Position 50,600\n"
              "#w4Position 50,810\n"
              "#w1Size 100,200\n"
              "#w2Size 100,200\n"
              "#w3Size 100,200\n"
              "#w4Size 100,200\n"
              "#MyMag 2\n"
              "#MyMag2 2\n"
              "#MyMag3 2\n"
              "#MyMag4 2\n"
              "#ShrinkWindow False\n"
              "#Crosshairs False\n"
              "#NumDW 4\n");
}

TEST_F(SettingsTest, WriterShrinkWindowAndCrosshairsVariants) {
    struct Case {
        const char* shrink;
        const char* shrinkLine;
        const char* cross;
        const char* crossLine;
    } cases[] = {
        {"", "#ShrinkWindow True", "", "#Crosshairs "},
        {"false", "#ShrinkWindow False", "false", "#Crosshairs false"},
        {"TRUE", "#ShrinkWindow True", "TRUE", "#Crosshairs TRUE"},
        {"True ", "#ShrinkWindow True", "True ", "#Crosshairs True "},
        {"False ", "#ShrinkWindow True", " x#y ", "#Crosshairs  x#y "},
        {"FALSE", "#ShrinkWindow False", "True", "#Crosshairs True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shrink);
        SetCurrent(With(Defaults(),
                        [&](Settings& s) { s.ShrinkWindow = c.shrink, s.Crosshairs = c.cross; }));
        S::SaveSettings();
        const auto lines = Lines(ReadBytes(SettingsPath()));
        ASSERT_EQ(lines.size(), 16u);
        EXPECT_EQ(lines[13], c.shrinkLine);
        EXPECT_EQ(lines[14], c.crossLine);
        // Read back, Crosshairs is exactly what was held.
        S::ResetForTesting();
        S::LoadSettings();
        EXPECT_EQ(S::Crosshairs.Bytes(), c.cross);
    }
}

TEST_F(SettingsTest, EverythingTheProgramWritesReadsBackUnchanged) {
    const int32_t kMax = 2147483647, kMin = -2147483647 - 1;
    for (int k = 10; k <= 60; ++k) {
        SCOPED_TRACE(k);
        const Settings written = {-k,
                                  k * 7,
                                  kMin,
                                  kMax,
                                  -1,
                                  0,
                                  123,
                                  -456,
                                  k,
                                  -k,
                                  k + 100,
                                  k + 200,
                                  1,
                                  2,
                                  kMax,
                                  kMin,
                                  0,
                                  -7,
                                  k / 10.0,
                                  (70 - k) / 10.0,
                                  ((k * 3) % 51 + 10) / 10.0,
                                  ((k * 7) % 51 + 10) / 10.0,
                                  k % 2 ? "True" : "False",
                                  k % 3 ? "True" : "False",
                                  k % 4 + 1};
        SetCurrent(written);
        S::SaveSettings();
        S::ResetForTesting();
        S::LoadSettings();
        EXPECT_EQ(Current(), written);
    }
}

TEST_F(SettingsTest, FailedSaveLeavesThePreviousFileByteForByte) {
    const std::string before = "#NumDW 2\r\n'kept comment\n#MyMag 3.5\n";
    SetCurrent(Defaults());
    for (int64_t budget : {int64_t{0}, int64_t{10}, int64_t{200}}) {
        SCOPED_TRACE(budget);
        WriteBytes(SettingsPath(), before);
        fw::testing::SetWriteFailureAfter(budget);
        S::SaveSettings();
        fw::testing::SetWriteFailureAfter(-1);
        EXPECT_EQ(ReadBytes(SettingsPath()), before);
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(prefs_.Path()))
            names.push_back(e.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"ostrel4.txt"});
    }
    // Without the fault the same save replaces it.
    S::SaveSettings();
    EXPECT_EQ(Lines(ReadBytes(SettingsPath())).size(), 16u);
}

TEST_F(SettingsTest, ModuleStartAndEnd) {
    S::InitModule();
    EXPECT_EQ(fw::FindClass("directiveClass"), &directiveClass::ClassInfo());
    ASSERT_TRUE(S::directives);
    EXPECT_EQ(S::directives->Ubound(), 0);

    WriteBytes(SettingsPath(), "#Crosshairs True\n#ShrinkWindow False\n");
    S::LoadSettings();
    fw::Ref<directiveClass> kept = S::directives->At(1);
    EXPECT_EQ(kept->RefCount(), 2);
    S::FinalizeModule();
    EXPECT_TRUE(S::Crosshairs.IsEmpty());
    EXPECT_TRUE(S::ShrinkWindow.IsEmpty());
    EXPECT_TRUE(S::directives.IsNil());
    EXPECT_EQ(kept->RefCount(), 1);  // the list dropped its entries
    S::FinalizeModule();             // harmless when already released
}

}  // namespace
