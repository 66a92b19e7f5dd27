// Arithmetic modulo p = 2^255 - 19, just enough for the curve-point
// acceptance test of Ed25519 public keys and signature points. It runs a few
// times per verified download, so it is written for clarity, not speed, and is
// not constant-time (all inputs are public).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace scourlet::internal {

// A field element, fully reduced (0 <= value < p), as four little-endian
// 64-bit limbs.
struct FieldElement {
    std::array<std::uint64_t, 4> limbs{};
    bool operator==(const FieldElement&) const = default;

    static FieldElement fromInt(std::uint64_t value) { return FieldElement{{value, 0, 0, 0}}; }

    // The 256-bit little-endian integer in `bytes` (exactly 32 bytes) when it is
    // below p; nothing otherwise (a non-canonical encoding).
    static std::optional<FieldElement> fromCanonicalBytes(std::span<const std::uint8_t, 32> bytes);
    std::array<std::uint8_t, 32> toBytes() const;

    bool isZero() const { return *this == FieldElement{}; }
};

FieldElement add(const FieldElement& a, const FieldElement& b);
FieldElement sub(const FieldElement& a, const FieldElement& b);
FieldElement mul(const FieldElement& a, const FieldElement& b);
// a raised to the 256-bit little-endian exponent `e`.
FieldElement pow(const FieldElement& a, const std::array<std::uint64_t, 4>& exponent);
// The inverse of a non-zero element (a^(p-2)); zero gives zero.
FieldElement invert(const FieldElement& a);

// The edwards25519 curve constant d = -121665/121666 mod p.
const FieldElement& curveConstantD();

// a^((p-1)/2): one for a non-zero square, p-1 for a non-square, zero for zero.
FieldElement legendreSymbol(const FieldElement& a);

}  // namespace scourlet::internal
