#include "ScourletCore/rules/internal/LinkScanning.h"

#include <algorithm>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet::internal {

namespace {

// The scheme is "(?i)[a-z][a-z0-9+.-]*://". Written that way, the engine tries
// every start position inside a run of letters and digits and scans the rest
// of the run each time: a 64 KiB word or number followed by a link took the
// whole search budget and the link was lost. This form finds the same
// matches (the scheme in group 1) but only starts at the beginning of a run
// and skips its leading digits and signs once, so every byte is looked at a
// bounded number of times. Case-insensitive [a-z] also takes U+017F (long s)
// and U+212A (Kelvin sign), in both forms alike.
constexpr std::string_view kSchemePattern = "(?i)(?<![a-z0-9+.-])[0-9+.-]*+([a-z][a-z0-9+.-]*+://)";

const std::optional<Regex>& schemePattern() {
    static const std::optional<Regex> pattern = Regex::compile(kSchemePattern);
    return pattern;
}

ByteRange schemeRange(const RegexMatch& match, std::size_t offset) {
    const ByteRange range = match.ranges[1].value_or(match.range());
    return {range.first + offset, range.second + offset};
}

bool isStopperPunctuation(char32_t scalar) {
    return scalar == '<' || scalar == '>' || scalar == '"' || scalar == '\'';
}

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool hasWebScheme(std::string_view url, SchemeCase schemeCase) {
    // Lower-casing can only turn ASCII letters into "http", so an ASCII
    // comparison gives what a full Unicode lower-casing would.
    if (schemeCase == SchemeCase::exact) {
        return url.starts_with("https://") || url.starts_with("http://");
    }
    return startsWithIgnoringAsciiCase(url, "https://") ||
           startsWithIgnoringAsciiCase(url, "http://");
}

}  // namespace

bool isAdmissibleLinkText(std::string_view text) {
    if (text.size() > kLinkTextSizeLimit) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char b = bytes[i];
        if (b < 0x20) {
            if (b != '\t' && b != '\n' && b != '\r') {
                return false;
            }
        } else if (b == 0x7F) {
            return false;
        } else if (b == 0xE2 && i + 2 < size) {
            // Every refused character above ASCII lies in U+2000...U+207F,
            // whose UTF-8 forms are E2 80 xx and E2 81 xx.
            const unsigned char b1 = bytes[i + 1];
            const unsigned char b2 = bytes[i + 2];
            if (b1 == 0x80 && ((b2 >= 0x8B && b2 <= 0x8F) || (b2 >= 0xAA && b2 <= 0xAE))) {
                return false;  // U+200B...U+200F, U+202A...U+202E
            }
            if (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) {
                return false;  // U+2066...U+2069
            }
        }
    }
    return true;
}

std::optional<ByteRange> findSchemeOccurrence(std::string_view text, std::size_t from) {
    const std::optional<Regex>& pattern = schemePattern();
    if (!pattern || from > text.size()) {
        return std::nullopt;
    }
    // The pattern looks at no text before its match other than the one
    // character of its look-behind, which only asks whether a run starts
    // there; searching the rest of the text alone is a search from `from`.
    const std::optional<RegexMatch> match = pattern->firstMatch(text.substr(from));
    if (!match) {
        return std::nullopt;
    }
    return schemeRange(*match, from);
}

std::vector<ByteRange> allSchemeOccurrences(std::string_view text) {
    std::vector<ByteRange> occurrences;
    const std::optional<Regex>& pattern = schemePattern();
    if (!pattern) {
        return occurrences;
    }
    const std::vector<RegexMatch> matches = pattern->allMatches(text);
    occurrences.reserve(matches.size());
    for (const RegexMatch& match : matches) {
        occurrences.push_back(schemeRange(match, 0));
    }
    return occurrences;
}

LinkLead linkLeadBefore(std::string_view text, std::size_t start) {
    if (start == 0) {
        return {LinkLead::Kind::textStart, '\0'};
    }
    const DecodedScalar before = decodeUtf8Before(text, start);
    if (before.scalar == kInvalidScalar) {
        return {};
    }
    if (isWhitespaceOrNewline(before.scalar)) {
        return {LinkLead::Kind::whitespace, '\0'};
    }
    switch (before.scalar) {
        case '(':
            return {LinkLead::Kind::opener, ')'};
        case '[':
            return {LinkLead::Kind::opener, ']'};
        case '<':
        case '"':
        case '\'':
            return {LinkLead::Kind::opener, '\0'};
        default:
            return {};
    }
}

std::size_t linkStopperAtOrAfter(std::string_view text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (isWhitespaceOrNewline(byte) || isStopperPunctuation(byte)) {
                return i;
            }
            ++i;
            continue;
        }
        const DecodedScalar decoded = decodeUtf8At(text, i);
        if (decoded.scalar != kInvalidScalar && isWhitespaceOrNewline(decoded.scalar)) {
            return i;
        }
        i += decoded.size;
    }
    return text.size();
}

bool isFullTrailingPunctuation(char c) {
    return c == '.' || c == ',' || c == ';' || c == '!' || c == '?';
}

bool isShortTrailingPunctuation(char c) {
    return c == '.' || c == ',' || c == ';' || c == '!';
}

std::optional<std::size_t> endBeforeClosingPartner(std::string_view text, std::size_t start,
                                                   std::size_t end, char closingPartner) {
    // Only ASCII is dropped here, and no byte of a longer UTF-8 sequence is
    // ASCII, so looking at single bytes never cuts a character apart.
    while (start < end && isFullTrailingPunctuation(text[end - 1])) {
        --end;
    }
    if (start >= end || text[end - 1] != closingPartner) {
        return std::nullopt;
    }
    return end - 1;
}

std::size_t endBeforeShortPunctuation(std::string_view text, std::size_t start, std::size_t end) {
    while (start < end && isShortTrailingPunctuation(text[end - 1])) {
        --end;
    }
    return end;
}

std::size_t firstNonWhitespaceOffset(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const DecodedScalar decoded = decodeUtf8At(text, i);
        if (decoded.scalar == kInvalidScalar || !isWhitespaceOrNewline(decoded.scalar)) {
            return i;
        }
        i += decoded.size;
    }
    return text.size();
}

bool isAcceptableLink(std::string_view url, bool proseBefore, SchemeCase schemeCase) {
    if (!hasWebScheme(url, schemeCase) || url.find('\\') != std::string_view::npos) {
        return false;
    }
    const std::optional<URLComponents> components = URLComponents::parse(url);
    if (!components) {
        return false;
    }
    const std::optional<std::string_view> host = components->percentEncodedHost();
    if (!host || host->empty()) {
        return false;
    }
    // Even an empty user ("http://@host/") is refused: text before an "@"
    // is how a link disguises its real host.
    if (components->percentEncodedUser() || components->percentEncodedPassword()) {
        return false;
    }
    // A strict parse always yields a URL, so nothing further is checked.
    if (proseBefore && !components->percentEncodedQuery() &&
        !components->percentEncodedFragment() && isFullTrailingPunctuation(url.back())) {
        // "see https://a.example/x." ends a sentence; the full stop is not
        // the link's, and the link is left alone rather than guessed at.
        return false;
    }
    return true;
}

}  // namespace scourlet::internal
