// URLCleaner: turns one link into a CleanOutcome.
//
// It is the one place where the rules engine's answers are put together into a
// cleaning: redirect wrappers are unwrapped first (the target gets a pass of its
// own), then the providers' text rules run, each query parameter is decided,
// the query is rebuilt, a Google local-result fragment is dropped, and finally
// the user's privacy front-end rewrite is applied.
//
//   URLCleaner cleaner(engine, exceptions, recorder, "macOSClipboard", settings);
//   CleanOutcome outcome = cleaner.cleanWithOutcome("https://a.example/?utm_source=x");
//   if (const CleanResult* r = outcome.cleanedResult()) paste(r->cleanedURL);
//
// Not thread-safe: like its rules engine, a cleaner is used from one thread at
// a time. The exception store and the recorder guard themselves.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/rules/CleanOutcome.h"
#include "ScourletCore/rules/CleanResult.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/LastCleanRecorder.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/internal/PreparedLink.h"
#include "ScourletCore/rules/internal/RawQuery.h"

namespace scourlet {

class URLCleaner {
public:
    using RawQueryItem = internal::RawQueryItem;
    // Where the privacy rewrite reads the verified services catalog in force;
    // called only when a Nitter-compatible rewrite is selected.
    using CatalogSource = std::function<std::optional<PrivacyServicesCatalog::Verified>()>;

    // `exceptionStore` and `lastCleanRecorder` may be null (no exceptions, nothing
    // recorded). `catalogSource` defaults to the shared catalog store, `clock`
    // (which must outlive the cleaner) to the system clock.
    URLCleaner(std::shared_ptr<RulesEngine> rulesEngine,
               std::shared_ptr<DomainExceptionStore> exceptionStore,
               std::shared_ptr<LastCleanRecorder> lastCleanRecorder, std::string surface,
               PrivacyRedirectSettings privacyRedirectSettings, CatalogSource catalogSource = {},
               const Clock* clock = nullptr);

    // The longest a clean may take, whatever the rules and the link: past it the
    // clean stops and the link is left unchanged.
    static constexpr std::chrono::milliseconds cleaningTimeBudget{250};
    // Replaces cleaningTimeBudget for this cleaner (a check that compares
    // cleans on a slow, busy machine wants none to be cut short).
    void setTimeBudget(std::chrono::steady_clock::duration budget) { timeBudget_ = budget; }

    // invalid: not an "http://" or "https://" link (prefix case-sensitive), not
    // a URL, or not UTF-8; skippedDisabled: the host is excepted; unchanged: nothing to do
    // (no parameter, path piece, wrapper or front-end rewrite applies; the link
    // stays as written), or the clean ran out of its time budget. A cleaned
    // outcome saves the engine's match counts and is recorded.
    CleanOutcome cleanWithOutcome(std::string_view urlString);
    // The result of a cleaned outcome; nothing for the other three.
    std::optional<CleanResult> clean(std::string_view urlString);

    // The result to show after a share link was resolved over the network at
    // the user's request: the resolved link cleaned, the network step recorded
    // between the prior operations and the resolved link's own.
    CleanResult resultAfterNetworkResolution(std::string_view originalURL,
                                             std::string_view resolvedURL,
                                             std::string_view contactedHost,
                                             const std::optional<CleanResult>& priorResult);

    const std::shared_ptr<RulesEngine>& rulesEngine() const { return rulesEngine_; }
    const std::shared_ptr<DomainExceptionStore>& exceptionStore() const { return exceptionStore_; }
    const std::shared_ptr<LastCleanRecorder>& lastCleanRecorder() const {
        return lastCleanRecorder_;
    }
    const std::string& surface() const { return surface_; }
    const PrivacyRedirectSettings& privacyRedirectSettings() const { return privacySettings_; }
    void setPrivacyRedirectSettings(PrivacyRedirectSettings settings) {
        privacySettings_ = std::move(settings);
    }

private:
    // Whether each provider of a pass makes an exception for the pass's
    // current text (as `link` holds it prepared), asked of the engine once
    // per provider and text.
    class ExceptionAnswers {
    public:
        ExceptionAnswers(const RulesEngine& engine,
                         const std::vector<const RulesEngine::CompiledProvider*>& providers,
                         const internal::PreparedLink& link)
            : engine_(engine),
              providers_(providers),
              link_(link),
              answers_(providers.size(), kUnknown) {}
        bool isException(std::size_t provider) {
            if (answers_[provider] == kUnknown) {
                answers_[provider] = engine_.isException(link_, *providers_[provider]) ? 1 : 0;
            }
            return answers_[provider] == 1;
        }
        // The text (and `link` with it) changed: every answer must be asked again.
        void textChanged() { answers_.assign(answers_.size(), kUnknown); }

    private:
        static constexpr signed char kUnknown = -1;
        const RulesEngine& engine_;
        const std::vector<const RulesEngine::CompiledProvider*>& providers_;
        const internal::PreparedLink& link_;
        std::vector<signed char> answers_;
    };

    // `parsed`, when given, is `input` already parsed.
    std::optional<CleanResult> cleaningPass(const std::string& input, int depth,
                                            std::optional<URLComponents> parsed = std::nullopt);
    std::optional<CleanResult> unwrapRedirect(
        const std::string& input, const internal::PreparedLink& link, int depth,
        const std::vector<const RulesEngine::CompiledProvider*>& providers,
        ExceptionAnswers& excepted);
    // Notes a rule that fired; the notes of one clean reach the engine's counts
    // together at its end.
    void recordMatch(std::string_view ruleID, RuleCategoryType category) {
        pendingMatchIDs_.emplace_back(ruleID);
        pendingMatchCategories_.push_back(category);
    }
    void applyPrivacyRewrite(const std::string& input, std::string& finalURL,
                             CleanResult& result) const;

    std::shared_ptr<RulesEngine> rulesEngine_;
    std::shared_ptr<DomainExceptionStore> exceptionStore_;
    std::shared_ptr<LastCleanRecorder> lastCleanRecorder_;
    std::string surface_;
    PrivacyRedirectSettings privacySettings_;
    CatalogSource catalogSource_;
    const Clock* clock_;
    std::chrono::steady_clock::duration timeBudget_ = cleaningTimeBudget;
    // What a cleaning pass at one depth of unwrapping works in.
    struct PassBuffers {
        internal::PreparedLink link;
        std::vector<const RulesEngine::CompiledProvider*> providers;
        std::vector<const RulesEngine::CompiledProvider*> applicable;
        std::vector<const RulesEngine::CompiledProvider*> searching;
    };
    std::vector<std::unique_ptr<PassBuffers>> passBuffers_;
    std::vector<std::string> pendingMatchIDs_;
    std::vector<RuleCategoryType> pendingMatchCategories_;
};

}  // namespace scourlet
