// Feeds arbitrary bytes as the settings file to the loader (and so the parser),
// then saves, so every text function on the road sees hostile input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fw/testing/preferences.h"
#include "shell/settings_module.h"

namespace {
fw::testing::TemporaryPreferences* g_prefs = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_prefs = new fw::testing::TemporaryPreferences();  // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = g_prefs->File("ostrel4.txt");
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    SettingsModule::ResetForTesting();
    SettingsModule::LoadSettings();
    SettingsModule::SaveSettings();
    SettingsModule::ResetForTesting();
    SettingsModule::LoadSettings();
    return 0;
}
