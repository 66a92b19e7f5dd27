#include "ScourletCore/rules/internal/PatternText.h"

#include <algorithm>

namespace scourlet::internal {

namespace {

bool isAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

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

// A required text shorter than this rules out too few links to pay.
constexpr std::size_t kMinRequiredTextLength = 4;

// Characters that stand for themselves in a pattern, written plain.
bool isRequiredTextChar(char c) {
    return isAsciiAlphanumeric(c) || c == '-' || c == '_' || c == ':' || c == '/' || c == '=' || c == '&' ||
           c == '%' || c == '~' || c == '@' || c == '!' || c == ',' || c == ';';
}

// Characters that stand for themselves after a backslash: punctuation (after
// a backslash letters and digits are classes, anchors or references).
bool isRequiredTextEscape(char c) {
    return c > 0x20 && c < 0x7F && !isAsciiAlphanumeric(c);
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

std::optional<std::string> requiredLiteralText(std::string_view pattern) {
    if (mayHaveTopLevelAlternation(pattern) || mayHaveFlagsOrComments(pattern)) {
        return std::nullopt;
    }
    // Every character outside groups and sets, unless a quantifier may drop
    // it, stands in every match; the longest run of literal ones is taken.
    std::string longest;
    std::string run;
    auto endRun = [&]() {
        if (run.size() > longest.size()) {
            longest = run;
        }
        run.clear();
    };
    int depth = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        char literal = '\0';
        std::size_t next = i + 1;
        if (c == '\\') {
            if (i + 1 < pattern.size() && isRequiredTextEscape(pattern[i + 1])) {
                literal = pattern[i + 1];
            }
            next = i + 2;
        } else if (c == '[') {
            // Skip the set ("]" right after "[" or "[^" is a member).
            std::size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == '^') {
                ++j;
            }
            if (j < pattern.size() && pattern[j] == ']') {
                ++j;
            }
            while (j < pattern.size() && pattern[j] != ']') {
                j += pattern[j] == '\\' ? 2 : 1;
            }
            next = j + 1;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (depth == 0 && isRequiredTextChar(c)) {
            literal = c;
        }
        if (literal == '\0' || depth != 0) {
            endRun();
        } else if (next < pattern.size() &&
                   std::string_view("?*{").find(pattern[next]) != std::string_view::npos) {
            endRun();  // this character may be left out
        } else {
            run.push_back(asciiLower(literal));
        }
        i = next - 1;
    }
    endRun();
    if (longest.size() < kMinRequiredTextLength) {
        return std::nullopt;
    }
    return longest;
}

bool mayHoldText(std::string_view subject, std::string_view lowerText) {
    for (const char c : subject) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return std::search(subject.begin(), subject.end(), lowerText.begin(), lowerText.end(),
                       [](char a, char b) { return asciiLower(a) == b; }) != subject.end();
}

}  // namespace scourlet::internal
