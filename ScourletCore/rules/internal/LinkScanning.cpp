#include "ScourletCore/rules/internal/LinkScanning.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet::internal {

namespace {

// A scheme is what "(?i)[a-z][a-z0-9+.-]*://" matches: a run of scheme
// characters that holds a letter, followed by "://"; a match starts at the
// run's first letter. A run cannot hold ":", so every match belongs to exactly
// one "://", and the search looks for those with memchr and walks back over
// the run before each: every byte is looked at a bounded number of times.
// Case-insensitive [a-z] also takes U+017F (long s) and U+212A (Kelvin sign);
// nothing else outside ASCII is a scheme character.
enum class SchemeCharacter : unsigned char { none, letter, other };

struct SchemeCharacterAt {
    SchemeCharacter kind;
    std::size_t size;
};

SchemeCharacter asciiSchemeCharacter(unsigned char byte) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) {
        return SchemeCharacter::letter;
    }
    if ((byte >= '0' && byte <= '9') || byte == '+' || byte == '.' || byte == '-') {
        return SchemeCharacter::other;
    }
    return SchemeCharacter::none;
}

// The scheme character that ends just before byte `end`, not starting before
// `floor`. C5 and E2 only ever lead a sequence, so "C5 BF" and "E2 84 AA" are
// always the whole characters U+017F and U+212A.
SchemeCharacterAt schemeCharacterBefore(const unsigned char* bytes, std::size_t floor,
                                        std::size_t end) {
    const unsigned char last = bytes[end - 1];
    if (last < 0x80) {
        return {asciiSchemeCharacter(last), 1};
    }
    if (last == 0xBF && end - floor >= 2 && bytes[end - 2] == 0xC5) {
        return {SchemeCharacter::letter, 2};
    }
    if (last == 0xAA && end - floor >= 3 && bytes[end - 2] == 0x84 && bytes[end - 3] == 0xE2) {
        return {SchemeCharacter::letter, 3};
    }
    return {SchemeCharacter::none, 1};
}

// Link stoppers among single bytes, and the lead bytes of the only characters
// above ASCII that can be white space (U+0085, U+00A0, U+1680, U+2000...U+205F,
// U+3000), which need decoding.
enum class StopperByte : unsigned char { no, yes, decode };

constexpr std::array<StopperByte, 256> kStopperBytes = [] {
    std::array<StopperByte, 256> table{};
    for (const char byte : {' ', '\t', '\n', '\v', '\f', '\r', '<', '>', '"', '\''}) {
        table[static_cast<unsigned char>(byte)] = StopperByte::yes;
    }
    for (const std::size_t lead : {0xC2U, 0xE1U, 0xE2U, 0xE3U}) {
        table[lead] = StopperByte::decode;
    }
    return table;
}();

// Eight bytes at a time: each test below is exact for "some byte of the
// word is ...", which is all the loops that use them ask.
constexpr std::uint64_t kEveryByte = 0x0101'0101'0101'0101ULL;
constexpr std::uint64_t kHighBits = 0x8080'8080'8080'8080ULL;

