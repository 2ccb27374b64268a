// Folder items, the Preferences folder and the text streams on a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fw/system/folderitem.h"
#include "fw/system/folders.h"
#include "fw/system/textstream.h"
#include "fw/testing/preferences.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> ReadAllLines(const Ref<FolderItem>& f) {
    std::vector<std::string> lines;
    Ref<TextInputStream> in = f->OpenAsTextFile();
    if (!in) return lines;
    while (!in->IsEOF()) lines.push_back(in->ReadLine().Bytes());
    in->Close();
    return lines;
}

// Every name in the folder, so that a leftover temporary file shows.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
}

class FilesTest : public ::testing::Test {
  protected:
    testing::TemporaryPreferences prefs_;
    Ref<FolderItem> Prefs() { return SpecialFolder::Preferences(); }
};

TEST_F(FilesTest, PreferencesIsTheOverrideAndChildrenNameFiles) {
    Ref<FolderItem> p = Prefs();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NativePath(), prefs_.Path());
    EXPECT_TRUE(p->Directory());
    Ref<FolderItem> c = p->Child("ostrel4.txt");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->NativePath(), prefs_.File("ostrel4.txt"));
    EXPECT_EQ(c->Name().Bytes(), "ostrel4.txt");
    EXPECT_FALSE(c->Exists());
    EXPECT_EQ(c->Parent()->NativePath(), prefs_.Path());
    for (const char* bad : {"", ".", "..", "a/b"}) EXPECT_FALSE(p->Child(bad)) << bad;
    EXPECT_FALSE(p->Child(String(std::string("a\0b", 3))));
}

TEST_F(FilesTest, PreferencesFollowsXdgConfigHomeAndCreatesIt) {
    testing::SetPreferencesFolder("");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    const std::string xdg = prefs_.Path() + "/xdg/config";
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    Ref<FolderItem> p = SpecialFolder::Preferences();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NativePath(), xdg);
    EXPECT_TRUE(fs::is_directory(xdg));

    // A relative value is ignored in favour of ~/.config.
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", prefs_.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(SpecialFolder::Preferences()->NativePath(), prefs_.Path() + "/.config");
    EXPECT_TRUE(fs::is_directory(prefs_.Path() + "/.config"));

    setenv("HOME", savedHome.c_str(), 1);
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    testing::SetPreferencesFolder(prefs_.Path());
}

TEST_F(FilesTest, OpenAsTextFileIsNilForMissingOrNonRegularFiles) {
    EXPECT_FALSE(Prefs()->Child("missing.txt")->OpenAsTextFile());
    EXPECT_FALSE(Prefs()->OpenAsTextFile());  // a folder
    const std::string fifo = prefs_.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Prefs()->Child("fifo")->OpenAsTextFile());  // returns, does not block
}

TEST_F(FilesTest, ReadLineSplitsAtEveryLineEnding) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
        {"\xff\xfe\xc3\n\xe2\x82", {"\xff\xfe\xc3", "\xe2\x82"}},
        // A byte-order mark is skipped at the start of the file only, and once.
        {"\xef\xbb\xbf#a\nb", {"#a", "b"}},
        {"\xef\xbb\xbf", {}},
        {"\xef\xbb\xbf\n", {""}},
        {"\xef\xbb\xbf\xef\xbb\xbfx", {"\xef\xbb\xbfx"}},
        {"\xef\xbb", {"\xef\xbb"}},
        {"a\n\xef\xbb\xbf#b", {"a", "\xef\xbb\xbf#b"}},
    };
    for (const Case& c : cases) {
        WriteBytes(prefs_.File("f.txt"), c.bytes);
        EXPECT_EQ(ReadAllLines(Prefs()->Child("f.txt")), c.lines) << c.bytes;
    }
}

TEST_F(FilesTest, LongLinesAndCrLfAcrossBufferBoundaries) {
    // Lines much longer than any read buffer, and a CR LF pair split by one.
    const std::string longLine(1'000'003, 'x');
    for (size_t at : {size_t{65535}, size_t{65536}, size_t{131071}}) {
        const std::string first(at, 'a');
        WriteBytes(prefs_.File("f.txt"), first + "\r\n" + longLine + "\rtail");
        const auto lines = ReadAllLines(Prefs()->Child("f.txt"));
        ASSERT_EQ(lines.size(), 3u) << at;
        EXPECT_EQ(lines[0], first);
        EXPECT_EQ(lines[1], longLine);
        EXPECT_EQ(lines[2], "tail");
    }
}

TEST_F(FilesTest, StreamAfterCloseIsAtEnd) {
    WriteBytes(prefs_.File("f.txt"), "a\nb\n");
    Ref<TextInputStream> in = Prefs()->Child("f.txt")->OpenAsTextFile();
    ASSERT_TRUE(in);
    EXPECT_FALSE(in->IsEOF());
    EXPECT_EQ(in->ReadLine().Bytes(), "a");
    in->Close();
    EXPECT_TRUE(in->IsEOF());
    EXPECT_EQ(in->ReadLine().Bytes(), "");
}

