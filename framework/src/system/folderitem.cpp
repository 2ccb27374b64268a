#include "fw/system/folderitem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
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
    std::string base = path_;
    if (base.empty() || base.back() != '/') base += '/';
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

Ref<TextOutputStream> FolderItem::CreateTextFile() const {
    // Replacing a symbolic link by renaming over it would cut the link; write
    // the file it points to instead.
    std::string targetPath = path_;
    struct stat lst;
    if (::lstat(path_.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (char* real = ::realpath(path_.c_str(), nullptr)) {
            targetPath = real;
            std::free(real);
        }
    }
    const FolderItem target(targetPath);
    Ref<FolderItem> parent = target.Parent();
    if (!parent) return nullptr;
    const std::string name = target.Name().Bytes();
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = parent->NativePath();
        if (temp.back() != '/') temp += '/';
        temp += "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        // The new file replaces the old one, so it keeps the old one's permissions.
        struct stat st;
        if (::stat(targetPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::fchmod(fd, st.st_mode & 07777);
        }
        return New<TextOutputStream>(fd, std::move(temp), targetPath);
    }
    return nullptr;
}

bool FolderItem::CreateAsFolder() const {
    std::error_code ec;
    std::filesystem::create_directories(path_, ec);
    return Directory();
}

}  // namespace fw
