// The plug-in host's callbacks, called the way a plug-in calls them: fetched
// by name from the resolver, with C signatures and opaque handles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../../capture/include/plugin_sdk.h"
#include "fw/host/plugins.h"
#include "fw/ui/picture.h"
#include "host/host_objects.h"
#include "host/resolver.h"
#include "platform/os/cg.h"

namespace {

namespace cg = platform::cg;
using fw::host::PluginResolve;

template <class F>
F Cb(const char* name) {
    void* p = PluginResolve(name);
    EXPECT_NE(p, nullptr) << name;
    return reinterpret_cast<F>(p);
}

fw::Picture* Pic(PluginPicture p) {
    return fw::host::AsPicture(p);
}

void Unlock(void* o) {
    Cb<PluginLockObjectFn>("REALUnlockObject")(o);
}

PluginString Build(const std::string& bytes, uint32_t enc) {
    return Cb<PluginBuildStringWithEncodingFn>("REALBuildStringWithEncoding")(
        bytes.data(), int32_t(bytes.size()), enc);
}

std::string Text(PluginString s) {
    return fw::PluginStringValue(s).Bytes();
}

class HostCallbacks : public ::testing::Test {
  protected:
    void SetUp() override { live_ = fw::Picture::LiveCount(); }
    void TearDown() override {
        EXPECT_EQ(fw::Picture::LiveCount(), live_);
        fw::host::ClearPendingPluginException();
    }
    int64_t live_ = 0;
};

TEST_F(HostCallbacks, ResolverAnswersEveryCallbackTheLibraryAsksForAndNothingElse) {
    for (const char* name : {"REALGetRBVersion",
                             "RegisterPluginVersion",
                             "PluginRegisterMethod",
                             "PluginRegisterModule",
                             "newPicture",
                             "REALLockObject",
                             "REALUnlockObject",
                             "REALPictureClearCache",
                             "REALLockPictureDescription",
                             "unlockPictureDescription",
                             "REALGetPropValueBool",
                             "pluginObjectType",
                             "PluginNewInstance",
                             "REALLoadObjectMethod",
                             "REALGetPictureMask",
                             "pluginPictureGraphicsGetter",
                             "REALLockString",
                             "REALUnlockString",
                             "StringGetCString",
                             "REALLoadGlobalMethod",
                             "REALBuildString",
                             "REALBuildStringWithEncoding",
                             "REALSetStringEncoding",
                             "REALConvertString",
                             "REALSetPropValueString",
                             "REALSetPropValueInteger",
                             "REALSetPropValueInt",
                             "RuntimeRaiseException"}) {
        EXPECT_NE(PluginResolve(name), nullptr) << name;
    }
    EXPECT_EQ(PluginResolve("REALGetRBVersion "), nullptr);
    EXPECT_EQ(PluginResolve("realgetrbversion"), nullptr);
    EXPECT_EQ(PluginResolve(""), nullptr);
    EXPECT_EQ(PluginResolve(nullptr), nullptr);
    EXPECT_DOUBLE_EQ(Cb<PluginGetRBVersionFn>("REALGetRBVersion")(), 2013.04);
}

TEST_F(HostCallbacks, NewPictureCarriesOneReferenceAndRefusesBadSizes) {
    auto newPicture = Cb<PluginNewPictureFn>("newPicture");
    PluginPicture p = newPicture(3, 2, 32);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Pic(p)->RefCount(), 1);
    EXPECT_EQ(Pic(p)->Width(), 3);
    EXPECT_EQ(Pic(p)->Height(), 2);
    EXPECT_FALSE(Pic(p)->HasAlphaChannel());
    EXPECT_EQ(fw::Picture::LiveCount(), live_ + 1);
    Cb<PluginLockObjectFn>("REALLockObject")(p);
    EXPECT_EQ(Pic(p)->RefCount(), 2);
    Unlock(p);
    Unlock(p);
    EXPECT_EQ(fw::Picture::LiveCount(), live_);

