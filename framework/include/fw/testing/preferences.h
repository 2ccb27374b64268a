// Test hooks for the file layer: a temporary Preferences folder and simulated
// write failures. Not for use by the program.
#pragma once

#include <cstdint>
#include <string>

namespace fw::testing {

// Makes SpecialFolder::Preferences() give this folder (created when missing);
// an empty path goes back to the user's real folder.
void SetPreferencesFolder(const std::string& path);

// A fresh empty folder under $TMPDIR (or /tmp) that serves as the Preferences
// folder while the object lives; removed with its content afterwards. Throws
// std::runtime_error when the folder cannot be made.
class TemporaryPreferences {
  public:
    TemporaryPreferences();
    ~TemporaryPreferences();
    TemporaryPreferences(const TemporaryPreferences&) = delete;
    TemporaryPreferences& operator=(const TemporaryPreferences&) = delete;

    const std::string& Path() const noexcept { return path_; }
    // Path of a file in the folder.
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Makes the text output streams' writes fail once `bytes` bytes in total have
// reached their files (the write that crosses the limit is cut short); -1, the
// default, writes normally.
void SetWriteFailureAfter(int64_t bytes);

}  // namespace fw::testing