TEST_F(FilesTest, CreateTextFileWritesLinesWithLfAndReplacesTheFile) {
    WriteBytes(prefs_.File("out.txt"), "old content that is longer\n");
    chmod(prefs_.File("out.txt").c_str(), 0640);
    Ref<TextOutputStream> out = Prefs()->Child("out.txt")->CreateTextFile();
    ASSERT_TRUE(out);
    // Nothing changes before the close.
    EXPECT_EQ(ReadBytes(prefs_.File("out.txt")), "old content that is longer\n");
    out->WriteLine("#MyMag 2");
    out->WriteLine("");
    out->Write("x");
    out->WriteLine(String(std::string("\xff\0", 2)));
    EXPECT_TRUE(out->Close());
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(ReadBytes(prefs_.File("out.txt")), std::string("#MyMag 2\n\nx\xff\0\n", 14));
    EXPECT_EQ(Entries(prefs_.Path()), std::vector<std::string>{"out.txt"});
    struct stat st;
    ASSERT_EQ(stat(prefs_.File("out.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FilesTest, SavingThroughASymbolicLinkKeepsTheLink) {
    fs::create_directory(prefs_.File("real"));
    WriteBytes(prefs_.File("real/s.txt"), "old\n");
    fs::create_symlink("real/s.txt", prefs_.File("s.txt"));
    Ref<TextOutputStream> out = Prefs()->Child("s.txt")->CreateTextFile();
    ASSERT_TRUE(out);
    out->WriteLine("new");
    EXPECT_TRUE(out->Close());
    EXPECT_TRUE(fs::is_symlink(prefs_.File("s.txt")));
    EXPECT_EQ(ReadBytes(prefs_.File("real/s.txt")), "new\n");
}

TEST_F(FilesTest, LargeOutputIsWrittenWhole) {
    Ref<TextOutputStream> out = Prefs()->Child("big.txt")->CreateTextFile();
    const std::string line(1000, 'z');
    for (int i = 0; i < 300; ++i) out->WriteLine(line);
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(fs::file_size(prefs_.File("big.txt")), 300u * 1001u);
}

// Every way a save can fail leaves the earlier file exactly as it was and no
// temporary file behind.
TEST_F(FilesTest, FailedSaveKeepsTheEarlierFile) {
    const std::string before = "#w1Position 50,180\r\n#NumDW 3\n";
    for (int64_t budget : {int64_t{0}, int64_t{1}, int64_t{25}, int64_t{98}}) {
        WriteBytes(prefs_.File("s.txt"), before);
        Ref<TextOutputStream> out = Prefs()->Child("s.txt")->CreateTextFile();
        ASSERT_TRUE(out);
        testing::SetWriteFailureAfter(budget);
        out->WriteLine("#Window2Position 55,10");
        out->WriteLine("#w1Position 50,180");
        out->WriteLine("#w2Position 50,390");
        out->WriteLine("#w3Position 50,600");
        out->WriteLine("#w4Position 50,810");
        const bool ok = out->Close();
        testing::SetWriteFailureAfter(-1);
        EXPECT_FALSE(ok) << budget;
        EXPECT_EQ(ReadBytes(prefs_.File("s.txt")), before) << budget;
        EXPECT_EQ(Entries(prefs_.Path()), std::vector<std::string>{"s.txt"}) << budget;
    }
}

TEST_F(FilesTest, FailedSaveWhenTheTemporaryCannotBeCreated) {
    EXPECT_FALSE(Prefs()->Child("no-such-folder")->Child("s.txt")->CreateTextFile());
}

TEST_F(FilesTest, FailedRenameKeepsTheTargetAndRemovesTheTemporary) {
    // A folder sits where the file should go, so the rename cannot replace it.
    fs::create_directory(prefs_.File("s.txt"));
    WriteBytes(prefs_.File("s.txt") + "/inner", "kept");
    Ref<TextOutputStream> out = Prefs()->Child("s.txt")->CreateTextFile();
    ASSERT_TRUE(out);
    out->WriteLine("x");
    EXPECT_FALSE(out->Close());
    EXPECT_EQ(ReadBytes(prefs_.File("s.txt") + "/inner"), "kept");
    EXPECT_EQ(Entries(prefs_.Path()), std::vector<std::string>{"s.txt"});
}

TEST_F(FilesTest, DroppedWithoutCloseKeepsTheEarlierFile) {
    WriteBytes(prefs_.File("s.txt"), "before\n");
    {
        Ref<TextOutputStream> out = Prefs()->Child("s.txt")->CreateTextFile();
        out->WriteLine("half");
    }
    EXPECT_EQ(ReadBytes(prefs_.File("s.txt")), "before\n");
    EXPECT_EQ(Entries(prefs_.Path()), std::vector<std::string>{"s.txt"});
}

}  // namespace
}  // namespace fw
