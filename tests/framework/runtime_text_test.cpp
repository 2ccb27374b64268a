#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "fw/runtime/text.h"

namespace fw {
namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CvtReal64ToSInt32, TruncatesSaturatesAndMapsNaNToZero) {
    struct Case {
        double in;
        int32_t out;
    } cases[] = {
        {0.0, 0},
        {1.0, 1},
        {2.0, 2},
        {2.999, 2},
        {-2.7, -2},
        {-0.5, 0},
        {2147483647.0, 2147483647},
        {2147483647.9, 2147483647},
        {2147483648.0, 2147483647},
        {-2147483648.0, -2147483647 - 1},
        {-2147483649.5, -2147483647 - 1},
        {1e300, 2147483647},
        {-1e300, -2147483647 - 1},
        {kInf, 2147483647},
        {-kInf, -2147483647 - 1},
        {kNaN, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(RuntimeCvtReal64ToSInt32(c.in), c.out) << c.in;
}

TEST(CvtSInt32ToReal64, IsExact) {
    for (int32_t v : {0, 1, -1, 2147483647, -2147483647 - 1}) {
        EXPECT_EQ(RuntimeCvtSInt32ToReal64(v), static_cast<double>(v));
    }
}

TEST(StrInt32, DecimalWithMinus) {
    EXPECT_EQ(StringStrInt32(0).Bytes(), "0");
    EXPECT_EQ(StringStrInt32(55).Bytes(), "55");
    EXPECT_EQ(StringStrInt32(-120).Bytes(), "-120");
    EXPECT_EQ(StringStrInt32(-2147483647 - 1).Bytes(), "-2147483648");
}

TEST(StrDouble, WholeNumbersHaveNoPointTenthsOneDecimal) {
    struct Case {
        double in;
        const char* out;
    } cases[] = {{2.0, "2"},        {2.5, "2.5"},  {0.0, "0"},     {6.0, "6"},
                 {1.1, "1.1"},      {-3.0, "-3"},  {-0.1, "-0.1"}, {100, "100"},
                 {1e300, "1e+300"}, {kNaN, "nan"}, {kInf, "inf"},  {-kInf, "-inf"}};
    for (const Case& c : cases) EXPECT_EQ(StringStrDouble(c.in).Bytes(), c.out) << c.in;
}

TEST(StrDouble, EveryTenthReadsBackThroughVal) {
    for (int k = 0; k <= 100; ++k) {
        const double v = k / 10.0;
        const std::string text = StringStrDouble(v).Bytes();
        EXPECT_EQ(StringVal(String(text)), v) << text;
        if (k % 10 == 0) {
            EXPECT_EQ(text, std::to_string(k / 10));
        } else {
            EXPECT_EQ(text.size() - text.find('.'), 2u) << text;
        }
    }
}

TEST(StrDouble, OtherValuesRoundTrip) {
    for (double v :
         {1.0 / 3, 123456.789, 1e-7, 5e-324, 1.7976931348623157e308, -2.25e17, kInf, -kInf}) {
        EXPECT_EQ(StringVal(StringStrDouble(v)), v) << StringStrDouble(v).Bytes();
    }
}

TEST(Format, ZeroPointZero) {
    struct Case {
        double in;
        const char* format;
        const char* out;
    } cases[] = {{2.0, "0.0", "2.0"},     {2.5, "0.0", "2.5"},       {0.3, "0.0", "0.3"},
                 {6.0, "0.0", "6.0"},     {2.46, "0.0", "2.5"},      {-1.5, "0.0", "-1.5"},
                 {-0.04, "0.0", "0.0"},   {12.0, "0", "12"},         {1.5, "#.##", "1.5"},
                 {0.5, "#.#", ".5"},      {3.14159, "0.00", "3.14"}, {7, "00.0", "07.0"},
                 {2.0, "x0.0%", "x2.0%"}, {kNaN, "0.0", "nan"}};
    for (const Case& c : cases) {
        EXPECT_EQ(StringFormat(c.in, String(c.format)).Bytes(), c.out) << c.in << " " << c.format;
    }
    for (int k = 10; k <= 60; ++k) {
        const std::string text = StringFormat(k / 10.0, "0.0").Bytes();
        EXPECT_EQ(text, std::to_string(k / 10) + "." + std::to_string(k % 10));
    }
}

TEST(Val, LeadingNumberOfTheText) {
    struct Case {
        std::string in;
        double out;
    } cases[] = {
        {"", 0},
        {"12", 12},
        {"  -3.5xyz", -3.5},
        {"\t+4", 4},
        {"2.", 2},
        {".5", 0.5},
        {".", 0},
        {"-", 0},
        {"abc", 0},
        {"1,5", 1},
        {"1e3", 1000},
        {"1E-2", 0.01},
        {"1e", 1},
        {"1e+", 1},
        {"2e3x", 2000},
        {"1e300", 1e300},
        {"-1e300", -1e300},
        {"1e400", kInf},
        {"-1e400", -kInf},
        {"1e-400", 0},
        {"1e99999999999999999999", kInf},
        {"nan", 0},
        {"inf", kInf},
        {"-inf", -kInf},
        {" +Infinity,2", kInf},
        {"info", 0},
        {"inf5", 0},
        {"0x10", 0},
        {"1234567890123456789012345678901234567890", 1234567890123456789012345678901234567890.0},
        {std::string(400, '9'), kInf},
        {"0." + std::string(400, '0') + "1", 0},
        {std::string("7\0"
                     "8",
                     3),
         7},
        {"\xff"
         "5",
         0},
        {" \n5", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(StringVal(String(c.in)), c.out) << c.in;
    EXPECT_TRUE(std::signbit(StringVal("-0")));
}

TEST(Val, HugeInputDoesNotHang) {
    EXPECT_EQ(StringVal(String(std::string(4'000'000, '1'))), kInf);
    EXPECT_EQ(StringVal(String("1." + std::string(4'000'000, '1'))), 1.1111111111111112);
}

TEST(NthField, OneBasedEmptyOutOfRange) {
    const String comma = StringDBCSChr(44);
    struct Case {
        const char* s;
        int32_t n;
        const char* out;
    } cases[] = {{"55,10", 1, "55"}, {"55,10", 2, "10"}, {"55,10", 3, ""}, {"55,10", 0, ""},
                 {"55,10", -1, ""},  {"55", 1, "55"},    {"55", 2, ""},    {"", 1, ""},
                 {",", 1, ""},       {",", 2, ""},       {"a,,b", 3, "b"}, {" 1 , 2 ", 2, " 2 "}};
    for (const Case& c : cases) {
        EXPECT_EQ(StringNthField(String(c.s), comma, c.n).Bytes(), c.out) << c.s << " " << c.n;
    }
    EXPECT_EQ(StringNthField("a--b--c", "--", 3).Bytes(), "c");
    EXPECT_EQ(StringNthField("abc", "", 1).Bytes(), "abc");
}

TEST(InStr, CharacterPositionIgnoringCase) {
    struct Case {
        const char* s;
        const char* find;
        int32_t out;
    } cases[] = {{"#MyMag 2", " ", 7},   {"#MyMag", " ", 0},   {"", " ", 0},
                 {"abc", "", 0},         {"# x", " ", 2},      {"äöü x", " ", 4},
                 {"ABC", "bc", 2},       {"straße", "SSE", 0}, {"ÄB", "äb", 1},
                 {"\xff\xfe x", " ", 3}, {"aaa", "aaaa", 0}};
    for (const Case& c : cases) EXPECT_EQ(StringInStr(String(c.s), String(c.find)), c.out) << c.s;
    EXPECT_EQ(StringInStr(3, "a a a", " "), 4);
    EXPECT_EQ(StringInStr(9, "a a a", " "), 0);
}

TEST(Mid, CountsCharactersNotBytes) {
    struct Case {
        const char* s;
        int32_t start, length;  // length -1: Mid2
        const char* out;
    } cases[] = {{"#MyMag 2", 2, 5, "MyMag"},
                 {"#MyMag 2", 8, -1, "2"},
                 {"#MyMag ", 8, -1, ""},
                 {"# x", 2, 0, ""},
                 {"äöü", 2, 1, "ö"},
                 {"äöü", 3, -1, "ü"},
                 {"abc", 0, 2, "ab"},
                 {"abc", 5, 1, ""},
                 {"abc", 2, 100, "bc"},
                 {"a\xff"
                  "b",
                  2, 1, "\xff"},
                 {"\xe2\x82", 2, -1, "\x82"}};
    for (const Case& c : cases) {
        const String got = c.length < 0 ? StringDBCSMid2(String(c.s), c.start)
                                        : StringDBCSMid3(String(c.s), c.start, c.length);
        EXPECT_EQ(got.Bytes(), c.out) << c.s << " " << c.start;
    }
    EXPECT_EQ(StringDBCSMid3("abc", 2147483647, 2147483647).Bytes(), "");
}

TEST(Len, CodePointsWithInvalidBytesCountedSingly) {
    struct Case {
        std::string s;
        int32_t out;
    } cases[] = {{"", 0},
                 {"abc", 3},
                 {"äöü", 3},
                 {"€𝄞", 2},
                 {"\xff", 1},
                 {"\xc3", 1},              // truncated sequence
                 {"\xc0\xaf", 2},          // overlong
                 {"\xed\xa0\x80", 3},      // surrogate
                 {"\xf4\x90\x80\x80", 4},  // above U+10FFFF
                 {std::string("a\0b", 3), 3}};
    for (const Case& c : cases) EXPECT_EQ(StringDBCSLen(String(c.s)), c.out) << c.s;
    EXPECT_EQ(StringDBCSLen(String(std::string("\xe4\xf6"), encoding::kWindowsLatin1)), 2);
}

TEST(LCase, LowersLettersKeepsTheRest) {
    EXPECT_EQ(StringLCase("MyMag2").Bytes(), "mymag2");
    EXPECT_EQ(StringLCase("ÄÖÜ Window2Position").Bytes(), "äöü window2position");
    EXPECT_EQ(StringLCase("\xff"
                          "A")
                  .Bytes(),
              "\xff"
              "a");
    EXPECT_EQ(StringUCase("abc ß").Bytes(), "ABC ß");
    const String latin1(std::string("A\xc4"), encoding::kWindowsLatin1);
    EXPECT_EQ(StringLCase(latin1).Bytes(), "a\xc4");
    EXPECT_EQ(StringLCase(latin1).Encoding(), encoding::kWindowsLatin1);
}

TEST(Chr, OneCharacterText) {
    EXPECT_EQ(StringDBCSChr(44).Bytes(), ",");
    EXPECT_EQ(StringDBCSChr(0xE4).Bytes(), "ä");
    EXPECT_EQ(StringDBCSChr(0x1D11E).Bytes(), "𝄞");
    EXPECT_EQ(StringDBCSChr(0).Bytes(), std::string(1, '\0'));
    EXPECT_EQ(StringDBCSChr(-1).Bytes(), "");
    EXPECT_EQ(StringDBCSChr(0xD800).Bytes(), "");
    EXPECT_EQ(StringDBCSChr(0x110000).Bytes(), "");
}

TEST(AddString, Concatenates) {
    EXPECT_EQ(RuntimeAddString("#MyMag ", "2").Bytes(), "#MyMag 2");
    EXPECT_EQ(RuntimeAddString("", "").Bytes(), "");
    const String latin1(std::string("x"), encoding::kWindowsLatin1);
    EXPECT_EQ(RuntimeAddString("", latin1).Encoding(), encoding::kWindowsLatin1);
}

TEST(StringCompare, EqualityIgnoresLetterCase) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {{"mymag", "MyMag", true},   {"MYMAG", "MyMag", true},
                 {"mymag2", "MyMag", false}, {"", "", true},
                 {"", "a", false},           {"False", "false", true},
                 {"False ", "False", false}, {"ÄÖ", "äö", true},
                 {"\xff", "\xfe", false},    {"\xff", "\xff", true}};
    for (const Case& c : cases) {
        EXPECT_EQ(RuntimeStringCompare(c.a, c.b) == 0, c.equal) << c.a << " vs " << c.b;
    }
    EXPECT_LT(RuntimeStringCompare("a", "B"), 0);
    EXPECT_GT(RuntimeStringCompare("b", "A"), 0);
    EXPECT_LT(RuntimeStringCompare("ab", "abc"), 0);
}

}  // namespace
}  // namespace fw
