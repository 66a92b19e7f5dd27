// Loading and compiling. The per-link queries are in RulesEngineQueries.cpp,
// the persisted state and custom rules in RulesEngineState.cpp.
#include "ScourletCore/rules/RulesEngine.h"

#include "ScourletCore/platform/BoundedFileRead.h"

#include <cstddef>
#include <iterator>
#include <system_error>
#include <utility>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/AppDirectories.h"
#include "ScourletCore/platform/Diagnostics.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/rules/internal/LiteralNameRule.h"
#include "ScourletCore/rules/internal/NameRuleIndex.h"
#include "ScourletCore/rules/internal/PatternText.h"
#include "ScourletCore/rules/internal/ProviderPrefilter.h"

namespace scourlet {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProvidersResourceName = "data.min";
constexpr std::string_view kSupplementaryResourceName = "scourlet-supplementary";
constexpr std::string_view kJsonExtension = "json";
constexpr std::string_view kSupplementaryFileName = "scourlet-supplementary.json";
// The app groups whose containers may hold a newer supplementary file, in the
// order that wins a tie. The second is the group of earlier releases.
constexpr std::array<std::string_view, 2> kSupplementaryRuleGroups = {
    "group.com.morrowgate.scourlet",
    "group.com.quenby.scourlet",
};
// A supplementary file is a few kilobytes; the cap keeps a stray huge file in a
// shared container from being read into memory.
constexpr std::uintmax_t kMaxSupplementaryFileBytes = 16 * 1024 * 1024;

constexpr std::string_view kUtmFallbackPattern = "^utm_.*$";
constexpr std::string_view kUtmFallbackRuleID = "Analytics:utm_*";
constexpr std::string_view kUtmFallbackEntryPattern = "utm_*";
constexpr std::string_view kUtmFallbackDisplayName = "utm_* (all UTM parameters)";

std::size_t indexOf(RuleCategoryType type) {
    return static_cast<std::size_t>(type);
}

std::string joined(std::string_view a, std::string_view separator, std::string_view b) {
    std::string out;
    out.reserve(a.size() + separator.size() + b.size());
    out.append(a).append(separator).append(b);
    return out;
}

std::optional<Regex> compileCaseInsensitive(std::string_view pattern) {
    return Regex::compile(pattern, RegexOptions::caseInsensitive);
}

// Compiles each pattern (wrapped in "^...$" when `anchored`), dropping those
// that do not compile; each rule id is `idPrefix` + ":" + the pattern.
std::vector<RulesEngine::CompiledPattern> compilePatterns(const std::vector<std::string>& patterns,
                                                          bool anchored,
                                                          std::string_view idPrefix) {
    std::vector<RulesEngine::CompiledPattern> compiled;
    compiled.reserve(patterns.size());
    std::string wrapped;
    for (const std::string& pattern : patterns) {
        std::optional<Regex> regex;
        if (anchored) {
            wrapped.assign("^").append(pattern).append("$");
            regex = compileCaseInsensitive(wrapped);
        } else {
            regex = compileCaseInsensitive(pattern);
        }
        if (regex) {
            std::string required;
            if (!anchored) {
                required = internal::requiredLiteralText(pattern).value_or(std::string());
            }
            compiled.push_back({std::move(*regex), pattern, joined(idPrefix, ":", pattern),
                                std::move(required)});
        }
    }
    return compiled;
}

std::shared_ptr<const RulesEngine::CompiledProvider> compileProvider(const std::string& name,
                                                                     const Provider& provider) {
    std::optional<Regex> urlRegex = compileCaseInsensitive(provider.urlPattern());
    if (!urlRegex) {
        return nullptr;
    }
    const RuleCategoryType category = RulesEngine::categorize(name, provider);
    std::vector<Regex> exceptions;
    exceptions.reserve(provider.exceptions().size());
    for (const std::string& exception : provider.exceptions()) {
        if (auto regex = compileCaseInsensitive(exception)) {
            exceptions.push_back(std::move(*regex));
        }
    }
    auto compiled = std::make_shared<RulesEngine::CompiledProvider>(RulesEngine::CompiledProvider{
        name,
        provider,
        std::move(*urlRegex),
        std::move(exceptions),
        compilePatterns(provider.rules(), true, rawValue(category)),
        compilePatterns(provider.rawRules(), false, rawValue(category)),
        compilePatterns(provider.redirections(), false,
                        rawValue(RuleCategoryType::redirectUnwrapping)),
        compilePatterns(provider.referralMarketing(), true,
                        rawValue(RuleCategoryType::referralMarketing)),
        category,
        nullptr,
    });
    auto patternsOf = [](const std::vector<RulesEngine::CompiledPattern>& list) {
        std::vector<std::string_view> patterns;
        patterns.reserve(list.size());
        for (const auto& each : list) {
            patterns.push_back(each.regex.pattern());
        }
        return patterns;
    };
    std::vector<std::string_view> exceptionPatterns;
    exceptionPatterns.reserve(compiled->exceptionRegexes.size());
    for (const Regex& exception : compiled->exceptionRegexes) {
        exceptionPatterns.push_back(exception.pattern());
    }
    internal::ProviderRuleIndex index{
        internal::NameRuleIndex::build(patternsOf(compiled->paramRegexes)),
        internal::NameRuleIndex::build(patternsOf(compiled->referralParamRegexes)),
        exceptionPatterns.empty() ? internal::ProviderPrefilter()
                                  : internal::ProviderPrefilter(exceptionPatterns),
    };
    index.namesOnly = index.params.exactOnly() && index.referrals.exactOnly();
    compiled->index = std::make_shared<const internal::ProviderRuleIndex>(std::move(index));
    return compiled;
}

std::vector<std::shared_ptr<const RulesEngine::CompiledProvider>> compileProviders(
    const ProvidersFile& file) {
    std::vector<std::shared_ptr<const RulesEngine::CompiledProvider>> compiled;
    compiled.reserve(file.providers().size());
    for (const auto& [name, provider] : file.providers()) {
        if (auto one = compileProvider(name, provider)) {
            compiled.push_back(std::move(one));
        }
    }
    return compiled;
}

// The built-in fallback rules never change, so they are compiled once per
// process and shared by every engine and load.
const std::vector<RulesEngine::FallbackRule>& builtInFallbackRules() {
    static const std::vector<RulesEngine::FallbackRule> rules = [] {
        std::vector<RulesEngine::FallbackRule> built;
        if (auto utm = compileCaseInsensitive(kUtmFallbackPattern)) {
            built.push_back({std::move(*utm), std::string(kUtmFallbackRuleID),
                             RuleCategoryType::analytics,
                             RulesEngine::FallbackRule::Origin::builtIn});
        }
        for (std::string_view name : RulesEngine::fallbackParams) {
            if (name.starts_with("utm_")) {
                continue;
            }
            const RuleCategoryType category = RulesEngine::fallbackCategory(name);
            if (auto regex = internal::compileLiteralNameRule(name)) {
                built.push_back({std::move(*regex), joined(rawValue(category), ":", name), category,
                                 RulesEngine::FallbackRule::Origin::builtIn});
            }
        }
        return built;
    }();
    return rules;
}

// The file's modification time; the distant past when it cannot be read.
fs::file_time_type modificationDate(const fs::path& path) {
    std::error_code ec;
    const fs::file_time_type time = fs::last_write_time(path, ec);
    return ec ? fs::file_time_type::min() : time;
}

}  // namespace

