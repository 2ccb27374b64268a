#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "platform/virtual.h"

namespace platform {
namespace {

// The code a second registration of a chord already in force gets, as on X11.
constexpr int32_t kChordTaken = -9878;

}  // namespace

SimulatedHotKeys::SimulatedHotKeys() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SimulatedHotKeys::~SimulatedHotKeys() {
    if (fd_ >= 0) close(fd_);
}

void SimulatedHotKeys::FailChord(uint32_t keyCode, uint32_t carbonModifiers, int32_t code) {
    failures_.push_back(Failure{keyCode, carbonModifiers, code});
}

int32_t SimulatedHotKeys::Register(uint32_t keyCode, uint32_t carbonModifiers, uint32_t signature,
                                   uint32_t id) {
    int32_t code = failAll_;
    for (const Failure& f : failures_)
        if (code == 0 && f.keyCode == keyCode && f.modifiers == carbonModifiers) code = f.code;
    if (code == 0) {
        bool taken = std::any_of(registered_.begin(), registered_.end(), [&](const Chord& c) {
            return c.keyCode == keyCode && c.modifiers == carbonModifiers;
        });
        if (taken) code = kChordTaken;
    }
    if (code != 0) {
        lastError_ = code;
        return code;
    }
    registered_.push_back(Chord{keyCode, carbonModifiers, signature, id});
    return 0;
}

void SimulatedHotKeys::UnregisterAll() {
    registered_.clear();
}

bool SimulatedHotKeys::Press(uint32_t keyCode, uint32_t carbonModifiers) {
    for (const Chord& c : registered_) {
        if (c.keyCode == keyCode && c.modifiers == carbonModifiers) {
            pending_.emplace_back(c.signature, c.id);
            if (fd_ >= 0) {
                uint64_t one = 1;
                ssize_t n = write(fd_, &one, sizeof one);
                (void)n;  // a full counter is still readable, which is all a watcher needs
            }
            return true;
        }
    }
    return false;
}

void SimulatedHotKeys::Dispatch() {
    if (fd_ >= 0) {
        uint64_t count;
        ssize_t n = read(fd_, &count, sizeof count);
        (void)n;  // nothing to read just means nothing was signalled
    }
    // A callback may press again; those presses wait for the next dispatch,
    // as they would arrive after this batch on a real connection.
    std::deque<std::pair<uint32_t, uint32_t>> batch;
    batch.swap(pending_);
    for (const auto& [signature, id] : batch)
        if (callback_) callback_(signature, id);
}

}  // namespace platform
