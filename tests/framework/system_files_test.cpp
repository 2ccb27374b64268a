// Folder items, the Preferences folder and the text streams on a temporary folder.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
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
    // A folder takes the file's place before the close, so the rename cannot replace it.
    WriteBytes(prefs_.File("s.txt"), "old\n");
    Ref<TextOutputStream> out = Prefs()->Child("s.txt")->CreateTextFile();
    ASSERT_TRUE(out);
    fs::remove(prefs_.File("s.txt"));
    fs::create_directory(prefs_.File("s.txt"));
    WriteBytes(prefs_.File("s.txt") + "/inner", "kept");
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

// ---- Saves over files that are not what they seem ----

// What a folder holds, entry by entry, so that a test sees any change at all.
using Snapshot = std::map<std::string, std::string>;

std::string Describe(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return "missing";
    std::ostringstream d;
    d << std::oct << (st.st_mode & 07777) << std::dec << " uid " << st.st_uid << " gid "
      << st.st_gid << " inode " << st.st_ino;
    if (S_ISREG(st.st_mode)) {
        d << " file " << st.st_size << " @" << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream bytes;
            bytes << in.rdbuf();
            d << " [" << bytes.str() << "]";
        }
    } else if (S_ISLNK(st.st_mode)) {
        d << " link to " << fs::read_symlink(path).string();
    } else if (S_ISDIR(st.st_mode)) {
        d << " folder";
    } else {
        d << (S_ISFIFO(st.st_mode) ? " fifo" : " node") << " rdev " << st.st_rdev;
    }
    return d.str();
}

Snapshot Take(const std::string& folder) {
    Snapshot s;
    s["/dev/null"] = Describe("/dev/null");  // nothing may ever replace it
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        s[it->path().string().substr(folder.size() + 1)] = Describe(it->path());
    }
    return s;
}

// The user whom a save runs as: "nobody" when the tests run as root, since
// root passes every permission check that these cases are about.
const uid_t kNobody = 65534;
bool AsRoot() {
    return geteuid() == 0;
}
uid_t SaverUid() {
    return AsRoot() ? kNobody : geteuid();
}
gid_t SaverGid() {
    return AsRoot() ? kNobody : getegid();
}

// Fixture makers; what they make belongs to the saver.
void Own(const std::string& path) {
    if (AsRoot()) {
        ASSERT_EQ(lchown(path.c_str(), SaverUid(), SaverGid()), 0) << path;
    }
}
void MakeFile(const std::string& path, const std::string& bytes, mode_t mode) {
    WriteBytes(path, bytes);
    Own(path);
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}
void MakeFolder(const std::string& path) {
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
    Own(path);
}
void MakeLink(const std::string& to, const std::string& path) {
    ASSERT_EQ(symlink(to.c_str(), path.c_str()), 0) << path;
    Own(path);
}

const char kOld[] = "#NumDW 3\n#w1Size 100,200\n'an older and longer file\n";
const char kNew[] = "#NumDW 2\n#MyMag 3\n";

enum Result { kNoStream = 0, kClosed = 1, kCloseFailed = 2, kCannotDropPrivileges = 77 };

Result Save(const std::string& path, int64_t writeBudget) {
    Ref<TextOutputStream> out = FolderItem(path).CreateTextFile();
    if (!out) return kNoStream;
    testing::SetWriteFailureAfter(writeBudget);
    out->Write("#NumDW 2\n");
    out->WriteLine("#MyMag 3");
    const bool closed = out->Close();
    testing::SetWriteFailureAfter(-1);
    return closed ? kClosed : kCloseFailed;
}

// The save in a child process that has given up root, so that mode bits bind it.
Result SaveUnprivileged(const std::string& path, int64_t writeBudget) {
    if (!AsRoot()) return Save(path, writeBudget);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0 ||
            access(fs::path(path).parent_path().c_str(), X_OK) != 0) {
            _exit(kCannotDropPrivileges);
        }
        _exit(Save(path, writeBudget));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? static_cast<Result>(WEXITSTATUS(status)) : kCannotDropPrivileges;
}

pid_t DeadPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