RulesEngine::RulesEngine(std::shared_ptr<UserDefaults> defaults, const ResourceBundle* bundle)
    : categories(*this, {}), defaults_(std::move(defaults)), bundle_(bundle) {
    fallbackRulesChanged();
    collectionSwitchObserver_ = defaults_->observe(
        std::string(StatsTracker::kCollectionEnabledKey),
        [collectionSwitch = collectionSwitch_] { collectionSwitch->stale = true; });
}

RulesEngine::~RulesEngine() {
    flushMatchCounts();
}

void RulesEngine::loadBundledRules() {
    std::optional<std::string> providers;
    if (bundle_ != nullptr) {
        providers = bundle_->dataForResource(kProvidersResourceName, kJsonExtension);
    }
    if (!providers) {
        printDiagnostic("Warning: Could not load bundled rules");
        return;
    }
    std::optional<std::string> supplementary;
    if (const auto url = newestSupplementaryRulesURL()) {
        supplementary = readFileAtMost(*url, kMaxSupplementaryFileBytes);
    }
    loadRulesThenSupplementary(*providers, supplementary);
}

void RulesEngine::loadRulesThenSupplementary(std::string_view data,
                                             std::optional<std::string_view> supplementaryData) {
    // The same as loadRules, then loadSupplementaryRules, with everything
    // derived built once rather than twice.
    const auto file = ProvidersFile::decode(data);
    if (!file) {
        printDiagnostic("Warning: Could not decode rules JSON");
        if (supplementaryData) {
            loadSupplementaryRules(*supplementaryData);
        }
        return;
    }
    auto providers = compileProviders(*file);
    if (supplementaryData) {
        if (const auto supplementary = ProvidersFile::decode(*supplementaryData)) {
            auto added = compileProviders(*supplementary);
            providers.insert(providers.end(), std::make_move_iterator(added.begin()),
                             std::make_move_iterator(added.end()));
        }
    }
    installProviders(std::move(providers));
}