std::uint64_t wordAt(const unsigned char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

bool hasByteBelow(std::uint64_t word, unsigned char limit) {
    // Exact for limits up to 0x80.
    return ((word - kEveryByte * limit) & ~word & kHighBits) != 0;
}

bool hasByteAbove7E(std::uint64_t word) {
    return (((word + kEveryByte) | word) & kHighBits) != 0;
}

bool hasByte(std::uint64_t word, unsigned char value) {
    return hasByteBelow(word ^ (kEveryByte * value), 1);
}

// True when every byte is printable ASCII, 0x20 to 0x7E.
bool allPrintableAscii(std::uint64_t word) {
    return !hasByteBelow(word, 0x20) && !hasByteAbove7E(word);
}

// False when every byte is printable ASCII other than space, "<", ">", "\""
// and "'": no link stopper, and no lead byte of one.
bool mayHoldStopper(std::uint64_t word) {
    return hasByteBelow(word, 0x21) || hasByteAbove7E(word) || hasByte(word, '<') ||
           hasByte(word, '>') || hasByte(word, '"') || hasByte(word, '\'');
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
    // Every test below looks at one byte and the two after it, so runs of
    // printable ASCII, which pass all of them, can be skipped eight at a time.
    std::size_t i = 0;
    while (i < size) {
        if (i + 8 <= size && allPrintableAscii(wordAt(bytes + i))) {
            i += 8;
            continue;
        }
        const std::size_t wordEnd = std::min(i + 8, size);
        for (; i < wordEnd; ++i) {
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
    }
    return true;
}

std::optional<ByteRange> findSchemeOccurrence(std::string_view text, std::size_t from) {
    if (from > text.size()) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t searchFrom = from;
    while (searchFrom + 3 <= size) {
        const void* found = std::memchr(bytes + searchFrom, ':', size - 2 - searchFrom);
        if (found == nullptr) {
            return std::nullopt;
        }
        const auto colon =
            static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
        searchFrom = colon + 1;
        if (bytes[colon + 1] != '/' || bytes[colon + 2] != '/') {
            continue;
        }
        // The run before the colon, cut at `from` as a search that starts
        // there sees it; the match starts at its first letter.
        std::size_t firstLetter = colon;
        std::size_t runStart = colon;
        while (runStart > from) {
            const SchemeCharacterAt before = schemeCharacterBefore(bytes, from, runStart);
            if (before.kind == SchemeCharacter::none) {
                break;
            }
            runStart -= before.size;
            if (before.kind == SchemeCharacter::letter) {
                firstLetter = runStart;
            }
        }
        if (firstLetter < colon) {
            return ByteRange{firstLetter, colon + 3};
        }
    }
    return std::nullopt;
}

std::vector<ByteRange> allSchemeOccurrences(std::string_view text) {
    std::vector<ByteRange> occurrences;
    // A match ends with "/", which no run holds, so searching on from its end
    // sees the same runs as one search over the whole text.
    std::size_t from = 0;
    while (const std::optional<ByteRange> scheme = findSchemeOccurrence(text, from)) {
        occurrences.push_back(*scheme);
        from = scheme->second;
    }
    return occurrences;
}

LinkLead linkLeadBefore(std::string_view text, std::size_t start) {
    if (start == 0) {
        return {LinkLead::Kind::textStart, false};
    }
    const DecodedScalar before = decodeUtf8Before(text, start);
    if (before.scalar == kInvalidScalar) {
        return {};
    }
    if (isWhitespaceOrNewline(before.scalar)) {
        return {LinkLead::Kind::whitespace, false};
    }
    switch (before.scalar) {
        case '(':
        case '[':
            return {LinkLead::Kind::opener, true};
        case '<':
        case '"':
        case '\'':
            return {LinkLead::Kind::opener, false};
        default:
            return {};
    }
}

std::size_t linkStopperAtOrAfter(std::string_view text, std::size_t from) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    // Byte by byte: no byte inside a longer sequence is a stopper or one of
    // the lead bytes that need decoding, so this finds what walking whole
    // characters finds. Eight bytes of link text at a time while they hold
    // nothing but printable ASCII without stoppers.
    std::size_t i = from;
    while (i < size) {
        if (i + 8 <= size && !mayHoldStopper(wordAt(bytes + i))) {
            i += 8;
            continue;
        }
        const std::size_t wordEnd = std::min(i + 8, size);
        for (; i < wordEnd; ++i) {
            switch (kStopperBytes[bytes[i]]) {
                case StopperByte::no:
                    continue;
                case StopperByte::yes:
                    return i;
                case StopperByte::decode:
                    break;
            }
            const DecodedScalar decoded = decodeUtf8At(text, i);
            if (decoded.scalar != kInvalidScalar && isWhitespaceOrNewline(decoded.scalar)) {
                return i;
            }
        }
    }
    return size;
}

bool isFullTrailingPunctuation(char c) {
    return c == '.' || c == ',' || c == ';' || c == '!' || c == '?';
}

std::optional<std::size_t> linkEndInBrackets(std::string_view text, std::size_t start,
                                             std::size_t stopper) {
    // Only ASCII is looked at, and no byte of a longer UTF-8 sequence is
    // ASCII, so looking at single bytes never cuts a character apart.
    std::size_t openParens = 0;
    std::size_t openBrackets = 0;
    for (std::size_t i = start; i < stopper; ++i) {
        switch (text[i]) {
            case '(':
                ++openParens;
                break;
            case '[':
                ++openBrackets;
                break;
            case ')':
                if (openParens == 0) {
                    return i;
                }
                --openParens;
                break;
            case ']':
                if (openBrackets == 0) {
                    return i;
                }
                --openBrackets;
                break;
            default:
                break;
        }
    }
    return std::nullopt;
}

std::size_t candidateLinkEnd(std::string_view text, std::size_t start, std::size_t stopper,
                             const LinkLead& lead) {
    if (!lead.opensBracket) {
        return stopper;
    }
    return linkEndInBrackets(text, start, stopper).value_or(stopper);
}

std::size_t endBeforeUserPunctuation(std::string_view text, std::size_t start, std::size_t end,
                                     UnderscoreEmphasis& emphasis) {
    // The brackets of the link are counted once, when a closer is first met,
    // and kept up to date as closers are dropped: a link of many ")" is
    // trimmed in one pass. Only ASCII is dropped, as above.
    bool counted = false;
    std::size_t openParens = 0;
    std::size_t closeParens = 0;
    std::size_t openBrackets = 0;
    std::size_t closeBrackets = 0;
    while (start < end) {
        const char last = text[end - 1];
        if (isFullTrailingPunctuation(last) || last == ':' || last == '*' || last == '~') {
            --end;
            continue;
        }
        if (last == '_') {
            // "_see https://a.example/p?x=1_" closes its emphasis after the
            // link; without an opener the run is the link's own
            // ("utm_campaign=spring_"), and is removed with its value.
            std::size_t runStart = end - 1;
            while (runStart > start && text[runStart - 1] == '_') {
                --runStart;
            }
            emphasis.readUpTo(text, start);
            if (!emphasis.innermostOpenRunIs(end - runStart)) {
                break;
            }
            end = runStart;
            continue;
        }
        if (last != ')' && last != ']') {
            break;
        }
        if (!counted) {
            for (const char c : text.substr(start, end - start)) {
                openParens += c == '(' ? 1 : 0;
                closeParens += c == ')' ? 1 : 0;
                openBrackets += c == '[' ? 1 : 0;
                closeBrackets += c == ']' ? 1 : 0;
            }
            counted = true;
        }
        std::size_t& closers = last == ')' ? closeParens : closeBrackets;
        if (closers <= (last == ')' ? openParens : openBrackets)) {
            break;  // "https://en.wikipedia.org/wiki/C_(language)" keeps its ")"
        }
        --closers;
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

std::optional<std::size_t> acceptedLinkEnd(std::string_view text, std::size_t start,
                                           std::size_t end, bool proseBefore, SchemeCase schemeCase,
                                           UnderscoreEmphasis& emphasis) {
    if (!isAcceptableLink(text.substr(start, end - start), proseBefore, schemeCase)) {
        return std::nullopt;
    }
    const std::size_t linkEnd = endBeforeUserPunctuation(text, start, end, emphasis);
    // Dropping punctuation can only cost the host ("https://." is a link,
    // "https://" none); the common link that ends in neither is parsed once.
    if (linkEnd != end &&
        !isAcceptableLink(text.substr(start, linkEnd - start), proseBefore, schemeCase)) {
        return std::nullopt;
    }
    return linkEnd;
}

}  // namespace scourlet::internal
