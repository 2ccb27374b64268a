// String building, encodings and the mapping of exceptions to host exceptions.
// These run against the library's code linked into the test.
#include <gtest/gtest.h>

#include <stdexcept>
#include <typeinfo>

#include "host_strings.h"
#include "recording_host.h"

extern "C" void REALPluginMain(PluginResolver resolver);

namespace rechost {
namespace {

using zuvshot::REALBuildUnicodeString;

class StringTest : public ::testing::Test {
  protected:
    void Start(double version) {
        host.version = version;
        host.LoadLinked(&REALPluginMain);
        host.calls.clear();
    }
    RecordingHost host;
};

struct EncodingCase {
    std::string bytes;
    uint32_t encoding;
    uint32_t tagged;
};

class EncodingTest : public StringTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(EncodingTest, TagsAsciiTextAsAscii) {
    Start(2013.04);
    const EncodingCase c = GetParam();
    PluginString s = REALBuildUnicodeString(c.bytes.data(), c.bytes.size(), c.encoding);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(host.StringBytes(s), c.bytes);
    EXPECT_EQ(host.StringEncoding(s), c.tagged);
    EXPECT_EQ(host.Refs(s), 1);
    host.Unlock(s);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, EncodingTest,
    ::testing::Values(EncodingCase{"abc", 0xFFFF, 0x600}, EncodingCase{"a\x80z", 0xFFFF, 0xFFFF},
                      EncodingCase{"abc", 0, 0x600}, EncodingCase{"\xE9t\xE9", 0, 0},
                      EncodingCase{"abc", 0x500, 0x600}, EncodingCase{"\xFF", 0x500, 0x500},
                      EncodingCase{"abc", 0x8000100, 0x8000100},
                      EncodingCase{"abc", 0x600, 0x600}));

TEST_F(StringTest, EmptyOrNullInputGivesNilWithoutCallingTheHost) {
    Start(2013.04);
    const char text[] = "x";
    EXPECT_EQ(REALBuildUnicodeString(text, 0, 0x600), nullptr);
    EXPECT_EQ(REALBuildUnicodeString(text, -1, 0x600), nullptr);
    EXPECT_EQ(REALBuildUnicodeString(text, int64_t{INT32_MAX} + 1, 0x600), nullptr);
    EXPECT_EQ(REALBuildUnicodeString(nullptr, 1, 0x600), nullptr);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(StringTest, Utf16IsBuiltWithItsEncodingAndConvertedToUtf8) {
    for (double version : {2012.0, 2011.0}) {
        Start(version);
        const char16_t text[] = u"h\u00e9";
        PluginString s = REALBuildUnicodeString(text, 4, 0x100);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(host.StringBytes(s), "h\xC3\xA9");
        EXPECT_EQ(host.StringEncoding(s), 0x8000100u);
        EXPECT_EQ(host.CallCount("REALBuildStringWithEncoding"), version >= 2012.0 ? 1 : 0);
        EXPECT_EQ(host.CallCount("REALBuildString"), version >= 2012.0 ? 0 : 1);
        host.Unlock(s);
        EXPECT_EQ(host.LiveStrings(), 0) << version;  // the intermediate string is gone
    }
}

TEST_F(StringTest, Utf32OnOldHostsGoesThroughUtf16) {
    Start(2012.99);
    // 0x1F600 becomes a surrogate pair, 0xD800 is dropped, 0x110000 becomes
    // U+FFFD, and the two trailing bytes are no whole unit.
    const uint32_t units[] = {0x41, 0x1F600, 0xD800, 0x110000, 0xFFFFFFFF};
    std::string bytes(reinterpret_cast<const char*>(units), sizeof units);
    bytes += "\x01\x02";
    PluginString s = REALBuildUnicodeString(bytes.data(), bytes.size(), 0xC000100);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(host.StringBytes(s), "A\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
    host.Unlock(s);
    EXPECT_EQ(host.LiveStrings(), 0);
}

TEST_F(StringTest, Utf32OnNewHostsIsConvertedByTheHost) {
    Start(2013.0);
    const uint32_t units[] = {0x41};
    PluginString s = REALBuildUnicodeString(units, 4, 0xC000100);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(host.StringEncoding(s), 0x8000100u);
    EXPECT_EQ(host.CallCount("REALBuildStringWithEncoding"), 1);
    EXPECT_EQ(host.CallCount("REALConvertString"), 1);
    host.Unlock(s);
    EXPECT_EQ(host.LiveStrings(), 0);
}

struct out_of_range_child : std::out_of_range {
    using std::out_of_range::out_of_range;
};
struct bad_cast_with_text : std::bad_cast {
    const char* what() const noexcept override { return "cast text"; }
};

struct ExceptionCase {
    std::exception_ptr thrown;
    std::string className;
    std::string message;
};

class ExceptionTest : public StringTest, public ::testing::WithParamInterface<ExceptionCase> {};

TEST_P(ExceptionTest, RaisesTheMatchingHostException) {
    Start(2013.04);
    const ExceptionCase& c = GetParam();
    host.throwOnBuildString = c.thrown;
    EXPECT_EQ(REALBuildUnicodeString("abc", 3, 0x600), nullptr);
    ASSERT_EQ(host.raised.size(), 1u);
    EXPECT_EQ(host.raised[0].className, c.className);
    EXPECT_EQ(host.raised[0].message, c.message);
    EXPECT_EQ(host.raised[0].errorNumber, 0);
    EXPECT_EQ(host.LiveObjects(), 0) << "exception or message string left behind";
}

template <typename E>
std::exception_ptr P(E e) {
    return std::make_exception_ptr(e);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExceptionTest,
    ::testing::Values(
        ExceptionCase{P(std::bad_alloc()), "OutOfMemoryException", "Failed to allocate memory."},
        ExceptionCase{P(std::range_error("r")), "OutOfBoundsException", "r"},
        ExceptionCase{P(out_of_range_child("child")), "OutOfBoundsException", "child"},
        ExceptionCase{P(std::overflow_error("o")), "OutOfBoundsException", "o"},
        ExceptionCase{P(std::underflow_error("u")), "OutOfBoundsException", "u"},
        ExceptionCase{P(std::length_error("len")), "RuntimeException", "len"},
        ExceptionCase{P(std::runtime_error("rt")), "RuntimeException", "rt"},
        ExceptionCase{P(bad_cast_with_text()), "IllegalCastException", "cast text"},
        ExceptionCase{P(std::bad_exception()), "RuntimeException", std::bad_exception().what()},
        ExceptionCase{P(42), "RuntimeException",
                      "Sorry, but there was an unnamed C++ Exception."}));

TEST_F(StringTest, UnknownExceptionClassFallsBackToRuntimeException) {
    Start(2013.04);
    zuvshot::RaiseException("NoSuchException", "text", 0x600, 7);
    ASSERT_EQ(host.raised.size(), 1u);
    EXPECT_EQ(host.raised[0].className, "RuntimeException");
    EXPECT_EQ(host.raised[0].message, "text");
    EXPECT_EQ(host.raised[0].errorNumber, 7);
    EXPECT_EQ(host.LiveObjects(), 0);
}

TEST_F(StringTest, HostThatAlwaysThrowsGetsOneExceptionWithoutMessage) {
    Start(2013.04);
    host.throwOnBuildString = P(std::runtime_error("always"));
    host.buildStringThrows = 1000;
    EXPECT_EQ(REALBuildUnicodeString("abc", 3, 0x600), nullptr);
    ASSERT_EQ(host.raised.size(), 1u);
    EXPECT_EQ(host.raised[0].className, "RuntimeException");
    EXPECT_FALSE(host.raised[0].hasMessage);
    EXPECT_EQ(host.buildStringThrows, 998);
    EXPECT_EQ(host.LiveObjects(), 0);
}

}  // namespace
}  // namespace rechost