void RulesEngine::loadRules(std::string_view data) {
    const auto file = ProvidersFile::decode(data);
    if (!file) {
        printDiagnostic("Warning: Could not decode rules JSON");
        return;
    }
    installProviders(compileProviders(*file));
}

void RulesEngine::loadSupplementaryRules(std::string_view data) {
    const auto file = ProvidersFile::decode(data);
    if (!file) {
        return;
    }
    auto providers = compiledProviders_;
    auto added = compileProviders(*file);
    providers.insert(providers.end(), std::make_move_iterator(added.begin()),
                     std::make_move_iterator(added.end()));
    installProviders(std::move(providers));
}

void RulesEngine::loadRuleBundle(std::string_view clearURLsData,
                                 std::optional<std::string_view> supplementaryData) {
    loadRulesThenSupplementary(clearURLsData, supplementaryData);
}

Result<void, RuleUpdateError> RulesEngine::validateRuleBundle(
    std::string_view clearURLsData, std::optional<std::string_view> supplementaryData) {
    const auto providers = ProvidersFile::decode(clearURLsData);
    if (!providers) {
        return RuleUpdateError::invalidRules("ClearURLs JSON could not be decoded");
    }
    std::optional<ProvidersFile> supplementary;
    if (supplementaryData) {
        auto decoded = ProvidersFile::decode(*supplementaryData);
        if (!decoded) {
            return RuleUpdateError::invalidRules("Supplementary JSON could not be decoded");
        }
        supplementary = std::move(*decoded);
    }
    // A scratch engine over an empty store, so that the check sees neither the
    // user's switches nor custom rules and writes nowhere.
    RulesEngine scratch(std::make_shared<InMemoryUserDefaults>(), nullptr);
    auto compiled = compileProviders(*providers);
    if (supplementary) {
        auto added = compileProviders(*supplementary);
        compiled.insert(compiled.end(), std::make_move_iterator(added.begin()),
                        std::make_move_iterator(added.end()));
    }
    scratch.installProviders(std::move(compiled));
    if (scratch.compiledProviders().empty()) {
        return RuleUpdateError::invalidRules("No providers compiled");
    }
    return {};
}

