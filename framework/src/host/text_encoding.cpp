// Text conversion for plug-in strings. Plug-ins hand the host bytes in the
// system's text-encoding numbering and ask for UTF-8 back; the host goes
// through code points, so any supported pair converts.
#include <array>
#include <cstring>
#include <vector>

#include "host/host_objects.h"

namespace fw::host {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// ISO Latin 1, which plug-ins do not name but which bytes of no known
// encoding fall back to.
constexpr uint32_t kLatin1 = 0x201;

// Upper halves of the two 8-bit sets that differ from ISO Latin 1.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// 0x80..0x9F of Windows Latin 1; the five unassigned bytes keep their C1 code.
constexpr std::array<char16_t, 32> kWindowsLatin1C1 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t ByteToCodePoint(uint8_t b, uint32_t enc) {
    if (b < 0x80) return b;
    switch (enc) {
        case encoding::kMacRoman:
            return kMacRomanHigh[b - 0x80];
        case encoding::kWindowsLatin1:
            return b < 0xA0 ? kWindowsLatin1C1[b - 0x80] : b;
        case encoding::kASCII:
            return kReplacement;
        default:
            return b;  // ISO Latin 1
    }
}

bool CodePointToByte(char32_t c, uint32_t enc, uint8_t* out) {
    if (c < 0x80) {
        *out = uint8_t(c);
        return true;
    }
    if (enc == encoding::kASCII) return false;
    for (size_t i = 0; i < 128; ++i) {
        char32_t mapped = ByteToCodePoint(uint8_t(0x80 + i), enc);
        if (mapped == c) {
            *out = uint8_t(0x80 + i);
            return true;
        }
    }
    return false;
}

bool IsValidScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

void DecodeUtf8(const std::string& s, std::vector<char32_t>* out, bool* valid = nullptr) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b < 0x80) {
            out->push_back(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, min = 0x10000;
        } else {
            out->push_back(kReplacement);
            if (valid) *valid = false;
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= size_t(extra) && i + j < n && (p[i + j] & 0xC0) == 0x80; ++j) {
            c = (c << 6) | (p[i + j] & 0x3F);
        }
        if (j != size_t(extra) + 1 || c < min || !IsValidScalar(c)) {
            out->push_back(kReplacement);
            if (valid) *valid = false;
            i += j;
            continue;
        }
        out->push_back(c);
        i += j;
    }
}

bool IsValidUtf8(const std::string& s) {
    bool valid = true;
    std::vector<char32_t> cps;
    DecodeUtf8(s, &cps, &valid);
    return valid;
}

// UTF-16 and UTF-32 arrive in the machine's byte order; a leading byte-order
// mark is dropped.
void DecodeUtf16(const std::string& s, std::vector<char32_t>* out) {
    const size_t units = s.size() / 2;
    size_t i = 0;
    auto unit = [&](size_t k) {
        char16_t u;
        std::memcpy(&u, s.data() + 2 * k, 2);
        return u;
    };
    if (units > 0 && unit(0) == 0xFEFF) i = 1;
    for (; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            out->push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out->push_back(kReplacement);
        } else {
            out->push_back(u);
        }
    }
    if (s.size() % 2) out->push_back(kReplacement);
}

void DecodeUtf32(const std::string& s, std::vector<char32_t>* out) {
    const size_t units = s.size() / 4;
    for (size_t i = 0; i < units; ++i) {
        uint32_t u;
        std::memcpy(&u, s.data() + 4 * i, 4);
        if (i == 0 && u == 0xFEFF) continue;
        out->push_back(IsValidScalar(u) ? char32_t(u) : kReplacement);
    }
    if (s.size() % 4) out->push_back(kReplacement);
}

bool IsSingleByte(uint32_t enc) {
    return enc == encoding::kMacRoman || enc == encoding::kWindowsLatin1 ||
           enc == encoding::kASCII || enc == kLatin1;
}

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(char(c));
    } else if (c < 0x800) {
        out->push_back(char(0xC0 | (c >> 6)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(char(0xE0 | (c >> 12)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else {
        out->push_back(char(0xF0 | (c >> 18)));
        out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    }
}

template <class T>
void AppendUnit(T u, std::string* out) {
    char b[sizeof(T)];
    std::memcpy(b, &u, sizeof(T));
    out->append(b, sizeof(T));
}

}  // namespace

bool ConvertText(const String& from, uint32_t toEncoding, std::string* out) {
    const std::string& bytes = from.Bytes();
    uint32_t fromEncoding = from.Encoding();
    // Bytes without a known encoding are taken as UTF-8 when they are, and
    // as Latin 1 otherwise, so that nothing is ever lost silently.
    if (fromEncoding == encoding::kUnknown) {
        fromEncoding = IsValidUtf8(bytes) ? encoding::kUTF8 : kLatin1;
    }
    const bool toSupported = toEncoding == encoding::kUTF8 || toEncoding == encoding::kUTF16 ||
                             toEncoding == encoding::kUTF32 || IsSingleByte(toEncoding);
    if (!toSupported) return false;

    std::vector<char32_t> cps;
    cps.reserve(bytes.size());
    if (fromEncoding == encoding::kUTF8) {
        DecodeUtf8(bytes, &cps);
    } else if (fromEncoding == encoding::kUTF16) {
        DecodeUtf16(bytes, &cps);
    } else if (fromEncoding == encoding::kUTF32) {
        DecodeUtf32(bytes, &cps);
    } else if (IsSingleByte(fromEncoding)) {
        for (char b : bytes) cps.push_back(ByteToCodePoint(uint8_t(b), fromEncoding));
    } else {
        return false;
    }

    out->clear();
    for (char32_t c : cps) {
        switch (toEncoding) {
            case encoding::kUTF8:
                AppendUtf8(c, out);
                break;
            case encoding::kUTF16:
                if (c >= 0x10000) {
                    AppendUnit(char16_t(0xD800 + ((c - 0x10000) >> 10)), out);
                    AppendUnit(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)), out);
                } else {
                    AppendUnit(char16_t(c), out);
                }
                break;
            case encoding::kUTF32:
                AppendUnit(uint32_t(c), out);
                break;
            default: {
                uint8_t b;
                out->push_back(CodePointToByte(c, toEncoding, &b) ? char(b) : '?');
            }
        }
    }
    return true;
}

}  // namespace fw::host
