// Private to the rules engine: finding the first rule of a list that matches
// a query parameter name without running every rule's expression.
//
// A rule list answers "the first rule, in list order, whose expression matches
// the name and that the caller accepts (its switch is on)". Run rule by rule
// that is one regular-expression search per rule and parameter, and the
// catch-all provider of the public rule set alone has some fifty rules. Most
// rules name a few whole names literally ("^fbclid$", "^(?:%3F)?gclid$",
// "^wt_?z?mc$", "^utm_.*$"), so the index spells every such rule out into
// the lower-cased names it matches (or the prefix, for a trailing ".*") and
// finds them with one table lookup; the remaining rules are searched at once
// through one combined expression, and one by one only when that finds
// something. Only the answer's cost changes, never the answer:
//
//   - A name is looked up only when it is printable ASCII. Then a case-
//     insensitive literal matches exactly when the lower-cased texts are equal
//     ("$" could also match before a final line break, and the Unicode case
//     folding of "k" and "s" reaches beyond ASCII; neither can happen). Any
//     other name runs every expression in order.
//   - The combined expression joins the remaining rules as alternatives, so
//     it finds a match exactly when one of them does; only rules whose text
//     cannot change meaning inside a group join it (no back references, no
//     quoting, no comments, no flags). When it finds a match, or a limit cuts
//     it short, each remaining rule is searched on its own, in order. Before
//     that, a rule whose pattern begins with literal text ("^ajs_...") is
//     left out for a name that does not begin so: it cannot match.
//
//   internal::ParameterName key("UTM_Source");
//   auto index = internal::NameRuleIndex::build(patterns);
//   auto first = index.firstMatch(key, regexAt, [&](std::size_t i) { return enabled(i); });
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/rules/internal/ProviderPrefilter.h"

namespace scourlet::internal {

// A parameter name prepared once for every rule list it is tested against.
class ParameterName {
public:
    explicit ParameterName(std::string_view name);

    std::string_view text() const { return text_; }
    // True when the name is printable ASCII (bytes 0x20-0x7E) only.
    bool indexable() const { return indexable_; }
    // The name with ASCII letters lower-cased; meaningful when indexable().
    std::string_view lowered() const { return lowered_; }
    // The hash of lowered(), worked out once for every table it is looked up in.
    std::size_t loweredHash() const { return loweredHash_; }

private:
    std::string_view text_;
    std::string lowered_;
    std::size_t loweredHash_ = 0;
    bool indexable_ = true;
};

// The names a rule's whole pattern (anchors included) matches, when it names
// them literally: every name (lower-cased) it matches exactly, or the prefixes
// of the names it matches when it ends in ".*$". Nothing for any other pattern
// and for one that spells out into more than a few hundred names.
struct LiteralRuleNames {
    std::vector<std::string> names;
    bool prefixes = false;
};
std::optional<LiteralRuleNames> literalRuleNames(std::string_view pattern);

// The lower-cased texts with one of which every printable-ASCII name that
// the whole pattern `pattern` (anchors included) matches begins ("^ajs_(?:a|b)_x+$"
// gives "ajs_a_" and "ajs_b_"); empty when the pattern does not tell (no "^",
// an alternation outside groups, or nothing literal at the start).
std::vector<std::string> leadingNameTexts(std::string_view pattern);

// True when `pattern` means the same as one alternative "(?:" + pattern + ")"
// of a larger expression.
bool joinsCombinedExpression(std::string_view pattern);

// One expression made of `patterns` as alternatives, compiled case-
// insensitively; nothing when fewer than two patterns are given, one of them
// cannot join (joinsCombinedExpression), or the result does not compile.
std::optional<Regex> combinedExpression(const std::vector<std::string_view>& patterns);

class NameRuleIndex {
public:
    NameRuleIndex() = default;

    // Over the whole patterns of a rule list, in rule order.
    static NameRuleIndex build(const std::vector<std::string_view>& patterns);

    std::size_t size() const { return kinds_.size(); }

    // An exact-name table alone: `names` gives (lower-cased name, number) pairs;
    // exactRules() lists the numbers given for a name, in the order given.
    static NameRuleIndex ofExactNames(
        const std::vector<std::pair<std::string_view, std::uint32_t>>& names);

    // True when every rule is found through the exact-name table: then a
    // printable-ASCII name that the table lacks matches no rule.
    bool exactOnly() const { return prefixes_.empty() && searched_.empty(); }

    // The (lower-cased) names of the exact-name table, in no particular order.
    std::vector<std::string_view> exactNames() const {
        std::vector<std::string_view> names;
        for (const Slot& slot : slots_) {
            if (!slot.rules.empty()) {
                names.push_back(slot.name);
            }
        }
        return names;
    }

    // The exact rules naming `name`, in rule order (an empty list when none).
    const std::vector<std::uint32_t>* exactRules(const ParameterName& name) const {
        static const std::vector<std::uint32_t> kNone;
        if (slots_.empty()) {
            return &kNone;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = name.loweredHash() & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.rules.empty()) {
                return &kNone;
            }
            if (slot.hash == name.loweredHash() && slot.name == name.lowered()) {
                return &slot.rules;
            }
        }
    }

