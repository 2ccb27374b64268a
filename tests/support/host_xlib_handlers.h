// The Xlib error handlers of a program that is not ours and uses Xlib itself:
// the platform must leave them in place and take none of their errors.
#pragma once

#include <X11/Xlib.h>

namespace testsupport {

struct HostXlibHandlers {
    static inline int errors = 0;
    static inline int ioErrors = 0;

    static int OnError(Display*, XErrorEvent*) {
        ++errors;
        return 0;
    }
    static int OnIOError(Display*) {
        ++ioErrors;
        return 0;
    }
    static void Install() {
        XSetErrorHandler(OnError);
        XSetIOErrorHandler(OnIOError);
    }
    // Whether both are still the ones in force (and leaves them so).
    static bool Installed() {
        const XErrorHandler error = XSetErrorHandler(OnError);
        const XIOErrorHandler io = XSetIOErrorHandler(OnIOError);
        return error == OnError && io == OnIOError;
    }
    static void Remove() {
        XSetErrorHandler(nullptr);
        XSetIOErrorHandler(nullptr);
    }
};

}  // namespace testsupport
