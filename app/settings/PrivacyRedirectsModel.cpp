#include "app/settings/PrivacyRedirectsModel.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/linkrewriting/PrivacyRedirector.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"
#include "app/settings/DisplayedText.h"

namespace scourlet::app {

namespace {

using Settings = PrivacyRedirectSettings;

constexpr std::string_view kDefaultFrontend = Settings::defaultRedditFrontendBaseURL;

}  // namespace

std::string PrivacyRedirectsModel::redditCaption() {
    return "Change " + std::string(config::kRedditDomain) +
           " links to a Redlib-compatible frontend for a lighter, less trackable public Reddit "
           "view.";
}

std::string PrivacyRedirectsModel::helpCaption() {
    return "Enter the root URL, for example " + std::string(kDefaultFrontend) +
           ". Do not include a post path.";
}

std::string PrivacyRedirectsModel::redlibURL() { return std::string(config::kRedlibProjectURL); }

const std::vector<std::string>& PrivacyRedirectsModel::redditChoices() {
    static const std::vector<std::string> choices(config::kRedditFrontendChoices.begin(),
                                                  config::kRedditFrontendChoices.end());
    return choices;
}

std::string PrivacyRedirectsModel::hostLabel(std::string_view url) {
    if (const auto parsed = URLComponents::parse(url)) {
        if (auto host = parsed->host(); host && !host->empty()) {
            return std::move(*host);
        }
    }
    return std::string(url);
}

PrivacyRedirectsModel::PrivacyRedirectsModel(std::shared_ptr<UserDefaults> standardDefaults,
                                             std::shared_ptr<UserDefaults> appGroupDefaults,
                                             Install install)
    : standardDefaults_(std::move(standardDefaults)),
      nitterDefaults_(appGroupDefaults ? std::move(appGroupDefaults) : standardDefaults_),
      install_(std::move(install)) {
    assert(standardDefaults_);
    enabledObserver_ = standardDefaults_->observe(std::string(Settings::redditRedirectEnabledKey),
                                                  [this] { announce(); });
    baseURLObserver_ = standardDefaults_->observe(std::string(Settings::redditFrontendBaseURLKey),
                                                  [this] { announce(); });
}

// --- The two Reddit settings ---------------------------------------------------------

bool PrivacyRedirectsModel::redditRedirectEnabled() const {
    return standardDefaults_->boolForKey(Settings::redditRedirectEnabledKey);
}

std::string PrivacyRedirectsModel::redditFrontendBaseURL() const {
    return standardDefaults_->stringForKey(Settings::redditFrontendBaseURLKey)
        .value_or(std::string(kDefaultFrontend));
}

void PrivacyRedirectsModel::setRedditRedirectEnabled(bool enabled) {
    if (redditRedirectEnabled() == enabled) {
        return;
    }
    standardDefaults_->setBool(Settings::redditRedirectEnabledKey, enabled);
    applyRedirectSettings();
}

void PrivacyRedirectsModel::setRedditFrontendBaseURL(std::string_view url) {
    if (redditFrontendBaseURL() == url) {
        return;
    }
    standardDefaults_->setString(Settings::redditFrontendBaseURLKey, std::string(url));
    applyRedirectSettings();
}

// --- What to draw ----------------------------------------------------------------------

std::vector<PrivacyRedirectsModel::Option> PrivacyRedirectsModel::frontendOptions() const {
    std::vector<Option> options;
    for (const std::string& choice : redditChoices()) {
        options.push_back({hostLabel(choice), choice});
    }
    const std::string stored = redditFrontendBaseURL();
    if (std::find(redditChoices().begin(), redditChoices().end(), stored) ==
        redditChoices().end()) {
        options.push_back({std::string(kCustomOption), stored});
    }
    return options;
}

std::size_t PrivacyRedirectsModel::selectedFrontendIndex() const {
    const std::string stored = redditFrontendBaseURL();
    const auto& choices = redditChoices();
    const auto found = std::find(choices.begin(), choices.end(), stored);
    // Not offered: the "Custom" row, last.
    return static_cast<std::size_t>(found - choices.begin());
}

std::string PrivacyRedirectsModel::effectiveFrontendBaseURL() const {
    // The same call the rewrite makes, so the caption cannot disagree with it.
    return PrivacyRedirector::normalizedFrontendBaseURL(redditFrontendBaseURL(), kDefaultFrontend)
        .value_or(std::string(kDefaultFrontend));
}

bool PrivacyRedirectsModel::frontendAddressUnusable() const {
    return !PrivacyRedirector::normalizedFrontendBaseURL(redditFrontendBaseURL(), std::nullopt);
}

std::string PrivacyRedirectsModel::statusCaption() const {
    if (!redditRedirectEnabled()) {
        return "Reddit links stay on " + std::string(config::kRedditDomain) +
               " unless normal tracking parameters are removed.";
    }
    const std::string effective = effectiveFrontendBaseURL();
    std::string caption;
    if (frontendAddressUnusable()) {
        const std::string stored = redditFrontendBaseURL();
        const std::string_view typed = trimmingWhitespaceAndNewlines(stored);
        caption = typed.empty() ? "No address is entered; using " + effective + ". "
                                : "\u201C" + displayedText(typed) +
                                      "\u201D is not a usable address; using " + effective + ". ";
    }
    return caption + "Reddit links will be rewritten to " + effective +
           ". Public posts and communities usually work, but quarantined, private, mature, "
           "deleted, or login-only content may not.";
}

// --- Installing ------------------------------------------------------------------------

PrivacyRedirectSettings PrivacyRedirectsModel::redirectSettings() const {
    const Settings current(*standardDefaults_, nitterDefaults_.get());
    return Settings(/*xRedirectEnabled=*/false, /*twitterViewerEnabled=*/false,
                    redditRedirectEnabled(), redditFrontendBaseURL(), /*nitterEnabled=*/false,
                    current.nitterServiceID, current.nitterAutomatic, current.xRedirectChoice);
}

void PrivacyRedirectsModel::applyRedirectSettings() {
    if (install_) {
        install_(redirectSettings());
    }
}

}  // namespace scourlet::app
