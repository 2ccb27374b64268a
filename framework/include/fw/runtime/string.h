// Framework strings: bytes with a text-encoding tag. Text functions count
// characters (UTF-8 code points), never bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// Text encodings, in the system's text-encoding numbering.
namespace encoding {
inline constexpr uint32_t kMacRoman = 0;
inline constexpr uint32_t kUTF16 = 0x100;
inline constexpr uint32_t kWindowsLatin1 = 0x500;
inline constexpr uint32_t kASCII = 0x600;
inline constexpr uint32_t kUnknown = 0xFFFF;
inline constexpr uint32_t kUTF8 = 0x8000100;
inline constexpr uint32_t kUTF32 = 0xC000100;
}  // namespace encoding

class String {
public:
    String() = default;
    String(const char* s) : bytes_(s ? s : "") {}
    String(std::string s, uint32_t enc = encoding::kUTF8) : bytes_(std::move(s)), encoding_(enc) {}
    String(std::string_view s, uint32_t enc = encoding::kUTF8) : bytes_(s), encoding_(enc) {}

    const std::string& Bytes() const noexcept { return bytes_; }
    const char* CStr() const noexcept { return bytes_.c_str(); }
    size_t ByteLength() const noexcept { return bytes_.size(); }
    bool IsEmpty() const noexcept { return bytes_.empty(); }
    uint32_t Encoding() const noexcept { return encoding_; }
    void SetEncoding(uint32_t enc) noexcept { encoding_ = enc; }

    // Exact byte equality; the framework's text equality is RuntimeStringCompare.
    friend bool operator==(const String& a, const String& b) noexcept {
        return a.bytes_ == b.bytes_;
    }

private:
    std::string bytes_;
    uint32_t encoding_ = encoding::kUTF8;
};

}  // namespace fw
