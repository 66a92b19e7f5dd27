// RulesEngine: the one object that holds the cleaning rules of a process.
//
// It loads ClearURLs-format provider files (the shipped or installed providers
// file and the supplementary file), compiles every pattern once per load,
// sorts the providers into the eight rule categories, adds the built-in
// fallback parameter rules and the user's custom rules, restores the user's
// switches and match counts, and answers the URL cleaner's questions about one
// link and its query parameters. It keeps the user's switches, counts and
// custom rules in the settings store it is given, under "rulesEngine_enabledState",
// "rulesEngine_matchCounts" and "rulesEngine_customRules".
//
//   auto engine = std::make_shared<RulesEngine>(defaults);  // empty until a load runs
//   engine->loadBundledRules();
//   for (const auto& provider : engine->matchingProviders(url)) {
//       auto id = engine->shouldStripParam(name, *provider);  // a rule id, or nothing
//   }
//
// Nothing here throws or fails loudly: undecodable rule data keeps the rules
// in force (with the diagnostic lines named below), patterns that do not
// compile are left out, and undecodable stored state counts as absent.
//
// Threading: no locks. Use one engine from one thread at a time (the main
// thread in the application); `validateRuleBundle` may run anywhere.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/Provider.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/RuleCategory.h"
#include "ScourletCore/rules/RuleCategoryType.h"
#include "ScourletCore/rules/RuleEntry.h"
#include "ScourletCore/ruleupdates/RuleUpdateError.h"

namespace scourlet {

namespace internal {
class ProviderPrefilter;
class NameRuleIndex;
class ParameterName;
struct PreparedLink;
struct ProviderRuleIndex;
}

class RulesEngine final : public ObservableObject {
public:
    // One compiled pattern of a provider: the expression, the pattern as written
    // in the file, and the rule id under which it is listed, switched and counted
    // (worked out once at load time, so that no query builds a string).
    struct CompiledPattern {
        Regex regex;
        std::string pattern;
        std::string ruleID;
        // For raw and redirection rules: text every match holds, lower-cased
        // (internal::requiredLiteralText), so that a link without it needs
        // no search; empty when there is none.
        std::string requiredText;
    };

    // One provider of a rule file, compiled. Every expression is case-insensitive.
    // Within each list the order is the file's, less the patterns that did not
    // compile.
    struct CompiledProvider {
        std::string name;   // the provider's key in the file
        Provider provider;  // the decoded record, kept whole
        Regex urlRegex;     // "urlPattern" as written
        std::vector<Regex> exceptionRegexes;
        // "^" + rule + "$" (no group is added, so "a|b" becomes "^a|b$"); rule id:
        // the provider's category name, ":" and the rule.
        std::vector<CompiledPattern> paramRegexes;
        // As written; rule id: the provider's category name, ":" and the rule.
        std::vector<CompiledPattern> rawRuleRegexes;
        // As written; rule id: "Redirect Unwrapping:" and the rule.
        std::vector<CompiledPattern> redirectionRegexes;
        // "^" + rule + "$"; rule id: "Referral Marketing:" and the rule.
        std::vector<CompiledPattern> referralParamRegexes;
        RuleCategoryType category;  // categorize(name, provider)
        // Finds the first matching parameter or referral rule and tests the
        // exceptions without running every expression; built with the lists.
        std::shared_ptr<const internal::ProviderRuleIndex> index;
    };

    // A parameter-name rule that applies to every link: a built-in fallback rule,
    // or the one record of a custom rule.
    struct FallbackRule {
        enum class Origin { builtIn, custom };
        Regex regex;
        std::string ruleID;
        RuleCategoryType category;
        // Removing custom rules removes only records of custom origin, so a custom
        // rule that shares its id with a built-in one never takes the built-in along.
        Origin origin;
    };

    // A fallback rule's answer: its id (a view into the engine, valid until the
    // next load or custom-rule change) and its category.
    struct FallbackMatch {
        std::string_view ruleID;
        RuleCategoryType category;
    };

