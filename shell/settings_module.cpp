#include "shell/settings_module.h"

#include "fw/runtime/loop.h"
#include "fw/runtime/text.h"
#include "fw/system/folders.h"
#include "fw/system/textstream.h"

// ---- directiveClass ----

directiveClass::~directiveClass() {
    name = fw::String();
    text = fw::String();
}

const fw::ClassInfo& directiveClass::ClassInfo() {
    return fw::RegisteredClassInfo<directiveClass>("directiveClass", nullptr);
}

const fw::ClassInfo* directiveClass::GetClassInfo() const noexcept {
    return &ClassInfo();
}

namespace SettingsModule {

int32_t Window2Top = 0, Window2Left = 0;
int32_t w1Top = 0, w1Left = 0, w2Top = 0, w2Left = 0, w3Top = 0, w3Left = 0, w4Top = 0, w4Left = 0;
int32_t w1Height = 0, w1Width = 0, w2Height = 0, w2Width = 0, w3Height = 0, w3Width = 0,
        w4Height = 0, w4Width = 0;
double MyMag = 0.0, MyMag2 = 0.0, MyMag3 = 0.0, MyMag4 = 0.0;
fw::String ShrinkWindow;
fw::String Crosshairs;
int32_t NumDW = 0;
fw::Ref<fw::Array<fw::Ref<directiveClass>>> directives =
    fw::CreateArray<fw::Ref<directiveClass>>(0);

namespace {

const char kFileName[] = "ostrel4.txt";

enum class Kind { Pair, Double, Text, Integer };

// One key of the file, in the order the loader tests and the writer writes them.
struct Key {
    const char* key;
    Kind kind;
    int32_t* first;    // Pair, Integer
    int32_t* second;   // Pair
    double* real;      // Double
    fw::String* text;  // Text
};

const Key kKeys[] = {
    {"Window2Position", Kind::Pair, &Window2Top, &Window2Left, nullptr, nullptr},
    {"w1Position", Kind::Pair, &w1Top, &w1Left, nullptr, nullptr},
    {"w2Position", Kind::Pair, &w2Top, &w2Left, nullptr, nullptr},
    {"w3Position", Kind::Pair, &w3Top, &w3Left, nullptr, nullptr},
    {"w4Position", Kind::Pair, &w4Top, &w4Left, nullptr, nullptr},
    {"w1Size", Kind::Pair, &w1Height, &w1Width, nullptr, nullptr},
    {"w2Size", Kind::Pair, &w2Height, &w2Width, nullptr, nullptr},
    {"w3Size", Kind::Pair, &w3Height, &w3Width, nullptr, nullptr},
    {"w4Size", Kind::Pair, &w4Height, &w4Width, nullptr, nullptr},
    {"MyMag", Kind::Double, nullptr, nullptr, &MyMag, nullptr},
    {"MyMag2", Kind::Double, nullptr, nullptr, &MyMag2, nullptr},
    {"MyMag3", Kind::Double, nullptr, nullptr, &MyMag3, nullptr},
    {"MyMag4", Kind::Double, nullptr, nullptr, &MyMag4, nullptr},
    {"ShrinkWindow", Kind::Text, nullptr, nullptr, nullptr, &ShrinkWindow},
    {"Crosshairs", Kind::Text, nullptr, nullptr, nullptr, &Crosshairs},
    {"NumDW", Kind::Integer, &NumDW, nullptr, nullptr, nullptr},
};

void ApplyDefaults() {
    Window2Top = 55, Window2Left = 10;
    w1Top = 50, w1Left = 180;
    w2Top = 50, w2Left = 390;
    w3Top = 50, w3Left = 600;
    w4Top = 50, w4Left = 810;
    w1Height = 100, w1Width = 200;
    w2Height = 100, w2Width = 200;
    w3Height = 100, w3Width = 200;
    w4Height = 100, w4Width = 200;
    MyMag = 2.0, MyMag2 = 2.0, MyMag3 = 2.0, MyMag4 = 2.0;
    ShrinkWindow = "False";
    Crosshairs = "False";
    NumDW = 4;
}

int32_t FieldAsInteger(const fw::String& text, int32_t n) {
    return fw::RuntimeCvtReal64ToSInt32(
        fw::StringVal(fw::StringNthField(text, fw::StringDBCSChr(44), n)));
}

void HandleEntry(const directiveClass& entry) {
    for (const Key& k : kKeys) {
        if (fw::RuntimeStringCompare(entry.name, fw::String(k.key)) != 0) continue;
        switch (k.kind) {
            case Kind::Pair:
                *k.first = FieldAsInteger(entry.text, 1);
                *k.second = FieldAsInteger(entry.text, 2);
                break;
            case Kind::Double:
                *k.real = fw::StringVal(entry.text);
                break;
            case Kind::Text:
                *k.text = entry.text;
                break;
            case Kind::Integer:
                *k.first = fw::RuntimeCvtReal64ToSInt32(fw::StringVal(entry.text));
                break;
        }
        return;
    }
}

fw::Ref<fw::FolderItem> SettingsFile() {
    // The folder is not tested: the framework gives one even where it could not
    // be made, and nothing in it can then be opened or created, so the loader
    // gives the defaults and the save writes nothing.
    return fw::SpecialFolder::Preferences()->Child(kFileName);
}

fw::String Prefixed(const char* prefix, const fw::String& value) {
    return fw::RuntimeAddString(fw::String(prefix), value);
}

fw::String PairLine(const char* prefix, int32_t a, int32_t b) {
    fw::String line = Prefixed(prefix, fw::StringStrInt32(a));
    line = fw::RuntimeAddString(line, fw::StringDBCSChr(44));
    return fw::RuntimeAddString(line, fw::StringStrInt32(b));
}

}  // namespace

void InitModule() {
    directiveClass::ClassInfo();
    directives = fw::CreateArray<fw::Ref<directiveClass>>(0);
}

void FinalizeModule() {
    fw::String crosshairs = Crosshairs;
    Crosshairs = fw::String();
    crosshairs = fw::String();

    fw::Ref<fw::Array<fw::Ref<directiveClass>>> list = directives;
    directives = nullptr;
    list.Reset();

    fw::String shrink = ShrinkWindow;
    ShrinkWindow = fw::String();
    shrink = fw::String();
}

void ResetForTesting() {
    for (const Key& k : kKeys) {
        if (k.first) *k.first = 0;
        if (k.second) *k.second = 0;
        if (k.real) *k.real = 0.0;
        if (k.text) *k.text = fw::String();
    }
    InitModule();
}

bool ParseSettingsFile(const fw::Ref<fw::FolderItem>& file) {
    if (!file) return false;
    fw::Ref<fw::TextInputStream> stream = file->OpenAsTextFile();
    if (!stream) return false;
    const fw::String directiveMark("#"), commentMark("'"), blank(" ");
    for (;;) {
        if (stream->IsEOF()) {
            stream->Close();
            return true;
        }
        const fw::String line = stream->ReadLine();
        const fw::String first = fw::StringDBCSMid3(line, 1, 1);
        const bool directive = fw::RuntimeStringCompare(first, directiveMark) == 0;
        if (!directive && fw::RuntimeStringCompare(first, commentMark) != 0) {
            stream->Close();
            return true;
        }
        if (directive) {
            const int32_t p = fw::StringInStr(line, blank);
            if (p != 0) {
                auto entry = fw::RuntimeCheckCast<directiveClass>(
                    fw::RuntimeNewObject(directiveClass::ClassInfo()));
                entry->Constructor();
                directives->Insert(directives->Ubound() + 1, entry);
                const fw::Ref<directiveClass>& last = directives->At(directives->Ubound());
                last->name = fw::StringLCase(fw::StringDBCSMid3(line, 2, p - 2));
                last->text = fw::StringDBCSMid2(line, p + 1);
            }
        }
        fw::RuntimeBackgroundTask();
    }
}

void LoadSettings() {
    if (!ParseSettingsFile(SettingsFile())) {
        ApplyDefaults();
        return;
    }
    int32_t i = 0;
    while (i < directives->Ubound()) {
        ++i;
        const fw::Ref<directiveClass> entry = directives->At(i);
        HandleEntry(*entry);
        fw::RuntimeBackgroundTask();
    }
}

void SaveSettings() {
    fw::Ref<fw::FolderItem> file = SettingsFile();
    if (!file) return;
    fw::Ref<fw::TextOutputStream> out = file->CreateTextFile();
    if (!out) return;
    out->WriteLine(PairLine("#Window2Position ", Window2Top, Window2Left));
    out->WriteLine(PairLine("#w1Position ", w1Top, w1Left));
    out->WriteLine(PairLine("#w2Position ", w2Top, w2Left));
    out->WriteLine(PairLine("#w3Position ", w3Top, w3Left));
    out->WriteLine(PairLine("#w4Position ", w4Top, w4Left));
    out->WriteLine(PairLine("#w1Size ", w1Height, w1Width));
    out->WriteLine(PairLine("#w2Size ", w2Height, w2Width));
    out->WriteLine(PairLine("#w3Size ", w3Height, w3Width));
    out->WriteLine(PairLine("#w4Size ", w4Height, w4Width));
    out->WriteLine(Prefixed("#MyMag ", fw::StringStrDouble(MyMag)));
    out->WriteLine(Prefixed("#MyMag2 ", fw::StringStrDouble(MyMag2)));
    out->WriteLine(Prefixed("#MyMag3 ", fw::StringStrDouble(MyMag3)));
    out->WriteLine(Prefixed("#MyMag4 ", fw::StringStrDouble(MyMag4)));
    out->WriteLine(fw::String(fw::RuntimeStringCompare(ShrinkWindow, fw::String("False")) == 0
                                  ? "#ShrinkWindow False"
                                  : "#ShrinkWindow True"));
    out->WriteLine(Prefixed("#Crosshairs ", Crosshairs));
    out->WriteLine(Prefixed("#NumDW ", fw::StringStrInt32(NumDW)));
    // The stream commits the new file only when everything reached the disk; if
    // not, the earlier file stays as it was. Either way the quit goes on.
    out->Close();
}

}  // namespace SettingsModule