    struct Size {
        int32_t w, h, depth;
    };
    for (Size s : {Size{0, 1, 32}, Size{1, 0, 32}, Size{-1, 5, 32}, Size{32768, 1, 32},
                   Size{1, 32768, 32}, Size{INT32_MIN, INT32_MIN, 32}, Size{2, 2, 24}}) {
        EXPECT_EQ(newPicture(s.w, s.h, s.depth), nullptr) << s.w << "x" << s.h << "@" << s.depth;
    }
    Cb<PluginLockObjectFn>("REALLockObject")(nullptr);  // nil is ignored
    Unlock(nullptr);
}

TEST_F(HostCallbacks, BitmapDescriptionWrapsThePicturesOwnBytes) {
    struct Case {
        bool alpha;
        cg::CGImageAlphaInfo info;
    };
    for (Case c : {Case{false, cg::kCGImageAlphaNoneSkipLast},
                   Case{true, cg::kCGImageAlphaPremultipliedLast}}) {
        fw::Ref<fw::Picture> picture = fw::Picture::New(5, 3, 32, c.alpha);
        auto handle = fw::host::HandleOf<PluginPicture>(picture.Get());
        PluginPictureDescription d{};
        ASSERT_TRUE(Cb<PluginLockPictureDescriptionFn>("REALLockPictureDescription")(
            handle, &d, kPictureDescriptionBitmapContext));
        EXPECT_EQ(d.type, 8);
        EXPECT_EQ(d.width, 5);
        EXPECT_EQ(d.height, 3);
        auto context = static_cast<cg::CGContextRef>(d.handle);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(cg::CGBitmapContextGetData(context), picture->Pixels());
        EXPECT_EQ(cg::CGBitmapContextGetBytesPerRow(context), picture->RowBytes());
        EXPECT_EQ(cg::CGBitmapContextGetBitsPerPixel(context), 32u);
        EXPECT_EQ(cg::CGBitmapContextGetWidth(context), 5u);
        EXPECT_EQ(cg::CGBitmapContextGetHeight(context), 3u);
        EXPECT_EQ(uint32_t(cg::CGBitmapContextGetAlphaInfo(context)) & 7, uint32_t(c.info));
        // The lock keeps the buffer alive even if the plug-in drops the picture.
        EXPECT_EQ(picture->RefCount(), 2);
        Cb<PluginUnlockPictureDescriptionFn>("unlockPictureDescription")(handle);
        EXPECT_EQ(picture->RefCount(), 1);
    }
}

// A new picture is opaque black however it is looked at: through its bitmap
// context, after an unlock that drew nothing, or straight from the framework.
TEST_F(HostCallbacks, NewPicturesReadBlackBeforeAnythingIsDrawn) {
    auto newPicture = Cb<PluginNewPictureFn>("newPicture");
    auto lock = Cb<PluginLockPictureDescriptionFn>("REALLockPictureDescription");
    auto unlock = Cb<PluginUnlockPictureDescriptionFn>("unlockPictureDescription");
    const uint8_t black[4] = {0, 0, 0, 0xFF};
    enum class Look { Framework, Context, AfterUnlock };
    for (Look look : {Look::Framework, Look::Context, Look::AfterUnlock}) {
        fw::Ref<fw::Picture> picture = fw::AdoptPluginPicture(newPicture(4, 3, 32));
        ASSERT_TRUE(picture);
        auto handle = fw::host::HandleOf<PluginPicture>(picture.Get());
        PluginPictureDescription d{};
        const uint8_t* pixels = nullptr;
        if (look == Look::Framework) {
            pixels = static_cast<const fw::Picture&>(*picture).Pixels();
        } else {
            ASSERT_TRUE(lock(handle, &d, kPictureDescriptionBitmapContext));
            if (look == Look::Context) {
                pixels = static_cast<const uint8_t*>(
                    cg::CGBitmapContextGetData(static_cast<cg::CGContextRef>(d.handle)));
            }
            unlock(handle);
            if (look == Look::AfterUnlock) pixels = picture->Pixels();
        }
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(std::memcmp(pixels + 4 * i, black, 4), 0) << int(look) << " " << i;
    }
}