    // Settings keys of the persisted state.
    static constexpr std::string_view enabledStateKey = "rulesEngine_enabledState";
    static constexpr std::string_view customRulesKey = "rulesEngine_customRules";
    static constexpr std::string_view matchCountsKey = "rulesEngine_matchCounts";

    // The built-in fallback parameter names, in rule order.
    static constexpr std::array<std::string_view, 24> fallbackParams{
        "utm_source",
        "utm_medium",
        "utm_campaign",
        "utm_term",
        "utm_content",
        "utm_id",
        "utm_source_platform",
        "utm_creative_format",
        "utm_marketing_tactic",
        "fbclid",
        "gclid",
        "gclsrc",
        "msclkid",
        "ttclid",
        "twclid",
        "mc_cid",
        "mc_eid",
        "_hsenc",
        "_hsmi",
        "yclid",
        "igshid",
        "si",
        "feature",
        "pp",
    };

    // An engine with no rules: every query answers as if no rule existed until a
    // load runs. `bundle` is where loadBundledRules() finds the shipped files;
    // null means there is none.
    explicit RulesEngine(std::shared_ptr<UserDefaults> defaults,
                         const ResourceBundle* bundle = ResourceBundle::cleanLinkResources());
    // Saves match counts still waiting to be saved (saveMatchCountsSoon()).
    ~RulesEngine() override;
    RulesEngine(const RulesEngine&) = delete;
    RulesEngine& operator=(const RulesEngine&) = delete;

    // How the per-link queries find the rules that apply. Both give the same
    // answers: `indexed` (the default) looks names up in tables built at load
    // time and searches the remaining rules of a list through one combined
    // expression; `ruleByRule` runs every rule's expression in turn, and is
    // kept as the reference the indexed path is checked against.
    enum class MatchingPath { indexed, ruleByRule };
    void setMatchingPath(MatchingPath path) { matchingPath_ = path; }
    MatchingPath matchingPath() const { return matchingPath_; }

    // The categories with their entries, as shown to the user: after a load, one
    // per RuleCategoryType in display order; empty before the first load.
    // Replaced whole on every load. Categories and entries are shared with the
    // interface, which toggles them.
    Published<std::vector<std::shared_ptr<RuleCategory>>> categories;

    // ---- Loading ----------------------------------------------------------------

    // Loads the bundle's "data.min.json" and the newest "scourlet-supplementary.json".
    // Prints "Warning: Could not load bundled rules" and changes nothing when the
    // providers file is missing or unreadable (or there is no bundle); a missing
    // or unreadable supplementary file leaves the providers file loaded alone.
    void loadBundledRules();

    // Replaces every compiled provider with those of `data` (a providers file) and
    // rebuilds categories, fallback rules, switches, counts and custom rules.
    // Undecodable data prints "Warning: Could not decode rules JSON" and changes
    // nothing.
    void loadRules(std::string_view data);

    // Adds the providers of a supplementary file after those compiled, with no
    // duplicate check, and rebuilds everything derived. Undecodable data changes
    // nothing, silently.
    void loadSupplementaryRules(std::string_view data);

    // loadRules(clearURLsData), then loadSupplementaryRules(*supplementaryData)
    // when given.
    void loadRuleBundle(std::string_view clearURLsData,
                        std::optional<std::string_view> supplementaryData);

    // Succeeds when the bundle would load with at least one compiled provider.
    // Fails with RuleUpdateError::invalidRules and "ClearURLs JSON could not be
    // decoded", "Supplementary JSON could not be decoded" or "No providers
    // compiled". Works on a scratch engine over an empty in-memory store, so no
    // engine in use and no stored setting is touched.
    static Result<void, RuleUpdateError> validateRuleBundle(
        std::string_view clearURLsData, std::optional<std::string_view> supplementaryData);

    // The category of a provider: redirectUnwrapping when it has redirections,
    // otherwise by words in its lower-cased name, otherwise referralMarketing
    // when it has referral patterns, otherwise analytics. Never custom.
    static RuleCategoryType categorize(std::string_view providerName, const Provider& provider);

