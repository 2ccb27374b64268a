// The 25 settings of the settings module as one value, for tests that compare
// all of them at once.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "shell/settings_module.h"

namespace settings_values {

// The 25 settings as one value, so a case states its whole expected outcome.
struct Settings {
    int32_t Window2Top = 0, Window2Left = 0;
    int32_t w1Top = 0, w1Left = 0, w2Top = 0, w2Left = 0, w3Top = 0, w3Left = 0, w4Top = 0,
            w4Left = 0;
    int32_t w1Height = 0, w1Width = 0, w2Height = 0, w2Width = 0, w3Height = 0, w3Width = 0,
            w4Height = 0, w4Width = 0;
    double MyMag = 0, MyMag2 = 0, MyMag3 = 0, MyMag4 = 0;
    std::string ShrinkWindow, Crosshairs;
    int32_t NumDW = 0;
    bool operator==(const Settings&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Settings& s) {
    return os << "{W2 " << s.Window2Top << "," << s.Window2Left << " w1 " << s.w1Top << ","
              << s.w1Left << " w2 " << s.w2Top << "," << s.w2Left << " w3 " << s.w3Top << ","
              << s.w3Left << " w4 " << s.w4Top << "," << s.w4Left << " sizes " << s.w1Height << ","
              << s.w1Width << " " << s.w2Height << "," << s.w2Width << " " << s.w3Height << ","
              << s.w3Width << " " << s.w4Height << "," << s.w4Width << " mags " << s.MyMag << " "
              << s.MyMag2 << " " << s.MyMag3 << " " << s.MyMag4 << " shrink '" << s.ShrinkWindow
              << "' cross '" << s.Crosshairs.substr(0, 40) << "' n " << s.NumDW << "}";
}

inline Settings Current() {
    return {SettingsModule::Window2Top,
            SettingsModule::Window2Left,
            SettingsModule::w1Top,
            SettingsModule::w1Left,
            SettingsModule::w2Top,
            SettingsModule::w2Left,
            SettingsModule::w3Top,
            SettingsModule::w3Left,
            SettingsModule::w4Top,
            SettingsModule::w4Left,
            SettingsModule::w1Height,
            SettingsModule::w1Width,
            SettingsModule::w2Height,
            SettingsModule::w2Width,
            SettingsModule::w3Height,
            SettingsModule::w3Width,
            SettingsModule::w4Height,
            SettingsModule::w4Width,
            SettingsModule::MyMag,
            SettingsModule::MyMag2,
            SettingsModule::MyMag3,
            SettingsModule::MyMag4,
            SettingsModule::ShrinkWindow.Bytes(),
            SettingsModule::Crosshairs.Bytes(),
            SettingsModule::NumDW};
}

inline void SetCurrent(const Settings& s) {
    SettingsModule::Window2Top = s.Window2Top, SettingsModule::Window2Left = s.Window2Left;
    SettingsModule::w1Top = s.w1Top, SettingsModule::w1Left = s.w1Left,
    SettingsModule::w2Top = s.w2Top, SettingsModule::w2Left = s.w2Left;
    SettingsModule::w3Top = s.w3Top, SettingsModule::w3Left = s.w3Left,
    SettingsModule::w4Top = s.w4Top, SettingsModule::w4Left = s.w4Left;
    SettingsModule::w1Height = s.w1Height, SettingsModule::w1Width = s.w1Width,
    SettingsModule::w2Height = s.w2Height;
    SettingsModule::w2Width = s.w2Width, SettingsModule::w3Height = s.w3Height,
    SettingsModule::w3Width = s.w3Width;
    SettingsModule::w4Height = s.w4Height, SettingsModule::w4Width = s.w4Width;
    SettingsModule::MyMag = s.MyMag, SettingsModule::MyMag2 = s.MyMag2,
    SettingsModule::MyMag3 = s.MyMag3, SettingsModule::MyMag4 = s.MyMag4;
    SettingsModule::ShrinkWindow = fw::String(s.ShrinkWindow);
    SettingsModule::Crosshairs = fw::String(s.Crosshairs);
    SettingsModule::NumDW = s.NumDW;
}

}  // namespace settings_values
