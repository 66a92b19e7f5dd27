#include "ScourletCore/linkrewriting/SigningChecks.h"

#include <array>
#include <cstdint>
#include <span>

#include "ScourletCore/linkrewriting/internal/Field25519.h"

namespace scourlet {

namespace {

using internal::FieldElement;

// The points whose order divides 8, as stored bytes in hex: the identity
// (y = 1), the point of order 2 (y = p - 1), the two points of order 4 (y = 0)
// and the four of order 8, each y with the sign bit clear and set. They are
// refused by name because a key or R among them makes a signature check say
// nothing about the message.
constexpr std::array<std::string_view, 8> kSmallOrderPointEncodings = {
    "0100000000000000000000000000000000000000000000000000000000000000",
    "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
    "0000000000000000000000000000000000000000000000000000000000000000",
    "0000000000000000000000000000000000000000000000000000000000000080",
    "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05",
    "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85",
    "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a",
    "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa",
};

// The group order l = 2^252 + 27742317777372353535851937790883648493,
// little-endian.
constexpr std::array<std::uint8_t, 32> kGroupOrder = {
    0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
};

bool isSmallOrderEncoding(std::string_view bytes) {
    const std::string hex = lowercaseHex(bytes);
    for (std::string_view encoding : kSmallOrderPointEncodings) {
        if (hex == encoding) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool isAcceptedEd25519Point(std::string_view bytes) {
    if (bytes.size() != 32 || isSmallOrderEncoding(bytes)) {
        return false;
    }
    std::array<std::uint8_t, 32> encoded{};
    for (std::size_t i = 0; i < 32; ++i) {
        encoded[i] = static_cast<std::uint8_t>(bytes[i]);
    }
    encoded[31] &= 0x7f;  // the sign of x is not part of y
    const auto y = FieldElement::fromCanonicalBytes(encoded);
    if (!y) {
        return false;
    }
    const FieldElement one = FieldElement::fromInt(1);
    const FieldElement ySquared = internal::mul(*y, *y);
    const FieldElement u = internal::sub(ySquared, one);
    const FieldElement v = internal::add(internal::mul(internal::curveConstantD(), ySquared), one);
    if (u.isZero() || v.isZero()) {
        return false;
    }
    // u/v is a square exactly when u*v is (v != 0), which Euler's criterion tells.
    return internal::legendreSymbol(internal::mul(u, v)) == one;
}

bool isCanonicalEd25519Scalar(std::string_view bytes) {
    if (bytes.size() != 32) {
        return false;
    }
    for (int i = 31; i >= 0; --i) {
        const auto byte = static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
        if (byte != kGroupOrder[static_cast<std::size_t>(i)]) {
            return byte < kGroupOrder[static_cast<std::size_t>(i)];
        }
    }
    return false;  // equal to l
}

std::string lowercaseHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0f]);
    }
    return hex;
}

bool containsNonPrintableASCII(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e) {
            return true;
        }
    }
    return false;
}

bool containsNonKeyIDCharacter(std::string_view text) {
    for (const char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (!allowed) {
            return true;
        }
    }
    return false;
}

}  // namespace scourlet
