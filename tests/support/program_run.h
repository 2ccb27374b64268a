// The built program on a private X server: the desktop it runs on (Xvfb with
// openbox, looked at with xdotool, xwininfo and import) and one run of it.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb_server.h"

namespace testsupport {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Geometry&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Geometry& g) {
    return os << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}

class Desktop {
  public:
    explicit Desktop(const std::string& geometry = "1280x800x24") : xvfb_(geometry, true) {}
    bool ok() const { return xvfb_.ok(); }

    std::string Output(const std::string& command) const {
        std::string cmd = "DISPLAY=" + xvfb_.display() + " " + command + " 2>/dev/null";
        std::string out;
        if (FILE* p = popen(cmd.c_str(), "r")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
            pclose(p);
        }
        return out;
    }
    int Run(const std::string& command) const { return xvfb_.Run(command); }
    const std::string& display() const { return xvfb_.display(); }

    // The visible window of exactly that title, waiting up to `timeout`.
    std::optional<std::string> FindWindow(const std::string& title,
                                          std::chrono::milliseconds timeout = 10s) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        do {
            std::istringstream ids(Output("xdotool search --onlyvisible --name '^" + title + "$'"));
            std::string id;
            if (ids >> id) return id;
            std::this_thread::sleep_for(100ms);
        } while (std::chrono::steady_clock::now() < end);
        return std::nullopt;
    }
    bool Visible(const std::string& title) const { return FindWindow(title, 0ms).has_value(); }

    // The window's own area on the root (xdotool's figure counts the frame of
    // a reparenting window manager twice, so ask xwininfo).
    Geometry GeometryOf(const std::string& id) const {
        Geometry g;
        std::istringstream in(Output("xwininfo -id " + id));
        std::string line;
        auto value = [&line](const char* key, int* out) {
            const auto p = line.find(key);
            if (p != std::string::npos) *out = std::atoi(line.c_str() + p + std::strlen(key));
        };
        while (std::getline(in, line)) {
            value("Absolute upper-left X:", &g.x);
            value("Absolute upper-left Y:", &g.y);
            value("Width:", &g.width);
            value("Height:", &g.height);
        }
        return g;
    }

    // The root window as RGB rows.
    struct Image {
        int width = 0, height = 0;
        std::vector<unsigned char> rgb;
        std::array<int, 3> At(int x, int y) const {
            const size_t i = (size_t(y) * width + x) * 3;
            return {rgb[i], rgb[i + 1], rgb[i + 2]};
        }
    };
    Image Screenshot() const {
        Image img;
        const std::string ppm = Output("import -window root -depth 8 ppm:-");
        std::istringstream in(ppm);
        std::string magic;
        int maxval = 0;
        in >> magic >> img.width >> img.height >> maxval;
        in.get();
        const size_t header = size_t(in.tellg());
        img.rgb.assign(ppm.begin() + header, ppm.end());
        if (magic != "P6" || img.rgb.size() < size_t(img.width) * img.height * 3) img = {};
        return img;
    }

  private:
    testsupport::XvfbServer xvfb_;
};

// One run of the program with its own Preferences folder; its stderr goes to
// stderr.txt there, or to `stderrPath` when one is given. `environment` holds
// further variables for it, each "NAME=value", or "NAME" for one it lacks.
class Program {
  public:
    Program(const Desktop& desktop, const fs::path& config,
            const std::string& executable = OSTREL4_PROGRAM, const fs::path& stderrPath = {},
            const std::vector<std::string>& environment = {})
        : Program(desktop.display(), config, executable, stderrPath, environment) {}
    // On the X display of that name, which need not exist.
    Program(const std::string& display, const fs::path& config,
            const std::string& executable = OSTREL4_PROGRAM, const fs::path& stderrPath = {},
            const std::vector<std::string>& environment = {})
        : stderrPath_(stderrPath.empty() ? config / "stderr.txt" : stderrPath) {
        pid_ = fork();
        if (pid_ == 0) {
            FILE* err = fopen(stderrPath_.c_str(), "w");
            if (err) dup2(fileno(err), 2);
            setenv("DISPLAY", display.c_str(), 1);
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            unsetenv("QT_QPA_PLATFORM");
            for (const std::string& e : environment) {
                if (e.find('=') == std::string::npos) {
                    unsetenv(e.c_str());
                } else {
                    putenv(const_cast<char*>(e.c_str()));
                }
            }
            execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void Signal(int sig) { kill(pid_, sig); }
    pid_t pid() const { return pid_; }
    // The exit status, or nullopt when the program still runs after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout = 10s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        do {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(50ms);
        } while (std::chrono::steady_clock::now() < end);
        return std::nullopt;
    }
    std::string Stderr() const {
        std::ifstream in(stderrPath_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    fs::path stderrPath_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

// A test's own desktop and Preferences folder (`config`), made for each test
// and removed after it. Base is ::testing::Test or a TestWithParam.
template <class Base>
class WithDesktop : public Base {
  protected:
    explicit WithDesktop(const std::string& geometry = "1280x800x24") : desktop(geometry) {}
    void SetUp() override {
        if (!desktop.ok()) GTEST_SKIP() << "no Xvfb";
        char tmpl[] = "/tmp/ostrel4-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        config = tmpl;
    }
    void TearDown() override {
        if (!config.empty()) fs::remove_all(config);
    }
    std::string SettingsText() const {
        std::ifstream in(config / "ostrel4.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    Desktop desktop;
    fs::path config;
};

}  // namespace testsupport
