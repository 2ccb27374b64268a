// Text functions over framework strings. Characters are UTF-8 code points; a byte
// that does not begin a well-formed sequence is one character of its own, so any
// byte string has a well-defined length and every position lands on a boundary.

#include "fw/runtime/text.h"

#include <QChar>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

namespace fw {
namespace {

// Keys above every code point stand for the bytes that are no valid UTF-8, so
// that two different invalid bytes never compare equal.
constexpr uint32_t kInvalidByteBase = 0x110000;

bool IsSingleByte(const String& s) {
    return s.Encoding() == encoding::kMacRoman || s.Encoding() == encoding::kWindowsLatin1;
}

struct Char {
    uint32_t value;  // code point, or kInvalidByteBase + byte
    size_t length;   // bytes
    bool valid;
};

// Decodes the character at byte offset i (i < s.size()), strictly: no overlong
// forms, no surrogates, nothing above U+10FFFF.
Char DecodeAt(const std::string& s, size_t i, bool singleByte) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return {b0, 1, true};
    if (singleByte) return {kInvalidByteBase + b0, 1, false};
    size_t need;
    uint32_t cp, min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1, cp = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2, cp = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3, cp = b0 & 0x07u, min = 0x10000;
    } else {
        return {kInvalidByteBase + b0, 1, false};
    }
    if (s.size() - i <= need) return {kInvalidByteBase + b0, 1, false};
    for (size_t k = 1; k <= need; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return {kInvalidByteBase + b0, 1, false};
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return {kInvalidByteBase + b0, 1, false};
    }
    return {cp, need + 1, true};
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Byte offset of the character with 0-based index `index`, or s.size() when the
// text has no more characters.
size_t ByteOffsetOf(const String& s, int64_t index) {
    const std::string& b = s.Bytes();
    const bool single = IsSingleByte(s);
    size_t i = 0;
    for (int64_t n = 0; n < index && i < b.size(); ++n) i += DecodeAt(b, i, single).length;
    return i;
}

uint32_t FoldKey(const Char& c) {
    return c.valid ? static_cast<uint32_t>(QChar::toCaseFolded(char32_t{c.value})) : c.value;
}

std::vector<uint32_t> FoldedKeys(const String& s) {
    const std::string& b = s.Bytes();
    const bool single = IsSingleByte(s);
    std::vector<uint32_t> keys;
    keys.reserve(b.size());
    for (size_t i = 0; i < b.size();) {
        const Char c = DecodeAt(b, i, single);
        keys.push_back(FoldKey(c));
        i += c.length;
    }
    return keys;
}

template <class Map>
String MapCase(const String& s, Map map) {
    const std::string& b = s.Bytes();
    const bool single = IsSingleByte(s);
    std::string out;
    out.reserve(b.size());
    for (size_t i = 0; i < b.size();) {
        const Char c = DecodeAt(b, i, single);
        if (c.valid) {
            uint32_t mapped = static_cast<uint32_t>(map(char32_t{c.value}));
            // A single-byte text stays single-byte: only ASCII letters change.
            if (single && mapped >= 0x80) mapped = c.value;
            if (single) {
                out += static_cast<char>(mapped);
            } else {
                AppendUtf8(out, mapped);
            }
        } else {
            out.append(b, i, c.length);
        }
        i += c.length;
    }
    return String(std::move(out), s.Encoding());
}

String Slice(const String& s, size_t from, size_t to) {
    return String(s.Bytes().substr(from, to - from), s.Encoding());
}

String EmptyLike(const String& s) {
    return String(std::string(), s.Encoding());
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int32_t RuntimeCvtReal64ToSInt32(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);  // in range: truncates toward zero
}

double RuntimeCvtSInt32ToReal64(int32_t value) noexcept {
    return static_cast<double>(value);
}

String StringStrInt32(int32_t value) {
    return String(std::to_string(value));
}

String StringStrDouble(double value) {
    if (std::isnan(value)) return String("nan");
    if (std::isinf(value)) return String(value < 0 ? "-inf" : "inf");
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return String(std::string(buf, r.ptr));
}

String StringFormat(double value, const String& format) {
    if (std::isnan(value)) return String("nan");
    if (std::isinf(value)) return String(value < 0 ? "-inf" : "inf");

    const std::string& f = format.Bytes();
    const size_t first = f.find_first_of("0#.");
    if (first == std::string::npos) return format;
    const size_t last = f.find_last_of("0#.");
    const std::string prefix = f.substr(0, first), suffix = f.substr(last + 1);
    const std::string pattern = f.substr(first, last - first + 1);

    const size_t point = pattern.find('.');
    const std::string intPart = pattern.substr(0, point);
    const std::string fracPart = point == std::string::npos ? "" : pattern.substr(point + 1);
    const auto minInt = static_cast<size_t>(std::count(intPart.begin(), intPart.end(), '0'));
    const auto minFrac = static_cast<size_t>(std::count(fracPart.begin(), fracPart.end(), '0'));
    const auto maxFrac =
        minFrac + static_cast<size_t>(std::count(fracPart.begin(), fracPart.end(), '#'));

    // Fixed notation of a double needs at most 309 integer digits.
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed,
                                 static_cast<int>(std::min<size_t>(maxFrac, 40)));
    std::string digits(buf, r.ptr);
    std::string whole = digits.substr(0, digits.find('.'));
    std::string frac =
        digits.find('.') == std::string::npos ? "" : digits.substr(digits.find('.') + 1);
    while (frac.size() > minFrac && frac.back() == '0') frac.pop_back();
    if (whole == "0" && minInt == 0) whole.clear();
    if (whole.size() < minInt) whole.insert(0, minInt - whole.size(), '0');

