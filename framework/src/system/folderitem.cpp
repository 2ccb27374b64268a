#include "fw/system/folderitem.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>
#include <string_view>

#include "fw/system/textstream.h"

namespace fw {

String FolderItem::Name() const {
    std::string_view p = path_;
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    const size_t slash = p.rfind('/');
    return String(std::string(slash == std::string_view::npos ? p : p.substr(slash + 1)));
}

bool FolderItem::Exists() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Ref<FolderItem> FolderItem::Child(const String& name) const {
    const std::string& n = name.Bytes();
    if (n.empty() || n == "." || n == ".." || n.find('/') != std::string::npos ||
        n.find('\0') != std::string::npos) {
        return nullptr;
    }
    if (path_.empty()) return New<FolderItem>(std::string());
    std::string base = path_;
    if (base.back() != '/') base += '/';
    return New<FolderItem>(base + n);
}

Ref<FolderItem> FolderItem::Parent() const {
    std::string_view p = path_;
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    const size_t slash = p.rfind('/');
    if (p == "/" || slash == std::string_view::npos) return nullptr;
    return New<FolderItem>(std::string(slash == 0 ? "/" : p.substr(0, slash)));
}

Ref<TextInputStream> FolderItem::OpenAsTextFile() const {
    // O_NONBLOCK keeps a FIFO or device at this path from blocking the open; only
    // regular files are read.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return New<TextInputStream>(fd);
}

namespace {

// The file that the path finally names, following symbolic links at the path
// itself; it need not exist yet. False for a link loop or an unreadable link.
bool FollowLinks(std::string path, std::string* target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            *target = path;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            *target = path;
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) return false;
        link.resize(static_cast<size_t>(n));
        if (link.front() != '/') {
            const size_t slash = path.rfind('/');
            link = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
        }
        path = std::move(link);
    }
    return false;
}

std::string TemporaryPrefix(const std::string& name) {
    return "." + name + ".tmp-";
}

// A save that was killed before its rename leaves its temporary behind. Those
// whose process has gone are removed; a live process may still be writing its own.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = TemporaryPrefix(name);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view n = entry->d_name;
        if (n.substr(0, prefix.size()) != prefix) continue;
        const std::string_view rest = n.substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) continue;
        const std::string_view pidText = rest.substr(0, dash), counter = rest.substr(dash + 1);
        auto digits = [](std::string_view t) {
            return t.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (!digits(pidText) || !digits(counter) || pidText.size() > 9) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(pidText)));
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// A new empty file beside the target, named after it and this process.
int CreateTemporary(const std::string& folder, const std::string& name, std::string* path) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = folder;
        if (temp.back() != '/') temp += '/';
        temp +=
            TemporaryPrefix(name) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *path = std::move(temp);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// The replacement takes the old file's owner, group and permissions; false when
// the owner cannot be given (another user's file that we may only write).
bool TakeOver(int fd, const struct stat& old) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        return false;
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

}  // namespace

Ref<TextOutputStream> FolderItem::CreateTextFile() const {
    // Through a symbolic link the file it names is written, so the link stays.
    std::string targetPath;
    if (!FollowLinks(path_, &targetPath)) return nullptr;
    const FolderItem target(targetPath);
    Ref<FolderItem> parent = target.Parent();
    if (!parent) return nullptr;

    // An existing file is opened for reading and writing, which proves both
    // rights and gives the descriptor for a rewrite in place. O_NONBLOCK and the
    // check before it keep a FIFO or device swapped in meanwhile from blocking or
    // being written.
    struct stat old;
    int existing = -1;
    if (::lstat(targetPath.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) return nullptr;
        existing = ::open(targetPath.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (existing < 0) return nullptr;
        const int flags = ::fcntl(existing, F_GETFL);
        if (::fstat(existing, &old) != 0 || !S_ISREG(old.st_mode) || flags < 0 ||
            ::fcntl(existing, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(existing);
            return nullptr;
        }
    } else if (errno != ENOENT) {
        return nullptr;
    }

    const std::string name = target.Name().Bytes();
    RemoveStaleTemporaries(parent->NativePath(), name);
    std::string temp;
    const int fd = CreateTemporary(parent->NativePath(), name, &temp);
    if (fd >= 0) {
        if (existing < 0) return New<TextOutputStream>(fd, std::move(temp), targetPath);
        if (TakeOver(fd, old)) {
            ::close(existing);
            return New<TextOutputStream>(fd, std::move(temp), targetPath);
        }
        ::close(fd);
        ::unlink(temp.c_str());
    }
    if (existing < 0) return nullptr;
    // The folder takes no new file (or the file's owner could not be kept), but
    // the file itself is writable.
    return New<TextOutputStream>(existing);
}

bool FolderItem::CreateAsFolder() const {
    std::error_code ec;
    std::filesystem::create_directories(path_, ec);
    return Directory();
}

}  // namespace fw
