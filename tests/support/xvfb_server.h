// Starts a private Xvfb server (and optionally a window manager) for a test, on
// a free display number, and stops it again. Xvfb runs with -noreset, since it
// otherwise resets its screen and pointer whenever its last client disconnects.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class XvfbServer {
public:
    // geometry like "1280x800x24"; windowManager: start openbox on the display.
    explicit XvfbServer(std::string geometry = "1280x800x24", bool windowManager = false) {
        // Xvfb picks a free display number itself and writes it to the pipe, so
        // tests that start servers at the same moment never collide.
        int fds[2];
        if (pipe(fds) == 0) {
            std::string fd = std::to_string(fds[1]);
            xvfb_ = Spawn({"Xvfb", "-displayfd", fd, "-screen", "0", geometry, "-noreset",
                           "-nolisten", "tcp", "+extension", "RANDR", "+extension", "MIT-SHM"},
                          {}, fds[1]);
            close(fds[1]);
            std::string number;
            char c;
            while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
            close(fds[0]);
            if (!number.empty()) {
                display_ = ":" + number;
                if (!WaitForSocket("/tmp/.X11-unix/X" + number)) display_.clear();
            }
            if (display_.empty()) {
                Kill(xvfb_);
                xvfb_ = -1;
            }
        }
        if (!display_.empty() && windowManager) {
            wm_ = Spawn({"openbox", "--sm-disable"}, display_);
            // Give the window manager a moment to take the root window.
            for (int i = 0; i < 50 && !HasWindowManager(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            // The first synthetic key on a fresh server switches its keyboard
            // to the test device, and the window manager then drops and makes
            // again all its key grabs: a chord sent in that moment (Alt+F4)
            // would reach the focused window instead. One key now, and a
            // moment for the grabs, keeps that out of the tests.
            Run("xdotool key Shift_L >/dev/null 2>&1");
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    ~XvfbServer() {
        Kill(wm_);
        Kill(xvfb_);
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

    // Runs a shell command with DISPLAY set to this server; returns its exit status.
    int Run(const std::string& command) const {
        std::string cmd = "DISPLAY=" + display_ + " " + command;
        int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }

private:
    static pid_t Spawn(const std::vector<std::string>& args, const std::string& display = {},
                       int keepFd = -1) {
        pid_t pid = fork();
        if (pid == 0) {
            int devnull = open("/dev/null", O_RDWR);
            if (keepFd != 1) dup2(devnull, 1);
            dup2(devnull, 2);
            if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }
    static void Kill(pid_t pid) {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    bool WaitForSocket(const std::string& sock) const {
        for (int i = 0; i < 100; ++i) {
            struct stat st;
            if (stat(sock.c_str(), &st) == 0) return true;
            int status;
            if (waitpid(xvfb_, &status, WNOHANG) == xvfb_) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    bool HasWindowManager() const {
        return Run("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0;
    }

    std::string display_;
    pid_t xvfb_ = -1;
    pid_t wm_ = -1;
};

}  // namespace testsupport
