// The user's settings, kept between runs in "ostrel4.txt" in the Preferences
// folder: the parser, the loader and the writer, and the settings globals.
#pragma once

#include <cstdint>

#include "fw/runtime/array.h"
#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/system/folderitem.h"

// One directive line of the settings file.
class directiveClass : public fw::Object {
  public:
    ~directiveClass() override;

    // The class-info getter; registers the class on first use.
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override;

    fw::String name;  // the key, lower-cased
    fw::String text;  // the value exactly as read
};

namespace SettingsModule {

extern int32_t Window2Top, Window2Left;
extern int32_t w1Top, w1Left, w2Top, w2Left, w3Top, w3Left, w4Top, w4Left;
extern int32_t w1Height, w1Width, w2Height, w2Width, w3Height, w3Width, w4Height, w4Width;
extern double MyMag, MyMag2, MyMag3, MyMag4;
extern fw::String ShrinkWindow;
extern fw::String Crosshairs;
extern int32_t NumDW;
// The entries read from the file, from index 1 on; slot 0 stays empty.
extern fw::Ref<fw::Array<fw::Ref<directiveClass>>> directives;

// Module start: registers directiveClass and creates `directives` with its one
// empty slot.
void InitModule();
// Module end: releases Crosshairs, directives and ShrinkWindow, in that order.
void FinalizeModule();
// Gives every global its start value again (0, 0.0, empty text, a fresh list).
void ResetForTesting();

// Appends one entry per directive line up to the first stop line. False when the
// item is nil or cannot be opened as a text file.
bool ParseSettingsFile(const fw::Ref<fw::FolderItem>& file);
// Fills the settings from the file, or from the defaults when no file can be read.
void LoadSettings();
// Writes the settings file's 16 lines from the globals.
void SaveSettings();

}  // namespace SettingsModule