TEST_F(HostCallbacks, RowBufferDescriptionsAreRefusedAndStrayUnlocksAreHarmless) {
    fw::Ref<fw::Picture> picture = fw::Picture::New(2, 2);
    auto handle = fw::host::HandleOf<PluginPicture>(picture.Get());
    auto lock = Cb<PluginLockPictureDescriptionFn>("REALLockPictureDescription");
    auto unlock = Cb<PluginUnlockPictureDescriptionFn>("unlockPictureDescription");
    PluginPictureDescription d{};
    EXPECT_FALSE(lock(handle, &d, kPictureDescriptionRowBuffer));
    EXPECT_FALSE(lock(handle, &d, 0));
    EXPECT_FALSE(lock(handle, nullptr, kPictureDescriptionBitmapContext));
    EXPECT_FALSE(lock(nullptr, &d, kPictureDescriptionBitmapContext));
    // An old-host plug-in unlocks after a refusal; nothing was locked.
    unlock(handle);
    unlock(nullptr);
    EXPECT_EQ(picture->RefCount(), 1);

    // Nested locks share the context until the last unlock.
    PluginPictureDescription a{}, b{};
    ASSERT_TRUE(lock(handle, &a, kPictureDescriptionBitmapContext));
    ASSERT_TRUE(lock(handle, &b, kPictureDescriptionBitmapContext));
    EXPECT_EQ(a.handle, b.handle);
    unlock(handle);
    EXPECT_EQ(picture->RefCount(), 2);
    unlock(handle);
    EXPECT_EQ(picture->RefCount(), 1);
}

TEST_F(HostCallbacks, ClearCacheMarksThePictureChanged) {
    fw::Ref<fw::Picture> picture = fw::Picture::New(1, 1);
    const uint64_t before = picture->Generation();
    Cb<PluginPictureClearCacheFn>("REALPictureClearCache")(
        fw::host::HandleOf<PluginPicture>(picture.Get()));
    EXPECT_GT(picture->Generation(), before);
    Cb<PluginPictureClearCacheFn>("REALPictureClearCache")(nullptr);
}

TEST_F(HostCallbacks, HasAlphaChannelAndClassLookups) {
    auto getBool = Cb<PluginGetPropValueBoolFn>("REALGetPropValueBool");
    for (bool alpha : {false, true}) {
        fw::Ref<fw::Picture> picture = fw::Picture::New(1, 1, 32, alpha);
        auto obj = fw::host::HandleOf<PluginObject>(picture.Get());
        bool value = !alpha;
        EXPECT_TRUE(getBool(obj, "HasAlphaChannel", &value));
        EXPECT_EQ(value, alpha);
        EXPECT_FALSE(getBool(obj, "Transparent", &value));
        EXPECT_FALSE(getBool(obj, "HasAlphaChannel", nullptr));
    }
    PluginString s = Build("x", kEncodingUTF8);
    bool value = false;
    EXPECT_FALSE(getBool(reinterpret_cast<PluginObject>(s), "HasAlphaChannel", &value));
    Unlock(s);

    auto classRef = Cb<PluginObjectTypeFn>("pluginObjectType");
    EXPECT_NE(classRef("Application"), nullptr);
    EXPECT_EQ(classRef("ConsoleApplication"), nullptr);
    EXPECT_EQ(classRef("WebApplication"), nullptr);
    EXPECT_EQ(classRef(nullptr), nullptr);
}

