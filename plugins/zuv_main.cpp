// ZuvMain: four-character codes.
#include "plugins/zuv_glue.h"
#include "plugins/zuv_libraries.h"

namespace {

// The first four bytes, big-endian, as the 32-bit code ("ZUVG" is 0x5A555647);
// a shorter text is padded with blanks, as four-character codes are.
int32_t OSTypeFromString(PluginString str) {
    const fw::String text = fw::PluginStringValue(str);
    const std::string& bytes = text.Bytes();
    uint32_t code = 0;
    for (size_t i = 0; i < 4; ++i) code = code << 8 | uint8_t(i < bytes.size() ? bytes[i] : ' ');
    return int32_t(code);
}

void Init() {
    fw::RegisterPluginEntrypoint("MainGlobalsZUV.OSTypeFromStringZUV(str as string) as integer",
                                 reinterpret_cast<void*>(&OSTypeFromString));
}

}  // namespace

namespace zuv {
void RegisterZuvMain() {
    fw::RegisterBuiltinPlugin("ZuvMain.dylib", &Init);
}
}  // namespace zuv