TEST_F(FilesTest, SaveWritesOnlyWhereItDoesNoHarm) {
    enum Outcome {
        kNothing,   // no stream, and nothing changes
        kReplaced,  // a new file with the text takes the target's name, mode and owner
        kInPlace,   // the target itself now holds the text
        kFailed,    // a stream whose close fails, and nothing changes
    };
    struct Case {
        const char* what;
        bool unprivileged;  // about permissions: runs as a user whom mode bits bind
        bool needsRoot;     // its fixture gives a file to another user
        std::function<void(const std::string& dir)> setup;
        Outcome outcome;
        std::string target = "s.txt";  // the file that the text goes to
        std::vector<std::string> removed = {};
        int64_t writeBudget = -1;
    };
    const std::string dead = std::to_string(DeadPid());
    const Case cases[] = {
        {"new file", false, false, [](const std::string&) {}, kReplaced},
        {"mode 000 file", true, false,
         [](const std::string& d) { MakeFile(d + "/s.txt", kOld, 0000); }, kNothing},
        {"read-only file", true, false,
         [](const std::string& d) { MakeFile(d + "/s.txt", kOld, 0444); }, kNothing},
        {"write-only file", true, false,
         [](const std::string& d) { MakeFile(d + "/s.txt", kOld, 0200); }, kNothing},
        {"writable file in a read-only folder", true, false,
         [](const std::string& d) {
             MakeFile(d + "/s.txt", kOld, 0640);
             chmod(d.c_str(), 0555);
         },
         kInPlace},
        {"writable file in a read-only folder, disk full",
         true,
         false,
         [](const std::string& d) {
             MakeFile(d + "/s.txt", kOld, 0640);
             chmod(d.c_str(), 0555);
         },
         kFailed,
         "s.txt",
         {},
         5},
        {"no file in a read-only folder", true, false,
         [](const std::string& d) { chmod(d.c_str(), 0555); }, kNothing},
        {"another user's writable file", true, true,
         [](const std::string& d) {
             MakeFile(d + "/s.txt", kOld, 0666);
             ASSERT_EQ(chown((d + "/s.txt").c_str(), 0, 0), 0);
         },
         kInPlace},
        {"another user's file saved by root", false, true,
         [](const std::string& d) {
             MakeFile(d + "/s.txt", kOld, 0604);
             ASSERT_EQ(chown((d + "/s.txt").c_str(), kNobody, kNobody), 0);
         },
         kReplaced},
        {"link to a FIFO", false, false,
         [](const std::string& d) {
             ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0);
             MakeLink("fifo", d + "/s.txt");
         },
         kNothing},
        {"link to a device", false, false,
         [](const std::string& d) {
             // A null device of our own where one can be made, so that a fault
             // would replace that one; otherwise the system's.
             if (mknod((d + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
                 MakeLink("null", d + "/s.txt");
             } else {
                 MakeLink("/dev/null", d + "/s.txt");
             }
         },
         kNothing},
        {"link to a folder", false, false,
         [](const std::string& d) {
             MakeFolder(d + "/sub");
             MakeFile(d + "/sub/inner", "kept", 0644);
             MakeLink("sub", d + "/s.txt");
         },
         kNothing},
        {"folder at the path", false, false,
         [](const std::string& d) {
             MakeFolder(d + "/s.txt");
             MakeFile(d + "/s.txt/inner", "kept", 0644);
         },
         kNothing},
        {"link loop", false, false, [](const std::string& d) { MakeLink("s.txt", d + "/s.txt"); },
         kNothing},
        {"link to a file yet to be made", false, false,
         [](const std::string& d) {
             MakeFolder(d + "/sub");
             MakeLink("sub/new.txt", d + "/s.txt");
         },
         kReplaced, "sub/new.txt"},
        {"temporaries of dead and live processes",
         false,
         false,
         [&dead](const std::string& d) {
             MakeFile(d + "/s.txt", kOld, 0644);
             for (const std::string& name :
                  {".s.txt.tmp-" + dead + "-0", ".s.txt.tmp-" + dead + "-17",
                   std::string(".s.txt.tmp-1-0"), ".s.txt.tmp-" + dead + "-x", ".s.txt.tmp-" + dead,
                   ".other.txt.tmp-" + dead + "-0"})
                 MakeFile(d + "/" + name, "half", 0600);
         },
         kReplaced,
         "s.txt",
         {".s.txt.tmp-" + dead + "-0", ".s.txt.tmp-" + dead + "-17"}},
    };

    if (AsRoot()) chmod(prefs_.Path().c_str(), 0755);  // lets the saver reach its folders
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !AsRoot()) {
            std::printf(
                "[  NOTE    ] \"%s\" skipped: it needs root to give a file to another "
                "user\n",
                c.what);
            continue;
        }
        const std::string dir = prefs_.File("case" + std::to_string(n++));
        MakeFolder(dir);
        c.setup(dir);
        const Snapshot before = Take(dir);
        const Result result = c.unprivileged ? SaveUnprivileged(dir + "/s.txt", c.writeBudget)
                                             : Save(dir + "/s.txt", c.writeBudget);
        if (result == kCannotDropPrivileges) {
            chmod(dir.c_str(), 0755);
            GTEST_SKIP() << "cannot run a save as the unprivileged user " << kNobody
                         << " (needed as root, whom file modes do not bind)";
        }
        const Snapshot after = Take(dir);
        chmod(dir.c_str(), 0755);  // so the folder can be cleared

        switch (c.outcome) {
            case kNothing:
                EXPECT_EQ(result, kNoStream);
                EXPECT_EQ(after, before);
                continue;
            case kFailed:
                EXPECT_EQ(result, kCloseFailed);
                EXPECT_EQ(after, before);
                continue;
            case kReplaced:
            case kInPlace:
                break;
        }
        EXPECT_EQ(result, kClosed);
        EXPECT_EQ(ReadBytes(dir + "/" + c.target), kNew);
        struct stat now;
        ASSERT_EQ(lstat((dir + "/" + c.target).c_str(), &now), 0);
        const auto old = before.find(c.target);
        if (old != before.end()) {
            // Same permissions, owner and group; a rewrite in place keeps the inode too.
            std::istringstream was(old->second);
            unsigned mode = 0, uid = 0, gid = 0;
            ino_t inode = 0;
            std::string word;
            was >> std::oct >> mode >> std::dec >> word >> uid >> word >> gid >> word >> inode;
            EXPECT_EQ(now.st_mode & 07777, mode);
            EXPECT_EQ(now.st_uid, uid);
            EXPECT_EQ(now.st_gid, gid);
            if (c.outcome == kInPlace) {
                EXPECT_EQ(now.st_ino, inode);
            } else {
                EXPECT_NE(now.st_ino, inode);
            }
        }
        // Nothing else changed, apart from the temporaries that had to go.
        Snapshot expected = before;
        for (const std::string& gone : c.removed) EXPECT_EQ(expected.erase(gone), 1u) << gone;
        expected[c.target] = after.count(c.target) ? after.at(c.target) : "";
        EXPECT_EQ(after, expected);
    }
}

