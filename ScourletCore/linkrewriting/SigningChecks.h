// The strict byte-level checks behind every Ed25519 signature this program
// accepts (the privacy-services catalog and the rule feed).
//
// They are deliberately stricter than plain Ed25519 verification: a public key
// or the R half of a signature must be a canonical encoding of a curve point
// that is not of small order, and the S half must be a canonical scalar. So a
// signature that some library would let through by accident is refused here
// first.
//
//   bool keyOK = isAcceptedEd25519Point(keyBytes);          // 32 bytes
//   bool sOK = isCanonicalEd25519Scalar(signature.substr(32));
//   std::string hex = lowercaseHex("\x00\xab");              // "00ab"
//
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace scourlet {

// True when `bytes` is 32 bytes long, is none of the eight encodings of the
// points of order dividing 8, encodes a y below p = 2^255 - 19 once the sign
// bit is cleared, and (y^2 - 1)/(d*y^2 + 1) is a non-zero square, so that a
// point with this y and x != 0 exists. The sign bit is not examined. False on
// every other input.
bool isAcceptedEd25519Point(std::string_view bytes);

// True exactly when `bytes` is 32 bytes long and its little-endian value is
// below the group order l (l itself is refused).
bool isCanonicalEd25519Scalar(std::string_view bytes);

// Two lower-case hexadecimal digits per byte, in byte order; "" for no bytes.
std::string lowercaseHex(std::string_view bytes);

// True when any byte of `text` is below 0x20 or above 0x7E (a control
// character or anything outside ASCII); false for "".
bool containsNonPrintableASCII(std::string_view text);

// True when any byte of `text` is not a to z, 0 to 9 or "-"; false for "".
bool containsNonKeyIDCharacter(std::string_view text);

}  // namespace scourlet