TEST_F(HostCallbacks, PictureInstanceBecomesAnAlphaPictureThroughItsConstructor) {
    auto newInstance = Cb<PluginNewInstanceFn>("PluginNewInstance");
    auto loadMethod = Cb<PluginLoadObjectMethodFn>("REALLoadObjectMethod");
    PluginObject instance = newInstance("Picture");
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(fw::host::ObjectOf(instance)->RefCount(), 1);
    EXPECT_EQ(loadMethod(instance, "Constructor(width as Integer, height as Integer)"), nullptr);
    EXPECT_EQ(loadMethod(instance, "Constructor"), nullptr);
    auto ctor = reinterpret_cast<PluginPictureConstructorFn>(
        loadMethod(instance, "Constructor(width as integer, height as integer)"));
    ASSERT_NE(ctor, nullptr);
    // Before its constructor the instance has no pixels to describe.
    PluginPictureDescription d{};
    auto asPicture = reinterpret_cast<PluginPicture>(instance);
    EXPECT_FALSE(Cb<PluginLockPictureDescriptionFn>("REALLockPictureDescription")(
        asPicture, &d, kPictureDescriptionBitmapContext));
    ctor(instance, 4, 3);
    ASSERT_NE(Pic(asPicture), nullptr);
    EXPECT_EQ(Pic(asPicture)->Width(), 4);
    EXPECT_TRUE(Pic(asPicture)->HasAlphaChannel());
    ctor(instance, 9, 9);  // a second construction leaves the pixels alone
    EXPECT_EQ(Pic(asPicture)->Width(), 4);
    EXPECT_EQ(fw::Picture::LiveCount(), live_ + 1);

    // Handed back to the program, it arrives as the picture itself.
    fw::Ref<fw::Picture> adopted = fw::AdoptPluginPicture(asPicture);
    ASSERT_TRUE(adopted);
    EXPECT_EQ(adopted->Width(), 4);
    EXPECT_EQ(adopted->RefCount(), 1);
    adopted.Reset();

    PluginObject bad = newInstance("Picture");
    auto badCtor = reinterpret_cast<PluginPictureConstructorFn>(
        loadMethod(bad, "Constructor(width as integer, height as integer)"));
    badCtor(bad, 0, 3);
    EXPECT_EQ(Pic(reinterpret_cast<PluginPicture>(bad)), nullptr);
    Unlock(bad);

    EXPECT_EQ(newInstance("Window"), nullptr);
    EXPECT_EQ(newInstance(nullptr), nullptr);
}

TEST_F(HostCallbacks, MaskAndGraphicsDrawPictureWriteIntoTheMask) {
    fw::Ref<fw::Picture> picture = fw::Picture::New(4, 4);
    auto handle = fw::host::HandleOf<PluginPicture>(picture.Get());
    auto getMask = Cb<PluginGetPictureMaskFn>("REALGetPictureMask");
    PluginPicture mask = getMask(handle, true);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(Pic(mask), picture->Mask(false).Get());
    EXPECT_EQ(Pic(mask)->RefCount(), 2);  // the picture's and the plug-in's

    PluginGraphics g = Cb<PluginPictureGraphicsFn>("pluginPictureGraphicsGetter")(mask);
    ASSERT_NE(g, nullptr);
    auto loadMethod = Cb<PluginLoadObjectMethodFn>("REALLoadObjectMethod");
    auto gObj = reinterpret_cast<PluginObject>(g);
    EXPECT_EQ(loadMethod(gObj, "DrawPicture(Image as Picture, x as Integer, y as Integer)"),
              nullptr);
    auto draw = reinterpret_cast<PluginGraphicsDrawPictureFn>(loadMethod(
        gObj,
        "DrawPicture(Image as Picture, x as Integer, y as Integer, w as Integer, h as Integer, "
        "sx as Integer = 0, sy as Integer = 0, sw as Integer = -10000, sh as Integer = -10000)"));
    ASSERT_NE(draw, nullptr);
    // Constructors belong to picture instances, not to graphics.
    EXPECT_EQ(loadMethod(gObj, "Constructor(width as integer, height as integer)"), nullptr);

    fw::Ref<fw::Picture> grey = fw::Picture::New(2, 2);
    for (int i = 0; i < 4; ++i) std::memcpy(grey->Pixels() + 4 * i, "\x7f\x7f\x7f\xff", 4);
    draw(g, fw::host::HandleOf<PluginPicture>(grey.Get()), 0, 0, 4, 4, 0, 0, 2, 2);
    const uint8_t* m = picture->Mask(false)->Pixels();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[4 * i], 0x7f) << i;
        EXPECT_EQ(m[4 * i + 2], 0x7f) << i;
    }
    Unlock(g);
    Unlock(mask);
    EXPECT_EQ(picture->Mask(false)->RefCount(), 2);  // the picture's and the Ref just made

    fw::Ref<fw::Picture> bare = fw::Picture::New(1, 1);
    EXPECT_EQ(getMask(fw::host::HandleOf<PluginPicture>(bare.Get()), false), nullptr);
    EXPECT_EQ(getMask(nullptr, true), nullptr);
}

