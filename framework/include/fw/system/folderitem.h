// Files and folders. A FolderItem names a path whether or not anything exists
// there, so a child of a missing folder can still be asked whether it exists.
#pragma once

#include <string>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"

namespace fw {

class TextInputStream;
class TextOutputStream;

class FolderItem : public Object {
  public:
    explicit FolderItem(std::string path) : path_(std::move(path)) {}

    // The absolute path in the file system's own bytes.
    const std::string& NativePath() const noexcept { return path_; }
    // The last part of the path.
    String Name() const;
    bool Exists() const;
    bool Directory() const;

    // The item of that name inside this folder; nil when the name cannot name a
    // child (empty, ".", "..", or holding "/" or a NUL byte). A child of an item
    // with an empty path, which names nothing, names nothing either.
    Ref<FolderItem> Child(const String& name) const;
    Ref<FolderItem> Parent() const;

    // Opens the file for reading; nil when it is missing, not a regular file or
    // cannot be read.
    Ref<TextInputStream> OpenAsTextFile() const;
    // Starts writing the file anew; nothing changes on disk before
    // TextOutputStream::Close. A symbolic link is followed to the file it names,
    // so the link stays. The text goes to a temporary file in the file's folder
    // that replaces the file with its mode and owner; where the folder takes no
    // new file but the file itself is writable, the file is rewritten in place.
    // Temporaries of this file left by processes that no longer run are removed.
    // Nil, with nothing written, where the file cannot be created, where an
    // existing file cannot be both read and written (replacing a file the user
    // cannot read would lose what it holds), and where the path names anything
    // but a regular file or a link to one (a FIFO, a device, a folder).
    Ref<TextOutputStream> CreateTextFile() const;

    // Creates the folder and any missing parents; true when it exists afterwards.
    bool CreateAsFolder() const;

  private:
    std::string path_;
};

}  // namespace fw
