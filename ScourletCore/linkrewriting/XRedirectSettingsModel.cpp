#include "ScourletCore/linkrewriting/XRedirectSettingsModel.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <utility>

#include "ScourletCore/linkrewriting/PrivacyRedirector.h"
#include "ScourletCore/linkrewriting/XRedirectChoice.h"

namespace scourlet {

namespace {

using Settings = PrivacyRedirectSettings;

std::string_view shownName(const PrivacyServicesCatalog::Service& service) {
    return service.displayName ? std::string_view(*service.displayName)
                               : std::string_view(service.id);
}

}  // namespace

const std::vector<XRedirectSettingsModel::Option>& XRedirectSettingsModel::choiceOptions() {
    static const std::vector<Option> options{
        {"Off", std::string(rawValue(XRedirectChoice::off))},
        {"XCancel / Nitter / custom instance", std::string(rawValue(XRedirectChoice::nitter))},
        {std::string(twitterViewerLabel), std::string(rawValue(XRedirectChoice::twitterViewer))},
    };
    return options;
}

std::string XRedirectSettingsModel::privacyPolicyURL() {
    return std::string(Settings::twitterViewerBaseURL) + "/privacy-policy";
}

XRedirectSettingsModel::XRedirectSettingsModel(std::shared_ptr<UserDefaults> defaults,
                                               std::shared_ptr<UserDefaults> nitterDefaults,
                                               std::shared_ptr<const PrivacyCatalogUpdater> updater,
                                               std::function<void()> changed,
                                               std::shared_ptr<const Clock> clock)
    : defaults_(std::move(defaults)),
      nitterDefaults_(nitterDefaults ? std::move(nitterDefaults) : defaults_),
      updater_(std::move(updater)),
      changed_(std::move(changed)),
      clock_(std::move(clock)) {
    assert(defaults_ && updater_ && clock_);
    choiceObserver_ =
        defaults_->observe(std::string(Settings::xRedirectChoiceKey), [this] { announce(); });
    selectedIDObserver_ =
        nitterDefaults_->observe(std::string(Settings::nitterServiceIDKey), [this] { announce(); });
    automaticObserver_ =
        nitterDefaults_->observe(std::string(Settings::nitterAutomaticKey), [this] { announce(); });
    installedObserver_ =
        updater_->installedPublisher().connect([this](const auto&) { announce(); });
}

// --- The three settings ----------------------------------------------------------

std::string XRedirectSettingsModel::choice() const {
    return defaults_->stringForKey(Settings::xRedirectChoiceKey)
        .value_or(std::string(rawValue(XRedirectChoice::off)));
}

std::string XRedirectSettingsModel::selectedID() const {
    return nitterDefaults_->stringForKey(Settings::nitterServiceIDKey).value_or("");
}

bool XRedirectSettingsModel::automatic() const {
    return nitterDefaults_->boolForKey(Settings::nitterAutomaticKey);
}

void XRedirectSettingsModel::setChoice(std::string_view rawChoice) {
    if (choice() == rawChoice) {
        return;
    }
    defaults_->setString(Settings::xRedirectChoiceKey, std::string(rawChoice));
    if (changed_) {
        changed_();
    }
}

void XRedirectSettingsModel::setSelectedID(std::string_view id) {
    if (selectedID() == id) {
        return;
    }
    nitterDefaults_->setString(Settings::nitterServiceIDKey, std::string(id));
    if (changed_) {
        changed_();
    }
}

void XRedirectSettingsModel::setAutomatic(bool automatic) {
    if (this->automatic() == automatic) {
        return;
    }
    nitterDefaults_->setBool(Settings::nitterAutomaticKey, automatic);
    if (changed_) {
        changed_();
    }
}

void XRedirectSettingsModel::appear() {
    const auto stored = defaults_->object(Settings::xRedirectChoiceKey);
    const bool storedIsAChoice =
        stored && stored->is_string() &&
        enumFromRawValue<XRedirectChoice>(stored->get_ref<const std::string&>()).has_value();
    if (!storedIsAChoice) {
        // What the redirect settings make of the stored text and the legacy
        // flags, i.e. what links actually do.
        const XRedirectChoice derived = Settings(*defaults_, nitterDefaults_.get()).xRedirectChoice;
        // A missing choice is always written; a stored text of no choice only
        // when links are in fact rewritten, so "off" written over it can never
        // change what links do.
        if (!stored || derived != XRedirectChoice::off) {
            defaults_->setString(Settings::xRedirectChoiceKey, std::string(rawValue(derived)));
        }
    }
    if (changed_) {
        changed_();
    }
}

// --- What to draw ------------------------------------------------------------------

std::optional<std::size_t> XRedirectSettingsModel::selectedChoiceIndex() const {
    const std::string current = choice();
    const auto& options = choiceOptions();
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const Option& o) { return o.value == current; });
    if (found == options.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - options.begin());
}

XRedirectSettingsModel::Section XRedirectSettingsModel::section() const {
    const auto parsed = enumFromRawValue<XRedirectChoice>(choice());
    if (parsed == XRedirectChoice::nitter) {
        return Section::nitter;
    }
    if (parsed == XRedirectChoice::twitterViewer) {
        return Section::twitterViewer;
    }
    return Section::off;
}

std::vector<PrivacyServicesCatalog::Service> XRedirectSettingsModel::choices() const {
    const auto& installed = updater_->installed();
    return installed ? installed->choices(nowSeconds())
                     : std::vector<PrivacyServicesCatalog::Service>{};
}

std::vector<XRedirectSettingsModel::Option> XRedirectSettingsModel::instanceOptions() const {
    const std::string id = selectedID();
    std::vector<Option> options{{std::string(kChooseInstance), ""}};
    bool offered = false;
    for (const auto& service : choices()) {
        offered = offered || service.id == id;
        options.push_back({std::string(shownName(service)), service.id});
    }
    if (!id.empty() && !offered) {
        options.push_back({std::string(kSelectedInstanceUnavailable), id});
    }
    return options;
}

std::size_t XRedirectSettingsModel::selectedInstanceIndex() const {
    const std::string id = selectedID();
    const auto options = instanceOptions();
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const Option& o) { return o.value == id; });
    return found == options.end() ? 0 : static_cast<std::size_t>(found - options.begin());
}

bool XRedirectSettingsModel::instancePickerEnabled() const {
    return !automatic() && !choices().empty();
}

std::string XRedirectSettingsModel::statusLine() const {
    return PrivacyRedirector(updater_->installed(), nowSeconds()).status(statusSettings());
}

bool XRedirectSettingsModel::showsNoInstancesCaption() const {
    return choices().empty();
}

std::uint64_t XRedirectSettingsModel::nowSeconds() const {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(clock_->now().time_since_epoch()).count();
    return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

PrivacyRedirectSettings XRedirectSettingsModel::statusSettings() const {
    Settings settings;  // Reddit off with the default base, nothing else set
    settings.xRedirectChoice =
        enumFromRawValue<XRedirectChoice>(choice()).value_or(XRedirectChoice::off);
    settings.nitterServiceID = selectedID();
    settings.nitterAutomatic = automatic();
    return settings;
}

}  // namespace scourlet