TEST_F(HostCallbacks, StringsKeepTheirBytesReferencesAndLength) {
    auto build = Cb<PluginBuildStringFn>("REALBuildString");
    const char bytes[] = {'a', '\0', 'b'};
    PluginString s = build(bytes, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fw::PluginStringValue(s).Encoding(), kEncodingUnknown);
    Cb<PluginSetStringEncodingFn>("REALSetStringEncoding")(s, kEncodingASCII);
    EXPECT_EQ(fw::PluginStringValue(s).Encoding(), kEncodingASCII);
    EXPECT_EQ(std::memcmp(Cb<PluginStringGetCStringFn>("StringGetCString")(s), bytes, 3), 0);
    auto lenB = reinterpret_cast<PluginLenBFn>(Cb<PluginLoadGlobalMethodFn>("REALLoadGlobalMethod")(
        nullptr, "LenB( s as string ) as integer"));
    ASSERT_NE(lenB, nullptr);
    EXPECT_EQ(lenB(s), 3);
    EXPECT_EQ(lenB(nullptr), 0);
    EXPECT_EQ(Cb<PluginLoadGlobalMethodFn>("REALLoadGlobalMethod")(nullptr, "LenB(s as string)"),
              nullptr);

    auto* obj = fw::host::ObjectOf(s);
    Cb<PluginLockStringFn>("REALLockString")(s);
    EXPECT_EQ(obj->RefCount(), 2);
    Cb<PluginLockStringFn>("REALUnlockString")(s);
    EXPECT_EQ(obj->RefCount(), 1);
    // Plug-ins built for older hosts read the handle as a record of their own.
    uintptr_t before = 0;
    int32_t length = 0;
    std::memcpy(&before, reinterpret_cast<const char*>(s) + kLegacyStringBytesOffset,
                sizeof before);
    std::memcpy(&length, reinterpret_cast<const char*>(s) + kLegacyStringLengthOffset,
                sizeof length);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(before + 1), bytes, 3), 0);

    Cb<PluginLockStringFn>("REALUnlockString")(s);
    // A released string's handle is no longer taken for a string.
    EXPECT_EQ(fw::PluginStringValue(s).Bytes(), "");

    EXPECT_EQ(build(bytes, -1), nullptr);
    EXPECT_EQ(build(nullptr, 2), nullptr);
    PluginString empty = build(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(Text(empty), "");
    Unlock(empty);
    EXPECT_EQ(Cb<PluginStringGetCStringFn>("StringGetCString")(nullptr), nullptr);
}

