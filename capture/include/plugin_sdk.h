// The records and callback signatures that the application framework and its
// plug-ins exchange. Both sides include this header, so they agree on every
// record by construction. Words that hold an address are pointer-sized; on a
// 32-bit build every record has its classic size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" {

// Opaque host references. A plug-in never looks inside them.
typedef struct PluginObjectOpaque* PluginObject;
typedef struct PluginPictureOpaque* PluginPicture;
typedef struct PluginStringOpaque* PluginString;
typedef struct PluginClassOpaque* PluginClass;
typedef struct PluginGraphicsOpaque* PluginGraphics;

// The host's callback resolver: a callback name gives its entry address, or null.
typedef void* (*PluginResolver)(const char* name);
// The one export of a plug-in library.
typedef void (*PluginMainFunction)(PluginResolver resolver);

// One global function: six words.
struct PluginMethodDefinition {
    uintptr_t function;     // entry address of the implementation
    uintptr_t setter;       // 0: no setter
    uintptr_t declaration;  // address of the NUL-terminated declaration string
    uintptr_t flags;
    uintptr_t reserved1;
    uintptr_t reserved2;
};

// A module of global functions: 24 words.
struct PluginModuleDefinition {
    uintptr_t version;  // plug-in control version
    uintptr_t name;     // address of the NUL-terminated module name
    uintptr_t methods;  // address of the PluginMethodDefinition array
    uintptr_t methodCount;
    uintptr_t reserved[20];
};

// The description of a picture's pixels, filled by the host when locked.
struct PluginPictureDescription {
    int32_t type;  // kPictureDescriptionBitmapContext or kPictureDescriptionRowBuffer
    void* handle;  // the bitmap context, or the row-buffer record
    int32_t width;
    int32_t height;
    uintptr_t hostReserved[8];  // the host's own bookkeeping
};

inline constexpr uint32_t kPictureDescriptionBitmapContext = 8;
inline constexpr uint32_t kPictureDescriptionRowBuffer = 10;

// The row-buffer record of console hosts (type 10), read and written by byte
// offset since its row-pointer word is unaligned.
inline constexpr size_t kRowBufferZeroWordOffset = 0;
inline constexpr size_t kRowBufferWidthOffset = 4;
inline constexpr size_t kRowBufferHeightOffset = 8;
inline constexpr size_t kRowBufferValidWordOffset = 7224;
inline constexpr size_t kRowBufferRowsOffset = 7228;
inline constexpr size_t kRowBufferRecordSize = kRowBufferRowsOffset + sizeof(void*);

inline int32_t RowBufferReadInt(const void* record, size_t offset) {
    int32_t v;
    std::memcpy(&v, static_cast<const unsigned char*>(record) + offset, sizeof v);
    return v;
}
inline void RowBufferWriteInt(void* record, size_t offset, int32_t v) {
    std::memcpy(static_cast<unsigned char*>(record) + offset, &v, sizeof v);
}
inline unsigned char** RowBufferReadRows(const void* record) {
    unsigned char** rows;
    std::memcpy(&rows, static_cast<const unsigned char*>(record) + kRowBufferRowsOffset,
                sizeof rows);
    return rows;
}
inline void RowBufferWriteRows(void* record, unsigned char** rows) {
    std::memcpy(static_cast<unsigned char*>(record) + kRowBufferRowsOffset, &rows, sizeof rows);
}

// Hosts before 2016.0 hand a string as a record that a plug-in reads itself:
// the address of a buffer whose byte 0 precedes the text at offset 4, and the
// text's byte count (int32) at offset 12. Read with memcpy: the address word is
// unaligned on 64-bit builds.
inline constexpr size_t kLegacyStringBytesOffset = 4;
inline constexpr size_t kLegacyStringLengthOffset = 12;
inline constexpr size_t kLegacyStringRecordSize = kLegacyStringLengthOffset + 4;

// Text encodings, in the system's text-encoding numbering.
inline constexpr uint32_t kEncodingMacRoman = 0;
inline constexpr uint32_t kEncodingUTF16 = 0x100;
inline constexpr uint32_t kEncodingWindowsLatin1 = 0x500;
inline constexpr uint32_t kEncodingASCII = 0x600;
inline constexpr uint32_t kEncodingUnknown = 0xFFFF;
inline constexpr uint32_t kEncodingUTF8 = 0x8000100;
inline constexpr uint32_t kEncodingUTF32 = 0xC000100;

