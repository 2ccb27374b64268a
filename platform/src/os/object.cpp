#include "os/object.h"

#include <array>

namespace platform::os {
namespace {

constexpr size_t kKinds = static_cast<size_t>(ObjectKind::GWorld) + 1;

std::array<std::atomic<int64_t>, kKinds> gLive{};
std::array<std::atomic<int>, kKinds> gFailures{};

size_t Index(ObjectKind kind) {
    return static_cast<size_t>(kind);
}

}  // namespace

Object::Object(ObjectKind kind, bool immortal) : kind_(kind), immortal_(immortal) {
    if (!immortal_) gLive[Index(kind_)].fetch_add(1, std::memory_order_relaxed);
}

Object::~Object() {
    if (!immortal_) gLive[Index(kind_)].fetch_sub(1, std::memory_order_relaxed);
}

void Object::Retain() const {
    if (!immortal_) refs_.fetch_add(1, std::memory_order_relaxed);
}

void Object::Release() const {
    if (immortal_) return;
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

bool CreationShouldFail(ObjectKind kind) {
    auto& left = gFailures[Index(kind)];
    int n = left.load(std::memory_order_relaxed);
    while (n > 0) {
        if (left.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) return true;
    }
    return false;
}

int64_t LiveObjectCount() {
    int64_t total = 0;
    for (const auto& n : gLive) total += n.load(std::memory_order_relaxed);
    return total;
}

int64_t LiveObjectCount(ObjectKind kind) {
    return gLive[Index(kind)].load(std::memory_order_relaxed);
}

namespace testing {

void FailCreations(ObjectKind kind, int count) {
    gFailures[Index(kind)].store(count > 0 ? count : 0, std::memory_order_relaxed);
}

}  // namespace testing

}  // namespace platform::os
