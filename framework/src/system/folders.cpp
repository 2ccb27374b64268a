#include "fw/system/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
    std::string problem;
    if (path.empty()) {
        problem =
            "cannot find the Preferences folder (no XDG_CONFIG_HOME, no HOME, no home folder)";
    } else {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        std::error_code statError;
        if (!std::filesystem::is_directory(path, statError)) {
            if (!ec) ec = statError ? statError : std::make_error_code(std::errc::not_a_directory);
            problem = "cannot create the Preferences folder " + path + " (" + ec.message() + ")";
        }
    }
    // The folder item comes back all the same: nothing inside it can be opened or
    // created, so the settings are the defaults and their save fails quietly. Said
    // once, as the folder is looked up again for the save.
    static std::string reported;
    if (!problem.empty() && problem != reported) {
        reported = problem;
        std::fprintf(stderr, "%s: %s; the settings are the defaults and will not be saved\n",
                     program_invocation_short_name, problem.c_str());
        std::fflush(stderr);
    }
    return New<FolderItem>(path);
}
}  // namespace SpecialFolder

}  // namespace fw