// Callback signatures, by the name under which the resolver gives them.
typedef double (*PluginGetRBVersionFn)();                                // "REALGetRBVersion"
typedef void (*PluginRegisterPluginVersionFn)(int32_t);                  // "RegisterPluginVersion"
typedef void (*PluginRegisterMethodFn)(PluginMethodDefinition*);         // "PluginRegisterMethod"
typedef void (*PluginRegisterModuleFn)(PluginModuleDefinition*);         // "PluginRegisterModule"
typedef PluginPicture (*PluginNewPictureFn)(int32_t, int32_t, int32_t);  // "newPicture"
typedef void (*PluginLockObjectFn)(void*);                 // "REALLockObject", "REALUnlockObject"
typedef void (*PluginPictureClearCacheFn)(PluginPicture);  // "REALPictureClearCache"
typedef bool (*PluginLockPictureDescriptionFn)(PluginPicture, PluginPictureDescription*,
                                               uint32_t);         // "REALLockPictureDescription"
typedef void (*PluginUnlockPictureDescriptionFn)(PluginPicture);  // "unlockPictureDescription"
typedef bool (*PluginGetPropValueBoolFn)(PluginObject, const char*,
                                         bool*);                       // "REALGetPropValueBool"
typedef PluginClass (*PluginObjectTypeFn)(const char*);                // "pluginObjectType"
typedef PluginObject (*PluginNewInstanceFn)(const char*);              // "PluginNewInstance"
typedef void* (*PluginLoadObjectMethodFn)(PluginObject, const char*);  // "REALLoadObjectMethod"
typedef PluginPicture (*PluginGetPictureMaskFn)(PluginPicture, bool);  // "REALGetPictureMask"
typedef PluginGraphics (*PluginPictureGraphicsFn)(PluginPicture);  // "pluginPictureGraphicsGetter"
typedef void (*PluginLockStringFn)(PluginString);  // "REALLockString", "REALUnlockString"
typedef const char* (*PluginStringGetCStringFn)(PluginString);        // "StringGetCString"
typedef void* (*PluginLoadGlobalMethodFn)(const char*, const char*);  // "REALLoadGlobalMethod"
typedef PluginString (*PluginBuildStringFn)(const void*, int32_t);    // "REALBuildString"
typedef PluginString (*PluginBuildStringWithEncodingFn)(const void*, int32_t,
                                                        uint32_t);  // "REALBuildStringWithEncoding"
typedef void (*PluginSetStringEncodingFn)(PluginString, uint32_t);  // "REALSetStringEncoding"
typedef PluginString (*PluginConvertStringFn)(PluginString, uint32_t);  // "REALConvertString"
typedef bool (*PluginSetPropValueStringFn)(PluginObject, const char*,
                                           PluginString);  // "REALSetPropValueString"
typedef bool (*PluginSetPropValueIntegerFn)(PluginObject, const char*,
                                            int32_t);  // "REALSetPropValueInteger"
typedef void (*PluginRaiseExceptionFn)(PluginObject);  // "RuntimeRaiseException"

// Methods that a plug-in calls on host objects, found with REALLoadObjectMethod.
// "DrawPicture(Image as Picture, x as Integer, y as Integer, w as Integer, h as Integer,
//  sx as Integer = 0, sy as Integer = 0, sw as Integer = -10000, sh as Integer = -10000)"
typedef void (*PluginGraphicsDrawPictureFn)(PluginGraphics, PluginPicture, int32_t, int32_t,
                                            int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
// "Constructor(width as integer, height as integer)" of Picture
typedef void (*PluginPictureConstructorFn)(PluginObject, int32_t, int32_t);
// "LenB( s as string ) as integer"
typedef int32_t (*PluginLenBFn)(PluginString);

// The registered functions, as the host calls them.
typedef PluginPicture (*ScreenshotDisplayFn)(int32_t index);
typedef PluginPicture (*ScreenshotFn)();
typedef PluginPicture (*ScreenshotRectFn)(int32_t left, int32_t top, int32_t width, int32_t height);
typedef PluginPicture (*ScreenshotRectDestFn)(int32_t left, int32_t top, int32_t width,
                                              int32_t height, int32_t destWidth,
                                              int32_t destHeight);
typedef PluginString (*ScreenshotStringDisplayFn)(int32_t* width, int32_t* height,
                                                  int32_t* rowBytes, int32_t index);
typedef PluginString (*ScreenshotStringFn)(int32_t* width, int32_t* height, int32_t* rowBytes);
typedef PluginPicture (*ScreenshotFromStringFn)(int32_t width, int32_t height, int32_t rowBytes,
                                                PluginString data);

}  // extern "C"

static_assert(sizeof(PluginMethodDefinition) == 6 * sizeof(void*));
static_assert(sizeof(PluginModuleDefinition) == 24 * sizeof(void*));
static_assert(offsetof(PluginPictureDescription, handle) == sizeof(void*));
