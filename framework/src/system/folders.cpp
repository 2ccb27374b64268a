#include "fw/system/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "fw/testing/preferences.h"

namespace fw {
namespace {
std::string g_preferencesOverride;

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

std::string PreferencesPath() {
    if (!g_preferencesOverride.empty()) return g_preferencesOverride;
    // A relative XDG_CONFIG_HOME is invalid and to be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const std::string home = HomeFolder();
    return home.empty() ? "" : home + "/.config";
}
}  // namespace

namespace testing {
void SetPreferencesFolder(const std::string& path) {
    g_preferencesOverride = path;
}

TemporaryPreferences::TemporaryPreferences() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ostrel-prefs-XXXXXX";
    // Falling back to the real folder would let a test overwrite the user's settings.
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    path_ = pattern;
    SetPreferencesFolder(path_);
}

TemporaryPreferences::~TemporaryPreferences() {
    SetPreferencesFolder("");
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}
}  // namespace testing

namespace SpecialFolder {
Ref<FolderItem> Preferences() {
    const std::string path = PreferencesPath();
    if (path.empty()) return nullptr;
    auto folder = New<FolderItem>(path);
    if (!folder->CreateAsFolder()) return nullptr;
    return folder;
}
}  // namespace SpecialFolder

}  // namespace fw