    // The category of a built-in fallback name ("utm_..." analytics, "fbclid"
    // social media, ...); analytics for any name it does not know.
    static RuleCategoryType fallbackCategory(std::string_view param);

    // The supplementary file to load: of the copies in the app-group containers
    // ("group.com.morrowgate.scourlet", then "group.com.quenby.scourlet") and in
    // the bundle, the one modified last; on equal times the earlier in that
    // order. Nothing when no copy exists.
    std::optional<std::filesystem::path> newestSupplementaryRulesURL() const;

    // The compiled providers in load order (file order, supplementary ones after).
    // The pointers stay valid for as long as a caller holds them, across loads.
    const std::vector<std::shared_ptr<const CompiledProvider>>& compiledProviders() const {
        return compiledProviders_;
    }

    // The built-in fallback rules, then the custom rules' records.
    const std::vector<FallbackRule>& fallbackRules() const { return fallbackRules_; }

    // ---- Per-link queries -------------------------------------------------------
    // None fails; any text is accepted. An empty engine answers: no provider, no
    // exception, no rule id, no redirection, the text unchanged, everything enabled.

    // `urlString` with user and password removed and the host lower-cased; the
    // rest as written. Text that does not parse, or has no host, comes back as is.
    static std::string normalizedForMatching(std::string_view urlString);

    // The category's switch; true when there is no category of the type.
    bool isCategoryEnabled(RuleCategoryType type) const;

    // False when the category of `category` is switched off; otherwise the switch
    // of the category's first entry with id `ruleID`, or true when no entry has it.
    bool isRuleEnabled(std::string_view ruleID, RuleCategoryType category) const;

    // The providers whose URL pattern matches the normalized link, in load order,
    // skipping those whose category is switched off.
    std::vector<std::shared_ptr<const CompiledProvider>> matchingProviders(
        std::string_view urlString) const;
    // As above, into `providers` (cleared first); the pointers stay valid until
    // the next load.
    void matchingProviders(std::string_view urlString,
                           std::vector<const CompiledProvider*>& providers) const;
    // As above, for a text prepared once for every query of a clean.
    void matchingProviders(const internal::PreparedLink& link,
                           std::vector<const CompiledProvider*>& providers) const;

    // Prepares `urlString` (which must outlive `link`'s use) for the queries
    // that take a prepared link.
    static void prepareLink(std::string_view urlString, internal::PreparedLink& link);

    // True when one of the provider's exception patterns matches the normalized
    // link, or a limit (time, steps) cut its search short.
    bool isException(std::string_view urlString, const CompiledProvider& provider) const;
    bool isException(const internal::PreparedLink& link, const CompiledProvider& provider) const;

    // The id of the first enabled parameter rule, then referral rule, of the
    // provider that matches `name` (as given, ignoring case); nothing when none
    // does. The view points into the provider and lives as long as it.
    std::optional<std::string_view> shouldStripParam(std::string_view name,
                                                     const CompiledProvider& provider) const;
    // As above, for a name prepared once for all the providers of a link.
    std::optional<std::string_view> shouldStripParam(const internal::ParameterName& name,
                                                     const CompiledProvider& provider) const;
    // The first of `providers` (in order) for which shouldStripParam finds a
    // rule, with that rule's id; nothing when none does. Providers whose rules
    // are all whole names are skipped without a query unless they name it.
    struct ProviderMatch {
        const CompiledProvider* provider;
        std::string_view ruleID;
    };
    // `searching` holds the providers of `providers` (in the same order) that
    // searchingProviders() keeps, worked out once per link.
    std::optional<ProviderMatch> firstStripRule(
        const internal::ParameterName& name, const std::vector<const CompiledProvider*>& providers,
        const std::vector<const CompiledProvider*>& searching) const;
    // Into `searching` (cleared first): the providers of `providers`, in
    // order, less those whose rules are all whole names.
    static void searchingProviders(const std::vector<const CompiledProvider*>& providers,
                                   std::vector<const CompiledProvider*>& searching);
    // Whether shouldStripParam finds a rule.
    bool hasStripRule(std::string_view name, const CompiledProvider& provider) const {
        return shouldStripParam(name, provider).has_value();
    }

