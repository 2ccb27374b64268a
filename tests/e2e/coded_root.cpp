#include "e2e/coded_root.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {

bool PaintCodedRoot(const std::string& display) {
    ::Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    const int screen = DefaultScreen(d);
    const ::Window root = RootWindow(d, screen);
    const int w = DisplayWidth(d, screen), h = DisplayHeight(d, screen);
    const unsigned depth = unsigned(DefaultDepth(d, screen));
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[size_t(y) * size_t(w) + size_t(x)] = Coded(x, y);
    XImage* image =
        XCreateImage(d, DefaultVisual(d, screen), depth, ZPixmap, 0,
                     reinterpret_cast<char*>(pixels.data()), unsigned(w), unsigned(h), 32, 0);
    const Pixmap pixmap = XCreatePixmap(d, root, unsigned(w), unsigned(h), depth);
    GC gc = XCreateGC(d, pixmap, 0, nullptr);
    XPutImage(d, pixmap, gc, image, 0, 0, 0, 0, unsigned(w), unsigned(h));
    image->data = nullptr;  // the vector's, not the image's to free
    XDestroyImage(image);
    // The root keeps the pixmap's pixels after it is freed and we are gone.
    XSetWindowBackgroundPixmap(d, root, pixmap);
    XClearWindow(d, root);
    XFreeGC(d, gc);
    XFreePixmap(d, pixmap);
    XSync(d, False);
    XCloseDisplay(d);
    return true;
}

CodedRoot GrabRoot(const std::string& display) {
    CodedRoot r;
    ::Display* d = XOpenDisplay(display.c_str());
    if (!d) return r;
    const int screen = DefaultScreen(d);
    const int w = DisplayWidth(d, screen), h = DisplayHeight(d, screen);
    XImage* image =
        XGetImage(d, RootWindow(d, screen), 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (image) {
        r.width = w;
        r.height = h;
        r.px.resize(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                r.px[size_t(y) * size_t(w) + size_t(x)] =
                    uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
        XDestroyImage(image);
    }
    XCloseDisplay(d);
    return r;
}

}  // namespace e2e
