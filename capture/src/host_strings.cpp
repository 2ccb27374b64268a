#include "host_strings.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <typeinfo>

#include "host.h"

namespace zuvshot {
namespace {

// Set while RaiseException builds its message. A host whose string building
// throws every time would otherwise raise, build the message, throw, raise...
// without end; the message is then simply left out.
bool gRaising = false;

bool AllBelow0x80(const unsigned char* bytes, int64_t length) {
    unsigned char any = 0;
    for (int64_t i = 0; i < length; ++i) any |= bytes[i];
    return (any & 0x80) == 0;
}

// Hosts before 2013.0 cannot convert from UTF-32 themselves.
PluginString BuildFromUTF32(const void* data, int64_t length) {
    const int64_t units = length / 4;
    auto* utf16 = static_cast<uint16_t*>(std::malloc(static_cast<size_t>(units) * 4 + 2));
    if (utf16 == nullptr) return nullptr;
    const auto* bytes = static_cast<const unsigned char*>(data);
    int64_t out = 0;
    for (int64_t i = 0; i < units; ++i) {
        uint32_t u;
        std::memcpy(&u, bytes + 4 * i, sizeof u);
        if (u <= 0xFFFF) {
            if (u < 0xD800 || u > 0xDFFF) utf16[out++] = static_cast<uint16_t>(u);
        } else if (u <= 0x10FFFF) {
            utf16[out++] = static_cast<uint16_t>(0xD800 + ((u - 0x10000) >> 10));
            utf16[out++] = static_cast<uint16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
        } else {
            utf16[out++] = 0xFFFD;
        }
    }
    PluginString result = REALBuildUnicodeStringUTF16(utf16, out * 2);
    std::free(utf16);
    return result;
}

PluginString Build(const void* data, int64_t length, uint32_t encoding) {
    if (data == nullptr || length < 1 || length > INT32_MAX) return nullptr;
    const auto length32 = static_cast<int32_t>(length);
    if (encoding == kEncodingUTF16) return REALBuildUnicodeStringUTF16(data, length);
    if (encoding == kEncodingUTF32) {
        if (rbversion_rbversion < 2013.0) return BuildFromUTF32(data, length);
        PluginString built = REALBuildStringWithEncoding(data, length32, kEncodingUTF32);
        if (built == nullptr) return nullptr;
        PluginString converted = REALConvertString(built, kEncodingUTF8);
        REALUnlockString(built);
        return converted;
    }
    if ((encoding == kEncodingMacRoman || encoding == kEncodingWindowsLatin1 ||
         encoding == kEncodingUnknown) &&
        AllBelow0x80(static_cast<const unsigned char*>(data), length)) {
        encoding = kEncodingASCII;
    }
    PluginString built = originalREALBuildString(data, length32);
    if (built == nullptr) return nullptr;
    REALSetStringEncoding(built, encoding);
    return built;
}

void Raise(const char* className, const char* message) {
    if (gRaising) return;
    RaiseException(className, message, kEncodingASCII, 0);
}

}  // namespace

PluginString REALBuildUnicodeStringUTF16(const void* data, int64_t length) {
    if (length < 0 || length > INT32_MAX) return nullptr;
    const auto length32 = static_cast<int32_t>(length);
    PluginString built;
    if (rbversion_rbversion >= 2012.0) {
        built = REALBuildStringWithEncoding(data, length32, kEncodingUTF16);
    } else {
        built = originalREALBuildString(data, length32);
        if (built == nullptr) return nullptr;
        REALSetStringEncoding(built, kEncodingUTF16);
    }
    if (built == nullptr) return nullptr;
    PluginString converted = REALConvertString(built, kEncodingUTF8);
    REALUnlockString(built);
    return converted;
}

PluginString REALBuildUnicodeString(const void* data, int64_t length, uint32_t encoding) {
    // Order matters: the derived classes of logic_error and runtime_error that
    // mean "out of bounds" are picked out before their bases.
    try {
        return Build(data, length, encoding);
    } catch (const std::bad_alloc&) {
        Raise("OutOfMemoryException", "Failed to allocate memory.");
    } catch (const std::range_error& e) {
        Raise("OutOfBoundsException", e.what());
    } catch (const std::out_of_range& e) {
        Raise("OutOfBoundsException", e.what());
    } catch (const std::overflow_error& e) {
        Raise("OutOfBoundsException", e.what());
    } catch (const std::underflow_error& e) {
        Raise("OutOfBoundsException", e.what());
    } catch (const std::logic_error& e) {
        Raise("RuntimeException", e.what());
    } catch (const std::runtime_error& e) {
        Raise("RuntimeException", e.what());
    } catch (const std::bad_cast& e) {
        Raise("IllegalCastException", e.what());
    } catch (const std::exception& e) {
        Raise("RuntimeException", e.what());
    } catch (...) {
        Raise("RuntimeException", "Sorry, but there was an unnamed C++ Exception.");
    }
    return nullptr;
}

void RaiseException(const char* className, const char* message, uint32_t encoding,
                    int32_t errorNumber) {
    PluginString text = nullptr;
    if (message != nullptr) {
        const bool wasRaising = gRaising;
        gRaising = true;
        text =
            REALBuildUnicodeString(message, static_cast<int64_t>(std::strlen(message)), encoding);
        gRaising = wasRaising;
    }
    PluginObject exception = REALnewInstance(className);
    if (exception == nullptr) exception = REALnewInstance("RuntimeException");
    if (exception == nullptr) {
        if (text != nullptr) REALUnlockString(text);
        return;
    }
    REALSetPropValueString(exception, "Message", text);
    REALSetPropValueInteger(exception, "ErrorNumber", errorNumber);
    REALRaiseException(exception);
    REALUnlockObject(exception);
    if (text != nullptr) REALUnlockString(text);
}

}  // namespace zuvshot
