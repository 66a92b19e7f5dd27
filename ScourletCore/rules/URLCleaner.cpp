#include "ScourletCore/rules/URLCleaner.h"

#include <algorithm>
#include <chrono>

#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyRedirector.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/internal/NameRuleIndex.h"
#include "ScourletCore/rules/internal/RedirectTarget.h"

namespace scourlet {

namespace {

using ProviderList = std::vector<const RulesEngine::CompiledProvider*>;

constexpr int kMaxUnwrapDepth = 4;
constexpr std::string_view kRedditChallengePrefix = "Social Media:reddit_js_challenge:";
constexpr std::string_view kGoogleSearchPrefix = "Analytics:google_search:";
constexpr std::string_view kGoogleLocalFragmentRuleID = "Analytics:google_search:local_fragment";
constexpr std::string_view kGoogleLocalFragmentMarker = "#google-local-state";

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

std::optional<PrivacyServicesCatalog::Verified> sharedCatalog() {
    return PrivacyCatalogStore(PrivacyCatalogStore::sharedRoot()).current();
}

bool hasWebScheme(std::string_view url) {
    return url.starts_with("http://") || url.starts_with("https://");
}

// What every clean must give: a web link that parses as it stands, with a
// host. Rules are data (downloaded, imported, written by the user), and a raw
// rule "https://" or a front end's odd answer must not turn a link into text.
bool isCleanedWebLink(std::string_view url) {
    if (!hasWebScheme(url)) {
        return false;
    }
    const std::optional<URLComponents> components = URLComponents::parse(url);
    if (!components) {
        return false;
    }
    const std::optional<std::string_view> host = components->percentEncodedHost();
    return host && !host->empty();
}

}  // namespace

URLCleaner::URLCleaner(std::shared_ptr<RulesEngine> rulesEngine,
                       std::shared_ptr<DomainExceptionStore> exceptionStore,
                       std::shared_ptr<LastCleanRecorder> lastCleanRecorder, std::string surface,
                       PrivacyRedirectSettings privacyRedirectSettings, CatalogSource catalogSource,
                       const Clock* clock)
    : rulesEngine_(std::move(rulesEngine)),
      exceptionStore_(std::move(exceptionStore)),
      lastCleanRecorder_(std::move(lastCleanRecorder)),
      surface_(std::move(surface)),
      privacySettings_(std::move(privacyRedirectSettings)),
      catalogSource_(catalogSource ? std::move(catalogSource) : CatalogSource(&sharedCatalog)),
      clock_(clock != nullptr ? clock : &systemClock()) {}

CleanOutcome URLCleaner::cleanWithOutcome(std::string_view urlString) {
    // Inside a caller's budget (a text block) the clean gets what is left of it.
    const RegexTimeBudget budget(timeBudget_);
    const std::string trimmed(trimmingWhitespaceAndNewlines(urlString));
    // A link that parses as it stands is parsed once for the whole clean.
    std::optional<URLComponents> parsed = URLComponents::parse(trimmed);
    if (!parsed && !URLComponents::parsesLenient(trimmed)) {
        return CleanOutcome::invalid();
    }
    if (!hasWebScheme(trimmed)) {
        return CleanOutcome::invalid();
    }
    // A result keeps the link as given, and stored results are JSON, which
    // holds only UTF-8: bytes that are no text are no link to clean.
    if (!isValidUTF8(trimmed)) {
        return CleanOutcome::invalid();
    }
    if (exceptionStore_ && !exceptionStore_->isEmpty()) {
        if (auto host = DomainExceptionStore::normalizedHost(trimmed);
            host && exceptionStore_->isDisabled(*host)) {
            return CleanOutcome::skippedDisabled(std::move(*host));
        }
    }
    pendingMatchIDs_.clear();
    pendingMatchCategories_.clear();
    std::optional<CleanResult> result = cleaningPass(trimmed, 0, std::move(parsed));
    // A clean cut short may have skipped rules: the link is left as it was,
    // and counts nothing.
    if (budget.exhausted()) {
        return CleanOutcome::unchanged();
    }
    // Every rule that fired counts, also in passes that came to nothing.
    rulesEngine_->recordMatches(pendingMatchIDs_, pendingMatchCategories_);
    // Whichever step made it (raw rules, unwrapping, a front-end rewrite,
    // custom rules), a result that is no web link is no clean: the link stays.
    if (result && !isCleanedWebLink(result->cleanedURL)) {
        return CleanOutcome::unchanged();
    }
    if (!result) {
        return CleanOutcome::unchanged();
    }
    rulesEngine_->saveMatchCountsSoon();
    if (lastCleanRecorder_) {
        lastCleanRecorder_->record(result->originalURL, result->cleanedURL, surface_);
    }
    return CleanOutcome::cleaned(std::move(*result));
}

std::optional<CleanResult> URLCleaner::clean(std::string_view urlString) {
    CleanOutcome outcome = cleanWithOutcome(urlString);
    if (CleanResult* result = outcome.cleanedResult()) {
        return std::move(*result);
    }
    return std::nullopt;
}

CleanResult URLCleaner::resultAfterNetworkResolution(
    std::string_view originalURL, std::string_view resolvedURL, std::string_view contactedHost,
    const std::optional<CleanResult>& priorResult) {
    const CleanResult* prior =
        priorResult && priorResult->originalURL == originalURL ? &*priorResult : nullptr;
    const std::optional<CleanResult> resolved = clean(resolvedURL);

    CleanResult result;
    result.originalURL = std::string(originalURL);
    result.cleanedURL = resolved ? resolved->cleanedURL : std::string(resolvedURL);
    CleanOperation network{CleanOperationKind::networkResolution,
                           prior ? prior->cleanedURL : std::string(originalURL),
                           std::string(resolvedURL),
                           {},
                           true,
                           std::string(contactedHost),
                           "User-authorized canonical link resolution"};
    auto appendFrom = [&result](const CleanResult& part) {
        result.paramsRemoved += part.paramsRemoved;
        result.removedQueryParameters.insert(result.removedQueryParameters.end(),
                                             part.removedQueryParameters.begin(),
                                             part.removedQueryParameters.end());
        result.matchedRuleIDs.insert(result.matchedRuleIDs.end(), part.matchedRuleIDs.begin(),
                                     part.matchedRuleIDs.end());
        result.matchedCategories.insert(part.matchedCategories.begin(),
                                        part.matchedCategories.end());
    };
    if (prior) {
        appendFrom(*prior);
        result.operations = prior->operations;
    }
    result.operations.push_back(std::move(network));
    if (resolved) {
        appendFrom(*resolved);
        result.cleanedOriginalURL = resolved->cleanedOriginalURL;
        result.privacyRedirect = resolved->privacyRedirect;
        result.operations.insert(result.operations.end(), resolved->operations.begin(),
                                 resolved->operations.end());
    }
    return result;
}

std::optional<CleanResult> URLCleaner::unwrapRedirect(const std::string& input,
                                                      const internal::PreparedLink& link, int depth,
                                                      const ProviderList& providers,
                                                      ExceptionAnswers& excepted) {
    if (!rulesEngine_->isCategoryEnabled(RuleCategoryType::redirectUnwrapping)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < providers.size(); ++i) {
        const RulesEngine::CompiledProvider* provider = providers[i];
        if (provider->redirectionRegexes.empty() || excepted.isException(i)) {
            continue;
        }
        for (const auto& rule : provider->redirectionRegexes) {
            if (rule.regex.numberOfCaptureGroups() == 0 || !rulesEngine_->mayMatch(rule, link)) {
                continue;
            }
            const auto match = rule.regex.firstMatch(input);
            if (!match || !match->groupParticipated(1)) {
                continue;
            }
            std::optional<std::string> target =
                internal::redirectTargetFromCapture(*match->group(1, input));
            // Letter case in a scheme means nothing ("htTps:" is "https:"), but
            // a cleaned link, like a link given to clean, is spelled in lower case.
            if (target) {
                const std::size_t schemeEnd = target->find(':');
                target->replace(0, schemeEnd, asciiLowercased(target->substr(0, schemeEnd)));
            }
            // An "unwrap" that changes nothing is no unwrap; try the next rule.
            if (!target || *target == input) {
                continue;
            }

            CleanResult result;
            result.originalURL = input;
            result.matchedCategories.insert(RuleCategoryType::redirectUnwrapping);
            for (const auto& each : provider->redirectionRegexes) {
                result.matchedRuleIDs.push_back(each.ruleID);
                recordMatch(each.ruleID, RuleCategoryType::redirectUnwrapping);
            }
            result.operations.push_back(CleanOperation{CleanOperationKind::offlineWrapperUnwrap,
                                                       input,
                                                       *target,
                                                       {},
                                                       false,
                                                       std::nullopt,
                                                       "Rule-based redirect wrapper removal"});
            std::optional<CleanResult> inner;
            if (depth <= kMaxUnwrapDepth) {
                inner = cleaningPass(*target, depth + 1);
            }
            if (!inner) {
                result.cleanedURL = std::move(*target);
                result.paramsRemoved = 1;
                return result;
            }
            result.cleanedURL = std::move(inner->cleanedURL);
            result.paramsRemoved = inner->paramsRemoved + 1;
            result.removedQueryParameters = std::move(inner->removedQueryParameters);
            result.matchedRuleIDs.insert(result.matchedRuleIDs.end(),
                                         std::make_move_iterator(inner->matchedRuleIDs.begin()),
                                         std::make_move_iterator(inner->matchedRuleIDs.end()));
            result.matchedCategories.insert(inner->matchedCategories.begin(),
                                            inner->matchedCategories.end());
            // Both halves of a privacy rewrite travel together, so that the
            // link on the original site stays available to the user.
            result.cleanedOriginalURL = std::move(inner->cleanedOriginalURL);
            result.privacyRedirect = std::move(inner->privacyRedirect);
            result.operations.insert(result.operations.end(),
                                     std::make_move_iterator(inner->operations.begin()),
                                     std::make_move_iterator(inner->operations.end()));
            return result;
        }
    }
    return std::nullopt;
}

std::optional<CleanResult> URLCleaner::cleaningPass(const std::string& input, int depth,
                                                    std::optional<URLComponents> parsed) {
    RulesEngine& engine = *rulesEngine_;
    // Each depth of unwrapping has its buffers, kept from clean to clean.
    const auto level = static_cast<std::size_t>(depth);
    while (passBuffers_.size() <= level) {
        passBuffers_.push_back(std::make_unique<PassBuffers>());
    }
    PassBuffers& buffers = *passBuffers_[level];
    internal::PreparedLink& link = buffers.link;
    RulesEngine::prepareLink(input, link);
    ProviderList& providers = buffers.providers;
    engine.matchingProviders(link, providers);
    ExceptionAnswers excepted(engine, providers, link);

    if (auto unwrapped = unwrapRedirect(input, link, depth, providers, excepted)) {
        return unwrapped;
    }

    CleanResult result;
    result.originalURL = input;

    // Rule-based path cleanup.
    std::string current = input;
    bool rawRulesChanged = false;
    for (std::size_t i = 0; i < providers.size(); ++i) {
        const RulesEngine::CompiledProvider* provider = providers[i];
        if (provider->rawRuleRegexes.empty() || excepted.isException(i)) {
            continue;
        }
        std::string rewritten = engine.applyRawRules(current, *provider);
        if (rewritten == current) {
            continue;
        }
        result.operations.push_back(CleanOperation{CleanOperationKind::offlinePathRewrite,
                                                   current,
                                                   rewritten,
                                                   {},
                                                   false,
                                                   std::nullopt,
                                                   "Rule-based path cleanup"});
        result.matchedCategories.insert(provider->category);
        for (const auto& rule : provider->rawRuleRegexes) {
            result.matchedRuleIDs.push_back(rule.ruleID);
            recordMatch(rule.ruleID, provider->category);
        }
        current = std::move(rewritten);
        RulesEngine::prepareLink(current, link);
        excepted.textChanged();
        rawRulesChanged = true;
    }

    std::optional<URLComponents> components =
        parsed && !rawRulesChanged ? std::move(parsed) : URLComponents::parse(current);
    if (!components) {
        return std::nullopt;
    }
    const std::vector<RawQueryItem> items =
        internal::parseRawQuery(components->percentEncodedQuery());

    std::int64_t removedCount = 0;
    if (!items.empty()) {
        const std::set<std::string> challenge =
            internal::redditChallengeParameters(*components, items);
        const bool googleSearch = internal::isGoogleSearch(*components);

        ProviderList& applicable = buffers.applicable;
        ProviderList& searching = buffers.searching;
        applicable.clear();
        for (std::size_t i = 0; i < providers.size(); ++i) {
            if (!excepted.isException(i)) {
                applicable.push_back(providers[i]);
            }
        }
        RulesEngine::searchingProviders(applicable, searching);

        auto remove = [&](const RawQueryItem& item, std::string ruleID, RuleCategoryType category) {
            recordMatch(ruleID, category);
            result.matchedRuleIDs.push_back(std::move(ruleID));
            result.matchedCategories.insert(category);
            result.removedQueryParameters.push_back(item.name);
        };

        std::string keptQuery;
        std::size_t keptCount = 0;
        for (const RawQueryItem& item : items) {
            const internal::ParameterName name(item.name);
            if (challenge.contains(item.name) &&
                engine.isCategoryEnabled(RuleCategoryType::socialMedia)) {
                remove(item, std::string(kRedditChallengePrefix) + item.name,
                       RuleCategoryType::socialMedia);
                continue;
            }
            if (googleSearch && item.name == "client" &&
                engine.isCategoryEnabled(RuleCategoryType::analytics)) {
                remove(item, std::string(kGoogleSearchPrefix) + item.name,
                       RuleCategoryType::analytics);
                continue;
            }
            if (auto found = engine.firstStripRule(name, applicable, searching)) {
                remove(item, std::string(found->ruleID), found->provider->category);
                continue;
            }
            if (auto fallback = engine.shouldStripParamFallback(name)) {
                remove(item, std::string(fallback->ruleID), fallback->category);
                continue;
            }
            // A kept parameter goes back exactly as the writer wrote it, joined
            // by the separator that stood before it ("&", or "&amp;" in a link
            // from HTML source): decoded and encoded again, "%27" or "%29"
            // would come back as a quote or a bracket that ends the link early
            // in the text around it, and "%3B" as a ";" that some servers split
            // on. Only removed parameters and their separators go.
            if (keptCount++ > 0) {
                keptQuery.append(item.separator);
            }
            keptQuery.append(item.segment);
        }

        removedCount = static_cast<std::int64_t>(items.size() - keptCount);
        // With nothing removed the query stays as written.
        if (removedCount > 0) {
            const bool queryWritten =
                keptCount == 0 ? components->setPercentEncodedQuery(std::nullopt)
                               : components->setPercentEncodedQuery(std::string_view(keptQuery));
            if (!queryWritten) {
                return std::nullopt;
            }
            result.operations.push_back(CleanOperation{
                CleanOperationKind::localParameterRemoval, current, components->string(),
                result.removedQueryParameters, false, std::nullopt, std::nullopt});
        }
    }

    std::int64_t fragmentAddition = 0;
    if (internal::hasGoogleLocalFragment(*components) &&
        engine.isCategoryEnabled(RuleCategoryType::analytics)) {
        std::string before = components->string();
        components->removeFragment();
        result.matchedRuleIDs.emplace_back(kGoogleLocalFragmentRuleID);
        result.matchedCategories.insert(RuleCategoryType::analytics);
        recordMatch(kGoogleLocalFragmentRuleID, RuleCategoryType::analytics);
        result.operations.push_back(CleanOperation{CleanOperationKind::localParameterRemoval,
                                                   std::move(before),
                                                   components->string(),
                                                   {std::string(kGoogleLocalFragmentMarker)},
                                                   false,
                                                   std::nullopt,
                                                   std::nullopt});
        fragmentAddition = 1;
    }

    std::string finalURL = components->string();
    const std::int64_t rawAddition =
        rawRulesChanged && result.removedQueryParameters.empty() ? 1 : 0;

    applyPrivacyRewrite(input, finalURL, result);

    if (finalURL == input) {
        return std::nullopt;
    }
    result.cleanedURL = std::move(finalURL);
    result.paramsRemoved = removedCount + rawAddition + fragmentAddition;
    return result;
}

void URLCleaner::applyPrivacyRewrite(const std::string& input, std::string& finalURL,
                                     CleanResult& result) const {
    const PrivacyRedirectSettings& settings = privacySettings_;
    // With both rewrites off the redirector never answers; skip building it.
    if (settings.xRedirectChoice == XRedirectChoice::off && !settings.redditRedirectEnabled) {
        return;
    }
    // Only a Nitter-compatible choice consults the catalog, so only then is it read.
    std::optional<PrivacyServicesCatalog::Verified> catalog;
    if (settings.xRedirectChoice == XRedirectChoice::nitter) {
        catalog = catalogSource_();
    }
    const auto now = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(clock_->now().time_since_epoch()).count());
    const PrivacyRedirector redirector(std::move(catalog), now);

    std::optional<PrivacyRedirectResult> answer = redirector.redirect(finalURL, settings);
    if (!answer) {
        return;
    }
    // An X/Twitter rewrite needs the original input to be an accepted X/Twitter link too.
    if (answer->service == PrivacyRedirectService::xTwitter) {
        const auto forInput = redirector.redirect(input, settings);
        if (!forInput || forInput->service != PrivacyRedirectService::xTwitter) {
            return;
        }
    }
    result.operations.push_back(CleanOperation{CleanOperationKind::privacyRedirect,
                                               finalURL,
                                               answer->redirectedURL,
                                               {},
                                               false,
                                               std::nullopt,
                                               "User-enabled privacy frontend rewrite"});
    result.privacyRedirect = answer->info();
    result.cleanedOriginalURL = std::move(finalURL);
    finalURL = std::move(answer->redirectedURL);
}

}  // namespace scourlet