    // The first fallback rule (built-in, then custom) whose category and entry
    // are enabled and that matches `name`; nothing when none does.
    std::optional<FallbackMatch> shouldStripParamFallback(std::string_view name) const;
    std::optional<FallbackMatch> shouldStripParamFallback(
        const internal::ParameterName& name) const;
    // Whether shouldStripParamFallback finds a rule.
    bool hasFallbackStripRule(std::string_view name) const {
        return shouldStripParamFallback(name).has_value();
    }

    // The link wrapped in `urlString` (as written, not normalized) by one of the
    // provider's redirection patterns: group 1 of the first match, percent-decoded
    // when it decodes, accepted when it begins with "http://" or "https://" in
    // any case. Nothing when Redirect Unwrapping is switched off or no pattern
    // gives such a link.
    std::optional<std::string> extractRedirection(std::string_view urlString,
                                                  const CompiledProvider& provider) const;

    // False when `rule` certainly finds nothing in `text`: the text lacks what
    // every match holds. Always true on the rule-by-rule path.
    bool mayMatch(const CompiledPattern& rule, std::string_view text) const;
    bool mayMatch(const CompiledPattern& rule, const internal::PreparedLink& link) const;

    // `urlString` with every match of each of the provider's raw rules removed,
    // rule after rule. No switch is consulted.
    std::string applyRawRules(std::string_view urlString, const CompiledProvider& provider) const;

    // Adds one to the category's count and to that of its first entry with id
    // `ruleID`, unless statistics collection is switched off or there is no such
    // category. Writes nothing to the store (see saveMatchCounts()). The switch
    // is read from the store at most about once a second: a change made through
    // the engine's own store applies at once, one another process makes to a
    // shared settings file within a second.
    void recordMatch(std::string_view ruleID, RuleCategoryType category);
    // recordMatch for each id in turn, reading the statistics switch once.
    void recordMatches(const std::vector<std::string>& ruleIDs,
                       const std::vector<RuleCategoryType>& categories);

    // ---- Persisted state and custom rules ----------------------------------------

    // Stores every category's and entry's switch ("cat:" + id, "rule:" + id).
    // The settings may be shared with other processes: a switch this engine
    // did not change since it last loaded or saved keeps the value another
    // process stored meanwhile, and keys this engine does not list stay.
    void saveEnabledStates();
    // Stores every category's and entry's match count under the same keys, as
    // what the stored count holds plus the matches counted here since the
    // last load or save, so that counts of other processes add up.
    void saveMatchCounts();
    // Saves the counts when they changed, at most about once a second: at once
    // when the last save is a second old or more, otherwise later (by the next
    // call a second on, flushMatchCounts(), the next load or reload, or the
    // engine's end). Encoding every count after every clean would cost more
    // than the clean itself.
    void saveMatchCountsSoon();
    // Saves the counts when they changed since they were last saved.
    void flushMatchCounts();
    // Sets every count to 0 and removes the stored counts.
    void resetMatchCounts();

    // Adds an enabled custom rule with id category name + ":" + pattern, listed
    // last in its category, matching one whole parameter name literally (ignoring
    // case), and stores the custom rules and switches. No check of any kind: a
    // pattern may be empty or repeat an existing one.
    void addCustomRule(std::string pattern, std::string displayName, RuleCategoryType category);

    // Removes every custom entry with id `id` and the custom rules' records of
    // that id (never a built-in rule's), and stores the custom rules.
    void removeCustomRule(std::string_view id);

    // The categories with all their entries, switches and counts as a JSON array
    // (an empty array before the first load). Never fails in practice: text that
    // is not UTF-8 is written with replacement characters.
    std::optional<std::string> exportRules() const;

    // What an import took over: the categories of the file that the engine
    // lists (their switches were applied) and the custom entries it added.
    struct ImportSummary {
        std::size_t categoriesApplied = 0;
        std::size_t customRulesAdded = 0;
        bool operator==(const ImportSummary&) const = default;
    };

