#include "ScourletCore/linkrewriting/internal/Field25519.h"

namespace scourlet::internal {

namespace {

using Limbs = std::array<std::uint64_t, 4>;
using Wide = unsigned __int128;

constexpr Limbs kP = {0xffffffffffffffedULL, 0xffffffffffffffffULL, 0xffffffffffffffffULL,
                      0x7fffffffffffffffULL};
constexpr Limbs kPMinus2 = {0xffffffffffffffebULL, 0xffffffffffffffffULL, 0xffffffffffffffffULL,
                            0x7fffffffffffffffULL};
// (p - 1) / 2 = 2^254 - 10
constexpr Limbs kHalfPMinus1 = {0xfffffffffffffff6ULL, 0xffffffffffffffffULL, 0xffffffffffffffffULL,
                                0x3fffffffffffffffULL};

bool greaterOrEqual(const Limbs& a, const Limbs& b) {
    for (int i = 3; i >= 0; --i) {
        if (a[i] != b[i]) {
            return a[i] > b[i];
        }
    }
    return true;
}

// a - b over 256 bits; returns the borrow out.
std::uint64_t subtractInPlace(Limbs& a, const Limbs& b) {
    std::uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) {
        const Wide difference = static_cast<Wide>(a[i]) - b[i] - borrow;
        a[i] = static_cast<std::uint64_t>(difference);
        borrow = static_cast<std::uint64_t>(difference >> 64) & 1;
    }
    return borrow;
}

// Reduces a value below 2p to below p.
FieldElement reducedOnce(Limbs value) {
    if (greaterOrEqual(value, kP)) {
        subtractInPlace(value, kP);
    }
    return FieldElement{value};
}

}  // namespace

std::optional<FieldElement> FieldElement::fromCanonicalBytes(
    std::span<const std::uint8_t, 32> bytes) {
    Limbs limbs{};
    for (int i = 0; i < 32; ++i) {
        limbs[i / 8] |= static_cast<std::uint64_t>(bytes[i]) << (8 * (i % 8));
    }
    if (greaterOrEqual(limbs, kP)) {
        return std::nullopt;
    }
    return FieldElement{limbs};
}

std::array<std::uint8_t, 32> FieldElement::toBytes() const {
    std::array<std::uint8_t, 32> bytes{};
    for (int i = 0; i < 32; ++i) {
        bytes[i] = static_cast<std::uint8_t>(limbs[i / 8] >> (8 * (i % 8)));
    }
    return bytes;
}

FieldElement add(const FieldElement& a, const FieldElement& b) {
    // Both are below p < 2^255, so the sum fits in 256 bits.
    Limbs sum{};
    Wide carry = 0;
    for (int i = 0; i < 4; ++i) {
        carry += static_cast<Wide>(a.limbs[i]) + b.limbs[i];
        sum[i] = static_cast<std::uint64_t>(carry);
        carry >>= 64;
    }
    return reducedOnce(sum);
}

FieldElement sub(const FieldElement& a, const FieldElement& b) {
    Limbs difference = a.limbs;
    if (subtractInPlace(difference, b.limbs) != 0) {
        // Wrapped below zero: adding p modulo 2^256 gives a - b + p.
        Wide carry = 0;
        for (int i = 0; i < 4; ++i) {
            carry += static_cast<Wide>(difference[i]) + kP[i];
            difference[i] = static_cast<std::uint64_t>(carry);
            carry >>= 64;
        }
    }
    return FieldElement{difference};
}

FieldElement mul(const FieldElement& a, const FieldElement& b) {
    std::array<std::uint64_t, 8> product{};
    for (int i = 0; i < 4; ++i) {
        Wide carry = 0;
        for (int j = 0; j < 4; ++j) {
            carry += static_cast<Wide>(a.limbs[i]) * b.limbs[j] + product[i + j];
            product[i + j] = static_cast<std::uint64_t>(carry);
            carry >>= 64;
        }
        product[i + 4] = static_cast<std::uint64_t>(carry);
    }
    // 2^256 = 38 (mod p): fold the high half onto the low half.
    std::array<std::uint64_t, 5> folded{};
    Wide carry = 0;
    for (int i = 0; i < 4; ++i) {
        carry += static_cast<Wide>(product[i]) + static_cast<Wide>(product[i + 4]) * 38;
        folded[i] = static_cast<std::uint64_t>(carry);
        carry >>= 64;
    }
    folded[4] = static_cast<std::uint64_t>(carry);
    // 2^255 = 19 (mod p): fold everything from bit 255 up once more.
    const std::uint64_t top = (folded[4] << 1) | (folded[3] >> 63);
    Limbs result = {folded[0], folded[1], folded[2], folded[3] & 0x7fffffffffffffffULL};
    carry = static_cast<Wide>(top) * 19;
    for (int i = 0; i < 4; ++i) {
        carry += result[i];
        result[i] = static_cast<std::uint64_t>(carry);
        carry >>= 64;
    }
    return reducedOnce(result);
}

FieldElement pow(const FieldElement& a, const std::array<std::uint64_t, 4>& exponent) {
    FieldElement result = FieldElement::fromInt(1);
    for (int bit = 255; bit >= 0; --bit) {
        result = mul(result, result);
        if (((exponent[bit / 64] >> (bit % 64)) & 1) != 0) {
            result = mul(result, a);
        }
    }
    return result;
}

FieldElement invert(const FieldElement& a) {
    return pow(a, kPMinus2);
}

const FieldElement& curveConstantD() {
    static const FieldElement d = [] {
        const FieldElement minus121665 = sub(FieldElement{}, FieldElement::fromInt(121665));
        return mul(minus121665, invert(FieldElement::fromInt(121666)));
    }();
    return d;
}

FieldElement legendreSymbol(const FieldElement& a) {
    return pow(a, kHalfPMinus1);
}

}  // namespace scourlet::internal