TEST_F(FilesTest, AnItemThatNamesNothingHasChildrenThatNameNothing) {
    Ref<FolderItem> nothing = New<FolderItem>(std::string());
    Ref<FolderItem> child = nothing->Child("ostrel4.txt");
    ASSERT_TRUE(child);
    EXPECT_EQ(child->NativePath(), "");
    EXPECT_FALSE(child->Exists());
    EXPECT_FALSE(child->OpenAsTextFile());
    EXPECT_FALSE(child->CreateTextFile());
}

TEST_F(FilesTest, PreferencesThatCannotBeCreatedAreSaidOnceAndHoldNothing) {
    WriteBytes(prefs_.File("plain"), "a file, not a folder");
    const std::string folder = prefs_.File("plain") + "/config";
    testing::SetPreferencesFolder(folder);
    ::testing::internal::CaptureStderr();
    Ref<FolderItem> first = SpecialFolder::Preferences();
    Ref<FolderItem> second = SpecialFolder::Preferences();
    const std::string err = ::testing::internal::GetCapturedStderr();
    testing::SetPreferencesFolder(prefs_.Path());

    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(first->NativePath(), folder);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("cannot create the Preferences folder " + folder + " ("), std::string::npos)
        << err;
    EXPECT_FALSE(first->Child("ostrel4.txt")->OpenAsTextFile());
    EXPECT_FALSE(first->Child("ostrel4.txt")->CreateTextFile());
    EXPECT_EQ(ReadBytes(prefs_.File("plain")), "a file, not a folder");
}

}  // namespace
}  // namespace fw