    const bool zero =
        std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0' || c == '.'; });
    std::string out = prefix;
    if (value < 0 && !zero) out += '-';
    out += whole;
    if (!frac.empty()) out += '.' + frac;
    out += suffix;
    return String(std::move(out));
}

double StringVal(const String& text) {
    const std::string& s = text.Bytes();
    const size_t n = s.size();
    size_t i = 0;
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

    const size_t start = i;
    size_t intDigits = 0, intLeadingZeros = 0, fracLeadingZeros = 0, fracDigits = 0;
    bool significant = false;
    for (; i < n && IsDigit(s[i]); ++i, ++intDigits) {
        if (!significant && s[i] == '0')
            ++intLeadingZeros;
        else
            significant = true;
    }
    size_t end = i;
    if (i < n && s[i] == '.') {
        size_t j = i + 1;
        for (; j < n && IsDigit(s[j]); ++j, ++fracDigits) {
            if (!significant && s[j] == '0')
                ++fracLeadingZeros;
            else
                significant = true;
        }
        if (intDigits + fracDigits > 0) end = j;
    }
    if (intDigits + fracDigits == 0) {
        // StringStrDouble writes an infinity as "inf", and a number text too large
        // for a double reads as one, so both must come back the same.
        auto word = [&](std::string_view w) {
            if (n - start < w.size()) return false;
            for (size_t k = 0; k < w.size(); ++k)
                if ((s[start + k] | 0x20) != w[k]) return false;
            const size_t after = start + w.size();
            return after == n || !std::isalnum(static_cast<unsigned char>(s[after]));
        };
        if (!word("inf") && !word("infinity")) return 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }

    // The exponent counts only with at least one digit; it is read saturated so
    // that any number of digits stays harmless.
    int64_t exponent = 0;
    if (end < n && (s[end] == 'e' || s[end] == 'E')) {
        size_t j = end + 1;
        bool expNegative = false;
        if (j < n && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
        size_t k = j;
        for (; k < n && IsDigit(s[k]); ++k)
            exponent = std::min<int64_t>(exponent * 10 + (s[k] - '0'), 1'000'000'000);
        if (k > j) {
            end = k;
            if (expNegative) exponent = -exponent;
        } else {
            exponent = 0;
        }
    }

    double value = 0.0;
    const auto r =
        std::from_chars(s.data() + start, s.data() + end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Decide between overflow and underflow by the decimal magnitude.
        int64_t magnitude = exponent;
        if (significant) {
            magnitude += intDigits > intLeadingZeros
                             ? static_cast<int64_t>(intDigits - intLeadingZeros)
                             : -static_cast<int64_t>(fracLeadingZeros);
        }
        value = significant && magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (r.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

String StringNthField(const String& s, const String& separator, int32_t n) {
    if (n < 1) return EmptyLike(s);
    const std::string& b = s.Bytes();
    const std::string& sep = separator.Bytes();
    if (sep.empty()) return n == 1 ? s : EmptyLike(s);
    size_t from = 0;
    for (int32_t field = 1; field < n; ++field) {
        const size_t at = b.find(sep, from);
        if (at == std::string::npos) return EmptyLike(s);
        from = at + sep.size();
    }
    const size_t at = b.find(sep, from);
    return Slice(s, from, at == std::string::npos ? b.size() : at);
}

int32_t StringInStr(const String& s, const String& find) {
    return StringInStr(1, s, find);
}

int32_t StringInStr(int32_t start, const String& s, const String& find) {
    if (find.IsEmpty()) return 0;
    const std::vector<uint32_t> hay = FoldedKeys(s), needle = FoldedKeys(find);
    const size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= hay.size() || needle.size() > hay.size() - from) return 0;
    const auto it = std::search(hay.begin() + static_cast<std::ptrdiff_t>(from), hay.end(),
                                needle.begin(), needle.end());
    if (it == hay.end()) return 0;
    const auto pos = it - hay.begin() + 1;
    return pos > std::numeric_limits<int32_t>::max() ? 0 : static_cast<int32_t>(pos);
}

String StringDBCSMid2(const String& s, int32_t start) {
    return StringDBCSMid3(s, start, -1);
}

String StringDBCSMid3(const String& s, int32_t start, int32_t length) {
    const int64_t first = start < 1 ? 0 : int64_t{start} - 1;
    const size_t from = ByteOffsetOf(s, first);
    if (length < 0) return Slice(s, from, s.ByteLength());
    const std::string& b = s.Bytes();
    const bool single = IsSingleByte(s);
    size_t to = from;
    for (int32_t k = 0; k < length && to < b.size(); ++k) to += DecodeAt(b, to, single).length;
    return Slice(s, from, to);
}

int32_t StringDBCSLen(const String& s) {
    const std::string& b = s.Bytes();
    const bool single = IsSingleByte(s);
    int64_t count = 0;
    for (size_t i = 0; i < b.size(); ++count) i += DecodeAt(b, i, single).length;
    return static_cast<int32_t>(std::min<int64_t>(count, std::numeric_limits<int32_t>::max()));
}

String StringDBCSLeft(const String& s, int32_t count) {
    return StringDBCSMid3(s, 1, std::max(count, 0));
}

String StringDBCSRight(const String& s, int32_t count) {
    if (count <= 0) return EmptyLike(s);
    const int32_t len = StringDBCSLen(s);
    return count >= len ? s : StringDBCSMid2(s, len - count + 1);
}

String StringLCase(const String& s) {
    return MapCase(s, [](char32_t c) { return QChar::toLower(c); });
}

String StringUCase(const String& s) {
    return MapCase(s, [](char32_t c) { return QChar::toUpper(c); });
}

String StringDBCSChr(int32_t code) {
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return String();
    std::string out;
    AppendUtf8(out, static_cast<uint32_t>(code));
    return String(std::move(out));
}

String RuntimeAddString(const String& a, const String& b) {
    const uint32_t enc = a.IsEmpty() && !b.IsEmpty() ? b.Encoding() : a.Encoding();
    return String(a.Bytes() + b.Bytes(), enc);
}

int32_t RuntimeStringCompare(const String& a, const String& b) {
    if (a.Bytes() == b.Bytes()) return 0;
    const std::vector<uint32_t> ka = FoldedKeys(a), kb = FoldedKeys(b);
    const auto [ia, ib] = std::mismatch(ka.begin(), ka.end(), kb.begin(), kb.end());
    if (ia == ka.end() && ib == kb.end()) return 0;
    if (ia == ka.end()) return -1;
    if (ib == kb.end()) return 1;
    return *ia < *ib ? -1 : 1;
}

}  // namespace fw
