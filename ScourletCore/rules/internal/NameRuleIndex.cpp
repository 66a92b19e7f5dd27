#include "ScourletCore/rules/internal/NameRuleIndex.h"

#include <algorithm>

#include "ScourletCore/rules/internal/PatternText.h"

namespace scourlet::internal {

namespace {

// More spelled-out names than this and a rule is searched instead.
constexpr std::size_t kMaxNamesPerRule = 256;
// Leading texts stop before an item with more choices than this.
constexpr std::size_t kMaxLeadingChoices = 8;

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Characters that stand for themselves outside a set: letters, digits and
// punctuation without meaning in a pattern. White space and "#" are left out,
// as an extended-mode flag elsewhere could make them mean something.
bool isPlainLiteral(char c) {
    static constexpr std::string_view kPunctuation = "_-%~!@&=,;:'\"<>/`";
    return isAsciiAlphanumeric(c) || kPunctuation.find(c) != std::string_view::npos;
}

// An escaped character that stands for itself: ASCII punctuation (letters and
// digits after a backslash are classes, anchors or references).
bool isEscapedLiteral(char c) {
    return c > 0x20 && c < 0x7F && !isAsciiAlphanumeric(c);
}

// A recursive-descent reader of the small pattern language the index spells
// out: literals, escaped punctuation, sets of literals and ranges, groups
// "(?:a|b)" and the "?" quantifier. Anything else ends the reading.
class Speller {
public:
    explicit Speller(std::string_view pattern) : pattern_(pattern) {}

    // The names of an alternation up to `)` or the end; nothing when the
    // pattern leaves the language or spells out too many names.
    std::optional<std::vector<std::string>> alternation() {
        std::vector<std::string> all;
        while (true) {
            auto names = sequence();
            if (!names) {
                return std::nullopt;
            }
            all.insert(all.end(), names->begin(), names->end());
            if (all.size() > kMaxNamesPerRule) {
                return std::nullopt;
            }
            if (at('|')) {
                ++pos_;
                continue;
            }
            return all;
        }
    }

    // The texts a name matched by the pattern must start with: the items
    // read one after the other up to the first the language does not cover
    // (an item repeated with "*" or "{...}" is left out, one repeated with
    // "+" counts once). Stops early rather than spell out many texts.
    std::vector<std::string> leadingTexts() {
        std::vector<std::string> texts{std::string()};
        while (!atEnd()) {
            auto item = atom();
            // A wide set ("[a-z0-9_]") would multiply the texts for little gain.
            if (!item || at('*') || at('{') || item->size() > kMaxLeadingChoices) {
                break;
            }
            const bool last = at('+');
            if (at('?')) {
                ++pos_;
                item->push_back(std::string());
            }
            std::vector<std::string> longer = eachFollowedByEach(texts, *item);
            if (longer.size() > kMaxNamesPerRule) {
                break;
            }
            texts = std::move(longer);
            if (last) {
                break;
            }
        }
        return texts;
    }

    // The names of the whole text read as one sequence (alternatives only
    // inside groups).
    std::optional<std::vector<std::string>> wholeSequence() {
        auto names = sequence();
        if (!names || !atEnd()) {
            return std::nullopt;
        }
        return names;
    }

private:
    bool atEnd() const { return pos_ >= pattern_.size(); }

    bool at(char c) const { return pos_ < pattern_.size() && pattern_[pos_] == c; }

    // Every text of `heads` followed by every text of `tails`.
    static std::vector<std::string> eachFollowedByEach(const std::vector<std::string>& heads,
                                                       const std::vector<std::string>& tails) {
        std::vector<std::string> joined;
        joined.reserve(heads.size() * tails.size());
        for (const auto& head : heads) {
            for (const auto& tail : tails) {
                joined.push_back(head + tail);
            }
        }
        return joined;
    }

    // A run of items up to "|", ")" or the end.
    std::optional<std::vector<std::string>> sequence() {
        std::vector<std::string> names{std::string()};
        while (!atEnd() && !at('|') && !at(')')) {
            auto item = atom();
            if (!item) {
                return std::nullopt;
            }
            if (at('?')) {
                ++pos_;
                item->push_back(std::string());
            }
            std::vector<std::string> longer = eachFollowedByEach(names, *item);
            if (longer.size() > kMaxNamesPerRule) {
                return std::nullopt;
            }
            names = std::move(longer);
        }
        return names;
    }

