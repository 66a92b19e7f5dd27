#include "ScourletCore/rules/internal/ProviderPrefilter.h"

#include <array>

#include "ScourletCore/rules/internal/PatternText.h"

namespace scourlet::internal {

namespace {

// The prefixes after which a pattern names its host literal, tried in this
// order (a lazy prefix also starts with the greedy one, and both with the
// bare scheme). With the lazy or greedy label group the literal starts at a
// host label boundary; after the bare scheme it starts the host, which is a
// label boundary too, so the same test never rules out a match.
constexpr std::array<std::string_view, 6> kSitePrefixes = {
    R"(^https?:\/\/(?:[a-z0-9-]+\.)*?)",
    R"(^https?://(?:[a-z0-9-]+\.)*?)",
    R"(^https?:\/\/(?:[a-z0-9-]+\.)*)",
    R"(^https?://(?:[a-z0-9-]+\.)*)",
    R"(^https?:\/\/)",
    R"(^https?://)",
};

bool isLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

namespace {

// The literal host text at the start of `text` (lower-cased), less a last
// character a quantifier may drop ("+" keeps it); `end` is where it stopped.
std::string literalAtStart(std::string_view text, std::size_t& end) {
    std::string literal;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isLabelChar(c)) {
            literal.push_back(asciiLower(c));
            ++i;
        } else if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '.' || text[i + 1] == '-')) {
            literal.push_back(text[i + 1]);
            i += 2;
        } else {
            break;
        }
    }
    if (i < text.size() && (text[i] == '?' || text[i] == '*' || text[i] == '{') &&
        !literal.empty()) {
        literal.pop_back();
    }
    end = i;
    return literal;
}

// The offset just past the ")" closing the group that opens at text[0];
// npos when it does not close. Only groups, label characters, "\." and "|"
// may stand inside; anything else gives npos too.
std::size_t endOfLabelGroup(std::string_view text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (text.substr(i, 3) == "(?:") {
            ++depth;
            i += 2;
        } else if (c == ')') {
            if (--depth == 0) {
                return i + 1;
            }
        } else if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '.' || text[i + 1] == '-')) {
            ++i;
        } else if (!isLabelChar(c) && c != '|') {
            return std::string_view::npos;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::optional<std::vector<std::string>> ProviderPrefilter::requiredHostLiterals(
    std::string_view urlPattern) {
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
    // Optional whole labels such as "(?:www\.)?" or "(?:(?:www|m)\.)?": what
    // follows them starts at a label boundary whether they match or not.
    while (rest.starts_with("(?:")) {
        const std::size_t end = endOfLabelGroup(rest);
        if (end == std::string_view::npos || end >= rest.size() || rest[end] != '?' ||
            !rest.substr(0, end - 1).ends_with("\\.") ||
            mayHaveTopLevelAlternation(rest.substr(3, end - 4))) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    std::vector<std::string> literals;
    if (rest.starts_with('(')) {
        // One literal per alternative of a group such as "(?:youtube\.com|youtu\.be)"
        // or "(yandex(?:\.[a-z]{2,})+|ya\.ru)": each starts with its own.
        const std::size_t inner = rest.starts_with("(?:") ? 3 : 1;
        const std::size_t end = endOfGroup(rest);
        if ((inner == 1 && rest.starts_with("(?")) || end == std::string_view::npos ||
            (end < rest.size() && std::string_view("?*{").find(rest[end]) != std::string_view::npos)) {
            return std::nullopt;  // a look-around, or a group that may be left out
        }
        const auto alternatives = topLevelAlternatives(rest.substr(inner, end - 1 - inner));
        if (!alternatives) {
            return std::nullopt;
        }
        for (const std::string_view alternative : *alternatives) {
            std::size_t stopped = 0;
            std::string literal = literalAtStart(alternative, stopped);
            if (literal.empty()) {
                return std::nullopt;
            }
            literals.push_back(std::move(literal));
        }
    } else {
        std::size_t stopped = 0;
        std::string literal = literalAtStart(rest, stopped);
        if (literal.empty()) {
            return std::nullopt;
        }
        literals.push_back(std::move(literal));
    }
    return literals;
}

std::optional<std::string> ProviderPrefilter::requiredHostLiteral(std::string_view urlPattern) {
    auto literals = requiredHostLiterals(urlPattern);
    if (!literals || literals->size() != 1) {
        return std::nullopt;
    }
    return std::move(literals->front());
}

ProviderPrefilter::ProviderPrefilter(const std::vector<std::string_view>& urlPatterns)
    : unfiltered_((urlPatterns.size() + 63) / 64, 0),
      all_((urlPatterns.size() + 63) / 64, 0),
      size_(urlPatterns.size()) {
    auto set = [](CandidateMarks& marks, std::size_t index) {
        marks[index / 64] |= std::uint64_t{1} << (index % 64);
    };
    nodes_.emplace_back();  // the root
    for (std::size_t index = 0; index < urlPatterns.size(); ++index) {
        set(all_, index);
        const auto literals = requiredHostLiterals(urlPatterns[index]);
        if (!literals) {
            if (auto text = requiredLiteralText(urlPatterns[index])) {
                textFilters_.emplace_back(std::move(*text), static_cast<std::uint32_t>(index));
            } else {
                set(unfiltered_, index);
            }
            continue;
        }
        for (const std::string& literal : *literals) {
            std::int32_t node = 0;
            for (const char c : literal) {
                const std::int32_t next = child(node, c);
                node = next >= 0 ? next : addChild(node, c);
            }
            nodes_[static_cast<std::size_t>(node)].providers.push_back(
                static_cast<std::uint32_t>(index));
        }
    }
    if (nodes_[0].firstChild < 0) {
        return;  // no walk ever starts
    }
    rootChildren_.assign(256, -1);
    for (std::int32_t c = nodes_[0].firstChild; c >= 0;
         c = nodes_[static_cast<std::size_t>(c)].nextSibling) {
        rootChildren_[static_cast<unsigned char>(nodes_[static_cast<std::size_t>(c)].byte)] = c;
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

void ProviderPrefilter::walk(std::string_view lowered, std::size_t from,
                             CandidateMarks& mayMatch) const {
    if (from >= lowered.size()) {
        return;
    }
    std::int32_t node = rootChildren_[static_cast<unsigned char>(lowered[from])];
    std::size_t i = from;
    while (node >= 0) {
        for (const std::uint32_t provider : nodes_[static_cast<std::size_t>(node)].providers) {
            mayMatch[provider / 64] |= std::uint64_t{1} << (provider % 64);
        }
        if (++i >= lowered.size()) {
            return;
        }
        node = child(node, lowered[i]);
    }
}

void ProviderPrefilter::markCandidates(const FilterSubject& subject,
                                       CandidateMarks& mayMatch) const {
    if (!subject.isAscii()) {
        mayMatch = all_;
        return;
    }
    mayMatch = unfiltered_;
    const std::string_view lowered = subject.lowered();
    for (const auto& [text, provider] : textFilters_) {
        if (lowered.find(text) != std::string_view::npos) {
            mayMatch[provider / 64] |= std::uint64_t{1} << (provider % 64);
        }
    }
    if (nodes_.empty() || nodes_.front().firstChild < 0) {
        return;
    }
    // The literal may start right after "://" or after any run of whole labels
    // ("[a-z0-9-]+\."), as many as the lazy group can take.
    for (const std::uint32_t start : subject.labelStarts()) {
        walk(lowered, start, mayMatch);
    }
}

}  // namespace scourlet::internal
