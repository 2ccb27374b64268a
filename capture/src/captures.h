// The seven functions that REALPluginMain registers with the host. They use the
// C calling convention; the host calls them through the addresses in the method
// records, never by symbol (they are not exported).
#pragma once

#include <cstdint>

#include "plugin_sdk.h"

extern "C" {
PluginPicture ScreenshotDisplayZUV(int32_t index);
PluginPicture ScreenshotZUV();
PluginPicture ScreenshotRectZUV(int32_t left, int32_t top, int32_t width, int32_t height);
PluginPicture ScreenshotRectDestZUV(int32_t left, int32_t top, int32_t width, int32_t height,
                                    int32_t destwidth, int32_t destheight);
PluginString ScreenshotStringDisplayZUV(int32_t* Width, int32_t* Height, int32_t* RowBytes,
                                        int32_t index);
PluginString ScreenshotStringZUV(int32_t* Width, int32_t* Height, int32_t* RowBytes);
PluginPicture ScreenshotFromStringZUV(int32_t Width, int32_t Height, int32_t RowBytes,
                                      PluginString data);
}