TEST_F(HostCallbacks, ConvertStringGivesANewStringInTheWantedEncoding) {
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t from;
        uint32_t to;
        std::string expected;
    };
    const std::string utf16 = std::string("h\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10);
    const std::string utf32 = std::string("h\0\0\0\x00\xF6\x01\0\xFF\xFF\xFF\xFF", 12);
    const Case cases[] = {
        {"UTF-16 with a pair", utf16, kEncodingUTF16, kEncodingUTF8,
         "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"UTF-16 byte-order mark dropped", std::string("\xFF\xFEh\0", 4), kEncodingUTF16,
         kEncodingUTF8, "h"},
        {"UTF-16 lone surrogate", std::string("\x00\xD8", 2), kEncodingUTF16, kEncodingUTF8,
         "\xEF\xBF\xBD"},
        {"UTF-32, invalid unit replaced", utf32, kEncodingUTF32, kEncodingUTF8,
         "h\xF0\x9F\x98\x80\xEF\xBF\xBD"},
        {"Mac Roman", "\x8E\xA5", kEncodingMacRoman, kEncodingUTF8, "\xC3\xA9\xE2\x80\xA2"},
        {"Windows Latin 1", "\x80\xE9", kEncodingWindowsLatin1, kEncodingUTF8,
         "\xE2\x82\xAC\xC3\xA9"},
        {"ASCII, high byte replaced", "a\xC3", kEncodingASCII, kEncodingUTF8, "a\xEF\xBF\xBD"},
        {"UTF-8 unchanged", "\xC3\xA9", kEncodingUTF8, kEncodingUTF8, "\xC3\xA9"},
        {"unknown but UTF-8", "\xC3\xA9", kEncodingUnknown, kEncodingUTF8, "\xC3\xA9"},
        {"unknown, not UTF-8", "\xE9", kEncodingUnknown, kEncodingUTF8, "\xC3\xA9"},
        {"UTF-8 to UTF-16", "\xF0\x9F\x98\x80", kEncodingUTF8, kEncodingUTF16,
         std::string("\x3D\xD8\x00\xDE", 4)},
        {"UTF-8 to ASCII", "a\xC3\xA9", kEncodingUTF8, kEncodingASCII, "a?"},
        {"UTF-8 to Mac Roman", "\xC3\xA9", kEncodingUTF8, kEncodingMacRoman, "\x8E"},
        {"empty", "", kEncodingUTF16, kEncodingUTF8, ""},
    };
    auto convert = Cb<PluginConvertStringFn>("REALConvertString");
    for (const Case& c : cases) {
        PluginString in = Build(c.bytes, c.from);
        PluginString out = convert(in, c.to);
        ASSERT_NE(out, nullptr) << c.what;
        EXPECT_NE(out, in) << c.what;
        EXPECT_EQ(Text(out), c.expected) << c.what;
        EXPECT_EQ(fw::PluginStringValue(out).Encoding(), c.to) << c.what;
        EXPECT_EQ(fw::host::ObjectOf(out)->RefCount(), 1) << c.what;
        EXPECT_EQ(Text(in), c.bytes) << c.what;
        Unlock(in);
        Unlock(out);
    }
    PluginString s = Build("x", kEncodingUTF8);
    EXPECT_EQ(convert(s, 0x12345), nullptr);
    Unlock(s);
    EXPECT_EQ(convert(nullptr, kEncodingUTF8), nullptr);
}

TEST_F(HostCallbacks, RaisedExceptionArrivesAsTheFrameworkClassOnceBackInHostCode) {
    struct Case {
        const char* cls;
        void (*check)();
    };
    auto raiseAs = [](const char* cls, const char* message, int32_t number) {
        PluginObject e = Cb<PluginNewInstanceFn>("PluginNewInstance")(cls);
        ASSERT_NE(e, nullptr) << cls;
        PluginString m =
            Cb<PluginBuildStringFn>("REALBuildString")(message, int32_t(std::strlen(message)));
        Cb<PluginSetStringEncodingFn>("REALSetStringEncoding")(m, kEncodingASCII);
        EXPECT_TRUE(Cb<PluginSetPropValueStringFn>("REALSetPropValueString")(e, "Message", m));
        EXPECT_TRUE(
            Cb<PluginSetPropValueIntegerFn>("REALSetPropValueInteger")(e, "ErrorNumber", number));
        EXPECT_FALSE(Cb<PluginSetPropValueIntegerFn>("REALSetPropValueInt")(e, "Reason", 1));
        Cb<PluginRaiseExceptionFn>("RuntimeRaiseException")(e);  // returns normally
        Unlock(e);
        Unlock(m);
    };
    const char* classes[] = {"RuntimeException", "OutOfBoundsException", "OutOfMemoryException",
                             "IllegalCastException", "NilObjectException"};
    for (const char* cls : classes) {
        raiseAs(cls, "Failed to allocate memory.", 7);
        try {
            fw::RaisePendingPluginException();
            ADD_FAILURE() << cls << " was not raised";
        } catch (const fw::RuntimeException& e) {
            EXPECT_STREQ(e.ClassName(), cls);
            EXPECT_EQ(e.Message(), "Failed to allocate memory.");
            EXPECT_EQ(e.ErrorNumber(), 7);
        }
        EXPECT_NO_THROW(fw::RaisePendingPluginException());  // raised once only
    }
    // The first of two raises is the one that arrives.
    raiseAs("OutOfBoundsException", "first", 0);
    raiseAs("RuntimeException", "second", 0);
    EXPECT_THROW(fw::RaisePendingPluginException(), fw::OutOfBoundsException);
    // Only exception objects can be raised.
    PluginString s = Build("x", kEncodingUTF8);
    Cb<PluginRaiseExceptionFn>("RuntimeRaiseException")(reinterpret_cast<PluginObject>(s));
    Cb<PluginRaiseExceptionFn>("RuntimeRaiseException")(nullptr);
    EXPECT_NO_THROW(fw::RaisePendingPluginException());
    Unlock(s);
}