    // Takes over the category switches of an exported file and adds its custom
    // entries that are not listed yet, then stores switches and custom rules.
    // Data that does not decode as an array of categories changes nothing and
    // fails with the decoding error. A file that decodes but names no category
    // the engine lists (an empty array, or any file before the first load)
    // succeeds with categoriesApplied 0 and stores nothing.
    [[nodiscard]] Result<ImportSummary, DecodingError> importRules(std::string_view data);

    // Every switch on, every custom rule gone, stored switches and custom rules
    // removed; match counts stay.
    void resetToDefaults();

    // Drops the custom rules and applies the stored switches, counts and custom
    // rules again (for a process that shares the store with another).
    void reloadPersistedState();

private:
    struct PersistedState;

    void installProviders(std::vector<std::shared_ptr<const CompiledProvider>> providers);
    void loadRulesThenSupplementary(std::string_view data,
                                    std::optional<std::string_view> supplementaryData);
    RuleCategory* categoryOf(RuleCategoryType type) const;
    PersistedState readPersistedState() const;
    static void applyPersistedStates(const std::vector<std::shared_ptr<RuleCategory>>& categories,
                                     const PersistedState& state);
    static RuleCategory::Rules loadCustomRules(
        const std::vector<std::shared_ptr<RuleCategory>>& categories,
        std::vector<FallbackRule>& fallbackRules, const UserDefaults& defaults);
    // Changes the stored custom-rule records (a JSON array) in one step of
    // the store, so that records another process added or removed meanwhile
    // stay as it left them.
    void changeStoredCustomRules(std::function<void(Json& records)> change);
    void restorePersistedState(const std::vector<std::shared_ptr<RuleCategory>>& categories,
                               std::vector<FallbackRule>& fallbackRules);
    // Takes the switches and counts of `categories` as those last loaded or
    // saved (see saveEnabledStates(), saveMatchCounts()).
    void rememberSavedStates(const std::vector<std::shared_ptr<RuleCategory>>& categories);
    void removeAllCustomRules();
    // Rebuilds fallbackIndex_; called after every change of fallbackRules_.
    void fallbackRulesChanged();

    std::shared_ptr<UserDefaults> defaults_;
    const ResourceBundle* bundle_;
    std::vector<std::shared_ptr<const CompiledProvider>> compiledProviders_;
    // Rules out, per link, the providers whose URL pattern cannot match; built
    // with compiledProviders_.
    std::shared_ptr<const internal::ProviderPrefilter> prefilter_;
    // The names the providers whose rules are all whole names (their
    // ProviderRuleIndex::namesOnly) hold, each with those providers' positions
    // in compiledProviders_; built with it.
    std::shared_ptr<const internal::NameRuleIndex> providerNames_;
    std::vector<FallbackRule> fallbackRules_;
    std::shared_ptr<const internal::NameRuleIndex> fallbackIndex_;
    MatchingPath matchingPath_ = MatchingPath::indexed;
    // Whether statistics collection is on, as last read (see recordMatch()).
    bool isCollectingMatches();
    // The collection switch as last read; `stale` is set by the store's
    // observer, on whichever thread writes.
    struct CollectionSwitch {
        std::atomic<bool> stale{true};
        bool enabled = true;
        std::chrono::steady_clock::time_point readAt;
    };
    std::shared_ptr<CollectionSwitch> collectionSwitch_ = std::make_shared<CollectionSwitch>();
    Connection collectionSwitchObserver_;
    // The switches and counts, by stored key, as this engine last loaded or
    // saved them: what it changed since is what it writes over the store.
    std::shared_ptr<const std::unordered_map<std::string, bool>> savedSwitches_;
    std::shared_ptr<const std::unordered_map<std::string, std::int64_t>> savedCounts_;
    // Counts raised since they were last saved, and when that was.
    bool matchCountsChanged_ = false;
    std::optional<std::chrono::steady_clock::time_point> matchCountsSavedAt_;
};

}  // namespace scourlet
