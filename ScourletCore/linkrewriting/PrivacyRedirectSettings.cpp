#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"

#include <utility>

namespace scourlet {

namespace {

XRedirectChoice derivedChoice(bool nitterEnabled, bool twitterViewerEnabled) {
    if (nitterEnabled) {
        return XRedirectChoice::nitter;
    }
    return twitterViewerEnabled ? XRedirectChoice::twitterViewer : XRedirectChoice::off;
}

}  // namespace

PrivacyRedirectSettings::PrivacyRedirectSettings(const UserDefaults& defaults,
                                                 const UserDefaults* nitterDefaults) {
    const UserDefaults& shared = nitterDefaults != nullptr ? *nitterDefaults : defaults;
    const bool legacyNitter = shared.boolForKey(nitterEnabledKey);
    std::optional<XRedirectChoice> stored;
    if (const auto raw = defaults.stringForKey(xRedirectChoiceKey)) {
        stored = enumFromRawValue<XRedirectChoice>(*raw);
    }
    xRedirectChoice =
        stored ? *stored
               : derivedChoice(legacyNitter, defaults.boolForKey(twitterViewerEnabledKey));
    redditRedirectEnabled = defaults.boolForKey(redditRedirectEnabledKey);
    if (auto base = defaults.stringForKey(redditFrontendBaseURLKey)) {
        redditFrontendBaseURL = std::move(*base);
    }
    nitterServiceID = shared.stringForKey(nitterServiceIDKey).value_or(std::string());
    nitterAutomatic = shared.boolForKey(nitterAutomaticKey);
}

PrivacyRedirectSettings::PrivacyRedirectSettings(
    bool /*xRedirectEnabled*/, bool twitterViewerEnabled, bool redditRedirectEnabled,
    std::string redditFrontendBaseURL, bool nitterEnabled, std::string nitterServiceID,
    bool nitterAutomatic, std::optional<XRedirectChoice> xRedirectChoice)
    : xRedirectChoice(xRedirectChoice.value_or(derivedChoice(nitterEnabled, twitterViewerEnabled))),
      nitterServiceID(std::move(nitterServiceID)),
      nitterAutomatic(nitterAutomatic),
      redditRedirectEnabled(redditRedirectEnabled),
      redditFrontendBaseURL(std::move(redditFrontendBaseURL)) {}

Json PrivacyRedirectSettings::toJson() const {
    Json json = Json::object();
    json["xRedirectChoice"] = std::string(rawValue(xRedirectChoice));
    json["nitterServiceID"] = nitterServiceID;
    json["nitterAutomatic"] = nitterAutomatic;
    json["redditRedirectEnabled"] = redditRedirectEnabled;
    json["redditFrontendBaseURL"] = redditFrontendBaseURL;
    return json;
}

PrivacyRedirectSettings PrivacyRedirectSettings::fromJson(const Json& json) {
    const JsonObjectReader o(json, "privacyRedirectSettings");
    const bool nitterEnabled = o.optional<bool>("nitterEnabled").value_or(false);
    const bool twitterViewerEnabled = o.optional<bool>("twitterViewerEnabled").value_or(false);
    PrivacyRedirectSettings settings;
    settings.redditRedirectEnabled = o.optional<bool>("redditRedirectEnabled").value_or(false);
    if (auto base = o.optional<std::string>("redditFrontendBaseURL")) {
        settings.redditFrontendBaseURL = std::move(*base);
    }
    settings.nitterServiceID = o.optional<std::string>("nitterServiceID").value_or(std::string());
    settings.nitterAutomatic = o.optional<bool>("nitterAutomatic").value_or(false);
    settings.xRedirectChoice = o.optional<XRedirectChoice>("xRedirectChoice")
                                   .value_or(derivedChoice(nitterEnabled, twitterViewerEnabled));
    return settings;
}

}  // namespace scourlet
