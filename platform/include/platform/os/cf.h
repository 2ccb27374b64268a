// The CoreFoundation subset (strings, numbers, dictionaries, URLs, bundles
// with function lookup by name) and the CoreServices folder lookup.
//
// Every object from a Create or Copy call carries one reference that the
// caller gives back with CFRelease. Functions named Get return objects that
// the caller does not own.
#pragma once

#include <cstdint>

#include "platform/os/objects.h"

namespace platform::cf {

using CFTypeRef = const void*;
using CFIndex = long;
using CFStringEncoding = uint32_t;
using OSErr = int16_t;
using OSType = uint32_t;

struct OpaqueCFAllocator;
struct OpaqueCFString;
struct OpaqueCFNumber;
struct OpaqueCFDictionary;
struct OpaqueCFURL;
struct OpaqueCFBundle;
using CFAllocatorRef = const OpaqueCFAllocator*;
using CFStringRef = const OpaqueCFString*;
using CFNumberRef = const OpaqueCFNumber*;
using CFDictionaryRef = const OpaqueCFDictionary*;
using CFURLRef = const OpaqueCFURL*;
using CFBundleRef = OpaqueCFBundle*;

inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

inline constexpr CFStringEncoding kCFStringEncodingASCII = 0x0600;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

enum CFNumberType : CFIndex {
    kCFNumberSInt32Type = 3,
};

inline constexpr OSErr noErr = 0;
inline constexpr OSErr fnfErr = -43;
inline constexpr OSErr paramErr = -50;
inline constexpr OSErr memFullErr = -108;

// Releases one reference to any object of the subsets (CoreGraphics and CGL
// objects included). A null reference is ignored.
void CFRelease(CFTypeRef object);

// A string for a literal key or name: the same string object for the same
// text, never released (CFRelease on it does nothing).
CFStringRef CFSTR(const char* text);
// A new string from NUL-terminated bytes in ASCII or UTF-8; null when the
// bytes are not valid in that encoding or `text` is null.
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding);

// The value stored under `key` (a string, compared by its text), not owned by
// the caller; null when absent or when `dictionary` is null.
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);

// Stores the number into *value as `type`; false (and *value untouched) when
// the number is null, not a number, or `type` is not supported.
bool CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value);

// ---- CoreServices folder lookup ------------------------------------------

struct FSRef {
    uint8_t hidden[80];
};

inline constexpr int16_t kOnSystemDisk = -32767;
inline constexpr OSType kFrameworksFolderType = 0x6672616D;  // 'fram'

// Finds a system folder. Only the frameworks folder of the system disk is
// known; any other gives fnfErr.
OSErr FSFindFolder(int16_t volume, OSType folderType, bool createFolder, FSRef* found);

// ---- URLs and bundles ----------------------------------------------------

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* ref);
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url,
                                               CFStringRef component, bool isDirectory);

// A bundle for a URL that names a known framework, else null.
CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleUrl);
bool CFBundleLoadExecutable(CFBundleRef bundle);
// The address of the named function of a loaded bundle; null for an unknown
// name or a bundle whose executable is not loaded.
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);

namespace testing {

// While hidden, the framework bundles cannot load their executables.
void HideBundle(bool hidden);
// While hidden, the named function is not found in its bundle.
void HideFunction(const char* name, bool hidden = true);
// Undoes every HideBundle and HideFunction.
void ShowAll();

}  // namespace testing

}  // namespace platform::cf