RuleCategoryType RulesEngine::categorize(std::string_view providerName, const Provider& provider) {
    if (!provider.redirections().empty()) {
        return RuleCategoryType::redirectUnwrapping;
    }
    struct WordGroup {
        std::array<std::string_view, 9> words;  // unused slots stay empty
        RuleCategoryType category;
    };
    static constexpr std::array<WordGroup, 5> kGroups = {{
        {{"amazon", "aliexpress", "ebay", "shopify", "etsy", "walmart"},
         RuleCategoryType::ecommerce},
        {{"facebook", "twitter", "instagram", "tiktok", "linkedin", "reddit", "youtube", "snapchat",
          config::kFurtherSocialMediaWord},
         RuleCategoryType::socialMedia},
        {{"google ad", "doubleclick", "bing", "adform", config::kFurtherAdvertisingWord, "criteo"},
         RuleCategoryType::advertising},
        {{"google", config::kFurtherAnalyticsWord, "adobe", "yandex", "matomo", "piwik", "segment",
          "hotjar", "mixpanel"},
         RuleCategoryType::analytics},
        {{config::kFurtherEmailMarketingWord, "hubspot", "sendgrid", "constantcontact", "campaign"},
         RuleCategoryType::emailMarketing},
    }};
    const std::string name = lowercased(providerName);
    for (const WordGroup& group : kGroups) {
        for (std::string_view word : group.words) {
            if (!word.empty() && name.find(word) != std::string::npos) {
                return group.category;
            }
        }
    }
    return provider.referralMarketing().empty() ? RuleCategoryType::analytics
                                                : RuleCategoryType::referralMarketing;
}

RuleCategoryType RulesEngine::fallbackCategory(std::string_view param) {
    if (param.starts_with("utm_")) {
        return RuleCategoryType::analytics;
    }
    if (param == "fbclid" || param == "twclid" || param == "igshid" || param == "ttclid") {
        return RuleCategoryType::socialMedia;
    }
    if (param == "gclid" || param == "gclsrc" || param == "msclkid") {
        return RuleCategoryType::advertising;
    }
    if (param == "mc_cid" || param == "mc_eid" || param == "_hsenc" || param == "_hsmi") {
        return RuleCategoryType::emailMarketing;
    }
    return RuleCategoryType::analytics;
}

std::optional<fs::path> RulesEngine::newestSupplementaryRulesURL() const {
    std::vector<fs::path> candidates;
    for (std::string_view group : kSupplementaryRuleGroups) {
        if (auto container = appGroupContainer(group)) {
            candidates.push_back(*container / kSupplementaryFileName);
        }
    }
    if (bundle_ != nullptr) {
        if (auto bundled = bundle_->urlForResource(kSupplementaryResourceName, kJsonExtension)) {
            candidates.push_back(std::move(*bundled));
        }
    }
    std::optional<fs::path> best;
    fs::file_time_type bestTime;
    for (fs::path& candidate : candidates) {
        std::error_code ec;
        if (!fs::exists(candidate, ec)) {
            continue;
        }
        const fs::file_time_type time = modificationDate(candidate);
        // Only a strictly newer copy wins, so a tie keeps the earlier candidate.
        if (!best || bestTime < time) {
            best = std::move(candidate);
            bestTime = time;
        }
    }
    return best;
}

