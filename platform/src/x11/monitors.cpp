#include "x11/monitors.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace platform::x11 {

std::vector<Monitor> QueryMonitors(Display* d, Window root) {
    Window r;
    int gx, gy;
    unsigned int rw = 0, rh = 0, border, depth;
    if (!XGetGeometry(d, root, &r, &gx, &gy, &rw, &rh, &border, &depth)) return {};

    std::vector<Monitor> list;
    int eventBase, errorBase, major = 0, minor = 0;
    if (XRRQueryExtension(d, &eventBase, &errorBase) && XRRQueryVersion(d, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int n = 0;
        XRRMonitorInfo* info = XRRGetMonitors(d, root, True, &n);
        for (int i = 0; info && i < n; ++i) {
            int64_t x0 = std::max<int64_t>(info[i].x, 0);
            int64_t y0 = std::max<int64_t>(info[i].y, 0);
            int64_t x1 = std::min<int64_t>(int64_t(info[i].x) + info[i].width, rw);
            int64_t y1 = std::min<int64_t>(int64_t(info[i].y) + info[i].height, rh);
            if (x0 >= x1 || y0 >= y1) continue;
            list.push_back(Monitor{info[i].name, int32_t(x0), int32_t(y0), int32_t(x1 - x0),
                                   int32_t(y1 - y0), info[i].primary != 0});
        }
        if (info) XRRFreeMonitors(info);
    }
    if (list.empty()) {
        list.push_back(Monitor{0, 0, 0, int32_t(rw), int32_t(rh), true});
        return list;
    }
    auto main = std::find_if(list.begin(), list.end(), [](const Monitor& m) { return m.primary; });
    if (main == list.end())
        main = std::find_if(list.begin(), list.end(),
                            [](const Monitor& m) { return m.x == 0 && m.y == 0; });
    if (main != list.end()) std::rotate(list.begin(), main, main + 1);
    return list;
}

}  // namespace platform::x11
