#include "ScourletCore/rules/internal/ProviderPrefilter.h"

#include <array>

namespace scourlet::internal {

namespace {

// The two spellings of the site prefix in ClearURLs-format files.
constexpr std::array<std::string_view, 2> kSitePrefixes = {
    R"(^https?:\/\/(?:[a-z0-9-]+\.)*?)",
    R"(^https?://(?:[a-z0-9-]+\.)*?)",
};

bool isLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True unless `rest` provably has no alternation outside groups. Anything the
// scan cannot follow for certain (quoting, comments, nested sets) counts as
// alternation, which only costs the pattern its place in the filter.
bool mayHaveTopLevelAlternation(std::string_view rest) {
    int depth = 0;
    bool inSet = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '#') {
            return true;  // a comment in extended mode may hide anything
        }
        if (c == '\\') {
            if (i + 1 < rest.size() && (rest[i + 1] == 'Q' || rest[i + 1] == 'E')) {
                return true;
            }
            ++i;
            continue;
        }
        if (inSet) {
            if (c == '[') {
                return true;
            }
            if (c == ']') {
                inSet = false;
            }
            continue;
        }
        switch (c) {
            case '[':
                inSet = true;
                // A "]" right after "[" or "[^" is a member, not the end.
                if (i + 1 < rest.size() && rest[i + 1] == '^') {
                    ++i;
                }
                if (i + 1 < rest.size() && rest[i + 1] == ']') {
                    ++i;
                }
                break;
            case '(':
                ++depth;
                break;
            case ')':
                if (--depth < 0) {
                    return true;
                }
                break;
            case '|':
                if (depth == 0) {
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return inSet || depth != 0;
}

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (asciiLower(text[i]) != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> ProviderPrefilter::requiredHostLiteral(std::string_view urlPattern) {
    std::string_view rest;
    bool recognized = false;
    for (std::string_view prefix : kSitePrefixes) {
        if (urlPattern.starts_with(prefix)) {
            rest = urlPattern.substr(prefix.size());
            recognized = true;
            break;
        }
    }
    if (!recognized || rest.empty() || mayHaveTopLevelAlternation(rest)) {
        return std::nullopt;
    }
    std::string literal;
    std::size_t i = 0;
    while (i < rest.size()) {
        const char c = rest[i];
        if (isLabelChar(c)) {
            literal.push_back(asciiLower(c));
            ++i;
        } else if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '.' || rest[i + 1] == '-')) {
            literal.push_back(rest[i + 1]);
            i += 2;
        } else {
            break;
        }
    }
    // A quantifier that may drop the last character leaves it out of what is
    // required; "+" keeps it.
    if (i < rest.size() && (rest[i] == '?' || rest[i] == '*' || rest[i] == '{') &&
        !literal.empty()) {
        literal.pop_back();
    }
    if (literal.empty()) {
        return std::nullopt;
    }
    return literal;
}

ProviderPrefilter::ProviderPrefilter(const std::vector<std::string_view>& urlPatterns)
    : unfiltered_(urlPatterns.size(), true) {
    nodes_.emplace_back();  // the root
    for (std::size_t index = 0; index < urlPatterns.size(); ++index) {
        const auto literal = requiredHostLiteral(urlPatterns[index]);
        if (!literal) {
            continue;
        }
        std::int32_t node = 0;
        for (const char c : *literal) {
            const std::int32_t next = child(node, c);
            node = next >= 0 ? next : addChild(node, c);
        }
        nodes_[static_cast<std::size_t>(node)].providers.push_back(
            static_cast<std::uint32_t>(index));
        unfiltered_[index] = false;
    }
}

std::int32_t ProviderPrefilter::child(std::int32_t node, char byte) const {
    for (std::int32_t c = nodes_[static_cast<std::size_t>(node)].firstChild; c >= 0;
         c = nodes_[static_cast<std::size_t>(c)].nextSibling) {
        if (nodes_[static_cast<std::size_t>(c)].byte == byte) {
            return c;
        }
    }
    return -1;
}

std::int32_t ProviderPrefilter::addChild(std::int32_t node, char byte) {
    const auto created = static_cast<std::int32_t>(nodes_.size());
    Node fresh;
    fresh.byte = byte;
    fresh.nextSibling = nodes_[static_cast<std::size_t>(node)].firstChild;
    nodes_.push_back(std::move(fresh));
    nodes_[static_cast<std::size_t>(node)].firstChild = created;
    return created;
}

void ProviderPrefilter::walk(std::string_view subject, std::size_t from,
                             std::vector<bool>& mayMatch) const {
    std::int32_t node = 0;
    for (std::size_t i = from; i < subject.size(); ++i) {
        node = child(node, asciiLower(subject[i]));
        if (node < 0) {
            return;
        }
        for (const std::uint32_t provider : nodes_[static_cast<std::size_t>(node)].providers) {
            mayMatch[provider] = true;
        }
    }
}

void ProviderPrefilter::markCandidates(std::string_view subject,
                                       std::vector<bool>& mayMatch) const {
    mayMatch = unfiltered_;
    for (const char c : subject) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            mayMatch.assign(unfiltered_.size(), true);
            return;
        }
    }
    if (nodes_.empty() || !startsWithIgnoringAsciiCase(subject, "http")) {
        return;
    }
    std::size_t position = 4;
    if (position < subject.size() && asciiLower(subject[position]) == 's') {
        ++position;
    }
    if (subject.substr(position, 3) != "://") {
        return;
    }
    position += 3;
    // The literal may start right after "://" or after any run of whole labels
    // ("[a-z0-9-]+\."), as many as the lazy group can take.
    while (true) {
        walk(subject, position, mayMatch);
        std::size_t end = position;
        while (end < subject.size() && isLabelChar(subject[end])) {
            ++end;
        }
        if (end == position || end >= subject.size() || subject[end] != '.') {
            return;
        }
        position = end + 1;
    }
}

}  // namespace scourlet::internal
