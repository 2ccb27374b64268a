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
    // child (empty, ".", "..", or holding "/" or a NUL byte).
    Ref<FolderItem> Child(const String& name) const;
    Ref<FolderItem> Parent() const;

    // Opens the file for reading; nil when it is missing, not a regular file or
    // cannot be read.
    Ref<TextInputStream> OpenAsTextFile() const;
    // Starts writing the file anew. The text goes to a temporary file in the same
    // folder and replaces the file only when TextOutputStream::Close succeeds, so
    // the earlier content stays whole until then. Nil when the temporary file
    // cannot be created (missing folder, no permission).
    Ref<TextOutputStream> CreateTextFile() const;

    // Creates the folder and any missing parents; true when it exists afterwards.
    bool CreateAsFolder() const;

  private:
    std::string path_;
};

}  // namespace fw
