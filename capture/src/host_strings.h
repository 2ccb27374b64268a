// Host strings built from raw bytes, and host exceptions raised by class name.
#pragma once

#include <cstdint>

#include "plugin_sdk.h"

namespace zuvshot {

// A new host string of `length` bytes in `encoding`, with one reference for the
// caller, or nil. Exceptions raised while building become host exceptions.
PluginString REALBuildUnicodeString(const void* data, int64_t length, uint32_t encoding);
// UTF-16 text in host byte order, `length` in bytes; the result is UTF-8.
PluginString REALBuildUnicodeStringUTF16(const void* data, int64_t length);
// Hands a new instance of `className` to the host to raise, then returns.
void RaiseException(const char* className, const char* message, uint32_t encoding,
                    int32_t errorNumber);

}  // namespace zuvshot