    std::optional<std::vector<std::string>> atom() {
        const char c = pattern_[pos_];
        if (c == '\\') {
            if (pos_ + 1 >= pattern_.size() || !isEscapedLiteral(pattern_[pos_ + 1])) {
                return std::nullopt;
            }
            pos_ += 2;
            return std::vector<std::string>{std::string(1, asciiLower(pattern_[pos_ - 1]))};
        }
        if (c == '[') {
            return set();
        }
        if (c == '(') {
            if (pattern_.substr(pos_, 3) != "(?:") {
                return std::nullopt;
            }
            pos_ += 3;
            auto inner = alternation();
            if (!inner || !at(')')) {
                return std::nullopt;
            }
            ++pos_;
            return inner;
        }
        if (isPlainLiteral(c)) {
            ++pos_;
            return std::vector<std::string>{std::string(1, asciiLower(c))};
        }
        return std::nullopt;
    }

    // "[...]" of literal characters and ranges, not negated, no nested sets.
    std::optional<std::vector<std::string>> set() {
        ++pos_;  // "["
        if (at('^') || at(']')) {
            return std::nullopt;
        }
        std::string members;
        auto member = [this]() -> std::optional<char> {
            if (atEnd()) {
                return std::nullopt;
            }
            char c = pattern_[pos_];
            if (c == '\\') {
                if (pos_ + 1 >= pattern_.size() || !isEscapedLiteral(pattern_[pos_ + 1])) {
                    return std::nullopt;
                }
                ++pos_;
                c = pattern_[pos_];
            } else if (c == '[' || c == '&' || !(c > 0x20 && c < 0x7F) ||
                       std::string_view("#$^{}:").find(c) != std::string_view::npos) {
                // "[" may open a nested set or a class name, "&&" intersects;
                // the others have meanings in some set syntaxes.
                return std::nullopt;
            }
            ++pos_;
            return c;
        };
        while (!at(']')) {
            const auto first = member();
            if (!first) {
                return std::nullopt;
            }
            if (at('-') && pos_ + 1 < pattern_.size() && pattern_[pos_ + 1] != ']') {
                ++pos_;
                const auto last = member();
                if (!last || *last < *first) {
                    return std::nullopt;
                }
                for (char c = *first; c <= *last; ++c) {
                    members.push_back(asciiLower(c));
                    if (c == *last) {
                        break;
                    }
                }
            } else {
                members.push_back(asciiLower(*first));
            }
        }
        ++pos_;  // "]"
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        // A member outside printable ASCII or one that only matches
        // something other than itself cannot be looked up.
        std::vector<std::string> names;
        for (const char c : members) {
            if (c <= 0x20 || c >= 0x7F) {
                return std::nullopt;
            }
            names.emplace_back(1, c);
        }
        return names;
    }

    std::string_view pattern_;
    std::size_t pos_ = 0;
};

}  // namespace

ParameterName::ParameterName(std::string_view name) : text_(name) {
    lowered_.resize(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c < 0x20 || c > 0x7E) {
            indexable_ = false;
        }
        lowered_[i] = asciiLower(c);
    }
    loweredHash_ = std::hash<std::string_view>{}(lowered_);
}

void NameRuleIndex::addExact(const std::string& name, std::uint32_t rule) {
    if ((exactNames_ + 1) * 2 > slots_.size()) {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(std::max<std::size_t>(16, old.size() * 2), Slot{});
        exactNames_ = 0;
        for (Slot& slot : old) {
            for (const std::uint32_t each : slot.rules) {
                addExact(slot.name, each);
            }
        }
    }
    const std::size_t hash = std::hash<std::string_view>{}(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.rules.empty()) {
            slot = Slot{hash, name, {rule}};
            ++exactNames_;
            return;
        }
        if (slot.hash == hash && slot.name == name) {
            slot.rules.push_back(rule);
            return;
        }
    }
}

std::optional<LiteralRuleNames> literalRuleNames(std::string_view pattern) {
    if (!pattern.starts_with('^') || !pattern.ends_with('$') || pattern.size() < 2) {
        return std::nullopt;
    }
    std::string_view body = pattern.substr(1, pattern.size() - 2);
    // "\$" at the end is an escaped dollar, not the anchor.
    std::size_t backslashes = 0;
    while (backslashes < body.size() && body[body.size() - 1 - backslashes] == '\\') {
        ++backslashes;
    }
    if (backslashes % 2 != 0) {
        return std::nullopt;
    }
    LiteralRuleNames result;
    if (body.ends_with(".*") && !body.ends_with("\\.*")) {
        body.remove_suffix(2);
        result.prefixes = true;
    }
    // One sequence and nothing after it: a top-level "|" would leave "^" on the
    // first alternative and "$" on the last alone, which is no whole-name match.
    Speller speller(body);
    auto names = speller.wholeSequence();
    if (!names) {
        return std::nullopt;
    }
    std::sort(names->begin(), names->end());
    names->erase(std::unique(names->begin(), names->end()), names->end());
    result.names = std::move(*names);
    return result;
}

