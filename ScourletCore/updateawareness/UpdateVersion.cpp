#include "ScourletCore/updateawareness/UpdateVersion.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace scourlet {

namespace {

struct ParsedVersion {
    std::array<std::int64_t, UpdateVersion::maximumPieces> pieces{};
    std::size_t count = 0;
};

std::optional<ParsedVersion> parse(std::string_view text) {
    if (text.empty() || text.size() > UpdateVersion::maximumBytes) {
        return std::nullopt;
    }
    for (const char c : text) {
        if ((c < '0' || c > '9') && c != '.') {
            return std::nullopt;
        }
    }
    ParsedVersion parsed;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string_view piece = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (piece.empty() || parsed.count == UpdateVersion::maximumPieces) {
            return std::nullopt;
        }
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        if (error != std::errc() || end != piece.data() + piece.size()) {
            return std::nullopt;
        }
        parsed.pieces[parsed.count++] = value;
        if (dot == std::string_view::npos) {
            return parsed;
        }
        start = dot + 1;
    }
}

}  // namespace

std::optional<int> UpdateVersion::compare(std::string_view a, std::string_view b) {
    const auto left = parse(a);
    const auto right = parse(b);
    if (!left || !right) {
        return std::nullopt;
    }
    // Unused pieces are zero, which is what a missing piece counts as.
    for (std::size_t i = 0; i < maximumPieces; ++i) {
        if (left->pieces[i] != right->pieces[i]) {
            return left->pieces[i] > right->pieces[i] ? 1 : -1;
        }
    }
    return 0;
}

bool UpdateVersion::isValid(std::string_view text) {
    return parse(text).has_value();
}

}  // namespace scourlet
