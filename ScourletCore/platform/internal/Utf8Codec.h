// Decoding single UTF-8 scalars, forwards and backwards, without allocating.
//
// Malformed input never fails: each byte that does not start a well-formed
// sequence decodes on its own as `kInvalidScalar` with length 1, the way a
// decoder substitutes U+FFFD, so callers always make progress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace scourlet::internal {

inline constexpr char32_t kInvalidScalar = 0xFFFFFFFF;

struct DecodedScalar {
    char32_t scalar;   // kInvalidScalar for a malformed byte
    std::size_t size;  // bytes consumed, 1 to 4
};

inline bool isContinuationByte(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The scalar starting at `text[pos]`; `pos` must be inside `text`.
inline DecodedScalar decodeUtf8At(std::string_view text, std::size_t pos) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + pos;
    const std::size_t left = text.size() - pos;
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        return {b0, 1};
    }
    // Lead bytes C0, C1 and F5..FF never start a well-formed sequence; the
    // second-byte ranges below exclude overlong forms, surrogates and values
    // above U+10FFFF (Unicode Table 3-7).
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (left >= 2 && isContinuationByte(p[1])) {
            return {static_cast<char32_t>(((b0 & 0x1F) << 6) | (p[1] & 0x3F)), 2};
        }
        return {kInvalidScalar, 1};
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        const unsigned char low = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b0 == 0xED ? 0x9F : 0xBF;
        if (left >= 3 && p[1] >= low && p[1] <= high && isContinuationByte(p[2])) {
            return {
                static_cast<char32_t>(((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)),
                3};
        }
        return {kInvalidScalar, 1};
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        const unsigned char low = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b0 == 0xF4 ? 0x8F : 0xBF;
        if (left >= 4 && p[1] >= low && p[1] <= high && isContinuationByte(p[2]) &&
            isContinuationByte(p[3])) {
            return {static_cast<char32_t>(((b0 & 0x07) << 18) | ((p[1] & 0x3F) << 12) |
                                          ((p[2] & 0x3F) << 6) | (p[3] & 0x3F)),
                    4};
        }
    }
    return {kInvalidScalar, 1};
}

// The scalar that ends just before `text[end]`; `end` must be greater than 0.
// A malformed tail decodes as its last byte alone.
inline DecodedScalar decodeUtf8Before(std::string_view text, std::size_t end) {
    std::size_t start = end - 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    while (start > 0 && end - start < 4 && isContinuationByte(bytes[start])) {
        --start;
    }
    const DecodedScalar decoded = decodeUtf8At(text, start);
    if (decoded.scalar != kInvalidScalar && start + decoded.size == end) {
        return decoded;
    }
    return {kInvalidScalar, 1};
}

// Appends the UTF-8 form of `scalar` (which must be a valid scalar value).
template <class String>
void appendUtf8(String& out, char32_t scalar) {
    if (scalar < 0x80) {
        out.push_back(static_cast<char>(scalar));
    } else if (scalar < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    }
}

}  // namespace scourlet::internal