std::vector<std::string> leadingNameTexts(std::string_view pattern) {
    // Without a top-level "|" the "^" anchors the whole pattern.
    if (!pattern.starts_with('^') || mayHaveTopLevelAlternation(pattern.substr(1))) {
        return {};
    }
    std::vector<std::string> texts = Speller(pattern.substr(1)).leadingTexts();
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    if (texts.empty() || texts.front().empty()) {
        return {};  // every name may match
    }
    return texts;
}

bool joinsCombinedExpression(std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '#') {
            return false;  // a comment in extended mode may run past the group
        }
        if (c == '\\') {
            if (i + 1 >= pattern.size()) {
                return false;
            }
            const char next = pattern[i + 1];
            // Quoting, and references whose numbers or names would shift.
            if (next == 'Q' || next == 'E' || next == 'k' || next == 'g' ||
                (next >= '0' && next <= '9')) {
                return false;
            }
            ++i;
            continue;
        }
        if (c == '(' && i + 1 < pattern.size() && (pattern[i + 1] == '?' || pattern[i + 1] == '*')) {
            const std::string_view rest = pattern.substr(i + 2);
            // Groups and look-arounds only: no flags, names, comments or verbs.
            if (!(rest.starts_with(':') || rest.starts_with('=') || rest.starts_with('!') ||
                  rest.starts_with("<=") || rest.starts_with("<!")) ||
                pattern[i + 1] == '*') {
                return false;
            }
        }
    }
    return !pattern.empty();
}

std::optional<Regex> combinedExpression(const std::vector<std::string_view>& patterns) {
    if (patterns.size() < 2) {
        return std::nullopt;
    }
    std::string combined = "(?:";
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (!joinsCombinedExpression(patterns[i])) {
            return std::nullopt;
        }
        combined.append(i == 0 ? "(?:" : "|(?:").append(patterns[i]).append(")");
    }
    combined.append(")");
    return Regex::compile(combined, RegexOptions::caseInsensitive);
}

NameRuleIndex NameRuleIndex::ofExactNames(
    const std::vector<std::pair<std::string_view, std::uint32_t>>& names) {
    NameRuleIndex index;
    // Sized once for every name, so that adding them never regrows the table.
    std::size_t slots = 16;
    while (slots < names.size() * 2 + 2) {
        slots *= 2;
    }
    index.slots_.assign(slots, Slot{});
    for (const auto& [name, number] : names) {
        index.addExact(std::string(name), number);
    }
    return index;
}

NameRuleIndex NameRuleIndex::build(const std::vector<std::string_view>& patterns) {
    NameRuleIndex index;
    index.kinds_.reserve(patterns.size());
    std::vector<std::string_view> searchedPatterns;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const auto rule = static_cast<std::uint32_t>(i);
        const auto names = literalRuleNames(patterns[i]);
        if (!names) {
            index.kinds_.push_back(Kind::searched);
            index.searched_.push_back(rule);
            index.searchedLeads_.push_back(leadingNameTexts(patterns[i]));
            searchedPatterns.push_back(patterns[i]);
        } else if (names->prefixes) {
            index.kinds_.push_back(Kind::prefix);
            for (const auto& prefix : names->names) {
                index.prefixes_.emplace_back(prefix, rule);
            }
        } else {
            index.kinds_.push_back(Kind::exact);
            for (const auto& name : names->names) {
                index.addExact(name, rule);
            }
        }
    }
    index.combined_ = combinedExpression(searchedPatterns);
    for (std::size_t i = 0; i < index.searched_.size() && i < 64; ++i) {
        const std::uint64_t bit = std::uint64_t{1} << i;
        const std::vector<std::string>& leads = index.searchedLeads_[i];
        // leadingNameTexts never gives an empty text: a rule any name may
        // match has none.
        if (leads.empty()) {
            index.searchedWithoutLeads_ |= bit;
            for (std::uint64_t& mask : index.searchedByFirstByte_) {
                mask |= bit;
            }
            continue;
        }
        for (const std::string& lead : leads) {
            index.searchedByFirstByte_[static_cast<unsigned char>(lead[0])] |= bit;
        }
    }
    return index;
}

}  // namespace scourlet::internal
