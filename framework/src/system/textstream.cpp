#include "fw/system/textstream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "fw/testing/preferences.h"

namespace fw {
namespace {

constexpr size_t kChunk = 64 * 1024;

// Simulated write failure for tests: bytes still allowed, or -1 for no limit.
int64_t g_writeBudget = -1;

// Writes everything at `offset`, or at the file position when it is negative.
bool WriteAll(int fd, const char* data, size_t size, off_t offset = -1) {
    bool cut = false;
    if (g_writeBudget >= 0 && static_cast<int64_t>(size) > g_writeBudget) {
        size = static_cast<size_t>(g_writeBudget);
        cut = true;
    }
    while (size > 0) {
        const ssize_t n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        if (offset >= 0) offset += n;
        if (g_writeBudget >= 0) g_writeBudget -= n;
    }
    if (cut) errno = ENOSPC;
    return !cut;
}

// Makes sure that the file has room for `size` bytes, so that a full disk shows
// before anything of the file is overwritten.
bool ReserveSpace(int fd, size_t size) {
    if (g_writeBudget >= 0 && static_cast<int64_t>(size) > g_writeBudget) return false;
    if (size == 0) return true;
    const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    // A file system that cannot reserve space is written without.
    return error == 0 || error == EOPNOTSUPP || error == ENOSYS;
}

const std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

namespace testing {
void SetWriteFailureAfter(int64_t bytes) {
    g_writeBudget = bytes < 0 ? -1 : bytes;
}
}  // namespace testing

// ---- TextInputStream ----

TextInputStream::~TextInputStream() {
    Close();
}

void TextInputStream::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    pos_ = 0;
    atEnd_ = true;
}

bool TextInputStream::Fill() {
    if (fd_ < 0) return false;
    buffer_.erase(0, pos_);
    pos_ = 0;
    char chunk[kChunk];
    while (!atEnd_) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        // A read error ends the stream like the end of the file does.
        if (n <= 0) {
            atEnd_ = true;
            break;
        }
        buffer_.append(chunk, static_cast<size_t>(n));
        // A byte-order mark can only be told once its three bytes are in.
        if (atStart_ && buffer_.size() < kByteOrderMark.size()) continue;
        SkipByteOrderMark();
        if (pos_ < buffer_.size()) return true;
    }
    SkipByteOrderMark();
    return pos_ < buffer_.size();
}

void TextInputStream::SkipByteOrderMark() {
    // Editors put one at the start of a UTF-8 file; it is no part of the first line.
    if (!atStart_) return;
    atStart_ = false;
    if (std::string_view(buffer_).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        pos_ = kByteOrderMark.size();
    }
}

bool TextInputStream::IsEOF() {
    return pos_ >= buffer_.size() && !Fill();
}

String TextInputStream::ReadLine() {
    std::string line;
    for (;;) {
        const size_t at = buffer_.find_first_of("\r\n", pos_);
        if (at != std::string::npos) {
            line.append(buffer_, pos_, at - pos_);
            const char ending = buffer_[at];
            pos_ = at + 1;
            if (ending == '\r') {
                if (pos_ >= buffer_.size()) Fill();
                if (pos_ < buffer_.size() && buffer_[pos_] == '\n') ++pos_;
            }
            return String(std::move(line));
        }
        line.append(buffer_, pos_, std::string::npos);
        pos_ = buffer_.size();
        if (!Fill()) return String(std::move(line));
    }
}

// ---- TextOutputStream ----

TextOutputStream::~TextOutputStream() {
    // Dropped without Close (an exception on the way, most likely): what was
    // written may be incomplete, so the earlier file stays.
    if (!closed_) Abandon();
}

void TextOutputStream::Write(const String& text) {
    if (closed_ || failed_) return;
    buffer_ += text.Bytes();
    if (buffer_.size() >= kChunk) Flush();
}

void TextOutputStream::WriteLine(const String& text) {
    if (closed_ || failed_) return;
    buffer_ += text.Bytes();
    buffer_ += '\n';
    if (buffer_.size() >= kChunk) Flush();
}

void TextOutputStream::Flush() {
    // In place, nothing may reach the file before Close has reserved its room.
    if (inPlace_ || failed_ || buffer_.empty()) return;
    if (!WriteAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
    buffer_.clear();
}

void TextOutputStream::Abandon() {
    closed_ = true;
    result_ = false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    if (!inPlace_) ::unlink(tempPath_.c_str());
}

bool TextOutputStream::Close() {
    if (closed_) return result_;
    result_ = inPlace_ ? CloseInPlace() : CloseReplacing();
    closed_ = true;
    return result_;
}

bool TextOutputStream::CloseInPlace() {
    const size_t size = buffer_.size();
    bool ok = !failed_ && ReserveSpace(fd_, size) && WriteAll(fd_, buffer_.data(), size, 0) &&
              ::ftruncate(fd_, static_cast<off_t>(size)) == 0 && ::fsync(fd_) == 0;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    buffer_.clear();
    return ok;
}

bool TextOutputStream::CloseReplacing() {
    Flush();
    if (!failed_ && ::fsync(fd_) != 0) failed_ = true;
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    if (!failed_ && ::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) failed_ = true;
    if (failed_) {
        Abandon();
        return false;
    }
    // Make the rename itself durable; the file is in place either way.
    const size_t slash = targetPath_.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : targetPath_.substr(0, std::max<size_t>(slash, 1));
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace fw
