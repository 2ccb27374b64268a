// Text streams, read and written line by line.
#pragma once

#include <cstdint>
#include <string>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"

namespace fw {

// Reads a file's lines. A line ends at LF, CR LF or CR; the line ending is never
// part of the text. Lines of any length, NUL bytes and bytes that are not valid
// UTF-8 come through unchanged (tagged UTF-8). A UTF-8 byte-order mark at the
// start of the file is skipped.
class TextInputStream : public Object {
  public:
    explicit TextInputStream(int fd) : fd_(fd) {}
    ~TextInputStream() override;

    // True when nothing is left to read (or the stream is closed). Named IsEOF
    // because <cstdio> makes EOF a macro.
    bool IsEOF();
    // The next line, or the empty text at the end.
    String ReadLine();
    void Close();

  private:
    // Reads more; false when nothing is left.
    bool Fill();
    void SkipByteOrderMark();

    int fd_;
    std::string buffer_;
    size_t pos_ = 0;
    bool atStart_ = true;
    bool atEnd_ = false;
};

// Writes a new file's lines (LF endings). Nothing reaches the target before
// Close. Made by FolderItem::CreateTextFile in one of two ways:
// - Replacing: the text goes to a temporary file beside the target, which Close
//   syncs and renames over it. When anything fails (a write, the sync, the
//   rename), or the stream is dropped without Close, the temporary file is
//   removed and the target keeps its earlier content byte for byte.
// - In place, for a writable file in a folder that takes no new file: Close
//   reserves the space the text needs, then overwrites the file from its start,
//   cuts it to the new length and syncs it. A full disk fails the reservation,
//   before any byte changes; a failure after it can leave the file damaged.
class TextOutputStream : public Object {
  public:
    // Replaces targetPath with tempPath, which fd has open for writing.
    TextOutputStream(int fd, std::string tempPath, std::string targetPath)
        : fd_(fd), tempPath_(std::move(tempPath)), targetPath_(std::move(targetPath)) {}
    // Rewrites the regular file that fd has open for reading and writing.
    explicit TextOutputStream(int fd) : fd_(fd), inPlace_(true) {}
    ~TextOutputStream() override;

    void Write(const String& text);
    // Writes the text and one LF.
    void WriteLine(const String& text);
    // Commits the file; true when the target now holds exactly what was written.
    // A second Close gives the first one's result.
    bool Close();

  private:
    void Flush();
    void Abandon();
    bool CloseReplacing();
    bool CloseInPlace();

    int fd_;
    std::string tempPath_;
    std::string targetPath_;
    bool inPlace_ = false;
    std::string buffer_;
    bool failed_ = false;
    bool closed_ = false;
    bool result_ = false;
};

}  // namespace fw