void RulesEngine::installProviders(std::vector<std::shared_ptr<const CompiledProvider>> providers) {
    // The load restores the stored counts: those not saved yet go there first.
    flushMatchCounts();
    // Everything is built aside and published at once, so observers of
    // `categories` never see a half-built list.
    std::array<RuleCategory::Rules, allCases<RuleCategoryType>().size()> lists;
    auto add = [&lists](RuleCategoryType type, std::string id, std::string pattern,
                        std::string displayName, RuleEntry::RuleSource source) {
        lists[indexOf(type)].push_back(std::make_shared<RuleEntry>(
            std::move(id), std::move(pattern), std::move(displayName), type, source, true));
    };

    // The UTM fallback entry heads the analytics list, before the providers' entries.
    add(RuleCategoryType::analytics, std::string(kUtmFallbackRuleID),
        std::string(kUtmFallbackEntryPattern), std::string(kUtmFallbackDisplayName),
        RuleEntry::RuleSource::fallback);

    for (const auto& compiled : providers) {
        const std::string& name = compiled->name;
        for (const CompiledPattern& rule : compiled->paramRegexes) {
            add(compiled->category, rule.ruleID, rule.pattern, joined(name, ": ", rule.pattern),
                RuleEntry::RuleSource::clearURLs);
        }
        for (const CompiledPattern& rule : compiled->referralParamRegexes) {
            add(RuleCategoryType::referralMarketing, rule.ruleID, rule.pattern,
                joined(name, ": ", rule.pattern), RuleEntry::RuleSource::clearURLs);
        }
        for (const CompiledPattern& rule : compiled->redirectionRegexes) {
            add(RuleCategoryType::redirectUnwrapping, rule.ruleID, rule.pattern,
                name + std::string(config::kRedirectionRuleDisplaySuffix),
                RuleEntry::RuleSource::clearURLs);
        }
        for (const CompiledPattern& rule : compiled->rawRuleRegexes) {
            add(compiled->category, rule.ruleID, rule.pattern,
                name + std::string(config::kRawRuleDisplaySuffix),
                RuleEntry::RuleSource::clearURLs);
        }
    }

    // Every other fallback name is listed after the providers' entries, whether
    // or not its expression compiled.
    for (std::string_view param : fallbackParams) {
        if (param.starts_with("utm_")) {
            continue;
        }
        const RuleCategoryType category = fallbackCategory(param);
        add(category, joined(rawValue(category), ":", param), std::string(param),
            std::string(param), RuleEntry::RuleSource::fallback);
    }

    std::vector<std::shared_ptr<RuleCategory>> built;
    built.reserve(allCases<RuleCategoryType>().size());
    for (RuleCategoryType type : allCases<RuleCategoryType>()) {
        built.push_back(
            std::make_shared<RuleCategory>(type, true, std::move(lists[indexOf(type)])));
    }
    std::vector<FallbackRule> fallback = builtInFallbackRules();
    restorePersistedState(built, fallback);

    std::vector<std::string_view> urlPatterns;
    urlPatterns.reserve(providers.size());
    for (const auto& compiled : providers) {
        urlPatterns.push_back(compiled->provider.urlPattern());
    }
    auto prefilter = std::make_shared<const internal::ProviderPrefilter>(urlPatterns);
    // Every name a names-only provider's tables hold, with the providers
    // (by position) that hold it.
    std::vector<std::pair<std::string_view, std::uint32_t>> names;
    for (std::size_t i = 0; i < providers.size(); ++i) {
        const auto& index = providers[i]->index;
        if (!index || !index->namesOnly) {
            continue;
        }
        for (const auto* table : {&index->params, &index->referrals}) {
            for (std::string_view name : table->exactNames()) {
                names.emplace_back(name, static_cast<std::uint32_t>(i));
            }
        }
    }
    auto providerNames =
        std::make_shared<const internal::NameRuleIndex>(internal::NameRuleIndex::ofExactNames(names));

    compiledProviders_ = std::move(providers);
    prefilter_ = std::move(prefilter);
    providerNames_ = std::move(providerNames);
    fallbackRules_ = std::move(fallback);
    fallbackRulesChanged();
    categories.set(std::move(built));
}

void RulesEngine::fallbackRulesChanged() {
    std::vector<std::string_view> patterns;
    patterns.reserve(fallbackRules_.size());
    for (const FallbackRule& rule : fallbackRules_) {
        patterns.push_back(rule.regex.pattern());
    }
    fallbackIndex_ =
        std::make_shared<const internal::NameRuleIndex>(internal::NameRuleIndex::build(patterns));
}

}  // namespace scourlet
