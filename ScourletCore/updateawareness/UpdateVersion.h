// Dotted-number versions of the application, the rule set and the catalog,
// and their comparison.
//
// A valid version is 1 to 6 pieces of ASCII digits joined by single full
// stops, at most 80 bytes in all, each piece fitting a signed 64-bit integer
// (leading zeros allowed). Anything else (a sign, a blank, a letter, a suffix
// such as "-beta", an empty piece) makes the text invalid. Missing trailing
// pieces count as 0, so "1.2" equals "1.2.0".
//
//   UpdateVersion::compare("1.10", "1.9");        // 1: newer
//   UpdateVersion::compare("1.2", "1.2.0.0.0.0"); // 0
//   UpdateVersion::compare("1.2-beta", "1.2");    // nothing: not a version
//   UpdateVersion::isValid("2026.3.7.1");         // true
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace scourlet {

class UpdateVersion {
public:
    UpdateVersion() = delete;

    // Longest version text accepted, in bytes.
    static constexpr std::size_t maximumBytes = 80;
    // Most pieces a version may have.
    static constexpr std::size_t maximumPieces = 6;

    // 1 when `a` is newer than `b`, -1 when older, 0 when equal; nothing when
    // either text is not a valid version.
    static std::optional<int> compare(std::string_view a, std::string_view b);

    // Whether `text` is a valid version (compare(text, text) gives 0).
    static bool isValid(std::string_view text);
};

}  // namespace scourlet
