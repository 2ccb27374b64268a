// The framework's number and text conversions.
//
// Positions and lengths count characters (UTF-8 code points), 1-based where the
// function takes a position. Text that is not valid UTF-8 never makes a function
// fail: each byte that does not start a well-formed sequence counts as one
// character and is carried through unchanged. Strings tagged with a single-byte
// encoding (MacRoman, Windows Latin 1) count one character per byte.
#pragma once

#include <cstdint>

#include "fw/runtime/string.h"

namespace fw {

// Double to 32-bit integer: truncates toward zero, saturates at the int32 limits,
// NaN gives 0. 1.0 gives 1, 2.0 gives 2, -2.7 gives -2.
int32_t RuntimeCvtReal64ToSInt32(double value) noexcept;
// Exact.
double RuntimeCvtSInt32ToReal64(int32_t value) noexcept;

// Decimal digits with a leading "-" when negative.
String StringStrInt32(int32_t value);
// The default text form of a double: the shortest text that reads back through
// StringVal as the same double. A whole number carries no decimal point ("2"),
// a tenth carries one decimal ("2.5"); very large or small magnitudes use an
// exponent ("1e+300"). NaN gives "nan", infinities "inf" / "-inf" (which StringVal
// reads as 0).
String StringStrDouble(double value);
// Formats with a pattern of '0' (digit always shown), '#' (digit shown when
// significant) and at most one '.': "0.0" gives at least one digit before the
// point and exactly one after (2 -> "2.0", 2.46 -> "2.5", -0.04 -> "0.0"); the
// point is always ".". Other characters of the pattern are copied as they stand.
// NaN and infinities give "nan", "inf", "-inf".
String StringFormat(double value, const String& format);

// The number at the start of the text: leading blanks (spaces and tabs) are
// skipped, then an optional sign, digits, an optional decimal point with digits
// and an optional exponent ("e" or "E", optional sign, digits; an "e" without
// digits ends the number before it). Whatever follows is ignored. Text without a
// leading number gives 0, so do "nan" and "inf". A number too large for a double
// ("1e400", 400 digits) gives plus or minus infinity; one too small gives 0.
// "1e300" gives 1e300; 40 digits give the nearest double. Never fails.
double StringVal(const String& text);

// The n-th piece (1-based) of `s` between occurrences of `separator`; empty when n
// is below 1 or beyond the last piece. An empty separator makes the whole text
// piece 1.
String StringNthField(const String& s, const String& separator, int32_t n);

// Position (1-based, in characters) of the first occurrence of `find` in `s` at or
// after character `start`, ignoring letter case; 0 when not found or `find` is
// empty.
int32_t StringInStr(const String& s, const String& find);
int32_t StringInStr(int32_t start, const String& s, const String& find);

// Characters from `start` (1-based; below 1 counts as 1) to the end.
String StringDBCSMid2(const String& s, int32_t start);
// Up to `length` characters from `start`; a negative length means to the end.
String StringDBCSMid3(const String& s, int32_t start, int32_t length);
// Number of characters.
int32_t StringDBCSLen(const String& s);
String StringDBCSLeft(const String& s, int32_t count);
String StringDBCSRight(const String& s, int32_t count);

String StringLCase(const String& s);
String StringUCase(const String& s);
// The one-character text of a Unicode code point; empty for a value that is no
// code point (negative, a surrogate, above 0x10FFFF). Code 0 gives one NUL byte.
String StringDBCSChr(int32_t code);

// Concatenation; the result takes the encoding of the first non-empty operand.
String RuntimeAddString(const String& a, const String& b);
// 0 when the texts are equal ignoring letter case; otherwise negative or positive
// in a consistent order (by case-folded code point, invalid bytes after all code
// points).
int32_t RuntimeStringCompare(const String& a, const String& b);

}  // namespace fw