// Registration as a plug-in does it, with records of the test's own.
int32_t Twice(int32_t x) {
    return 2 * x;
}
int32_t Thrice(int32_t x) {
    return 3 * x;
}
int32_t Plain(int32_t x, int32_t y) {
    return x + y;
}

TEST_F(HostCallbacks, RegisteredFunctionsAreFoundByTheirFullDeclaration) {
    static PluginMethodDefinition methods[] = {
        {reinterpret_cast<uintptr_t>(&Twice), 0,
         reinterpret_cast<uintptr_t>("F(x as integer) as integer"), 0x14, 0, 0},
        {reinterpret_cast<uintptr_t>(&Thrice), 0,
         reinterpret_cast<uintptr_t>("F(x as integer, y as integer) as integer"), 0x14, 0, 0},
        {0, 0, reinterpret_cast<uintptr_t>("Missing(x as integer)"), 0x14, 0, 0},
    };
    static char name[] = "TestGlobals";
    auto* module = new PluginModuleDefinition{};
    module->version = 13;
    module->name = reinterpret_cast<uintptr_t>(name);
    module->methods = reinterpret_cast<uintptr_t>(methods);
    module->methodCount = 3;
    Cb<PluginRegisterPluginVersionFn>("RegisterPluginVersion")(13);
    Cb<PluginRegisterModuleFn>("PluginRegisterModule")(module);  // the host keeps it
    EXPECT_EQ(fw::host::AnnouncedControlVersion(), 13);

    PluginMethodDefinition plain{
        reinterpret_cast<uintptr_t>(&Plain),
        0,
        reinterpret_cast<uintptr_t>("G(x as integer, y as integer) as integer"),
        4,
        0,
        0};
    Cb<PluginRegisterMethodFn>("PluginRegisterMethod")(&plain);
    Cb<PluginRegisterMethodFn>("PluginRegisterMethod")(nullptr);
    Cb<PluginRegisterModuleFn>("PluginRegisterModule")(nullptr);

    struct Case {
        const char* declaration;
        void* expected;
    };
    const Case cases[] = {
        {"TestGlobals.F(x as integer) as integer", reinterpret_cast<void*>(&Twice)},
        {"TestGlobals.F(x as integer, y as integer) as integer", reinterpret_cast<void*>(&Thrice)},
        {"G(x as integer, y as integer) as integer", reinterpret_cast<void*>(&Plain)},
        {"F(x as integer) as integer", nullptr},  // a module member needs its module
        {"TestGlobals.F(x as integer)", nullptr},
        {"testglobals.F(x as integer) as integer", nullptr},
        {"TestGlobals.Missing(x as integer)", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint(c.declaration), c.expected) << c.declaration;
    }
    // The plug-in may reuse its record's memory once registered.
    plain.declaration = reinterpret_cast<uintptr_t>("Other");
    EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint("G(x as integer, y as integer) as integer"),
              reinterpret_cast<void*>(&Plain));
    fw::RegisterPluginEntrypoint("Stand.In(s as string) as integer",
                                 reinterpret_cast<void*>(&Twice));
    EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint("Stand.In(s as string) as integer"),
              reinterpret_cast<void*>(&Twice));
}

TEST_F(HostCallbacks, StringArgumentsAndResultsAcrossTheBoundary) {
    PluginString kept;
    {
        fw::PluginStringArg arg("abc");
        kept = arg.Get();
        EXPECT_EQ(fw::PluginStringValue(kept).Bytes(), "abc");
        Cb<PluginLockStringFn>("REALLockString")(kept);  // a plug-in may keep it
    }
    EXPECT_EQ(fw::host::ObjectOf(kept)->RefCount(), 1);
    EXPECT_EQ(fw::AdoptPluginString(kept).Bytes(), "abc");
    EXPECT_EQ(fw::AdoptPluginString(nullptr).Bytes(), "");
    EXPECT_FALSE(fw::AdoptPluginPicture(nullptr));
}

}  // namespace
