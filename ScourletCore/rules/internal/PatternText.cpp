#include "ScourletCore/rules/internal/PatternText.h"

namespace scourlet::internal {

namespace {

// Walks `text` and calls `onStructure(i, c)` for every "(", ")" and "|" that
// stands outside sets and escapes, until it returns false. Returns false when
// the text cannot be followed for certain: quoting (\Q...\E), a "#" that may
// start a comment, a nested set, or a set left open.
template <class OnStructure>
bool walkStructure(std::string_view text, OnStructure&& onStructure) {
    bool inSet = false;
    // Without inline flags "#" is an ordinary character (as in "[/?#]").
    const bool commentsPossible = mayHaveFlagsOrComments(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '#' && commentsPossible) {
            return false;  // a comment in extended mode may hide anything
        }
        if (c == '\\') {
            if (i + 1 < text.size() && (text[i + 1] == 'Q' || text[i + 1] == 'E')) {
                return false;
            }
            ++i;
            continue;
        }
        if (inSet) {
            if (c == '[') {
                return false;
            }
            if (c == ']') {
                inSet = false;
            }
            continue;
        }
        if (c == '[') {
            inSet = true;
            // A "]" right after "[" or "[^" is a member, not the end.
            if (i + 1 < text.size() && text[i + 1] == '^') {
                ++i;
            }
            if (i + 1 < text.size() && text[i + 1] == ']') {
                ++i;
            }
        } else if (c == '(' || c == ')' || c == '|') {
            if (!onStructure(i, c)) {
                return true;
            }
        }
    }
    return !inSet;
}

}  // namespace

bool mayHaveFlagsOrComments(std::string_view pattern) {
    for (std::size_t at = pattern.find("(?"); at != std::string_view::npos;
         at = pattern.find("(?", at + 2)) {
        const std::string_view rest = pattern.substr(at + 2);
        if (!(rest.starts_with(':') || rest.starts_with('=') || rest.starts_with('!') ||
              rest.starts_with("<=") || rest.starts_with("<!"))) {
            return true;
        }
    }
    return false;
}

std::optional<std::vector<std::string_view>> topLevelAlternatives(std::string_view text) {
    std::vector<std::string_view> alternatives;
    int depth = 0;
    bool balanced = true;
    std::size_t from = 0;
    const bool followed = walkStructure(text, [&](std::size_t i, char c) {
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            balanced = --depth >= 0;
        } else if (depth == 0) {
            alternatives.push_back(text.substr(from, i - from));
            from = i + 1;
        }
        return balanced;
    });
    if (!followed || !balanced || depth != 0) {
        return std::nullopt;
    }
    alternatives.push_back(text.substr(from));
    return alternatives;
}

bool mayHaveTopLevelAlternation(std::string_view text) {
    const auto alternatives = topLevelAlternatives(text);
    return !alternatives || alternatives->size() != 1;
}

std::size_t endOfGroup(std::string_view text) {
    if (!text.starts_with('(')) {
        return std::string_view::npos;
    }
    int depth = 0;
    std::size_t end = std::string_view::npos;
    const bool followed = walkStructure(text, [&](std::size_t i, char c) {
        if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            end = i + 1;
            return false;
        }
        return true;
    });
    return followed ? end : std::string_view::npos;
}

}  // namespace scourlet::internal
