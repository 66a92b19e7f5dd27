// The per-link queries of the rules engine. They run for every parameter of
// every copied link, so they build no strings: rule ids were worked out at load
// time, entries are found through each category's id index, and a link that
// needs no normalizing is matched as it is.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/RulesEngine.h"

#include "ScourletCore/rules/internal/NameRuleIndex.h"
#include "ScourletCore/rules/internal/PatternText.h"
#include "ScourletCore/rules/internal/PreparedLink.h"
#include "ScourletCore/rules/internal/ProviderPrefilter.h"
#include "ScourletCore/rules/internal/RedirectTarget.h"

namespace scourlet {

namespace {

bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeChar(char c) {
    return isAsciiAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The authority of a URI reference ("//" after the scheme, or at the start of
// a relative reference), up to the path, query or fragment; nothing without one.
std::optional<std::string_view> authorityOf(std::string_view text) {
    std::size_t start = 0;
    if (!text.empty() && isAsciiAlpha(text[0])) {
        std::size_t i = 1;
        while (i < text.size() && isSchemeChar(text[i])) {
            ++i;
        }
        if (i < text.size() && text[i] == ':') {
            start = i + 1;
        }
    }
    if (text.substr(start, 2) != "//") {
        return std::nullopt;
    }
    const std::string_view rest = text.substr(start + 2);
    return rest.substr(0, rest.find_first_of("/?#"));
}

// True when normalizing cannot change `text`: it has no authority, or one
// without user information and without capital letters. Normalizing keeps
// everything else as written, so the text is then its own normal form.
bool isAlreadyNormalized(std::string_view text) {
    const auto authority = authorityOf(text);
    if (!authority) {
        return true;
    }
    for (const char c : *authority) {
        if (c == '@' || (c >= 'A' && c <= 'Z')) {
            return false;
        }
    }
    return true;
}

// The normalized form of `text`: a view of `text` itself when nothing changes,
// otherwise of `storage`.
std::string_view normalizedView(std::string_view text, std::string& storage) {
    if (isAlreadyNormalized(text)) {
        return text;
    }
    auto components = URLComponents::parse(text);
    if (!components || !components->percentEncodedHost()) {
        return text;
    }
    components->removeUserInfo();
    components->lowercaseHost();
    storage = components->string();
    return storage;
}

// Whether the entry of `ruleID` in `category` (when there is one) is switched
// on. The category's own switch is the caller's to test.
bool entryEnabled(const RuleCategory* category, std::string_view ruleID) {
    if (category == nullptr) {
        return true;
    }
    const RuleEntry* entry = category->entryWithID(ruleID);
    return entry == nullptr || entry->isEnabled();
}

bool categoryAllows(const RuleCategory* category) {
    return category == nullptr || category->isEnabled();
}

// A count one higher, stopping at the largest value rather than overflowing
// (restored counts come from stored or imported data).
std::int64_t incremented(std::int64_t count) {
    return count < std::numeric_limits<std::int64_t>::max() ? count + 1 : count;
}

}  // namespace

std::string RulesEngine::normalizedForMatching(std::string_view urlString) {
    std::string storage;
    const std::string_view normalized = normalizedView(urlString, storage);
    return normalized.data() == storage.data() ? std::move(storage) : std::string(normalized);
}

RuleCategory* RulesEngine::categoryOf(RuleCategoryType type) const {
    for (const auto& category : categories.get()) {
        if (category->type() == type) {
            return category.get();
        }
    }
    return nullptr;
}

bool RulesEngine::isCategoryEnabled(RuleCategoryType type) const {
    return categoryAllows(categoryOf(type));
}

bool RulesEngine::isRuleEnabled(std::string_view ruleID, RuleCategoryType category) const {
    const RuleCategory* found = categoryOf(category);
    return categoryAllows(found) && entryEnabled(found, ruleID);
}

std::vector<std::shared_ptr<const RulesEngine::CompiledProvider>> RulesEngine::matchingProviders(
    std::string_view urlString) const {
    std::vector<const CompiledProvider*> found;
    matchingProviders(urlString, found);
    std::vector<std::shared_ptr<const CompiledProvider>> matching;
    matching.reserve(found.size());
    std::size_t next = 0;
    for (const auto& provider : compiledProviders_) {
        if (next < found.size() && provider.get() == found[next]) {
            matching.push_back(provider);
            ++next;
        }
    }
    return matching;
}

void RulesEngine::prepareLink(std::string_view urlString, internal::PreparedLink& link) {
    link.text = urlString;
    link.normalized = normalizedView(urlString, link.normalizedStorage);
    link.subject.assign(link.normalized);
}

void RulesEngine::matchingProviders(std::string_view urlString,
                                    std::vector<const CompiledProvider*>& matching) const {
    internal::PreparedLink link;
    prepareLink(urlString, link);
    matchingProviders(link, matching);
}

void RulesEngine::matchingProviders(const internal::PreparedLink& link,
                                    std::vector<const CompiledProvider*>& matching) const {
    matching.clear();
    if (compiledProviders_.empty() || !prefilter_) {
        return;
    }
    // Switched-off categories are looked up once per link, not once per provider.
    // A type without a category is allowed; of several, the first decides.
    std::array<bool, allCases<RuleCategoryType>().size()> allowed;
    std::array<bool, allCases<RuleCategoryType>().size()> seen{};
    allowed.fill(true);
    for (const auto& category : categories.get()) {
        const auto type = static_cast<std::size_t>(category->type());
        if (!seen[type]) {
            seen[type] = true;
            allowed[type] = category->isEnabled();
        }
    }
    thread_local internal::CandidateMarks mayMatch;
    prefilter_->markCandidates(link.subject, mayMatch);
    // Only the marked providers are visited, in load order.
    for (std::size_t word = 0; word < mayMatch.size(); ++word) {
        for (std::uint64_t bits = mayMatch[word]; bits != 0; bits &= bits - 1) {
            const std::size_t i = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
            const CompiledProvider& provider = *compiledProviders_[i];
            if (allowed[static_cast<std::size_t>(provider.category)] &&
                provider.urlRegex.matches(link.normalized)) {
                matching.push_back(&provider);
            }
        }
    }
}

bool RulesEngine::isException(std::string_view urlString, const CompiledProvider& provider) const {
    if (provider.exceptionRegexes.empty()) {
        return false;
    }
    internal::PreparedLink link;
    prepareLink(urlString, link);
    return isException(link, provider);
}

bool RulesEngine::isException(const internal::PreparedLink& link,
                              const CompiledProvider& provider) const {
    const auto& exceptions = provider.exceptionRegexes;
    if (exceptions.empty()) {
        return false;
    }
    // A search cut short by a limit counts as an exception: leaving a link
    // alone is safe, applying rules the provider excepts is not.
    if (matchingPath_ == MatchingPath::indexed && provider.index &&
        provider.index->exceptionFilter.size() == exceptions.size()) {
        // Only the exceptions the filter leaves are searched: the others
        // certainly find nothing.
        thread_local internal::CandidateMarks mayMatch;
        provider.index->exceptionFilter.markCandidates(link.subject, mayMatch);
        for (std::size_t word = 0; word < mayMatch.size(); ++word) {
            for (std::uint64_t bits = mayMatch[word]; bits != 0; bits &= bits - 1) {
                const std::size_t i = word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
                if (exceptions[i].test(link.normalized) != RegexAnswer::noMatch) {
                    return true;
                }
            }
        }
        return false;
    }
    for (const Regex& exception : exceptions) {
        if (exception.test(link.normalized) != RegexAnswer::noMatch) {
            return true;
        }
    }
    return false;
}

std::optional<std::string_view> RulesEngine::shouldStripParam(
    std::string_view name, const CompiledProvider& provider) const {
    return shouldStripParam(internal::ParameterName(name), provider);
}

std::optional<std::string_view> RulesEngine::shouldStripParam(
    const internal::ParameterName& parameter, const CompiledProvider& provider) const {
    const std::string_view name = parameter.text();
    if (matchingPath_ == MatchingPath::indexed && provider.index) {
        const internal::ProviderRuleIndex& index = *provider.index;
        if (!provider.paramRegexes.empty()) {
            const RuleCategory* category = categoryOf(provider.category);
            if (categoryAllows(category)) {
                const auto& rules = provider.paramRegexes;
                if (auto found = index.params.firstMatch(
                        parameter, [&](std::size_t i) -> const Regex& { return rules[i].regex; },
                        [&](std::size_t i) { return entryEnabled(category, rules[i].ruleID); })) {
                    return rules[*found].ruleID;
                }
            }
        }
        if (!provider.referralParamRegexes.empty()) {
            const RuleCategory* referral = categoryOf(RuleCategoryType::referralMarketing);
            if (categoryAllows(referral)) {
                const auto& rules = provider.referralParamRegexes;
                if (auto found = index.referrals.firstMatch(
                        parameter, [&](std::size_t i) -> const Regex& { return rules[i].regex; },
                        [&](std::size_t i) { return entryEnabled(referral, rules[i].ruleID); })) {
                    return rules[*found].ruleID;
                }
            }
        }
        return std::nullopt;
    }
    // A rule applies when its entry is switched on and its expression matches.
    // Both tests are free of side effects, so the expression goes first: most
    // rules do not match, and then no entry needs looking up.
    if (!provider.paramRegexes.empty()) {
        const RuleCategory* category = categoryOf(provider.category);
        if (categoryAllows(category)) {
            for (const CompiledPattern& rule : provider.paramRegexes) {
                if (rule.regex.matches(name) && entryEnabled(category, rule.ruleID)) {
                    return rule.ruleID;
                }
            }
        }
    }
    if (!provider.referralParamRegexes.empty()) {
        const RuleCategory* referral = categoryOf(RuleCategoryType::referralMarketing);
        if (categoryAllows(referral)) {
            for (const CompiledPattern& rule : provider.referralParamRegexes) {
                if (rule.regex.matches(name) && entryEnabled(referral, rule.ruleID)) {
                    return rule.ruleID;
                }
            }
        }
    }
    return std::nullopt;
}

void RulesEngine::searchingProviders(const std::vector<const CompiledProvider*>& providers,
                                     std::vector<const CompiledProvider*>& searching) {
    searching.clear();
    for (const CompiledProvider* provider : providers) {
        if (!provider->index || !provider->index->namesOnly) {
            searching.push_back(provider);
        }
    }
}

std::optional<RulesEngine::ProviderMatch> RulesEngine::firstStripRule(
    const internal::ParameterName& name, const std::vector<const CompiledProvider*>& providers,
    const std::vector<const CompiledProvider*>& searching) const {
    if (matchingPath_ == MatchingPath::indexed && providerNames_ && name.indexable()) {
        // One lookup tells which names-only providers may have a rule for the
        // name; the others are asked only when they search.
        const std::vector<std::uint32_t>& naming = *providerNames_->exactRules(name);
        if (naming.empty()) {
            for (const CompiledProvider* provider : searching) {
                if (auto ruleID = shouldStripParam(name, *provider)) {
                    return ProviderMatch{provider, *ruleID};
                }
            }
            return std::nullopt;
        }
        for (const CompiledProvider* provider : providers) {
            if (provider->index && provider->index->namesOnly &&
                std::none_of(naming.begin(), naming.end(), [&](std::uint32_t i) {
                    return i < compiledProviders_.size() && compiledProviders_[i].get() == provider;
                })) {
                continue;
            }
            if (auto ruleID = shouldStripParam(name, *provider)) {
                return ProviderMatch{provider, *ruleID};
            }
        }
        return std::nullopt;
    }
    for (const CompiledProvider* provider : providers) {
        if (auto ruleID = shouldStripParam(name, *provider)) {
            return ProviderMatch{provider, *ruleID};
        }
    }
    return std::nullopt;
}

std::optional<RulesEngine::FallbackMatch> RulesEngine::shouldStripParamFallback(
    std::string_view name) const {
    return shouldStripParamFallback(internal::ParameterName(name));
}

std::optional<RulesEngine::FallbackMatch> RulesEngine::shouldStripParamFallback(
    const internal::ParameterName& parameter) const {
    const std::string_view name = parameter.text();
    if (matchingPath_ == MatchingPath::indexed && fallbackIndex_ &&
        fallbackIndex_->size() == fallbackRules_.size()) {
        // The switches of the eight categories are looked up once, not per rule.
        std::array<const RuleCategory*, allCases<RuleCategoryType>().size()> found{};
        for (RuleCategoryType type : allCases<RuleCategoryType>()) {
            found[static_cast<std::size_t>(type)] = categoryOf(type);
        }
        const auto hit = fallbackIndex_->firstMatch(
            parameter, [&](std::size_t i) -> const Regex& { return fallbackRules_[i].regex; },
            [&](std::size_t i) {
                const FallbackRule& rule = fallbackRules_[i];
                const RuleCategory* category = found[static_cast<std::size_t>(rule.category)];
                return categoryAllows(category) && entryEnabled(category, rule.ruleID);
            });
        if (!hit) {
            return std::nullopt;
        }
        return FallbackMatch{fallbackRules_[*hit].ruleID, fallbackRules_[*hit].category};
    }
    for (const FallbackRule& rule : fallbackRules_) {
        const RuleCategory* category = categoryOf(rule.category);
        if (!categoryAllows(category) || !rule.regex.matches(name) ||
            !entryEnabled(category, rule.ruleID)) {
            continue;
        }
        return FallbackMatch{rule.ruleID, rule.category};
    }
    return std::nullopt;
}

std::optional<std::string> RulesEngine::extractRedirection(std::string_view urlString,
                                                           const CompiledProvider& provider) const {
    if (provider.redirectionRegexes.empty() ||
        !isCategoryEnabled(RuleCategoryType::redirectUnwrapping)) {
        return std::nullopt;
    }
    for (const CompiledPattern& rule : provider.redirectionRegexes) {
        if (rule.regex.numberOfCaptureGroups() == 0 || !mayMatch(rule, urlString)) {
            continue;
        }
        const auto match = rule.regex.firstMatch(urlString);
        if (!match) {
            continue;
        }
        const auto candidate = match->group(1, urlString);
        if (!candidate) {
            continue;
        }
        if (auto target = internal::redirectTargetFromCapture(*candidate)) {
            return target;
        }
    }
    return std::nullopt;
}

bool RulesEngine::mayMatch(const CompiledPattern& rule, std::string_view text) const {
    return matchingPath_ == MatchingPath::ruleByRule || rule.requiredText.empty() ||
           internal::mayHoldText(text, rule.requiredText);
}

bool RulesEngine::mayMatch(const CompiledPattern& rule, const internal::PreparedLink& link) const {
    if (matchingPath_ == MatchingPath::ruleByRule || rule.requiredText.empty()) {
        return true;
    }
    // The prepared subject is the normalized text; it tells for the text as
    // given only when normalizing left it alone.
    return link.normalizedIsText() ? link.subject.mayHold(rule.requiredText)
                                   : internal::mayHoldText(link.text, rule.requiredText);
}

std::string RulesEngine::applyRawRules(std::string_view urlString,
                                       const CompiledProvider& provider) const {
    std::string text(urlString);
    for (const CompiledPattern& rule : provider.rawRuleRegexes) {
        // Most raw rules find nothing; one search then spares the copy.
        if (mayMatch(rule, text) && rule.regex.test(text) != RegexAnswer::noMatch) {
            text = rule.regex.replaceAllLiteral(text, "");
        }
    }
    return text;
}

bool RulesEngine::isCollectingMatches() {
    // Reading a settings file costs a system call; a text of many links reads
    // it once.
    constexpr auto kRereadInterval = std::chrono::seconds(1);
    CollectionSwitch& current = *collectionSwitch_;
    const auto now = std::chrono::steady_clock::now();
    if (current.stale.exchange(false) || now - current.readAt >= kRereadInterval) {
        current.enabled = StatsTracker::isCollectionEnabled(*defaults_);
        current.readAt = now;
    }
    return current.enabled;
}

void RulesEngine::recordMatch(std::string_view ruleID, RuleCategoryType category) {
    if (!isCollectingMatches()) {
        return;
    }
    RuleCategory* found = categoryOf(category);
    if (found == nullptr) {
        return;
    }
    found->setMatchCount(incremented(found->matchCount()));
    if (RuleEntry* entry = found->entryWithID(ruleID)) {
        entry->setMatchCount(incremented(entry->matchCount()));
    }
    matchCountsChanged_ = true;
}

void RulesEngine::recordMatches(const std::vector<std::string>& ruleIDs,
                                const std::vector<RuleCategoryType>& types) {
    if (ruleIDs.empty() || !isCollectingMatches()) {
        return;
    }
    // Each category is looked up once per call, not once per id.
    std::array<RuleCategory*, allCases<RuleCategoryType>().size()> categoryByType{};
    std::array<bool, allCases<RuleCategoryType>().size()> lookedUp{};
    for (std::size_t i = 0; i < ruleIDs.size() && i < types.size(); ++i) {
        const auto type = static_cast<std::size_t>(types[i]);
        if (!lookedUp[type]) {
            categoryByType[type] = categoryOf(types[i]);
            lookedUp[type] = true;
        }
        RuleCategory* found = categoryByType[type];
        if (found == nullptr) {
            continue;
        }
        found->setMatchCount(incremented(found->matchCount()));
        if (RuleEntry* entry = found->entryWithID(ruleIDs[i])) {
            entry->setMatchCount(incremented(entry->matchCount()));
        }
        matchCountsChanged_ = true;
    }
}

}  // namespace scourlet
