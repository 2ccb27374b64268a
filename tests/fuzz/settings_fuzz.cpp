// Feeds arbitrary bytes as the settings file to the loader (and so the parser),
// so every text function on the road sees hostile input; then saves what was
// loaded and checks that it reads back value for value.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "fw/runtime/text.h"
#include "fw/testing/preferences.h"
#include "shell/settings_module.h"
#include "tests/shell/settings_values.h"

namespace {
fw::testing::TemporaryPreferences* g_prefs = nullptr;

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

std::string FirstLine(const std::string& path) {
    std::string line;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF && c != '\n';) line += static_cast<char>(c);
        std::fclose(f);
    }
    return line;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_prefs = new fw::testing::TemporaryPreferences();  // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using settings_values::Settings;
    const std::string path = g_prefs->File("ostrel4.txt");
    WriteFile(path, data, size);
    SettingsModule::ResetForTesting();
    SettingsModule::LoadSettings();
    Settings written = settings_values::Current();
    SettingsModule::SaveSettings();
    if (FirstLine(path).rfind("#Window2Position ", 0) != 0) {
        std::cerr << "the save did not replace the file\n";
        std::abort();
    }

    SettingsModule::ResetForTesting();
    SettingsModule::LoadSettings();
    // The writer keeps only whether ShrinkWindow is "False"; everything else
    // comes back as it was held.
    written.ShrinkWindow =
        fw::RuntimeStringCompare(fw::String(written.ShrinkWindow), fw::String("False")) == 0
            ? "False"
            : "True";
    const Settings read = settings_values::Current();
    if (!(read == written)) {
        std::cerr << "written " << written << "\nread    " << read << "\n";
        std::abort();
    }
    return 0;
}
