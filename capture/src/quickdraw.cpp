#include "quickdraw.h"

namespace zuvshot {

namespace cf = platform::cf;
namespace qd = platform::qd;

namespace {
cf::CFBundleRef ApplicationServicesFramework = nullptr;
}  // namespace

cf::CFBundleRef LoadFrameworkBundle(const char* name) {
    cf::FSRef folder{};
    if (cf::FSFindFolder(cf::kOnSystemDisk, cf::kFrameworksFolderType, true, &folder) != 0)
        return nullptr;
    cf::CFURLRef folderURL = cf::CFURLCreateFromFSRef(cf::kCFAllocatorDefault, &folder);
    if (folderURL == nullptr) return nullptr;
    cf::CFURLRef bundleURL = cf::CFURLCreateCopyAppendingPathComponent(
        cf::kCFAllocatorDefault, folderURL, cf::CFSTR(name), false);
    cf::CFBundleRef bundle = nullptr;
    if (bundleURL != nullptr) {
        bundle = cf::CFBundleCreate(cf::kCFAllocatorDefault, bundleURL);
        if (bundle != nullptr && !cf::CFBundleLoadExecutable(bundle)) {
            cf::CFRelease(bundle);
            bundle = nullptr;
        }
        cf::CFRelease(bundleURL);
    }
    cf::CFRelease(folderURL);
    return bundle;
}

cf::CFBundleRef ApplicationServices() {
    if (ApplicationServicesFramework == nullptr) {
        ApplicationServicesFramework = LoadFrameworkBundle("ApplicationServices.framework");
    }
    return ApplicationServicesFramework;
}

qd::Rect DeviceBounds(qd::GDHandle device) {
    return (**(**device).gdPMap).bounds;
}

int16_t DevicePixelSize(qd::GDHandle device) {
    return (**(**device).gdPMap).pixelSize;
}

const qd::BitMap* DeviceBitMap(qd::GDHandle device) {
    return *(**device).gdPMap;
}

QuickDraw& QD() {
    static QuickDraw functions;
    return functions;
}

}  // namespace zuvshot
