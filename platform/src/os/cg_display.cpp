#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "os/cf_internal.h"
#include "os/cg_internal.h"
#include "platform/screen.h"

namespace platform::cg {

namespace {

CGRect Standardized(CGRect r) {
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

}  // namespace

const CGRect CGRectNull = {
    {std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity()}, {0, 0}};

bool CGRectIsNull(CGRect r) {
    return std::isinf(r.origin.x) || std::isinf(r.origin.y);
}

CGRect CGRectIntersection(CGRect a, CGRect b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) return CGRectNull;
    a = Standardized(a);
    b = Standardized(b);
    const CGFloat x0 = std::max(a.origin.x, b.origin.x);
    const CGFloat y0 = std::max(a.origin.y, b.origin.y);
    const CGFloat x1 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const CGFloat y1 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    // Rectangles that only touch share no pixel, so they do not intersect.
    if (!(x1 > x0) || !(y1 > y0)) return CGRectNull;
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID* displays, uint32_t* count) {
    if (count == nullptr) return kCGErrorIllegalArgument;
    const auto list = CurrentScreen().Displays();
    if (displays == nullptr) {
        *count = static_cast<uint32_t>(list.size());
        return kCGErrorSuccess;
    }
    uint32_t n = 0;
    for (const auto& d : list) {
        if (n >= maxDisplays) break;
        displays[n++] = d.id;
    }
    *count = n;
    return kCGErrorSuccess;
}

CGDirectDisplayID CGMainDisplayID() {
    const auto list = CurrentScreen().Displays();
    for (const auto& d : list) {
        if (d.isMain) return d.id;
    }
    return list.empty() ? 0 : list.front().id;
}

CGRect CGDisplayBounds(CGDirectDisplayID display) {
    DisplayInfo d;
    if (!FindDisplay(display, &d)) return CGRect{};
    return CGRectMake(static_cast<CGFloat>(d.bounds.x), static_cast<CGFloat>(d.bounds.y),
                      static_cast<CGFloat>(d.bounds.width), static_cast<CGFloat>(d.bounds.height));
}

CFDictionaryRef CGDisplayCurrentMode(CGDirectDisplayID display) {
    DisplayInfo d;
    if (!FindDisplay(display, &d)) return nullptr;
    // The caller does not own the mode, so each distinct mode is made once
    // and kept: a pointer handed out stays valid even after the mode changes.
    using Key = std::tuple<uint32_t, int32_t, int32_t>;
    static std::mutex mutex;
    static auto* modes = new std::map<Key, const cf::OpaqueCFDictionary*>();
    std::lock_guard lock(mutex);
    const Key key{d.id, d.bitsPerSample, d.samplesPerPixel};
    auto it = modes->find(key);
    if (it == modes->end()) {
        auto* mode = new cf::OpaqueCFDictionary(true);
        mode->Add("BitsPerSample", new cf::OpaqueCFNumber(d.bitsPerSample, true));
        mode->Add("SamplesPerPixel", new cf::OpaqueCFNumber(d.samplesPerPixel, true));
        it = modes->emplace(key, mode).first;
    }
    return it->second;
}

CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display) {
    const auto list = CurrentScreen().Displays();
    for (size_t i = 0; i < list.size() && i < 32; ++i) {
        if (list[i].id == display) return CGOpenGLDisplayMask{1} << i;
    }
    return 0;
}

// ---- Colour spaces -------------------------------------------------------

const CFStringRef kCGColorSpaceGenericRGB = cf::CFSTR("kCGColorSpaceGenericRGB");

namespace {

CGColorSpaceRef NewSpace(CGColorSpaceModel model) {
    if (os::CreationShouldFail(os::ObjectKind::ColorSpace)) return nullptr;
    return new OpaqueCGColorSpace(model);
}

}  // namespace

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() {
    return NewSpace(kCGColorSpaceModelRGB);
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray() {
    return NewSpace(kCGColorSpaceModelMonochrome);
}

CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name) {
    const std::string* text = cf::StringText(name);
    if (text == nullptr || *text != "kCGColorSpaceGenericRGB") return nullptr;
    return NewSpace(kCGColorSpaceModelRGB);
}

CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space) {
    return space == nullptr ? kCGColorSpaceModelUnknown : space->model;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
    if (space != nullptr) space->Retain();
    return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space) {
    if (space != nullptr) space->Release();
}

}  // namespace platform::cg