    // The first rule, in list order, whose expression (`regexAt(i)`) matches
    // `name` and that `accept(i)` takes; nothing when none does. The same
    // answer as searching every rule in order (a search cut short by a limit
    // counting as no match), with each rule's switch asked only for rules
    // that match.
    template <class RegexAt, class Accept>
    std::optional<std::size_t> firstMatch(const ParameterName& name, RegexAt&& regexAt,
                                          Accept&& accept) const {
        if (!name.indexable()) {
            for (std::size_t i = 0; i < kinds_.size(); ++i) {
                if (regexAt(i).matches(name.text()) && accept(i)) {
                    return i;
                }
            }
            return std::nullopt;
        }
        const std::vector<std::uint32_t>* exact = exactRules(name);
        // The searched rules need searching only when the name begins as one
        // of them must, and then, for several, only when the combined
        // expression finds something (or gives no clear answer).
        // Which searched rules may match is worked out once (for up to 64 of them).
        const bool masked = searched_.size() <= 64;
        std::uint64_t mayMatchMask = 0;
        std::size_t candidates = 0;
        if (masked) {
            // Only the rules a name's first byte leaves need their texts compared.
            const std::string_view lowered = name.lowered();
            std::uint64_t left =
                lowered.empty() ? searchedWithoutLeads_
                                : searchedByFirstByte_[static_cast<unsigned char>(lowered[0])];
            for (; left != 0; left &= left - 1) {
                const auto i = static_cast<std::size_t>(std::countr_zero(left));
                if (mayMatchSearched(i, name)) {
                    ++candidates;
                    mayMatchMask |= std::uint64_t{1} << i;
                }
            }
        } else {
            for (std::size_t i = 0; i < searched_.size(); ++i) {
                candidates += mayMatchSearched(i, name) ? 1 : 0;
            }
        }
        auto searchedMayMatch = [&](std::size_t i) {
            return masked ? ((mayMatchMask >> i) & 1U) != 0 : mayMatchSearched(i, name);
        };
        const bool searchOthers =
            candidates == 1 || (candidates > 1 && (!combined_ || combined_->test(name.text()) !=
                                                                     RegexAnswer::noMatch));

        std::size_t e = 0;  // next in *exact
        std::size_t p = 0;  // next in prefixes_
        std::size_t s = 0;  // next in searched_
        constexpr std::uint32_t kEnd = UINT32_MAX;
        while (true) {
            while (p < prefixes_.size() && !name.lowered().starts_with(prefixes_[p].first)) {
                ++p;
            }
            while (searchOthers && s < searched_.size() && !searchedMayMatch(s)) {
                ++s;
            }
            const std::uint32_t nextExact = e < exact->size() ? (*exact)[e] : kEnd;
            const std::uint32_t nextPrefix = p < prefixes_.size() ? prefixes_[p].second : kEnd;
            const std::uint32_t nextSearched =
                searchOthers && s < searched_.size() ? searched_[s] : kEnd;
            const std::uint32_t next = std::min(nextExact, std::min(nextPrefix, nextSearched));
            if (next == kEnd) {
                return std::nullopt;
            }
            bool matched = true;
            if (next == nextExact) {
                ++e;
            } else if (next == nextPrefix) {
                ++p;
            } else {
                ++s;
                matched = regexAt(next).matches(name.text());
            }
            if (matched && accept(next)) {
                return next;
            }
        }
    }

private:
    enum class Kind : std::uint8_t { exact, prefix, searched };

    // One name of the exact-name table and the rules naming it, in rule order.
    struct Slot {
        std::size_t hash = 0;
        std::string name;
        std::vector<std::uint32_t> rules;  // empty: a free slot
    };

    void addExact(const std::string& name, std::uint32_t rule);

    // Whether the searched rule searched_[i] may match the (indexable) name:
    // it begins with one of the rule's leading texts, or the rule has none.
    bool mayMatchSearched(std::size_t i, const ParameterName& name) const {
        const std::vector<std::string>& leads = searchedLeads_[i];
        return leads.empty() ||
               std::any_of(leads.begin(), leads.end(), [&](const std::string& lead) {
                   return name.lowered().starts_with(lead);
               });
    }

    std::vector<Kind> kinds_;
    // Open addressing over a power-of-two table, at most half full.
    std::vector<Slot> slots_;
    std::size_t exactNames_ = 0;
    // (lower-cased prefix, rule), in rule order; a rule may appear more than once.
    std::vector<std::pair<std::string, std::uint32_t>> prefixes_;
    // The rules that must be searched, in rule order.
    std::vector<std::uint32_t> searched_;
    // Per searched rule, the texts a name it matches begins with
    // (leadingNameTexts; empty: any name).
    std::vector<std::vector<std::string>> searchedLeads_;
    // For up to 64 searched rules: per first byte of a name, the searched
    // rules (bit i: searched_[i]) that have no leading text or one that
    // begins with that byte; and those that may match an empty name.
    std::array<std::uint64_t, 256> searchedByFirstByte_{};
    std::uint64_t searchedWithoutLeads_ = 0;
    std::optional<Regex> combined_;
};

// The index of one provider: its parameter rules, its referral rules, and a
// filter over its exception patterns (in the order of its compiled
// exceptions) that rules out, per link, those that cannot match.
struct ProviderRuleIndex {
    NameRuleIndex params;
    NameRuleIndex referrals;
    ProviderPrefilter exceptionFilter;
    // True when both rule lists are exactOnly(): then only a name one of
    // their tables holds (or one that is not printable ASCII) can match.
    bool namesOnly = false;
};

}  // namespace scourlet::internal
