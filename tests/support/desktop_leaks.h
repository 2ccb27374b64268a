// For a test program that runs the toolkit on a real X server, included by one
// of its sources: under AddressSanitizer, the desktop's font and message-bus
// libraries keep allocations for the life of the process.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_DESKTOP_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OSTREL_DESKTOP_ASAN 1
#endif
#ifdef OSTREL_DESKTOP_ASAN
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libdbus-1\n";
}
#endif
